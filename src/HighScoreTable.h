// The high-score file: one "name score" entry per line.
#pragma once

#include <string>
#include <utility>
#include <vector>

class HighScoreTable {
public:
    std::vector<std::pair<std::string, float>> entries; // file order, oldest first

    // Appends the well-formed entries of the file; a missing file adds nothing.
    void load(std::string path);
    void add(std::string name, float score);
    // Writes the table; never loses a line of the file it was loaded from.
    void save(std::string path);
};

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

private:
    // The file's lines exactly as read (without their LF), malformed ones included: a save
    // writes them back untouched, so no entry is ever lost to a line this reader rejects.
    std::vector<std::string> keptLines_;
    std::vector<std::string> addedLines_; // entries added since the last load or save, formatted
    std::string lineEnd_; // the loaded file's own (LF or CRLF); empty: the system's
};

// The name as it is stored: whitespace made '_', at most 64 bytes (never splitting a
// UTF-8 sequence), "anonymous" when empty, so that every saved line reads back.
std::string storableName(const std::string& name);
// Reads one "name score" line (a trailing CR allowed); false for anything else.
bool parseScoreLine(const std::string& line, std::string& name, float& score);

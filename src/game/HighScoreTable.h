// The high-score file: name and score, one entry a line.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>
#include <utility>
#include <vector>

#include "ScoreReader.h"

class HighScoreTable {
public:
    std::vector<std::pair<std::string, float>> entries; // file order, oldest first

    // Appends the entries of the file, read as a stream, keeping the best maxKeptEntries in
    // file order: the display shows the best ten, and any file can be shown in bounded
    // memory. A missing file, or anything but a readable regular file, adds nothing.
    void load(std::string path);
    void add(std::string name, float score);
    // Appends the entries added since the last save to the file as it stands now, keeping
    // every byte already there, even those no entry reads. A save that fails leaves the
    // file as it was and says why in one line on standard error; true when the entries
    // are stored.
    bool save(std::string path);

    // Far more than any table a player keeps, so that load keeps every entry of one.
    static constexpr std::size_t maxKeptEntries = 1000;

private:
    std::vector<std::pair<std::string, float>> added_; // since the last save, names made storable
};

// The name as it is stored: whitespace and control characters made '_', at most 64 bytes
// (never splitting a UTF-8 sequence), "anonymous" when empty, so that every saved line
// reads back and none can steer a terminal that shows the file.
std::string storableName(const std::string& name);
// One whitespace-delimited word, read as >> reads it (failbit when there is none), keeping
// at most `maxBytes` of it: the rest of an endless word is consumed, never held in memory.
// The bound leaves storableName room to cut at a whole UTF-8 character.
std::string readNameWord(std::istream& in, std::size_t maxBytes = 256);

// The high-score file: one "name score" entry per line.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>
#include <utility>
#include <vector>

class HighScoreTable {
public:
    std::vector<std::pair<std::string, float>> entries; // file order, oldest first

    // Appends the well-formed entries of the file; a missing file adds nothing.
    void load(std::string path);
    void add(std::string name, float score);
    // Writes the table; never loses a line of the file it was loaded from. Writes nothing
    // when that file could not be read whole or may not be written by this player.
    void save(std::string path);

private:
    // The file's lines exactly as read (without their LF), malformed ones included: a save
    // writes them back untouched, so no entry is ever lost to a line this reader rejects.
    std::vector<std::string> keptLines_;
    std::vector<std::string> addedLines_; // entries added since the last load or save, formatted
    std::string lineEnd_;                 // the loaded file's own (LF or CRLF); empty: the system's
    bool unreadFile_ = false;             // a file was there but could not be read whole
};

// The name as it is stored: whitespace made '_', at most 64 bytes (never splitting a
// UTF-8 sequence), "anonymous" when empty, so that every saved line reads back.
std::string storableName(const std::string& name);
// Reads one "name score" line (a trailing CR allowed); false for anything else.
bool parseScoreLine(const std::string& line, std::string& name, float& score);
// One whitespace-delimited word, read as >> reads it (failbit when there is none), keeping
// at most `maxBytes` of it: the rest of an endless word is consumed, never held in memory.
// The bound leaves storableName room to cut at a whole UTF-8 character.
std::string readNameWord(std::istream& in, std::size_t maxBytes = 256);

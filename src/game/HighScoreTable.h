// The high-score file: name and score, one entry a line.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>
#include <utility>
#include <vector>

class HighScoreTable {
public:
    std::vector<std::pair<std::string, float>> entries; // file order, oldest first

    // Appends the entries of the file; a missing file, or anything but a readable regular
    // file of at most maxFileBytes, adds nothing.
    void load(std::string path);
    void add(std::string name, float score);
    // Appends the entries added since the last save to the file as it stands now, keeping
    // every byte already there, even those no entry reads. A save that fails leaves the
    // file as it was and says why in one line on standard error; true when the entries
    // are stored.
    bool save(std::string path);

    // A file larger than this is not read, and left as it is: 1 MiB holds over ten
    // thousand entries of the longest name, and no endless source fills the memory.
    static constexpr std::size_t maxFileBytes = std::size_t(1) << 20;

private:
    std::vector<std::pair<std::string, float>> added_; // since the last save, names made storable
};

// The entries of a score file's bytes: words in pairs, a name then a score, as the game has
// always read them (any white space, line ends and lone CRs included, between and within
// entries). Where a pair does not read, reading goes on at the next line.
std::vector<std::pair<std::string, float>> parseScores(const std::string& bytes);
// The name as it is stored: whitespace and control characters made '_', at most 64 bytes
// (never splitting a UTF-8 sequence), "anonymous" when empty, so that every saved line
// reads back and none can steer a terminal that shows the file.
std::string storableName(const std::string& name);
// One whitespace-delimited word, read as >> reads it (failbit when there is none), keeping
// at most `maxBytes` of it: the rest of an endless word is consumed, never held in memory.
// The bound leaves storableName room to cut at a whole UTF-8 character.
std::string readNameWord(std::istream& in, std::size_t maxBytes = 256);

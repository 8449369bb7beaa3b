// A score file's entries, read from its bytes: words in pairs, a name then a score.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

// Reads a score file's entries from its bytes as they come, chunk by chunk, holding no more
// than a word or two of them.
class ScoreReader {
public:
    explicit ScoreReader(std::function<void(std::string name, float score)> onEntry);
    void feed(const char* bytes, std::size_t size);
    // The end of the file: a last word alone may still be an entry.
    void finish();

private:
    struct Word {
        std::string text;
        bool startsLine = false; // no word before it on its line
        bool indented = false;   // white space before it on its line
        bool cut = false;        // longer than the reader keeps
    };
    static bool isScore(const Word& word, float& score);
    void endWord();
    void take(Word word);

    std::function<void(std::string, float)> onEntry_;
    Word word_;                // the word being read
    bool inWord_ = false;
    bool lineStart_ = true;    // no word yet on the line being read
    bool indented_ = false;    // white space seen on it before any word
    Word pendingWord_;         // a name waiting for its score
    bool pending_ = false;
    bool skippingLine_ = false; // the rest of a malformed line
};

// The entries of a score file's bytes: words in pairs, a name then a score, as the game has
// always read them (any white space, line ends and lone CRs included, between and within
// entries). Where a pair does not read, reading goes on at the next line.
std::vector<std::pair<std::string, float>> parseScores(const std::string& bytes);
// True, with the value, when `text` is a whole finite number as a score file writes one.
bool readsAsScore(const std::string& text, float& score);

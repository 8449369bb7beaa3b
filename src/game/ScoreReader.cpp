// Reading a score file's words as entries, as the game has always read them, in chunks.
#include "ScoreReader.h"

#include <cmath>
#include <locale>
#include <sstream>

namespace {

const char* const whitespace = " \t\n\v\f\r";

// A word of a score file longer than this is kept cut short, and never reads as a score: no
// name the game stores comes near it, and an endless word must not fill the memory.
constexpr std::size_t maxWordBytes = 256;

bool isLineBreak(char c)
{
    return c == '\n' || c == '\r';
}

} // namespace

bool readsAsScore(const std::string& text, float& score)
{
    if (text.empty() || text.find_first_not_of("0123456789+-.eE") != std::string::npos)
        return false;
    std::istringstream in(text);
    in.imbue(std::locale::classic());
    float value = 0.0f;
    in >> value;
    // Overflow fails the extraction; a non-finite score would break the display's sort.
    if (in.fail() || !in.eof() || !std::isfinite(value))
        return false;
    score = value;
    return true;
}

ScoreReader::ScoreReader(std::function<void(std::string name, float score)> onEntry) : onEntry_(std::move(onEntry))
{
}

void ScoreReader::feed(const char* bytes, std::size_t size)
{
    for (std::size_t at = 0; at < size; ++at) {
        const char c = bytes[at];
        if (std::char_traits<char>::find(whitespace, 6, c)) {
            endWord();
            if (isLineBreak(c))
                lineStart_ = true;
            indented_ = !isLineBreak(c) && lineStart_;
            continue;
        }
        if (!inWord_) {
            inWord_ = true;
            word_ = Word{};
            word_.startsLine = lineStart_;
            word_.indented = indented_ && lineStart_;
            lineStart_ = false;
            indented_ = false;
        }
        if (word_.text.size() < maxWordBytes)
            word_.text += c;
        else
            word_.cut = true;
    }
}

void ScoreReader::finish()
{
    endWord();
    float score = 0.0f;
    // " 57" alone on the last line: an entry whose name was empty, as older saves wrote it.
    if (pending_ && pendingWord_.indented && isScore(pendingWord_, score))
        onEntry_("anonymous", score);
    pending_ = false;
}

bool ScoreReader::isScore(const Word& word, float& score)
{
    return !word.cut && readsAsScore(word.text, score);
}

void ScoreReader::endWord()
{
    if (inWord_) {
        inWord_ = false;
        take(std::move(word_));
    }
}

// Words in pairs, a name then a score; a word that cannot start a pair hides its line.
void ScoreReader::take(Word word)
{
    if (skippingLine_) {
        if (!word.startsLine)
            return;
        skippingLine_ = false;
    }
    if (!pending_) {
        pendingWord_ = std::move(word);
        pending_ = true;
        return;
    }
    float score = 0.0f;
    if (isScore(word, score)) {
        onEntry_(std::move(pendingWord_.text), score);
        pending_ = false;
        return;
    }
    // " 57" alone on its line: an entry whose name was empty, as older saves wrote it.
    if (pendingWord_.indented && word.startsLine && isScore(pendingWord_, score))
        onEntry_("anonymous", score);
    // A malformed entry hides only its own line: the next line may start a good one.
    pending_ = false;
    skippingLine_ = !word.startsLine;
    if (word.startsLine) {
        pendingWord_ = std::move(word);
        pending_ = true;
    }
}

std::vector<std::pair<std::string, float>> parseScores(const std::string& bytes)
{
    std::vector<std::pair<std::string, float>> entries;
    ScoreReader reader([&entries](std::string name, float score) { entries.emplace_back(std::move(name), score); });
    reader.feed(bytes.data(), bytes.size());
    reader.finish();
    return entries;
}

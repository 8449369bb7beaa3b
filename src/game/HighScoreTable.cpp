// The high-score file: load, append, and a save that can neither lose nor corrupt it.
#include "HighScoreTable.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <iostream>
#include <istream>
#include <locale>
#include <sstream>

#include "platform/Platform.h"

namespace {

constexpr std::size_t maxNameBytes = 64;

// The length of the well-formed UTF-8 sequence at `at`; 0 where none starts there.
std::size_t utf8Length(const std::string& text, std::size_t at)
{
    const unsigned char lead = static_cast<unsigned char>(text[at]);
    const std::size_t length = lead < 0x80                   ? 1
                               : lead >= 0xC2 && lead <= 0xDF ? 2
                               : lead >= 0xE0 && lead <= 0xEF ? 3
                               : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                              : 0;
    if (length == 0 || at + length > text.size())
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80)
            return 0;
    }
    return length;
}


// The entries as the file holds them; `guardNumbers` puts a '_' before a name that reads
// as a score.
std::string formatLines(const std::vector<std::pair<std::string, float>>& entries, const std::string& lineEnd,
                        bool guardNumbers)
{
    std::ostringstream lines;
    lines.imbue(std::locale::classic());
    for (const auto& [name, score] : entries) {
        float ignored = 0.0f;
        lines << (guardNumbers && readsAsScore(name, ignored) ? "_" : "") << name << ' ' << score << lineEnd;
    }
    return lines.str();
}

// The line end a save adds in: the file's own (the first it has), else the system's.
std::string lineEndOf(const std::string& bytes)
{
    const std::size_t at = bytes.find_first_of("\r\n");
    if (at == std::string::npos)
        return platform::textLineEnd();
    if (bytes[at] == '\n')
        return "\n";
    return at + 1 < bytes.size() && bytes[at + 1] == '\n' ? "\r\n" : "\r";
}

} // namespace


std::string storableName(const std::string& name)
{
    std::string stored;
    for (std::size_t at = 0; at < name.size();) {
        const unsigned char c = static_cast<unsigned char>(name[at]);
        const std::size_t length = utf8Length(name, at);
        // The reader splits at whitespace, so a blank inside a name would break its line; the
        // C0 and C1 controls and DEL could steer the terminal of whoever shows the file.
        const bool c1 = length == 2 ? c == 0xC2 && static_cast<unsigned char>(name[at + 1]) <= 0x9F
                                    : length == 0 && c >= 0x80 && c <= 0x9F;
        if (c <= 0x20 || c == 0x7F || c1)
            stored += '_';
        else
            stored.append(name, at, std::max<std::size_t>(length, 1));
        at += std::max<std::size_t>(length, 1);
    }
    // The cap lives here rather than in the console read so that every caller obeys it.
    if (stored.size() > maxNameBytes) {
        std::size_t cut = maxNameBytes;
        while (cut > maxNameBytes - 3 && (static_cast<unsigned char>(stored[cut]) & 0xC0) == 0x80)
            --cut;
        stored.resize(cut);
    }
    // An empty name would be written as a line starting with the blank, which reads back as
    // a score with no name and swallows the next line.
    if (stored.empty())
        stored = "anonymous";
    return stored;
}

std::string readNameWord(std::istream& in, std::size_t maxBytes)
{
    std::string word;
    const std::istream::sentry wordStart(in); // skips leading whitespace, as >> does
    if (!wordStart)
        return word;
    const std::ctype<char>& classes = std::use_facet<std::ctype<char>>(in.getloc());
    std::streambuf* source = in.rdbuf();
    bool extracted = false;
    for (int next = source->sgetc();; next = source->snextc()) {
        if (next == std::char_traits<char>::eof()) {
            in.setstate(std::ios::eofbit);
            break;
        }
        const char c = std::char_traits<char>::to_char_type(next);
        if (classes.is(std::ctype_base::space, c))
            break;
        if (word.size() < maxBytes)
            word += c;
        extracted = true;
    }
    if (!extracted)
        in.setstate(std::ios::failbit);
    return word;
}

void HighScoreTable::load(std::string path)
{
    const std::size_t firstNew = entries.size();
    // Past twice the bound, the weakest are dropped: the best keep their file order.
    auto keepBest = [this, firstNew] {
        std::vector<float> scores;
        for (std::size_t i = firstNew; i < entries.size(); ++i)
            scores.push_back(entries[i].second);
        std::nth_element(scores.begin(), scores.begin() + (maxKeptEntries - 1), scores.end(), std::greater<float>());
        const float threshold = scores[maxKeptEntries - 1];
        std::size_t above = 0;
        for (float score : scores)
            above += score > threshold ? 1 : 0;
        std::size_t tiesKept = maxKeptEntries - above;
        auto kept = entries.begin() + static_cast<std::ptrdiff_t>(firstNew);
        for (auto it = kept; it != entries.end(); ++it) {
            const bool tie = it->second == threshold;
            if (it->second < threshold || (tie && tiesKept == 0))
                continue;
            tiesKept -= tie ? 1 : 0;
            if (kept != it)
                *kept = std::move(*it);
            ++kept;
        }
        entries.erase(kept, entries.end());
    };
    ScoreReader reader([this, firstNew, &keepBest](std::string name, float score) {
        entries.emplace_back(std::move(name), score);
        if (entries.size() - firstNew >= 2 * maxKeptEntries)
            keepBest();
    });
    std::string reason;
    if (platform::readRegularFile(path, [&reader](const char* bytes, std::size_t size) { reader.feed(bytes, size); },
                                  reason) != platform::FileRead::read)
        return;
    reader.finish();
    if (entries.size() - firstNew > maxKeptEntries)
        keepBest();
}

void HighScoreTable::add(std::string name, float score)
{
    name = storableName(name);
    if (!std::isfinite(score))
        score = 0.0f;
    entries.emplace_back(name, score);
    added_.emplace_back(name, score);
}

bool HighScoreTable::save(std::string path)
{
    // The new lines go after what is in the file now, which another game may have grown
    // since this table was loaded, in the line end the file already has.
    auto tailFor = [this](const platform::FileEnd& end) {
        if (added_.empty())
            return std::string();
        const std::string& current = end.bytes;
        const std::string lineEnd = lineEndOf(current);
        std::string lastLineEnd;
        if (!current.empty() && current.back() != '\n' && !(lineEnd == "\r" && current.back() == '\r'))
            lastLineEnd = current.back() == '\r' && lineEnd == "\r\n" ? "\n" : lineEnd;
        // NOTE: a word left alone at the end of the file takes the next word as its score
        // when that reads as one: a name such as "007" then gets a '_' before it, so that
        // the entry reads back. Where only the file's end was read, whether such a word is
        // there cannot be known, and the '_' is always given.
        if (!end.wholeFile)
            return lastLineEnd + formatLines(added_, lineEnd, true);
        std::string tail = lastLineEnd + formatLines(added_, lineEnd, false);
        const auto readBack = parseScores(current + tail);
        auto sameName = [](const auto& a, const auto& b) { return a.first == b.first; };
        if (readBack.size() < added_.size() ||
            !std::equal(added_.rbegin(), added_.rend(), readBack.rbegin(), sameName))
            tail = lastLineEnd + formatLines(added_, lineEnd, true);
        return tail;
    };
    const platform::FileExtension saved = platform::extendRegularFile(path, tailFor);
    if (!saved.written) {
        std::cerr << "The score was not saved in " << path << ": " << saved.reason << std::endl;
        return false;
    }
    added_.clear();
    return true;
}

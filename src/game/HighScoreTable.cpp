// The high-score file: load, append, and a save that can neither lose nor corrupt it.
#include "HighScoreTable.h"

#include <cmath>
#include <fstream>
#include <istream>
#include <locale>
#include <sstream>

#include "platform/Platform.h"

namespace {

constexpr std::size_t maxNameBytes = 64;
const char* const whitespace = " \t\n\v\f\r";

bool readScore(const std::string& text, float& score)
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

} // namespace

std::string storableName(const std::string& name)
{
    std::string stored = name;
    // The reader splits at whitespace, so a blank inside a name would break its line.
    for (char& c : stored) {
        if (std::char_traits<char>::find(whitespace, 6, c))
            c = '_';
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

bool parseScoreLine(const std::string& line, std::string& name, float& score)
{
    std::string text = line;
    if (!text.empty() && text.back() == '\r')
        text.pop_back();
    const std::size_t nameStart = text.find_first_not_of(whitespace);
    if (nameStart == std::string::npos)
        return false;
    const std::size_t nameEnd = text.find_first_of(whitespace, nameStart);
    const std::string first = text.substr(nameStart, nameEnd - nameStart);
    if (nameEnd == std::string::npos) {
        // " 57": an entry whose name was empty, as older saves wrote it.
        if (nameStart == 0 || !readScore(first, score))
            return false;
        name = "anonymous";
        return true;
    }
    const std::size_t scoreStart = text.find_first_not_of(whitespace, nameEnd);
    if (scoreStart == std::string::npos)
        return false;
    const std::size_t scoreEnd = text.find_first_of(whitespace, scoreStart);
    if (scoreEnd != std::string::npos && text.find_first_not_of(whitespace, scoreEnd) != std::string::npos)
        return false;
    if (!readScore(text.substr(scoreStart, scoreEnd - scoreStart), score))
        return false;
    name = first;
    return true;
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
    std::ifstream in(path, std::ios::binary);
    if (!in.is_open()) {
        // A file that is there but unreadable must not be replaced by what little we know.
        const std::string target = platform::resolveLinks(path);
        unreadFile_ = target.empty() || platform::pathExists(target);
        return;
    }
    std::string line;
    while (std::getline(in, line)) {
        // The file's own line end wins over the system's, so a file moved between systems
        // never ends up with mixed ones.
        if (keptLines_.empty() && addedLines_.empty())
            lineEnd_ = !line.empty() && line.back() == '\r' ? "\r\n" : "\n";
        std::string name;
        float score = 0.0f;
        if (parseScoreLine(line, name, score))
            entries.emplace_back(name, score);
        keptLines_.push_back(line);
    }
    if (in.bad())
        unreadFile_ = true;
}

void HighScoreTable::add(std::string name, float score)
{
    name = storableName(name);
    if (!std::isfinite(score))
        score = 0.0f;
    entries.emplace_back(name, score);
    std::ostringstream line;
    line.imbue(std::locale::classic());
    line << name << ' ' << score;
    addedLines_.push_back(line.str());
}

void HighScoreTable::save(std::string path)
{
    if (unreadFile_)
        return;
    // Through a link to the file it names, so the link itself stays a link.
    const std::string target = platform::resolveLinks(path);
    if (target.empty())
        return;
    // Replacing only needs the folder's permission; a read-only file must stay as it is.
    if (platform::pathExists(target) && !platform::mayWriteFile(target))
        return;
    platform::removeStaleTemporaries(target);
    // Kept lines still carry their own CR, if any; only the LF was taken off.
    std::string content;
    for (const std::string& line : keptLines_)
        content += line + "\n";
    if (lineEnd_.empty())
        lineEnd_ = platform::textLineEnd();
    for (const std::string& line : addedLines_)
        content += line + lineEnd_;
    if (!platform::replaceFileAtomically(target, content))
        return;
    const bool crlf = lineEnd_ == "\r\n";
    for (const std::string& line : addedLines_)
        keptLines_.push_back(crlf ? line + "\r" : line);
    addedLines_.clear();
}

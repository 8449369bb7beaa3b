// The score file and the command line fed with seeded random garbage: no crash, no read
// out of bounds (the sanitizer build watches), no line of a player's file lost.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "HighScoreTable.h"
#include "TestSupport.h"

namespace {

// Every save syncs to disk; on a RAM file system that costs nothing, so 100,000 round trips
// stay quick. Falls back to /tmp where there is none.
std::string fastScratchParent()
{
    struct stat info;
    if (stat("/dev/shm", &info) == 0 && S_ISDIR(info.st_mode) && access("/dev/shm", W_OK) == 0)
        return "/dev/shm";
    return "/tmp";
}

// Score files as players and older versions left them: the mutations start from these.
const std::vector<std::string> seedFiles = {
    "",
    "ada 150\nbob 57\n",
    "ada 150\r\nbob 57\r\nzero 0\r\n",
    " 57\nrich 1.23457e+06\nlast 3",
    "a 1\n\nb 2\n  \t \nc x\nd 4 extra\n",
    std::string(200, 'n') + " 99\n\xc3\xa9l\xc3\xa8ve 42\n",
    "neg -5\ntiny 1e-45\nbig 3.4e38\nover 1e39\nnan nan\ninf inf\n",
};

// Pieces a mutation may splice in: separators, line ends, bytes the reader must survive, and
// number spellings at the edges of float extraction.
const std::vector<std::string> fragments = {
    " ", "\t", "\n", "\r", "\r\n", std::string(1, '\0'), "\xff", "\x80", "\xc3", "1e39", "-1e39",
    "1e-50", "nan", "inf", "-0", "+", "-", ".", "e", "1.", ".5", "0x10", "99999999999999999999",
    "1e", "1e+", "--1", "3.4028236e38",
};

std::string mutate(std::string text, std::mt19937& random)
{
    const int steps = 1 + static_cast<int>(random() % 4);
    for (int step = 0; step < steps; ++step) {
        const size_t at = text.empty() ? 0 : random() % (text.size() + 1);
        switch (random() % 6) {
        case 0: // flip one byte to anything
            if (!text.empty())
                text[random() % text.size()] = static_cast<char>(random() % 256);
            break;
        case 1: // insert a fragment
            text.insert(at, fragments[random() % fragments.size()]);
            break;
        case 2: // delete a run
            if (!text.empty())
                text.erase(at, random() % 8 + 1);
            break;
        case 3: // duplicate a run
            if (!text.empty()) {
                const size_t from = random() % text.size();
                text.insert(at, text.substr(from, random() % 16 + 1));
            }
            break;
        case 4: // cut the file short, as a full disk or a crash might
            text.resize(at);
            break;
        default: // a random byte
            text.insert(at, 1, static_cast<char>(random() % 256));
            break;
        }
    }
    return text;
}

void expectSane(const HighScoreTable& table, const std::string& input)
{
    // Every entry takes at least one word of the file.
    std::istringstream words(input);
    size_t wordCount = 0;
    for (std::string word; words >> word;)
        ++wordCount;
    ASSERT_LE(table.entries.size(), wordCount);
    for (const auto& [name, score] : table.entries) {
        ASSERT_FALSE(name.empty());
        ASSERT_EQ(name.find_first_of(" \t\n\v\f\r"), std::string::npos);
        ASSERT_TRUE(std::isfinite(score)) << name;
    }
}

TEST(HostileScoreFile, RandomMutationsNeverCrashAndASaveKeepsEveryLine)
{
    TempDir dir(fastScratchParent());
    const std::string path = dir.file("scores.txt");
    std::mt19937 random(20240611);
    constexpr int cases = 100000;
    for (int i = 0; i < cases; ++i) {
        const std::string input = mutate(seedFiles[random() % seedFiles.size()], random);
        dir.write("scores.txt", input);

        HighScoreTable table;
        table.load(path);
        expectSane(table, input);
        const auto entriesBefore = table.entries;

        // Now and then a winner joins: the new line must read back behind the old ones.
        const bool addWinner = i % 16 == 0;
        const std::string winner = mutate("winner", random);
        const float score = static_cast<float>(random() % 100001);
        if (addWinner)
            table.add(winner, score);
        table.save(path);

        // Nothing to add writes nothing; a winner's line goes after every byte of the file.
        const std::string saved = readFile(path);
        if (!addWinner) {
            ASSERT_EQ(input, saved) << "case " << i;
            continue;
        }
        ASSERT_EQ(input, saved.substr(0, input.size())) << "case " << i;
        ASSERT_LE(saved.size() - input.size(), storableName(winner).size() + 15) << "case " << i;
        HighScoreTable reloaded;
        reloaded.load(path);
        ASSERT_EQ(entriesBefore.size() + 1, reloaded.entries.size()) << "case " << i;
        // A name that reads as a score, after a word left alone at the end, gets a '_'.
        const std::string& name = reloaded.entries.back().first;
        EXPECT_TRUE(name == storableName(winner) || name == "_" + storableName(winner)) << "case " << i;
        EXPECT_EQ(score, reloaded.entries.back().second) << "case " << i;
    }
}

// --- command line -------------------------------------------------------------------------

const std::vector<std::string> optionNames = {"--width", "-w", "--height", "-h", "--refresh-rate", "-rr",
                                              "--brightness", "-b", "--fullscreen", "-fs"};

std::string randomArgument(std::mt19937& random)
{
    static const std::vector<std::string> awkward = {
        "", " ", "-", "--", "99999999999999999999", "-99999999999999999999", "2147483647",
        "2147483648", "-2147483649", "1e999", "-1e999", "nan", "inf", "0x7fffffff", "  42abc",
        "on", "ON", "--width=800", "\xff\xfe", "\xc3\xa9", "\t-w",
    };
    switch (random() % 4) {
    case 0:
        return optionNames[random() % optionNames.size()];
    case 1:
        return awkward[random() % awkward.size()];
    case 2: {
        std::string digits(1 + random() % 30, '0');
        for (char& c : digits)
            c = static_cast<char>('0' + random() % 10);
        return (random() % 2 ? "-" : "") + digits;
    }
    default: {
        std::string bytes(random() % 12, ' ');
        for (char& c : bytes)
            c = static_cast<char>(1 + random() % 255); // argv strings hold no NUL
        return bytes;
    }
    }
}

// Same reading as atoi where atoi is defined; the nearest int where it is not.
long clampedLong(const std::string& text)
{
    const long value = std::strtol(text.c_str(), nullptr, 10);
    return std::min<long>(std::max<long>(value, INT_MIN), INT_MAX);
}

TEST(HostileCommandLine, RandomArgumentListsParseWithoutFault)
{
    std::mt19937 random(7);
    for (int i = 0; i < 20000; ++i) {
        std::vector<std::string> args(random() % 9);
        for (std::string& arg : args)
            arg = randomArgument(random);
        std::vector<const char*> argv = {"orbelune"};
        for (const std::string& arg : args)
            argv.push_back(arg.c_str());

        std::ostringstream out;
        int monitorQueries = 0;
        const Settings settings = parseArguments(static_cast<int>(argv.size()), argv.data(), out, [&] {
            ++monitorQueries;
            return 60;
        });

        // The last width given wins; an option with no value after it changes nothing.
        long expectedWidth = 1280;
        bool refreshGiven = false;
        for (size_t name = 0; name + 1 < args.size(); name += 2) {
            if (args[name] == "-w" || args[name] == "--width")
                expectedWidth = clampedLong(args[name + 1]);
            refreshGiven = refreshGiven || args[name] == "-rr" || args[name] == "--refresh-rate";
        }
        ASSERT_EQ(expectedWidth, settings.width) << "case " << i;
        ASSERT_EQ(refreshGiven ? 0 : 1, monitorQueries) << "case " << i;
        // Five settings, each announced at least once, every line complete.
        const std::string text = out.str();
        ASSERT_FALSE(text.empty());
        ASSERT_EQ('\n', text.back());
    }
}

TEST(HostileCommandLine, NumbersBeyondIntClampInsteadOfWrapping)
{
    const auto width = [](const char* value) {
        const char* argv[] = {"orbelune", "-w", value};
        std::ostringstream out;
        return parseArguments(3, argv, out, [] { return 60; }).width;
    };
    EXPECT_EQ(INT_MAX, width("99999999999"));
    EXPECT_EQ(INT_MAX, width("2147483648"));
    EXPECT_EQ(INT_MIN, width("-99999999999999999999"));
    // In range it reads exactly as atoi does.
    EXPECT_EQ(INT_MAX, width("2147483647"));
    EXPECT_EQ(INT_MIN, width("-2147483648"));
    EXPECT_EQ(42, width("  +42abc"));
    EXPECT_EQ(0, width("0x10"));
    EXPECT_EQ(0, width("\xc3\xa9"));
}

} // namespace

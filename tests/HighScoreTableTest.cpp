#include <gtest/gtest.h>

#include <grp.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <functional>
#include <sstream>
#include <streambuf>
#include <string>

#include "HighScoreTable.h"
#include "TestSupport.h"

namespace {

using Entries = std::vector<std::pair<std::string, float>>;

HighScoreTable loaded(const std::string& path)
{
    HighScoreTable table;
    table.load(path);
    return table;
}

TEST(HighScoreTable, RoundTripWritesDefaultFloatFormat)
{
    TempDir dir;
    HighScoreTable table;
    table.add("ada", 150.0f);
    table.add("bob", 57.0f);
    table.add("zero", 0.0f);
    table.add("rich", 1234567.0f);
    table.save(dir.file("scores.txt"));
    EXPECT_EQ(readFile(dir.file("scores.txt")), "ada 150\nbob 57\nzero 0\nrich 1.23457e+06\n");
    EXPECT_EQ(loaded(dir.file("scores.txt")).entries,
              (Entries{{"ada", 150.0f}, {"bob", 57.0f}, {"zero", 0.0f}, {"rich", 1234570.0f}}));
}

TEST(HighScoreTable, MissingFileLoadsEmptyAndSaveCreatesIt)
{
    TempDir dir;
    HighScoreTable table;
    table.load(dir.file("scores.txt"));
    EXPECT_TRUE(table.entries.empty());
    table.add("ada", 42.0f);
    table.save(dir.file("scores.txt"));
    EXPECT_EQ(readFile(dir.file("scores.txt")), "ada 42\n");
}

TEST(HighScoreTable, MalformedLinesHideOnlyThemselvesAndSurviveTheNextSave)
{
    TempDir dir;
    // An empty name, as older versions wrote it, still reads.
    const std::string original = " 57\nada 150\nbob lots\ncy 57\n\nnan nan\nhuge 1e99\njo ann 3\nlast 9";
    dir.write("scores.txt", original);
    HighScoreTable table = loaded(dir.file("scores.txt"));
    EXPECT_EQ(table.entries, (Entries{{"anonymous", 57.0f}, {"ada", 150.0f}, {"cy", 57.0f}, {"last", 9.0f}}));

    table.add("dee", 12.0f);
    table.save(dir.file("scores.txt"));
    // The unterminated last line only gains its line end.
    EXPECT_EQ(readFile(dir.file("scores.txt")), original + "\ndee 12\n");
}

TEST(HighScoreTable, NamesAreMadeStorable)
{
    TempDir dir;
    HighScoreTable table;
    table.add("", 10.0f);
    table.add("two words\there", 20.0f);
    table.add(std::string(100, 'x'), 30.0f);
    // "é" is two bytes; 63 x then é would straddle the 64-byte cap.
    table.add(std::string(63, 'y') + "\xC3\xA9", 40.0f);
    // Bytes that steer a terminal showing the file: ESC, BEL, DEL, NUL, the C1 CSI written
    // in UTF-8 and alone; the letters around them and a whole "é" stay.
    table.add(std::string("a\x1b[31mred\x07\x7f") + '\0' + "z\xC2\x9B\x9B\xC3\xA9", 50.0f);
    table.save(dir.file("scores.txt"));

    const Entries back = loaded(dir.file("scores.txt")).entries;
    ASSERT_EQ(back.size(), 5u);
    EXPECT_EQ(back[4].first, "a_[31mred___z__\xC3\xA9");
    EXPECT_EQ(back[0], (std::pair<std::string, float>{"anonymous", 10.0f}));
    EXPECT_EQ(back[1].first, "two_words_here");
    EXPECT_EQ(back[2].first, std::string(64, 'x'));
    EXPECT_EQ(back[3].first, std::string(63, 'y'));
    EXPECT_EQ(back[3].second, 40.0f);
}

// The game has always read words: a name and its score may stand on separate lines, or
// between lone CR line ends. Every such entry shows, and a save adds in the file's own line end.
TEST(HighScoreTable, EntriesAreWordsWhateverWhiteSpaceSeparatesThem)
{
    TempDir dir;
    const std::string original = "ada\r150\nbob\r57\rcy\t\t3 dee 4\r";
    dir.write("scores.txt", original);
    HighScoreTable table = loaded(dir.file("scores.txt"));
    EXPECT_EQ(table.entries, (Entries{{"ada", 150.0f}, {"bob", 57.0f}, {"cy", 3.0f}, {"dee", 4.0f}}));
    table.add("eve", 5.0f);
    ASSERT_TRUE(table.save(dir.file("scores.txt")));
    EXPECT_EQ(readFile(dir.file("scores.txt")), original + "eve 5\r");

    // After a malformed entry, reading goes on at the next line.
    EXPECT_EQ(parseScores("ada\nlots\nbob 57 extra\ncy 3\n"), (Entries{{"bob", 57.0f}, {"cy", 3.0f}}));
}

// A word left alone at the end of the file takes the next word as its score; a winner whose
// name reads as one would be shown as that word's score, and the win lost.
TEST(HighScoreTable, ANumberForANameStillReadsBackAfterALoneWord)
{
    TempDir dir;
    dir.write("scores.txt", "ada 150\nlonely");
    HighScoreTable table = loaded(dir.file("scores.txt"));
    table.add("007", 57.0f);
    ASSERT_TRUE(table.save(dir.file("scores.txt")));
    EXPECT_EQ(loaded(dir.file("scores.txt")).entries, (Entries{{"ada", 150.0f}, {"_007", 57.0f}}));

    // In a file without a lone word the name is stored as typed.
    TempDir clean;
    HighScoreTable fresh;
    fresh.add("007", 57.0f);
    ASSERT_TRUE(fresh.save(clean.file("scores.txt")));
    EXPECT_EQ(readFile(clean.file("scores.txt")), "007 57\n");
}

TEST(HighScoreTable, SameNameTwiceKeepsBothEntriesAndASecondSaveAddsNothing)
{
    TempDir dir;
    for (float score : {5.0f, 7.0f}) {
        HighScoreTable table = loaded(dir.file("scores.txt"));
        table.add("ada", score);
        table.save(dir.file("scores.txt"));
        table.save(dir.file("scores.txt"));
    }
    EXPECT_EQ(readFile(dir.file("scores.txt")), "ada 5\nada 7\n");
}

TEST(HighScoreTable, CrlfFileStaysCrlf)
{
    TempDir dir;
    dir.write("scores.txt", "ada 150\r\nbob 57\r\n");
    HighScoreTable table = loaded(dir.file("scores.txt"));
    EXPECT_EQ(table.entries, (Entries{{"ada", 150.0f}, {"bob", 57.0f}}));
    table.add("cy", 1.0f);
    table.save(dir.file("scores.txt"));
    EXPECT_EQ(readFile(dir.file("scores.txt")), "ada 150\r\nbob 57\r\ncy 1\r\n");
}

TEST(HighScoreTable, SaveStoppedHalfwayLeavesTheOldFile)
{
    TempDir dir;
    const std::string original = "ada 150\nbob 57\n";
    dir.write("scores.txt", original);
    HighScoreTable table = loaded(dir.file("scores.txt"));
    for (int i = 0; i < 10000; ++i)
        table.add("player" + std::to_string(i), static_cast<float>(i));

    const pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        // The write meets the limit after 4 KiB, in the middle of the new content; the game
        // lives on (no SIGXFSZ) and is told.
        rlimit limit{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        _exit(table.save(dir.file("scores.txt")) ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "killed by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the save said it stored the entries";
    EXPECT_EQ(readFile(dir.file("scores.txt")), original);

    // The stopped save's temporary file had no name yet: nothing is left of it.
    EXPECT_EQ(folderListing(dir.path()), std::vector<std::string>{"scores.txt"});
    HighScoreTable next = loaded(dir.file("scores.txt"));
    next.add("cy", 3.0f);
    next.save(dir.file("scores.txt"));
    EXPECT_EQ(readFile(dir.file("scores.txt")), original + "cy 3\n");
}

TEST(HighScoreTable, UnwritableTargetLeavesTheOldFile)
{
    TempDir dir;
    // A directory where the file should be: the rename fails, nothing may be left behind.
    mkdir(dir.file("scores.txt").c_str(), 0755);
    HighScoreTable table;
    table.add("ada", 1.0f);
    table.save(dir.file("scores.txt"));
    struct stat info;
    ASSERT_EQ(stat(dir.file("scores.txt").c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(access((dir.file("scores.txt") + ".tmp-" + std::to_string(getpid())).c_str(), F_OK), -1);

    // A missing directory: silently nothing.
    table.save(dir.file("missing/scores.txt"));
    EXPECT_EQ(access(dir.file("missing").c_str(), F_OK), -1);
}

constexpr int cannotDropPrivileges = -2;

// The exit status of `action` run in a child process as the unprivileged user "nobody",
// who gets `dir`: the permission cases mean nothing to root, which the suite runs as.
int runAsNobody(const TempDir& dir, const std::function<void()>& action)
{
    const passwd* nobody = getpwnam("nobody");
    if (geteuid() != 0 || !nobody || chown(dir.path().c_str(), nobody->pw_uid, nobody->pw_gid) != 0)
        return cannotDropPrivileges;
    const pid_t worker = fork();
    if (worker == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(nobody->pw_gid) != 0 || setuid(nobody->pw_uid) != 0)
            _exit(77);
        action();
        _exit(0);
    }
    int status = 0;
    if (worker < 0 || waitpid(worker, &status, 0) != worker || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status) == 77 ? cannotDropPrivileges : WEXITSTATUS(status);
}

TEST(HighScoreTable, FileThePlayerCannotReadOrWriteStaysByteForByte)
{
    TempDir dir;
    const std::string original = "ada 150\nbob 57\n";
    for (mode_t mode : {0600, 0444}) {
        SCOPED_TRACE(mode);
        dir.write("scores.txt", original);
        // 0600 stays root's: unreadable. 0444 goes to the player: readable, not writable.
        ASSERT_EQ(chmod(dir.file("scores.txt").c_str(), mode), 0);
        if (mode == 0444 && getpwnam("nobody")) {
            ASSERT_EQ(chown(dir.file("scores.txt").c_str(), getpwnam("nobody")->pw_uid, 0), 0);
        }
        const int status = runAsNobody(dir, [&] {
            HighScoreTable table = loaded(dir.file("scores.txt"));
            if (table.entries.size() != (mode == 0444 ? 2u : 0u))
                _exit(1);
            table.add("cy", 3.0f);
            table.save(dir.file("scores.txt"));
        });
        if (status == cannotDropPrivileges)
            GTEST_SKIP() << "needs root, to act as the unprivileged user nobody";
        ASSERT_EQ(status, 0) << "the table did not read what the player may read";
        EXPECT_EQ(readFile(dir.file("scores.txt")), original);
        EXPECT_EQ(folderListing(dir.path()), std::vector<std::string>{"scores.txt"});
        struct stat info;
        ASSERT_EQ(stat(dir.file("scores.txt").c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, mode);
    }
}

TEST(HighScoreTable, SaveGoesThroughALinkAndKeepsModeAndOwner)
{
    TempDir dir;
    dir.write("data/real.txt", "ada 150\n");
    ASSERT_EQ(symlink("data/real.txt", dir.file("scores.txt").c_str()), 0);
    ASSERT_EQ(chmod(dir.file("data/real.txt").c_str(), 0640), 0);
    const passwd* nobody = getpwnam("nobody");
    const bool mayGiveAway = geteuid() == 0 && nobody;
    if (mayGiveAway) {
        ASSERT_EQ(chown(dir.file("data/real.txt").c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    }

    HighScoreTable table = loaded(dir.file("scores.txt"));
    table.add("bob", 57.0f);
    table.save(dir.file("scores.txt"));

    struct stat info;
    ASSERT_EQ(lstat(dir.file("scores.txt").c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_EQ(readFile(dir.file("data/real.txt")), "ada 150\nbob 57\n");
    ASSERT_EQ(stat(dir.file("data/real.txt").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    if (mayGiveAway) {
        EXPECT_EQ(info.st_uid, nobody->pw_uid);
    }
    EXPECT_EQ(folderListing(dir.file("data")), std::vector<std::string>{"real.txt"});
}

// An endless run of one byte, then " next": a word far longer than anything worth keeping.
class LongWordSource : public std::streambuf {
public:
    explicit LongWordSource(std::size_t length) : left_(length) { refill(); }

private:
    int_type underflow() override
    {
        if (gptr() < egptr())
            return traits_type::to_int_type(*gptr());
        return refill() ? traits_type::to_int_type(*gptr()) : traits_type::eof();
    }
    bool refill()
    {
        if (left_ == 0) {
            if (tailGiven_)
                return false;
            tailGiven_ = true;
            chunk_ = " next";
        } else {
            chunk_.assign(std::min<std::size_t>(left_, 1 << 16), 'x');
            left_ -= chunk_.size();
        }
        setg(chunk_.data(), chunk_.data(), chunk_.data() + chunk_.size());
        return true;
    }
    std::size_t left_;
    bool tailGiven_ = false;
    std::string chunk_;
};

TEST(HighScoreTable, NameWordIsBoundedWhileItIsRead)
{
    LongWordSource source(std::size_t(256) << 20);
    std::istream in(&source);
    EXPECT_EQ(readNameWord(in, 256), std::string(256, 'x'));
    EXPECT_EQ(readNameWord(in, 256), "next");
    EXPECT_TRUE(in.eof());

    // Like >>: leading whitespace skipped, the delimiter left unread, failure at the end.
    std::istringstream words("  \n ada  bob");
    EXPECT_EQ(readNameWord(words), "ada");
    EXPECT_EQ(words.peek(), ' ');
    EXPECT_EQ(readNameWord(words), "bob");
    EXPECT_FALSE(words.fail());
    EXPECT_EQ(readNameWord(words), "");
    EXPECT_TRUE(words.fail());
}

} // namespace

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
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
    table.save(dir.file("scores.txt"));

    const Entries back = loaded(dir.file("scores.txt")).entries;
    ASSERT_EQ(back.size(), 4u);
    EXPECT_EQ(back[0], (std::pair<std::string, float>{"anonymous", 10.0f}));
    EXPECT_EQ(back[1].first, "two_words_here");
    EXPECT_EQ(back[2].first, std::string(64, 'x'));
    EXPECT_EQ(back[3].first, std::string(63, 'y'));
    EXPECT_EQ(back[3].second, 40.0f);
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

TEST(HighScoreTable, SaveKilledHalfwayLeavesTheOldFile)
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
        // The write dies of SIGXFSZ after 4 KiB, in the middle of the new content.
        rlimit limit{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        table.save(dir.file("scores.txt"));
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGXFSZ);
    EXPECT_EQ(readFile(dir.file("scores.txt")), original);
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

} // namespace

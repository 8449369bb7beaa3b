// The platform layer and the score file's promises that rest on it. Needs neither a window
// nor POSIX, so the Windows build runs it too (under Wine).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

#include "HighScoreTable.h"
#include "platform/FileSharing.h"
#include "platform/Platform.h"

namespace fs = std::filesystem;

namespace {

class PlatformFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        folder = fs::temp_directory_path() / ("orbelune-platform-" + std::to_string(stamp));
        fs::create_directories(folder);
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::permissions(file("scores.txt"), fs::perms::owner_all, ignored);
        fs::remove_all(folder, ignored);
    }

    std::string file(const std::string& name) const { return (folder / name).string(); }
    void write(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(file(name), std::ios::binary) << bytes;
    }
    std::string read(const std::string& name) const
    {
        std::ifstream in(file(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    int filesInFolder() const { return static_cast<int>(std::distance(fs::directory_iterator(folder), {})); }

    // One load, add and save, as the name entry after a win does it.
    void addEntry(const std::string& name, float score) const
    {
        HighScoreTable table;
        table.load(file("scores.txt"));
        table.add(name, score);
        table.save(file("scores.txt"));
    }

    fs::path folder;
};

TEST(PlatformPaths, DataPathsAreSpeltTheSystemsWay)
{
#ifdef _WIN32
    EXPECT_EQ(".\\assets\\Rock.obj", platform::dataPath("assets/Rock.obj"));
    EXPECT_EQ(".\\shaders\\pbr.vert", platform::dataPath("shaders/pbr.vert"));
    EXPECT_EQ(".\\assets\\", platform::dataPath("assets/"));
    EXPECT_EQ("C:\\Windows\\Fonts\\arial.ttf", platform::hudFontPath());
#else
    EXPECT_EQ("./assets/Rock.obj", platform::dataPath("assets/Rock.obj"));
    EXPECT_EQ("./assets/", platform::dataPath("assets/"));
#endif
}

TEST_F(PlatformFiles, ReplacementLeavesOnlyTheNewContent)
{
    write("scores.txt", "old 1\n");
    ASSERT_TRUE(platform::replaceFileAtomically(file("scores.txt"), "new 2\n"));
    EXPECT_EQ("new 2\n", read("scores.txt"));
    ASSERT_TRUE(platform::replaceFileAtomically(file("fresh.txt"), ""));
    EXPECT_TRUE(platform::pathExists(file("fresh.txt")));
    EXPECT_EQ(2, filesInFolder()) << "a temporary file was left behind";
}

TEST_F(PlatformFiles, ReplacingIntoAMissingFolderFailsWithoutCreatingIt)
{
    EXPECT_FALSE(platform::replaceFileAtomically(file("missing/scores.txt"), "a 1\n"));
    EXPECT_FALSE(platform::pathExists(file("missing")));
}

// What a save killed half-way leaves must go, but never a running save's file.
TEST_F(PlatformFiles, OnlyTemporariesOfEndedProcessesAreRemoved)
{
#ifdef _WIN32
    const std::string ownPid = std::to_string(GetCurrentProcessId());
#else
    const std::string ownPid = std::to_string(::getpid());
#endif
    write("scores.txt.tmp-99999999", "half a sa");
    write("scores.txt.tmp-" + ownPid, "running");
    write("scores.txt.tmp-notapid", "someone else's");
    write("other.txt.tmp-99999999", "another file's");
    platform::removeStaleTemporaries(file("scores.txt"));
    EXPECT_FALSE(platform::pathExists(file("scores.txt.tmp-99999999")));
    EXPECT_TRUE(platform::pathExists(file("scores.txt.tmp-" + ownPid)));
    EXPECT_TRUE(platform::pathExists(file("scores.txt.tmp-notapid")));
    EXPECT_TRUE(platform::pathExists(file("other.txt.tmp-99999999")));

    // A save finds them too, whatever spelling of the path the link resolution gave it.
    write("scores.txt", "ada 57\n");
    write("scores.txt.tmp-99999999", "half a sa");
    addEntry("bob", 150.0f);
    EXPECT_FALSE(platform::pathExists(file("scores.txt.tmp-99999999")));
}

// Saving through a link changes the file it names; the link stays a link. A chain is followed
// as deep as Linux opens one, 40 links, and a loop is refused rather than followed for ever.
TEST_F(PlatformFiles, ASaveThroughALinkChangesTheFileItNames)
{
    write("real.txt", "ada 57\n");
    bool linked = true;
    const auto link = [&](const std::string& name, const std::string& target) {
        std::error_code error;
        fs::create_symlink(target, folder / name, error);
        linked = linked && !error;
    };
    link("hop-1", "real.txt");
    for (int hop = 2; hop < 40; ++hop)
        link("hop-" + std::to_string(hop), "hop-" + std::to_string(hop - 1));
    link("scores.txt", "hop-39");
    if (!linked)
        GTEST_SKIP() << "no symbolic links here";
    addEntry("bob", 150.0f);
    EXPECT_TRUE(fs::is_symlink(folder / "scores.txt"));
    EXPECT_EQ("ada 57\nbob 150\n", read("real.txt"));

    link("loop-a", "loop-b");
    link("loop-b", "loop-a");
    EXPECT_EQ(platform::resolveLinks(file("loop-a")), "");
#ifndef _WIN32
    link("hop-41", "scores.txt"); // Windows follows up to 63
    EXPECT_EQ(platform::resolveLinks(file("hop-41")), "");
#endif
}

// A link to a file not made yet is followed as the system follows it on opening: the save
// creates the file the link names, beside the link, and the link stays a link.
TEST_F(PlatformFiles, ASaveThroughALinkToNothingCreatesTheFileItNames)
{
    std::error_code error;
    fs::create_symlink("real.txt", folder / "scores.txt", error);
    if (error)
        GTEST_SKIP() << "no symbolic links here: " << error.message();
    addEntry("bob", 150.0f);
    EXPECT_TRUE(fs::is_symlink(folder / "scores.txt"));
    EXPECT_EQ("bob 150" + std::string(platform::textLineEnd()), read("real.txt"));
}

// Two games ending at the same moment: each save must see the other's entry. Threads stand
// in for the games, so that the Windows build checks its turn-taking too.
TEST_F(PlatformFiles, TwoSavesAtOnceKeepEveryEntry)
{
    constexpr int rounds = 20;
    for (int round = 0; round < rounds; ++round) {
        std::atomic<int> started{0};
        auto game = [&](const std::string& name) {
            ++started;
            while (started.load() < 2)
                std::this_thread::yield();
            addEntry(name, static_cast<float>(round));
        };
        std::thread first(game, "a" + std::to_string(round));
        std::thread second(game, "b" + std::to_string(round));
        first.join();
        second.join();
    }
    HighScoreTable table;
    table.load(file("scores.txt"));
    EXPECT_EQ(2u * rounds, table.entries.size());
}

TEST_F(PlatformFiles, ANewFileGetsTheSystemsLineEnd)
{
    addEntry("ada", 57.0f);
    addEntry("bob", 150.0f);
    const std::string end = platform::textLineEnd();
    EXPECT_EQ("ada 57" + end + "bob 150" + end, read("scores.txt"));
}

// A file carried from one system to the other keeps its own line ends when extended there,
// and every entry, old and new, reads back.
TEST_F(PlatformFiles, FilesFromEitherSystemAreReadAndExtendedInTheirOwnLineEnds)
{
    for (const std::string end : {"\n", "\r\n"}) {
        write("scores.txt", "ada 57" + end + "bob 150" + end);
        addEntry("cy", 3.0f);
        EXPECT_EQ("ada 57" + end + "bob 150" + end + "cy 3" + end, read("scores.txt"));
        HighScoreTable table;
        table.load(file("scores.txt"));
        ASSERT_EQ(3u, table.entries.size());
        EXPECT_EQ("bob", table.entries[1].first);
        EXPECT_EQ(150.0f, table.entries[1].second);
    }
}

TEST_F(PlatformFiles, AReadOnlyScoreFileIsLeftAsItWas)
{
    write("scores.txt", "ada 57\n");
    fs::permissions(file("scores.txt"), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
#ifndef _WIN32
    if (std::ofstream(file("scores.txt"), std::ios::app).is_open())
        GTEST_SKIP() << "this user may write to read-only files";
#endif
    addEntry("bob", 150.0f);
    EXPECT_EQ("ada 57\n", read("scores.txt"));
    EXPECT_EQ(1, filesInFolder());
}

// Another program holding the score file's lock past the save's wait: nothing is written,
// and the save says so; once the lock is free the same save goes through.
TEST_F(PlatformFiles, ALockHeldPastTheWaitLeavesTheFileAsItWas)
{
    write("scores.txt", "ada 57\n");
#ifdef _WIN32
    HANDLE holder = CreateFileW(fs::path(file("scores.txt")).wstring().c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);
    OVERLAPPED whole{};
    ASSERT_TRUE(LockFileEx(holder, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole));
#else
    const int holder = ::open(file("scores.txt").c_str(), O_RDONLY);
    ASSERT_EQ(0, ::flock(holder, LOCK_EX));
#endif
    platform::setSaveLockWaitForTests(std::chrono::milliseconds(200));
    HighScoreTable table;
    table.add("bob", 150.0f);
    const bool savedWhileHeld = table.save(file("scores.txt"));
#ifdef _WIN32
    UnlockFileEx(holder, 0, MAXDWORD, MAXDWORD, &whole);
    CloseHandle(holder);
#else
    ::close(holder);
#endif
    EXPECT_FALSE(savedWhileHeld);
    EXPECT_EQ("ada 57\n", read("scores.txt"));
    EXPECT_TRUE(table.save(file("scores.txt")));
    platform::setSaveLockWaitForTests(platform::defaultSaveLockWait);
    EXPECT_EQ("ada 57\nbob 150\n", read("scores.txt"));
}

#ifdef _WIN32
// Another program holding the file open without sharing (an editor, a virus scanner) must
// not make the game write a table that lacks the entries it could not read.
TEST_F(PlatformFiles, AScoreFileLockedByAnotherProgramIsLeftAsItWas)
{
    write("scores.txt", "ada 57\r\n");
    HANDLE lock = CreateFileW(fs::path(file("scores.txt")).wstring().c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, lock);
    addEntry("bob", 150.0f);
    CloseHandle(lock);
    EXPECT_EQ("ada 57\r\n", read("scores.txt"));
    EXPECT_EQ(1, filesInFolder());
}
#endif

} // namespace

// The score file against what a shared machine can put at its path: pipes, devices, endless
// sources, huge files, folders that refuse new files, other users' files, and two games
// saving at the same moment. Every case runs in a child process with a deadline, so a save
// that blocks or reads without end fails here instead of hanging the suite.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "HighScoreTable.h"
#include "TestSupport.h"

namespace {

constexpr int timedOut = -1;
constexpr int notRoot = 77;

// The child's standard output and error, kept apart from the folder under test.
struct ChildOutput {
    TempDir dir;
    std::string out() const { return readFile(dir.file("out")); }
    std::string err() const { return readFile(dir.file("err")); }
};

bool becomeNobody()
{
    const passwd* nobody = getpwnam("nobody");
    return geteuid() == 0 && nobody && setgroups(0, nullptr) == 0 && setgid(nobody->pw_gid) == 0 &&
           setuid(nobody->pw_uid) == 0;
}

// Starts `action` in a child process (as "nobody" when `asNobody`; that needs root and
// exits notRoot otherwise) with its output in `output`. The child may not hold more than
// 1 GiB, so that an endless read ends quickly.
pid_t startChild(const std::function<int()>& action, const ChildOutput& output, bool asNobody = false)
{
    const pid_t child = fork();
    if (child != 0)
        return child;
#ifndef __SANITIZE_ADDRESS__
    const rlimit memory{rlim_t(1) << 30, rlim_t(1) << 30};
    setrlimit(RLIMIT_AS, &memory);
#endif
    const int out = open(output.dir.file("out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    const int err = open(output.dir.file("err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (out < 0 || err < 0 || dup2(out, STDOUT_FILENO) < 0 || dup2(err, STDERR_FILENO) < 0)
        _exit(126);
    if (asNobody && !becomeNobody())
        _exit(notRoot);
    _exit(action());
}

// The child's exit status, or timedOut when it had to be killed at the deadline;
// `peakKiB` gets the most memory it held.
int waitChild(pid_t child, std::chrono::steady_clock::time_point deadline, long* peakKiB = nullptr)
{
    if (child < 0)
        return timedOut;
    int status = 0;
    rusage usage{};
    while (wait4(child, &status, WNOHANG, &usage) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return timedOut;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (peakKiB)
        *peakKiB = usage.ru_maxrss;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

int inChild(const std::function<int()>& action, const ChildOutput& output, bool asNobody = false,
            long* peakKiB = nullptr)
{
    return waitChild(startChild(action, output, asNobody), deadlineAfter(60.0), peakKiB);
}

// One game's end after a win: load, add, save. 0 when the save says it stored the entry.
int win(const std::string& path, const std::string& name, float score)
{
    HighScoreTable table;
    table.load(path);
    table.add(name, score);
    return table.save(path) ? 0 : 1;
}

// A win on a file the game must neither read nor write: 0 when nothing was shown and the
// save was refused, 1 when entries were read, 2 when the save claimed success.
int refusedWin(const std::string& path, const std::string& name, float score)
{
    HighScoreTable table;
    table.load(path);
    if (!table.entries.empty())
        return 1;
    table.add(name, score);
    return table.save(path) ? 2 : 0;
}

struct stat statOf(const std::string& path, bool followLinks = false)
{
    struct stat info {};
    EXPECT_EQ(followLinks ? stat(path.c_str(), &info) : lstat(path.c_str(), &info), 0) << path;
    return info;
}

// A device node like one of the system's; root makes a copy in `dir`, anyone else links to
// the system's own, which a save could not replace anyway.
std::string deviceLike(const TempDir& dir, const char* name, unsigned minor)
{
    const std::string copy = dir.file(name);
    if (geteuid() == 0 && mknod(copy.c_str(), S_IFCHR | 0666, makedev(1, minor)) == 0)
        return copy;
    return std::string("/dev/") + name;
}

TEST(ScoreFileRefusals, NothingButARegularFileIsReadWrittenOrReplaced)
{
    const std::vector<std::pair<std::string, std::function<void(const TempDir&, const std::string&)>>> kinds = {
        {"named pipe", [](const TempDir&, const std::string& path) { ASSERT_EQ(mkfifo(path.c_str(), 0666), 0); }},
        {"socket",
         [](const TempDir&, const std::string& path) {
             const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
             sockaddr_un address{};
             address.sun_family = AF_UNIX;
             std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
             ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
             close(fd);
         }},
        {"folder", [](const TempDir&, const std::string& path) { ASSERT_EQ(mkdir(path.c_str(), 0777), 0); }},
        {"link to a device",
         [](const TempDir& dir, const std::string& path) {
             ASSERT_EQ(symlink(deviceLike(dir, "null", 3).c_str(), path.c_str()), 0);
         }},
        {"link to an endless source",
         [](const TempDir& dir, const std::string& path) {
             ASSERT_EQ(symlink(deviceLike(dir, "zero", 5).c_str(), path.c_str()), 0);
         }},
    };
    for (const auto& [kind, make] : kinds) {
        SCOPED_TRACE(kind);
        TempDir dir;
        const std::string path = dir.file("scores.txt");
        make(dir, path);
        const struct stat before = statOf(path, true);
        const std::vector<std::string> listing = folderListing(dir.path());

        ChildOutput output;
        long peakKiB = 0;
        const int status = inChild([&] { return refusedWin(path, "ada", 150.0f); }, output, false, &peakKiB);
        EXPECT_EQ(status, 0) << "-1: the game hung; 134: it ran out of memory";
        EXPECT_LT(peakKiB, 256 * 1024) << "the read has no bound";

        const struct stat after = statOf(path, true);
        EXPECT_EQ(after.st_mode, before.st_mode);
        EXPECT_EQ(after.st_ino, before.st_ino);
        EXPECT_EQ(after.st_rdev, before.st_rdev);
        EXPECT_EQ(folderListing(dir.path()), listing);
        // One line on standard error naming the file; nothing on standard output.
        EXPECT_EQ(output.out(), "");
        const std::string message = output.err();
        EXPECT_NE(message.find(path), std::string::npos) << message;
        EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << message;
    }
}

TEST(ScoreFileBounds, AFileOverTheBoundIsNeitherShownNorChanged)
{
    TempDir dir;
    const std::string path = dir.file("scores.txt");
    const std::string first = "ada 150\n";
    // The documented bound, written out rather than read from the table, so that a larger
    // one fails here.
    const std::size_t bound = std::size_t(1) << 20;

    // At the bound the file is read whole and grows.
    const std::string atBound = first + std::string(bound - first.size() - 1, 'x') + "\n";
    dir.write("scores.txt", atBound);
    ChildOutput output;
    EXPECT_EQ(inChild([&] { return win(path, "bob", 57.0f); }, output), 0);
    EXPECT_EQ(readFile(path), atBound + "bob 57\n");

    // One byte over: neither shown nor touched, and the save says why.
    const std::string overBound = first + std::string(bound - first.size(), 'x') + "\n";
    dir.write("scores.txt", overBound);
    const int status = inChild([&] { return refusedWin(path, "cy", 3.0f); }, output);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(readFile(path), overBound);
    EXPECT_NE(output.err().find("larger than"), std::string::npos) << output.err();
}

TEST(ScoreFileInPlace, EveryHardLinkSeesTheNewEntry)
{
    TempDir dir;
    dir.write("scores.txt", "ada 150\n");
    ASSERT_EQ(link(dir.file("scores.txt").c_str(), dir.file("backup.txt").c_str()), 0);
    const ino_t inode = statOf(dir.file("scores.txt")).st_ino;
    ChildOutput output;
    EXPECT_EQ(inChild([&] { return win(dir.file("scores.txt"), "bob", 57.0f); }, output), 0);
    EXPECT_EQ(readFile(dir.file("backup.txt")), "ada 150\nbob 57\n");
    EXPECT_EQ(statOf(dir.file("scores.txt")).st_ino, inode);
}

// The shared-score setup: a folder the player may not add files to, holding a file the
// player may write. Root plays as "nobody"; anyone else as themselves.
TEST(ScoreFileInPlace, AFolderThatRefusesNewFilesStillTakesTheWin)
{
    TempDir dir;
    dir.write("scores.txt", "ada 150\n");
    const passwd* nobody = getpwnam("nobody");
    const bool root = geteuid() == 0;
    if (root) {
        ASSERT_NE(nobody, nullptr);
        ASSERT_EQ(chown(dir.file("scores.txt").c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    }
    ASSERT_EQ(chmod(dir.path().c_str(), 0555), 0);
    const ino_t inode = statOf(dir.file("scores.txt")).st_ino;
    ChildOutput output;
    const int status = inChild([&] { return win(dir.file("scores.txt"), "bob", 57.0f); }, output, root);
    chmod(dir.path().c_str(), 0755);
    ASSERT_EQ(status, 0) << output.err();
    EXPECT_EQ(readFile(dir.file("scores.txt")), "ada 150\nbob 57\n");
    EXPECT_EQ(statOf(dir.file("scores.txt")).st_ino, inode);
    EXPECT_EQ(folderListing(dir.path()), std::vector<std::string>{"scores.txt"});
}

TEST(ScoreFileInPlace, AnotherUsersWritableFileKeepsItsOwner)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root, to save as the unprivileged user nobody into root's file";
    TempDir dir;
    ASSERT_EQ(chmod(dir.path().c_str(), 0777), 0);
    dir.write("scores.txt", "ada 150\n");
    ASSERT_EQ(chmod(dir.file("scores.txt").c_str(), 0666), 0);
    const struct stat before = statOf(dir.file("scores.txt"));
    ChildOutput output;
    ASSERT_EQ(inChild([&] { return win(dir.file("scores.txt"), "bob", 57.0f); }, output, true), 0);
    const struct stat after = statOf(dir.file("scores.txt"));
    EXPECT_EQ(readFile(dir.file("scores.txt")), "ada 150\nbob 57\n");
    EXPECT_EQ(after.st_uid, before.st_uid);
    EXPECT_EQ(after.st_gid, before.st_gid);
    EXPECT_EQ(after.st_mode, before.st_mode);
}

// Two games winning at the same moment, many times over: by rename and in place (a second
// hard link forces that), every entry must be in the file.
TEST(ScoreFileConcurrency, TwoGamesSavingAtOnceKeepEveryEntry)
{
    constexpr int rounds = 30;
    for (const bool inPlace : {false, true}) {
        SCOPED_TRACE(inPlace ? "in place" : "by rename");
        TempDir dir;
        const std::string path = dir.file("scores.txt");
        dir.write("scores.txt", "");
        if (inPlace) {
            ASSERT_EQ(link(path.c_str(), dir.file("other-name.txt").c_str()), 0);
        }
        std::set<std::string> expected;
        for (int round = 0; round < rounds; ++round) {
            int start[2];
            ASSERT_EQ(pipe(start), 0);
            std::vector<pid_t> games;
            std::vector<ChildOutput> outputs(2);
            for (int game = 0; game < 2; ++game) {
                const std::string name = "g" + std::to_string(game) + "r" + std::to_string(round);
                expected.insert(name);
                games.push_back(startChild(
                    [&] {
                        // Both start when the last write end of the pipe closes.
                        close(start[1]);
                        char go;
                        while (read(start[0], &go, 1) > 0) {
                        }
                        return win(path, name, static_cast<float>(round));
                    },
                    outputs[game]));
            }
            close(start[0]);
            close(start[1]);
            const auto deadline = deadlineAfter(60.0);
            std::vector<int> statuses;
            for (pid_t game : games)
                statuses.push_back(waitChild(game, deadline));
            ASSERT_EQ(statuses, (std::vector<int>{0, 0})) << outputs[0].err() << outputs[1].err();
        }
        HighScoreTable table;
        table.load(path);
        std::set<std::string> names;
        for (const auto& entry : table.entries)
            names.insert(entry.first);
        EXPECT_EQ(table.entries.size(), expected.size());
        EXPECT_EQ(names, expected);
    }
}

// Whoever holds the lock far longer than a save takes is no game saving: the win is stored
// after a bounded wait, and the player is told it went in without the lock.
TEST(ScoreFileConcurrency, ALockHeldTooLongDelaysTheSaveButLosesNothing)
{
    TempDir dir;
    dir.write("scores.txt", "ada 150\n");
    const int held = open(dir.file("scores.txt").c_str(), O_RDONLY);
    ASSERT_GE(held, 0);
    ASSERT_EQ(flock(held, LOCK_EX), 0);
    ChildOutput output;
    EXPECT_EQ(inChild([&] { return win(dir.file("scores.txt"), "bob", 57.0f); }, output), 0);
    close(held);
    EXPECT_EQ(readFile(dir.file("scores.txt")), "ada 150\nbob 57\n");
    EXPECT_NE(output.err().find("without its lock"), std::string::npos) << output.err();
}

} // namespace

// The score file against what a shared machine can put at its path: pipes, devices, endless
// sources, huge files, folders that refuse new files, other users' files, and two games
// saving at the same moment. Every case runs in a child process with a deadline, so a save
// that blocks or reads without end fails here instead of hanging the suite.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <sys/syscall.h>

#include "HighScoreTable.h"
#include "TestSupport.h"
#include "platform/FileSharing.h"

// Writes as a network file system makes them when signals keep arriving: while it is set,
// every other write and pwrite the game's code makes is interrupted before it writes
// anything (EINTR), and the others move at most this many bytes. The game's calls reach
// these definitions before the C library's.
static std::atomic<std::size_t> shortWritesOf{0};
static std::atomic<unsigned> writeCalls{0};

// The bytes this call may write, or 0 when it is to be interrupted.
static std::size_t allowed(std::size_t size)
{
    const std::size_t most = shortWritesOf.load();
    if (most == 0)
        return size;
    if (writeCalls++ % 2 == 0) {
        errno = EINTR;
        return 0;
    }
    return std::min(size, most);
}

extern "C" ssize_t write(int fd, const void* bytes, size_t size)
{
    const std::size_t count = allowed(size);
    return count == 0 && size != 0 ? -1 : static_cast<ssize_t>(syscall(SYS_write, fd, bytes, count));
}

extern "C" ssize_t pwrite(int fd, const void* bytes, size_t size, off_t at)
{
    const std::size_t count = allowed(size);
    return count == 0 && size != 0 ? -1 : static_cast<ssize_t>(syscall(SYS_pwrite64, fd, bytes, count, at));
}

extern "C" ssize_t pwrite64(int fd, const void* bytes, size_t size, off64_t at)
{
    return pwrite(fd, bytes, size, at);
}

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

// No size is too large to show or to extend: the display keeps the best entries of a stream
// and the save reads only the file's end. A file past the replacement's copy bound is
// extended in place.
TEST(ScoreFileBounds, FilesOfManyMebibytesAreShownAndExtendedInBoundedMemory)
{
    for (const std::size_t mebibytes : {std::size_t(2), std::size_t(20), std::size_t(48)}) {
        SCOPED_TRACE(std::to_string(mebibytes) + " MiB");
        TempDir dir;
        const std::string path = dir.file("scores.txt");
        const std::string filler = std::string(200, 'x') + " 1\n";
        std::string content = "ada 150\ntop 999\n";
        while (content.size() < (mebibytes << 20))
            content += filler;
        dir.write("scores.txt", content);
        // Not held while the child runs: it would count as the child's.
        const std::size_t oldSize = content.size();
        std::string().swap(content);
        struct stat before;
        ASSERT_EQ(stat(path.c_str(), &before), 0);

        ChildOutput output;
        long peakKiB = 0;
        const int status = inChild(
            [&] {
                HighScoreTable table;
                table.load(path);
                const bool topShown = std::any_of(table.entries.begin(), table.entries.end(),
                                                  [](const auto& e) { return e.first == "top"; });
                // Ties at the cut fill the table to its bound, none more and none fewer.
                if (!topShown || table.entries.size() != HighScoreTable::maxKeptEntries)
                    return 3;
                table.add("bob", 57.0f);
                return table.save(path) ? 0 : 1;
            },
            output, false, &peakKiB);
        EXPECT_EQ(status, 0) << output.err();
        if (residentMemoryIsTheGames) {
            EXPECT_LT(peakKiB, 32 * 1024) << "the file was held whole";
        }
        const std::string saved = readFile(path);
        EXPECT_EQ(saved.size(), oldSize + 7);
        EXPECT_EQ(saved.compare(oldSize, std::string::npos, "bob 57\n"), 0);
        EXPECT_EQ(output.err(), "");
        // Past 16 MiB a copy would cost more than it protects: the entry is appended in place.
        struct stat after;
        ASSERT_EQ(stat(path.c_str(), &after), 0);
        if (mebibytes > 16) {
            EXPECT_EQ(after.st_ino, before.st_ino) << "the file was copied";
        }
    }
}

// Both ways of saving, a replacement and an append in place, try an interrupted write again
// and carry on where a short one stopped, until the whole entry is down.
TEST(ScoreFileShortWrites, AFileSystemThatTakesAFewBytesAtATimeGetsTheWholeSave)
{
    TempDir dir;
    std::string content = "ada 150\n";
    for (int pilot = 0; pilot < 200; ++pilot)
        content += "pilot" + std::to_string(pilot) + " " + std::to_string(pilot) + "\n";
    dir.write("replaced.txt", content);
    dir.write("in-place.txt", content);
    ASSERT_EQ(link(dir.file("in-place.txt").c_str(), dir.file("link.txt").c_str()), 0); // kept in place
    for (const char* name : {"replaced.txt", "in-place.txt"}) {
        SCOPED_TRACE(name);
        const std::string path = dir.file(name);
        struct stat before;
        ASSERT_EQ(stat(path.c_str(), &before), 0);
        HighScoreTable table;
        table.load(path);
        table.add("bob", 57.0f);
        shortWritesOf = 3;
        const bool saved = table.save(path);
        shortWritesOf = 0;
        EXPECT_TRUE(saved);
        EXPECT_EQ(readFile(path), content + "bob 57\n");
        // Not by the fallback: a single-link file is still replaced whole, so no power cut
        // can leave half an entry in it.
        struct stat after;
        ASSERT_EQ(stat(path.c_str(), &after), 0);
        EXPECT_EQ(after.st_ino != before.st_ino, std::string(name) == "replaced.txt");
    }
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

// Where the system has no unnamed files, the temporary has a name another user may have
// planted first: a hard link there to someone's file must not be written through.
TEST(ScoreFileReplacement, ALinkPlantedAtTheTemporarysNameIsNeverWrittenThrough)
{
    TempDir dir;
    const std::string path = dir.file("scores.txt");
    dir.write("scores.txt", "ada 150\n");
    dir.write("victim.txt", "someone's own\n");
    ASSERT_EQ(chmod(dir.file("victim.txt").c_str(), 0600), 0);
    ChildOutput output;
    const int status = inChild(
        [&] {
            platform::forceNamedTemporariesForTests(true);
            const std::string temporary = platform::temporaryPathFor(path, static_cast<unsigned long>(getpid()));
            if (link(dir.file("victim.txt").c_str(), temporary.c_str()) != 0)
                return 5;
            return win(path, "bob", 57.0f);
        },
        output);
    EXPECT_EQ(status, 0) << output.err();
    EXPECT_EQ(readFile(path), "ada 150\nbob 57\n");
    EXPECT_EQ(readFile(dir.file("victim.txt")), "someone's own\n");
    EXPECT_EQ(statOf(dir.file("victim.txt")).st_mode & 07777, 0600u);
    EXPECT_EQ(folderListing(dir.path()), (std::vector<std::string>{"scores.txt", "victim.txt"}));
}

// An access list in the POSIX form Linux stores as an extended attribute: the owner, one
// named user, the group, the mask and the others.
std::string accessListGiving(uid_t user)
{
    struct Entry {
        std::uint16_t tag, permissions;
        std::uint32_t id;
    };
    const std::uint32_t none = ~0u;
    const Entry entries[] = {{0x01, 6, none}, {0x02, 6, user}, {0x04, 4, none}, {0x10, 6, none}, {0x20, 4, none}};
    std::string bytes(4, '\0');
    bytes[0] = 2; // the format's version, little-endian
    for (const Entry& entry : entries)
        bytes.append(reinterpret_cast<const char*>(&entry), sizeof entry);
    return bytes;
}

// A rename would give the file a fresh inode: what the old one carries must survive a save.
TEST(ScoreFileReplacement, AccessListsAndExtendedAttributesAreKept)
{
    const passwd* nobody = getpwnam("nobody");
    const std::vector<std::pair<std::string, std::string>> attributes = {
        {"user.orbelune-note", "kept"},
        {"system.posix_acl_access", accessListGiving(nobody ? nobody->pw_uid : 65534)},
    };
    for (const auto& [name, value] : attributes) {
        SCOPED_TRACE(name);
        TempDir dir;
        const std::string path = dir.file("scores.txt");
        dir.write("scores.txt", "ada 150\n");
        if (setxattr(path.c_str(), name.c_str(), value.data(), value.size(), 0) != 0) {
            std::printf("skipped: this file system keeps no %s (%s)\n", name.c_str(), std::strerror(errno));
            continue;
        }
        const ino_t inode = statOf(path).st_ino;
        ChildOutput output;
        EXPECT_EQ(inChild([&] { return win(path, "bob", 57.0f); }, output), 0) << output.err();
        EXPECT_EQ(readFile(path), "ada 150\nbob 57\n");
        std::string after(value.size() + 16, '\0');
        const ssize_t length = getxattr(path.c_str(), name.c_str(), after.data(), after.size());
        ASSERT_GE(length, 0) << "the attribute was lost";
        after.resize(static_cast<std::size_t>(length));
        EXPECT_EQ(after, value);
        EXPECT_EQ(statOf(path).st_ino, inode);
    }
}

// Under a file-size limit (ulimit -f) the save fails whole: the file holds the old content
// or the old content and the whole new line, the game lives on and says what happened.
TEST(ScoreFileInPlace, AFileSizeLimitLeavesTheOldFileOrTheWholeLine)
{
    // Long enough that the child's messages, in files under the same limit, stay within it.
    std::string old = "ada 150\n";
    while (old.size() < 4096)
        old += "filler 1\n";
    old += "kate 1\n";
    for (const bool inPlace : {false, true}) {
        for (const std::size_t room : {std::size_t(3), std::size_t(20)}) {
            SCOPED_TRACE(std::string(inPlace ? "in place" : "by rename") + ", room " + std::to_string(room));
            TempDir dir;
            const std::string path = dir.file("scores.txt");
            dir.write("scores.txt", old);
            if (inPlace) {
                ASSERT_EQ(link(path.c_str(), dir.file("other-name.txt").c_str()), 0);
            }
            ChildOutput output;
            const int status = inChild(
                [&] {
                    const rlimit limit{old.size() + room, old.size() + room};
                    if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
                        return 5;
                    return win(path, "kate", 200.0f);
                },
                output);
            const bool fits = room >= std::string("kate 200\n").size();
            EXPECT_EQ(status, fits ? 0 : 1) << "129 + 24 = 153: killed by SIGXFSZ\n" << output.err();
            EXPECT_EQ(readFile(path), fits ? old + "kate 200\n" : old);
            if (!fits) {
                EXPECT_NE(output.err().find("The score was not saved in " + path + ": "), std::string::npos)
                    << output.err();
            }
        }
    }
}

// A small file system of its own, so that a disk can be full without filling the machine's.
class ScoreFileOnFullDisk : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (geteuid() != 0)
            GTEST_SKIP() << "needs root, to mount a small tmpfs";
        if (mount("tmpfs", disk_.path().c_str(), "tmpfs", 0, "size=64k") != 0)
            GTEST_SKIP() << "a tmpfs could not be mounted: " << std::strerror(errno);
        mounted_ = true;
    }
    void TearDown() override
    {
        if (mounted_) {
            EXPECT_EQ(umount(disk_.path().c_str()), 0) << std::strerror(errno);
        }
    }
    const TempDir& disk() const { return disk_; }

private:
    TempDir disk_;
    bool mounted_ = false;
};

// A line that fits only partly before the disk is full: the save says it failed and the
// part it wrote is cut back, so every name of the file reads what it read before.
TEST_F(ScoreFileOnFullDisk, AnAppendThatRunsOutOfRoomIsCutBackAndReported)
{
    const std::string path = disk().file("scores.txt");
    // Five bytes short of a page: the first bytes of the line land in the last page, the
    // rest needs a page the disk no longer has.
    const std::size_t size = 2 * 4096 - 5;
    std::string old = "ada 150\n";
    while (old.size() + 8 < size)
        old += "a 1\n";
    old += std::string(size - old.size() - 3, 'b') + " 1\n";
    ASSERT_EQ(old.size(), size);
    disk().write("scores.txt", old);
    // A second name keeps the save from replacing the file: it appends in place.
    ASSERT_EQ(link(path.c_str(), disk().file("other-name.txt").c_str()), 0);
    const int filler = open(disk().file("filler").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(filler, 0);
    const std::string block(512, 'x');
    while (write(filler, block.data(), block.size()) > 0) {
    }
    const int full = errno;
    close(filler);
    ASSERT_EQ(full, ENOSPC);
    ChildOutput output;
    EXPECT_EQ(inChild([&] { return win(path, "kate-with-a-long-name", 200.0f); }, output), 1) << output.err();
    EXPECT_EQ(readFile(path), old);
    EXPECT_EQ(readFile(disk().file("other-name.txt")), old);
    EXPECT_NE(output.err().find("The score was not saved in " + path + ": "), std::string::npos) << output.err();
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

// The lock held by another program: a process of its own, so that no game started later
// inherits the descriptor that holds it.
class HeldLock {
public:
    explicit HeldLock(const std::string& path)
    {
        int ready[2];
        EXPECT_EQ(pipe(ready), 0);
        holder_ = fork();
        if (holder_ == 0) {
            close(ready[0]);
            const int fd = open(path.c_str(), O_RDONLY);
            if (fd < 0 || flock(fd, LOCK_EX) != 0 || write(ready[1], "L", 1) != 1)
                _exit(1);
            for (;;)
                pause();
        }
        close(ready[1]);
        char locked = 0;
        EXPECT_EQ(read(ready[0], &locked, 1), 1) << "the lock could not be taken";
        close(ready[0]);
    }
    ~HeldLock() { release(); }
    void release()
    {
        if (holder_ > 0) {
            kill(holder_, SIGKILL);
            waitpid(holder_, nullptr, 0);
        }
        holder_ = -1;
    }

private:
    pid_t holder_ = -1;
};

int countOf(const std::string& text, const std::string& word)
{
    int count = 0;
    for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1))
        ++count;
    return count;
}

const char* const waitingNotice = "the score waits up to";

// Two games winning while a third program holds the lock: they wait, saying so once each,
// and write only once they have it; past the bound they write nothing and say so.
TEST(ScoreFileConcurrency, TwoSaversWaitForALockHeldByAThirdAndNeverWriteWithoutIt)
{
    for (const bool releasedInTime : {true, false}) {
        SCOPED_TRACE(releasedInTime ? "released while they wait" : "held past the bound");
        TempDir dir;
        const std::string path = dir.file("scores.txt");
        dir.write("scores.txt", "ada 150\n");
        HeldLock holder(path);
        std::vector<ChildOutput> outputs(2);
        std::vector<pid_t> games;
        for (int game = 0; game < 2; ++game) {
            const std::string name = game == 0 ? "bob" : "cy";
            games.push_back(startChild(
                [&, name] {
                    // The real bound is half a minute; past it this test would only wait longer.
                    if (!releasedInTime)
                        platform::setSaveLockWaitForTests(std::chrono::milliseconds(300));
                    return win(path, name, 57.0f);
                },
                outputs[game]));
        }
        if (releasedInTime) {
            EXPECT_TRUE(waitUntil([&] {
                return outputs[0].err().find(waitingNotice) != std::string::npos &&
                       outputs[1].err().find(waitingNotice) != std::string::npos;
            }, 30.0, 0.002));
            holder.release();
        }
        const auto deadline = deadlineAfter(60.0);
        for (int game = 0; game < 2; ++game) {
            EXPECT_EQ(waitChild(games[game], deadline), releasedInTime ? 0 : 1) << outputs[game].err();
            const std::string err = outputs[game].err();
            EXPECT_EQ(countOf(err, waitingNotice), 1) << err;
            EXPECT_EQ(countOf(err, "The score was not saved in " + path + ": another program held its lock"),
                      releasedInTime ? 0 : 1)
                << err;
        }
        const std::string saved = readFile(path);
        if (releasedInTime) {
            EXPECT_TRUE(saved == "ada 150\nbob 57\ncy 57\n" || saved == "ada 150\ncy 57\nbob 57\n") << saved;
        } else {
            EXPECT_EQ(saved, "ada 150\n");
        }
    }
}

// Whether `pid` holds a descriptor on the file that `path` names now.
bool holdsOpen(pid_t pid, const std::string& path)
{
    const std::string folder = "/proc/" + std::to_string(pid) + "/fd";
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        std::error_code unreadable;
        if (std::filesystem::read_symlink(entry.path(), unreadable) == path)
            return true;
    }
    return false;
}

// How often `pid` has slept of its own accord; the wait for a lock sleeps between tries.
long sleepsOf(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("voluntary_ctxt_switches:", 0) == 0)
            return std::stol(line.substr(line.find(':') + 1));
    return -1;
}

// A file replaced while the game waits, by one that is itself locked: the game waits again
// for the new file, and the player has been told already.
TEST(ScoreFileConcurrency, TheWaitingNoticeIsGivenOnceWhenTheFileIsReplacedDuringTheWait)
{
    TempDir dir;
    const std::string path = dir.file("scores.txt");
    dir.write("scores.txt", "ada 150\n");
    dir.write("next.txt", "new 1\n");
    HeldLock first(path);
    HeldLock second(dir.file("next.txt"));
    ChildOutput output;
    const pid_t game = startChild([&] { return win(path, "bob", 57.0f); }, output);
    EXPECT_TRUE(waitUntil([&] { return output.err().find(waitingNotice) != std::string::npos; }, 30.0, 0.002));
    ASSERT_EQ(rename(dir.file("next.txt").c_str(), path.c_str()), 0);
    first.release();
    // The game has let the old file go and opened the new one, whose lock it now waits for.
    EXPECT_TRUE(waitUntil([&] { return holdsOpen(game, path); }, 30.0, 0.002));
    // Two sleeps after the open prove at least one busy try on the new file, whose notice,
    // were one to come, is written before the save can end.
    const long slept = sleepsOf(game);
    EXPECT_TRUE(waitUntil([&] { return sleepsOf(game) >= slept + 2; }, 30.0, 0.002));
    second.release();
    EXPECT_EQ(waitChild(game, deadlineAfter(60.0)), 0) << output.err();
    EXPECT_EQ(readFile(path), "new 1\nbob 57\n");
    EXPECT_EQ(countOf(output.err(), waitingNotice), 1) << output.err();
}

// A file moved away or removed by hand while a game waits for its lock is no longer the
// score file: the entry goes to the file the path names when the lock is had.
TEST(ScoreFileConcurrency, AFileReplacedOrRemovedDuringTheWaitIsLeftAlone)
{
    for (const bool removed : {false, true}) {
        SCOPED_TRACE(removed ? "removed" : "replaced");
        TempDir dir;
        const std::string path = dir.file("scores.txt");
        dir.write("scores.txt", "ada 150\n");
        HeldLock holder(path);
        ChildOutput output;
        const pid_t game = startChild([&] { return win(path, "bob", 57.0f); }, output);
        EXPECT_TRUE(waitUntil([&] { return output.err().find(waitingNotice) != std::string::npos; }, 30.0, 0.002));
        if (removed) {
            ASSERT_EQ(unlink(path.c_str()), 0);
        } else {
            ASSERT_EQ(rename(path.c_str(), dir.file("old.txt").c_str()), 0);
            dir.write("scores.txt", "new 1\n");
        }
        holder.release();
        EXPECT_EQ(waitChild(game, deadlineAfter(60.0)), 0) << output.err();
        EXPECT_EQ(readFile(path), removed ? "bob 57\n" : "new 1\nbob 57\n");
        if (!removed) {
            EXPECT_EQ(readFile(dir.file("old.txt")), "ada 150\n");
        }
    }
}

} // namespace

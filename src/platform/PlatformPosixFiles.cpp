// The platform layer on POSIX systems: reading and growing a file other games may share.
// Plain POSIX calls only (open, fstat, flock, pread, pwrite, ftruncate, rename), so that any
// system with a POSIX file layer can build it.
#include "platform/Platform.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <string>

namespace platform {

namespace {

// A save holds the lock for milliseconds; whoever holds it longer is no game saving. A read
// for the display waits less: without the lock it risks only a half-written last line.
constexpr std::chrono::milliseconds saveLockWait{2000};
constexpr std::chrono::milliseconds readLockWait{500};
constexpr long lockPollNanoseconds = 5'000'000;
// How often a path replaced between our open and our lock is opened again.
constexpr int maxOpenTries = 20;

// Closes the descriptor it holds; never copied, so it is closed exactly once.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() { reset(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    void reset(int fd = -1)
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = fd;
    }

private:
    int fd_;
};

std::string kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return "it is a folder";
    if (S_ISFIFO(mode))
        return "it is a named pipe";
    if (S_ISSOCK(mode))
        return "it is a socket";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "it is a device";
    return "it is not a regular file";
}

enum class Lock { held, busy, unavailable };

// Waits for the lock until the deadline. Busy: another holder kept it longer; unavailable:
// the file system has no locks, so the file is read and written without one.
Lock lockWithin(int fd, int operation, std::chrono::milliseconds wait)
{
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (::flock(fd, operation | LOCK_NB) != 0) {
        if (errno == EINTR)
            continue;
        if (errno != EWOULDBLOCK)
            return Lock::unavailable;
        if (std::chrono::steady_clock::now() >= deadline)
            return Lock::busy;
        const timespec pause{0, lockPollNanoseconds};
        ::nanosleep(&pause, nullptr);
    }
    return Lock::held;
}

bool sameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

enum class Opened { ok, missing, refused };

// Opens the regular file that `path` names and locks it, shared or exclusive. For writing,
// creates it when nothing is there. Nothing but a regular file is ever opened for writing,
// and nothing is opened in a way that could block: a pipe or a device is refused unopened
// where it can be seen first, and checked again on the open descriptor.
// `target` is the file opened, `path` with its links followed.
Opened openLocked(const std::string& path, bool forWriting, Descriptor& fd, Lock& lock, std::string& target,
                  std::string& reason)
{
    for (int attempt = 0; attempt < maxOpenTries; ++attempt) {
        target = resolveLinks(path);
        if (target.empty()) {
            reason = "its links loop or cannot be read";
            return Opened::refused;
        }
        struct stat before;
        const bool exists = ::stat(target.c_str(), &before) == 0;
        if (!exists && errno != ENOENT) {
            reason = std::strerror(errno);
            return Opened::refused;
        }
        if (exists && !S_ISREG(before.st_mode)) {
            reason = kindOf(before.st_mode);
            return Opened::refused;
        }
        if (!exists && !forWriting)
            return Opened::missing;
        int flags = (forWriting ? O_RDWR : O_RDONLY) | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | O_NOFOLLOW;
        if (!exists)
            flags |= O_CREAT | O_EXCL;
        fd.reset(::open(target.c_str(), flags, 0666));
        if (fd.get() < 0) {
            // Made, removed or turned into a link since we looked: look again.
            if (errno == ELOOP || (exists && errno == ENOENT) || (!exists && errno == EEXIST))
                continue;
            reason = std::strerror(errno);
            return Opened::refused;
        }
        struct stat opened;
        if (::fstat(fd.get(), &opened) != 0) {
            reason = std::strerror(errno);
            fd.reset();
            return Opened::refused;
        }
        if (!S_ISREG(opened.st_mode)) {
            reason = kindOf(opened.st_mode);
            fd.reset();
            return Opened::refused;
        }
        lock = lockWithin(fd.get(), forWriting ? LOCK_EX : LOCK_SH, forWriting ? saveLockWait : readLockWait);
        // A save that replaced the file while we waited for its lock: lock the new one.
        struct stat now;
        if (lock == Lock::held && (::stat(target.c_str(), &now) != 0 || !sameFile(now, opened)))
            continue;
        return Opened::ok;
    }
    fd.reset();
    reason = "it kept changing while it was opened";
    return Opened::refused;
}

bool readAll(int fd, std::size_t maxBytes, std::string& bytes, std::string& reason)
{
    const std::string tooLarge = "it is larger than " + std::to_string(maxBytes) + " bytes";
    struct stat info;
    if (::fstat(fd, &info) == 0 && static_cast<unsigned long long>(info.st_size) > maxBytes) {
        reason = tooLarge;
        return false;
    }
    bytes.clear();
    char buffer[1 << 16];
    for (;;) {
        const ssize_t got = ::pread(fd, buffer, sizeof buffer, static_cast<off_t>(bytes.size()));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            reason = std::strerror(errno);
            return false;
        }
        if (got == 0)
            return true;
        // The size said otherwise, but a file can grow, and some never end.
        if (bytes.size() + static_cast<std::size_t>(got) > maxBytes) {
            reason = tooLarge;
            return false;
        }
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
}

// The tail written after the old end; on failure the file is cut back to that end.
bool appendInPlace(int fd, std::size_t oldSize, const std::string& tail, std::string& reason)
{
    std::size_t done = 0;
    errno = 0;
    while (done < tail.size()) {
        const ssize_t written =
            ::pwrite(fd, tail.data() + done, tail.size() - done, static_cast<off_t>(oldSize + done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            break;
        done += static_cast<std::size_t>(written);
    }
    if (done == tail.size() && ::fsync(fd) == 0)
        return true;
    reason = errno != 0 ? std::strerror(errno) : "it could not be written";
    if (::ftruncate(fd, static_cast<off_t>(oldSize)) != 0) {
        // The old bytes are whole either way; only the partial tail stays.
    }
    return false;
}

} // namespace

FileRead readRegularFile(const std::string& path, std::size_t maxBytes, std::string& bytes, std::string& reason)
{
    Descriptor fd;
    Lock lock = Lock::unavailable;
    std::string target;
    const Opened opened = openLocked(path, false, fd, lock, target, reason);
    if (opened != Opened::ok)
        return opened == Opened::missing ? FileRead::missing : FileRead::refused;
    // Without the lock a save in place may be half done; the read is for display only.
    return readAll(fd.get(), maxBytes, bytes, reason) ? FileRead::read : FileRead::refused;
}

FileExtension extendRegularFile(const std::string& path, std::size_t maxBytes,
                                const std::function<std::string(const std::string& current)>& tailFor)
{
    FileExtension result;
    Descriptor fd;
    Lock lock = Lock::unavailable;
    std::string target;
    if (openLocked(path, true, fd, lock, target, result.reason) != Opened::ok)
        return result;
    if (lock == Lock::busy)
        result.warning = "another program held it for " + std::to_string(saveLockWait.count()) + " ms";
    std::string current;
    if (!readAll(fd.get(), maxBytes, current, result.reason))
        return result;
    const std::string tail = tailFor(current);
    if (tail.empty()) {
        result.written = true;
        return result;
    }
    removeStaleTemporaries(target);
    // A rename would part the file from its other names; in place they all see the change.
    struct stat info;
    const bool oneName = ::fstat(fd.get(), &info) == 0 && info.st_nlink == 1;
    if (oneName && replaceFileAtomically(target, current + tail))
        result.written = true;
    else
        result.written = appendInPlace(fd.get(), current.size(), tail, result.reason);
    return result;
}

} // namespace platform

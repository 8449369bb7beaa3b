// The platform layer on POSIX systems: reading and growing a file other games may share.
// Plain POSIX calls only (open, fstat, flock, pread, pwrite, ftruncate, rename), and the
// extended-attribute listing where Linux has it, so that any POSIX system can build it.
#include "platform/Platform.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#if defined(__linux__) && !defined(__EMSCRIPTEN__)
#include <sys/xattr.h>
#endif

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <limits>
#include <string>

#include "platform/FileSharing.h"

namespace platform {

namespace {

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

// One try at the lock, without waiting.
Lock tryLock(int fd, int operation)
{
    while (::flock(fd, operation | LOCK_NB) != 0) {
        if (errno == EINTR)
            continue;
        return errno == EWOULDBLOCK ? Lock::busy : Lock::unavailable;
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
Opened openLocked(const std::string& path, bool forWriting, Descriptor& fd, std::string& target,
                  std::string& reason)
{
    const auto wait = forWriting ? saveLockWait() : readLockWait;
    const auto deadline = std::chrono::steady_clock::now() + wait;
    bool toldWaiting = false;
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
        const bool statted = ::fstat(fd.get(), &opened) == 0;
        if (!statted || !S_ISREG(opened.st_mode)) {
            reason = statted ? kindOf(opened.st_mode) : std::strerror(errno);
            fd.reset();
            return Opened::refused;
        }
        const Lock lock = waitForLock([&fd, forWriting] { return tryLock(fd.get(), forWriting ? LOCK_EX : LOCK_SH); },
                                      deadline, wait, path, forWriting, &toldWaiting);
        if (lock == Lock::busy && forWriting) {
            reason = lockHeldReason(wait);
            fd.reset();
            return Opened::refused;
        }
        // The file may have been replaced or removed while we waited (by another save, or by
        // hand): only the file the path names now is the score file.
        struct stat now;
        if (::fstat(fd.get(), &now) != 0 || now.st_nlink == 0 || ::stat(target.c_str(), &now) != 0 ||
            !sameFile(now, opened))
            continue;
        return Opened::ok;
    }
    fd.reset();
    reason = "it kept changing while it was opened";
    return Opened::refused;
}

// Reads from `at` up to `end`, retrying interruptions, and moves `at` on; 0 at the end.
long long readAt(int fd, char* buffer, std::size_t size, off_t& at, off_t end)
{
    const std::size_t wanted = static_cast<std::size_t>(std::min<off_t>(static_cast<off_t>(size), end - at));
    ssize_t got = 0;
    do
        got = wanted == 0 ? 0 : ::pread(fd, buffer, wanted, at);
    while (got < 0 && errno == EINTR);
    at += got > 0 ? got : 0;
    return got;
}

// The last endWindowBytes of the file, read whole.
bool readEnd(int fd, off_t size, FileEnd& end, std::string& reason)
{
    off_t at = std::max<off_t>(0, size - static_cast<off_t>(endWindowBytes));
    end.wholeFile = at == 0;
    end.bytes.assign(static_cast<std::size_t>(size - at), '\0');
    for (std::size_t done = 0; done < end.bytes.size();) {
        const long long got = readAt(fd, &end.bytes[done], end.bytes.size() - done, at, size);
        if (got <= 0) {
            reason = got < 0 ? std::strerror(errno) : "it shrank while it was read";
            return false;
        }
        done += static_cast<std::size_t>(got);
    }
    return true;
}

// True when a file renamed over this one would lose what it carries: access lists and
// other extended attributes (where the system has them) go with the inode.
bool carriesAttributes(int fd)
{
#if defined(__linux__) && !defined(__EMSCRIPTEN__)
    const ssize_t listed = ::flistxattr(fd, nullptr, 0);
    return listed != 0 && !(listed < 0 && (errno == ENOTSUP || errno == ENOSYS));
#else
    (void)fd;
    return false;
#endif
}

// A file-size limit (ulimit -f) ends the process with SIGXFSZ at the first write past it;
// ignored, the write fails with EFBIG instead and the save can cut back what it began.
struct sigaction ignoreFileSizeSignal()
{
    struct sigaction ignore {}, previous {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGXFSZ, &ignore, &previous);
    return previous;
}

bool withinSizeLimit(unsigned long long size)
{
    rlimit limit{};
    return ::getrlimit(RLIMIT_FSIZE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY || size <= limit.rlim_cur;
}

// The tail written after the old end, in one call unless a signal splits it; on failure the
// file is cut back to that end.
bool appendInPlace(int fd, off_t oldSize, const std::string& tail, std::string& reason)
{
    std::size_t done = 0;
    int error = 0;
    while (done < tail.size()) {
        const ssize_t written = ::pwrite(fd, tail.data() + done, tail.size() - done, oldSize + static_cast<off_t>(done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            error = written < 0 ? errno : EIO;
            break;
        }
        done += static_cast<std::size_t>(written);
    }
    if (done == tail.size() && ::fsync(fd) == 0)
        return true;
    if (done == tail.size())
        error = errno;
    reason = std::strerror(error);
    // The old bytes are whole either way; at worst the partial tail stays.
    (void)!::ftruncate(fd, oldSize);
    return false;
}

} // namespace

FileRead readRegularFile(const std::string& path, const std::function<void(const char*, std::size_t)>& sink,
                         std::string& reason)
{
    Descriptor fd;
    std::string target;
    const Opened opened = openLocked(path, false, fd, target, reason);
    if (opened != Opened::ok)
        return opened == Opened::missing ? FileRead::missing : FileRead::refused;
    // Without the lock a save in place may be half done; the read is for display only.
    off_t at = 0;
    auto readChunk = [&fd, &at](char* buffer, std::size_t size) {
        return readAt(fd.get(), buffer, size, at, std::numeric_limits<off_t>::max());
    };
    const auto deadline = std::chrono::steady_clock::now() + readTimeBound;
    if (streamUntil(readChunk, sink, deadline) == StreamEnd::failed) {
        reason = std::strerror(errno);
        return FileRead::refused;
    }
    return FileRead::read;
}

FileExtension extendRegularFile(const std::string& path, const std::function<std::string(const FileEnd& end)>& tailFor)
{
    FileExtension result;
    Descriptor fd;
    std::string target;
    if (openLocked(path, true, fd, target, result.reason) != Opened::ok)
        return result;
    struct stat info;
    FileEnd end;
    if (::fstat(fd.get(), &info) != 0)
        result.reason = std::strerror(errno);
    if (!result.reason.empty() || !readEnd(fd.get(), info.st_size, end, result.reason))
        return result;
    const std::string tail = tailFor(end);
    if (tail.empty()) {
        result.written = true;
        return result;
    }
    const unsigned long long oldSize = static_cast<unsigned long long>(info.st_size);
    if (!withinSizeLimit(oldSize + tail.size())) {
        result.reason = std::strerror(EFBIG);
        return result;
    }
    const struct sigaction sizeSignal = ignoreFileSizeSignal();
    removeStaleTemporaries(target);
    // A rename would part the file from its other names and from what its inode carries; in
    // place they all see the change. A file too slow to copy is extended in place too.
    const bool replaceable = info.st_nlink == 1 && oldSize <= maxReplacedBytes && !carriesAttributes(fd.get());
    auto oldThenTail = [&fd, &tail, &info](const auto& write) {
        off_t at = 0;
        bool written = true;
        auto readChunk = [&](char* buffer, std::size_t size) { return readAt(fd.get(), buffer, size, at, info.st_size); };
        auto copy = [&](const char* bytes, std::size_t size) { written = written && write(bytes, size); };
        return streamUntil(readChunk, copy, std::chrono::steady_clock::now() + readTimeBound) == StreamEnd::end &&
               written && write(tail.data(), tail.size());
    };
    if (replaceable && replaceFileAtomically(target, oldThenTail))
        result.written = true;
    else
        result.written = appendInPlace(fd.get(), info.st_size, tail, result.reason);
    ::sigaction(SIGXFSZ, &sizeSignal, nullptr);
    return result;
}

} // namespace platform

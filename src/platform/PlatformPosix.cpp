// The platform layer on POSIX systems.
#include "platform/Platform.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/FileSharing.h"

namespace platform {

namespace {

// Linux gives up on link chains at this depth as well.
constexpr int maxLinkHops = 40;
std::string folderOf(const std::string& path)
{
    const std::string folder = std::filesystem::path(path).parent_path().string();
    return folder.empty() ? "." : folder;
}

bool writeAll(int fd, const char* bytes, std::size_t size)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t written = ::write(fd, bytes + done, size - done);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += static_cast<std::size_t>(written);
    }
    return true;
}

// Makes the rename itself survive a power cut; failure only costs durability, not the file.
void syncFolderOf(const std::string& path)
{
    const int fd = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

// The temporary file's permissions, owner and group, taken from the file it will replace.
// False where this process may not give them to it: the replacement would change hands.
bool copyModeAndOwner(int fd, const struct stat& old)
{
    struct stat made;
    if (::fstat(fd, &made) != 0)
        return false;
    if ((made.st_uid != old.st_uid || made.st_gid != old.st_gid) && ::fchown(fd, old.st_uid, old.st_gid) != 0)
        return false;
    return ::fchmod(fd, old.st_mode & 07777) == 0;
}

// A file with no name yet, where the system has them: a save killed while writing it leaves
// nothing behind. Invalid (-1) where there is none; the caller then names one. Emscripten's
// file system lives in memory and has no hard links to name one with.
int openUnnamedFileIn(const std::string& folder)
{
#if defined(O_TMPFILE) && !defined(__EMSCRIPTEN__)
    if (namedTemporariesForced())
        return -1;
    const int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    struct stat info;
    if (fd >= 0 && ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode))
        return fd;
    if (fd >= 0)
        ::close(fd);
#else
    (void)folder;
#endif
    return -1;
}

// Gives the unnamed file `fd` the name `temporary`; false where the system cannot.
bool nameUnnamedFile(int fd, const std::string& temporary)
{
#ifdef __EMSCRIPTEN__
    (void)fd;
    (void)temporary;
#else
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temporary.c_str(), AT_SYMLINK_FOLLOW) == 0)
            return true;
        // Ours from a killed process whose pid this one reuses.
        if (errno != EEXIST || ::unlink(temporary.c_str()) != 0)
            return false;
    }
#endif
    return false;
}

// A named temporary made afresh: a file already at its name (this pid's, from a killed
// process; or planted, a link to someone else's file) is removed, never opened through.
int createNamedTemporary(const std::string& temporary)
{
    const int flags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
    int fd = ::open(temporary.c_str(), flags, 0600);
    if (fd < 0 && errno == EEXIST && ::unlink(temporary.c_str()) == 0)
        fd = ::open(temporary.c_str(), flags, 0600);
    return fd;
}

// One attempt at the replacement, with an unnamed temporary file or a named one.
bool replaceThrough(const std::string& path, const std::string& temporary, const ContentSource& content,
                    bool unnamed)
{
    const int fd = unnamed ? openUnnamedFileIn(folderOf(path)) : createNamedTemporary(temporary);
    if (fd < 0)
        return false;
    struct stat old;
    bool ok = ::stat(path.c_str(), &old) != 0 || copyModeAndOwner(fd, old);
    ok = ok && content([fd](const char* bytes, std::size_t size) { return writeAll(fd, bytes, size); });
    ok = ok && ::fsync(fd) == 0;
    // An unnamed temporary's name is ours only once this save has given it.
    const bool named = !unnamed || (ok && nameUnnamedFile(fd, temporary));
    ok = ::close(fd) == 0 && ok && named;
    ok = ok && ::rename(temporary.c_str(), path.c_str()) == 0;
    if (!ok) {
        if (named)
            ::unlink(temporary.c_str());
        return false;
    }
    syncFolderOf(path);
    return true;
}

bool processIsGone(long pid)
{
    return pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

} // namespace

bool pathExists(const std::string& path)
{
    struct stat info;
    return ::lstat(path.c_str(), &info) == 0;
}

std::string resolveLinks(const std::string& path)
{
    std::string current = path;
    for (int hop = 0;; ++hop) {
        struct stat info;
        if (::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
            return current;
        // A loop, or a chain longer than the system itself would open.
        if (hop == maxLinkHops)
            return "";
        std::vector<char> target(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : 4096) + 1);
        const ssize_t length = ::readlink(current.c_str(), target.data(), target.size());
        if (length < 0 || static_cast<std::size_t>(length) >= target.size())
            return "";
        const std::string next(target.data(), static_cast<std::size_t>(length));
        current = next.front() == '/' ? next : folderOf(current) + "/" + next;
    }
}

bool replaceFileAtomically(const std::string& path, const ContentSource& content)
{
    const std::string temporary = temporaryPathFor(path, static_cast<unsigned long>(::getpid()));
    return replaceThrough(path, temporary, content, true) || replaceThrough(path, temporary, content, false);
}

bool replaceFileAtomically(const std::string& path, const std::string& content)
{
    return replaceFileAtomically(path, [&content](const auto& write) { return write(content.data(), content.size()); });
}

void removeStaleTemporaries(const std::string& path)
{
    const std::string folder = folderOf(path);
    const std::string baseName = std::filesystem::path(path).filename().string();
    DIR* listing = ::opendir(folder.c_str());
    if (!listing)
        return;
    const std::time_t now = std::time(nullptr);
    while (const dirent* entry = ::readdir(listing)) {
        const unsigned long pid = temporaryOwner(entry->d_name, baseName);
        if (pid == 0 || pid == static_cast<unsigned long>(::getpid()))
            continue;
        const std::string file = folder + "/" + entry->d_name;
        struct stat info;
        if (::lstat(file.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
            continue;
        if (temporaryIsStale(processIsGone(static_cast<long>(pid)), std::difftime(now, info.st_mtime)))
            ::unlink(file.c_str());
    }
    ::closedir(listing);
}

std::string dataPath(const std::string& relativePath)
{
    return "./" + relativePath;
}

const char* textLineEnd()
{
    return "\n";
}

} // namespace platform

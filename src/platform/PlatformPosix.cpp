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

namespace platform {

namespace {

// Linux gives up on link chains at this depth as well.
constexpr int maxLinkHops = 40;
// A save takes milliseconds; a temporary file this old is stale even if its pid was reused.
constexpr std::time_t staleAfterSeconds = 3600;

const char* const temporaryMarker = ".tmp-";

std::string folderOf(const std::string& path)
{
    const std::string folder = std::filesystem::path(path).parent_path().string();
    return folder.empty() ? "." : folder;
}

bool writeAll(int fd, const std::string& content)
{
    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t written = ::write(fd, content.data() + done, content.size() - done);
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

// One attempt at the replacement, with an unnamed temporary file or a named one.
bool replaceThrough(const std::string& path, const std::string& temporary, const std::string& content,
                    bool unnamed)
{
    const int namedFlags = O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW;
    const int fd = unnamed ? openUnnamedFileIn(folderOf(path)) : ::open(temporary.c_str(), namedFlags, 0666);
    if (fd < 0)
        return false;
    struct stat old;
    bool ok = ::stat(path.c_str(), &old) != 0 || copyModeAndOwner(fd, old);
    ok = ok && writeAll(fd, content) && ::fsync(fd) == 0;
    ok = ok && (!unnamed || nameUnnamedFile(fd, temporary));
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temporary.c_str(), path.c_str()) == 0;
    if (!ok) {
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
    for (int hop = 0; hop < maxLinkHops; ++hop) {
        struct stat info;
        if (::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
            return current;
        std::vector<char> target(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : 4096) + 1);
        const ssize_t length = ::readlink(current.c_str(), target.data(), target.size());
        if (length < 0 || static_cast<std::size_t>(length) >= target.size())
            return "";
        const std::string next(target.data(), static_cast<std::size_t>(length));
        current = next.front() == '/' ? next : folderOf(current) + "/" + next;
    }
    return "";
}

bool replaceFileAtomically(const std::string& path, const std::string& content)
{
    const std::string temporary = path + temporaryMarker + std::to_string(::getpid());
    return replaceThrough(path, temporary, content, true) || replaceThrough(path, temporary, content, false);
}

void removeStaleTemporaries(const std::string& path)
{
    const std::string folder = folderOf(path);
    const std::string prefix = std::filesystem::path(path).filename().string() + temporaryMarker;
    DIR* listing = ::opendir(folder.c_str());
    if (!listing)
        return;
    const std::time_t now = std::time(nullptr);
    while (const dirent* entry = ::readdir(listing)) {
        const std::string name = entry->d_name;
        if (name.compare(0, prefix.size(), prefix) != 0)
            continue;
        const std::string digits = name.substr(prefix.size());
        if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const std::string file = folder + "/" + name;
        struct stat info;
        if (::lstat(file.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
            continue;
        const long pid = std::strtol(digits.c_str(), nullptr, 10);
        if (pid == ::getpid())
            continue;
        if (processIsGone(pid) || now - info.st_mtime > staleAfterSeconds)
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

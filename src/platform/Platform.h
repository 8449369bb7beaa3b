// What differs between the systems the game runs on: the few file operations the standard
// library lacks, how data paths are spelt, and where the HUD font lives. Each system has its
// own implementation of this interface; callers keep the decisions.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace platform {

// True when something (a file, a folder, a link) exists at `path`; a dangling link counts.
bool pathExists(const std::string& path);

// The file that writing to `path` really changes: `path` itself, or the final target of a
// chain of symbolic links (which need not exist yet). Empty when the chain cannot be
// followed (a loop, an unreadable link).
std::string resolveLinks(const std::string& path);

// Writes a file's new content, chunk by chunk, through `write`; false when it could not.
using ContentSource = std::function<bool(const std::function<bool(const char* bytes, std::size_t size)>& write)>;

// Makes `path` hold exactly what `content` writes so that a crash at any moment leaves either
// the old file or the new one: a temporary file beside `path`, created afresh (never through
// a link or a file already there), flushed to the disk, then moved over it. An existing file
// keeps its permissions, owner and group (on Windows its security descriptor): where this
// process may not give them, nothing is replaced. `path` must not be a link (resolve it
// first). False, with `path` untouched, on failure.
bool replaceFileAtomically(const std::string& path, const ContentSource& content);
bool replaceFileAtomically(const std::string& path, const std::string& content);

// Removes temporary files that replaceFileAtomically left beside `path` when a process
// was killed mid-save; those of a save still running are kept.
void removeStaleTemporaries(const std::string& path);

// What reading a file the game keeps found.
enum class FileRead {
    read,    // the file went to the sink, as much of it as its time allowed
    missing, // nothing at the path, or a link to nothing
    refused, // not a regular file, or unreadable; the reason says which
};

// Streams the regular file that `path` names (links followed) into `sink`. Never blocks on a
// pipe or a device; holds no more than a chunk at a time, and stops at readTimeBound
// (FileSharing.h); waits a bounded time for a save in progress.
FileRead readRegularFile(const std::string& path, const std::function<void(const char*, std::size_t)>& sink,
                         std::string& reason);

// The end of a file as a save sees it.
struct FileEnd {
    std::string bytes;      // its last bytes, at most endWindowBytes of them
    bool wholeFile = false; // nothing comes before them
};

struct FileExtension {
    bool written = false; // the file now ends with the new bytes
    std::string reason;   // why not, in words
};

// Appends `tailFor(end)` to the regular file that `path` names (links followed; created when
// nothing is there), where `end` is the file's end as it stands under an exclusive lock that
// other saves wait for: two games saving at once both keep their lines. Nothing is written
// without that lock, where the file system has locks: a holder that keeps it past
// saveLockWait() makes the save fail. Replaces the file by replaceFileAtomically where the
// replacement loses nothing; where the folder refuses a new file, or the file has other hard
// links, another owner, access lists or extended attributes, or is large, appends in place,
// and cuts a torn append back. Refuses anything but a regular file, and leaves it as it was.
FileExtension extendRegularFile(const std::string& path, const std::function<std::string(const FileEnd& end)>& tailFor);

// A data file under the working directory as this system spells it, for opening and for
// messages alike: "assets/Rock.obj" becomes "./assets/Rock.obj", on Windows ".\assets\Rock.obj".
std::string dataPath(const std::string& relativePath);

// The line end a text file written here gets when it has none of its own yet.
const char* textLineEnd();

// The TrueType file the HUD is drawn with: Arial, or a face with its metrics where Arial
// itself is not installed. Empty when there is none.
std::string hudFontPath();

} // namespace platform

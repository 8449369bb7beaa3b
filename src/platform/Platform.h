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

// Makes `path` hold exactly `content` so that a crash at any moment leaves either the old
// file or the new one: a temporary file beside `path`, flushed to the disk, then moved over
// it. An existing file keeps its permissions, owner and group: where this process may not set
// them, nothing is replaced. `path` must not be a link (resolve it first). False, with `path`
// untouched, on failure.
bool replaceFileAtomically(const std::string& path, const std::string& content);

// Removes temporary files that replaceFileAtomically left beside `path` when a process
// was killed mid-save; those of a save still running are kept.
void removeStaleTemporaries(const std::string& path);

// What reading a file the game keeps found.
enum class FileRead {
    read,    // the whole file is in the bytes
    missing, // nothing at the path, or a link to nothing
    refused, // not a regular file, larger than the bound, or unreadable; the reason says which
};

// Reads the regular file that `path` names (links followed) whole into `bytes`. Never
// blocks on a pipe or a device and never holds more than `maxBytes`; waits a bounded time
// for a save in progress.
FileRead readRegularFile(const std::string& path, std::size_t maxBytes, std::string& bytes, std::string& reason);

struct FileExtension {
    bool written = false; // the file now ends with the new bytes
    std::string reason;   // why not, in words
    std::string warning;  // written, but without the lock: another program held it too long
};

// Appends `tailFor(current)` to the regular file that `path` names (links followed; created
// when nothing is there), where `current` is the file as it stands under an exclusive lock
// that other saves wait for: two games saving at once both keep their lines. Replaces the
// file by replaceFileAtomically where it can; where the folder refuses a new file, the file
// has other hard links or another owner, appends in place instead. Refuses anything but a
// regular file of at most `maxBytes`, and leaves it as it was.
FileExtension extendRegularFile(const std::string& path, std::size_t maxBytes,
                                const std::function<std::string(const std::string& current)>& tailFor);

// A data file under the working directory as this system spells it, for opening and for
// messages alike: "assets/Rock.obj" becomes "./assets/Rock.obj", on Windows ".\assets\Rock.obj".
std::string dataPath(const std::string& relativePath);

// The line end a text file written here gets when it has none of its own yet.
const char* textLineEnd();

// The TrueType file the HUD is drawn with: Arial, or a face with its metrics where Arial
// itself is not installed. Empty when there is none.
std::string hudFontPath();

} // namespace platform

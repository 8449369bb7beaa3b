// What differs between the systems the game runs on: the few file operations the standard
// library lacks, how data paths are spelt, and where the HUD font lives. Each system has its
// own implementation of this interface; callers keep the decisions.
#pragma once

#include <string>

namespace platform {

// True when something (a file, a folder, a link) exists at `path`; a dangling link counts.
bool pathExists(const std::string& path);

// The file that writing to `path` really changes: `path` itself, or the final target of a
// chain of symbolic links (which need not exist yet). Empty when the chain cannot be
// followed (a loop, an unreadable link).
std::string resolveLinks(const std::string& path);

// True when this process may open the existing file `path` for writing. Asked before a
// replacement, because replacing needs only the folder's permission, not the file's.
bool mayWriteFile(const std::string& path);

// Makes `path` hold exactly `content` so that a crash at any moment leaves either the old
// file or the new one: a temporary file beside `path`, flushed to the disk, then moved over
// it. An existing file keeps its permissions, and its owner where this process may set it.
// `path` must not be a link (resolve it first). False, with `path` untouched, on failure.
bool replaceFileAtomically(const std::string& path, const std::string& content);

// Removes temporary files that replaceFileAtomically left beside `path` when a process
// was killed mid-save; those of a save still running are kept.
void removeStaleTemporaries(const std::string& path);

// A data file under the working directory as this system spells it, for opening and for
// messages alike: "assets/Rock.obj" becomes "./assets/Rock.obj", on Windows ".\assets\Rock.obj".
std::string dataPath(const std::string& relativePath);

// The line end a text file written here gets when it has none of its own yet.
const char* textLineEnd();

// The TrueType file the HUD is drawn with: Arial, or a face with its metrics where Arial
// itself is not installed. Empty when there is none.
std::string hudFontPath();

} // namespace platform

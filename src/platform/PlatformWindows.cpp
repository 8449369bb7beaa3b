// The platform layer on Windows: Win32 file calls on wide-character paths.
#include "platform/Platform.h"
#include "platform/PlatformWindowsText.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <winioctl.h>

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace platform {

namespace windows {

// The game's strings are UTF-8; the wide Win32 calls take any name the file system holds.
std::wstring wide(const std::string& text)
{
    if (text.empty())
        return std::wstring();
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring result(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), length);
    return result;
}

std::string narrow(const std::wstring& text)
{
    if (text.empty())
        return std::string();
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string result(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), length, nullptr,
                        nullptr);
    return result;
}

} // namespace windows

using windows::narrow;
using windows::wide;

namespace {

// A save takes milliseconds; a temporary file this old is stale even if its pid was reused.
constexpr ULONGLONG staleAfter100ns = 3600ULL * 10000000ULL;

// Windows gives up on link chains at this depth as well.
constexpr int maxLinkHops = 63;
// SYMLINK_FLAG_RELATIVE of the driver kit: the link's target is relative to its folder.
constexpr ULONG symbolicLinkRelative = 1;
constexpr ULONGLONG moveRetryMilliseconds = 1000;
constexpr DWORD retryPauseMilliseconds = 20;

const char* const temporaryMarker = ".tmp-";

bool writeAll(HANDLE file, const std::string& content)
{
    std::size_t done = 0;
    while (done < content.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(content.size() - done, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(file, content.data() + done, chunk, &written, nullptr))
            return false;
        done += written;
    }
    return true;
}

bool processIsGone(unsigned long pid)
{
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (!process)
        return GetLastError() == ERROR_INVALID_PARAMETER;
    const bool gone = WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
    CloseHandle(process);
    return gone;
}

ULONGLONG ticks(const FILETIME& time)
{
    return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

std::wstring finalPathOf(HANDLE file)
{
    std::wstring finalPath(MAX_PATH, L'\0');
    DWORD length = GetFinalPathNameByHandleW(file, finalPath.data(), static_cast<DWORD>(finalPath.size()), 0);
    if (length >= finalPath.size()) {
        finalPath.resize(length);
        length = GetFinalPathNameByHandleW(file, finalPath.data(), static_cast<DWORD>(finalPath.size()), 0);
    }
    if (length == 0 || length >= finalPath.size())
        return std::wstring();
    finalPath.resize(length);
    return finalPath;
}

// The path a symbolic link holds, as written in it; empty when `link` is none or cannot be read.
std::wstring linkTarget(const std::wstring& link, bool& relative)
{
    HANDLE file = CreateFileW(link.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::wstring();
    // The symbolic-link form of the system's reparse data; the driver kit's header is not at hand.
    struct SymbolicLinkData {
        ULONG tag;
        USHORT dataLength;
        USHORT reserved;
        USHORT substituteOffset;
        USHORT substituteLength;
        USHORT printOffset;
        USHORT printLength;
        ULONG flags;
        WCHAR names[1];
    };
    std::vector<unsigned char> buffer(16 * 1024);
    DWORD got = 0;
    const BOOL read = DeviceIoControl(file, FSCTL_GET_REPARSE_POINT, nullptr, 0, buffer.data(),
                                      static_cast<DWORD>(buffer.size()), &got, nullptr);
    CloseHandle(file);
    SymbolicLinkData data;
    if (!read || got < offsetof(SymbolicLinkData, names))
        return std::wstring();
    std::memcpy(&data, buffer.data(), offsetof(SymbolicLinkData, names));
    if (data.tag != IO_REPARSE_TAG_SYMLINK)
        return std::wstring();
    const std::size_t names = offsetof(SymbolicLinkData, names);
    auto name = [&](USHORT offset, USHORT length) {
        if (names + offset + length > got)
            return std::wstring();
        std::wstring text(length / sizeof(WCHAR), L'\0');
        std::memcpy(text.data(), buffer.data() + names + offset, text.size() * sizeof(WCHAR));
        return text;
    };
    relative = (data.flags & symbolicLinkRelative) != 0;
    std::wstring target = name(data.printOffset, data.printLength);
    if (target.empty()) {
        target = name(data.substituteOffset, data.substituteLength);
        if (target.rfind(L"\\??\\", 0) == 0)
            target.erase(0, 4);
    }
    return target;
}

// Moves `from` over `to`. A virus scanner or an indexer opening the new file for a moment
// makes the move fail with a sharing or access error; it is tried again for a while.
bool moveOver(const std::wstring& from, const std::wstring& to)
{
    const ULONGLONG deadline = GetTickCount64() + moveRetryMilliseconds;
    for (;;) {
        if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
        const DWORD error = GetLastError();
        const bool passing =
            error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED || error == ERROR_LOCK_VIOLATION;
        if (!passing || GetTickCount64() >= deadline)
            return false;
        Sleep(retryPauseMilliseconds);
    }
}

} // namespace

bool pathExists(const std::string& path)
{
    return GetFileAttributesW(wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Opening follows every link, so the open file's final path is the file a save must change.
// A link to nothing is followed by hand, as far as its chain goes, so that a save creates the
// file it names rather than replacing the link.
std::string resolveLinks(const std::string& path)
{
    std::wstring current = wide(path);
    for (int hop = 0; hop < maxLinkHops; ++hop) {
        HANDLE file = CreateFileW(current.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            const std::wstring finalPath = finalPathOf(file);
            CloseHandle(file);
            return finalPath.empty() ? std::string() : narrow(finalPath);
        }
        const DWORD attributes = GetFileAttributesW(current.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
            return narrow(current);
        bool relative = false;
        const std::wstring next = linkTarget(current, relative);
        if (next.empty())
            return "";
        current = relative ? std::filesystem::path(current).parent_path().wstring() + L"\\" + next : next;
    }
    return "";
}

bool replaceFileAtomically(const std::string& path, const std::string& content)
{
    const std::wstring target = wide(path);
    // The read-only attribute is how a Windows user says "keep this file": refuse before any
    // temporary is written, whatever the file system would let a rename do.
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        return false;
    const std::wstring temporary = wide(path + temporaryMarker + std::to_string(GetCurrentProcessId()));
    HANDLE file =
        CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool ok = writeAll(file, content) && FlushFileBuffers(file);
    ok = CloseHandle(file) && ok;
    ok = ok && moveOver(temporary, target);
    if (!ok) {
        DeleteFileW(temporary.c_str());
        return false;
    }
    return true;
}

void removeStaleTemporaries(const std::string& path)
{
    const std::string prefix = std::filesystem::u8path(path).filename().u8string() + temporaryMarker;
    const std::filesystem::path folder = std::filesystem::u8path(path).parent_path();
    std::error_code error;
    std::filesystem::directory_iterator entries(folder.empty() ? std::filesystem::path(".") : folder, error);
    if (error)
        return;
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    for (const auto& entry : entries) {
        const std::string name = entry.path().filename().u8string();
        if (name.compare(0, prefix.size(), prefix) != 0)
            continue;
        const std::string pidText = name.substr(prefix.size());
        if (pidText.empty() || pidText.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const unsigned long pid = std::strtoul(pidText.c_str(), nullptr, 10);
        if (pid == GetCurrentProcessId())
            continue;
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (!GetFileAttributesExW(entry.path().c_str(), GetFileExInfoStandard, &data) ||
            (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            continue;
        // A time in the future is no sign of age: the clock was set back, or the file came from elsewhere.
        const ULONGLONG written = ticks(data.ftLastWriteTime);
        const bool old = ticks(now) > written && ticks(now) - written > staleAfter100ns;
        if (old || processIsGone(pid))
            DeleteFileW(entry.path().c_str());
    }
}

std::string dataPath(const std::string& relativePath)
{
    std::string path = ".\\" + relativePath;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

const char* textLineEnd()
{
    return "\r\n";
}

// Arial ships with every Windows; no other face is accepted in its place.
std::string hudFontPath()
{
    return "C:\\Windows\\Fonts\\arial.ttf";
}

} // namespace platform

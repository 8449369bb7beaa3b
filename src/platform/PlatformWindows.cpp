// The platform layer on Windows: Win32 file calls on wide-character paths.
#include "platform/Platform.h"
#include "platform/PlatformWindowsText.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <aclapi.h>
#include <winioctl.h>

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/FileSharing.h"

namespace platform {

using windows::narrow;
using windows::wide;

namespace {

// Windows gives up on link chains at this depth as well.
constexpr int maxLinkHops = 63;
// SYMLINK_FLAG_RELATIVE of the driver kit: the link's target is relative to its folder.
constexpr ULONG symbolicLinkRelative = 1;
constexpr ULONGLONG moveRetryMilliseconds = 1000;
constexpr DWORD retryPauseMilliseconds = 20;

bool writeAll(HANDLE file, const char* bytes, std::size_t size)
{
    std::size_t done = 0;
    while (done < size) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size - done, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(file, bytes + done, chunk, &written, nullptr))
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

// The old file's owner, group and access list given to its replacement; false where this
// process may not give them (another owner), so that nothing is replaced.
bool copySecurity(const std::wstring& from, HANDLE to)
{
    const SECURITY_INFORMATION parts = OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION |
                                       DACL_SECURITY_INFORMATION;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    PSID owner = nullptr, group = nullptr;
    PACL accessList = nullptr;
    if (GetNamedSecurityInfoW(from.c_str(), SE_FILE_OBJECT, parts, &owner, &group, &accessList, nullptr,
                              &descriptor) != ERROR_SUCCESS)
        return false;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    // An access list that inherits from the folder goes on inheriting; a protected one stays so.
    const bool protectedList = GetSecurityDescriptorControl(descriptor, &control, &revision) &&
                               (control & SE_DACL_PROTECTED);
    const SECURITY_INFORMATION inheritance =
        protectedList ? PROTECTED_DACL_SECURITY_INFORMATION : UNPROTECTED_DACL_SECURITY_INFORMATION;
    const DWORD set = SetSecurityInfo(to, SE_FILE_OBJECT, parts | inheritance, owner, group, accessList, nullptr);
    LocalFree(descriptor);
    return set == ERROR_SUCCESS;
}

// A temporary made afresh: a file already at its name (this pid's, from a killed process, or
// planted) is removed, never written through.
HANDLE createTemporary(const std::wstring& temporary)
{
    const DWORD access = GENERIC_WRITE | WRITE_DAC | WRITE_OWNER | DELETE;
    const DWORD flags = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT;
    HANDLE file = CreateFileW(temporary.c_str(), access, 0, nullptr, CREATE_NEW, flags, nullptr);
    if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_EXISTS && DeleteFileW(temporary.c_str()))
        file = CreateFileW(temporary.c_str(), access, 0, nullptr, CREATE_NEW, flags, nullptr);
    return file;
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

bool replaceFileAtomically(const std::string& path, const ContentSource& content)
{
    const std::wstring target = wide(path);
    // The read-only attribute is how a Windows user says "keep this file": refuse before any
    // temporary is written, whatever the file system would let a rename do.
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        return false;
    const std::wstring temporary = wide(temporaryPathFor(path, GetCurrentProcessId()));
    HANDLE file = createTemporary(temporary);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool ok = attributes == INVALID_FILE_ATTRIBUTES || copySecurity(target, file);
    ok = ok && content([file](const char* bytes, std::size_t size) { return writeAll(file, bytes, size); });
    ok = ok && FlushFileBuffers(file);
    ok = CloseHandle(file) && ok;
    ok = ok && moveOver(temporary, target);
    if (!ok) {
        DeleteFileW(temporary.c_str());
        return false;
    }
    return true;
}

bool replaceFileAtomically(const std::string& path, const std::string& content)
{
    return replaceFileAtomically(path, [&content](const auto& write) { return write(content.data(), content.size()); });
}

void removeStaleTemporaries(const std::string& path)
{
    const std::string baseName = std::filesystem::u8path(path).filename().u8string();
    const std::filesystem::path folder = std::filesystem::u8path(path).parent_path();
    std::error_code error;
    std::filesystem::directory_iterator entries(folder.empty() ? std::filesystem::path(".") : folder, error);
    if (error)
        return;
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    for (const auto& entry : entries) {
        const unsigned long pid = temporaryOwner(entry.path().filename().u8string(), baseName);
        if (pid == 0 || pid == GetCurrentProcessId())
            continue;
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (!GetFileAttributesExW(entry.path().c_str(), GetFileExInfoStandard, &data) ||
            (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            continue;
        // A time in the future is no sign of age: the clock was set back, or the file came from elsewhere.
        const ULONGLONG written = ticks(data.ftLastWriteTime);
        const double ageSeconds = ticks(now) > written ? static_cast<double>(ticks(now) - written) / 1e7 : 0.0;
        if (temporaryIsStale(processIsGone(pid), ageSeconds))
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

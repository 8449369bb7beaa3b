// The platform layer on Windows: Win32 file calls on wide-character paths.
#include "platform/Platform.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace platform {

namespace {

// A save takes milliseconds; a temporary file this old is stale even if its pid was reused.
constexpr ULONGLONG staleAfter100ns = 3600ULL * 10000000ULL;

const char* const temporaryMarker = ".tmp-";

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

} // namespace

bool pathExists(const std::string& path)
{
    return GetFileAttributesW(wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Opening follows every link, so the open file's final path is the file a save must change.
// A path that does not open yet is written where it is named.
std::string resolveLinks(const std::string& path)
{
    HANDLE file = CreateFileW(wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return path;
    std::wstring finalPath(MAX_PATH, L'\0');
    DWORD length = GetFinalPathNameByHandleW(file, finalPath.data(), static_cast<DWORD>(finalPath.size()), 0);
    if (length >= finalPath.size()) {
        finalPath.resize(length);
        length = GetFinalPathNameByHandleW(file, finalPath.data(), static_cast<DWORD>(finalPath.size()), 0);
    }
    CloseHandle(file);
    if (length == 0 || length >= finalPath.size())
        return "";
    finalPath.resize(length);
    return narrow(finalPath);
}

bool mayWriteFile(const std::string& path)
{
    HANDLE file = CreateFileW(wide(path).c_str(), GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
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
    ok = ok && MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
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
        const bool old = ticks(now) - ticks(data.ftLastWriteTime) > staleAfter100ns;
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

// The platform layer on Windows: reading and growing a file other games may share.
#include "platform/Platform.h"
#include "platform/PlatformWindowsText.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>

namespace platform {

using windows::wide;

namespace {

// A save holds the lock for milliseconds; whoever holds it longer is no game saving. A read
// for the display waits less: without the lock it risks only a half-written last line.
constexpr DWORD saveLockWaitMilliseconds = 2000;
constexpr DWORD readLockWaitMilliseconds = 500;
// A virus scanner or an indexer may hold the file for a moment; opening is retried this long.
constexpr ULONGLONG openRetryMilliseconds = 1000;
constexpr DWORD retryPauseMilliseconds = 20;

std::string describe(DWORD error)
{
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                            FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message = length > 0 ? std::wstring(text, length) : L"error " + std::to_wstring(error);
    LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L'.'))
        message.pop_back();
    return std::filesystem::path(message).u8string();
}

// Closes the handle it holds; never copied, so it is closed exactly once.
class Handle {
public:
    explicit Handle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
    ~Handle() { reset(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
    void reset(HANDLE handle = INVALID_HANDLE_VALUE)
    {
        if (valid())
            CloseHandle(handle_);
        handle_ = handle;
    }

private:
    HANDLE handle_;
};

// Games of one session take turns through a mutex named after the file. Windows' own file
// locks would keep the rename that replaces the file from happening while they are held.
class FileMutex {
public:
    FileMutex(const std::wstring& target, DWORD waitMilliseconds)
    {
        // One name for every spelling of the path: full, without the "\\?\" prefix, upper case.
        std::wstring name = target;
        if (name.rfind(L"\\\\?\\UNC\\", 0) == 0)
            name = L"\\" + name.substr(7);
        else if (name.rfind(L"\\\\?\\", 0) == 0)
            name = name.substr(4);
        std::wstring full(32768, L'\0');
        const DWORD length = GetFullPathNameW(name.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (length > 0 && length < full.size())
            name.assign(full.data(), length);
        CharUpperBuffW(name.data(), static_cast<DWORD>(name.size()));
        std::uint64_t hash = 14695981039346656037ULL;
        for (wchar_t c : name)
            hash = (hash ^ static_cast<std::uint16_t>(c)) * 1099511628211ULL;
        std::wstring mutexName = L"Local\\Orbelune-file-";
        for (int shift = 60; shift >= 0; shift -= 4)
            mutexName += L"0123456789abcdef"[(hash >> shift) & 0xF];
        mutex_ = CreateMutexW(nullptr, FALSE, mutexName.c_str());
        // A holder that died leaves the mutex abandoned: it is ours then, as after a release.
        const DWORD waited = mutex_ ? WaitForSingleObject(mutex_, waitMilliseconds) : WAIT_FAILED;
        held_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
    }
    ~FileMutex()
    {
        if (held_)
            ReleaseMutex(mutex_);
        if (mutex_)
            CloseHandle(mutex_);
    }
    FileMutex(const FileMutex&) = delete;
    FileMutex& operator=(const FileMutex&) = delete;
    bool held() const { return held_; }

private:
    HANDLE mutex_ = nullptr;
    bool held_ = false;
};

// Opens `target` for `access`, refusing anything but a regular file; retried for a moment
// while another program holds it.
bool openRegular(const std::wstring& target, DWORD access, DWORD disposition, Handle& file, std::string& reason)
{
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        reason = "it is a folder";
        return false;
    }
    // The read-only attribute is how a Windows user says "keep this file", whatever an
    // administrator's open would be allowed.
    const bool readOnly = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
    if (readOnly && (access & GENERIC_WRITE)) {
        reason = "it is marked read-only";
        return false;
    }
    const ULONGLONG deadline = GetTickCount64() + openRetryMilliseconds;
    for (;;) {
        file.reset(CreateFileW(target.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file.valid())
            break;
        const DWORD error = GetLastError();
        if (error != ERROR_SHARING_VIOLATION || GetTickCount64() >= deadline) {
            reason = describe(error);
            return false;
        }
        Sleep(retryPauseMilliseconds);
    }
    if (GetFileType(file.get()) != FILE_TYPE_DISK) {
        reason = "it is not a regular file";
        return false;
    }
    return true;
}

bool readAll(HANDLE file, std::size_t maxBytes, std::string& bytes, std::string& reason)
{
    const std::string tooLarge = "it is larger than " + std::to_string(maxBytes) + " bytes";
    LARGE_INTEGER size;
    if (GetFileSizeEx(file, &size) && static_cast<unsigned long long>(size.QuadPart) > maxBytes) {
        reason = tooLarge;
        return false;
    }
    bytes.clear();
    char buffer[1 << 16];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, buffer, sizeof buffer, &got, nullptr)) {
            reason = describe(GetLastError());
            return false;
        }
        if (got == 0)
            return true;
        if (bytes.size() + got > maxBytes) {
            reason = tooLarge;
            return false;
        }
        bytes.append(buffer, got);
    }
}

// The tail written after the old end; on failure the file is cut back to that end.
bool appendInPlace(const std::wstring& target, std::size_t oldSize, const std::string& tail, std::string& reason)
{
    Handle file;
    if (!openRegular(target, GENERIC_WRITE, OPEN_EXISTING, file, reason))
        return false;
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(oldSize);
    bool ok = SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN) != 0;
    std::size_t done = 0;
    while (ok && done < tail.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(tail.size() - done, 1u << 30));
        DWORD written = 0;
        ok = WriteFile(file.get(), tail.data() + done, chunk, &written, nullptr) && written > 0;
        done += written;
    }
    ok = ok && FlushFileBuffers(file.get());
    if (ok)
        return true;
    reason = describe(GetLastError());
    if (SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN))
        SetEndOfFile(file.get());
    return false;
}

} // namespace

FileRead readRegularFile(const std::string& path, std::size_t maxBytes, std::string& bytes, std::string& reason)
{
    const std::string target = resolveLinks(path);
    if (target.empty()) {
        reason = "its links loop or cannot be read";
        return FileRead::refused;
    }
    if (!pathExists(target))
        return FileRead::missing;
    // Without the turn a save in place may be half done; the read is for display only.
    const FileMutex turn(wide(target), readLockWaitMilliseconds);
    Handle file;
    if (!openRegular(wide(target), GENERIC_READ, OPEN_EXISTING, file, reason))
        return pathExists(target) ? FileRead::refused : FileRead::missing;
    return readAll(file.get(), maxBytes, bytes, reason) ? FileRead::read : FileRead::refused;
}

FileExtension extendRegularFile(const std::string& path, std::size_t maxBytes,
                                const std::function<std::string(const std::string& current)>& tailFor)
{
    FileExtension result;
    const std::string target = resolveLinks(path);
    if (target.empty()) {
        result.reason = "its links loop or cannot be read";
        return result;
    }
    const FileMutex turn(wide(target), saveLockWaitMilliseconds);
    if (!turn.held())
        result.warning = "another program held it for " + std::to_string(saveLockWaitMilliseconds) + " ms";
    Handle file;
    if (!openRegular(wide(target), GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS, file, result.reason))
        return result;
    std::string current;
    if (!readAll(file.get(), maxBytes, current, result.reason))
        return result;
    const std::string tail = tailFor(current);
    if (tail.empty()) {
        result.written = true;
        return result;
    }
    // A rename would part the file from its other names; in place they all see the change.
    BY_HANDLE_FILE_INFORMATION info;
    const bool oneName = GetFileInformationByHandle(file.get(), &info) && info.nNumberOfLinks == 1;
    // Replacing a file needs every handle to it closed.
    file.reset();
    removeStaleTemporaries(target);
    if (oneName && replaceFileAtomically(target, current + tail))
        result.written = true;
    else
        result.written = appendInPlace(wide(target), current.size(), tail, result.reason);
    return result;
}

} // namespace platform

// The platform layer on Windows: reading and growing a file other games may share. The lock
// is Windows' own on the file (LockFileEx), which every session on the machine sees.
#include "platform/Platform.h"
#include "platform/PlatformWindowsText.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <cstdint>
#include <filesystem>
#include <string>

#include "platform/FileSharing.h"

namespace platform {

using windows::wide;

namespace {

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

// The whole file's byte range, locked shared or exclusive on `file`; unlocked before the
// handle closes, since Windows may keep a closed handle's locks for a while.
class FileLock {
public:
    FileLock(HANDLE file, bool exclusive, std::chrono::steady_clock::time_point deadline,
             std::chrono::milliseconds wait, const std::string& path, bool* told)
        : file_(file)
    {
        lock_ = waitForLock(
            [this, exclusive] {
                OVERLAPPED whole{};
                const DWORD flags = (exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0) | LOCKFILE_FAIL_IMMEDIATELY;
                if (LockFileEx(file_, flags, 0, MAXDWORD, MAXDWORD, &whole))
                    return Lock::held;
                const DWORD error = GetLastError();
                return error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING ? Lock::busy : Lock::unavailable;
            },
            deadline, wait, path, exclusive, told);
    }
    ~FileLock()
    {
        OVERLAPPED whole{};
        if (lock_ == Lock::held)
            UnlockFileEx(file_, 0, MAXDWORD, MAXDWORD, &whole);
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    Lock state() const { return lock_; }

private:
    HANDLE file_;
    Lock lock_ = Lock::unavailable;
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

// True while `path` still names the file open as `file`: not removed, not replaced.
bool stillNamed(HANDLE file, const std::wstring& path)
{
    FILE_STANDARD_INFO standard{};
    if (GetFileInformationByHandleEx(file, FileStandardInfo, &standard, sizeof standard) && standard.DeletePending)
        return false;
    Handle named(CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    BY_HANDLE_FILE_INFORMATION open{}, now{};
    return named.valid() && GetFileInformationByHandle(file, &open) && GetFileInformationByHandle(named.get(), &now) &&
           open.nNumberOfLinks > 0 && open.dwVolumeSerialNumber == now.dwVolumeSerialNumber &&
           open.nFileIndexHigh == now.nFileIndexHigh && open.nFileIndexLow == now.nFileIndexLow;
}

// How often a path replaced or removed while we waited is opened again.
constexpr int maxOpenTries = 20;

// Opens the regular file that `path` names (links followed) and locks it, shared for reading,
// exclusive for writing (then created when missing); only the file the path names once the
// lock is had. False with the reason when it cannot; `missing` when nothing is there to read.
bool openLocked(const std::string& path, bool forWriting, Handle& file, std::unique_ptr<FileLock>& lock,
                bool& missing, std::string& reason)
{
    const auto wait = forWriting ? saveLockWait() : readLockWait;
    const auto deadline = std::chrono::steady_clock::now() + wait;
    missing = false;
    bool toldWaiting = false; // one notice a save, however often a replaced file is reopened
    for (int attempt = 0; attempt < maxOpenTries; ++attempt) {
        const std::string target = resolveLinks(path);
        if (target.empty()) {
            reason = "its links loop or cannot be read";
            return false;
        }
        if (!forWriting && !pathExists(target)) {
            missing = true;
            return false;
        }
        const DWORD access = forWriting ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ;
        if (!openRegular(wide(target), access, forWriting ? OPEN_ALWAYS : OPEN_EXISTING, file, reason)) {
            missing = !forWriting && !pathExists(target);
            return false;
        }
        lock = std::make_unique<FileLock>(file.get(), forWriting, deadline, wait, path, &toldWaiting);
        if (lock->state() == Lock::busy && forWriting) {
            reason = lockHeldReason(wait);
            return false;
        }
        if (stillNamed(file.get(), wide(target)))
            return true;
        lock.reset();
    }
    reason = "it kept changing while it was opened";
    return false;
}

// The tail written after the old end in one call; on failure the file is cut back to that end.
bool appendInPlace(HANDLE file, LONGLONG oldSize, const std::string& tail, std::string& reason)
{
    LARGE_INTEGER end;
    end.QuadPart = oldSize;
    DWORD written = 0;
    bool ok = SetFilePointerEx(file, end, nullptr, FILE_BEGIN) &&
              WriteFile(file, tail.data(), static_cast<DWORD>(tail.size()), &written, nullptr) &&
              written == tail.size() && FlushFileBuffers(file);
    if (ok)
        return true;
    reason = describe(GetLastError());
    if (SetFilePointerEx(file, end, nullptr, FILE_BEGIN))
        SetEndOfFile(file);
    return false;
}

} // namespace

FileRead readRegularFile(const std::string& path, const std::function<void(const char*, std::size_t)>& sink,
                         std::string& reason)
{
    Handle file;
    std::unique_ptr<FileLock> lock;
    bool missing = false;
    // Without the lock a save in place may be half done; the read is for display only.
    if (!openLocked(path, false, file, lock, missing, reason))
        return missing ? FileRead::missing : FileRead::refused;
    auto readChunk = [&file](char* buffer, std::size_t size) -> long long {
        DWORD got = 0;
        if (!ReadFile(file.get(), buffer, static_cast<DWORD>(size), &got, nullptr))
            return -1;
        return got;
    };
    if (streamUntil(readChunk, sink, std::chrono::steady_clock::now() + readTimeBound) == StreamEnd::failed) {
        reason = describe(GetLastError());
        return FileRead::refused;
    }
    return FileRead::read;
}

// The file is always extended in place: replacing it would need every handle to it closed, its
// lock's among them, and would give it the folder's access list and the saver as owner.
FileExtension extendRegularFile(const std::string& path, const std::function<std::string(const FileEnd& end)>& tailFor)
{
    FileExtension result;
    Handle file;
    std::unique_ptr<FileLock> lock;
    bool missing = false;
    if (!openLocked(path, true, file, lock, missing, result.reason))
        return result;
    LARGE_INTEGER size{};
    FileEnd end;
    if (!GetFileSizeEx(file.get(), &size)) {
        result.reason = describe(GetLastError());
        return result;
    }
    LARGE_INTEGER start;
    start.QuadPart = std::max<LONGLONG>(0, size.QuadPart - static_cast<LONGLONG>(endWindowBytes));
    end.wholeFile = start.QuadPart == 0;
    end.bytes.assign(static_cast<std::size_t>(size.QuadPart - start.QuadPart), '\0');
    DWORD got = 0;
    if (!SetFilePointerEx(file.get(), start, nullptr, FILE_BEGIN) ||
        !ReadFile(file.get(), end.bytes.data(), static_cast<DWORD>(end.bytes.size()), &got, nullptr) ||
        got != end.bytes.size()) {
        result.reason = describe(GetLastError());
        return result;
    }
    const std::string tail = tailFor(end);
    if (tail.empty()) {
        result.written = true;
        return result;
    }
    removeStaleTemporaries(resolveLinks(path));
    result.written = appendInPlace(file.get(), size.QuadPart, tail, result.reason);
    return result;
}

} // namespace platform

// What every system's score-file code shares, with no system call in it: how long a save
// waits for another game's lock and what it says meanwhile, the name and age of the
// temporary file a replacement is written to, and a read bounded in time.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>

namespace platform {

// A save holds the lock for milliseconds, or seconds on a slow network disk; whoever holds it
// longer than this is no game saving, and the player at the console has waited long enough.
constexpr std::chrono::milliseconds defaultSaveLockWait{30000};
// A read for the display waits less: without the lock it risks only a half-written last line.
constexpr std::chrono::milliseconds readLockWait{500};
// The display reads the file as a stream; a file too slow or too large to read in this time
// (a sparse file of a terabyte, a dying network share) shows the best of what was read.
constexpr std::chrono::milliseconds readTimeBound{5000};
// A save reads only the file's end: enough for its line end and its last entries.
constexpr std::size_t endWindowBytes = std::size_t(64) << 10;
// A replacement copies the whole file; a larger one is extended in place instead.
constexpr unsigned long long maxReplacedBytes = 16ULL << 20;

// The save's lock wait: the default, or what a test set to keep itself fast.
std::chrono::milliseconds saveLockWait();
void setSaveLockWaitForTests(std::chrono::milliseconds wait);

enum class Lock {
    held,
    busy,        // another holder kept it past the wait
    unavailable, // the file system has no locks: the file is used without one
};

// Asks `tryLock` until it answers held or unavailable, or until the deadline (busy). When
// `saving`, the first busy answer says once on standard error that the save waits, at most
// `wait` in all. A save that reopens a replaced file waits again: its caller passes `told`
// through every wait, so that the player reads the notice once per save.
Lock waitForLock(const std::function<Lock()>& tryLock, std::chrono::steady_clock::time_point deadline,
                 std::chrono::milliseconds wait, const std::string& path, bool saving, bool* told = nullptr);

// Why a save that waited `wait` for the lock wrote nothing, in words.
std::string lockHeldReason(std::chrono::milliseconds wait);

// The name of this process's temporary file beside `path`.
std::string temporaryPathFor(const std::string& path, unsigned long pid);
// The process id in `fileName` when it names a temporary of the file called `baseName`; 0
// when it names none.
unsigned long temporaryOwner(const std::string& fileName, const std::string& baseName);
// True when a temporary is left over from a save that cannot be running any more.
bool temporaryIsStale(bool ownerGone, double ageSeconds);

// Tests force the named temporary, which systems with unnamed files never take otherwise.
bool namedTemporariesForced();
void forceNamedTemporariesForTests(bool forced);

enum class StreamEnd { end, failed, timeUp };
// Feeds `sink` with what `readChunk` gives (bytes read into the buffer; 0 at the end, < 0 on
// failure) until the end, a failure, or the deadline.
StreamEnd streamUntil(const std::function<long long(char* buffer, std::size_t size)>& readChunk,
                      const std::function<void(const char* bytes, std::size_t size)>& sink,
                      std::chrono::steady_clock::time_point deadline);

} // namespace platform

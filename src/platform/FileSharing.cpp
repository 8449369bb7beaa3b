// The score file's waits, temporaries and bounded reads, the same on every system.
#include "platform/FileSharing.h"

#include <iostream>
#include <thread>
#include <vector>

namespace platform {

namespace {

constexpr std::chrono::milliseconds lockPoll{5};
// A save takes milliseconds; a temporary file this old is stale even if its pid was reused.
constexpr double staleAfterSeconds = 3600.0;
const char* const temporaryMarker = ".tmp-";

std::chrono::milliseconds lockWaitNow = defaultSaveLockWait;
bool namedForced = false;

// Seconds, rounded up, or milliseconds for a wait shorter than one.
std::string inWords(std::chrono::milliseconds wait)
{
    if (wait < std::chrono::seconds(1))
        return std::to_string(wait.count()) + " ms";
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(wait + std::chrono::milliseconds(999));
    return std::to_string(seconds.count()) + " s";
}

} // namespace

std::chrono::milliseconds saveLockWait()
{
    return lockWaitNow;
}

void setSaveLockWaitForTests(std::chrono::milliseconds wait)
{
    lockWaitNow = wait;
}

Lock waitForLock(const std::function<Lock()>& tryLock, std::chrono::steady_clock::time_point deadline,
                 std::chrono::milliseconds wait, const std::string& path, bool saving, bool* toldBefore)
{
    bool toldHere = false;
    bool& told = toldBefore ? *toldBefore : toldHere;
    for (;;) {
        const Lock lock = tryLock();
        if (lock != Lock::busy)
            return lock;
        if (std::chrono::steady_clock::now() >= deadline)
            return Lock::busy;
        if (saving && !told) {
            std::cerr << "Another program is using " << path << "; the score waits up to " << inWords(wait)
                      << " to be saved."
                      << std::endl;
            told = true;
        }
        std::this_thread::sleep_for(lockPoll);
    }
}

std::string lockHeldReason(std::chrono::milliseconds wait)
{
    return "another program held its lock for " + inWords(wait);
}

std::string temporaryPathFor(const std::string& path, unsigned long pid)
{
    return path + temporaryMarker + std::to_string(pid);
}

unsigned long temporaryOwner(const std::string& fileName, const std::string& baseName)
{
    const std::string prefix = baseName + temporaryMarker;
    if (fileName.compare(0, prefix.size(), prefix) != 0)
        return 0;
    const std::string digits = fileName.substr(prefix.size());
    if (digits.empty() || digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos)
        return 0;
    return std::stoul(digits);
}

bool temporaryIsStale(bool ownerGone, double ageSeconds)
{
    return ownerGone || ageSeconds > staleAfterSeconds;
}

bool namedTemporariesForced()
{
    return namedForced;
}

void forceNamedTemporariesForTests(bool forced)
{
    namedForced = forced;
}

StreamEnd streamUntil(const std::function<long long(char* buffer, std::size_t size)>& readChunk,
                      const std::function<void(const char* bytes, std::size_t size)>& sink,
                      std::chrono::steady_clock::time_point deadline)
{
    std::vector<char> buffer(std::size_t(1) << 16);
    for (;;) {
        if (std::chrono::steady_clock::now() >= deadline)
            return StreamEnd::timeUp;
        const long long got = readChunk(buffer.data(), buffer.size());
        if (got < 0)
            return StreamEnd::failed;
        if (got == 0)
            return StreamEnd::end;
        sink(buffer.data(), static_cast<std::size_t>(got));
    }
}

} // namespace platform

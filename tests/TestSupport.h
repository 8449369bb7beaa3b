// Helpers shared by the test files that need no display: temporary files, child processes,
// deadlines. The logic tests link these and the logic library only.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

// False under AddressSanitizer, whose quarantine of freed blocks and shadow memory swell a
// process's resident size: there a memory bound says nothing about the game's own use.
#ifdef __SANITIZE_ADDRESS__
constexpr bool residentMemoryIsTheGames = false;
#else
constexpr bool residentMemoryIsTheGames = true;
#endif

// The steady-clock moment `seconds` from now; every wait here ends at one.
std::chrono::steady_clock::time_point deadlineAfter(double seconds);
// Asks `condition` every `pollSeconds` until it holds (true) or `timeoutSeconds` have passed
// (false, after one last look). Every test that waits for something waits through this.
bool waitUntil(const std::function<bool()>& condition, double timeoutSeconds, double pollSeconds = 0.01);

// The names in a folder, sorted: what a test expects a save to have left behind.
std::vector<std::string> folderListing(const std::string& path);

// The build's run directory (orbelune, shaders/, assets/) and the game binary in it.
std::string runDirectory();
std::string orbeluneBinary();

// A fresh directory under `parent`, removed with everything in it when the object dies.
class TempDir {
public:
    explicit TempDir(const std::string& parent = "/tmp");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    void write(const std::string& name, const std::string& content) const;
    // shaders/ and assets/ of the run directory, copied so the game may write scores there.
    void populateRunData() const;

private:
    std::string path_;
};

std::string readFile(const std::string& path);

// A file in the working directory, so a death test's re-run child finds it under the
// same name; only the parent's copy removes it, the child ends without clean-up.
class RunDirectoryFile {
public:
    RunDirectoryFile(std::string name, const std::string& content);
    ~RunDirectoryFile();
    RunDirectoryFile(const RunDirectoryFile&) = delete;
    RunDirectoryFile& operator=(const RunDirectoryFile&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// Everything `action` writes to standard output (through stdio or iostreams).
std::string captureStdout(const std::function<void()>& action);

struct ProcessResult {
    int exitStatus = -1;  // exit code, or 128 + signal when killed
    std::string output;   // standard output and standard error together
    bool timedOut = false;
};

// A child process with its standard input and output on pipes (standard error joins output).
// It inherits DISPLAY as it stands: a test whose child opens a window calls
// usePrivateDisplay() first.
class ChildProcess {
public:
    ChildProcess(const std::vector<std::string>& argv, const std::string& workingDirectory);
    ~ChildProcess(); // kills the child if it still runs
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    int pid() const { return pid_; }
    // Everything the child has written so far.
    const std::string& output();
    // Waits until the output contains `text`; false on timeout or when the child ended first.
    bool waitForOutput(const std::string& text, double timeoutSeconds);
    void writeInput(const std::string& text);
    void closeInput();
    // Waits for the exit; returns the exit code, 128 + signal, or -1 on timeout.
    int wait(double timeoutSeconds);
    bool running();
    void kill();

private:
    void drain();
    int pid_ = -1;
    int input_ = -1;
    int output_ = -1;
    int status_ = -1;
    bool exited_ = false;
    std::string text_;
};

// Runs `argv` in `workingDirectory`, feeding `input` on standard input, killing it after
// `timeoutSeconds`.
ProcessResult runProcess(const std::vector<std::string>& argv, const std::string& workingDirectory,
                         const std::string& input = "", double timeoutSeconds = 30.0);

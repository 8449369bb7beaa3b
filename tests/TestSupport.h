// Helpers shared by the test files.
#pragma once

#include <functional>
#include <string>
#include <vector>

// Makes a hidden 3.3 core window current (once per process) and loads the GL entry points.
// Needs a display: the test command runs the suite under Xvfb.
void ensureGlContext();

// The build's run directory (orbelune, shaders/, assets/) and the game binary in it.
std::string runDirectory();
std::string orbeluneBinary();

// A fresh directory under /tmp, removed with everything in it when the object dies.
class TempDir {
public:
    TempDir();
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

// Everything `action` writes to standard output (through stdio or iostreams).
std::string captureStdout(const std::function<void()>& action);

struct ProcessResult {
    int exitStatus = -1;  // exit code, or 128 + signal when killed
    std::string output;   // standard output and standard error together
    bool timedOut = false;
};

// Runs `argv` in `workingDirectory`, feeding `input` on standard input, killing it after
// `timeoutSeconds`.
ProcessResult runProcess(const std::vector<std::string>& argv, const std::string& workingDirectory,
                         const std::string& input = "", double timeoutSeconds = 30.0);

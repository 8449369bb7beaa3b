// Helpers shared by the test files.
#pragma once

#include <functional>
#include <string>
#include <vector>

// Starts an Xvfb server for this test process, once, and points DISPLAY at it, so that
// tests run in parallel never share windows, focus or keys. Everything below that needs a
// display calls it; a test that talks to X by itself calls it first.
void usePrivateDisplay();

// Makes a hidden 3.3 core window current (once per process) and loads the GL entry points.
void ensureGlContext();

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

// A minimal text program that honours the game's text-shader interface, for tests that
// must not depend on the shipped shader files.
extern const char* const testTextVertexShader;
extern const char* const testTextFragmentShader;

// What a GL query of `target` (GL_PRIMITIVES_GENERATED, ...) counts while `action` runs.
unsigned int countPrimitives(unsigned int target, const std::function<void()>& action);
// A level-0 parameter (GL_TEXTURE_WIDTH, GL_TEXTURE_INTERNAL_FORMAT, ...) of a 2D texture.
int textureLevelParameter(unsigned int texture, unsigned int parameter);

// Everything `action` writes to standard output (through stdio or iostreams).
std::string captureStdout(const std::function<void()>& action);

struct ProcessResult {
    int exitStatus = -1;  // exit code, or 128 + signal when killed
    std::string output;   // standard output and standard error together
    bool timedOut = false;
};

// A child process with its standard input and output on pipes (standard error joins output).
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

// Sends keys to the game's window through the X server's test extension (xdotool), so
// GLFW sees them as real key events. `keys` is xdotool's key syntax, e.g. "Escape" or "F3".
bool pressKeys(const std::string& keys);
bool holdKey(const std::string& key, bool down);
// The id of the visible window titled "Orbelune", waiting up to `timeoutSeconds`; empty when none.
std::string findGameWindow(double timeoutSeconds = 10.0);

// A screenshot of one window, 8-bit RGB, rows top to bottom.
struct Screenshot {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;

    bool empty() const { return rgb.empty(); }
    // Share (0..1) of pixels in the rectangle (x, y from the top-left, clipped) that `test` accepts.
    double share(int x, int y, int w, int h, const std::function<bool(int r, int g, int b)>& test) const;
    double share(const std::function<bool(int r, int g, int b)>& test) const;
    // Mean of (r + g + b) / 3 over the rectangle, 0..255.
    double meanBrightness(int x, int y, int w, int h) const;
    bool operator==(const Screenshot& other) const;
};

// The window's current picture, via ImageMagick's import; empty when it cannot be taken.
Screenshot captureWindow(const std::string& windowId);

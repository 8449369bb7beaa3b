#include "GlTestSupport.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>
#include <X11/Xlib.h>
#include <stb_image.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <stdexcept>
#include <thread>
#include <vector>

#include "Startup.h"

namespace {

// An X server of this test process's own. Tests that run side by side (ctest -j) would
// otherwise share one display: one game could take the focus, and the keys, meant for
// another. A death test's re-run child inherits the display through the environment.
class PrivateDisplay {
public:
    ~PrivateDisplay()
    {
        // Only the process that started the server stops it; forked children exit past here.
        if (server_ > 0 && ::getpid() == owner_)
            stop(server_);
    }

    void ensure()
    {
        if (server_ > 0 || std::getenv("ORBELUNE_PRIVATE_DISPLAY"))
            return;
        owner_ = ::getpid();
        // A server that never answers keeps running until the end of this call, so that the
        // next try cannot be handed its display number again.
        std::vector<pid_t> silent;
        for (int attempt = 0; attempt < startAttempts && server_ <= 0; ++attempt) {
            pid_t started = -1;
            const std::string number = start(started);
            if (!number.empty() && answers(":" + number)) {
                server_ = started;
                ::setenv("DISPLAY", (":" + number).c_str(), 1);
                ::setenv("ORBELUNE_PRIVATE_DISPLAY", "1", 1);
            } else if (started > 0) {
                silent.push_back(started);
            }
        }
        for (pid_t pid : silent)
            stop(pid);
        if (server_ <= 0)
            std::cerr << "could not start a private Xvfb that answers; using DISPLAY as it is\n";
    }

private:
    static constexpr int startAttempts = 3;

    // Starts Xvfb on a display number it picks; returns that number once it is reported, or ""
    // (with `pid` set when a process was started all the same).
    static std::string start(pid_t& pid)
    {
        int ready[2];
        if (::pipe(ready) != 0)
            return "";
        const pid_t parent = ::getpid();
        pid = ::fork();
        if (pid == 0) {
            // A test killed by its timeout must not leave its server behind.
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (::getppid() != parent)
                _exit(1);
            ::close(ready[0]);
            const int quiet = ::open("/dev/null", O_WRONLY);
            ::dup2(quiet, STDOUT_FILENO);
            ::dup2(quiet, STDERR_FILENO);
            const std::string fd = std::to_string(ready[1]);
            // -noreset: by default the server resets when its last client leaves, and a game
            // started right after another one ended could connect during the reset and fail.
            ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1920x1080x24", "-nolisten",
                     "tcp", "-noreset", static_cast<char*>(nullptr));
            _exit(127);
        }
        ::close(ready[1]);
        const std::string number = pid > 0 ? readDisplayNumber(ready[0]) : "";
        ::close(ready[0]);
        return number;
    }

    // Xvfb writes the display number and a line end once it listens.
    static std::string readDisplayNumber(int fd)
    {
        std::string text;
        const auto deadline = deadlineAfter(60.0);
        while (text.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
            pollfd wait{fd, POLLIN, 0};
            if (::poll(&wait, 1, 100) <= 0)
                continue;
            char buffer[16];
            const ssize_t got = ::read(fd, buffer, sizeof buffer);
            if (got <= 0)
                return "";
            text.append(buffer, static_cast<std::size_t>(got));
        }
        const std::size_t end = text.find('\n');
        return end == std::string::npos ? "" : text.substr(0, end);
    }

    // True once a client can open `display`: what every game and tool started later needs.
    static bool answers(const std::string& display)
    {
        return waitUntil([&display] {
            Display* connection = XOpenDisplay(display.c_str());
            if (connection)
                XCloseDisplay(connection);
            return connection != nullptr;
        }, 30.0, 0.05);
    }

    static void stop(pid_t pid)
    {
        ::kill(pid, SIGTERM);
        ::waitpid(pid, nullptr, 0);
    }

    pid_t server_ = -1;
    pid_t owner_ = -1;
};

PrivateDisplay privateDisplay;

} // namespace

void usePrivateDisplay() { privateDisplay.ensure(); }

void ensureGlContext()
{
    static GLFWwindow* context = nullptr;
    if (context)
        return;
    usePrivateDisplay();
    context = openHiddenContext(320, 240, "orbelune-test");
    if (!context)
        throw std::runtime_error("no hidden GL 3.3 core context: is DISPLAY set (run under Xvfb)?");
}

unsigned int countPrimitives(unsigned int target, const std::function<void()>& action)
{
    GLuint query = 0;
    glGenQueries(1, &query);
    glBeginQuery(target, query);
    action();
    glEndQuery(target);
    GLuint result = 0;
    glGetQueryObjectuiv(query, GL_QUERY_RESULT, &result);
    glDeleteQueries(1, &query);
    return result;
}

int textureLevelParameter(unsigned int texture, unsigned int parameter)
{
    glBindTexture(GL_TEXTURE_2D, texture);
    GLint value = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, parameter, &value);
    return value;
}

std::string drawStateMismatch(int width, int height)
{
    std::string mismatch;
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    if (viewport[0] != 0 || viewport[1] != 0 || viewport[2] != width || viewport[3] != height) {
        mismatch += "viewport " + std::to_string(viewport[2]) + " x " + std::to_string(viewport[3]) + " at " +
                    std::to_string(viewport[0]) + ", " + std::to_string(viewport[1]) + "; ";
    }
    if (!glIsEnabled(GL_DEPTH_TEST))
        mismatch += "no depth test; ";
    if (!glIsEnabled(GL_BLEND))
        mismatch += "no blending; ";
    GLint source = 0, destination = 0;
    glGetIntegerv(GL_BLEND_SRC_RGB, &source);
    glGetIntegerv(GL_BLEND_DST_RGB, &destination);
    if (source != GL_SRC_ALPHA || destination != GL_ONE_MINUS_SRC_ALPHA)
        mismatch += "blending not by the source's alpha; ";
    return mismatch;
}

namespace {

std::string shellOutput(const std::string& command)
{
    std::string text;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        while (fgets(buffer, sizeof buffer, pipe))
            text += buffer;
        pclose(pipe);
    }
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

} // namespace

std::string findGameWindow(double timeoutSeconds)
{
    usePrivateDisplay();
    std::string found;
    waitUntil([&found] {
        found = shellOutput("xdotool search --onlyvisible --name '^Orbelune$' 2>/dev/null | tail -n 1");
        return !found.empty();
    }, timeoutSeconds, 0.05);
    return found;
}

namespace {

bool sendToGameWindow(const std::string& xdotoolAction)
{
    const std::string id = findGameWindow();
    return !id.empty() && std::system(("xdotool windowfocus --sync " + id + " " + xdotoolAction).c_str()) == 0;
}

} // namespace

bool pressKeys(const std::string& keys) { return sendToGameWindow("key --delay 30 " + keys); }

bool holdKey(const std::string& key, bool down) { return sendToGameWindow((down ? "keydown " : "keyup ") + key); }

double Screenshot::share(int x, int y, int w, int h, const std::function<bool(int, int, int)>& test) const
{
    const int left = std::max(0, x);
    const int top = std::max(0, y);
    const int right = std::min(width, x + w);
    const int bottom = std::min(height, y + h);
    if (right <= left || bottom <= top)
        return 0.0;
    long accepted = 0;
    for (int row = top; row < bottom; ++row) {
        for (int column = left; column < right; ++column) {
            const unsigned char* pixel = &rgb[3 * (static_cast<size_t>(row) * width + column)];
            if (test(pixel[0], pixel[1], pixel[2]))
                ++accepted;
        }
    }
    return static_cast<double>(accepted) / (static_cast<double>(right - left) * (bottom - top));
}

double Screenshot::share(const std::function<bool(int, int, int)>& test) const
{
    return share(0, 0, width, height, test);
}

double Screenshot::meanBrightness(int x, int y, int w, int h) const
{
    double sum = 0.0;
    long count = 0;
    share(x, y, w, h, [&sum, &count](int r, int g, int b) {
        sum += (r + g + b) / 3.0;
        ++count;
        return true;
    });
    return count ? sum / static_cast<double>(count) : 0.0;
}

bool Screenshot::operator==(const Screenshot& other) const
{
    return width == other.width && height == other.height && rgb == other.rgb;
}

Screenshot captureWindow(const std::string& windowId)
{
    Screenshot shot;
    char pattern[] = "/tmp/orbelune-shot-XXXXXX";
    const int descriptor = mkstemp(pattern);
    if (descriptor < 0)
        return shot;
    close(descriptor);
    const std::string path = pattern;
    const std::string command = "import -window " + windowId + " png:" + path + " 2>/dev/null";
    if (std::system(command.c_str()) == 0) {
        int channels = 0;
        if (unsigned char* pixels = stbi_load(path.c_str(), &shot.width, &shot.height, &channels, 3)) {
            shot.rgb.assign(pixels, pixels + static_cast<size_t>(shot.width) * shot.height * 3);
            stbi_image_free(pixels);
        }
    }
    unlink(path.c_str());
    return shot;
}

int liveGlNames()
{
    int live = 0;
    for (GLuint name = 1; name < 4096; ++name)
        live += (glIsFramebuffer(name) ? 1 : 0) + (glIsTexture(name) ? 1 : 0) + (glIsRenderbuffer(name) ? 1 : 0);
    return live;
}

long residentKiB()
{
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

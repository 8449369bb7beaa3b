#include "TestSupport.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace fs = std::filesystem;

void ensureGlContext()
{
    static GLFWwindow* context = nullptr;
    if (context)
        return;
    if (!glfwInit())
        throw std::runtime_error("glfwInit failed: is DISPLAY set (run under Xvfb)?");
    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 3);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 3);
    glfwWindowHint(GLFW_OPENGL_FORWARD_COMPAT, GLFW_TRUE);
    glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
    glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
    context = glfwCreateWindow(320, 240, "orbelune-test", nullptr, nullptr);
    if (!context)
        throw std::runtime_error("could not create a GL 3.3 core context");
    glfwMakeContextCurrent(context);
    glewExperimental = GL_TRUE;
    if (glewInit() != GLEW_OK)
        throw std::runtime_error("glewInit failed");
    glGetError(); // GLEW leaves a harmless GL_INVALID_ENUM behind on core contexts
}

std::string runDirectory() { return ORBELUNE_RUN_DIR; }
std::string orbeluneBinary() { return ORBELUNE_BINARY; }

TempDir::TempDir()
{
    char pattern[] = "/tmp/orbelune-test-XXXXXX";
    const char* made = mkdtemp(pattern);
    if (!made)
        throw std::runtime_error("mkdtemp failed");
    path_ = made;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

void TempDir::write(const std::string& name, const std::string& content) const
{
    fs::create_directories(fs::path(file(name)).parent_path());
    std::ofstream out(file(name), std::ios::binary);
    out << content;
}

void TempDir::populateRunData() const
{
    for (const char* folder : {"shaders", "assets"}) {
        fs::copy(fs::path(runDirectory()) / folder, fs::path(path_) / folder,
                 fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    }
    std::error_code ignored;
    fs::remove(fs::path(path_) / "assets" / "scores.txt", ignored);
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

std::string captureStdout(const std::function<void()>& action)
{
    std::cout.flush();
    std::fflush(stdout);
    char pattern[] = "/tmp/orbelune-stdout-XXXXXX";
    int capture = mkstemp(pattern);
    int saved = dup(STDOUT_FILENO);
    dup2(capture, STDOUT_FILENO);
    action();
    std::cout.flush();
    std::fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(saved);
    close(capture);
    std::string text = readFile(pattern);
    unlink(pattern);
    return text;
}

ProcessResult runProcess(const std::vector<std::string>& argv, const std::string& workingDirectory,
                         const std::string& input, double timeoutSeconds)
{
    int inPipe[2];
    int outPipe[2];
    if (pipe(inPipe) != 0 || pipe(outPipe) != 0)
        throw std::runtime_error("pipe failed");
    pid_t child = fork();
    if (child == 0) {
        dup2(inPipe[0], STDIN_FILENO);
        dup2(outPipe[1], STDOUT_FILENO);
        dup2(outPipe[1], STDERR_FILENO);
        close(inPipe[1]);
        close(outPipe[0]);
        if (chdir(workingDirectory.c_str()) != 0)
            _exit(126);
        std::vector<char*> args;
        for (const std::string& arg : argv)
            args.push_back(const_cast<char*>(arg.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    close(inPipe[0]);
    close(outPipe[1]);
    signal(SIGPIPE, SIG_IGN);
    if (!input.empty() && write(inPipe[1], input.data(), input.size()) < 0) {
        // the child may already have gone; its status tells the story
    }
    close(inPipe[1]);
    fcntl(outPipe[0], F_SETFL, O_NONBLOCK);

    ProcessResult result;
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::milliseconds(static_cast<long>(timeoutSeconds * 1000));
    int status = 0;
    char buffer[4096];
    for (;;) {
        ssize_t got;
        while ((got = read(outPipe[0], buffer, sizeof buffer)) > 0)
            result.output.append(buffer, static_cast<size_t>(got));
        if (waitpid(child, &status, WNOHANG) == child)
            break;
        if (std::chrono::steady_clock::now() > deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            result.timedOut = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ssize_t got;
    while ((got = read(outPipe[0], buffer, sizeof buffer)) > 0)
        result.output.append(buffer, static_cast<size_t>(got));
    close(outPipe[0]);
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

#include "TestSupport.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
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

std::chrono::steady_clock::time_point deadlineAfter(double seconds)
{
    return std::chrono::steady_clock::now() + std::chrono::milliseconds(static_cast<long>(seconds * 1000));
}

bool waitUntil(const std::function<bool()>& condition, double timeoutSeconds, double pollSeconds)
{
    const auto deadline = deadlineAfter(timeoutSeconds);
    while (std::chrono::steady_clock::now() < deadline) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(static_cast<long>(pollSeconds * 1000)));
    }
    return condition();
}

std::vector<std::string> folderListing(const std::string& path)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string runDirectory() { return ORBELUNE_RUN_DIR; }
std::string orbeluneBinary() { return ORBELUNE_BINARY; }

TempDir::TempDir(const std::string& parent)
{
    std::string pattern = parent + "/orbelune-test-XXXXXX";
    const char* made = mkdtemp(pattern.data());
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

RunDirectoryFile::RunDirectoryFile(std::string name, const std::string& content)
    : path_("./" + std::move(name))
{
    std::ofstream(path_, std::ios::binary) << content;
}

RunDirectoryFile::~RunDirectoryFile()
{
    std::remove(path_.c_str());
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

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::string& workingDirectory)
{
    int inPipe[2];
    int outPipe[2];
    if (pipe(inPipe) != 0 || pipe(outPipe) != 0)
        throw std::runtime_error("pipe failed");
    pid_ = fork();
    if (pid_ == 0) {
        dup2(inPipe[0], STDIN_FILENO);
        dup2(outPipe[1], STDOUT_FILENO);
        dup2(outPipe[1], STDERR_FILENO);
        close(inPipe[0]);
        close(inPipe[1]);
        close(outPipe[0]);
        close(outPipe[1]);
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
    input_ = inPipe[1];
    output_ = outPipe[0];
    fcntl(output_, F_SETFL, O_NONBLOCK);
    signal(SIGPIPE, SIG_IGN);
}

ChildProcess::~ChildProcess()
{
    if (running())
        kill();
    closeInput();
    if (output_ >= 0)
        close(output_);
}

void ChildProcess::drain()
{
    char buffer[4096];
    ssize_t got;
    while ((got = read(output_, buffer, sizeof buffer)) > 0)
        text_.append(buffer, static_cast<size_t>(got));
}

const std::string& ChildProcess::output()
{
    drain();
    return text_;
}

bool ChildProcess::waitForOutput(const std::string& text, double timeoutSeconds)
{
    // A child that ended is asked once more, for what it wrote last.
    return waitUntil([&] { return output().find(text) != std::string::npos || !running(); }, timeoutSeconds) &&
           output().find(text) != std::string::npos;
}

void ChildProcess::writeInput(const std::string& text)
{
    if (input_ >= 0 && write(input_, text.data(), text.size()) < 0) {
        // the child may have gone already; its status tells the story
    }
}

void ChildProcess::closeInput()
{
    if (input_ >= 0)
        close(input_);
    input_ = -1;
}

bool ChildProcess::running()
{
    if (exited_)
        return false;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
        exited_ = true;
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return false;
    }
    return true;
}

int ChildProcess::wait(double timeoutSeconds)
{
    const bool ended = waitUntil([this] {
        drain();
        return !running();
    }, timeoutSeconds);
    drain();
    return ended ? status_ : -1;
}

void ChildProcess::kill()
{
    if (!running())
        return;
    ::kill(pid_, SIGKILL);
    int status = 0;
    waitpid(pid_, &status, 0);
    exited_ = true;
    status_ = 128 + SIGKILL;
}

ProcessResult runProcess(const std::vector<std::string>& argv, const std::string& workingDirectory,
                         const std::string& input, double timeoutSeconds)
{
    ChildProcess child(argv, workingDirectory);
    child.writeInput(input);
    child.closeInput();
    ProcessResult result;
    result.exitStatus = child.wait(timeoutSeconds);
    if (result.exitStatus == -1) {
        result.timedOut = true;
        child.kill();
        result.exitStatus = 128 + SIGKILL;
    }
    result.output = child.output();
    return result;
}

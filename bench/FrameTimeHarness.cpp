// Frame times of the real renderer under Xvfb: the game frame (scene, 100 asteroids, a live
// particle burst, HDR and bloom), the empty frame (the same passes with nothing in them) and
// a yardstick (a plain empty-scene HDR pipeline built here with its own shaders).
// Run from the run directory (build/run): it reads ./shaders and ./assets like the game.
//
//   orbelune_frame_harness [--mode game|empty|yardstick|all] [--frames N] [--warmup N]
//                          [--round N] [--no-passes] [--size WxH]
#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "AppState.h"
#include "Camera.h"
#include "CommandLine.h"
#include "Exposure.h"
#include "FrameClock.h"
#include "FrameLoop.h"
#include "FrameRenderer.h"
#include "GameRules.h"
#include "Input.h"
#include "Object.h"
#include "PostProcessing.h"
#include "Scene.h"
#include "Settings.h"
#include "Startup.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr float fixedFrameTime = 1.0f / 60.0f; // seconds; fixed so every run sees the same world
constexpr std::size_t fullStream = 100; // the most asteroids the rules keep
constexpr int passCount = 5;
const char* const passNames[passCount] = {"objects", "particles", "blur", "composite+readback",
                                          "hud"};

struct Options {
    std::string mode = "all";
    int frames = 200;
    int warmup = 20;
    int round = 10; // frames of one mode before the next takes its turn
    bool passes = true;
    int width = 1280; // window size in pixels
    int height = 720;
};

// ---- statistics -------------------------------------------------------------------------

double percentile(std::vector<double> values, double fraction)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const std::size_t index =
        std::min(values.size() - 1, static_cast<std::size_t>(fraction * (values.size() - 1) + 0.5));
    return values[index];
}

// ---- per-pass timing through the renderer's observer ------------------------------------

// One timer query per pass and frame, plus the wall time spent between the pass boundaries
// (with a glFinish at each, so the CPU-side read-back lands in its own pass).
struct PassTimer {
    std::array<GLuint, passCount> queries{}; // made once in main; they live until exit
    std::array<bool, passCount> used{};
    std::array<Clock::time_point, passCount> started{};
    std::array<std::vector<double>, passCount> gpuMs;
    std::array<std::vector<double>, passCount> wallMs;
    std::array<double, passCount> wallThisFrame{};
    bool recording = false;
};
PassTimer passTimer;

void observePass(FramePass pass, bool begin)
{
    const int index = static_cast<int>(pass);
    glFinish();
    if (begin) {
        glBeginQuery(GL_TIME_ELAPSED, passTimer.queries[index]);
        passTimer.started[index] = Clock::now();
    } else {
        glEndQuery(GL_TIME_ELAPSED);
        passTimer.used[index] = true;
        passTimer.wallThisFrame[index] =
            std::chrono::duration<double, std::milli>(Clock::now() - passTimer.started[index]).count();
    }
}

void collectPassTimes()
{
    for (int i = 0; i < passCount; ++i) {
        if (!passTimer.used[i])
            continue;
        GLuint64 nanoseconds = 0;
        glGetQueryObjectui64v(passTimer.queries[i], GL_QUERY_RESULT, &nanoseconds);
        if (passTimer.recording) {
            passTimer.gpuMs[i].push_back(static_cast<double>(nanoseconds) * 1e-6);
            passTimer.wallMs[i].push_back(passTimer.wallThisFrame[i]);
        }
        passTimer.used[i] = false;
    }
}

void printPasses(const char* title)
{
    std::printf("  %s per pass (median ms; timer query / wall time with a glFinish at each boundary):\n",
                title);
    for (int i = 0; i < passCount; ++i) {
        if (passTimer.gpuMs[i].empty())
            continue;
        std::printf("    %-20s %7.2f / %7.2f\n", passNames[i], percentile(passTimer.gpuMs[i], 0.5),
                    percentile(passTimer.wallMs[i], 0.5));
        passTimer.gpuMs[i].clear();
        passTimer.wallMs[i].clear();
    }
}

// ---- the game's own start-up steps -------------------------------------------------------

void createGameWindow(const Options& options)
{
    if (!glfwInit()) {
        std::cerr << "glfwInit failed: run under Xvfb\n";
        std::exit(EXIT_FAILURE);
    }
    Settings wanted = settings;
    wanted.refreshRate = primaryMonitorRefreshRate();
    wanted.width = options.width;
    wanted.height = options.height;
    // The load messages would bury the report.
    std::ostringstream discarded;
    std::streambuf* console = std::cout.rdbuf(discarded.rdbuf());
    const StartupFailure failure = startGame(wanted);
    std::cout.rdbuf(console);
    if (failure != StartupFailure::none) {
        std::cerr << "no 3.3 core window with GL loaded\n";
        std::exit(EXIT_FAILURE);
    }
}

// ---- the yardstick: a plain empty-scene HDR pipeline with its own shaders ---------------

const char* const yardstickVertex = R"(#version 330 core
layout(location = 0) in vec3 aPosition;
layout(location = 1) in vec2 aTexCoord;
out vec2 texCoord;
void main() { texCoord = aTexCoord; gl_Position = vec4(aPosition, 1.0); }
)";

// Nine taps, nine fetches: the textbook separable Gaussian.
const char* const yardstickBlur = R"(#version 330 core
in vec2 texCoord;
layout(location = 0) out vec4 fragColor;
uniform sampler2D image;
uniform int horizontal;
const float weight[5] = float[](0.2270270270, 0.1945945946, 0.1216216216, 0.0540540541, 0.0162162162);
void main()
{
    vec2 texel = 1.0 / vec2(textureSize(image, 0));
    vec2 stepSize = horizontal == 1 ? vec2(texel.x, 0.0) : vec2(0.0, texel.y);
    vec3 result = texture(image, texCoord).rgb * weight[0];
    for (int i = 1; i < 5; ++i) {
        result += texture(image, texCoord + stepSize * float(i)).rgb * weight[i];
        result += texture(image, texCoord - stepSize * float(i)).rgb * weight[i];
    }
    fragColor = vec4(result, 1.0);
}
)";

const char* const yardstickComposite = R"(#version 330 core
in vec2 texCoord;
layout(location = 0) out vec4 fragColor;
uniform sampler2D scene;
uniform sampler2D bloomBlur;
uniform float exposure;
void main()
{
    vec3 hdr = texture(scene, texCoord).rgb + texture(bloomBlur, texCoord).rgb;
    vec3 mapped = vec3(1.0) - exp(-hdr * exposure);
    fragColor = vec4(pow(mapped, vec3(1.0 / 2.2)), 1.0);
}
)";

GLuint compileProgram(const char* fragmentSource)
{
    auto compile = [](GLenum stage, const char* source) {
        const GLuint shader = glCreateShader(stage);
        glShaderSource(shader, 1, &source, nullptr);
        glCompileShader(shader);
        GLint ok = 0;
        glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
        if (!ok) {
            char log[1024];
            glGetShaderInfoLog(shader, sizeof log, nullptr, log);
            std::cerr << "yardstick shader: " << log << '\n';
        }
        return shader;
    };
    // The program and its shaders live until exit: the yardstick builds each program once.
    const GLuint program = glCreateProgram();
    glAttachShader(program, compile(GL_VERTEX_SHADER, yardstickVertex));
    glAttachShader(program, compile(GL_FRAGMENT_SHADER, fragmentSource));
    glLinkProgram(program);
    return program;
}

// Built once and measured until the harness ends, so its names live until exit.
struct Yardstick {
    GLuint sceneFramebuffer = 0;
    GLuint sceneTextures[2] = {0, 0};
    GLuint depth = 0;
    GLuint blurFramebuffers[2] = {0, 0};
    GLuint blurTextures[2] = {0, 0};
    GLuint quadVao = 0;
    GLuint quadVbo = 0;
    GLuint blurProgram = 0;
    GLuint compositeProgram = 0;
    std::vector<float> readback;
    float exposure = 1.0f;
};

GLuint makeFloatTexture()
{
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB16F, settings.width, settings.height, 0, GL_RGB, GL_FLOAT,
                 nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    return texture;
}

void buildYardstick(Yardstick& y)
{
    glGenFramebuffers(1, &y.sceneFramebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, y.sceneFramebuffer);
    for (int i = 0; i < 2; ++i) {
        y.sceneTextures[i] = makeFloatTexture();
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0 + i, GL_TEXTURE_2D,
                               y.sceneTextures[i], 0);
    }
    glGenRenderbuffers(1, &y.depth);
    glBindRenderbuffer(GL_RENDERBUFFER, y.depth);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT, settings.width, settings.height);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, y.depth);
    const GLenum drawBuffers[2] = {GL_COLOR_ATTACHMENT0, GL_COLOR_ATTACHMENT1};
    glDrawBuffers(2, drawBuffers);
    glGenFramebuffers(2, y.blurFramebuffers);
    for (int i = 0; i < 2; ++i) {
        glBindFramebuffer(GL_FRAMEBUFFER, y.blurFramebuffers[i]);
        y.blurTextures[i] = makeFloatTexture();
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, y.blurTextures[i],
                               0);
    }
    glBindFramebuffer(GL_FRAMEBUFFER, 0);

    const float quad[] = {-1, 1, 0, 0, 1, -1, -1, 0, 0, 0, 1, 1, 0, 1, 1, 1, -1, 0, 1, 0};
    glGenVertexArrays(1, &y.quadVao);
    glGenBuffers(1, &y.quadVbo);
    glBindVertexArray(y.quadVao);
    glBindBuffer(GL_ARRAY_BUFFER, y.quadVbo);
    glBufferData(GL_ARRAY_BUFFER, sizeof quad, quad, GL_STATIC_DRAW);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 20, nullptr);
    glEnableVertexAttribArray(1);
    glVertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, 20, reinterpret_cast<void*>(12));
    glBindVertexArray(0);

    y.blurProgram = compileProgram(yardstickBlur);
    y.compositeProgram = compileProgram(yardstickComposite);
    glUseProgram(y.compositeProgram);
    glUniform1i(glGetUniformLocation(y.compositeProgram, "scene"), 0);
    glUniform1i(glGetUniformLocation(y.compositeProgram, "bloomBlur"), 1);
}

void drawYardstickQuad(const Yardstick& y)
{
    glBindVertexArray(y.quadVao);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
}

void renderYardstickFrame(Yardstick& y)
{
    // Empty scene: clear the two float images and the depth buffer.
    glBindFramebuffer(GL_FRAMEBUFFER, y.sceneFramebuffer);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDisable(GL_DEPTH_TEST);

    // Three full-size blur passes: horizontal, vertical, horizontal.
    glUseProgram(y.blurProgram);
    bool horizontal = true;
    for (int pass = 0; pass < 3; ++pass) {
        glBindFramebuffer(GL_FRAMEBUFFER, y.blurFramebuffers[horizontal]);
        glUniform1i(glGetUniformLocation(y.blurProgram, "horizontal"), horizontal ? 1 : 0);
        glActiveTexture(GL_TEXTURE0);
        glBindTexture(GL_TEXTURE_2D, pass == 0 ? y.sceneTextures[1] : y.blurTextures[!horizontal]);
        drawYardstickQuad(y);
        horizontal = !horizontal;
    }

    // Composite onto the window, then the whole scene image back for the exposure.
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glUseProgram(y.compositeProgram);
    glUniform1f(glGetUniformLocation(y.compositeProgram, "exposure"), y.exposure);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, y.sceneTextures[0]);
    glActiveTexture(GL_TEXTURE1);
    glBindTexture(GL_TEXTURE_2D, y.blurTextures[!horizontal]);
    drawYardstickQuad(y);
    const std::size_t pixels = static_cast<std::size_t>(settings.width) * settings.height;
    y.readback.resize(pixels * 3);
    glActiveTexture(GL_TEXTURE0);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_FLOAT, y.readback.data());
    y.exposure = exposureFromReadback(y.readback.data(), pixels);
}

// ---- the frame loops ----------------------------------------------------------------------

struct FrameStats {
    double medianMs = 0.0;
    double p95Ms = 0.0;
};

template <typename Frame>
void timeFrames(const Options& options, Frame&& frame, std::vector<double>& times)
{
    for (int i = 0; i < options.warmup; ++i) {
        frame();
        collectPassTimes();
    }
    passTimer.recording = true;
    for (int i = 0; i < options.frames; ++i) {
        const Clock::time_point start = Clock::now();
        frame();
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        collectPassTimes();
    }
    passTimer.recording = false;
}

void report(const char* name, const FrameStats& stats)
{
    std::printf("%-10s median %7.2f ms (%6.1f fps)   p95 %7.2f ms\n", name, stats.medianMs,
                1000.0 / stats.medianMs, stats.p95Ms);
    std::fflush(stdout);
}

// Keeps the burst alive and the ship flying whatever hits it: the frame, not the rules, is
// measured.
void keepTheGameGoing()
{
    if (!particleSystem.active)
        particleSystem.emit(glm::vec3(0.0f));
    lives = 9;
}

// The game's own frame pass (events, rules with the particles' copy-back, the real
// renderFrame, the swap) with the stream full and the burst alive, counting exactly the fixed
// frame time: each pass starts from a reset clock, as the first frame after start-up does.
void gameFrame()
{
    keepTheGameGoing();
    resetFrameClock();
    runFramePass(fixedFrameTime);
}

// The rules' own spawning brings the stream to its full 100 asteroids, spread along their
// paths as in play; nothing is drawn, so this costs a few seconds. From a fresh process,
// at a fixed frame time, every run reaches the same world at the same frame.
int fillTheStream()
{
    int steps = 0;
    while (asteroids.size() < fullStream && steps < 100000) {
        keepTheGameGoing();
        deltaTime = fixedFrameTime;
        updateGame();
        ++steps;
    }
    return steps;
}

// The same passes with nothing in them, presented as the game presents its frames.
void emptyFrame()
{
    deltaTime = fixedFrameTime;
    renderFrame();
    glfwSwapBuffers(window);
    glfwPollEvents();
}

void runMode(const std::string& mode, const Options& options, bool withPasses, Yardstick* yardstick,
             std::vector<double>& times)
{
    framePassObserver = withPasses ? observePass : nullptr;
    if (mode == "game")
        timeFrames(options, gameFrame, times);
    else if (mode == "empty")
        timeFrames(options, emptyFrame, times);
    else
        timeFrames(options,
                   [yardstick] {
                       renderYardstickFrame(*yardstick);
                       glfwSwapBuffers(window);
                       glfwPollEvents();
                   },
                   times);
    framePassObserver = nullptr;
}

Options parseOptions(int argc, char** argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--mode" && i + 1 < argc)
            options.mode = argv[++i];
        else if (arg == "--frames" && i + 1 < argc)
            options.frames = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--warmup" && i + 1 < argc)
            options.warmup = std::max(0, std::atoi(argv[++i]));
        else if (arg == "--round" && i + 1 < argc)
            options.round = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--no-passes")
            options.passes = false;
        else if (arg == "--size" && i + 1 < argc &&
                 std::sscanf(argv[++i], "%dx%d", &options.width, &options.height) == 2)
            continue;
        else {
            std::cerr << "usage: orbelune_frame_harness [--mode game|empty|yardstick|all] "
                         "[--frames N] [--warmup N] [--round N] [--no-passes] [--size WxH]\n";
            std::exit(EXIT_FAILURE);
        }
    }
    return options;
}


// The game's lists and burst set aside for the empty frame, and put back.
struct SetAside {
    std::vector<Object*> objects;
    std::vector<Object*> rocks;
    bool burst = false;
};

void setSceneAside(SetAside& aside)
{
    aside.objects.swap(sceneObjects);
    aside.rocks.swap(asteroids);
    aside.burst = particleSystem.active;
    particleSystem.active = false;
}

void restoreScene(SetAside& aside)
{
    aside.objects.swap(sceneObjects);
    aside.rocks.swap(asteroids);
    particleSystem.active = aside.burst;
}

long residentKilobytes(const char* field)
{
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (!status)
        return -1;
    char line[256];
    long kilobytes = -1;
    const std::size_t length = std::strlen(field);
    while (std::fgets(line, sizeof line, status)) {
        if (std::strncmp(line, field, length) == 0)
            kilobytes = std::atol(line + length);
    }
    std::fclose(status);
    return kilobytes;
}

} // namespace

int main(int argc, char** argv)
{
    Options options = parseOptions(argc, argv);
    createGameWindow(options);
    glGenQueries(passCount, passTimer.queries.data());
    Yardstick yardstick;
    buildYardstick(yardstick);
    const bool withGame = options.mode == "all" || options.mode == "game";
    const int fillSteps = withGame ? fillTheStream() : 0;
    std::printf("%s, %dx%d, %d frames per mode after %d warm-up frames, in rounds of %d\n",
                reinterpret_cast<const char*>(glGetString(GL_RENDERER)), settings.width,
                settings.height, options.frames, options.warmup, options.round);
    if (withGame)
        std::printf("stream full (%zu asteroids) after %d updates of %.4f s\n", asteroids.size(),
                    fillSteps, static_cast<double>(fixedFrameTime));

    // The machine is shared: the modes take turns in short rounds, so a burst of load from
    // elsewhere hits all of them alike.
    const bool all = options.mode == "all";
    const std::vector<std::string> modes =
        all ? std::vector<std::string>{"yardstick", "empty", "game"} : std::vector<std::string>{options.mode};
    std::vector<std::vector<double>> times(modes.size());
    SetAside aside;
    const int rounds = (options.frames + options.round - 1) / options.round;
    // Ratios taken within each round see the same load in numerator and denominator.
    std::vector<double> gameToEmpty;
    std::vector<double> gameToYardstick;
    for (int round = 0; round < rounds; ++round) {
        std::vector<double> roundMedian(modes.size());
        for (std::size_t m = 0; m < modes.size(); ++m) {
            if (modes[m] == "empty")
                setSceneAside(aside);
            Options slice = options;
            slice.frames = options.round;
            slice.warmup = round == 0 ? options.warmup : 2;
            std::vector<double> roundTimes;
            runMode(modes[m], slice, false, &yardstick, roundTimes);
            roundMedian[m] = percentile(roundTimes, 0.5);
            times[m].insert(times[m].end(), roundTimes.begin(), roundTimes.end());
            if (modes[m] == "empty")
                restoreScene(aside);
        }
        if (all) {
            gameToEmpty.push_back(roundMedian[2] / roundMedian[1]);
            gameToYardstick.push_back(roundMedian[2] / roundMedian[0]);
        }
    }
    std::vector<FrameStats> stats;
    for (std::size_t m = 0; m < modes.size(); ++m) {
        stats.push_back({percentile(times[m], 0.5), percentile(times[m], 0.95)});
        report(modes[m].c_str(), stats.back());
    }
    if (all) {
        std::printf("game / empty     %.2f (median of the %d per-round ratios %.2f, target <= 1.25)\n",
                    stats[2].medianMs / stats[1].medianMs, rounds, percentile(gameToEmpty, 0.5));
        std::printf("game / yardstick %.2f (median of the %d per-round ratios %.2f, target <= 1.00)\n",
                    stats[2].medianMs / stats[0].medianMs, rounds, percentile(gameToYardstick, 0.5));
    }

    if (options.passes) {
        std::vector<double> unused;
        Options slice = options;
        slice.warmup = 2;
        for (const std::string& mode : modes) {
            if (mode == "yardstick")
                continue;
            if (mode == "empty")
                setSceneAside(aside);
            runMode(mode, slice, true, &yardstick, unused);
            printPasses(mode.c_str());
            if (mode == "empty")
                restoreScene(aside);
        }
    }
    std::printf("game: %zu asteroids, %u particles in the burst at the end\n", asteroids.size(),
                particleSystem.activeCount());
    std::printf("resident memory: %ld kB now, %ld kB peak\n", residentKilobytes("VmRSS:"),
                residentKilobytes("VmHWM:"));
    framePassObserver = nullptr;
    deleteAllObjects();
    return 0;
}

// The browser's side of Host.h: the page's console panel, its name field, its touch controls,
// and the browser's animation frames driving the loop. The page is src/platform/web/.
#include "platform/Host.h"

#include <GLFW/glfw3.h>
#include <emscripten.h>
#include <emscripten/html5.h>

#include <iostream>
#include <sstream>
#include <streambuf>
#include <string>
#include <utility>

#include "AppState.h"
#include "Controls.h"
#include "Settings.h"

namespace {

// The page's console panel; the plain browser console when the page has none.
EM_JS(void, showOnPage, (const char* text, int length), {
    const line = UTF8ToString(text, length);
    if (Module.orbeluneShow)
        Module.orbeluneShow(line);
    else
        out(line);
});

EM_JS(void, tellPageTheLoopEnded, (), {
    if (Module.orbeluneEnded)
        Module.orbeluneEnded();
});

// Whether the sound is on lets the page promise it for the first key only when it will come;
// a picture whose buffers could not all be made at its size cannot be played.
EM_JS(void, tellPageThePlayStarted, (int soundOn, int picturesComplete), {
    if (Module.orbeluneStarted)
        Module.orbeluneStarted(soundOn != 0, picturesComplete != 0);
});

// The game waits for the winner's name, still drawing, until the page hands one over.
EM_JS(void, askPageForTheName, (), {
    if (Module.orbeluneAskName)
        Module.orbeluneAskName();
});

// "flying", "paused" or "over" (the end screen), each time the play turns to another.
EM_JS(void, tellPageThePlayIs, (const char* phase), {
    if (Module.orbelunePlay)
        Module.orbelunePlay(UTF8ToString(phase));
});

// `why` is "windowSize" (a size no window is asked for, up to `largest` a side), "window"
// (a usable size the browser's WebGL did not give) or "other", with the check or message.
EM_JS(void, tellPageTheStartFailed, (const char* why, const char* what, int width, int height, int largest), {
    if (Module.orbeluneStartFailed)
        Module.orbeluneStartFailed(UTF8ToString(why), UTF8ToString(what), width, height, largest);
});

// Hands what the game prints to the page: each line as it ends, and a partial one (the name
// prompt) as soon as the game flushes it, which the standard output of Emscripten would not.
class PageConsoleBuffer : public std::streambuf {
protected:
    int_type overflow(int_type c) override
    {
        if (traits_type::eq_int_type(c, traits_type::eof()))
            return traits_type::not_eof(c);
        pending_ += traits_type::to_char_type(c);
        if (c == '\n')
            deliver();
        return c;
    }

    int sync() override
    {
        deliver();
        return 0;
    }

private:
    void deliver()
    {
        if (pending_.empty())
            return;
        showOnPage(pending_.data(), static_cast<int>(pending_.size()));
        pending_.clear();
    }

    std::string pending_;
};

std::istringstream typedName;
bool nameTyped = false;

std::function<bool()> loopPass;
std::function<void()> loopEnd;
std::function<void(bool)> pageHidden;
enum class Play { flying, paused, over };
Play playTold = Play::flying; // what the page last heard

// The key callback the game gave its window: the page's buttons press keys through it, as
// the keyboard does. Null until the loop starts.
GLFWwindow* gameWindow = nullptr;
GLFWkeyfun gameKeys = nullptr;

// Keys a finger holds on the touch controls, kept apart from the keyboard's: a key typed and
// let go while a finger holds the same one must not end the finger's hold.
bool touchHeld[GLFW_KEY_LAST + 1] = {};

bool isKey(int key)
{
    return key >= 0 && key <= GLFW_KEY_LAST;
}

void keyToGame(int key, int action)
{
    if (gameKeys)
        gameKeys(gameWindow, key, 0, action, 0);
}

// Stands between the keyboard and the game's key callback.
void keyFromKeyboard(GLFWwindow* target, int key, int scancode, int action, int mods)
{
    if (action == GLFW_RELEASE && isKey(key) && touchHeld[key])
        return;
    if (gameKeys)
        gameKeys(target, key, scancode, action, mods);
}

void runOnePass()
{
    if (loopPass()) {
        // Read after the pass, which is where a new flight starts and an end or a pause
        // begins, whichever key or button asked for it.
        const Play play = renderFrozen ? Play::over : paused ? Play::paused : Play::flying;
        if (play != playTold) {
            playTold = play;
            tellPageThePlayIs(play == Play::over ? "over" : play == Play::paused ? "paused" : "flying");
        }
        return;
    }
    emscripten_cancel_main_loop();
    loopEnd();
    tellPageTheLoopEnded();
}

EM_BOOL onVisibilityChange(int, const EmscriptenVisibilityChangeEvent* event, void*)
{
    if (pageHidden)
        pageHidden(event->hidden != 0);
    return EM_FALSE;
}

} // namespace

// The page's name field calls this with the word the player typed.
extern "C" EMSCRIPTEN_KEEPALIVE void orbeluneTypeName(const char* word)
{
    typedName.clear();
    typedName.str(std::string(word) + "\n");
    nameTyped = true;
}

// The page's touch controls hold and release the game's own keys (GLFW key codes), as the
// keyboard does: the game never knows which one it was.
extern "C" EMSCRIPTEN_KEEPALIVE void orbeluneHoldKey(int key, int held)
{
    if (!isKey(key) || touchHeld[key] == (held != 0))
        return;
    touchHeld[key] = held != 0;
    keyToGame(key, held ? GLFW_PRESS : GLFW_RELEASE);
}

// The page's buttons that act once, Pause and a tap on the picture that flies again, each
// meaning what its key means at that moment.
extern "C" EMSCRIPTEN_KEEPALIVE void orbelunePressKey(int key)
{
    if (!isKey(key))
        return;
    keyToGame(key, GLFW_PRESS);
    keyToGame(key, GLFW_RELEASE);
}

namespace platform {

void openConsole()
{
    // NOTE: never deleted: std::cout still flushes into it while the program ends.
    std::cout.rdbuf(new PageConsoleBuffer);
}

std::istream& nameInput()
{
    return typedName;
}

// Each name typed is read once: a later win in the same page asks for a new one.
bool nameReady()
{
    if (!nameTyped) {
        askPageForTheName();
        return false;
    }
    nameTyped = false;
    return true;
}

void runFrameLoop(std::function<bool()> pass, std::function<void()> atEnd, std::function<void(bool)> hidden)
{
    // Kept beyond this call: the browser calls back long after main has given up its stack.
    loopPass = std::move(pass);
    loopEnd = std::move(atEnd);
    pageHidden = std::move(hidden);
    gameWindow = glfwGetCurrentContext();
    gameKeys = glfwSetKeyCallback(gameWindow, keyFromKeyboard);
    // A finger already down as the game starts flies as soon as it can.
    for (int key = 0; key <= GLFW_KEY_LAST; ++key) {
        if (touchHeld[key])
            keyToGame(key, GLFW_PRESS);
    }
    emscripten_set_visibilitychange_callback(nullptr, false, onVisibilityChange);
    emscripten_set_main_loop(runOnePass, 0, 1);
}

void announcePlay(bool soundOn, bool picturesComplete)
{
    tellPageThePlayStarted(soundOn ? 1 : 0, picturesComplete ? 1 : 0);
}

void reportFailedStart(FailedStart why, const char* what)
{
    const char* code = why == FailedStart::windowSize ? "windowSize" : why == FailedStart::window ? "window" : "other";
    tellPageTheStartFailed(code, what, settings.width, settings.height, largestWindowSide);
}

} // namespace platform

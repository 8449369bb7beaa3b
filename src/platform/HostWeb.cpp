// The browser's side of Host.h: the page's console panel, its name field, its touch controls,
// and the browser's animation frames driving the loop. The page is src/platform/web/.
#include "platform/Host.h"

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

// Whether the sound is on lets the page promise it for the first key only when it will come.
EM_JS(void, tellPageThePlayStarted, (int soundOn), {
    if (Module.orbeluneStarted)
        Module.orbeluneStarted(soundOn != 0);
});

// "flying", "paused" or "over" (the end screen), each time the play turns to another.
EM_JS(void, tellPageThePlayIs, (const char* phase), {
    if (Module.orbelunePlay)
        Module.orbelunePlay(UTF8ToString(phase));
});

// The size asked for lets the page tell a size the game refuses from a WebGL that failed.
EM_JS(void, tellPageTheStartFailed, (const char* what, int width, int height), {
    if (Module.orbeluneStartFailed)
        Module.orbeluneStartFailed(UTF8ToString(what), width, height);
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
std::function<void(int)> keyPress;
enum class Play { flying, paused, over };
Play playTold = Play::flying; // what the page last heard

// Keys a finger holds on the touch controls, kept apart from the keyboard's: a key typed and
// let go while a finger holds the same one must not end the finger's hold.
bool touchHeld[keyCount] = {};

void runOnePass()
{
    for (int key = 0; key < keyCount; ++key) {
        if (touchHeld[key])
            keys[key] = true;
    }
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

// NOTE: a hidden tab gets no animation frames, so the first frame after it is shown would
// count the hidden time (up to the frame clock's longest frame) as one step of play. Moving
// the previous frame's time on by the time spent hidden leaves only the time the page was seen.
double hiddenSince = -1.0; // emscripten_get_now() milliseconds; negative while shown

EM_BOOL onVisibilityChange(int, const EmscriptenVisibilityChangeEvent* event, void*)
{
    const double now = emscripten_get_now();
    if (pageHidden)
        pageHidden(event->hidden != 0);
    if (event->hidden) {
        if (hiddenSince < 0.0)
            hiddenSince = now;
    } else if (hiddenSince >= 0.0) {
        lastFrameTime += static_cast<float>((now - hiddenSince) / 1000.0);
        hiddenSince = -1.0;
    }
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
// keyboard does: the rules read `keys` and never know which one it was.
extern "C" EMSCRIPTEN_KEEPALIVE void orbeluneHoldKey(int key, int held)
{
    if (key < 0 || key >= keyCount)
        return;
    touchHeld[key] = held != 0;
    keys[key] = held != 0;
}

// The page's buttons that act once: Pause, and a tap on the picture that flies again.
extern "C" EMSCRIPTEN_KEEPALIVE void orbelunePressKey(int key)
{
    if (key >= 0 && key < keyCount && keyPress)
        keyPress(key);
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

bool nameReady()
{
    return nameTyped;
}

void runFrameLoop(std::function<bool()> pass, std::function<void()> atEnd, std::function<void(bool)> hidden,
                  std::function<void(int)> press)
{
    // Kept beyond this call: the browser calls back long after main has given up its stack.
    loopPass = std::move(pass);
    loopEnd = std::move(atEnd);
    pageHidden = std::move(hidden);
    keyPress = std::move(press);
    emscripten_set_visibilitychange_callback(nullptr, false, onVisibilityChange);
    tellPageThePlayStarted(soundEnabled ? 1 : 0);
    emscripten_set_main_loop(runOnePass, 0, 1);
}

void reportFailedStart(const char* what)
{
    tellPageTheStartFailed(what, settings.width, settings.height);
}

} // namespace platform

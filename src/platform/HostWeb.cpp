// The browser's side of Host.h: the page's console panel, its name field, and the
// browser's animation frames driving the loop. The page is src/platform/web/.
#include "platform/Host.h"

#include <emscripten.h>

#include <iostream>
#include <sstream>
#include <streambuf>
#include <string>
#include <utility>

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

void runOnePass()
{
    if (loopPass())
        return;
    emscripten_cancel_main_loop();
    loopEnd();
    tellPageTheLoopEnded();
}

} // namespace

// The page's name field calls this with the word the player typed.
extern "C" EMSCRIPTEN_KEEPALIVE void orbeluneTypeName(const char* word)
{
    typedName.clear();
    typedName.str(std::string(word) + "\n");
    nameTyped = true;
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

void runFrameLoop(std::function<bool()> pass, std::function<void()> atEnd)
{
    // Kept beyond this call: the browser calls back long after main has given up its stack.
    loopPass = std::move(pass);
    loopEnd = std::move(atEnd);
    emscripten_set_main_loop(runOnePass, 0, 1);
}

} // namespace platform

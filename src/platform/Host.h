// How the game meets whatever runs it: the console its lines go to, where the winner's name
// is typed, and who drives the frame loop. A desktop console blocks and loops on its own; a
// browser page must get control back after every frame, so it is asked, never waited on.
#pragma once

#include <functional>
#include <istream>

namespace platform {

// Makes every line the game prints reach the player as soon as it is written.
void openConsole();

// The stream the winner's name is read from.
std::istream& nameInput();

// False while reading a word from nameInput() would have to wait for the player. A console's
// read waits by itself, so there it is always true.
bool nameReady();

// Calls `pass` until it returns false, then `atEnd` once. On the desktop this returns after
// `atEnd`; in a browser it returns never, and the page drives `pass` once per frame.
// `hidden` hears when the page is hidden (true) and shown again (false): a hidden page gets
// no frames, so whatever runs on without them (sound) must be held by it. `press` presses and
// lets go of a key (a GLFW key code) as the keyboard would, for a page's buttons that act once.
void runFrameLoop(std::function<bool()> pass, std::function<void()> atEnd, std::function<void(bool)> hidden,
                  std::function<void(int)> press);

// Called just before the program ends because it could not start: `what` is the failed
// check or the message the console has just shown. A browser page, which keeps showing
// itself after the program ends, is told so that it can say why; a console needs no more.
void reportFailedStart(const char* what);

} // namespace platform

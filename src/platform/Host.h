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
// no frames, so whatever runs on without them (sound, the clock) must be held by it. A page's
// buttons press the game's keys through the key callback its window already has.
void runFrameLoop(std::function<bool()> pass, std::function<void()> atEnd, std::function<void(bool)> hidden);

// Called as the play begins: whether the sound is on, and whether the picture's buffers could
// all be made at the size asked for. A page says how to play, or why it cannot.
void announcePlay(bool soundOn, bool picturesComplete);

// Why the game could not start, for a page to say in words of its own: a size no window is
// asked for, a window of a usable size the system did not give, or anything else.
enum class FailedStart { windowSize, window, other };

// Called just before the program ends because it could not start: `what` is the failed
// check or the message the console has just shown. A browser page, which keeps showing
// itself after the program ends, is told so that it can say why; a console needs no more.
void reportFailedStart(FailedStart why, const char* what);

} // namespace platform

// The game's sound through OpenAL: the listener rides with the camera, sources sit at the
// objects. The rules only name cues (GameHooks); everything heard is decided here.
#pragma once

struct GameHooks;

// Wires the rules' sound hooks to OpenAL. Opens the device now when sound is on, or the first
// time M switches it on; with no device the game plays silently after one line on stderr.
// Prints nothing on standard output.
void connectSound(GameHooks& hooks);
// Sound as at start-up for a new flight: nothing sounds until the world cues it, and the
// device stopped on the end screen plays again. M keeps what the player set.
void restartSound();
// Holds the device still (true) or lets it go on (false): for a page that is hidden and gets
// no frames, while its audio would otherwise loop on alone. The end screen's pause stays.
void suspendSound(bool suspended);
// Stops every source and closes the device, so a recording back end finishes its file.
// Sound is off afterwards until M opens the device again. Also run at exit.
void closeSound();

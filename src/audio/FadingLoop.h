// A looping OpenAL source that never starts or stops at full level: alSourcePlay and
// alSourceStop cut a sounding wave in one sample, and the player hears the cut as a tick.
#pragma once

#include <AL/al.h>

#include <chrono>

// True while `source` plays (paused or stopped is not playing).
bool isPlaying(ALuint source);

// Sets the gain of a source, or of the listener for source 0, ramped over about 20 ms
// rather than stepped: a step in the middle of a wave clicks as a cut does.
void setGainSmoothly(ALuint source, float gain);

class FadingLoop {
public:
    // Makes the source; closing the device frees it with every other.
    void create(ALuint buffer, bool atListener);
    ALuint id() const { return source; }
    // Takes over a source that is playing now, to fade it like a loop of its own.
    void adopt(ALuint playingSource);

    // Plays at `gain`. A silent loop starts at gain 0 and reaches `gain` from the next call on,
    // so the mixer ramps it in instead of starting it at full level.
    void sound(float gain);
    // Takes the gain to 0 now; the source stops in a later `finishFade`, once the mixer has
    // played the ramp down. Also right before a blocking wait: the mixer fades on its own.
    void fadeOut();
    // Once per pass: stops a faded loop after two mixer updates have passed since its gain
    // went to 0 (the first may have begun before it), or after half a second in any case.
    void finishFade();
    // Stops at once, for the end of all sound.
    void stopNow();

    // Sounding or still fading out: the device must not be paused yet.
    bool busy() const { return state != State::silent; }

private:
    enum class State { silent, sounding, fading };
    ALuint source = 0;
    State state = State::silent;
    ALint lastOffset = -1;     // sample offset last seen while fading
    int offsetChanges = 0;     // mixer updates seen since the fade began
    std::chrono::steady_clock::time_point fadeStarted;
};

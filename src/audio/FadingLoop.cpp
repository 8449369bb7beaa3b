#include "FadingLoop.h"

#ifdef __EMSCRIPTEN__
#include <emscripten.h>

// NOTE: Emscripten's OpenAL sets a Web Audio gain at once; this ramps it instead, reaching
// into the library's own table of sources, as its API offers no ramp.
EM_JS(void, rampWebAudioGain, (int source, float gain, float seconds), {
    var context = AL.currentCtx;
    var node = !context ? null : source ? (context.sources[source] || {}).gain : context.gain;
    if (!node)
        return;
    var now = context.audioCtx.currentTime;
    node.gain.cancelScheduledValues(now);
    node.gain.setValueAtTime(node.gain.value, now);
    node.gain.linearRampToValueAtTime(gain, now + seconds);
});
#endif

namespace {

constexpr std::chrono::milliseconds longestFade{500}; // a mixer that never moves on
// How long a gain change takes to be heard in full: OpenAL Soft ramps every change over one
// mixer update, about 20 ms; the browser's ramp is set to the same.
constexpr std::chrono::milliseconds rampTime{20};

ALint sampleOffset(ALuint source)
{
    ALint offset = 0;
    alGetSourcei(source, AL_SAMPLE_OFFSET, &offset);
    return offset;
}

} // namespace

bool isPlaying(ALuint source)
{
    ALint state = AL_STOPPED;
    alGetSourcei(source, AL_SOURCE_STATE, &state);
    return state == AL_PLAYING;
}

void setGainSmoothly(ALuint source, float gain)
{
#ifdef __EMSCRIPTEN__
    rampWebAudioGain(static_cast<int>(source), gain, std::chrono::duration<float>(rampTime).count());
#else
    if (source)
        alSourcef(source, AL_GAIN, gain);
    else
        alListenerf(AL_GAIN, gain);
#endif
}

void FadingLoop::create(ALuint buffer, bool atListener)
{
    alGenSources(1, &source);
    alSourcei(source, AL_BUFFER, static_cast<ALint>(buffer));
    alSourcei(source, AL_LOOPING, AL_TRUE);
    alSourcei(source, AL_SOURCE_RELATIVE, atListener ? AL_TRUE : AL_FALSE);
}

void FadingLoop::adopt(ALuint playingSource)
{
    source = playingSource;
    state = State::sounding;
}

void FadingLoop::sound(float gain)
{
    if (state == State::silent || !isPlaying(source)) {
        // NOTE: the mixer ramps gain changes but plays a new voice at its gain at once, so
        // the voice begins silent and is raised by the next call.
        alSourcef(source, AL_GAIN, 0.0f);
        alSourcePlay(source);
        state = State::sounding;
        return;
    }
    state = State::sounding;
    setGainSmoothly(source, gain);
}

void FadingLoop::fadeOut()
{
    if (state != State::sounding)
        return;
    setGainSmoothly(source, 0.0f);
    state = State::fading;
    lastOffset = sampleOffset(source);
    offsetChanges = 0;
    fadeStarted = std::chrono::steady_clock::now();
}

void FadingLoop::finishFade()
{
    if (state != State::fading)
        return;
    const ALint offset = sampleOffset(source);
    if (offset != lastOffset) {
        lastOffset = offset;
        ++offsetChanges;
    }
    const auto fading = std::chrono::steady_clock::now() - fadeStarted;
    if ((offsetChanges >= 2 && fading >= rampTime) || fading > longestFade || !isPlaying(source))
        stopNow();
}

void FadingLoop::stopNow()
{
    alSourceStop(source);
    state = State::silent;
}

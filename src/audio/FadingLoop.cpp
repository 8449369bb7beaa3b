#include "FadingLoop.h"

namespace {

constexpr std::chrono::milliseconds longestFade{500}; // a mixer that never moves on

ALint sampleOffset(ALuint source)
{
    ALint offset = 0;
    alGetSourcei(source, AL_SAMPLE_OFFSET, &offset);
    return offset;
}

bool playing(ALuint source)
{
    ALint state = AL_STOPPED;
    alGetSourcei(source, AL_SOURCE_STATE, &state);
    return state == AL_PLAYING;
}

} // namespace

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
    if (state == State::silent || !playing(source)) {
        // NOTE: the mixer ramps gain changes but plays a new voice at its gain at once, so
        // the voice begins silent and is raised by the next call.
        alSourcef(source, AL_GAIN, 0.0f);
        alSourcePlay(source);
        state = State::sounding;
        return;
    }
    state = State::sounding;
    alSourcef(source, AL_GAIN, gain);
}

void FadingLoop::fadeOut()
{
    if (state != State::sounding)
        return;
    alSourcef(source, AL_GAIN, 0.0f);
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
    if (offsetChanges >= 2 || std::chrono::steady_clock::now() - fadeStarted > longestFade || !playing(source))
        stopNow();
}

void FadingLoop::stopNow()
{
    alSourceStop(source);
    state = State::silent;
}

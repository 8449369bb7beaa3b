#include "SoundPlayer.h"

#include <AL/al.h>
#include <AL/alc.h>
#ifndef ALC_APIENTRY
#define ALC_APIENTRY // Emscripten's headers leave the calling convention out
#endif

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <vector>

#include "AppState.h"
#include "Camera.h"
#include "Controls.h"
#include "GameRules.h"
#include "Object.h"
#include "Settings.h"
#include "SoundSynth.h"

#include <fcntl.h>
#ifdef _WIN32
#include <io.h>
#define dup _dup
#define dup2 _dup2
#define close _close
#define open _open
#define nullDevice "NUL"
#else
#include <unistd.h>
#define nullDevice "/dev/null"
#endif

namespace {

constexpr int passSourceCount = 4;     // asteroids heard at once
constexpr int oneShotSourceCount = 8;  // pickups, hits and jingles that may overlap
constexpr float passDistance = 25.0f;  // world units: farther asteroids are not heard
// Units per second. The world is small and slow; at the speed of sound in air an asteroid's
// 10-20 units per second would bend the pitch by a few percent, too little to hear it pass.
constexpr float speedOfSound = 80.0f;

using PauseDevice = void(ALC_APIENTRY*)(ALCdevice*);

struct Audio {
    ALCdevice* device = nullptr;
    ALCcontext* context = nullptr;
    PauseDevice pauseDevice = nullptr; // ALC_SOFT_pause_device where the library has it
    ALuint buffers[soundCueCount] = {};
    ALuint engine = 0;
    ALuint warning = 0;
    ALuint passes[passSourceCount] = {};
    ALuint oneShots[oneShotSourceCount] = {};
    bool failed = false;       // no device: stay silent, and say so only once
    bool warningCued = false;  // the warning was shown since the last pass
    bool paused = false;       // the end has been reached and the device stopped
    glm::vec3 lastListener{0.0f};
};
Audio audio;

bool isOpen()
{
    return audio.context != nullptr;
}

ALuint bufferFor(SoundCue cue)
{
    return audio.buffers[static_cast<int>(cue)];
}

bool playing(ALuint source)
{
    ALint state = AL_STOPPED;
    alGetSourcei(source, AL_SOURCE_STATE, &state);
    return state == AL_PLAYING;
}

ALuint loopingSource(SoundCue cue, bool atListener)
{
    ALuint source = 0;
    alGenSources(1, &source);
    alSourcei(source, AL_BUFFER, static_cast<ALint>(bufferFor(cue)));
    alSourcei(source, AL_LOOPING, AL_TRUE);
    alSourcei(source, AL_SOURCE_RELATIVE, atListener ? AL_TRUE : AL_FALSE);
    return source;
}

void makeSounds()
{
    alGenBuffers(soundCueCount, audio.buffers);
    for (int cue = 0; cue < soundCueCount; ++cue) {
        const std::vector<std::int16_t> samples = synthesize(recipeFor(static_cast<SoundCue>(cue)));
        alBufferData(audio.buffers[cue], AL_FORMAT_MONO16, samples.data(),
                     static_cast<ALsizei>(samples.size() * sizeof(std::int16_t)), soundSampleRate);
    }
    audio.engine = loopingSource(SoundCue::engine, true);
    audio.warning = loopingSource(SoundCue::lowFuel, true);
    for (ALuint& pass : audio.passes) {
        pass = loopingSource(SoundCue::asteroidPass, false);
        alSourcef(pass, AL_REFERENCE_DISTANCE, 3.0f);
        alSourcef(pass, AL_MAX_DISTANCE, passDistance);
    }
    alGenSources(oneShotSourceCount, audio.oneShots);
    for (ALuint source : audio.oneShots)
        alSourcef(source, AL_REFERENCE_DISTANCE, 10.0f); // the ship sits ~8 units ahead of the camera
}

// Runs `action` with standard error pointed at nothing. Without a sound card, ALSA and OpenAL
// each write several lines of their own there; the player gets our one line instead.
template <typename Action>
auto withQuietStandardError(Action action)
{
#ifdef __EMSCRIPTEN__
    return action(); // the browser's audio says nothing there, and its standard error is the page
#else
    std::fflush(stderr);
    const int saved = dup(2);
    const int quiet = ::open(nullDevice, O_WRONLY);
    if (saved >= 0 && quiet >= 0)
        dup2(quiet, 2);
    auto result = action();
    std::fflush(stderr);
    if (saved >= 0 && quiet >= 0)
        dup2(saved, 2);
    if (quiet >= 0)
        close(quiet);
    if (saved >= 0)
        close(saved);
    return result;
#endif
}

// Opens the default device once; false where there is none (then never tried again).
bool openSound()
{
    if (isOpen())
        return true;
    if (audio.failed)
        return false;
    audio.device = withQuietStandardError([] { return alcOpenDevice(nullptr); });
    audio.context = audio.device ? alcCreateContext(audio.device, nullptr) : nullptr;
    if (!audio.context || !alcMakeContextCurrent(audio.context)) {
        std::cerr << "No sound device; playing without sound" << std::endl;
        if (audio.context)
            alcDestroyContext(audio.context);
        if (audio.device)
            alcCloseDevice(audio.device);
        audio = Audio{};
        audio.failed = true;
        return false;
    }
    if (alcIsExtensionPresent(audio.device, "ALC_SOFT_pause_device"))
        audio.pauseDevice = reinterpret_cast<PauseDevice>(alcGetProcAddress(audio.device, "alcDevicePauseSOFT"));
    alDistanceModel(AL_INVERSE_DISTANCE_CLAMPED);
    alSpeedOfSound(speedOfSound);
    makeSounds();
    static const bool closedAtExit = std::atexit(closeSound) == 0;
    (void)closedAtExit;
    return true;
}

// NOTE: one source at a time: Emscripten's alSourceStopv reads its list wrongly and throws.
void stopAll(const ALuint* sources, int count)
{
    for (int i = 0; i < count; ++i)
        alSourceStop(sources[i]);
}

void stopLoops()
{
    alSourceStop(audio.engine);
    alSourceStop(audio.warning);
    stopAll(audio.passes, passSourceCount);
}

void playCue(SoundCue cue, const glm::vec3& where)
{
    // Nothing after the end but the closing jingle itself: the rules keep running on the
    // frozen screen, and a star taken there must not be heard.
    if (renderFrozen && cue != SoundCue::gameOver && cue != SoundCue::won)
        return;
    if (!soundEnabled || !isOpen() || audio.paused)
        return;
    if (cue == SoundCue::won)
        stopLoops(); // the name entry may block the loop before it runs again
    if (cue == SoundCue::lowFuel) {
        audio.warningCued = true;
        if (!playing(audio.warning))
            alSourcePlay(audio.warning);
        return;
    }
    const auto idle = std::find_if(std::begin(audio.oneShots), std::end(audio.oneShots),
                                   [](ALuint source) { return !playing(source); });
    if (idle == std::end(audio.oneShots))
        return; // eight at once already: one more would not be heard
    // The jingles are for the player, not for a place in the world.
    const bool atListener = cue == SoundCue::won || cue == SoundCue::gameOver;
    alSourcei(*idle, AL_BUFFER, static_cast<ALint>(bufferFor(cue)));
    alSourcei(*idle, AL_SOURCE_RELATIVE, atListener ? AL_TRUE : AL_FALSE);
    const glm::vec3 position = atListener ? glm::vec3(0.0f) : where;
    alSource3f(*idle, AL_POSITION, position.x, position.y, position.z);
    alSourcePlay(*idle);
}

void followWorld(float thrust)
{
    const glm::vec3 listener = camera.getPosition();
    const glm::vec3 front = camera.getFront();
    const glm::vec3 up = camera.getUp();
    const glm::vec3 listenerVelocity = deltaTime > 0.0f ? (listener - audio.lastListener) / deltaTime : glm::vec3(0.0f);
    audio.lastListener = listener;
    const ALfloat orientation[6] = {front.x, front.y, front.z, up.x, up.y, up.z};
    alListener3f(AL_POSITION, listener.x, listener.y, listener.z);
    alListener3f(AL_VELOCITY, listenerVelocity.x, listenerVelocity.y, listenerVelocity.z);
    alListenerfv(AL_ORIENTATION, orientation);

    if (thrust > 0.0f) {
        alSourcef(audio.engine, AL_GAIN, 0.3f + 0.5f * thrust);
        alSourcef(audio.engine, AL_PITCH, 0.8f + 0.5f * thrust);
        if (!playing(audio.engine))
            alSourcePlay(audio.engine);
    } else {
        alSourceStop(audio.engine);
    }

    if (!audio.warningCued)
        alSourceStop(audio.warning);
    audio.warningCued = false;

    // The nearest few asteroids within reach; OpenAL places them and bends their pitch.
    std::vector<std::pair<float, const Object*>> near;
    for (const Object* asteroid : asteroids) {
        const float distance = glm::distance(asteroid->position, listener);
        if (distance < passDistance)
            near.emplace_back(distance, asteroid);
    }
    const std::size_t heard = std::min<std::size_t>(near.size(), passSourceCount);
    std::partial_sort(near.begin(), near.begin() + static_cast<std::ptrdiff_t>(heard), near.end(),
                      [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 0; i < passSourceCount; ++i) {
        const ALuint source = audio.passes[i];
        if (i >= heard) {
            alSourceStop(source);
            continue;
        }
        const Object& asteroid = *near[i].second;
        alSource3f(source, AL_POSITION, asteroid.position.x, asteroid.position.y, asteroid.position.z);
        alSource3f(source, AL_VELOCITY, asteroid.velocity.x, asteroid.velocity.y, asteroid.velocity.z);
        if (!playing(source))
            alSourcePlay(source);
    }
}

// Once per pass of the loop: follows M, the end of the game and the world.
void updateSound(float thrust)
{
    if (soundEnabled && !openSound())
        return;
    if (!isOpen() || audio.paused)
        return;
    alListenerf(AL_GAIN, soundEnabled ? 1.0f : 0.0f);
    if (renderFrozen || gameWon) {
        // From the win on only its jingle is heard, also while the name is typed; the end
        // screen idles: once the jingle is over, the mixer stops too.
        stopLoops();
        if (renderFrozen && std::none_of(std::begin(audio.oneShots), std::end(audio.oneShots), playing)) {
            if (audio.pauseDevice)
                audio.pauseDevice(audio.device);
            audio.paused = true;
        }
        return;
    }
    if (!soundEnabled) {
        stopLoops();
        return;
    }
    followWorld(thrust);
}

} // namespace

void connectSound(GameHooks& hooks)
{
    soundEnabled = settings.sound;
    hooks.playSound = playCue;
    hooks.updateSound = updateSound;
    if (soundEnabled)
        openSound();
}

void closeSound()
{
    soundEnabled = false;
    if (!isOpen())
        return;
    stopLoops();
    stopAll(audio.oneShots, oneShotSourceCount);
    alcMakeContextCurrent(nullptr);
    alcDestroyContext(audio.context);
    alcCloseDevice(audio.device);
    audio = Audio{};
}

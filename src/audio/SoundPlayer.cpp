#include "SoundPlayer.h"

#include <AL/al.h>
#include <AL/alc.h>
#if __has_include(<AL/alext.h>) // Emscripten's OpenAL has no extension header
#include <AL/alext.h>
#endif
#ifndef ALC_CONNECTED
#define ALC_CONNECTED 0x313 // ALC_EXT_disconnect, which Emscripten's headers lack
#endif
#ifndef ALC_APIENTRY
#define ALC_APIENTRY // Emscripten's headers leave the calling convention out
#endif

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cmath>
#include <iostream>
#include <sstream>
#include <thread>
#include <vector>

#include "AppState.h"
#include "Camera.h"
#include "Controls.h"
#include "FadingLoop.h"
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
// The engine's gain from idle to full thrust: low enough that a hit or a pickup at the ship,
// heard at full level, stands well above it.
constexpr float engineIdleGain = 0.12f;
constexpr float engineThrustGain = 0.2f;

using PauseDevice = void(ALC_APIENTRY*)(ALCdevice*);

struct Audio {
    ALCdevice* device = nullptr;
    ALCcontext* context = nullptr;
    PauseDevice pauseDevice = nullptr;  // ALC_SOFT_pause_device where the library has it
    PauseDevice resumeDevice = nullptr;
    bool canTellLoss = false;          // ALC_EXT_disconnect: a device unplugged is noticed
    ALuint buffers[soundCueCount] = {};
    FadingLoop engine;
    FadingLoop warning;
    FadingLoop passes[passSourceCount];
    ALuint oneShots[oneShotSourceCount] = {};
    bool warningCued = false;  // the warning was shown since the last pass
    bool paused = false;       // the end has been reached and the device stopped
    bool suspended = false;    // held still while the page is hidden
    bool listenerMoved = false; // lastListener is from the previous pass, so a velocity can be had
    glm::vec3 lastListener{0.0f};
    std::vector<std::pair<float, const Object*>> near; // kept between passes: no allocation per frame
};
Audio audio;
bool toldNoDevice = false; // "No sound device" is said once a run, however often M tries
// A closing jingle was cued: from then on it alone is heard, and once it is over the device
// stops. The rules keep running on the frozen end screen, but nothing they cue there sounds.
bool gameEnded = false;

bool isOpen()
{
    return audio.context != nullptr;
}

ALuint bufferFor(SoundCue cue)
{
    return audio.buffers[static_cast<int>(cue)];
}

template <typename Action>
void forEachLoop(Action action)
{
    action(audio.engine);
    action(audio.warning);
    for (FadingLoop& pass : audio.passes)
        action(pass);
}

void makeSounds()
{
    alGenBuffers(soundCueCount, audio.buffers);
    for (int cue = 0; cue < soundCueCount; ++cue) {
        const std::vector<std::int16_t> samples = synthesize(recipeFor(static_cast<SoundCue>(cue)));
        alBufferData(audio.buffers[cue], AL_FORMAT_MONO16, samples.data(),
                     static_cast<ALsizei>(samples.size() * sizeof(std::int16_t)), soundSampleRate);
    }
    audio.engine.create(bufferFor(SoundCue::engine), true);
    audio.warning.create(bufferFor(SoundCue::lowFuel), true);
    for (FadingLoop& pass : audio.passes) {
        pass.create(bufferFor(SoundCue::asteroidPass), false);
        alSourcef(pass.id(), AL_REFERENCE_DISTANCE, 3.0f);
        alSourcef(pass.id(), AL_MAX_DISTANCE, passDistance);
    }
    alGenSources(oneShotSourceCount, audio.oneShots);
    // Pickups and hits happen at the ship, where the chase camera hears them at full level.
    const float shipDistance = std::hypot(chaseDistanceBehind, chaseHeight);
    for (ALuint source : audio.oneShots)
        alSourcef(source, AL_REFERENCE_DISTANCE, shipDistance);
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

void releaseDevice()
{
    alcMakeContextCurrent(nullptr);
    if (audio.context)
        alcDestroyContext(audio.context);
    if (audio.device)
        alcCloseDevice(audio.device);
    audio = Audio{};
}

// Sound stays off until M: the game plays on silently.
void giveUp(const char* why)
{
    releaseDevice();
    soundEnabled = false;
    if (why)
        std::cerr << why << std::endl;
}

void setEnvironmentDefault(const char* name, const char* value)
{
#ifdef _WIN32
    if (!std::getenv(name))
        _putenv_s(name, value);
#else
    setenv(name, value, 0);
#endif
}

// Opens the default device; false where there is none or it cannot make the sounds. Sound is
// then off, and only M tries again.
bool openSound()
{
    if (isOpen())
        return true;
    // The library's mixer thread reports a lost device on standard error too, after the line
    // the player gets from us; a level the player set is theirs.
    setEnvironmentDefault("ALSOFT_LOGLEVEL", "0");
    audio.device = withQuietStandardError([] { return alcOpenDevice(nullptr); });
    audio.context = audio.device ? alcCreateContext(audio.device, nullptr) : nullptr;
    if (!audio.context || !alcMakeContextCurrent(audio.context)) {
        giveUp(toldNoDevice ? nullptr : "No sound device; playing without sound");
        toldNoDevice = true;
        return false;
    }
    if (alcIsExtensionPresent(audio.device, "ALC_SOFT_pause_device")) {
        audio.pauseDevice = reinterpret_cast<PauseDevice>(alcGetProcAddress(audio.device, "alcDevicePauseSOFT"));
        audio.resumeDevice = reinterpret_cast<PauseDevice>(alcGetProcAddress(audio.device, "alcDeviceResumeSOFT"));
    }
    audio.canTellLoss = alcIsExtensionPresent(audio.device, "ALC_EXT_disconnect");
    alGetError(); // from here on, an error is ours
    alDistanceModel(AL_INVERSE_DISTANCE_CLAMPED);
    alSpeedOfSound(speedOfSound);
    makeSounds();
    if (const ALenum error = alGetError(); error != AL_NO_ERROR) {
        std::ostringstream why;
        why << "The sound device refused the game's sounds (OpenAL error 0x" << std::hex << error
            << "); playing without sound";
        giveUp(why.str().c_str());
        return false;
    }
    static const bool closedAtExit = std::atexit(closeSound) == 0;
    (void)closedAtExit;
    return true;
}

// True while the device is still there; a device unplugged is closed, once, with a line.
bool deviceStillThere()
{
    ALCint connected = ALC_TRUE;
    if (audio.canTellLoss)
        alcGetIntegerv(audio.device, ALC_CONNECTED, 1, &connected);
    if (connected)
        return true;
    giveUp("The sound device was lost; playing without sound (M tries again)");
    return false;
}

// Takes everything to silence and, on the desktop, waits (a quarter second at most) until the
// mixer has played the ramp: closing or pausing the device at once would cut the sound
// mid-wave. The listener's gain comes back with the next pass that sounds.
void fadeToSilence()
{
    setGainSmoothly(0, 0.0f);
#ifndef __EMSCRIPTEN__ // a page must not block; the browser closes its audio as it likes
    const auto sounding = std::find_if(std::begin(audio.oneShots), std::end(audio.oneShots), isPlaying);
    FadingLoop* loud = nullptr;
    forEachLoop([&loud](FadingLoop& loop) { loud = loop.busy() ? &loop : loud; });
    if (!loud && sounding == std::end(audio.oneShots))
        return;
    FadingLoop witness; // follows the mixer through whichever source is playing
    witness.adopt(loud ? loud->id() : *sounding);
    witness.fadeOut();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(250);
    while (witness.busy() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        witness.finishFade();
    }
#endif
}

void fadeOutLoops()
{
    forEachLoop([](FadingLoop& loop) { loop.fadeOut(); });
}

bool anyBusy()
{
    bool busy = std::any_of(std::begin(audio.oneShots), std::end(audio.oneShots), isPlaying);
    forEachLoop([&busy](FadingLoop& loop) { busy = busy || loop.busy(); });
    return busy;
}

void playCue(SoundCue cue, const glm::vec3& where)
{
    const bool closing = cue == SoundCue::won || cue == SoundCue::gameOver;
    if (gameEnded && !closing)
        return;
    gameEnded = gameEnded || closing;
    if (!soundEnabled || !isOpen() || audio.paused)
        return;
    if (closing)
        fadeOutLoops(); // the name entry may block the loop: the mixer finishes the fade alone
    if (cue == SoundCue::lowFuel) {
        audio.warningCued = true;
        audio.warning.sound(1.0f);
        return;
    }
    const auto idle = std::find_if(std::begin(audio.oneShots), std::end(audio.oneShots),
                                   [](ALuint source) { return !isPlaying(source); });
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

void placeListener()
{
    const glm::vec3 listener = camera.getPosition();
    const glm::vec3 front = camera.getFront();
    const glm::vec3 up = camera.getUp();
    // After silence the last position is stale: a velocity over the whole gap would shriek.
    const bool measurable = audio.listenerMoved && deltaTime > 0.0f;
    const glm::vec3 velocity = measurable ? (listener - audio.lastListener) / deltaTime : glm::vec3(0.0f);
    audio.lastListener = listener;
    audio.listenerMoved = true;
    const ALfloat orientation[6] = {front.x, front.y, front.z, up.x, up.y, up.z};
    alListener3f(AL_POSITION, listener.x, listener.y, listener.z);
    alListener3f(AL_VELOCITY, velocity.x, velocity.y, velocity.z);
    alListenerfv(AL_ORIENTATION, orientation);
}

// The nearest few asteroids within reach; OpenAL places them and bends their pitch.
void placeAsteroids()
{
    const glm::vec3 listener = camera.getPosition();
    audio.near.clear();
    for (const Object* asteroid : asteroids) {
        const float distance = glm::distance(asteroid->position, listener);
        if (distance < passDistance)
            audio.near.emplace_back(distance, asteroid);
    }
    const std::size_t heard = std::min<std::size_t>(audio.near.size(), passSourceCount);
    std::partial_sort(audio.near.begin(), audio.near.begin() + static_cast<std::ptrdiff_t>(heard), audio.near.end(),
                      [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 0; i < passSourceCount; ++i) {
        FadingLoop& pass = audio.passes[i];
        if (i >= heard) {
            pass.fadeOut();
            continue;
        }
        const Object& asteroid = *audio.near[i].second;
        const glm::vec3 velocity = asteroid.currentVelocity();
        alSource3f(pass.id(), AL_POSITION, asteroid.position.x, asteroid.position.y, asteroid.position.z);
        alSource3f(pass.id(), AL_VELOCITY, velocity.x, velocity.y, velocity.z);
        pass.sound(1.0f);
    }
}

void followWorld(float thrust)
{
    placeListener();
    if (thrust > 0.0f) {
        alSourcef(audio.engine.id(), AL_PITCH, 0.8f + 0.5f * thrust);
        audio.engine.sound(engineIdleGain + engineThrustGain * thrust);
    } else {
        audio.engine.fadeOut();
    }
    if (!audio.warningCued)
        audio.warning.fadeOut();
    audio.warningCued = false;
    placeAsteroids();
}

// Once per pass of the loop: follows M, the end of the game and the world.
void updateSound(float thrust)
{
    if (soundEnabled && !openSound())
        return;
    if (!isOpen() || audio.paused || !deviceStillThere())
        return;
    setGainSmoothly(0, soundEnabled ? 1.0f : 0.0f);
    forEachLoop([](FadingLoop& loop) { loop.finishFade(); });
    if (gameEnded) {
        fadeOutLoops();
        if (!anyBusy()) {
            if (audio.pauseDevice)
                audio.pauseDevice(audio.device);
            audio.paused = true;
        }
        return;
    }
    if (!soundEnabled) {
        fadeOutLoops();
        audio.listenerMoved = false;
        return;
    }
    followWorld(thrust);
}

} // namespace

void connectSound(GameHooks& hooks)
{
    soundEnabled = settings.sound;
    gameEnded = false;
    hooks.playSound = playCue;
    hooks.updateSound = updateSound;
    if (soundEnabled)
        openSound();
}

void restartSound()
{
    gameEnded = false;
    if (!isOpen())
        return;
    if (audio.paused && audio.resumeDevice && !audio.suspended)
        audio.resumeDevice(audio.device);
    audio.paused = false;
    audio.listenerMoved = false;
    audio.warningCued = false;
}

void suspendSound(bool suspended)
{
    if (!isOpen() || audio.suspended == suspended)
        return;
    audio.suspended = suspended;
    if (audio.paused || !audio.pauseDevice || !audio.resumeDevice)
        return;
    if (suspended) {
        fadeToSilence();
        audio.pauseDevice(audio.device);
    } else {
        audio.resumeDevice(audio.device);
    }
}

void closeSound()
{
    soundEnabled = false;
    if (!isOpen())
        return;
    fadeToSilence();
    forEachLoop([](FadingLoop& loop) { loop.stopNow(); });
    for (ALuint source : audio.oneShots)
        alSourceStop(source); // NOTE: one at a time: Emscripten's alSourceStopv reads its list wrongly
    // A page's audio outlives the device's closing: held still, it stops using the speakers.
    if (audio.pauseDevice && !audio.paused)
        audio.pauseDevice(audio.device);
    releaseDevice();
}

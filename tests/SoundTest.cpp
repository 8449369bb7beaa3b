// The sounds as a player hears them: the game's rules and its OpenAL player run for real,
// and OpenAL Soft's wave writer records the mix a sound card would have played.
#include <gtest/gtest.h>

#include <AL/alc.h>
#include <AL/alext.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include <btBulletDynamicsCommon.h>

#include "AppState.h"
#include "Camera.h"
#include "CommandLine.h"
#include "Controls.h"
#include "GameRules.h"
#include "Input.h"
#include "Object.h"
#include "PhysicsWorld.h"
#include "Settings.h"
#include "SmallWorld.h"
#include "SoundSynth.h"
#include "TestSupport.h"
#include "audio/SoundPlayer.h"

namespace {

constexpr int mKey = 77; // GLFW's code for M

// A recording as mono floats -1..1, with the rate to turn seconds into samples.
struct Recording {
    int rate = 0;
    std::vector<float> samples;

    // Loudness and pitch of [from, to) seconds; what lies past the end is silence, as a
    // paused device writes nothing.
    struct Stretch {
        float rms = 0.0f;
        float pitchHz = 0.0f; // from zero crossings: enough to tell a chime from a thump
    };
    Stretch between(double from, double to) const
    {
        const auto first = static_cast<std::size_t>(std::max(0.0, from) * rate);
        const auto last = std::min(samples.size(), static_cast<std::size_t>(to * rate));
        Stretch stretch;
        if (first >= last)
            return stretch;
        double energy = 0.0;
        int crossings = 0;
        for (std::size_t i = first; i < last; ++i) {
            energy += samples[i] * samples[i];
            if (i > first && (samples[i] >= 0.0f) != (samples[i - 1] >= 0.0f))
                ++crossings;
        }
        const double count = static_cast<double>(last - first);
        stretch.rms = static_cast<float>(std::sqrt(energy / count));
        stretch.pitchHz = static_cast<float>(crossings / 2.0 / (count / rate));
        return stretch;
    }

    // The rms of the loudest `window` seconds in [from, to), stepped by 10 ms.
    float loudestRms(double from, double to, double window = 0.1) const
    {
        float loudest = 0.0f;
        for (double at = from; at + window <= to; at += 0.01)
            loudest = std::max(loudest, between(at, at + window).rms);
        return loudest;
    }

    // The steps between neighbouring samples of [from, to): the largest (a cut wave is one
    // big step) and their rms, which weighs each frequency by its height, a crude high-pass.
    struct Steps {
        float largest = 0.0f;
        float rms = 0.0f;
    };
    Steps steps(double from, double to) const
    {
        const auto first = static_cast<std::size_t>(std::max(0.0, from) * rate) + 1;
        const auto last = std::min(samples.size(), static_cast<std::size_t>(to * rate));
        Steps result;
        double energy = 0.0;
        for (std::size_t i = first; i < last; ++i) {
            const float step = samples[i] - samples[i - 1];
            result.largest = std::max(result.largest, std::fabs(step));
            energy += step * step;
        }
        if (last > first)
            result.rms = static_cast<float>(std::sqrt(energy / static_cast<double>(last - first)));
        return result;
    }

    // Amplitude of the `hz` component of [from, to) (Goertzel): picks the engine's low hum
    // out of a mix where a jingle plays too.
    float toneLevel(double from, double to, double hz) const
    {
        const auto first = static_cast<std::size_t>(std::max(0.0, from) * rate);
        const auto last = std::min(samples.size(), static_cast<std::size_t>(to * rate));
        if (first >= last)
            return 0.0f;
        const double coefficient = 2.0 * std::cos(2.0 * M_PI * hz / rate);
        double previous = 0.0;
        double beforeThat = 0.0;
        for (std::size_t i = first; i < last; ++i) {
            const double current = samples[i] + coefficient * previous - beforeThat;
            beforeThat = previous;
            previous = current;
        }
        const double power = previous * previous + beforeThat * beforeThat - coefficient * previous * beforeThat;
        return static_cast<float>(2.0 * std::sqrt(std::max(0.0, power)) / static_cast<double>(last - first));
    }
};

std::uint32_t little(const std::string& bytes, std::size_t at, int size)
{
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    return value;
}

// The wave writer's file: 16-bit integer or 32-bit float frames, any channel count.
Recording readWave(const std::string& path)
{
    const std::string bytes = readFile(path);
    Recording recording;
    int channels = 0;
    int bits = 0;
    std::size_t at = 12;
    while (at + 8 <= bytes.size()) {
        const std::string tag = bytes.substr(at, 4);
        const std::uint32_t size = little(bytes, at + 4, 4);
        if (tag == "fmt ") {
            channels = static_cast<int>(little(bytes, at + 10, 2));
            recording.rate = static_cast<int>(little(bytes, at + 12, 4));
            bits = static_cast<int>(little(bytes, at + 22, 2));
        } else if (tag == "data") {
            const std::size_t frameBytes = static_cast<std::size_t>(channels * bits / 8);
            for (std::size_t frame = at + 8; frameBytes && frame + frameBytes <= bytes.size(); frame += frameBytes) {
                float sum = 0.0f;
                for (int c = 0; c < channels; ++c) {
                    const std::size_t offset = frame + static_cast<std::size_t>(c * bits / 8);
                    if (bits == 16) {
                        sum += static_cast<std::int16_t>(little(bytes, offset, 2)) / 32768.0f;
                    } else {
                        const std::uint32_t raw = little(bytes, offset, 4);
                        float value;
                        std::memcpy(&value, &raw, sizeof value);
                        sum += value;
                    }
                }
                recording.samples.push_back(sum / static_cast<float>(channels));
            }
            break;
        }
        at += 8 + size + (size & 1);
    }
    return recording;
}

class SoundTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The wave writer instead of whatever the test environment chose.
        dir.write("alsoft.conf", "drivers = wave\nfrequency = 44100\nchannels = stereo\nsample-type = int16\n"
                                 "[wave]\nfile = " + wavePath() + "\n");
        setenv("ALSOFT_CONF", dir.file("alsoft.conf").c_str(), 1);
        setenv("ALSOFT_DRIVERS", "wave", 1);

        buildSmallWorld({0.0f, 1.0f, 500.0f}, 1.0f);
        gameHooks.scoreFile = dir.file("scores.txt");
        asteroidSpawnTimer = 1.0e9f; // no asteroid flies by unless a test places one
    }

    void TearDown() override
    {
        closeSound();
        deleteAllObjects();
        resetGameState();
        gameHooks = GameHooks();
        unsetenv("ALSOFT_CONF");
    }

    std::string wavePath() const { return dir.file("mix.wav"); }
    Object& ship() { return *sceneObjects[0]; }
    Object& star() { return *sceneObjects[2]; }

    void startGame(const std::vector<const char*>& arguments)
    {
        std::vector<const char*> argv = {"orbelune"};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        std::ostringstream ignored;
        settings = parseArguments(static_cast<int>(argv.size()), argv.data(), ignored, [] { return 60; });
        connectSound(gameHooks);
    }

    // Seconds the device has mixed so far; the wave writer mixes in real time.
    static double deviceSeconds()
    {
        ALCdevice* device = alcGetContextsDevice(alcGetCurrentContext());
        if (!device)
            return 0.0;
        using GetInteger64 = void(ALC_APIENTRY*)(ALCdevice*, ALCenum, ALCsizei, ALCint64SOFT*);
        auto getInteger64 = reinterpret_cast<GetInteger64>(alcGetProcAddress(device, "alcGetInteger64vSOFT"));
        ALCint64SOFT nanoseconds = 0;
        if (getInteger64)
            getInteger64(device, ALC_DEVICE_CLOCK_SOFT, 1, &nanoseconds);
        return static_cast<double>(nanoseconds) * 1e-9;
    }

    // Whether the device's mixer lives: pausing the wave writer ends its thread, the only one
    // besides the test's own that has written anything, so a device merely starved of CPU
    // cannot pass for a paused one.
    static bool mixing()
    {
        for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
            std::ifstream io(task.path() / "io");
            std::string field;
            long long written = 0;
            while (io >> field >> written && field != "wchar:") {
            }
            if (field == "wchar:" && written > 0 && task.path().filename() != std::to_string(getpid()))
                return true;
        }
        return false;
    }

    // Lets the device mix until `seconds` of its own time, as frames would pass in the game.
    static void playUntil(double seconds, void (*pass)() = updateGame)
    {
        const auto deadline = deadlineAfter(20.0);
        while (deviceSeconds() < seconds && std::chrono::steady_clock::now() < deadline) {
            pass();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        ASSERT_GE(deviceSeconds(), seconds) << "the device stopped mixing";
    }

    // The star taken: the ship flies into it on the next pass. Returns the device time.
    double takeStar()
    {
        star().setPosition(ship().position);
        const double at = deviceSeconds();
        updateGame();
        return at;
    }

    // The tenth hit: the game ends on this pass. Returns the device time.
    double loseLastLife()
    {
        lives = 0;
        ship().hit = true;
        const double at = deviceSeconds();
        checkOutcome();
        return at;
    }

    Recording recorded()
    {
        closeSound();
        return readWave(wavePath());
    }

    TempDir dir;
};

constexpr float loud = 0.02f;    // rms of a sound at ordinary level
constexpr float silent = 0.001f; // rms of nothing playing (the mix is exact zeros)
// The engine's hum at full thrust: its 70 Hz fundamental played 1.3 times as fast. No jingle
// goes below 180 Hz.
constexpr double fullThrustHz = 70.0 * 1.3;

TEST_F(SoundTest, PickupChimesAndALostLifeThumpsOverTheEngineButAnInvulnerableTouchIsSilent)
{
    startGame({});
    playUntil(0.2);
    keys['W'] = true; // the hum each event must stand out of: full thrust
    const double humAt = deviceSeconds();
    playUntil(humAt + 0.6);
    keys['W'] = false;
    const double quietAt = deviceSeconds();
    playUntil(quietAt + 0.3);
    const double pickupAt = takeStar();
    playUntil(pickupAt + 0.6);

    // An asteroid right on the invulnerable ship: the bodies touch, but no life is lost.
    ship().invulnerableTime = 2.0f;
    Object rock;
    rock.setShapes({}, 1.0f, false);
    rock.setPosition(ship().position);
    rock.createRigidBody(physicsWorld->dynamicsWorld, false);
    const double touchAt = deviceSeconds();
    for (int pass = 0; pass < 10; ++pass) {
        updateGame();
        checkOutcome();
    }
    ASSERT_EQ(lives, 9);
    playUntil(touchAt + 0.6);

    ship().invulnerableTime = 0.0f;
    ship().hit = true;
    const double hitAt = deviceSeconds();
    checkOutcome();
    ASSERT_EQ(lives, 8);
    playUntil(hitAt + 0.7);

    const Recording mix = recorded();
    ASSERT_GT(mix.rate, 0);
    EXPECT_LT(mix.between(0.0, humAt).rms, silent) << "nothing before the thrust";
    EXPECT_LT(mix.between(quietAt + 0.1, pickupAt).rms, silent) << "nothing between the thrust and the pickup";
    const auto pickup = mix.between(pickupAt, pickupAt + 0.25);
    EXPECT_GT(pickup.pitchHz, 1200.0f) << "the pickup is a bright chime";
    EXPECT_LT(mix.between(touchAt + 0.1, touchAt + 0.5).rms, silent) << "a touch while invulnerable costs no life";
    const auto hit = mix.between(hitAt, hitAt + 0.25);
    EXPECT_LT(hit.pitchHz, 400.0f) << "the hit is a low thump";
    // The thump fades: it is a single blow, not a loop.
    EXPECT_LT(mix.between(hitAt + 0.5, hitAt + 0.6).rms, hit.rms / 4.0f);

    // Each event stands 6 dB above the engine at full thrust and sounds where it does not.
    const float hum = mix.between(humAt + 0.1, humAt + 0.6).rms;
    const float humSteps = mix.steps(humAt + 0.1, humAt + 0.6).rms;
    EXPECT_GT(hum, loud);
    EXPECT_LT(mix.steps(quietAt - 0.05, quietAt + 0.3).largest, 3.0f * mix.steps(humAt + 0.1, humAt + 0.6).largest)
        << "letting go of the thrust clicks";
    for (const double at : {pickupAt, hitAt}) {
        EXPECT_GT(mix.loudestRms(at, at + 0.5), 2.0f * hum) << (at == hitAt ? "hit" : "pickup");
        EXPECT_GT(mix.steps(at, at + 0.1).rms, 4.0f * humSteps) << (at == hitAt ? "hit" : "pickup");
    }
}

TEST_F(SoundTest, OffOnTheCommandLineMutedByMAndSilentOnTheEndScreen)
{
    startGame({"-snd", "off"});
    takeStar();
    updateGame();
    EXPECT_FALSE(std::ifstream(wavePath()).good()) << "-snd off opens no device";

    onKey(nullptr, mKey, 0, 1, 0);
    updateGame(); // M opens the device on the next pass
    ASSERT_TRUE(std::ifstream(wavePath()).good());
    playUntil(0.2);
    const double heardAt = takeStar();
    playUntil(heardAt + 0.5);
    onKey(nullptr, mKey, 0, 1, 0);
    onKey(nullptr, mKey, 0, 0, 0);
    updateGame();
    const double mutedAt = takeStar();
    playUntil(mutedAt + 0.5);
    // Flown far while muted: back on, the listener starts afresh instead of rushing off.
    deltaTime = 1.0f / 60.0f;
    ship().setPosition(ship().position + glm::vec3(0.0f, 0.0f, 100.0f));
    updateGame();
    onKey(nullptr, mKey, 0, 1, 0);
    updateGame();
    ALfloat rush[3] = {};
    alGetListenerfv(AL_VELOCITY, rush);
    EXPECT_LT(glm::length(glm::vec3(rush[0], rush[1], rush[2])), 1.0f) << "the muted flight counted as one frame";

    // The last life lost: the game-over jingle plays out, then nothing, also for a star
    // taken on the frozen screen, where the rules still run.
    const double endAt = loseLastLife();
    ASSERT_TRUE(renderFrozen);
    takeStar(); // while the jingle plays
    playUntil(endAt + 0.5);
    EXPECT_TRUE(waitUntil([] { updateGame(); return !mixing(); }, 20.0, 0.005))
        << "the device keeps mixing on the end screen";
    EXPECT_LT(deviceSeconds(), endAt + 2.5) << "the device mixed on long after the jingle";
    takeStar();
    updateGame();

    const Recording mix = recorded();
    EXPECT_GT(mix.between(heardAt, heardAt + 0.25).rms, loud) << "M turned sound on";
    EXPECT_LT(mix.between(mutedAt, mutedAt + 0.5).rms, silent) << "M turned sound off";
    EXPECT_GT(mix.between(endAt, endAt + 1.0).rms, loud) << "the game over is heard";
    // The chime's first note has nothing of the jingle's, which stays below 400 Hz.
    EXPECT_LT(mix.toneLevel(endAt, endAt + 0.3, 1568.0), mix.toneLevel(heardAt, heardAt + 0.1, 1568.0) / 10.0f)
        << "a star taken on the end screen chimed";
    EXPECT_LT(mix.between(endAt + 1.7, 1.0e9).rms, silent) << "the end screen is silent";

    // Closed is closed: no pass opens the device again behind the player's back; M does.
    resetGameState();
    updateGame();
    EXPECT_EQ(alcGetCurrentContext(), nullptr) << "a pass reopened the closed device";
    onKey(nullptr, mKey, 0, 1, 0);
    updateGame();
    EXPECT_NE(alcGetCurrentContext(), nullptr) << "M opens it again";
}

TEST_F(SoundTest, TheEngineHumsHigherWithMoreThrustAndStopsWithItWithoutAClickAndAtTheEnd)
{
    startGame({});
    GamepadInput halfStick; // pushed to half thrust past the dead zone
    halfStick.connected = true;
    halfStick.leftY = -0.6f;
    gameHooks.readGamepad = [&halfStick] { return halfStick; };
    playUntil(0.2);
    const double halfAt = deviceSeconds();
    playUntil(halfAt + 0.6);
    gameHooks.readGamepad = nullptr;
    keys['W'] = true;
    const double fullAt = deviceSeconds();
    playUntil(fullAt + 0.6);
    keys['W'] = false;
    const double releasedAt = deviceSeconds();
    playUntil(releasedAt + 0.5);
    keys['W'] = true;
    const double againAt = deviceSeconds();
    playUntil(againAt + 0.5);
    onKey(nullptr, mKey, 0, 1, 0);
    const double mutedAt = deviceSeconds();
    playUntil(mutedAt + 0.4);
    onKey(nullptr, mKey, 0, 1, 0);
    const double unmutedAt = deviceSeconds();
    playUntil(unmutedAt + 0.4);

    // The last life lost with the thrust still held: the game-over jingle alone is heard.
    const double endAt = loseLastLife();
    ASSERT_TRUE(renderFrozen);
    playUntil(endAt + 1.0);

    const Recording mix = recorded();
    const auto half = mix.between(halfAt + 0.1, halfAt + 0.6);
    const auto full = mix.between(fullAt + 0.1, fullAt + 0.6);
    EXPECT_GT(half.rms, loud) << "half thrust is heard";
    EXPECT_GT(full.rms, half.rms * 1.2f) << "full thrust is louder";
    // Higher: the full thrust's hum fills the full stretch and not the half one, each weighed
    // against its own loudness. Zero crossings would count the passing rocks' rumble too.
    const auto fullHumShare = [&mix](double at) {
        return mix.toneLevel(at + 0.1, at + 0.6, fullThrustHz) / mix.between(at + 0.1, at + 0.6).rms;
    };
    EXPECT_GT(fullHumShare(fullAt), 2.0f * fullHumShare(halfAt)) << "full thrust is higher";
    EXPECT_LT(mix.between(releasedAt + 0.1, releasedAt + 0.5).rms, silent) << "the engine stops with the thrust";
    EXPECT_LT(mix.between(mutedAt + 0.1, mutedAt + 0.4).rms, silent) << "and with M";
    // Starting and stopping fade: no step in the wave stands out of the hum's own steps.
    const float humStep = mix.steps(fullAt + 0.1, fullAt + 0.6).largest;
    for (const double at : {halfAt, releasedAt, againAt, mutedAt, unmutedAt})
        EXPECT_LT(mix.steps(at - 0.05, at + 0.3).largest, 3.0f * humStep) << "a click at " << at;
    // The jingle has nothing as low as the hum.
    const float humming = mix.toneLevel(againAt + 0.1, againAt + 0.5, fullThrustHz);
    EXPECT_GT(humming, loud);
    EXPECT_LT(mix.toneLevel(endAt + 0.2, endAt + 0.9, fullThrustHz), humming / 10.0f)
        << "the engine falls silent when the game ends";
}

TEST_F(SoundTest, TheWinJingleIsHeardAloneWhileTheNameIsAsked)
{
    startGame({});
    gameHooks.nameReady = [] { return false; }; // the player is still typing
    keys['W'] = true;
    playUntil(0.2);
    const double humAt = deviceSeconds();
    playUntil(humAt + 0.5);

    // Flown into the planet with the thrust held: from here the rules wait for the name.
    ship().setPosition(sceneObjects[1]->position);
    const double wonAt = deviceSeconds();
    updateGame();
    ASSERT_TRUE(gameWon);
    playUntil(wonAt + 1.2);

    const Recording mix = recorded();
    const float humming = mix.toneLevel(humAt + 0.1, humAt + 0.5, fullThrustHz);
    EXPECT_GT(humming, loud);
    EXPECT_GT(mix.between(wonAt, wonAt + 1.0).rms, loud) << "the win is heard";
    EXPECT_LT(mix.toneLevel(wonAt + 0.2, wonAt + 1.2, fullThrustHz), humming / 10.0f)
        << "the engine hums on under the win jingle";
}

TEST_F(SoundTest, LowFuelBeepsWithPausesUntilAStarRefuels)
{
    startGame({});
    const auto wholePass = [] {
        updateGame();
        checkOutcome();
    };
    playUntil(0.2, wholePass);
    fuel = 9.0f;
    const double lowAt = deviceSeconds();
    playUntil(lowAt + 1.2, wholePass);
    const double refuelAt = takeStar();
    ASSERT_GE(fuel, 10.0f);
    playUntil(refuelAt + 1.0, wholePass);

    const Recording mix = recorded();
    int beeping = 0;
    int pausing = 0;
    for (double at = lowAt + 0.1; at < lowAt + 1.1; at += 0.05) {
        const float rms = mix.between(at, at + 0.05).rms;
        beeping += rms > loud;
        pausing += rms < silent;
    }
    EXPECT_GE(beeping, 4) << "the warning beeps";
    EXPECT_GE(pausing, 8) << "and pauses between beeps";
    // After the pickup's chime, nothing: the warning is over.
    EXPECT_LT(mix.between(refuelAt + 0.45, refuelAt + 1.0).rms, silent) << "the beep goes on after refuelling";
}

TEST_F(SoundTest, ANearAsteroidRumblesHigherComingThanGoingAndAFarOneIsNotHeard)
{
    startGame({});
    deltaTime = 0.0f; // the rock stays where it is put; its velocity only bends the pitch
    playUntil(0.2);
    const glm::vec3 ahead = camera.getPosition() + camera.getFront() * 5.0f;
    const glm::vec3 towardsPlayer = -camera.getFront() * 40.0f; // half the speed of sound
    auto* rock = new Object();
    rock->setShapes({}, 1.0f, false);
    asteroids.push_back(rock);
    rock->setPosition(ahead);
    rock->setVelocity(towardsPlayer); // as spawned: the body starts with it
    rock->createRigidBody(physicsWorld->dynamicsWorld, false);
    const double comingAt = deviceSeconds();
    playUntil(comingAt + 0.6);
    // Bounced off something: the body turns back, the velocity it was spawned with stays.
    rock->body->setLinearVelocity(btVector3(-towardsPlayer.x, -towardsPlayer.y, -towardsPlayer.z));
    const double goingAt = deviceSeconds();
    playUntil(goingAt + 0.6);
    delete rock;
    auto* farRock = new Object();
    farRock->setShapes({}, 1.0f, false);
    farRock->setPosition(camera.getPosition() + camera.getFront() * 40.0f);
    asteroids.assign(1, farRock);
    const double farAt = deviceSeconds();
    playUntil(farAt + 0.5);

    const Recording mix = recorded();
    const auto coming = mix.between(comingAt + 0.1, comingAt + 0.6);
    const auto going = mix.between(goingAt + 0.1, goingAt + 0.6);
    EXPECT_GT(coming.rms, loud) << "a rock close by is heard";
    EXPECT_GT(going.rms, loud);
    // Doppler: 80 / (80 - 40) coming against 80 / (80 + 40) going, three times the pitch.
    EXPECT_GT(coming.pitchHz, going.pitchHz * 2.0f);
    EXPECT_LT(mix.between(farAt + 0.1, farAt + 0.5).rms, silent) << "a rock far off is not heard";
}

TEST_F(SoundTest, WithoutADeviceTheGamePlaysSilentlyAfterOneLine)
{
    setenv("ALSOFT_DRIVERS", "no-such-driver", 1);
    testing::internal::CaptureStderr();
    startGame({});
    for (int pass = 0; pass < 3; ++pass) {
        takeStar();
        checkOutcome();
    }
    onKey(nullptr, mKey, 0, 1, 0);
    onKey(nullptr, mKey, 0, 1, 0);
    updateGame();
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_EQ(fuel, 400.0f) << "the game goes on";
}

// A hidden page gets no frames: its sound must not loop on alone, and must go on once shown.
TEST_F(SoundTest, AHiddenPageHoldsTheSoundStillUntilItIsShown)
{
    startGame({});
    keys['W'] = true;
    playUntil(0.3);
    // Where a thread's writes cannot be counted, "not mixing" below would hold of any device.
    ASSERT_TRUE(mixing()) << "the mixer's writes cannot be seen here";
    suspendSound(true);
    const double heldAt = deviceSeconds();
    EXPECT_FALSE(mixing()) << "the engine looped on while the page was hidden";
    suspendSound(false);
    // NOTE: the wave writer rewinds to its header when held, so what it wrote after cannot be
    // read back; the device's clock moving on again shows it plays.
    playUntil(heldAt + 0.4);
}

// A device that cannot hold the game's sources, and one that goes away mid-flight (the wave
// writer loses its disk): one line each, the game plays on, and M tries the device again.
TEST_F(SoundTest, ADeviceThatRefusesTheSoundsIsLeftAfterOneLine)
{
    dir.write("alsoft.conf", "drivers = wave\nsources = 4\n[wave]\nfile = " + wavePath() + "\n");
    testing::internal::CaptureStderr();
    startGame({});
    takeStar();
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("refused the game's sounds"), std::string::npos) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_EQ(alcGetCurrentContext(), nullptr);
    EXPECT_EQ(fuel, 200.0f) << "the game goes on";
}

TEST_F(SoundTest, ADeviceLostMidFlightIsLeftAfterOneLineAndMTriesAgain)
{
    dir.write("alsoft.conf", "drivers = wave\n[wave]\nfile = /dev/full\n");
    const auto playUntilLost = [] {
        const auto deadline = deadlineAfter(20.0);
        while (soundEnabled && std::chrono::steady_clock::now() < deadline) {
            updateGame();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        for (int pass = 0; pass < 10; ++pass)
            updateGame();
    };
    testing::internal::CaptureStderr();
    startGame({});
    ASSERT_NE(alcGetCurrentContext(), nullptr);
    playUntilLost();
    const bool noticed = !soundEnabled && alcGetCurrentContext() == nullptr;
    onKey(nullptr, mKey, 0, 1, 0); // tries again, and loses the full disk again
    playUntilLost();
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(noticed) << "the lost device went unnoticed";
    const std::string line = "The sound device was lost; playing without sound (M tries again)\n";
    std::size_t times = 0;
    for (auto at = said.find(line); at != std::string::npos; at = said.find(line, at + 1))
        ++times;
    EXPECT_EQ(times, 2u) << "once for each loss, the second after M opened it again: " << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 2) << "nothing but the game's line: " << said;
    EXPECT_EQ(fuel, 100.0f) << "the game goes on";
}

} // namespace

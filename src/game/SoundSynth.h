// The game's sounds, made from a few numbers each rather than recorded: mono 16-bit PCM.
#pragma once

#include <cstdint>
#include <vector>

// Every sound the game makes. The first three loop while their cause lasts; the rest play once.
enum class SoundCue { engine, asteroidPass, lowFuel, pickup, hit, won, gameOver };
constexpr int soundCueCount = 7;

constexpr int soundSampleRate = 22050; // Hz; the sounds hold nothing above 5 kHz

// One sound as a sum of parts, each a tone gliding between two pitches (or noise) under an
// attack-then-exponential-decay envelope, starting at its own time.
struct ToneRecipe {
    struct Part {
        float startSeconds = 0.0f;
        float seconds = 0.1f;
        float startHz = 440.0f;
        float endHz = 440.0f;      // the pitch glides linearly from startHz to endHz
        float noise = 0.0f;        // 0: pure tone, 1: pure noise low-passed near startHz
        float attackSeconds = 0.005f;
        float decayPerSecond = 0.0f; // envelope e^(-decay t) after the attack; 0 holds the level
        float level = 0.5f;          // peak amplitude, 1 = full scale
    };
    std::vector<Part> parts;
    float totalSeconds = 0.1f; // length of the buffer; a looping sound repeats after it
    bool loops = false;        // the end is blended into the start, so the seam does not click
};

// What each cue sounds like.
ToneRecipe recipeFor(SoundCue cue);
// Renders `recipe` at `sampleRate`. Deterministic: the noise comes from a generator of its
// own, so the game's random sequence is untouched and every run sounds the same.
std::vector<std::int16_t> synthesize(const ToneRecipe& recipe, int sampleRate = soundSampleRate);

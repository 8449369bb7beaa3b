// Sound synthesis: tones and filtered noise under simple envelopes, summed and clipped.
#include "SoundSynth.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float twoPi = 6.28318530718f;
constexpr float loopBlendSeconds = 0.02f; // a looping sound's parts run this far past its end

// A small generator of its own: rand() must not be touched, its sequence places the asteroids.
class NoiseSource {
public:
    // Uniform in -1..1.
    float next()
    {
        state = state * 1664525u + 1013904223u;
        return static_cast<float>(state >> 8) / static_cast<float>(1u << 23) - 1.0f;
    }

private:
    std::uint32_t state = 22222u;
};

ToneRecipe::Part tone(float start, float seconds, float startHz, float endHz, float decay, float level)
{
    ToneRecipe::Part part;
    part.startSeconds = start;
    part.seconds = seconds;
    part.startHz = startHz;
    part.endHz = endHz;
    part.decayPerSecond = decay;
    part.level = level;
    return part;
}

ToneRecipe::Part noise(float start, float seconds, float cutoffHz, float decay, float level)
{
    ToneRecipe::Part part = tone(start, seconds, cutoffHz, cutoffHz, decay, level);
    part.noise = 1.0f;
    return part;
}

// Adds one part into `mix`, which is as long as the whole sound.
void render(const ToneRecipe::Part& part, int sampleRate, NoiseSource& noiseSource, std::vector<float>& mix)
{
    const auto first = static_cast<std::size_t>(std::max(0.0f, part.startSeconds) * sampleRate);
    const auto count = static_cast<std::size_t>(std::max(0.0f, part.seconds) * sampleRate);
    const std::size_t last = std::min(mix.size(), first + count);
    // One-pole low-pass for the noise; its loss of level is made up so `level` still holds.
    const float alpha = 1.0f - std::exp(-twoPi * part.startHz / sampleRate);
    const float noiseGain = std::sqrt(2.0f / std::max(alpha, 1e-4f)) * 0.35f;
    float filtered = 0.0f;
    float phase = 0.0f;
    for (std::size_t i = first; i < last; ++i) {
        const float t = static_cast<float>(i - first) / sampleRate;
        const float progress = count > 1 ? static_cast<float>(i - first) / (count - 1) : 0.0f;
        const float hz = part.startHz + (part.endHz - part.startHz) * progress;
        phase += twoPi * hz / sampleRate;
        if (phase > twoPi)
            phase -= twoPi;
        filtered += alpha * (noiseSource.next() - filtered);
        const float wave = (1.0f - part.noise) * std::sin(phase) + part.noise * filtered * noiseGain;
        float envelope = std::exp(-part.decayPerSecond * t);
        if (part.attackSeconds > 0.0f && t < part.attackSeconds)
            envelope *= t / part.attackSeconds;
        // A short fade at the end, or a cut-off tone clicks.
        const float tail = static_cast<float>(last - i) / sampleRate;
        if (tail < 0.005f && part.decayPerSecond > 0.0f)
            envelope *= tail / 0.005f;
        mix[i] += part.level * envelope * wave;
    }
}

} // namespace

ToneRecipe recipeFor(SoundCue cue)
{
    ToneRecipe recipe;
    switch (cue) {
    case SoundCue::engine:
        // Loops: whole cycles of 2 Hz fit its half second, so the seam does not click.
        recipe.totalSeconds = 0.5f;
        recipe.loops = true;
        recipe.parts = {tone(0.0f, 0.6f, 70.0f, 70.0f, 0.0f, 0.35f), tone(0.0f, 0.6f, 140.0f, 140.0f, 0.0f, 0.15f),
                        noise(0.0f, 0.6f, 400.0f, 0.0f, 0.12f)};
        for (ToneRecipe::Part& part : recipe.parts)
            part.attackSeconds = 0.0f;
        break;
    case SoundCue::asteroidPass:
        recipe.totalSeconds = 1.0f;
        recipe.loops = true;
        recipe.parts = {noise(0.0f, 1.0f + loopBlendSeconds, 250.0f, 0.0f, 0.5f)};
        recipe.parts[0].attackSeconds = 0.0f;
        break;
    case SoundCue::lowFuel:
        // A beep every half second while the warning is up.
        recipe.totalSeconds = 0.5f;
        recipe.parts = {tone(0.0f, 0.15f, 880.0f, 880.0f, 4.0f, 0.4f)};
        break;
    case SoundCue::pickup:
        // Two bright rising notes: nothing else in the game sounds above 1.5 kHz.
        recipe.totalSeconds = 0.4f;
        recipe.parts = {tone(0.0f, 0.12f, 1568.0f, 1568.0f, 6.0f, 0.55f),
                        tone(0.1f, 0.3f, 2093.0f, 2093.0f, 8.0f, 0.55f)};
        break;
    case SoundCue::hit:
        // A dull thump, low noise and a falling sine, under a short crack that the engine's
        // hum, all below a few hundred hertz, cannot cover.
        recipe.totalSeconds = 0.6f;
        recipe.parts = {noise(0.0f, 0.6f, 180.0f, 6.0f, 0.6f), tone(0.0f, 0.5f, 110.0f, 45.0f, 5.0f, 0.45f),
                        noise(0.0f, 0.15f, 2500.0f, 25.0f, 0.3f)};
        break;
    case SoundCue::won:
        recipe.totalSeconds = 1.2f;
        recipe.parts = {tone(0.0f, 0.3f, 523.0f, 523.0f, 4.0f, 0.35f), tone(0.18f, 0.3f, 659.0f, 659.0f, 4.0f, 0.35f),
                        tone(0.36f, 0.3f, 784.0f, 784.0f, 4.0f, 0.35f),
                        tone(0.54f, 0.66f, 1047.0f, 1047.0f, 3.0f, 0.4f)};
        break;
    case SoundCue::gameOver:
        recipe.totalSeconds = 1.6f;
        recipe.parts = {tone(0.0f, 0.4f, 392.0f, 392.0f, 3.0f, 0.4f), tone(0.3f, 0.4f, 330.0f, 330.0f, 3.0f, 0.4f),
                        tone(0.6f, 0.4f, 262.0f, 262.0f, 3.0f, 0.4f),
                        tone(0.9f, 0.7f, 196.0f, 180.0f, 2.5f, 0.45f)};
        break;
    }
    return recipe;
}

std::vector<std::int16_t> synthesize(const ToneRecipe& recipe, int sampleRate)
{
    const auto length = static_cast<std::size_t>(std::max(0.0f, recipe.totalSeconds) * std::max(sampleRate, 1));
    const std::size_t blend = recipe.loops ? static_cast<std::size_t>(loopBlendSeconds * sampleRate) : 0;
    std::vector<float> mix(length + blend, 0.0f);
    NoiseSource noiseSource; // restarted per sound: the same recipe always gives the same samples
    for (const ToneRecipe::Part& part : recipe.parts)
        render(part, sampleRate, noiseSource, mix);
    // What ran past the end fades out over the start as the start fades in: playing on from
    // the last sample into the first then continues the sound as if it had never wrapped.
    for (std::size_t i = 0; i < blend && i < length; ++i) {
        const float in = static_cast<float>(i) / static_cast<float>(blend);
        mix[i] = mix[i] * in + mix[length + i] * (1.0f - in);
    }
    std::vector<std::int16_t> samples(length);
    for (std::size_t i = 0; i < length; ++i)
        samples[i] = static_cast<std::int16_t>(std::clamp(mix[i], -1.0f, 1.0f) * 32767.0f);
    return samples;
}

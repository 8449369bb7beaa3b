#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "SoundSynth.h"

namespace {

// Pitch of [from, to) seconds from zero crossings: enough for one clean note.
float pitchHz(const std::vector<std::int16_t>& samples, double from, double to)
{
    const auto first = static_cast<std::size_t>(from * soundSampleRate);
    const auto last = std::min(samples.size(), static_cast<std::size_t>(to * soundSampleRate));
    int crossings = 0;
    for (std::size_t i = first + 1; i < last; ++i)
        crossings += (samples[i] >= 0) != (samples[i - 1] >= 0);
    return static_cast<float>(crossings / 2.0 / (to - from));
}

int peakBetween(const std::vector<std::int16_t>& samples, double from, double to)
{
    int peak = 0;
    const auto last = std::min(samples.size(), static_cast<std::size_t>(to * soundSampleRate));
    for (auto i = static_cast<std::size_t>(from * soundSampleRate); i < last; ++i)
        peak = std::max(peak, std::abs(static_cast<int>(samples[i])));
    return peak;
}

// The sounds are made, not loaded: the same numbers every time, each within full scale,
// and every loop ends where it starts, or its seam would click.
TEST(SoundSynth, SoundsAreDeterministicAndLoopsJoinSmoothly)
{
    for (int cue = 0; cue < soundCueCount; ++cue) {
        const ToneRecipe recipe = recipeFor(static_cast<SoundCue>(cue));
        const std::vector<std::int16_t> samples = synthesize(recipe);
        ASSERT_EQ(samples, synthesize(recipe)) << cue;
        const auto peak = *std::max_element(samples.begin(), samples.end(),
                                            [](int a, int b) { return std::abs(a) < std::abs(b); });
        EXPECT_GT(std::abs(peak), 3000) << cue << " is audible";
        EXPECT_LT(std::abs(peak), 32767) << cue << " does not clip";
    }
    for (SoundCue loop : {SoundCue::engine, SoundCue::asteroidPass, SoundCue::lowFuel}) {
        const std::vector<std::int16_t> samples = synthesize(recipeFor(loop));
        EXPECT_LT(std::abs(samples.back() - samples.front()), 1000) << static_cast<int>(loop);
    }
}

TEST(SoundSynth, APartSoundsFromItsStartForItsLengthOnly)
{
    ToneRecipe recipe;
    recipe.totalSeconds = 1.0f;
    ToneRecipe::Part early;
    early.startSeconds = 0.1f;
    early.seconds = 0.2f;
    ToneRecipe::Part late = early; // starts after a span longer than itself
    late.startSeconds = 0.6f;
    recipe.parts = {early, late};
    const std::vector<std::int16_t> samples = synthesize(recipe);
    EXPECT_EQ(peakBetween(samples, 0.0, 0.1), 0);
    EXPECT_GT(peakBetween(samples, 0.1, 0.3), 10000);
    EXPECT_EQ(peakBetween(samples, 0.31, 0.6), 0);
    EXPECT_GT(peakBetween(samples, 0.6, 0.8), 10000);
    EXPECT_EQ(peakBetween(samples, 0.81, 1.0), 0);
}

// Each note heard where it sounds alone: the win climbs a major arpeggio to the octave, the
// game over steps down.
TEST(SoundSynth, TheWinRisesAndTheGameOverFallsNoteByNote)
{
    const std::vector<std::int16_t> won = synthesize(recipeFor(SoundCue::won));
    const float rising[] = {pitchHz(won, 0.02, 0.17), pitchHz(won, 0.31, 0.35), pitchHz(won, 0.49, 0.53),
                            pitchHz(won, 0.7, 1.1)};
    const std::vector<std::int16_t> over = synthesize(recipeFor(SoundCue::gameOver));
    const float falling[] = {pitchHz(over, 0.02, 0.29), pitchHz(over, 0.41, 0.59), pitchHz(over, 0.71, 0.89),
                             pitchHz(over, 1.0, 1.5)};
    const float major[] = {1.0f, 1.26f, 1.5f, 2.0f}; // root, major third, fifth, octave
    for (int note = 1; note < 4; ++note) {
        EXPECT_NEAR(rising[note] / rising[0], major[note], 0.06f) << "note " << note;
        EXPECT_LT(falling[note], falling[note - 1] * 0.9f) << "note " << note;
    }
}

} // namespace

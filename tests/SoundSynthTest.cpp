#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "SoundSynth.h"

namespace {

// The sounds are made, not loaded: the same numbers every time, each within full scale,
// and every loop ends where it starts, or its seam would click.
TEST(SoundSynth, SoundsAreDeterministicAndLoopsJoinSmoothly)
{
    for (int cue = 0; cue < soundCueCount; ++cue) {
        const ToneRecipe recipe = recipeFor(static_cast<SoundCue>(cue));
        const std::vector<std::int16_t> samples = synthesize(recipe);
        ASSERT_EQ(samples, synthesize(recipe)) << cue;
        ASSERT_EQ(samples.size(), static_cast<std::size_t>(recipe.totalSeconds * soundSampleRate)) << cue;
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

} // namespace

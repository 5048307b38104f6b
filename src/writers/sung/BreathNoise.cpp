// Breath noise: white noise from a xorshift generator with its lows (below
// about 1 kHz at 22 050 samples a second) taken out, scaled by a follower of
// the voice's loudness (a few milliseconds behind), so that it is only there
// where the voice is. At the most its power is about a third of the voice's,
// and no sample of it is more than three times the voice's followed loudness.
#include "writers/sung/BreathNoise.h"

#include <cmath>

namespace {

// The follower's and the low cut's steps per sample.
constexpr float kFollow = 0.01F;
constexpr float kLowCut = 0.25F;
constexpr float kMostBreath = 1.5F;
constexpr float kNoiseScale = 1.0F / 2147483648.0F;

}  // namespace

BreathNoise::BreathNoise(uint32_t seed) : state_(seed * 2654435761U | 1U) {}

void BreathNoise::addTo(std::span<float> voice, double share) {
    const auto gain = static_cast<float>(share) * kMostBreath;
    for (float& sample : voice) {
        level_ += (std::abs(sample) - level_) * kFollow;
        if (gain <= 0) continue;
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        const float white = static_cast<float>(state_) * kNoiseScale - 1.0F;
        low_ += (white - low_) * kLowCut;
        sample += gain * level_ * (white - low_);
    }
}

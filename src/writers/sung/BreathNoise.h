// Breathiness heard as breath: a hiss that follows the loudness of the voice
// it is added to, its level a share of the voice's. The same seed gives the
// same hiss, so a song sings the same on every run.
#pragma once

#include <cstdint>
#include <span>

class BreathNoise {
public:
    explicit BreathNoise(uint32_t seed);
    // Adds to `voice` its breath at `share` (0 none .. 1 the most) of its level.
    void addTo(std::span<float> voice, double share);

private:
    uint32_t state_;
    float level_ = 0;  // the voice's loudness, followed
    float low_ = 0;    // the hiss's lows, taken out of it
};

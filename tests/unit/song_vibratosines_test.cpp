// Tests of the kept vibrato sines: every phase gives the sine to the bit, first
// time and again, phases that meet in one slot and the two zeros included.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "song/VibratoSines.h"

namespace {

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TEST(VibratoSines, GiveTheSineToTheBitForPhasesNewAndSeen) {
    std::vector<double> phases = {0.0, -0.0, 1e-300, 3.141592653589793, -2.5, 1e6};
    // Far more phases than slots, so that many meet in one, taken twice over in turn.
    for (int i = 0; i < 20000; ++i) phases.push_back(i * 0.0123456789);
    VibratoSines sines;
    for (int round = 0; round < 2; ++round) {
        for (const double phase : phases) {
            ASSERT_TRUE(sameBits(sines.of(phase), std::sin(phase))) << phase;
        }
    }
    EXPECT_TRUE(std::signbit(sines.of(-0.0)));
    EXPECT_FALSE(std::signbit(sines.of(0.0)));
}

}  // namespace

// Tests of the vibrato sound mapping: the documented period, depth and length
// for the presets' values, the limits, and the swell and fade of the offset.
#include <gtest/gtest.h>

#include "song/VibratoSound.h"

namespace {

TEST(VibratoSound, MapsRateDepthAndLength) {
    const VibratoSound sound = vibratoSound(1, 64, 50, 240, 960);
    EXPECT_TRUE(sound.on);
    EXPECT_EQ(sound.periodMs, 251);
    EXPECT_EQ(sound.depthCents, 50);
    EXPECT_EQ(sound.lengthPercent, 25);
    EXPECT_EQ(sound.startTick, 720);
    EXPECT_EQ(sound.lengthTicks, 240);
    EXPECT_EQ(vibratoSound(3, 127, 127, 10, 30).depthCents, 99);
    EXPECT_EQ(vibratoSound(3, 127, 127, 10, 30).periodMs, 99);
    EXPECT_EQ(vibratoSound(3, 127, 127, 10, 30).lengthPercent, 33);
}

TEST(VibratoSound, HoldsThePeriodWithinItsLimitsAndTheLengthWithinTheNote) {
    EXPECT_EQ(vibratoSound(1, 64, 0, 100, 100).periodMs, kVibratoMaximumPeriodMs);
    EXPECT_EQ(vibratoSound(1, 64, 1, 100, 100).periodMs, kVibratoMaximumPeriodMs);
    const VibratoSound longer = vibratoSound(1, 64, 64, 500, 100);
    EXPECT_EQ(longer.lengthPercent, 100);
    EXPECT_EQ(longer.startTick, 0);
}

TEST(VibratoSound, IsSilentWithoutTypeOrLength) {
    EXPECT_FALSE(vibratoSound(0, 64, 50, 240, 960).on);
    EXPECT_FALSE(vibratoSound(1, 64, 50, 0, 960).on);
    EXPECT_FALSE(vibratoSound(1, 64, 50, 240, 0).on);
    VibratoSines sines;
    EXPECT_EQ(vibratoOffsetCents(VibratoSound{}, 10, 100, sines), 0);
}

TEST(VibratoSound, OffsetSwellsAndFades) {
    const VibratoSound sound = vibratoSound(1, 64, 64, 480, 480);  // 196 ms, 50 cents
    const double quarter = sound.periodMs / 4.0;
    VibratoSines sines;
    // In full swing, a quarter period into a cycle: the peak.
    EXPECT_NEAR(vibratoOffsetCents(sound, 5 * sound.periodMs + quarter, 2000, sines), 50, 1e-6);
    EXPECT_EQ(vibratoOffsetCents(sound, 0, 2000, sines), 0);
    // Half way through the fade-in (200 ms of 2000), half the depth at a peak.
    EXPECT_NEAR(vibratoOffsetCents(sound, quarter, 2000, sines), 50 * quarter / 200, 1e-6);
    EXPECT_EQ(vibratoOffsetCents(sound, 2001, 2000, sines), 0);
}

}  // namespace

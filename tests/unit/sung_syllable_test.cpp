// The sung preview's pieces that need no speech: the spoken pitch found by
// autocorrelation, a syllable's trimming, and a part sung from a syllable of
// known pitch coming out at the length and the pitch asked for.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "writers/sung/PartSinger.h"
#include "writers/sung/SyllableSound.h"

namespace {

constexpr int kRate = 22050;

// A buzz at `hz`: a few harmonics falling off, as a voice has.
std::vector<float> buzz(double hz, double seconds) {
    std::vector<float> samples(static_cast<size_t>(seconds * kRate));
    for (size_t i = 0; i < samples.size(); ++i) {
        const double phase = 2 * std::numbers::pi * hz * static_cast<double>(i) / kRate;
        samples[i] = static_cast<float>(0.5 * std::sin(phase) + 0.3 * std::sin(2 * phase) +
                                        0.15 * std::sin(3 * phase));
    }
    return samples;
}

TEST(SyllableSound, PitchOfABuzzIsItsFundamental) {
    for (const double hz : {90.0, 196.0, 440.0, 880.0}) {
        const auto cents = pitchCents(buzz(hz, 0.2), kRate);
        ASSERT_TRUE(cents.has_value()) << hz;
        EXPECT_NEAR(frequencyOf(*cents), hz, hz * 0.003) << hz;
    }
    // Silence and too short a stretch have no pitch.
    EXPECT_FALSE(pitchCents(std::vector<float>(4000, 0.0F), kRate).has_value());
    EXPECT_FALSE(pitchCents(buzz(200, 0.02), kRate).has_value());
}

TEST(SyllableSound, SilenceAroundASyllableIsTrimmed) {
    std::vector<float> samples(1000, 0.0F);
    const std::vector<float> sound = buzz(220, 0.3);
    samples.insert(samples.end(), sound.begin(), sound.end());
    samples.resize(samples.size() + 500, 0.0F);
    const auto syllable = prepareSyllable(samples, kRate);
    ASSERT_TRUE(syllable.has_value());
    EXPECT_NEAR(static_cast<double>(syllable->samples.size()), static_cast<double>(sound.size()), 5);
    EXPECT_NEAR(frequencyOf(syllable->cents), 220, 1);
    EXPECT_GT(syllable->vowelStart, 0U);
    EXPECT_FALSE(prepareSyllable(std::vector<float>(100, 0.0F), kRate).has_value());
}

// A part three times as long as its syllable and a fifth up: it fills its
// length, sounds at the new pitch, and is silent after its end.
TEST(PartSinger, SingsTheLengthAndThePitchAskedFor) {
    const auto syllable = prepareSyllable(buzz(200, 0.3), kRate);
    ASSERT_TRUE(syllable.has_value());
    const std::unique_ptr<PartSinger> singer = createPartSinger(kRate);
    const size_t length = static_cast<size_t>(0.9 * kRate);
    singer->start(*syllable, length);
    const double wanted = syllable->cents + 700;
    std::vector<float> out(length + 1000);
    for (size_t at = 0; at < out.size(); at += 128) {
        std::span<float> block = std::span<float>(out).subspan(at, std::min<size_t>(128, out.size() - at));
        singer->sing(block, wanted);
    }
    for (size_t i = length; i < out.size(); ++i) ASSERT_EQ(out[i], 0.0F) << i;
    double late = 0;
    for (size_t i = length * 3 / 4; i < length * 3 / 4 + 2000; ++i) late += std::abs(out[i]);
    EXPECT_GT(late / 2000, 0.05);  // the vowel still sounds near the end
    const std::span<const float> middle = std::span<const float>(out).subspan(length / 3, length / 3);
    const auto sung = pitchCents(middle, kRate);
    ASSERT_TRUE(sung.has_value());
    EXPECT_NEAR(*sung, wanted, 15);
}

}  // namespace

// Trimming, the vowel's start and the spoken pitch of a syllable.
#include "writers/sung/SyllableSound.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// Quieter than this share of the syllable's peak counts as silence.
constexpr float kSilenceShare = 0.02F;
// The consonant: at most this much of the syllable, and at most kConsonantMs.
constexpr double kConsonantShare = 0.3;
constexpr double kConsonantMs = 70;
constexpr double kLowestHz = 55;
constexpr double kHighestHz = 1000;
// A period is found when the signal matches itself that well one period on.
constexpr double kLeastCorrelation = 0.5;
constexpr double kNearHighest = 0.9;
// The pitch taken for a syllable whose period cannot be found (a whisper):
// middle C.
constexpr double kUnknownCents = 6000;
constexpr double kA4Cents = 6900;
constexpr double kA4Hz = 440;

}  // namespace

double frequencyOf(double cents) { return kA4Hz * std::exp2((cents - kA4Cents) / 1200.0); }

std::optional<double> pitchCents(std::span<const float> samples, int rate) {
    const auto shortest = static_cast<size_t>(rate / kHighestHz);
    const auto longest = static_cast<size_t>(rate / kLowestHz);
    if (samples.size() < 3 * longest + 1) return std::nullopt;
    // A window of two longest periods from the middle, compared with itself
    // one lag on.
    const size_t window = 2 * longest;
    const size_t from = (samples.size() - window - longest - 1) / 2;
    const std::span<const float> part = samples.subspan(from, window + longest + 1);
    // Normalised correlation at every lag; the period is the first peak
    // nearly as high as the highest (later ones are its multiples).
    auto correlationAt = [&](size_t lag) {
        double cross = 0, energyA = 0, energyB = 0;
        for (size_t i = 0; i < window; ++i) {
            cross += part[i] * part[i + lag];
            energyA += part[i] * part[i];
            energyB += part[i + lag] * part[i + lag];
        }
        return energyA > 0 && energyB > 0 ? cross / std::sqrt(energyA * energyB) : 0.0;
    };
    std::vector<double> correlation(longest + 2, 0.0);
    double highest = 0;
    for (size_t lag = shortest; lag <= longest + 1; ++lag) {
        correlation[lag] = correlationAt(lag);
        highest = std::max(highest, correlation[lag]);
    }
    size_t bestLag = 0;
    for (size_t lag = shortest + 1; lag <= longest && bestLag == 0; ++lag) {
        if (correlation[lag] >= kNearHighest * highest && correlation[lag] >= correlation[lag - 1] &&
            correlation[lag] >= correlation[lag + 1])
            bestLag = lag;
    }
    const double best = bestLag != 0 ? correlation[bestLag] : 0;
    if (bestLag == 0 || best < kLeastCorrelation) return std::nullopt;
    // The peak between its neighbours' lags, fitted by a parabola.
    double lag = static_cast<double>(bestLag);
    {
        const double left = correlation[bestLag - 1], middle = best, right = correlation[bestLag + 1];
        const double curve = left - 2 * middle + right;
        if (curve < 0) lag += 0.5 * (left - right) / curve;
    }
    return kA4Cents + 1200.0 * std::log2(rate / lag / kA4Hz);
}

std::optional<SyllableSound> prepareSyllable(std::vector<float> samples, int rate) {
    float peak = 0;
    for (const float sample : samples) peak = std::max(peak, std::abs(sample));
    if (peak <= 0) return std::nullopt;
    const float floor = peak * kSilenceShare;
    auto loud = [&](float sample) { return std::abs(sample) >= floor; };
    const auto first = std::find_if(samples.begin(), samples.end(), loud);
    const auto last = std::find_if(samples.rbegin(), samples.rend(), loud).base();
    SyllableSound sound;
    sound.samples.assign(first, last);
    const double length = static_cast<double>(sound.samples.size());
    sound.vowelStart = static_cast<size_t>(
        std::min(length * kConsonantShare, kConsonantMs * rate / 1000.0));
    const std::span<const float> vowel = std::span<const float>(sound.samples).subspan(sound.vowelStart);
    sound.cents = pitchCents(vowel, rate).value_or(kUnknownCents);
    return sound;
}

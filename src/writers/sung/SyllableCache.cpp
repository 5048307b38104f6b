// The bounded cache of spoken syllables.
#include "writers/sung/SyllableCache.h"

#include <algorithm>
#include <cmath>

#include "writers/sung/SpeechVoice.h"

namespace {

constexpr size_t kMostSyllables = 256;
// The speaking pitches used: so many steps from the lowest to the highest.
constexpr int kPitchSteps = 8;
// The syllable a variant's pitch range is measured on: "a".
constexpr const char* kCalibration = "\xE3\x81\x82";
// A longer lyric is cut (at a character's start) before it is spoken: a
// syllable is a few characters, and the cut bounds what one note costs.
constexpr size_t kLongestText = 48;

std::string_view shortened(std::string_view utf8) {
    if (utf8.size() <= kLongestText) return utf8;
    size_t cut = kLongestText;
    while (cut > 0 && (static_cast<unsigned char>(utf8[cut]) & 0xC0) == 0x80) --cut;
    return utf8.substr(0, cut);
}

}  // namespace

std::shared_ptr<const SyllableSound> SyllableCache::spoken(const std::string& text, int variant,
                                                           int pitch) {
    Key key{text, variant, pitch};
    if (const auto found = spoken_.find(key); found != spoken_.end()) return found->second;
    if (spoken_.size() >= kMostSyllables) spoken_.clear();
    std::shared_ptr<const SyllableSound> sound;
    if (!text.empty()) {
        if (auto prepared = prepareSyllable(voice_.speak(text, variant, pitch), voice_.sampleRate()))
            sound = std::make_shared<const SyllableSound>(std::move(*prepared));
    }
    spoken_.emplace(std::move(key), sound);
    return sound;
}

int SyllableCache::speakingPitch(int variant, double cents) {
    auto found = ranges_.find(variant);
    if (found == ranges_.end()) {
        const auto lowest = spoken(kCalibration, variant, 0);
        const auto highest = spoken(kCalibration, variant, SpeechVoice::kHighestPitch);
        Range range{0, 0};
        if (lowest && highest) range = {lowest->cents, highest->cents};
        found = ranges_.emplace(variant, range).first;
    }
    const Range& range = found->second;
    if (range.highest <= range.lowest) return SpeechVoice::kHighestPitch / 2;
    // Speaking pitches are close to even steps of cents.
    const double share = std::clamp((cents - range.lowest) / (range.highest - range.lowest), 0.0, 1.0);
    const int steps = static_cast<int>(std::lround(share * kPitchSteps));
    return steps * SpeechVoice::kHighestPitch / kPitchSteps;
}

std::shared_ptr<const SyllableSound> SyllableCache::syllable(std::string_view utf8, int variant,
                                                            double cents) {
    return spoken(std::string(shortened(utf8)), variant, speakingPitch(variant, cents));
}

// The bounded cache of spoken syllables.
#include "writers/sung/SyllableCache.h"

#include "writers/sung/SpeechVoice.h"

namespace {

constexpr size_t kMostSyllables = 256;
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

std::shared_ptr<const SyllableSound> SyllableCache::syllable(std::string_view utf8, int variant) {
    std::pair<std::string, int> key(shortened(utf8), variant);
    if (const auto found = spoken_.find(key); found != spoken_.end()) return found->second;
    if (spoken_.size() >= kMostSyllables) spoken_.clear();
    std::shared_ptr<const SyllableSound> sound;
    if (!key.first.empty()) {
        if (auto prepared = prepareSyllable(voice_.speak(key.first, variant), voice_.sampleRate()))
            sound = std::make_shared<const SyllableSound>(std::move(*prepared));
    }
    spoken_.emplace(std::move(key), sound);
    return sound;
}

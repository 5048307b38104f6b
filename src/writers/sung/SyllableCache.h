// The syllables of a run spoken once each: a song sings few distinct
// syllables many times. The cache holds a bounded number of them and starts
// afresh when full; a syllable being sung stays alive with its singer.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "writers/sung/SyllableSound.h"

class SpeechVoice;

class SyllableCache {
public:
    explicit SyllableCache(SpeechVoice& voice) : voice_(voice) {}
    // `utf8` spoken with voice variant `variant`; null when it makes no sound.
    std::shared_ptr<const SyllableSound> syllable(std::string_view utf8, int variant);

private:
    SpeechVoice& voice_;
    std::map<std::pair<std::string, int>, std::shared_ptr<const SyllableSound>> spoken_;
};

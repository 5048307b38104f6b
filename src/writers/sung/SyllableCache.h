// The syllables of a run spoken once each: a song sings few distinct
// syllables many times. Each is spoken at the speaking pitch nearest the
// pitch it is to be sung at (found from each voice variant's lowest and
// highest pitch), so that the stretcher moves it as little as it can. The
// cache holds a bounded number of them and starts afresh when full; a
// syllable being sung stays alive with its singer.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "writers/sung/SyllableSound.h"

class SpeechVoice;

class SyllableCache {
public:
    explicit SyllableCache(SpeechVoice& voice) : voice_(voice) {}
    // `utf8` spoken with voice variant `variant`, for singing near `cents`
    // (note number · 100); null when it makes no sound.
    std::shared_ptr<const SyllableSound> syllable(std::string_view utf8, int variant, double cents);

private:
    // The speaking pitch of `variant` nearest `cents`, in steps.
    int speakingPitch(int variant, double cents);
    std::shared_ptr<const SyllableSound> spoken(const std::string& text, int variant, int pitch);

    struct Key {
        std::string text;
        int variant;
        int pitch;
        auto operator<=>(const Key&) const = default;
    };
    // A variant's pitch in cents at the lowest and the highest speaking pitch.
    struct Range {
        double lowest;
        double highest;
    };
    SpeechVoice& voice_;
    std::map<Key, std::shared_ptr<const SyllableSound>> spoken_;
    std::map<int, Range> ranges_;
};

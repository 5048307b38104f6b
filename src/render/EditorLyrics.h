// The lyric each sung part carries into the files an editor sings from (the
// OpenUtau project and the UTAU sequences). A voicebank sings kana aliases,
// so these files cannot keep what only the VSQ file understands:
//   - a held vowel's long-vowel mark becomes the kana of its vowel (HeldVowel.h);
//   - a note given phonetic symbols ("[k' i]", shown as "a") becomes the kana
//     whose dictionary entry gives those symbols, or else the symbols as the
//     editors' phonetic hint "[k' i]";
//   - with the hiragana option, katakana syllables become hiragana.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <utility>

#include "render/VoiceTrack.h"

class Song;

// The kana spelling of the phonetic symbols a song's notes give directly: the
// first dictionary key (in the dictionary's own order) that gives each.
class PhoneticSpellings {
public:
    PhoneticSpellings() = default;
    // Wanting the symbols of every note of `song` given them directly; wanting
    // nothing when no note is.
    explicit PhoneticSpellings(const Song& song);

    // True when some symbols still want a spelling: only then need the
    // dictionary be read through.
    bool wantsAny() const { return wanted_ > 0; }
    // Offers `kana` (code page 932 bytes) as the spelling of `symbols`; kept
    // when those symbols are wanted and have none yet.
    void offer(std::string_view symbols, std::string_view kana);
    // The spelling of `symbols`; empty when there is none.
    std::string_view kana(std::string_view symbols) const;

private:
    // By the symbols separated by single blanks; an empty spelling is wanted.
    std::map<std::string, std::string, std::less<>> spellings_;
    size_t wanted_ = 0;
};

class EditorLyrics {
public:
    EditorLyrics() = default;
    EditorLyrics(PhoneticSpellings spellings, bool hiragana)
        : spellings_(std::move(spellings)), hiragana_(hiragana) {}

    // The lyric (code page 932 bytes) an editor sings for `part`.
    std::string of(const NotePart& part) const;

private:
    PhoneticSpellings spellings_;
    bool hiragana_ = false;
};

// `text` (code page 932 bytes) with every katakana syllable in hiragana; as it
// is when a katakana in it has no hiragana in code page 932 (ヴ, ヵ, ヶ), as a
// syllable half in each script would be no voicebank's alias.
std::string katakanaAsHiragana(std::string_view text);

// How each note's syllable is written in a lyric so that the compiler gives
// the note the same lyric text and phonetic symbols: the text itself where the
// dictionary gives those symbols, a long-vowel mark where the note holds the
// vowel of the note before, the symbols in brackets where the text is "a".
// Syllables no dictionary entry gives get one of their own in a small
// dictionary written beside the MML, which then lists every syllable the song
// sings (it replaces the default one when the song is compiled).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "import/ImportedSong.h"
#include "mml/TrackScore.h"
#include "import/SyllableDictionary.h"

enum class SyllableForm : uint8_t {
    Text,       // the lyric text, looked up in the dictionary
    LongVowel,  // the long-vowel mark the text is
    Symbols,    // "[symbols]": the compiler shows the text "a"
};

struct SyllableSpelling {
    SyllableForm form = SyllableForm::Text;
    std::string written;  // the text, the mark or "[symbols]"
};

// The dictionary beside the MML: each syllable's text and symbols.
class SongDictionary final : public SyllableDictionary {
public:
    // `given` is what the dictionary the song was checked against gives the
    // text (null for nothing); the file says where the entry differs.
    void add(const std::string& text, const std::string& symbols, const char* given);
    bool empty() const { return entries_.empty(); }
    const char* lookup(const char16_t* codes, size_t& matched) const override;
    // The file's text: a comment naming the song, then one line per syllable.
    std::string fileText(const std::string& mmlName) const;

private:
    struct Entry {
        std::string symbols;
        std::string note;  // a comment: how the entry differs from the dictionary's
    };
    std::map<std::u16string, Entry> entries_;  // by character codes
    size_t longestKey_ = 0;
};

class LyricPlan {
public:
    // Plans the lyrics of the printed notes of the scores of the song's voice
    // tracks, against `dictionary` (the one the song is compiled with unless a
    // song dictionary is needed).
    LyricPlan(ImportedSong& song, const std::vector<TrackScore>& scores, const SyllableDictionary& dictionary);

    // The spelling of the first (or only) syllable of printed note `index` of
    // `track`, and of the second syllable of a split note.
    const SyllableSpelling& first(size_t track, size_t index) const { return spellings_[first_[track][index]]; }
    const SyllableSpelling& second(size_t track, size_t index) const { return spellings_[second_[track][index]]; }
    // True when the note sings the syllable a note without a lyric sings: a
    // track whose notes all do needs no lyric.
    bool singsDefault(size_t track, size_t index) const { return default_[track][index] != 0; }

    // The dictionary the song is compiled with and its syllables are cut by.
    const SyllableDictionary& dictionary() const { return *dictionary_; }
    // The song's own dictionary; empty when the given one serves.
    const SongDictionary& songDictionary() const { return songDictionary_; }

private:
    SongDictionary songDictionary_;
    const SyllableDictionary* dictionary_;
    // Each spelling once; the notes hold its index (the first is empty).
    std::vector<SyllableSpelling> spellings_;
    std::map<std::pair<SyllableForm, std::string>, uint32_t> spellingIndices_;
    std::vector<std::vector<uint32_t>> first_;
    std::vector<std::vector<uint32_t>> second_;
    std::vector<std::vector<uint8_t>> default_;

    uint32_t indexOf(SyllableSpelling spelling);
};

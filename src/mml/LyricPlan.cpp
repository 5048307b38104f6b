// Planning the lyrics: what the dictionary gives, where a song dictionary is
// needed, and the fallbacks for texts a source cannot hold.
#include "mml/LyricPlan.h"

#include <algorithm>

#include "import/PhoneticSpelling.h"
#include "mml/SourceText.h"
#include "song/Song.h"
#include "text/CharCode.h"

namespace {

// The symbols `dictionary` gives `text` as one whole syllable; null when it
// gives none or matches only part of it.
const char* symbolsOf(const SyllableDictionary& dictionary, const std::string& text) {
    const std::u16string codes = characterCodes(text);
    size_t matched = 0;
    const char* symbols = dictionary.lookup(codes.c_str(), matched);
    return symbols != nullptr && matched == codes.size() ? symbols : nullptr;
}

bool givesSymbols(const SyllableDictionary& dictionary, const ImportedLyric& lyric) {
    const char* symbols = fitsAsSyllable(lyric.text) ? symbolsOf(dictionary, lyric.text) : nullptr;
    return symbols != nullptr && lyric.symbols == symbols;
}

// True when the note holds the vowel of `before` (the note ahead of it, null
// for a track's first note) under a long-vowel mark.
bool holdsVowel(const ImportedLyric& lyric, const std::string* before) {
    return before != nullptr && isLongVowelLyric(lyric.text) && lyric.symbols == vowelOf(*before);
}

// Every syllable that would be looked up in a dictionary: each text with the
// symbols it is sung with and how often.
using SyllableUses = std::map<std::string, std::map<std::string, size_t>>;

}  // namespace

void SongDictionary::add(const std::string& text, const std::string& symbols, const char* given) {
    const std::u16string codes = characterCodes(text);
    longestKey_ = std::max(longestKey_, codes.size());
    std::string note;
    if (given == nullptr) {
        note = "not in the dictionary";
    } else if (symbols != given) {
        note = std::string("the dictionary gives [") + given + "]";
    }
    entries_.emplace(codes, Entry{symbols, note});
}

const char* SongDictionary::lookup(const char16_t* codes, size_t& matched) const {
    size_t available = 0;
    while (available < longestKey_ && codes[available] != 0) ++available;
    for (size_t length = available; length > 0; --length) {
        const auto found = entries_.find(std::u16string(codes, length));
        if (found != entries_.end()) {
            matched = length;
            return found->second.symbols.c_str();
        }
    }
    return nullptr;
}

std::string SongDictionary::fileText(const std::string& mmlName) const {
    std::string text = "; The phonetic symbols of every syllable " + mmlName +
                       " sings: compile it with this dictionary (option -p).\n";
    for (const auto& [codes, entry] : entries_) {
        text.append(codesToBytes(codes)).append(" : [").append(entry.symbols).append("]");
        if (!entry.note.empty()) text.append("  ; ").append(entry.note);
        text.append("\n");
    }
    return text;
}

uint32_t LyricPlan::indexOf(SyllableSpelling spelling) {
    const auto [found, added] = spellingIndices_.try_emplace({spelling.form, spelling.written},
                                                             static_cast<uint32_t>(spellings_.size()));
    if (added) spellings_.push_back(std::move(spelling));
    return found->second;
}

LyricPlan::LyricPlan(ImportedSong& song, const std::vector<TrackScore>& scores, const SyllableDictionary& dictionary)
    : dictionary_(&dictionary) {
    indexOf({});
    // Only the voice tracks' scores have notes.
    std::vector<const std::vector<PrintedNote>*> printed;
    for (size_t k = 0; k < song.tracks.size(); ++k) printed.push_back(&scores[k].notes);
    // Which syllables would need a dictionary of their own, and every
    // syllable looked up, with its symbols.
    SyllableUses uses;
    bool ownNeeded = false;
    // The text "a" is what symbols in brackets show: it needs no entry.
    const auto countUse = [&](const ImportedLyric& lyric) {
        if (!fitsAsSyllable(lyric.text) || !fitsInBrackets(lyric.symbols) || lyric.text == "a") return;
        ++uses[lyric.text][lyric.symbols];
        if (!givesSymbols(dictionary, lyric)) ownNeeded = true;
    };
    for (size_t k = 0; k < printed.size(); ++k) {
        const ImportedTrack& track = song.tracks[k];
        const std::string* before = nullptr;
        for (const PrintedNote& note : *printed[k]) {
            const ImportedLyric& lyric = song.lyricOf(track.notes[note.part]);
            if (!holdsVowel(lyric, before)) countUse(lyric);
            if (note.split) countUse(song.lyricOf(track.notes[note.part + 1u]));
            before = &lyric.symbols;
        }
    }
    if (ownNeeded) {
        // Each text gets the symbols it is sung with most often; the ones the
        // given dictionary gives where that is a tie.
        for (const auto& [text, sung] : uses) {
            const char* given = symbolsOf(dictionary, text);
            const auto most = std::max_element(sung.begin(), sung.end(), [&](const auto& a, const auto& b) {
                if (a.second != b.second) return a.second < b.second;
                return given != nullptr && b.first == given;
            });
            songDictionary_.add(text, most->first, given);
        }
        dictionary_ = &songDictionary_;
    }

    const ImportedLyric kDefault{kDefaultLyricText, kDefaultLyricSymbols};
    NotCarried& lost = song.notCarried;
    const auto spell = [&](const ImportedLyric& lyric, const std::string* before, bool maySplitOff) {
        if (maySplitOff && holdsVowel(lyric, before)) return SyllableSpelling{SyllableForm::LongVowel, lyric.text};
        if (givesSymbols(*dictionary_, lyric)) return SyllableSpelling{SyllableForm::Text, lyric.text};
        if (fitsInBrackets(lyric.symbols)) {
            if (lyric.text != "a") {
                lost.note("lyric texts a source cannot hold, or sung with other symbols than the dictionary "
                          "gives the same text elsewhere: sung from their phonetic symbols, shown as \"a\"");
            }
            return SyllableSpelling{SyllableForm::Symbols, "[" + lyric.symbols + "]"};
        }
        lost.note("phonetic symbols a source cannot hold: the note sings the default syllable");
        return SyllableSpelling{SyllableForm::Symbols, std::string("[") + kDefaultLyricSymbols + "]"};
    };
    // The symbols each note ends up with, so that a long-vowel mark is
    // checked against what the note before it really sings.
    for (size_t k = 0; k < printed.size(); ++k) {
        const ImportedTrack& track = song.tracks[k];
        const std::vector<PrintedNote>& notes = *printed[k];
        auto& firsts = first_.emplace_back();
        auto& seconds = second_.emplace_back();
        auto& defaults = default_.emplace_back();
        firsts.reserve(notes.size());
        seconds.resize(notes.size());
        defaults.reserve(notes.size());
        std::string before;
        bool hasBefore = false;
        for (size_t i = 0; i < notes.size(); ++i) {
            const PrintedNote& note = notes[i];
            const ImportedLyric& lyric = song.lyricOf(track.notes[note.part]);
            SyllableSpelling spelling = spell(lyric, hasBefore ? &before : nullptr, true);
            defaults.push_back(lyric == kDefault && !note.split);
            if (spelling.form == SyllableForm::Symbols) {
                before = spelling.written.substr(1, spelling.written.size() - 2);
            } else {
                before = lyric.symbols;
            }
            hasBefore = true;
            firsts.push_back(indexOf(std::move(spelling)));
            if (note.split) seconds[i] = indexOf(spell(song.lyricOf(track.notes[note.part + 1u]), nullptr, false));
        }
    }
}

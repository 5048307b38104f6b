// The lyric walk: a lyric text is cut into syllables, each turned into phonetic
// symbols and given to the next note of the track that has none yet. '&' splits
// a note between two syllables, long-vowel marks repeat the previous vowel, a
// small tsu shortens the previous note and brackets give symbols directly.
#include <algorithm>
#include <string>
#include <string_view>

#include "compile/CompilerImpl.h"
#include "diag/Messages.h"
#include "parse/PhoneticDictionary.h"
#include "song/ClampToInt32.h"
#include "song/Song.h"
#include "text/CharCode.h"

namespace {

constexpr int32_t kSplitOffset = 60;
// Notes of this length or shorter (below a dotted 32nd) are not split.
constexpr int32_t kShortestSplitNote = 89;
// A small tsu cuts the previous note to this length.
constexpr int32_t kSmallTsuLength = 120;

bool isBlank(int code) {
    return code == '\t' || code == '\n' || code == '\r' || code == ' ' || code == 0x8140;
}
bool isSmallTsu(int code) { return code == 0x82C1 || code == 0x8362; }

// Replaces `out` with the bytes of the codes in [begin, end).
void assignCodeBytes(CompactText& out, const char16_t* begin, const char16_t* end) {
    out.assign(codesToBytes(std::u16string_view(begin, static_cast<size_t>(end - begin))));
}

// One track's walk over one lyric text.
class LyricWalk {
public:
    LyricWalk(CompilerImpl& compiler, TrackState& state)
        : compiler_(compiler), state_(state), notes_(state.track->notes),
          waitingNotes_(static_cast<int64_t>(notes_.size() - cursor())) {}

    void run(const char16_t* chars) {
        chars_ = chars;
        const char16_t* p = chars;
        while (*p != 0) {
            const int code = *p;
            if (isBlank(code)) {
                ++p;
                continue;
            }
            if (code == '&') {
                if (joinPending_) compiler_.warning(msg::kLyricAmpersandRepeated);
                joinPending_ = true;
                ++p;
                continue;
            }
            const char16_t* next = nullptr;
            if (isLongVowelMark(code)) {
                if (!longVowel(p)) return;
                next = p + 1;
            } else if (isSmallTsu(code)) {
                if (!smallTsu(code)) return;
                next = p + 1;
            } else if (code == '[') {
                next = bracket(p);
            } else {
                next = syllable(p);
            }
            if (next == nullptr) return;
            joinPending_ = false;
            p = next;
        }
        if (joinPending_) compiler_.error(msg::kNoLyricAfterAmpersand);
    }

private:
    // The index of the next note to receive a syllable; never past the notes.
    size_t cursor() const {
        return state_.lyricCursor <= 0
                   ? 0
                   : std::min(static_cast<size_t>(state_.lyricCursor), notes_.size());
    }

    // Repeats the vowel of the previous note's (first) lyric on the next note.
    bool longVowel(const char16_t* mark) {
        if (cursor() == 0) {
            compiler_.error(msg::kLyricStartsWithLongVowel);
            return false;
        }
        if (cursor() >= notes_.size()) {
            moreSyllablesThanNotes(mark);
            return false;
        }
        const std::string_view previous = notes_[cursor() - 1].lyric.symbols;
        const size_t blank = previous.rfind(' ');
        const std::string_view vowel =
            blank == std::string_view::npos ? previous : previous.substr(blank + 1);
        Lyric& lyric = notes_[cursor()].lyric;
        assignCodeBytes(lyric.text, mark, mark + 1);
        lyric.symbols.assign(vowel);
        traced(mark, mark + 1, cursor());
        sung(cursor());
        state_.lyricCursor = static_cast<int32_t>(cursor() + 1);
        return true;
    }

    // Shortens the previous note; the small tsu takes no note of its own, but
    // the note keeps it for the files people read.
    bool smallTsu(int code) {
        if (cursor() == 0) {
            compiler_.error(msg::kLyricStartsWithSmallTsu);
            return false;
        }
        NoteEvent& note = notes_[cursor() - 1];
        // Only the sounding length is cut: the vibrato keeps the length it
        // got from the note as written.
        if (note.length > kSmallTsuLength) note.length = kSmallTsuLength;
        state_.track->setSmallTsuAfter(cursor() - 1, code);
        return true;
    }

    // "[symbols]": the symbols as written, with the lyric text "a". Returns the
    // position after ']' or null when the walk stops.
    const char16_t* bracket(const char16_t* open) {
        const char16_t* close = open + 1;
        for (; *close != ']'; ++close) {
            // Symbols are printable ASCII: a control character (a carriage
            // return above all) would break the VSQ file's line.
            if (*close < 0x20 || *close >= 0x7F) {
                compiler_.error(msg::kCloseBracketRequired);
                return nullptr;
            }
        }
        if (close == open + 1) {
            compiler_.error(msg::kEmptyPhoneticSymbols);
            return nullptr;
        }
        bool stop = false;
        Lyric* target = claim(open, stop);
        if (stop) return nullptr;
        if (target != nullptr) {
            target->text.assign(kPhoneticLyricText);
            assignCodeBytes(target->symbols, open + 1, close);
            traced(open, close + 1, landingNote());
            commit();
        }
        return close + 1;
    }

    // A syllable looked up in the dictionary. Returns the position after the
    // matched characters or null when the walk stops.
    const char16_t* syllable(const char16_t* start) {
        const char16_t* rest = start;
        const PhoneticDictionary* dictionary = compiler_.dictionary;
        const char* symbols = dictionary != nullptr ? dictionary->lookup(start, &rest) : nullptr;
        if (symbols == nullptr) {
            const std::string detail = "'" + codesToBytes(std::u16string_view(start, 1)) + "'";
            compiler_.error(msg::kLyricNotConvertible, detail);
            return nullptr;
        }
        if (rest <= start) rest = start + 1;  // a match covers at least one character
        bool stop = false;
        Lyric* target = claim(start, stop);
        if (stop) return nullptr;
        if (target != nullptr) {
            assignCodeBytes(target->text, start, rest);
            target->symbols.assign(symbols);
            traced(start, rest, landingNote());
            commit();
        }
        return rest;
    }

    // The lyric that the syllable at `syllable` goes to: the next note's lyric,
    // or with a pending '&' the previous note's second lyric. Null when the
    // syllable is dropped; `stop` is set when the walk ends with an error.
    Lyric* claim(const char16_t* syllable, bool& stop) {
        if (!joinPending_) {
            if (cursor() < notes_.size()) return &notes_[cursor()].lyric;
            moreSyllablesThanNotes(syllable);
            stop = true;
            return nullptr;
        }
        if (cursor() == 0) {
            compiler_.error(msg::kLyricStartsWithAmpersand);
            stop = true;
            return nullptr;
        }
        const NoteEvent& previous = notes_[cursor() - 1];
        if (previous.splitOffset != 0) {
            compiler_.error(msg::kOnlyOneSplit);
            stop = true;
            return nullptr;
        }
        if (previous.length <= kShortestSplitNote) {
            compiler_.warning(msg::kSplitIgnoredShortNote);
            return nullptr;
        }
        return &state_.track->editSecondLyric(cursor() - 1);
    }

    // Completes the placement of the syllable written into the claimed lyric.
    void commit() {
        if (!joinPending_) {
            const size_t index = cursor();
            sung(index);
            state_.lyricCursor = static_cast<int32_t>(index + 1);
            if (!notes_[index].joined) compiler_.layEnvelopes(state_, index);
            return;
        }
        NoteEvent& note = notes_[cursor() - 1];
        note.splitOffset = kSplitOffset;
        const int32_t room = note.length - kSplitOffset;
        if (note.vibrato.type != 0 && room < note.vibrato.length) note.vibrato.length = room;
    }

    // The note the syllable just claimed belongs to.
    size_t landingNote() const { return joinPending_ ? cursor() - 1 : cursor(); }

    // Keeps, for an editor, where the syllable [begin, end) stands in the
    // lyric string (one line, a character a column, after the opening quote)
    // and the note it went to.
    void traced(const char16_t* begin, const char16_t* end, size_t note) {
        SourceTrace* trace = compiler_.trace;
        if (trace == nullptr || compiler_.currentPlace == nullptr) return;
        SourceLocation written = compiler_.currentPlace->written;
        written.column = clampToInt32(int64_t{written.column} + 1 + (begin - chars_));
        written.endColumn = clampToInt32(int64_t{written.column} + (end - begin));
        trace->land(state_.number - 1, static_cast<uint32_t>(trace->syllables.size()), note);
        trace->syllables.push_back({written, codesToBytes(std::u16string_view(
                                                 begin, static_cast<size_t>(end - begin)))});
    }

    void sung(size_t index) {
        if (placed_ == 0 && compiler_.currentPlace != nullptr) {
            state_.sungLyrics.push_back({index, compiler_.currentPlace->written});
        }
        ++placed_;
        if (index < state_.sung.size()) state_.sung[index] = true;
    }

    // The syllable at `leftOver` finds no note: the error, and for the hint the
    // syllables of the whole lyric that each need a note, and the first one left.
    void moreSyllablesThanNotes(const char16_t* leftOver) {
        compiler_.error(msg::kMoreLyricsThanNotes);
        const char16_t* end = leftOver;
        int64_t remaining = 0;
        countSyllables(leftOver, end, remaining);
        compiler_.surplusLyric(state_, placed_ + remaining, waitingNotes_,
                               codesToBytes(std::u16string_view(leftOver, static_cast<size_t>(end - leftOver))));
    }

    // Counts, from `p` to the lyric's end, the syllables that would each take a
    // note by the walk's rules (a syllable after '&' and a small tsu take none),
    // and sets `firstEnd` after the first of them. A character the dictionary
    // does not know counts as one syllable.
    void countSyllables(const char16_t* p, const char16_t*& firstEnd, int64_t& count) const {
        bool join = false;
        while (*p != 0) {
            const int code = *p;
            if (isBlank(code) || code == '&') {
                join = join || code == '&';
                ++p;
                continue;
            }
            const char16_t* next = p + 1;
            bool takesNote = !join;
            if (isLongVowelMark(code)) {
                takesNote = true;  // a mark ignores a pending '&'
            } else if (isSmallTsu(code)) {
                takesNote = false;
            } else if (code == '[') {
                while (*next != 0 && *next != ']') ++next;
                if (*next == ']') ++next;
            } else {
                const PhoneticDictionary* dictionary = compiler_.dictionary;
                const char16_t* rest = next;
                if (dictionary != nullptr && dictionary->lookup(p, &rest) != nullptr && rest > p)
                    next = rest;
            }
            if (takesNote && ++count == 1) firstEnd = next;
            join = false;
            p = next;
        }
    }

    CompilerImpl& compiler_;
    TrackState& state_;
    const char16_t* chars_ = nullptr;  // the lyric's first character
    std::vector<NoteEvent>& notes_;
    const int64_t waitingNotes_;  // notes without a syllable when the walk began
    int64_t placed_ = 0;          // syllables this walk gave a note of their own
    bool joinPending_ = false;
};

}  // namespace

void CompilerImpl::lyricsForTrack(TrackState& state, const char16_t* chars) {
    if (chars == nullptr) return;
    LyricWalk(*this, state).run(chars);
}

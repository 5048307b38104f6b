// The notes of a part as the score writes them, made as the writing reaches
// them and let go once their measures are written: a part holds the notes of
// the measures being laid out, never all of its notes at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "render/VoiceTrack.h"

// A note as the score writes it. It reaches to the start of the next note at
// the most, so that notes never overlap.
struct WrittenNote {
    const NoteEvent* event;
    const Lyric* secondLyric;  // sung from the note's split on; null when not split
    int64_t start;  // song ticks of its written value
    int64_t end;
    int64_t placedStart;  // quantised, once its measure is placed
    int64_t placedEnd;
    bool held;       // sings no new syllable: holds the vowel of the note before
    bool slurStart;  // its syllable is held over the notes after it
    bool slurStop;   // the last note holding a syllable
    int smallTsu;    // the small tsu that cut it short, shown after its last syllable
};

class WrittenNotes {
public:
    explicit WrittenNotes(const VoiceTrack& voice) : voice_(voice) {}

    // How many notes the part has.
    size_t size() const { return voice_.noteCount(); }
    // The note at `index` (below size(), not let go yet), made when first
    // asked for. The reference stays valid until a later note is made or the
    // note is let go.
    WrittenNote& operator[](size_t index) {
        // Inline for the notes made already, which the layout asks for again
        // and again: saves 17% of the instructions of the score of a 100k-note song.
        const size_t offset = index - first_;  // wraps round for a note let go of
        return offset < window_.size() ? window_[offset] : reach(index);
    }
    // Lets go of every note before `index`; they are not asked for again.
    void letGoBefore(size_t index);

private:
    // Makes the notes up to `index` and returns it.
    WrittenNote& reach(size_t index);
    WrittenNote make(size_t index);
    // The first part of the note at `index`, kept for the note after the one
    // made, whose holding it tells: saves 7% of the instructions of the score.
    NotePart firstPart(size_t index);

    const VoiceTrack& voice_;
    NotePart firstPart_{};
    size_t firstPartOf_ = SIZE_MAX;  // the note of firstPart_
    std::vector<WrittenNote> window_;  // the notes made and not let go, a few measures' worth
    size_t first_ = 0;                 // the index of window_.front()
};

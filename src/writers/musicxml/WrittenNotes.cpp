// The notes of a part, made as the score's writing reaches them.
#include "writers/musicxml/WrittenNotes.h"

#include <algorithm>

NotePart WrittenNotes::firstPart(size_t index) {
    if (index != firstPartOf_) {
        firstPart_ = voice_.part(index, 1);
        firstPartOf_ = index;
    }
    return firstPart_;
}

// A note holding a vowel is slurred to the note before: that note starts the
// slur unless it holds a vowel itself, and the last holding note ends it. Only
// a note not split holds a vowel, with its one part.
WrittenNote WrittenNotes::make(size_t index) {
    const NoteEvent& event = voice_.note(index);
    const bool split = voice_.partCount(index) == 2;
    // The part that ends the note: the one of the small tsu, and of the second lyric.
    const NotePart last = split ? voice_.part(index, 2) : firstPart(index);
    const bool held = !split && last.held;
    const bool nextHeld =
        index + 1 < size() && voice_.partCount(index + 1) == 1 && firstPart(index + 1).held;
    const Lyric* secondLyric = split ? last.lyric : nullptr;
    const int64_t start = event.time;
    const int64_t end = voice_.writtenEnd(index);
    return {&event, secondLyric, start, end, start, end, held, !held && nextHeld,
            held && !nextHeld, last.smallTsu};
}

WrittenNote& WrittenNotes::reach(size_t index) {
    while (first_ + window_.size() <= index) window_.push_back(make(first_ + window_.size()));
    // A note let go of is a fault of the caller: at() throws, the run fails.
    return window_.at(index - first_);
}

void WrittenNotes::letGoBefore(size_t index) {
    if (index <= first_) return;
    const size_t gone = std::min(index - first_, window_.size());
    window_.erase(window_.begin(), window_.begin() + static_cast<std::ptrdiff_t>(gone));
    first_ = index;
}

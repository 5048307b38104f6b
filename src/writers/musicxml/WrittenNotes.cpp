// The notes of a part, made as the score's writing reaches them.
#include "writers/musicxml/WrittenNotes.h"

#include <algorithm>

bool WrittenNotes::heldAt(size_t index) const {
    return voice_.partCount(index) == 1 && voice_.part(index, 1).held;
}

// A note holding a vowel is slurred to the note before: that note starts the
// slur unless it holds a vowel itself, and the last holding note ends it.
WrittenNote WrittenNotes::make(size_t index) const {
    const NoteEvent& event = voice_.note(index);
    const bool split = voice_.partCount(index) == 2;
    const bool held = heldAt(index);
    const bool nextHeld = index + 1 < size() && heldAt(index + 1);
    const Lyric* secondLyric = split ? voice_.part(index, 2).lyric : nullptr;
    const int64_t start = event.time;
    const int64_t end = voice_.writtenEnd(index);
    const int smallTsu = voice_.part(index, voice_.partCount(index)).smallTsu;
    return {&event, secondLyric, start, end, start, end, held, !held && nextHeld,
            held && !nextHeld, smallTsu};
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

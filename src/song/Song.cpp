// The song's track list, and the second lyrics each track keeps by note index.
#include "song/Song.h"

#include <algorithm>

namespace {

// The first of `entries` (second lyrics by ascending note index) at or after
// the note at `noteIndex`.
template <typename Entries>
auto firstFrom(Entries& entries, size_t noteIndex) {
    return std::lower_bound(entries.begin(), entries.end(), noteIndex,
                            [](const auto& entry, size_t index) { return entry.first < index; });
}

}  // namespace

const Lyric& Track::secondLyric(size_t noteIndex) const {
    static const Lyric kNone;
    const auto found = firstFrom(secondLyrics_, noteIndex);
    return found != secondLyrics_.end() && found->first == noteIndex ? found->second : kNone;
}

Lyric& Track::editSecondLyric(size_t noteIndex) {
    // Notes are split in the order they are written, so this appends.
    const auto found = firstFrom(secondLyrics_, noteIndex);
    if (found != secondLyrics_.end() && found->first == noteIndex) return found->second;
    return secondLyrics_.insert(found, {noteIndex, Lyric{}})->second;
}

void Track::copySecondLyrics(size_t from, size_t to, size_t copiesStart) {
    const auto begin = static_cast<size_t>(firstFrom(secondLyrics_, from) - secondLyrics_.begin());
    const auto end = static_cast<size_t>(firstFrom(secondLyrics_, to) - secondLyrics_.begin());
    for (size_t i = begin; i < end; ++i) {
        // Copied out first: appending may move the entry copied.
        std::pair<size_t, Lyric> copy{secondLyrics_[i].first - from + copiesStart,
                                      secondLyrics_[i].second};
        secondLyrics_.push_back(std::move(copy));
    }
}

const SourceLocation& Track::noteLocation(size_t noteIndex) const {
    static const SourceLocation kNowhere;
    return noteIndex < noteLocations.size() ? noteLocations[noteIndex] : kNowhere;
}

Track& Song::appendTrack() {
    tracks_.push_back(std::make_unique<Track>());
    return *tracks_.back();
}

std::unique_ptr<Song> createSong() { return std::make_unique<Song>(); }

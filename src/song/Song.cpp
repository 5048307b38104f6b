// The song's track list, and the second lyrics and small tsus each track keeps
// by note index.
#include "song/Song.h"

#include <algorithm>

namespace {

// The first of `entries` (pairs of a note index and what the note has, by
// ascending note index) at or after the note at `noteIndex`.
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

int Track::smallTsuAfter(size_t noteIndex) const {
    const auto found = firstFrom(smallTsus_, noteIndex);
    return found != smallTsus_.end() && found->first == noteIndex ? found->second : 0;
}

void Track::setSmallTsuAfter(size_t noteIndex, int code) {
    const auto found = firstFrom(smallTsus_, noteIndex);
    if (found != smallTsus_.end() && found->first == noteIndex) {
        found->second = code;
    } else {
        smallTsus_.insert(found, {noteIndex, code});
    }
}

namespace {

// Appends to `entries` a copy of each entry for the notes [from, to), moved
// to the notes copied from `copiesStart` on.
template <typename Entry>
void copyEntries(std::vector<Entry>& entries, size_t from, size_t to, size_t copiesStart) {
    const auto begin = static_cast<size_t>(firstFrom(entries, from) - entries.begin());
    const auto end = static_cast<size_t>(firstFrom(entries, to) - entries.begin());
    for (size_t i = begin; i < end; ++i) {
        // Copied out first: appending may move the entry copied.
        Entry copy{entries[i].first - from + copiesStart, entries[i].second};
        entries.push_back(std::move(copy));
    }
}

}  // namespace

void Track::copyLyricMarks(size_t from, size_t to, size_t copiesStart) {
    copyEntries(secondLyrics_, from, to, copiesStart);
    copyEntries(smallTsus_, from, to, copiesStart);
}

namespace {

const SourceLocation kNowhere;

}  // namespace

const SourceLocation& Track::noteLocation(size_t noteIndex) const {
    return noteIndex < noteLocations.size() ? noteLocations[noteIndex] : kNowhere;
}

const SourceLocation& Track::controlLocation(size_t controlIndex) const {
    return controlIndex < controlLocations.size() ? controlLocations[controlIndex] : kNowhere;
}

const SourceLocation& Track::envelopeLocation(size_t envelopeIndex) const {
    if (envelopeIndex >= envelopePlaceIndices.size()) return kNowhere;
    const auto place = static_cast<size_t>(envelopePlaceIndices[envelopeIndex]);
    return place < envelopePlaces.size() ? envelopePlaces[place] : kNowhere;
}

void Track::sortControlsByTime() {
    std::vector<size_t> order(controls.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return controls[a].time < controls[b].time; });
    std::vector<ControlEvent> sorted;
    sorted.reserve(controls.size());
    std::vector<SourceLocation> sortedLocations;
    sortedLocations.reserve(controlLocations.size());
    for (const size_t from : order) {
        sorted.push_back(std::move(controls[from]));
        if (!controlLocations.empty()) sortedLocations.push_back(controlLocation(from));
    }
    controls = std::move(sorted);
    controlLocations = std::move(sortedLocations);
}

Track& Song::appendTrack() {
    tracks_.push_back(std::make_unique<Track>());
    return *tracks_.back();
}

std::unique_ptr<Song> createSong() { return std::make_unique<Song>(); }

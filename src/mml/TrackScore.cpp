// Where a command can stand in a track.
#include "mml/TrackScore.h"

#include <algorithm>

int64_t soundingUntil(const TrackScore& score, int64_t time) {
    // The last note that starts before `time`.
    const auto after = std::lower_bound(score.notes.begin(), score.notes.end(), time,
                                        [](const PrintedNote& note, int64_t t) { return note.time < t; });
    if (after == score.notes.begin()) return time;
    const PrintedNote& before = *(after - 1);
    return std::max(time, before.time + std::max<int64_t>(before.length, 1));
}

bool isBetweenNotes(const TrackScore& score, int64_t time) { return soundingUntil(score, time) == time; }

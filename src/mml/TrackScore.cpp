// Where a command can stand in a track.
#include "mml/TrackScore.h"

#include <algorithm>

bool isBetweenNotes(const TrackScore& score, int64_t time) {
    // The last note that starts before `time` must have ended by then.
    const auto after = std::lower_bound(score.notes.begin(), score.notes.end(), time,
                                        [](const PrintedNote& note, int64_t t) { return note.time < t; });
    if (after == score.notes.begin()) return true;
    const PrintedNote& before = *(after - 1);
    return before.time + std::max<int64_t>(before.length, 1) <= time;
}

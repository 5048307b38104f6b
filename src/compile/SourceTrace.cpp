// The trace's landings: appended as the lyric walk gives notes their
// syllables, and again for the notes a loop copies; a loop's rests likewise.
#include "compile/SourceTrace.h"

#include <algorithm>

void SourceTrace::land(int32_t track, uint32_t syllable, size_t note) {
    if (track < 0) return;
    const auto index = static_cast<size_t>(track);
    if (landings.size() <= index) landings.resize(index + 1);
    landings[index].push_back({syllable, static_cast<uint32_t>(note)});
}

void SourceTrace::copyLandings(int32_t track, size_t from, size_t to, size_t copiesStart) {
    if (track < 0 || static_cast<size_t>(track) >= landings.size()) return;
    std::vector<SyllableLanding>& list = landings[static_cast<size_t>(track)];
    // Notes get their syllables in order and copies go behind every note, so
    // each track's landings stay sorted by note.
    const auto first = std::lower_bound(list.begin(), list.end(), from,
                                        [](const SyllableLanding& landing, size_t note) {
                                            return landing.note < note;
                                        });
    const size_t begin = static_cast<size_t>(first - list.begin());
    const size_t end = list.size();
    for (size_t i = begin; i < end && list[i].note < to; ++i) {
        const SyllableLanding copy{list[i].syllable,
                                   static_cast<uint32_t>(copiesStart + (list[i].note - from))};
        list.push_back(copy);
    }
}

void SourceTrace::copyRests(int32_t track, size_t from, size_t to, int64_t before, int64_t offset) {
    for (size_t i = from; i < to && i < rests.size(); ++i) {
        const TracedRest rest = rests[i];  // a copy: adding may move it
        if (rest.track == track && rest.time < before) {
            addRest({rest.written, rest.track, static_cast<int32_t>(rest.time + offset), rest.ticks});
        }
    }
}

// Note parts that sound, in order of time.
#include "export/SungNotes.h"

#include <algorithm>
#include <limits>


VibratoSound partVibrato(const NoteEvent& note, const NotePart& part) {
    const auto partTicks = static_cast<int32_t>(
        std::clamp<int64_t>(part.length, 0, std::numeric_limits<int32_t>::max()));
    return vibratoSound(part.vibratoType, note.vibrato.startDepth, note.vibrato.startRate,
                        note.vibrato.length, partTicks);
}

std::vector<SungNote> collectSungNotes(const Track& track) {
    std::vector<SungNote> sung;
    sung.reserve(track.notes.size());
    for (size_t i = 0; i < track.notes.size(); ++i) {
        const NoteEvent& note = track.notes[i];
        for (int p = 1; p <= notePartCount(note); ++p) {
            const NotePart part = notePart(track, i, p);
            if (part.length <= 0) continue;
            sung.push_back({part.start, part.length, &note, part.lyric, partVibrato(note, part)});
        }
    }
    std::stable_sort(sung.begin(), sung.end(),
                     [](const SungNote& a, const SungNote& b) { return a.start < b.start; });
    return sung;
}

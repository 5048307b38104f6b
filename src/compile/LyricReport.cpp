// The compiler's side of the lyric hints: which notes a syllable reached, and
// the lyrics that had syllables left over, placed where they are written.
#include <algorithm>
#include <iterator>
#include <string>
#include <utility>

#include "compile/CompilerImpl.h"
#include "diag/Diagnostics.h"

namespace {

// The place a hint names: the file and line the thing stands at in the text
// as read.
SourcePlace placeOf(const SourceMap& files, const SourceLocation& location) {
    const SourceLocation read = files.expansionLocation(location);
    return {files.fileName(read.file), read.line};
}

}  // namespace

void CompilerImpl::surplusLyric(const TrackState& state, int64_t syllables, int64_t waitingNotes,
                                std::string leftOver) {
    if (surplusReport.surpluses.size() >= kDescribedSurpluses) {
        ++surplusReport.moreSurpluses;
        return;
    }
    SurplusLyric surplus;
    if (currentPlace != nullptr) surplus.place = placeOf(diagnostics.files(), currentPlace->written);
    surplus.track = state.number;
    surplus.syllables = syllables;
    surplus.waitingNotes = waitingNotes;
    surplus.leftOver = std::move(leftOver);
    surplusReport.surpluses.push_back(std::move(surplus));
}

LyricReport CompilerImpl::lyricReport() const {
    LyricReport report = surplusReport;
    for (const auto& state : tracks) {
        const std::vector<bool>& sung = state->sung;
        const auto firstUnsung = std::find(sung.begin(), sung.end(), false);
        const int64_t unsung = std::count(sung.begin(), sung.end(), false);
        // A track without any lyric sings the default syllable on purpose.
        if (firstUnsung == sung.end() || unsung == static_cast<int64_t>(sung.size())) continue;
        UnsungNotes notes;
        notes.track = state->number;
        notes.count = unsung;
        notes.first = placeOf(diagnostics.files(),
                              state->track->noteLocation(static_cast<size_t>(firstUnsung - sung.begin())));
        const auto before = static_cast<size_t>(firstUnsung - sung.begin());
        const std::vector<SungLyric>& lyrics = state->sungLyrics;
        // The last lyric that reached a note at or before the one before.
        const auto after = std::upper_bound(
            lyrics.begin(), lyrics.end(), before,
            [](size_t note, const SungLyric& lyric) { return note <= lyric.firstNote; });
        if (before > 0 && after != lyrics.begin()) {
            notes.lastLyric = placeOf(diagnostics.files(), std::prev(after)->written);
            notes.lastSyllable = std::string(state->track->notes[before - 1].lyric.text.view());
        }
        report.unsung.push_back(std::move(notes));
    }
    for (const auto& state : tracks) {
        for (const LoopFrame& loop : state->loops) report.openLoops.push_back({state->number, placeOf(diagnostics.files(), loop.opened)});
    }
    return report;
}

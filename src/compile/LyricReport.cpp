// The compiler's side of the lyric hints: where each note is written, which
// notes a syllable reached, and the lyrics that had syllables left over.
#include <algorithm>
#include <limits>
#include <string>
#include <utility>

#include "compile/CompilerImpl.h"
#include "diag/Reporter.h"

namespace {

// A run reads at most a thousand or so files, far below this; the bound only
// keeps the index within its field whatever happens.
constexpr size_t kMaxSourceNames = std::numeric_limits<uint16_t>::max();

}  // namespace

void CompilerImpl::noteWritten(TrackState& state) {
    const std::string_view file = currentReportFile();
    // Notes come in long runs from one file, so the last name is the one to try first.
    auto found = !sourceNames.empty() && sourceNames.back() == file
                     ? sourceNames.end() - 1
                     : std::find(sourceNames.begin(), sourceNames.end(), file);
    if (found == sourceNames.end()) {
        if (sourceNames.size() < kMaxSourceNames) sourceNames.emplace_back(file);
        found = sourceNames.end() - 1;
    }
    NoteOrigin origin;
    origin.line = currentReportLine();
    origin.file = static_cast<uint16_t>(found - sourceNames.begin());
    state.noteOrigins.push_back(origin);
}

void CompilerImpl::notesCopied(TrackState& state, size_t from, size_t to) {
    for (size_t i = from; i < to; ++i) state.noteOrigins.push_back(state.noteOrigins[i]);
}

void CompilerImpl::surplusLyric(const TrackState& state, int64_t syllables, int64_t waitingNotes,
                                std::string leftOver) {
    if (surplusReport.surpluses.size() >= kDescribedSurpluses) {
        ++surplusReport.moreSurpluses;
        return;
    }
    SurplusLyric surplus;
    surplus.place = {std::string(currentReportFile()), currentReportLine()};
    surplus.track = state.number;
    surplus.syllables = syllables;
    surplus.waitingNotes = waitingNotes;
    surplus.leftOver = std::move(leftOver);
    surplusReport.surpluses.push_back(std::move(surplus));
}

LyricReport CompilerImpl::lyricReport() const {
    LyricReport report = surplusReport;
    for (const auto& state : tracks) {
        const std::vector<NoteOrigin>& origins = state->noteOrigins;
        const auto firstUnsung =
            std::find_if(origins.begin(), origins.end(), [](const NoteOrigin& o) { return !o.sung; });
        const int64_t unsung =
            std::count_if(origins.begin(), origins.end(), [](const NoteOrigin& o) { return !o.sung; });
        // A track without any lyric sings the default syllable on purpose.
        if (firstUnsung == origins.end() || unsung == static_cast<int64_t>(origins.size())) continue;
        UnsungNotes notes;
        notes.track = state->number;
        notes.count = unsung;
        notes.first = {sourceNames[firstUnsung->file], firstUnsung->line};
        report.unsung.push_back(std::move(notes));
    }
    return report;
}

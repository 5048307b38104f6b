// Loops: a loop is expanded when it closes, by copying the events of its body
// behind it, shifted in time, once per further pass. An exit mark makes the
// last pass stop early. Sizes and times are checked before anything is copied,
// so a loop that would overflow the tick range or the event bound changes
// nothing but is closed, its body played once.
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "compile/CompilerImpl.h"
#include "diag/Messages.h"

namespace {

constexpr size_t kMaxOpenLoops = 8;

// Events that closing a loop adds to one sequence: `passes` full copies of the
// body [start, end) and, with an exit, one last copy of [start, exitEnd).
int64_t addedEvents(int64_t passes, int32_t start, size_t end, int32_t exitEnd) {
    int64_t added = passes * (static_cast<int64_t>(end) - start);
    if (exitEnd >= 0) added += exitEnd - start;
    return added;
}

// Grows capacity geometrically so that loop after loop does not reallocate.
template <typename EventType>
void reserveFor(std::vector<EventType>& events, int64_t added) {
    const size_t needed = events.size() + static_cast<size_t>(added);
    if (needed > events.capacity()) events.reserve(std::max(needed, events.capacity() * 2));
}

// Appends copies of events [from, to) with their times moved by `offset`.
template <typename EventType>
void copyRange(std::vector<EventType>& events, size_t from, size_t to, int64_t offset) {
    for (size_t i = from; i < to; ++i) {
        EventType& copy = events.emplace_back(events[i]);
        copy.time = static_cast<int32_t>(copy.time + offset);
    }
}

// Appends copies of the entries [from, to) of a sequence kept beside events
// (their locations, the notes' sung flags) for the events copied. Such a
// sequence is as long as its events, as the compiler keeps it.
template <typename Entries>
void copyBeside(Entries& entries, size_t from, size_t to) {
    for (size_t i = from; i < to && i < entries.size(); ++i) {
        const typename Entries::value_type entry = entries[i];  // a copy: the push may move it
        entries.push_back(entry);
    }
}

// The number of values the controls [begin, end) hold.
int64_t valuesIn(const std::vector<ControlEvent>& controls, int64_t begin, int64_t end) {
    int64_t values = 0;
    for (int64_t i = begin; i < end; ++i)
        values += valueCountOf(controls[static_cast<size_t>(i)].value);
    return values;
}

}  // namespace

void CompilerImpl::loopStart(TrackState& state, int count, const CommandParam* params) {
    if (state.loops.size() >= kMaxOpenLoops) {
        error(msg::kLoopTooDeep);
        return;
    }
    if (!checkCount(count, 0, 1) || !checkNumbers(count, params)) return;
    LoopFrame frame;
    if (count == 1) {
        if (!checkRange(params[0].value, kLoopCountRange.minimum, kLoopCountRange.maximum)) return;
        frame.count = params[0].value;
    }
    const Track& track = *state.track;
    frame.start = state.time;
    frame.startNotes = static_cast<int32_t>(track.notes.size());
    frame.startControls = static_cast<int32_t>(track.controls.size());
    frame.startEnvelopes = static_cast<int32_t>(track.envelopes.size());
    if (currentPlace != nullptr) frame.opened = currentPlace->written;
    if (trace != nullptr) frame.startRests = trace->rests.size();
    state.loops.push_back(std::move(frame));
    state.lyricCursor = frame.startNotes;
}

void CompilerImpl::loopExit(TrackState& state) {
    if (state.loops.empty()) {
        error(msg::kLoopMarkOutsideLoop);
        return;
    }
    LoopFrame& frame = state.loops.back();
    if (frame.exit >= 0) {
        error(msg::kLoopExitTwice);
        return;
    }
    const Track& track = *state.track;
    frame.exit = state.time;
    frame.exitNotes = static_cast<int32_t>(track.notes.size());
    frame.exitControls = static_cast<int32_t>(track.controls.size());
    frame.exitEnvelopes = static_cast<int32_t>(track.envelopes.size());
    state.lyricCursor = frame.exitNotes;
}

void CompilerImpl::loopEnd(TrackState& state) {
    if (state.loops.empty()) {
        error(msg::kLoopMarkOutsideLoop);
        return;
    }
    const LoopFrame frame = std::move(state.loops.back());
    state.loops.pop_back();
    Track& track = *state.track;
    const size_t notesEnd = track.notes.size();
    const size_t controlsEnd = track.controls.size();
    const size_t envelopesEnd = track.envelopes.size();
    const size_t restsEnd = trace != nullptr ? trace->rests.size() : 0;

    // Passes copied whole; with an exit the last pass is a partial one.
    const bool hasExit = frame.exit >= 0;
    const int64_t passLength = int64_t{state.time} - frame.start;
    const int64_t fullCopies = frame.count - 1 - (hasExit ? 1 : 0);
    const int64_t advance = fullCopies * passLength + (hasExit ? frame.exit - frame.start : 0);
    const int64_t addedNotes =
        addedEvents(fullCopies, frame.startNotes, notesEnd, hasExit ? frame.exitNotes : -1);
    const int64_t addedControls =
        addedEvents(fullCopies, frame.startControls, controlsEnd, hasExit ? frame.exitControls : -1);
    const int64_t addedEnvelopes = addedEvents(fullCopies, frame.startEnvelopes, envelopesEnd,
                                               hasExit ? frame.exitEnvelopes : -1);
    const int64_t addedValues =
        fullCopies * valuesIn(track.controls, frame.startControls, controlsEnd) +
        (hasExit ? valuesIn(track.controls, frame.startControls, frame.exitControls) : 0);
    if (roomForEvents(addedNotes + addedControls + addedEnvelopes + addedValues) &&
        advanceTime(state, advance)) {
        copiedValues += addedValues;
        reserveFor(track.notes, addedNotes);
        reserveFor(track.noteLocations, addedNotes);
        reserveFor(track.controls, addedControls);
        reserveFor(track.controlLocations, addedControls);
        reserveFor(track.envelopes, addedEnvelopes);
        reserveFor(track.envelopePlaceIndices, addedEnvelopes);
        for (int32_t pass = 1; pass < frame.count; ++pass) {
            const int64_t offset = pass * passLength;
            const bool last = hasExit && pass == frame.count - 1;
            const auto notesFrom = static_cast<size_t>(frame.startNotes);
            const size_t notesTo = last ? static_cast<size_t>(frame.exitNotes) : notesEnd;
            const size_t copiesStart = track.notes.size();
            copyRange(track.notes, notesFrom, notesTo, offset);
            copyBeside(track.noteLocations, notesFrom, notesTo);
            copyBeside(state.sung, notesFrom, notesTo);
            track.copyLyricMarks(notesFrom, notesTo, copiesStart);
            if (trace != nullptr) {
                trace->copyLandings(state.number - 1, notesFrom, notesTo, copiesStart);
                trace->copyRests(state.number - 1, frame.startRests, restsEnd,
                                 last ? frame.exit : frame.start + passLength, offset);
            }
            const auto controlsFrom = static_cast<size_t>(frame.startControls);
            const size_t controlsTo = last ? static_cast<size_t>(frame.exitControls) : controlsEnd;
            copyRange(track.controls, controlsFrom, controlsTo, offset);
            copyBeside(track.controlLocations, controlsFrom, controlsTo);
            const auto envelopesFrom = static_cast<size_t>(frame.startEnvelopes);
            const size_t envelopesTo =
                last ? static_cast<size_t>(frame.exitEnvelopes) : envelopesEnd;
            copyRange(track.envelopes, envelopesFrom, envelopesTo, offset);
            copyBeside(track.envelopePlaceIndices, envelopesFrom, envelopesTo);
        }
        // A pass that is not a whole number of bars puts the copies of a
        // metre change inside a bar.
        for (size_t i = controlsEnd; i < track.controls.size(); ++i) {
            if (track.controls[i].as<MetreChange>()) {
                placeMetreChange(state, track.controls[i]);
            }
        }
    }
    state.lyricCursor = static_cast<int32_t>(track.notes.size());
}

void CompilerImpl::endOfSource(TrackState& state) {
    if (state.loops.empty()) return;
    // The innermost loop is the one a ":/" would close first.
    error(msg::kLoopNotClosed, {},
          {"the loop opened here in track " + std::to_string(state.number) + " is never closed",
           state.loops.back().opened});
    // Reported: what stays open after the end is only what no error named.
    state.loops.clear();
}

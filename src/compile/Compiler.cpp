// The compiler's core: creation, the dispatch of command codes to the per-track
// handlers, the parameter checks shared by every handler, and the timing
// commands (notes, rests, lengths, octave, gate, transposition, tempo,
// reference tempo, time signature kept at bar lines, and '&' joins).
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "compile/CommandSuggestion.h"
#include "compile/CompilerImpl.h"
#include "diag/Diagnostics.h"
#include "diag/Messages.h"
#include "song/ControlValues.h"

namespace {

// Value of parameter `index`, or 0 when the command has fewer parameters.
int32_t paramValue(int count, const CommandParam* params, int index) {
    return index < count ? params[index].value : 0;
}

// Where the metre change `change` of the track stands among the song's changes.
ChangeRank rankOf(const TrackState& state, const ControlEvent& change) {
    return {state.number - 1, &change - state.track->controls.data()};
}

// Moves a metre change to the first bar line of `grid` at or after it and
// records it there; true when it moved.
bool moveToBarLine(BarGrid& grid, TrackState& state, ControlEvent& change) {
    const int64_t barLine = grid.barLineFrom(change.time);
    const bool moved = barLine != change.time;
    if (moved) {
        change.time = static_cast<int32_t>(std::min<int64_t>(barLine, INT32_MAX));
        state.controlsOutOfOrder = true;
    }
    const MetreChange& metre = *change.as<MetreChange>();
    grid.record(change.time, metre.numerator, metre.denominator, rankOf(state, change));
    return moved;
}

// Interprets a per-track command for one selected track.
void dispatch(CompilerImpl& c, TrackState& state, int code, int count, const CommandParam* params) {
    if (isNoteLetter(code)) {
        c.note(state, code, count, params);
        return;
    }
    if (const CurveInfo* curve = curveOfCommand(code)) {
        c.curve(state, *curve, count, params);
        return;
    }
    switch (code) {
    case CmdEndOfSource: c.endOfSource(state); break;
    case CmdRest: c.rest(state, count, params); break;
    case CmdDefaultLength: c.defaultLength(state, count, params); break;
    case CmdOctave:
    case CmdOctaveDown:
    case CmdOctaveUp: c.octave(state, code, count, params); break;
    case CmdGate: c.gate(state, count, params); break;
    case CmdTranspose: c.transpose(state, count, params); break;
    case CmdTempo: c.tempo(state, count, params); break;
    case CmdJoin: c.join(state); break;
    case CmdReferenceTempo: c.referenceTempo(state, count, params); break;
    case CmdTimeSignature: c.timeSignature(state, count, params); break;
    case CmdLoopStart: c.loopStart(state, count, params); break;
    case CmdLoopExit: c.loopExit(state); break;
    case CmdLoopEnd: c.loopEnd(state); break;
    case CmdSinger: c.singerChange(state, count, params); break;
    case CmdSingerRegistration: c.singerRegistration(count, params); break;
    case CmdVelocity: c.velocity(state, count, params); break;
    case CmdNoteParameters: c.noteParameters(state, count, params); break;
    case CmdVibrato: c.vibrato(state, count, params); break;
    case CmdParameterEnvelope: c.parameterEnvelope(state, count, params); break;
    case CmdLayEnvelope: c.layEnvelopeCommand(state, count, params); break;
    default: c.unknownCommand(code); break;
    }
}

// The duration in ticks of a note or rest of `length` (0: the default length),
// or false after reporting when it would take the track past the tick range.
bool durationOf(CompilerImpl& c, const TrackState& state, int32_t length, int64_t& ticks) {
    // A negative length is a number of 2^31 or more that wrapped on the way
    // in: far beyond any track time, so it is reported as such.
    if (length < 0) {
        c.reportTimeLimit();
        return false;
    }
    ticks = c.scaleDuration(state, length == 0 ? state.defaultLength : length);
    if (int64_t{state.time} + ticks > kMaxTrackTime) {
        c.reportTimeLimit();
        return false;
    }
    return true;
}

}  // namespace

CompilerImpl::CompilerImpl(Diagnostics& diagnostics)
    : envelopes(createEnvelopeTable()), diagnostics(diagnostics) {}

CompilerImpl::~CompilerImpl() = default;

void CompilerImpl::setSong(Song* newSong) {
    song = newSong;
    tracks.clear();  // states point into the song they were made for
}

void CompilerImpl::setDictionary(const PhoneticDictionary* newDictionary) {
    dictionary = newDictionary;
}

void CompilerImpl::setStrings(const StringPool* newStrings) { strings = newStrings; }
void CompilerImpl::setSourceTrace(SourceTrace* newTrace) { trace = newTrace; }

namespace {

// Holds the place of the command being compiled for the length of its call.
class CurrentPlace {
public:
    CurrentPlace(const CommandPlace*& current, const CommandPlace& place) : current_(current) {
        current_ = &place;
    }
    ~CurrentPlace() { current_ = nullptr; }
    CurrentPlace(const CurrentPlace&) = delete;
    CurrentPlace& operator=(const CurrentPlace&) = delete;

private:
    const CommandPlace*& current_;
};

}  // namespace

void CompilerImpl::command(int code, int count, const CommandParam* params,
                           const CommandPlace& place) {
    const CurrentPlace current(currentPlace, place);
    if (count < 0 || params == nullptr) count = 0;
    if (code == CmdTrackSelect) {
        selectTracks(count, params);
        return;
    }
    if (code == CmdDefineEnvelope) {
        defineEnvelope(count, params);
        return;
    }
    // Per-track handlers never change the selection.
    for (size_t i = 0; i < selection.size(); ++i)
        dispatch(*this, trackState(selection[i]), code, count, params);
    if (code == CmdEndOfSource) settleMetreChanges();
}

void CompilerImpl::lyrics(const char16_t* chars, const CommandPlace& place) {
    const CurrentPlace current(currentPlace, place);
    if (chars == nullptr) return;
    for (size_t i = 0; i < selection.size(); ++i) lyricsForTrack(trackState(selection[i]), chars);
}

// --- shared checks ---

bool CompilerImpl::checkCount(int count, int min, int max) {
    if (count < min) {
        error(msg::kTooFewParams);
        return false;
    }
    if (max >= 0 && count > max) {
        error(msg::kTooManyParams);
        return false;
    }
    return true;
}

bool CompilerImpl::checkNumbers(int count, const CommandParam* params) {
    for (int i = 0; i < count; ++i) {
        if (params[i].type != ParamNumber && params[i].type != ParamRelative) {
            error(msg::kNumberRequired);
            return false;
        }
    }
    return true;
}

bool CompilerImpl::checkRange(int64_t value, int64_t low, int64_t high, std::string_view detail) {
    if (value < low || value > high) {
        error(msg::kOutOfRange, detail,
              {"the value " + std::to_string(value) + " is outside the allowed range " +
                   std::to_string(low) + " to " + std::to_string(high),
               {}});
        return false;
    }
    return true;
}

void CompilerImpl::unknownCommand(int code) {
    const std::string name = commandName(code);
    std::string note = "'" + name + "' is no command";
    const std::string nearest = nearestCommandName(name);
    if (!nearest.empty()) note += "; did you mean '" + nearest + "'?";
    error(msg::kUnknownCommand, {}, {std::move(note), {}});
}

// Every report of the compiler is about the command or lyric being compiled;
// one made outside a call has no position.
void CompilerImpl::error(const msg::Message& message, std::string_view detail) {
    if (currentPlace == nullptr) {
        diagnostics.error(message, detail);
        return;
    }
    diagnostics.error(message, currentPlace->written, currentPlace->consoleLine, detail);
}

void CompilerImpl::error(const msg::Message& message, std::string_view detail,
                         DiagnosticNote note) {
    if (currentPlace == nullptr) {
        diagnostics.error(message, detail);
        return;
    }
    diagnostics.error(message, currentPlace->written, currentPlace->consoleLine, detail,
                      std::move(note));
}

void CompilerImpl::warning(const msg::Message& message, std::string_view detail) {
    if (currentPlace == nullptr) {
        diagnostics.warning(message, detail);
        return;
    }
    diagnostics.warning(message, currentPlace->written, currentPlace->consoleLine, detail);
}

int64_t CompilerImpl::scaleDuration(const TrackState& state, int64_t value) const {
    if (state.referenceTempo > 0) return value * tempoValue / state.referenceTempo;
    return value;
}

bool CompilerImpl::advanceTime(TrackState& state, int64_t ticks) {
    const int64_t target = int64_t{state.time} + std::max<int64_t>(ticks, 0);
    if (target > kMaxTrackTime) {
        reportTimeLimit();
        return false;
    }
    state.time = static_cast<int32_t>(target);
    return true;
}

bool CompilerImpl::roomForEvents(int64_t added) {
    int64_t events = 0;
    for (int i = 0; i < song->trackCount(); ++i) {
        const Track& track = song->track(i);
        events += static_cast<int64_t>(track.notes.size() + track.controls.size() +
                                       track.envelopes.size());
    }
    if (events + copiedValues + added > eventLimit) {
        if (!eventLimitReported) error(msg::kTooManyEvents);
        eventLimitReported = true;
        return false;
    }
    return true;
}

void CompilerImpl::reportTimeLimit() {
    if (!timeLimitReported) error(msg::kTrackTimeTooLong);
    timeLimitReported = true;
}

TrackState& CompilerImpl::trackState(int index) {
    while (song->trackCount() <= index) song->appendTrack();
    while (static_cast<int>(tracks.size()) <= index) {
        auto state = std::make_unique<TrackState>();
        state->track = &song->track(static_cast<int>(tracks.size()));
        state->number = static_cast<int32_t>(tracks.size() + 1);
        tracks.push_back(std::move(state));
    }
    return *tracks[static_cast<size_t>(index)];
}

// --- timing commands ---

void CompilerImpl::note(TrackState& state, int code, int count, const CommandParam* params) {
    const int accidental = paramValue(count, params, 0);
    int64_t duration = 0;
    if (!durationOf(*this, state, paramValue(count, params, 1), duration)) return;
    std::vector<NoteEvent>& notes = state.track->notes;
    if (!roomForEvents(1)) return;

    if (state.joinPending && !notes.empty()) notes.back().length = state.time - notes.back().time;

    const int step = accidental == '+' ? 1 : accidental == '-' ? -1 : 0;
    const int semitone = pitchClassOf(code, step);
    if (!accidentalFits(code, step)) {
        const char detail[] = {static_cast<char>(code), static_cast<char>(accidental), '\0'};
        error(msg::kBadPitchAccidental, detail);
    }
    int64_t number = int64_t{state.octave} * 12 + semitone + state.transpose + kNoteNumberOffset;
    if (number < kNoteNumberRange.minimum || number > kNoteNumberRange.maximum) {
        error(msg::kNoteOutOfRange);
        number = kFallbackNoteNumber;
    }
    const int64_t sounding = duration * state.gate / kGateSteps;

    NoteEvent& event = appendNote(state);
    event.time = state.time;
    event.length = static_cast<int32_t>(sounding);
    event.step = static_cast<int32_t>(duration);
    event.note = static_cast<int8_t>(number);
    event.writtenLetter = static_cast<uint8_t>(std::string_view(kLetterNames).find(static_cast<char>(code)));
    event.writtenAccidental = static_cast<int8_t>(step);
    event.velocity = state.velocity;
    event.bendDepth = state.noteParams[0];
    event.bendLength = state.noteParams[1];
    event.portamentoUse = state.noteParams[2];
    event.decayGainRate = state.noteParams[3];
    event.accent = state.noteParams[4];
    event.joined = state.joinPending;
    event.vibrato.type = state.vibrato.type;
    event.vibrato.startDepth = state.vibrato.startDepth;
    event.vibrato.startRate = state.vibrato.startRate;
    if (state.vibrato.type != 0) {
        // The vibrato fills the note from the delay on; a negative delay is
        // taken as written, so the vibrato is then longer than the note.
        const int64_t delay = scaleDuration(state, state.vibratoDelay);
        if (sounding - delay > 0) {
            event.vibrato.length = static_cast<int32_t>(std::min(sounding - delay, kMaxTrackTime));
        } else {
            event.vibrato.type = 0;
        }
    }
    if (state.joinPending) event.portamentoUse |= 1;

    state.time = static_cast<int32_t>(state.time + duration);
    state.joinPending = false;
}

void CompilerImpl::rest(TrackState& state, int count, const CommandParam* params) {
    if (state.joinPending) {
        error(msg::kAmpersandBeforeRest);
        state.joinPending = false;
        return;
    }
    int64_t duration = 0;
    if (!durationOf(*this, state, paramValue(count, params, 0), duration)) return;
    if (trace != nullptr && currentPlace != nullptr) {
        trace->addRest({currentPlace->written, state.number - 1, state.time, static_cast<int32_t>(duration)});
    }
    state.time = static_cast<int32_t>(state.time + duration);
}

void CompilerImpl::join(TrackState& state) {
    if (state.joinPending) {
        error(msg::kAmpersandRepeated);
    } else if (state.track->notes.empty()) {
        error(msg::kNoteRequiredBeforeJoin);
    } else {
        state.joinPending = true;
    }
}

void CompilerImpl::defaultLength(TrackState& state, int count, const CommandParam* params) {
    const int32_t length = paramValue(count, params, 0);
    if (length < 0) {  // wrapped from 2^31 or more, see durationOf
        reportTimeLimit();
        return;
    }
    state.defaultLength = length == 0 ? kTicksPerQuarterNote : length;
}

void CompilerImpl::octave(TrackState& state, int code, int count, const CommandParam* params) {
    int64_t value = int64_t{state.octave} + (code == CmdOctaveUp ? 1 : -1);
    if (code == CmdOctave) value = paramValue(count, params, 0);
    if (!checkRange(value, kOctaveRange.minimum, kOctaveRange.maximum)) return;
    state.octave = static_cast<int32_t>(value);
}

void CompilerImpl::gate(TrackState& state, int count, const CommandParam* params) {
    const int32_t value = paramValue(count, params, 0);
    if (!checkRange(value, kGateRange.minimum, kGateRange.maximum)) return;
    state.gate = value;
}

void CompilerImpl::transpose(TrackState& state, int count, const CommandParam* params) {
    const int32_t value = paramValue(count, params, 0);
    state.transpose = value >= 6 ? value - 12 : value;
}

void CompilerImpl::tempo(TrackState& state, int count, const CommandParam* params) {
    const int32_t value = paramValue(count, params, 0);
    if (!checkRange(value, kTempoRange.minimum, kTempoRange.maximum, "T")) return;
    if (!roomForEvents(1)) return;
    tempoValue = value;
    ControlEvent& event = appendControl(state);
    event.time = state.time;
    setTempo(event, {value});
}

void CompilerImpl::referenceTempo(TrackState& state, int count, const CommandParam* params) {
    if (!checkCount(count, 1, 1) || !checkNumbers(count, params)) return;
    const int32_t value = params[0].value;
    if (value != 0 && !checkRange(value, kTempoRange.minimum, kTempoRange.maximum)) return;
    state.referenceTempo = value;
}

void CompilerImpl::timeSignature(TrackState& state, int count, const CommandParam* params) {
    if (!checkCount(count, 2, 2) || !checkNumbers(count, params)) return;
    const int32_t numerator = params[0].value;
    const int32_t denominator = params[1].value;
    if (!checkRange(numerator, kMetreNumeratorRange.minimum, kMetreNumeratorRange.maximum)) return;
    if (std::find(kMetreDenominators.begin(), kMetreDenominators.end(), denominator) ==
        kMetreDenominators.end()) {
        std::string note = "the denominator " + std::to_string(denominator) + " is not one of ";
        for (const int32_t allowed : kMetreDenominators) {
            if (allowed != kMetreDenominators.front()) note += ", ";
            note += std::to_string(allowed);
        }
        error(msg::kOutOfRange, "@M", {std::move(note), {}});
        return;
    }
    if (!roomForEvents(1)) return;
    ControlEvent& event = appendControl(state);
    event.time = state.time;
    setMetre(event, {numerator, denominator});
    placeMetreChange(state, event);
}

// Every reader of the files keeps time signatures by bar, so a change inside a
// bar would be read differently by each; it takes effect at the next bar line.
void CompilerImpl::placeMetreChange(TrackState& state, ControlEvent& change) {
    if (moveToBarLine(bars, state, change)) warning(msg::kMetreChangeInsideBar, "@M");
}

void CompilerImpl::settleMetreChanges() {
    std::vector<std::pair<ControlEvent*, TrackState*>> changes;
    for (const auto& state : tracks) {
        for (ControlEvent& control : state->track->controls) {
            if (control.as<MetreChange>()) changes.emplace_back(&control, state.get());
        }
    }
    // In time order; a change moved onto a bar line never lands before one
    // placed already, so the grid is settled from the start onwards, and where
    // several land on one tick the rank decides which counts, as in the files.
    std::stable_sort(changes.begin(), changes.end(),
                     [](const auto& a, const auto& b) { return a.first->time < b.first->time; });
    BarGrid settled;
    for (const auto& [change, state] : changes) {
        // Placed by bars that an earlier change of a later track moves: no
        // line of the source is to blame alone.
        if (moveToBarLine(settled, *state, *change)) {
            diagnostics.warning(msg::kMetreChangeInsideBar, "@M");
        }
    }
    // The writers take each track's controls in time order.
    for (const auto& state : tracks) {
        if (!state->controlsOutOfOrder) continue;
        state->track->sortControlsByTime();
        state->controlsOutOfOrder = false;
    }
}

NoteEvent& CompilerImpl::appendNote(TrackState& state) {
    Track& track = *state.track;
    track.noteLocations.push_back(currentPlace != nullptr ? currentPlace->written : SourceLocation{});
    state.sung.push_back(false);
    return track.notes.emplace_back();
}

ControlEvent& CompilerImpl::appendControl(TrackState& state) {
    Track& track = *state.track;
    track.controlLocations.push_back(currentPlace != nullptr ? currentPlace->written
                                                              : SourceLocation{});
    return track.controls.emplace_back();
}

std::unique_ptr<Compiler> createCompiler(Diagnostics& diagnostics) {
    return std::make_unique<CompilerImpl>(diagnostics);
}

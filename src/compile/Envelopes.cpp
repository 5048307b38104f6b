// Envelope commands: @DE defines an envelope shared by all tracks, @LE assigns
// envelopes to a track's curves, and the lyric walk lays the assigned envelopes
// over each note that receives its syllable.

#include <bit>
#include <cstdint>

#include "compile/CompilerImpl.h"
#include "diag/Messages.h"
#include "song/ClampToInt32.h"

namespace {

constexpr int kFirstCurve = 1;
// The slots that take part when envelopes are laid over a note.
constexpr int kFirstLaidSlot = 1;
constexpr int kLastLaidSlot = 4;
constexpr int kLaidSlotsPerCurve = kLastLaidSlot - kFirstLaidSlot + 1;
static_assert(kLastCurveId * kLaidSlotsPerCurve <= 64, "every laid slot has a bit");

// The bit of a laid slot in TrackState::laidSlots: curve by curve, slot by slot.
uint64_t laidSlotBit(int curveId, int slot) {
    return uint64_t{1} << ((curveId - kFirstCurve) * kLaidSlotsPerCurve + slot - kFirstLaidSlot);
}

bool isLaidSlot(int slot) { return slot >= kFirstLaidSlot && slot <= kLastLaidSlot; }

}  // namespace

void CompilerImpl::defineEnvelope(int count, const CommandParam* params) {
    if (!checkCount(count, 4, 14) || !checkNumbers(count, params)) return;
    if (!checkRange(params[0].value, 1, kMaxEnvelopeNumber) ||
        !checkRange(params[1].value, 0, kLastEnvelopeType)) {
        return;
    }
    if (!envelopes->define(params[0].value, count - 1, params + 1)) error(msg::kEnvelopeParamError);
}

void CompilerImpl::layEnvelopeCommand(TrackState& state, int count, const CommandParam* params) {
    if (!checkCount(count, 3, 4) || !checkNumbers(count, params)) return;
    if (!checkRange(params[0].value, kFirstCurve, kLastCurveId) ||
        !checkRange(params[1].value, 0, kEnvelopeSlots - 1)) {
        return;
    }
    const int32_t number = params[2].value;
    if (number != 0 && !envelopes->isDefined(number)) {
        error(msg::kUndefinedEnvelope);
        return;
    }
    const int32_t scale = count == 4 ? params[3].value : 0;
    if (scale != 0) warning(msg::kScaleNotImplemented);
    const int curveId = params[0].value;
    const int slot = params[1].value;
    auto& slots = state.envelopeSlots[static_cast<size_t>(curveId)];
    if (number != 0) {
        slots[static_cast<size_t>(slot)] = EnvelopeSlot{number, scale, envelopePlace(state)};
        if (isLaidSlot(slot)) state.laidSlots |= laidSlotBit(curveId, slot);
    } else {
        slots.fill(EnvelopeSlot{});
        for (int laid = kFirstLaidSlot; laid <= kLastLaidSlot; ++laid)
            state.laidSlots &= ~laidSlotBit(curveId, laid);
    }
}

void CompilerImpl::layEnvelopes(TrackState& state, size_t noteIndex) {
    Track& track = *state.track;
    if (noteIndex >= track.notes.size()) return;

    if (state.laidSlots == 0) return;

    // The span reaches over the notes joined to this one by '&'.
    const NoteEvent& first = track.notes[noteIndex];
    size_t last = noteIndex;
    while (last + 1 < track.notes.size() && track.notes[last + 1].joined) ++last;
    const NoteEvent& end = track.notes[last];
    const int32_t length = clampToInt32(static_cast<int64_t>(end.time) + end.length - first.time);
    const int32_t time = first.time;

    for (uint64_t left = state.laidSlots; left != 0; left &= left - 1) {
        const int bit = std::countr_zero(left);
        const int curveId = kFirstCurve + bit / kLaidSlotsPerCurve;
        const int slot = kFirstLaidSlot + bit % kLaidSlotsPerCurve;
        EnvelopeSlot& assigned =
            state.envelopeSlots[static_cast<size_t>(curveId)][static_cast<size_t>(slot)];
        if (!roomForEvents(1)) return;
        const EnvelopeDefinition* definition = envelopes->find(assigned.number);
        if (definition == nullptr) continue;
        if (assigned.shapeSerial != definition->serial) {
            // The first envelope of this definition the slot lays: the track keeps its shape.
            track.envelopeShapes.push_back(definition->shape);
            assigned.shapeSerial = definition->serial;
            assigned.shapeIndex = static_cast<int32_t>(track.envelopeShapes.size() - 1);
        }
        EnvelopeEvent& event = appendEnvelope(state, assigned);
        event.time = time;
        event.curve = curveId;
        event.length = length;
        event.shape = assigned.shapeIndex;
    }
}

int32_t CompilerImpl::envelopePlace(TrackState& state) {
    std::vector<SourceLocation>& places = state.track->envelopePlaces;
    places.push_back(currentPlace != nullptr ? currentPlace->written : SourceLocation{});
    return static_cast<int32_t>(places.size() - 1);
}

EnvelopeEvent& CompilerImpl::appendEnvelope(TrackState& state, const EnvelopeSlot& slot) {
    Track& track = *state.track;
    track.envelopePlaceIndices.push_back(slot.place);
    return track.envelopes.emplace_back();
}

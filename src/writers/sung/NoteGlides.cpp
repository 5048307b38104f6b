// The glide mapping of NoteGlides.h, and a glide's curve: a half cosine from
// its start to its end, or, with an overshoot, one to the overshoot over the
// first 70% of it and another back over the rest, so that the pitch moves
// smoothly in and out of each stage.
#include "writers/sung/NoteGlides.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "render/Pitch.h"
#include "render/TempoClock.h"

namespace {

constexpr double kShortestGlideMs = 60;
constexpr double kGlideMsPerBendStep = 3.4;
constexpr double kMostOvershootCents = 50;
constexpr double kPercent = 100;
// Where an overshooting glide turns back, as a share of its length.
constexpr double kTurn = 0.7;

constexpr unsigned kGlidesIn = 1;
constexpr unsigned kGlidesOut = 2;

// 0 at 0 to 1 at 1, level at both ends.
double ease(double x) { return (1 - std::cos(std::numbers::pi * x)) / 2; }

// The note's glide in a part sounding from `fromMs` to `toMs`.
double glideMs(const NoteEvent& note, double fromMs, double toMs) {
    return std::min(kShortestGlideMs + kGlideMsPerBendStep * note.bendLength, (toMs - fromMs) / 2);
}

// Whether `after` follows `before` without a rest at another pitch.
bool meet(const NotePart& before, const NotePart& after) {
    return before.writtenEnd >= after.start && before.event->note != after.event->note;
}

bool lastPart(const NotePart& part) { return part.part == 2 || part.event->splitOffset <= 0; }

}  // namespace

double Glide::offsetAt(double ms) const {
    if (lengthMs <= 0 || ms <= startMs) return lengthMs > 0 ? fromCents : 0;
    const double x = (ms - startMs) / lengthMs;
    if (x >= 1) return toCents;
    if (overshootCents == 0) return fromCents + (toCents - fromCents) * ease(x);
    const double past = toCents + (toCents > fromCents ? overshootCents : -overshootCents);
    if (x < kTurn) return fromCents + (past - fromCents) * ease(x / kTurn);
    return past + (toCents - past) * ease((x - kTurn) / (1 - kTurn));
}

PartGlides glidesOf(const NotePart* before, const NotePart& part, const NotePart* after,
                    const TempoClock& clock) {
    PartGlides glides;
    const NoteEvent& note = *part.event;
    const double startMs = clock.msAt(part.start);
    const double endMs = clock.msAt(part.soundingEnd());
    // A glide in starts a note, one out ends it.
    if (before != nullptr && part.part == 1 && (note.portamentoUse & kGlidesIn) != 0 && meet(*before, part)) {
        double span = (before->event->note - note.note) * kCentsPerSemitone;
        if ((before->event->portamentoUse & kGlidesOut) != 0) span /= 2;
        glides.in = {startMs, glideMs(note, startMs, endMs), span, 0,
                     std::clamp(std::abs(span) * note.bendDepth / kPercent, 0.0, kMostOvershootCents)};
    }
    if (after != nullptr && lastPart(part) && (note.portamentoUse & kGlidesOut) != 0 && meet(part, *after)) {
        double span = (after->event->note - note.note) * kCentsPerSemitone;
        if ((after->event->portamentoUse & kGlidesIn) != 0 && after->part == 1) span /= 2;
        const double length = glideMs(note, startMs, endMs);
        glides.out = {endMs - length, length, 0, span, 0};
    }
    return glides;
}

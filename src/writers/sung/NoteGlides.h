// How the preview sings a note's portamento: the glides its portamento use,
// bend length and bend depth ask for between it and the notes next to it.
// A part glides in from the part before (bit 0 of the portamento use) or out
// into the part after (bit 1) when the two follow without a rest and differ
// in pitch; the bend length sets how long a glide lasts (never more than half
// the part), and a part glided into overshoots its note by a share of the
// step that grows with the bend depth before it settles. When both sides of
// a meeting glide, each covers half the step.
#pragma once

#include "render/VoiceTrack.h"

class TempoClock;

// One glide as an offset in cents from the part's own pitch: `fromCents`
// before it, easing to `toCents`, which it keeps after it.
struct Glide {
    double startMs = 0;  // from the song's start
    double lengthMs = 0;
    double fromCents = 0;
    double toCents = 0;
    double overshootCents = 0;  // past `toCents`, on the far side from `fromCents`

    double offsetAt(double ms) const;
};

struct PartGlides {
    Glide in;   // at the part's start
    Glide out;  // at its sounding end

    double offsetAt(double ms) const { return in.offsetAt(ms) + out.offsetAt(ms); }
};

// The glides of `part`, sung after `before` and before `after` (either null
// when there is none).
PartGlides glidesOf(const NotePart* before, const NotePart& part, const NotePart* after,
                    const TempoClock& clock);

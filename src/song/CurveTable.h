// The control curves of a voice track, everything known about each in one row:
// the command that sets it, its id in the song's events, the section its
// breakpoints are written under, its default and its range. The compiler, the
// VSQ writer and the exported files all read this table, and the rows stand in
// the order the VSQ file writes their sections. A new curve is a new row: its
// command written as commandCode("@NAME") unless a writer names it by its code
// in CommandCode.h.
#pragma once

#include <array>
#include <cstdint>

#include "song/CommandCode.h"

struct CurveInfo {
    int32_t command;  // the command's code
    int32_t id;           // what curve events and envelopes carry: 1..9
    const char* section;  // the breakpoint list's section, without brackets
    int32_t defaultValue;
    int32_t minimum;
    int32_t maximum;
};

inline constexpr auto kCurves = std::to_array<CurveInfo>({
    {CmdPitchBend, 8, "PitchBendBPList", 0, -8192, 8191},
    {CmdPitchBendSensitivity, 9, "PitchBendSensBPList", 1, 0, 24},
    {CmdDynamics, 1, "DynamicsBPList", 64, 0, 127},
    {CmdBreathiness, 2, "EpRResidualBPList", 0, 0, 127},
    {CmdBrightness, 3, "EpRESlopeBPList", 64, 0, 127},
    {CmdClearness, 4, "EpRESlopeDepthBPList", 0, 0, 127},
    {CmdGenderFactor, 6, "GenderFactorBPList", 64, 0, 127},
    {CmdPortamentoTiming, 7, "PortamentoTimingBPList", 64, 0, 127},
    {CmdOpening, 5, "OpeningBPList", 127, 0, 127},
});

// The ids run from 1 to this, each naming one row.
inline constexpr int32_t kLastCurveId = static_cast<int32_t>(kCurves.size());

// The row of the command `code`; nullptr when it sets no curve.
constexpr const CurveInfo* curveOfCommand(int32_t code) {
    for (const CurveInfo& curve : kCurves) {
        if (curve.command == code) return &curve;
    }
    return nullptr;
}

// The row of curve id `id`; nullptr for an id of no curve.
constexpr const CurveInfo* curveOfId(int32_t id) {
    for (const CurveInfo& curve : kCurves) {
        if (curve.id == id) return &curve;
    }
    return nullptr;
}

// Each id from 1 to kLastCurveId names exactly one row.
static_assert([] {
    for (int32_t id = 1; id <= kLastCurveId; ++id) {
        int rows = 0;
        for (const CurveInfo& curve : kCurves) rows += curve.id == id ? 1 : 0;
        if (rows != 1) return false;
    }
    return true;
}());


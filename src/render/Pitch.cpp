// The pitch curve in cents from the pitch-bend and sensitivity curves.
#include "render/Pitch.h"

#include "song/CurveTable.h"

std::vector<PitchStep> pitchSteps(std::span<const BreakpointPoint> bends,
                                  std::span<const BreakpointPoint> sensitivities) {
    std::vector<PitchStep> result;
    result.reserve(bends.size() + sensitivities.size());
    int32_t bend = curveOfCommand(CmdPitchBend)->defaultValue;
    int32_t sensitivity = kReadersSensitivity;
    size_t b = 0;
    size_t s = 0;
    while (b < bends.size() || s < sensitivities.size()) {
        const bool takeBend = s == sensitivities.size() ||
                              (b < bends.size() && bends[b].tick <= sensitivities[s].tick);
        const int32_t tick = takeBend ? bends[b].tick : sensitivities[s].tick;
        while (b < bends.size() && bends[b].tick == tick) bend = bends[b++].value;
        while (s < sensitivities.size() && sensitivities[s].tick == tick) {
            sensitivity = sensitivities[s++].value;
        }
        result.push_back({tick, pitchCents(bend, sensitivity)});
    }
    return result;
}

// Computes the (tick, value) points of one control curve of one track from its
// curve controls, parameter envelopes and note envelopes.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "compile/Song.h"

struct BreakpointPoint {
    int32_t tick = 0;
    int32_t value = 0;
    bool operator==(const BreakpointPoint&) const = default;
};

class BreakpointListBuilder {
public:
    // Appends the curve's points to `out`; `length` is the end of the track's
    // last note in song ticks.
    virtual void build(int curveId, int defaultValue, int minimum, int maximum,
                       std::span<const ControlEvent> controls,
                       std::span<const EnvelopeEvent> envelopes, int32_t length,
                       std::vector<BreakpointPoint>& out) = 0;
    // Appends the points given by the curve controls alone.
    virtual void curvePoints(int curveId, std::span<const ControlEvent> controls, int32_t length,
                             std::vector<BreakpointPoint>& out) = 0;
    virtual ~BreakpointListBuilder() = default;
};

std::unique_ptr<BreakpointListBuilder> createBreakpointListBuilder();

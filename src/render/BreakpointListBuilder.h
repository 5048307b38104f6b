// Computes the (tick, value) points of one control curve of one track from its
// curve controls, parameter envelopes and note envelopes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "song/Song.h"

struct BreakpointPoint {
    int32_t tick = 0;
    int32_t value = 0;
    bool operator==(const BreakpointPoint&) const = default;
};

// Where a curve's points go as they are made, a batch at a time and in order, for a reader
// that writes them out and need not hold the whole list.
class BreakpointSink {
public:
    virtual void take(std::span<const BreakpointPoint> points) = 0;

protected:
    ~BreakpointSink() = default;
};

// The most points one list may hold: over twice the ticks of an hour of music
// at 120 beats a minute (a list has at most one point per tick), and twice
// what the densest curve of the benchmark song of a million notes in four
// tracks needs, yet a bound on the time and memory that a steep curve over a
// very long note can take.
inline constexpr size_t kMaxBreakpoints = size_t{1} << 23;

// Both operations stop early when `out` would hold more than the builder's
// point limit: the list is then cut short holding limit + 1 points, which
// tells the caller that it was not built.
class BreakpointListBuilder {
public:
    // Appends the curve's points to `out`; `length` is the end of the track's
    // last note in song ticks, and `shapes` are the shapes the envelopes name.
    virtual void build(int curveId, int defaultValue, int minimum, int maximum,
                       std::span<const ControlEvent> controls,
                       std::span<const EnvelopeEvent> envelopes,
                       std::span<const EnvelopeShape> shapes, int32_t length,
                       std::vector<BreakpointPoint>& out) = 0;
    // Builds the same points as build() but hands them to `sink` as they are made, using
    // `batch` as working memory, so that a long curve is never held whole. Returns how many
    // points the list has; more than the point limit when it was given up.
    virtual size_t stream(int curveId, int defaultValue, int minimum, int maximum,
                          std::span<const ControlEvent> controls,
                          std::span<const EnvelopeEvent> envelopes,
                          std::span<const EnvelopeShape> shapes, int32_t length,
                          std::vector<BreakpointPoint>& batch, BreakpointSink& sink) = 0;
    // Appends the points given by the curve controls alone.
    virtual void curvePoints(int curveId, std::span<const ControlEvent> controls, int32_t length,
                             std::vector<BreakpointPoint>& out) = 0;
    virtual ~BreakpointListBuilder() = default;
};

// True when a file can take the list; otherwise reports it as too long,
// naming the curve by `curveName`, and returns false.
bool breakpointsFit(size_t pointCount, std::string_view curveName);

// A builder whose point limit is kMaxBreakpoints.
std::unique_ptr<BreakpointListBuilder> createBreakpointListBuilder();
// A builder with another point limit (tests use small ones).
std::unique_ptr<BreakpointListBuilder> createBreakpointListBuilder(size_t pointLimit);

// Builds the breakpoint list of one curve of one track. Curve controls give a list of points
// (steps and ramps); when note envelopes or parameter envelopes touch the curve, those points
// are laid over the envelopes' sum and the whole is read out clamped to the curve's range.
// Ticks are computed in 64 bits, and nothing is sized by the track's length in ticks.
#include "render/BreakpointListBuilder.h"

#include <algorithm>
#include <limits>

#include "diag/Messages.h"
#include "diag/Reporter.h"
#include "render/CurveBuffer.h"
#include "render/CurveRamp.h"

namespace {

// Ticks are held inside these bounds, far outside any tick a track can reach, so that runs of
// hostile gaps and durations cannot overflow.
constexpr int64_t kFarPast = -(int64_t{1} << 62);
constexpr int64_t kFarFuture = int64_t{1} << 62;

int64_t boundTick(int64_t tick) {
    return std::clamp(tick, kFarPast, kFarFuture);
}

// The point list that curve controls write into: the caller's list, whose points are kept
// unless the controls remove them, followed by the points found here. The whole is ordered by
// tick, so removing every point from a tick on is a truncation. Ticks before the 32-bit range
// are held at its lowest tick, which is what the caller gets for them; their own ticks are
// kept on the side, as they only ever lead the new points, for cuts that far back. Once the
// list holds more than `limit` points it is full, and the controls stop adding to it.
class CurvePointList {
public:
    CurvePointList(std::vector<BreakpointPoint>& points, size_t limit)
        : points_(points), first_(points.size()), limit_(limit) {}

    bool full() const { return points_.size() > limit_; }

    // Returns whether a point at `tick` itself was among those removed.
    bool removeFrom(int64_t tick) {
        size_t cut = 0;
        if (tick > kLowestTick) {
            // Points held at the lowest tick all lie before `tick`.
            cut = firstAtOrAfter(points_, first_, points_.size(), tick);
        } else {
            cut = first_ + firstAtOrAfter(lowTicks_, 0, lowTicks_.size(), tick);
        }
        if (cut == first_) {
            // No new point is left: earlier points can go too.
            cut = firstAtOrAfter(points_, 0, first_, tick);
        }
        const bool removesTick = cut < points_.size() && tickAt(cut) == tick;
        first_ = std::min(first_, cut);
        points_.resize(cut);
        lowTicks_.resize(std::min(lowTicks_.size(), cut - first_));
        return removesTick;
    }

    // Whether the list ends on a point of `value`.
    bool endsOn(int64_t value) const { return !points_.empty() && points_.back().value == value; }

    // Ticks come in order: never before the tick of the last cut.
    void append(int64_t tick, int64_t value) {
        if (tick < kLowestTick) {
            lowTicks_.push_back(tick);
        }
        points_.push_back(BreakpointPoint{static_cast<int32_t>(std::max(tick, kLowestTick)),
                                          static_cast<int32_t>(value)});
    }

private:
    static constexpr int64_t kLowestTick = std::numeric_limits<int32_t>::min();

    // Index of the first point of [low, high) whose tick is `tick` or later.
    template <typename Points>
    static size_t firstAtOrAfter(const Points& points, size_t low, size_t high, int64_t tick) {
        while (low < high) {
            const size_t middle = low + (high - low) / 2;
            if (tickOf(points[middle]) < tick) {
                low = middle + 1;
            } else {
                high = middle;
            }
        }
        return low;
    }
    static int64_t tickOf(const BreakpointPoint& point) { return point.tick; }
    static int64_t tickOf(int64_t tick) { return tick; }

    // The tick of the point at `index`, the new points' own ticks where they were held.
    int64_t tickAt(size_t index) const {
        if (index >= first_ && index - first_ < lowTicks_.size()) {
            return lowTicks_[index - first_];
        }
        return points_[index].tick;
    }

    std::vector<BreakpointPoint>& points_;
    size_t first_;                   // where the new points begin
    size_t limit_;
    std::vector<int64_t> lowTicks_;  // the ticks of the new points before kLowestTick
};

// A linear ramp from `from` before tick `start` to `to` at tick end-1: a point at each tick
// where the rounded value moves. Only those ticks are visited, so a long slow ramp is cheap.
// A ramp that takes away a point at its own start tick (the step that set `from`, say) puts
// `from` back at its start when its first tick does not move off it and the points left before
// do not already end on it; the curve would otherwise hold the older value until the ramp's
// first move.
void addRamp(CurvePointList& list, int64_t from, int64_t to, int64_t start, int64_t end) {
    const bool removesStart = list.removeFrom(start);
    if (from == to) {
        return;
    }
    const int64_t span = end - start;
    if (span <= 0) {
        // A ramp of no length jumps to its value at once, like a step.
        list.append(start, to);
        return;
    }
    const CurveRamp ramp{from, to - from, span};
    if (removesStart && ramp.nextChange(0) > 1 && !list.endsOn(from)) {
        list.append(start, from);
    }
    for (int64_t step = ramp.nextChange(0); step <= span && !list.full();
         step = ramp.nextChange(step)) {
        list.append(start + step - 1, ramp.valueAt(step));
    }
}

// Points of the curve controls of `curveId`.
void collectCurvePoints(int curveId, std::span<const ControlEvent> controls, int64_t length,
                        CurvePointList& list) {
    int64_t previous = 0;
    for (const ControlEvent& control : controls) {
        const CurveChange* curve = control.as<CurveChange>();
        if (!curve || curve->curveId != curveId) {
            continue;
        }
        int64_t cursor = control.time;
        for (const auto& [value, gap, duration, shape] : curve->points) {
            const int64_t start = boundTick(cursor + gap);
            const int64_t end = duration < 0 ? length : std::min(start + duration, length);
            if (start >= length) {
                break;
            }
            if (shape == 1) {
                addRamp(list, previous, value, start, end);
            } else {
                list.removeFrom(start);
                list.append(start, value);
            }
            previous = value;
            cursor = end;
            if (list.full()) {
                return;
            }
        }
    }
}

// A note envelope: ramps between the distinct positions of its shape's points, then its
// last value held to the end of the note. A position not after the one before is passed
// over with its value.
void addEnvelope(CurveBuffer& buffer, const EnvelopeEvent& envelope, const EnvelopeShape& shape) {
    const EnvelopePoints points = placeEnvelope(shape, envelope.length);
    const int64_t time = envelope.time;
    int64_t cursor = time + points.positions[0];
    int64_t value = points.values[0];
    for (size_t k = 1; k < points.positions.size(); ++k) {
        const int64_t target = time + points.positions[k];
        if (cursor < target) {
            buffer.addRange(cursor, target - cursor, value, points.values[k] - value);
            cursor = target;
            value = points.values[k];
        }
    }
    const int64_t end = time + envelope.length;
    if (cursor < end) {
        buffer.addConstant(cursor, end - cursor, value);
    }
}

// A parameter envelope: its steps added as constants (shape 0) or as ramps from the
// previous step's value (shape 1).
void addParameterEnvelope(CurveBuffer& buffer, const ControlEvent& control,
                          const ParameterEnvelope& envelope) {
    const int32_t shape = envelope.shape;
    int64_t cursor = int64_t{control.time} + envelope.offset;
    int64_t previous = 0;
    for (const EnvelopeStep& step : envelope.steps) {
        const int64_t value = step.value;
        const int64_t duration = step.duration;
        if (shape == 0) {
            buffer.addConstant(cursor, duration, value);
            cursor = boundTick(cursor + duration);
        } else if (shape == 1) {
            if (duration > 0) {
                buffer.addRange(cursor, duration, previous, value - previous);
                cursor = boundTick(cursor + duration);
            }
            previous = value;
        }
    }
}

// The most ranges a note envelope adds: one per distinct position after the first, then the
// hold to the end of the note.
size_t rangesOf(const EnvelopeEvent&) { return kEnvelopePoints; }

// The most ranges a parameter envelope adds: one per step.
size_t rangesOf(const ParameterEnvelope& envelope) { return envelope.steps.size(); }

// The control as a parameter envelope of `curveId`, if it is one.
const ParameterEnvelope* parameterEnvelopeOf(const ControlEvent& control, int curveId) {
    const ParameterEnvelope* envelope = control.as<ParameterEnvelope>();
    return envelope != nullptr && envelope->curveId == curveId ? envelope : nullptr;
}

// One builder serves every curve of a song: its buffer and step list keep their memory from
// one curve to the next.
class BreakpointListBuilderImpl final : public BreakpointListBuilder {
public:
    explicit BreakpointListBuilderImpl(size_t pointLimit) : pointLimit_(pointLimit) {}

    void build(int curveId, int defaultValue, int minimum, int maximum,
               std::span<const ControlEvent> controls, std::span<const EnvelopeEvent> envelopes,
               std::span<const EnvelopeShape> shapes, int32_t length,
               std::vector<BreakpointPoint>& out) override {
        PointOutput output(out);
        make(curveId, defaultValue, minimum, maximum, controls, envelopes, shapes, length, out,
             output);
    }

    size_t stream(int curveId, int defaultValue, int minimum, int maximum,
                  std::span<const ControlEvent> controls, std::span<const EnvelopeEvent> envelopes,
                  std::span<const EnvelopeShape> shapes, int32_t length,
                  std::vector<BreakpointPoint>& batch, BreakpointSink& sink) override {
        batch.clear();
        PointOutput output(batch, &sink);
        make(curveId, defaultValue, minimum, maximum, controls, envelopes, shapes, length, batch,
             output);
        const size_t count = output.size();
        output.finish();
        return count;
    }

    void curvePoints(int curveId, std::span<const ControlEvent> controls, int32_t length,
                     std::vector<BreakpointPoint>& out) override {
        CurvePointList list(out, pointLimit_);
        collectCurvePoints(curveId, controls, length, list);
    }

private:
    // The points of a curve: lists made from the controls alone go whole into `list`, which
    // `output` fills; the read-out of envelopes goes through `output`, which may hand them on.
    void make(int curveId, int defaultValue, int minimum, int maximum,
              std::span<const ControlEvent> controls, std::span<const EnvelopeEvent> envelopes,
              std::span<const EnvelopeShape> shapes, int32_t length,
              std::vector<BreakpointPoint>& list, PointOutput& output) {
        // The envelopes and parameter envelopes of the curve, and how many ranges they add.
        bool laid = false;
        size_t ranges = 0;
        for (const EnvelopeEvent& envelope : envelopes) {
            if (envelope.curve == curveId) {
                laid = true;
                ranges += rangesOf(envelope);
            }
        }
        for (const ControlEvent& control : controls) {
            if (const auto envelope = parameterEnvelopeOf(control, curveId)) {
                laid = true;
                ranges += rangesOf(*envelope);
            }
        }
        if (!laid) {
            curvePoints(curveId, controls, length, list);
            return;
        }

        // The controls' points become steps over the envelopes; without any, the default
        // fills the whole curve.
        std::vector<BreakpointPoint>& points = steps_;
        points.clear();
        CurvePointList steps(points, pointLimit_ - std::min(list.size(), pointLimit_));
        collectCurvePoints(curveId, controls, length, steps);
        if (steps.full()) {
            // Too many steps for the list to hold: it is cut short with them.
            list.insert(list.end(), points.begin(), points.end());
            return;
        }

        buffer_.reset(length);
        buffer_.reserve(ranges + std::max<size_t>(points.size(), 1));
        for (const EnvelopeEvent& envelope : envelopes) {
            if (envelope.curve == curveId) {
                addEnvelope(buffer_, envelope, shapes[static_cast<size_t>(envelope.shape)]);
            }
        }
        for (const ControlEvent& control : controls) {
            if (const auto envelope = parameterEnvelopeOf(control, curveId)) {
                addParameterEnvelope(buffer_, control, *envelope);
            }
        }
        if (points.empty()) {
            buffer_.addConstant(0, length, defaultValue);
        }
        for (size_t i = 0; i < points.size(); ++i) {
            const int64_t until = i + 1 < points.size() ? points[i + 1].tick : int64_t{length};
            buffer_.addConstant(points[i].tick, until - points[i].tick, points[i].value);
        }
        buffer_.readOut(minimum, maximum, pointLimit_, output);
    }

    size_t pointLimit_;
    CurveBuffer buffer_{0};
    std::vector<BreakpointPoint> steps_;
};

}  // namespace

bool breakpointsFit(size_t pointCount, std::string_view curveName) {
    if (pointCount <= kMaxBreakpoints) return true;
    // The builder gave up on this list: the file would be far too large.
    getReporter().error(msg::kTooManyBreakpoints, curveName);
    return false;
}

std::unique_ptr<BreakpointListBuilder> createBreakpointListBuilder() {
    return createBreakpointListBuilder(kMaxBreakpoints);
}

std::unique_ptr<BreakpointListBuilder> createBreakpointListBuilder(size_t pointLimit) {
    return std::make_unique<BreakpointListBuilderImpl>(pointLimit);
}

// Tests of the breakpoint list builder: hand-worked cases, a comparison with a
// one-cell-per-tick model written from the rule on many random tracks, and tracks too
// long for such a model.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <ostream>
#include <random>
#include <span>
#include <vector>

#include "song/CurveTable.h"
#include "render/BreakpointListBuilder.h"
#include "render/CurveRamp.h"
#include "render/MulDiv.h"

// Readable points in failure messages.
void PrintTo(const BreakpointPoint& point, std::ostream* os) {
    *os << "(" << point.tick << "," << point.value << ")";
}

namespace {

using Points = std::vector<BreakpointPoint>;

// ---- Reference model, written from the rule rather than from the builder: the track
// gets one 16-bit cell per tick, every source adds its values to the cells it covers,
// and the list is read off the cells. Values come from the closed form of a range,
// never from stepping, so the model shares no arithmetic with the builder.

// The value `j` steps into a range that starts at `first` and changes by `change`
// over `count` steps: first + j * change / count, rounded toward zero (as C++ divides).
int64_t rangeValue(int64_t first, int64_t change, int64_t j, int64_t count) {
    return first + j * change / count;
}

struct ModelCurve {
    explicit ModelCurve(int64_t length)
        : cells(static_cast<size_t>(std::max<int64_t>(length, 0))) {}

    // Adds to the cells from `start` to `start + count - 1` that lie on the track.
    void add(int64_t start, int64_t count, int64_t first, int64_t change) {
        for (int64_t j = 0; j < count; ++j) {
            const int64_t tick = start + j;
            if (tick < 0 || tick >= static_cast<int64_t>(cells.size())) {
                continue;
            }
            int16_t& cell = cells[static_cast<size_t>(tick)];
            // Sums wrap around in 16 bits.
            cell = static_cast<int16_t>(static_cast<uint16_t>(
                static_cast<uint64_t>(cell) + static_cast<uint64_t>(rangeValue(first, change, j, count))));
        }
    }

    std::vector<int16_t> cells;
};

void removeFrom(Points& out, int64_t tick) {
    std::erase_if(out, [&](const BreakpointPoint& p) { return p.tick >= tick; });
}

// A ramp group of the curve controls: from `from` before `start` to `to` at `end - 1`,
// a point wherever the value differs from the tick before.
void modelRamp(Points& out, int64_t from, int64_t to, int64_t start, int64_t end) {
    const bool removesStart = std::any_of(out.begin(), out.end(),
                                          [&](const BreakpointPoint& p) { return p.tick == start; });
    removeFrom(out, start);
    if (from == to) {
        return;
    }
    const int64_t span = end - start;
    if (span == 0) {  // a ramp of no ticks: the builder makes it a step
        out.push_back({static_cast<int32_t>(start), static_cast<int32_t>(to)});
        return;
    }
    // The start value comes back when the ramp took away its own start point, stays on it for
    // its first tick, and the points before do not end on it.
    const bool firstTickMoves = rangeValue(from, to - from, 1, span) != from;
    if (removesStart && !firstTickMoves && (out.empty() || out.back().value != from)) {
        out.push_back({static_cast<int32_t>(start), static_cast<int32_t>(from)});
    }
    int64_t before = from;
    for (int64_t k = 0; k < span; ++k) {
        const int64_t value = rangeValue(from, to - from, k + 1, span);
        if (value != before) {
            out.push_back({static_cast<int32_t>(start + k), static_cast<int32_t>(value)});
        }
        before = value;
    }
}

// The points of the curve controls alone, appended to `out`.
void modelCurvePoints(int curveId, const std::vector<ControlEvent>& controls, int64_t length,
                      Points& out) {
    int64_t previous = 0;
    for (const ControlEvent& control : controls) {
        const CurveChange* curve = control.as<CurveChange>();
        if (curve == nullptr || curve->curveId != curveId) {
            continue;
        }
        int64_t at = control.time;
        for (const CurvePoint& point : curve->points) {
            const int64_t value = point.value, gap = point.gap, duration = point.duration,
                          shape = point.shape;
            const int64_t start = at + gap;
            const int64_t end = std::min(duration < 0 ? length : start + duration, length);
            if (start >= length) {
                break;
            }
            if (shape == 1) {
                modelRamp(out, previous, value, start, end);
            } else {
                removeFrom(out, start);
                out.push_back({static_cast<int32_t>(start), static_cast<int32_t>(value)});
            }
            previous = value;
            at = end;
        }
    }
}

// The shapes the envelopes of these tests name: each envelope made here has one of its own,
// of type 1, whose positions are ticks from the note's start as given.
std::vector<EnvelopeShape>& shapes() {
    static std::vector<EnvelopeShape> made;
    return made;
}

// The model reads the positions as given, passing over those not after the one before.
void addEnvelope(ModelCurve& curve, const EnvelopeEvent& e) {
    const EnvelopeShape& shape = shapes().at(static_cast<size_t>(e.shape));
    int64_t cursor = int64_t{e.time} + shape.positions[0];
    int64_t value = shape.values[0];
    for (size_t k = 1; k < 6; ++k) {
        const int64_t target = int64_t{e.time} + shape.positions[k];
        if (cursor < target) {
            curve.add(cursor, target - cursor, value, shape.values[k] - value);
            cursor = target;
            value = shape.values[k];
        }
    }
    curve.add(cursor, int64_t{e.time} + e.length - cursor, value, 0);
}

void addParameterEnvelope(ModelCurve& curve, const ParameterEnvelope& envelope, int64_t time) {
    const int32_t shape = envelope.shape;
    int64_t cursor = time + envelope.offset;
    int64_t previous = 0;
    for (const EnvelopeStep& step : envelope.steps) {
        const int64_t value = step.value, duration = step.duration;
        if (shape == 0) {
            curve.add(cursor, duration, value, 0);
            cursor += duration;
        } else if (shape == 1) {
            if (duration > 0) {
                curve.add(cursor, duration, previous, value - previous);
                cursor += duration;
            }
            previous = value;
        }
    }
}

Points modelBuild(int curveId, int defaultValue, int minimum, int maximum,
                  const std::vector<ControlEvent>& controls,
                  const std::vector<EnvelopeEvent>& envelopes, int64_t length) {
    bool used = false;
    ModelCurve curve(length);
    for (const EnvelopeEvent& e : envelopes) {
        if (e.curve == curveId) {
            used = true;
            addEnvelope(curve, e);
        }
    }
    for (const ControlEvent& c : controls) {
        const ParameterEnvelope* envelope = c.as<ParameterEnvelope>();
        if (envelope != nullptr && envelope->curveId == curveId) {
            used = true;
            addParameterEnvelope(curve, *envelope, c.time);
        }
    }
    Points out;
    if (!used) {  // the controls' points as they are
        modelCurvePoints(curveId, controls, length, out);
        return out;
    }
    Points steps;
    modelCurvePoints(curveId, controls, length, steps);
    if (steps.empty()) {
        curve.add(0, length, defaultValue, 0);
    }
    for (size_t i = 0; i < steps.size(); ++i) {
        const int64_t until = i + 1 < steps.size() ? steps[i + 1].tick : length;
        curve.add(steps[i].tick, until - steps[i].tick, steps[i].value, 0);
    }
    int64_t previous = int64_t{minimum} - 1;
    for (size_t tick = 0; tick < curve.cells.size(); ++tick) {
        const int64_t value = std::clamp<int64_t>(curve.cells[tick], minimum, maximum);
        if (value != previous) {
            out.push_back({static_cast<int32_t>(tick), static_cast<int32_t>(value)});
            previous = value;
        }
    }
    return out;
}

// ---- Helpers to make events.

// A curve control of the points given four numbers each (value, gap,
// duration, shape); numbers left over make no point.
ControlEvent curveControl(int32_t time, int32_t curveId, std::vector<int32_t> groups) {
    ControlEvent control;
    control.time = time;
    CurveChange curve{curveId, {}};
    for (size_t g = 0; g + 4 <= groups.size(); g += 4) {
        curve.points.push_back({groups[g], groups[g + 1], groups[g + 2], groups[g + 3]});
    }
    control.value = std::move(curve);
    return control;
}

// A parameter envelope of the steps given two numbers each (value, duration).
ControlEvent parameterEnvelope(int32_t time, int32_t shape, int32_t curveId, int32_t offset,
                               std::vector<int32_t> pairs) {
    ControlEvent control;
    control.time = time;
    ParameterEnvelope envelope{static_cast<int8_t>(shape), static_cast<int8_t>(curveId), offset, {}};
    for (size_t i = 0; i + 2 <= pairs.size(); i += 2) {
        envelope.steps.push_back({pairs[i], pairs[i + 1]});
    }
    control.value = std::move(envelope);
    return control;
}

EnvelopeEvent envelope(int32_t time, int32_t curveId, int32_t length,
                       std::array<int32_t, 6> positions, std::array<int32_t, 6> values) {
    EnvelopeEvent e;
    e.time = time;
    e.curve = curveId;
    e.length = length;
    e.shape = static_cast<int32_t>(shapes().size());
    shapes().push_back(EnvelopeShape{1, positions, values});
    return e;
}

constexpr int kDynamics = 1;
constexpr int kPitchBend = 8;

const CurveInfo& curveInfo(int curveId) {
    return *std::find_if(kCurves.begin(), kCurves.end(),
                         [&](const CurveInfo& curve) { return curve.id == curveId; });
}

Points build(int curveId, const std::vector<ControlEvent>& controls,
             const std::vector<EnvelopeEvent>& envelopes, int32_t length) {
    const CurveInfo& info = curveInfo(curveId);
    Points out;
    createBreakpointListBuilder()->build(curveId, info.defaultValue, info.minimum, info.maximum,
                                         controls, envelopes, shapes(), length, out);
    return out;
}

// The value a point list gives at `tick`: that of the last point at or before it.
int32_t valueAt(const Points& points, int64_t tick) {
    auto it = std::upper_bound(points.begin(), points.end(), tick,
                               [](int64_t t, const BreakpointPoint& p) { return t < p.tick; });
    EXPECT_NE(it, points.begin());
    return std::prev(it)->value;
}

// ---- Hand-worked cases.

TEST(BreakpointListTest, NothingForTheCurveGivesNoPoints) {
    std::vector<ControlEvent> controls = {curveControl(0, kPitchBend, {100, 0, -1, 0}),
                                          parameterEnvelope(0, 0, kPitchBend, 0, {5, 10})};
    std::vector<EnvelopeEvent> envelopes = {envelope(0, kPitchBend, 100, {}, {})};
    EXPECT_TRUE(build(kDynamics, controls, envelopes, 1920).empty());
}

TEST(BreakpointListTest, StepAndRampControls) {
    EXPECT_EQ(build(kDynamics, {curveControl(0, kDynamics, {100, 0, -1, 0})}, {}, 1920),
              (Points{{0, 100}}));
    const Points quarterSteps = {{0, 25}, {1, 50}, {2, 75}, {3, 100}};
    EXPECT_EQ(build(kDynamics, {curveControl(0, kDynamics, {100, 0, -1, 1})}, {}, 4),
              quarterSteps);
    EXPECT_EQ(build(kDynamics, {curveControl(0, kDynamics, {100, 0, 4, 1})}, {}, 1920),
              quarterSteps);
    // Falling ramps round toward zero change as well: 10 -> 0 over 4 ticks.
    EXPECT_EQ(build(kDynamics, {curveControl(0, kDynamics, {10, 0, 0, 0, 0, 0, 4, 1})}, {}, 100),
              (Points{{0, 8}, {1, 5}, {2, 3}, {3, 0}}));
}

TEST(BreakpointListTest, LaterControlsReplaceEarlierPoints) {
    // A ramp to the value already reached adds nothing but drops the points from its start.
    std::vector<ControlEvent> controls = {
        curveControl(0, kDynamics, {10, 0, 100, 0, 20, 0, 100, 0}),
        curveControl(50, kDynamics, {20, 0, 100, 1}),
    };
    EXPECT_EQ(build(kDynamics, controls, {}, 1000), (Points{{0, 10}}));

    // Two controls at one time: the second's step at 0 removes the first's at 100.
    controls = {curveControl(0, kDynamics, {30, 100, -1, 0}),
                curveControl(0, kDynamics, {40, 0, -1, 0})};
    EXPECT_EQ(build(kDynamics, controls, {}, 1000), (Points{{0, 40}}));

    // Groups starting at or beyond the length end their control.
    controls = {curveControl(0, kDynamics, {30, 0, 2000, 0, 40, 0, 10, 0}),
                curveControl(0, kDynamics, {50, 1000, 10, 0})};
    EXPECT_EQ(build(kDynamics, controls, {}, 1000), (Points{{0, 30}}));
}

TEST(BreakpointListTest, RampTakingAwayItsStartPointKeepsItsStartValue) {
    // A step to 40, then at the same tick a ramp from 40 to 90 over 1920 ticks: the step's
    // point comes back, then the ramp moves at tick 38.
    const auto stepThenRamp = [](int32_t from, int32_t to) {
        return std::vector<ControlEvent>{
            curveControl(0, kDynamics, {from, 0, 0, 0, to, 0, 1920, 1})};
    };
    Points points = build(kDynamics, stepThenRamp(40, 90), {}, 1920);
    ASSERT_GE(points.size(), 3U);
    EXPECT_EQ(points[0], (BreakpointPoint{0, 40}));
    EXPECT_EQ(points[1], (BreakpointPoint{38, 41}));
    EXPECT_EQ(points.back(), (BreakpointPoint{1919, 90}));
    // Over an envelope the start value holds from tick 0 instead of the envelope's sum alone.
    const std::vector<EnvelopeEvent> flat = {envelope(0, kDynamics, 1920, {}, {})};
    EXPECT_EQ(build(kDynamics, stepThenRamp(40, 90), flat, 1920)[0], (BreakpointPoint{0, 40}));

    // A flat ramp after the step still only removes it.
    EXPECT_TRUE(build(kDynamics, stepThenRamp(40, 40), {}, 1920).empty());
    // A ramp whose first tick moves already starts with its own point.
    EXPECT_EQ(build(kDynamics, stepThenRamp(0, 100), {}, 4),
              (Points{{0, 25}, {1, 50}, {2, 75}, {3, 100}}));
    // With no point at its start tick to remove, the ramp is as before.
    EXPECT_EQ(build(kDynamics, {curveControl(0, kDynamics, {2, 0, 8, 1})}, {}, 100),
              (Points{{3, 1}, {7, 2}}));
    // The points left before the ramp already end on its start value: nothing is added.
    const std::vector<ControlEvent> heldBefore = {
        curveControl(0, kDynamics, {40, 0, -1, 0}),
        curveControl(100, kDynamics, {40, 0, 0, 0, 44, 0, 8, 1})};
    EXPECT_EQ(build(kDynamics, heldBefore, {}, 1000),
              (Points{{0, 40}, {101, 41}, {103, 42}, {105, 43}, {107, 44}}));
}

TEST(BreakpointListTest, ControlsAloneAreNotClampedButWithEnvelopesAre) {
    const std::vector<ControlEvent> controls = {curveControl(0, kDynamics, {500, 0, -1, 0})};
    EXPECT_EQ(build(kDynamics, controls, {}, 100), (Points{{0, 500}}));
    const std::vector<EnvelopeEvent> flat = {envelope(0, kDynamics, 50, {}, {})};
    EXPECT_EQ(build(kDynamics, controls, flat, 100), (Points{{0, 127}}));
}

TEST(BreakpointListTest, EnvelopesAreFilledWithTheDefault) {
    EXPECT_EQ(build(kDynamics, {}, {envelope(0, kDynamics, 480, {}, {})}, 480),
              (Points{{0, 64}}));
    // Rising by 10 over ticks 100..199 of the note, then held to its end at 300.
    const auto rising = envelope(0, kDynamics, 300, {100, 200, 200, 200, 200, 200},
                                 {0, 10, 10, 10, 10, 10});
    Points expected = {{0, 64}};
    for (int i = 1; i < 10; ++i) {
        expected.push_back({100 + 10 * i, 64 + i});
    }
    expected.push_back({200, 74});
    expected.push_back({300, 64});
    EXPECT_EQ(build(kDynamics, {}, {rising}, 480), expected);
}

TEST(BreakpointListTest, ControlStepsOverAnEnvelope) {
    // Before the control only the envelope counts; the sum beyond the range is clamped.
    const std::vector<EnvelopeEvent> envelopes = {envelope(0, kPitchBend, 960, {}, {500, 500, 500,
                                                                                 500, 500, 500})};
    const std::vector<ControlEvent> controls = {curveControl(480, kPitchBend, {8000, 0, -1, 0})};
    EXPECT_EQ(build(kPitchBend, controls, envelopes, 1200),
              (Points{{0, 500}, {480, 8191}, {960, 8000}}));
}

TEST(BreakpointListTest, SixteenBitSumsWrapAround) {
    const std::vector<EnvelopeEvent> envelopes = {
        envelope(0, kPitchBend, 100, {}, {30000, 0, 0, 0, 0, 0})};
    const std::vector<ControlEvent> controls = {curveControl(0, kPitchBend, {30000, 0, -1, 0})};
    // 60000 wraps to -5536; past the envelope only the control's 30000 is left, clamped.
    EXPECT_EQ(build(kPitchBend, controls, envelopes, 200), (Points{{0, -5536}, {100, 8191}}));
}

TEST(BreakpointListTest, ParameterEnvelopeBeforeTickZeroIsCut) {
    // Offset -300 at time 100: the first 200 ticks are skipped.
    EXPECT_EQ(build(kDynamics, {parameterEnvelope(100, 0, kDynamics, -300, {10, 400})}, {}, 1000),
              (Points{{0, 74}, {200, 64}}));
    // A ramp keeps the values of its whole length: at tick 0 it is 200 steps in.
    const Points ramp = build(kPitchBend, {parameterEnvelope(100, 1, kPitchBend, -300, {400, 400})},
                              {}, 1000);
    ASSERT_EQ(ramp.size(), 201u);
    EXPECT_EQ(ramp.front(), (BreakpointPoint{0, 200}));
    EXPECT_EQ(ramp[199], (BreakpointPoint{199, 399}));
    EXPECT_EQ(ramp.back(), (BreakpointPoint{200, 0}));
}

TEST(BreakpointListTest, EqualEnvelopePositionsPassOverTheValue) {
    // Positions 1 and 2 are equal: the ramp after them runs from value 1 (40) to value 3 (0).
    const auto e = envelope(0, kPitchBend, 40, {0, 10, 10, 20, 20, 20}, {0, 40, 1000, 0, 0, 0});
    const Points points = build(kPitchBend, {}, {e}, 40);
    EXPECT_EQ(valueAt(points, 10), 40);
    EXPECT_EQ(valueAt(points, 15), 20);
    EXPECT_EQ(valueAt(points, 20), 0);
}

TEST(BreakpointListTest, CurvePointsTruncatesTheCallersOrderedList) {
    Points out = {{5, 1}, {50, 2}};
    createBreakpointListBuilder()->curvePoints(
        kDynamics, std::vector<ControlEvent>{curveControl(10, kDynamics, {7, 0, -1, 0})}, 100, out);
    EXPECT_EQ(out, (Points{{5, 1}, {10, 7}}));
}

// ---- Comparison with the plain model.

class RandomTrack {
public:
    explicit RandomTrack(uint32_t seed) : random_(seed) {}

    int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }

    int32_t value() {
        switch (pick(0, 3)) {
        case 0:
            return pick(-40000, 40000);
        case 1:
            return pick(-9000, 9000);
        default:
            return pick(-10, 140);
        }
    }

    int curveId(int target) { return pick(0, 4) == 0 ? pick(1, 9) : target; }

    std::vector<ControlEvent> controls(int target, int length) {
        std::vector<ControlEvent> list;
        int time = 0;
        const int count = pick(0, 6);
        for (int i = 0; i < count; ++i) {
            time = pick(0, 3) == 0 ? pick(0, length) : time + pick(0, length / 4 + 1);
            const int kind = pick(0, 5);
            if (kind <= 2) {
                std::vector<int32_t> groups;
                const int groupCount = pick(0, 4);
                for (int g = 0; g < groupCount; ++g) {
                    groups.push_back(value());
                    groups.push_back(pick(0, 4) == 0 ? pick(-300, 0) : pick(0, 300));
                    groups.push_back(pick(0, 3) == 0 ? pick(-3, 0) : pick(0, length));
                    groups.push_back(pick(0, 2) == 0 ? pick(0, 2) : 1);
                }
                if (pick(0, 5) == 0) {
                    groups.push_back(value());
                }
                list.push_back(curveControl(time, curveId(target), groups));
            } else if (kind <= 4) {
                std::vector<int32_t> pairs;
                const int pairCount = pick(0, 4);
                for (int p = 0; p < pairCount; ++p) {
                    pairs.push_back(value());
                    pairs.push_back(pick(0, 5) == 0 ? pick(-200, 0) : pick(0, length));
                }
                if (pick(0, 5) == 0) {
                    pairs.push_back(value());
                }
                ControlEvent control = parameterEnvelope(time, pick(0, 2), curveId(target),
                                                         pick(-500, 500), pairs);
                if (pick(0, 10) == 0) {
                    control.as<ParameterEnvelope>()->steps.clear();
                }
                list.push_back(control);
            } else {
                ControlEvent tempo;
                tempo.time = time;
                tempo.value = TempoChange{target};
                list.push_back(tempo);
            }
        }
        return list;
    }

    std::vector<EnvelopeEvent> envelopes(int target, int length) {
        std::vector<EnvelopeEvent> list;
        const int count = pick(0, 3);
        for (int i = 0; i < count; ++i) {
            std::array<int32_t, 6> positions{};
            std::array<int32_t, 6> values{};
            int position = pick(-50, 200);
            for (int k = 0; k < 6; ++k) {
                position += pick(0, 2) == 0 ? 0 : pick(0, 400);
                positions[static_cast<size_t>(k)] = pick(0, 8) == 0 ? pick(-50, 800) : position;
                values[static_cast<size_t>(k)] = value();
            }
            list.push_back(envelope(pick(-100, length), curveId(target), pick(-10, 1200),
                                    positions, values));
        }
        return list;
    }

private:
    std::mt19937 random_;
};

TEST(BreakpointListTest, MatchesThePlainModelOnRandomTracks) {
    // One builder also serves every track in turn, as the writer uses it: what it keeps
    // from one list to the next must never show in the next.
    const auto shared = createBreakpointListBuilder();
    for (uint32_t seed = 1; seed <= 4000; ++seed) {
        RandomTrack random(seed);
        const int target = kCurves[seed % kCurves.size()].id;
        const int length = random.pick(0, 5) == 0 ? random.pick(0, 10) : random.pick(10, 3000);
        const std::vector<ControlEvent> controls = random.controls(target, length);
        const std::vector<EnvelopeEvent> envelopes = random.envelopes(target, length);
        const CurveInfo& info = curveInfo(target);

        const Points expected = modelBuild(target, info.defaultValue, info.minimum, info.maximum,
                                           controls, envelopes, length);
        ASSERT_EQ(build(target, controls, envelopes, length), expected) << "seed " << seed;
        Points reused;
        shared->build(target, info.defaultValue, info.minimum, info.maximum, controls, envelopes,
                      shapes(), length, reused);
        ASSERT_EQ(reused, expected) << "seed " << seed << ", reused builder";

        Points earlier = {{-5, 3}, {random.pick(0, length), 4}};
        Points expectedAlone = earlier;
        modelCurvePoints(target, controls, length, expectedAlone);
        createBreakpointListBuilder()->curvePoints(target, controls, length, earlier);
        ASSERT_EQ(earlier, expectedAlone) << "seed " << seed;
    }
}

TEST(BreakpointListTest, RampChangeStepsMatchAStepByStepWalk) {
    std::mt19937 random(7);
    for (int round = 0; round < 3000; ++round) {
        const int64_t count = std::uniform_int_distribution<int64_t>(1, 300)(random);
        const int64_t change = std::uniform_int_distribution<int64_t>(-700, 700)(random);
        const CurveRamp ramp{std::uniform_int_distribution<int64_t>(-50, 50)(random), change,
                             count};
        for (int64_t j = 0; j < count; ++j) {
            int64_t next = j + 1;
            while (next <= count && ramp.valueAt(next) == ramp.valueAt(j)) {
                ++next;
            }
            const int64_t found = ramp.nextChange(j);
            ASSERT_EQ(std::min(found, count + 1), next) << change << "/" << count << " at " << j;
        }
    }
}

TEST(BreakpointListTest, RampWalkMovesWhereTheRampChanges) {
    // Small ramps and ramps whose products pass 64 bits, walked from a random step.
    std::mt19937_64 random(11);
    for (int round = 0; round < 4000; ++round) {
        const int shift = round % 2 == 0 ? 54 : 2;
        const auto count = static_cast<int64_t>((random() >> shift) + 1);
        const auto change = static_cast<int64_t>(random() >> shift) * (round % 3 == 0 ? -1 : 1);
        const CurveRamp ramp{-3, change, count};
        const int64_t origin = 1000;
        int64_t j = static_cast<int64_t>(random() % static_cast<uint64_t>(count));
        CurveRamp::Walk walk(ramp, origin, origin + j);
        for (int move = 0; move < 20 && j < count; ++move) {
            ASSERT_EQ(walk.value(), ramp.valueAt(j)) << change << "/" << count << " at " << j;
            const int64_t next = ramp.nextChange(j);
            if (next == CurveRamp::kNever) {
                ASSERT_EQ(walk.nextMove(), CurveRamp::kNever);
                break;
            }
            ASSERT_EQ(walk.nextMove(), origin + next) << change << "/" << count << " at " << j;
            j = next;
            walk.move();
        }
    }
}

TEST(BreakpointListTest, WideProductsAreDividedExactly) {
    constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();
    static_assert(mulDiv(kMax, kMax, kMax) == kMax);
    static_assert(mulDiv(uint64_t{1} << 40, uint64_t{1} << 40, uint64_t{1} << 30) ==
                  uint64_t{1} << 50);
    static_assert(mulDiv(kMax, 3, 4) == 3 * (uint64_t{1} << 62) - 1);
    static_assert(mulDiv(uint64_t{1} << 63, 2, 3, 2) == 6148914691236517206u);  // (2^64 + 2) / 3
    std::mt19937_64 random(3);
    for (int round = 0; round < 10000; ++round) {
        const uint64_t a = random() >> 33, b = random() >> 33, c = (random() >> 34) + 1;
        const uint64_t addend = random() >> 40;
        ASSERT_EQ(mulDiv(a, b, c, addend), (a * b + addend) / c) << a << " " << b << " " << c;
    }
}

TEST(BreakpointListTest, RangesOutOfOrderAreSweptInOrder) {
    // Envelopes laid from the last note back to the first, and a parameter envelope
    // before them all: the ranges come in many runs that must be put in order.
    for (const int count : {3, 40, 200}) {
        std::vector<EnvelopeEvent> envelopes;
        for (int i = count - 1; i >= 0; --i) {
            envelopes.push_back(envelope(i * 50, kDynamics, 45, {0, 5, 20, 20, 20, 30},
                                         {10, 30 + i % 7, 5, 5, 5, 0}));
        }
        const std::vector<ControlEvent> controls = {
            parameterEnvelope(7, 1, kDynamics, 0, {40, 90, 0, 200}),
            curveControl(120, kDynamics, {70, 0, 35, 1, 20, 0, -1, 0}),
        };
        const int32_t length = count * 50;
        const CurveInfo& info = curveInfo(kDynamics);
        EXPECT_EQ(build(kDynamics, controls, envelopes, length),
                  modelBuild(kDynamics, info.defaultValue, info.minimum, info.maximum, controls,
                             envelopes, length))
            << count << " envelopes";
    }
}

TEST(BreakpointListTest, RampsThatComeBackGiveTheSamePoints) {
    // Envelopes laid end to end over notes of two lengths, as over a song's notes: the same
    // ramps come back over the same sums, under steps that move the sum now and then, up to
    // where the dynamics are clamped.
    const auto laidOn = [](int curveId, std::vector<ControlEvent>& controls) {
        std::vector<EnvelopeEvent> envelopes;
        int32_t time = 0;
        for (int i = 0; i < 60; ++i) {
            const int32_t length = i % 3 == 0 ? 240 : 120;
            envelopes.push_back(envelope(time, curveId, length,
                                         {0, length * 3 / 10, length, length, length, length},
                                         {0, 20, 0, 0, 0, 0}));
            time += length;
        }
        controls = {curveControl(0, curveId, {64, 0, -1, 0}),
                    curveControl(3200, curveId, {120, 0, -1, 0}),
                    curveControl(6400, curveId, {64, 0, -1, 0})};
        return envelopes;
    };
    constexpr int32_t kLength = 20 * 240 + 40 * 120;
    const auto builder = createBreakpointListBuilder();
    const auto buildWith = [&](BreakpointListBuilder& with, int curveId) {
        std::vector<ControlEvent> controls;
        const std::vector<EnvelopeEvent> envelopes = laidOn(curveId, controls);
        const CurveInfo& info = curveInfo(curveId);
        Points out;
        with.build(curveId, info.defaultValue, info.minimum, info.maximum, controls, envelopes,
                   shapes(), kLength, out);
        return out;
    };
    for (const int curveId : {kDynamics, kDynamics, kPitchBend, kDynamics}) {
        std::vector<ControlEvent> controls;
        const std::vector<EnvelopeEvent> envelopes = laidOn(curveId, controls);
        const CurveInfo& info = curveInfo(curveId);
        const Points expected = modelBuild(curveId, info.defaultValue, info.minimum, info.maximum,
                                           controls, envelopes, kLength);
        ASSERT_GT(expected.size(), 500u);
        // Read again by one builder, the runs of the reads before are taken up, also after a
        // curve of another range.
        EXPECT_EQ(buildWith(*builder, curveId), expected) << "curve " << curveId;
    }

    // A list cut short inside a run that is taken up stops at the same point.
    const Points whole = buildWith(*builder, kDynamics);
    for (const size_t limit : {size_t{3}, size_t{100}, size_t{333}}) {
        const auto limited = createBreakpointListBuilder(limit);
        const Points first = buildWith(*limited, kDynamics);
        ASSERT_EQ(first, Points(whole.begin(), whole.begin() + static_cast<ptrdiff_t>(limit) + 1));
        EXPECT_EQ(buildWith(*limited, kDynamics), first) << "limit " << limit;
    }
}

// ---- The bound on the points of one list.

// Builds with a builder that takes at most `limit` points per list.
Points buildWithLimit(size_t limit, int curveId, const std::vector<ControlEvent>& controls,
                      const std::vector<EnvelopeEvent>& envelopes, int32_t length) {
    const CurveInfo& info = curveInfo(curveId);
    Points out;
    createBreakpointListBuilder(limit)->build(curveId, info.defaultValue, info.minimum,
                                              info.maximum, controls, envelopes, shapes(), length,
                                              out);
    return out;
}

TEST(BreakpointListTest, ListsPastTheLimitStopOnePointLater) {
    // Every tick of the pitch bend moves: a ramp over an envelope, a ramp of curve
    // controls alone, and curve-control steps under an envelope.
    const std::vector<ControlEvent> rising = {parameterEnvelope(0, 1, kPitchBend, 0, {500, 500})};
    const std::vector<ControlEvent> ramp = {curveControl(0, kPitchBend, {500, 0, 500, 1})};
    std::vector<ControlEvent> steps;
    for (int32_t tick = 0; tick < 500; ++tick) {
        steps.push_back(curveControl(tick, kPitchBend, {tick, 0, 1, 0}));
    }
    const std::vector<EnvelopeEvent> flat = {
        envelope(0, kPitchBend, 500, {0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0})};
    const struct {
        const char* name;
        const std::vector<ControlEvent>& controls;
        const std::vector<EnvelopeEvent>& envelopes;
    } cases[] = {{"envelope", rising, {}}, {"controls", ramp, {}}, {"steps", steps, flat}};

    for (const auto& c : cases) {
        const Points whole = build(kPitchBend, c.controls, c.envelopes, 500);
        ASSERT_EQ(whole.size(), 500u) << c.name;
        // At the limit the list is whole; one below, it stops with limit + 1 points.
        EXPECT_EQ(buildWithLimit(500, kPitchBend, c.controls, c.envelopes, 500), whole) << c.name;
        EXPECT_EQ(buildWithLimit(499, kPitchBend, c.controls, c.envelopes, 500).size(), 500u)
            << c.name;
        EXPECT_EQ(buildWithLimit(20, kPitchBend, c.controls, c.envelopes, 500).size(), 21u)
            << c.name;
    }

    // Points already in the caller's list count towards the limit.
    Points earlier = {{-3, 1}, {-2, 2}};
    createBreakpointListBuilder(10)->curvePoints(kPitchBend, ramp, 500, earlier);
    EXPECT_EQ(earlier.size(), 11u);
}

// ---- Points handed on as they are made.

// Gathers what a streamed build hands on, batch by batch.
class GatheredPoints final : public BreakpointSink {
public:
    void take(std::span<const BreakpointPoint> points) override {
        batches.push_back(points.size());
        all.insert(all.end(), points.begin(), points.end());
    }
    std::vector<size_t> batches;
    Points all;
};

TEST(BreakpointListTest, StreamedPointsAreTheBuiltOnesInBatches) {
    // Random tracks (one list each, one builder for all), then a bend that moves on every
    // one of 160 000 ticks, more than a batch holds, and the same past a builder's limit.
    const auto shared = createBreakpointListBuilder();
    Points batch;
    for (uint32_t seed = 1; seed <= 500; ++seed) {
        RandomTrack random(seed);
        const int target = kCurves[seed % kCurves.size()].id;
        const int length = random.pick(10, 3000);
        const std::vector<ControlEvent> controls = random.controls(target, length);
        const std::vector<EnvelopeEvent> envelopes = random.envelopes(target, length);
        const CurveInfo& info = curveInfo(target);
        GatheredPoints gathered;
        const size_t count = shared->stream(target, info.defaultValue, info.minimum,
                                            info.maximum, controls, envelopes, shapes(), length,
                                            batch, gathered);
        const Points expected = build(target, controls, envelopes, length);
        ASSERT_EQ(gathered.all, expected) << "seed " << seed;
        ASSERT_EQ(count, expected.size()) << "seed " << seed;
    }

    std::vector<int32_t> ramps;
    for (int i = 0; i < 20; ++i) ramps.insert(ramps.end(), {i % 2 == 0 ? 8000 : -8000, 8000});
    const std::vector<ControlEvent> swings = {parameterEnvelope(0, 1, kPitchBend, 0, ramps)};
    const int32_t length = 160000;
    const Points whole = build(kPitchBend, swings, {}, length);
    ASSERT_GT(whole.size(), 150000u);
    const CurveInfo& info = curveInfo(kPitchBend);
    GatheredPoints gathered;
    EXPECT_EQ(shared->stream(kPitchBend, info.defaultValue, info.minimum, info.maximum, swings,
                             {}, {}, length, batch, gathered),
              whole.size());
    EXPECT_EQ(gathered.all, whole);
    EXPECT_GT(gathered.batches.size(), 2u);
    EXPECT_LE(batch.capacity(), size_t{100000}) << "a batch, not the whole list, is held";

    GatheredPoints cut;
    EXPECT_EQ(createBreakpointListBuilder(100000)->stream(kPitchBend, info.defaultValue,
                                                          info.minimum, info.maximum, swings, {},
                                                          {}, length, batch, cut),
              100001u);
    EXPECT_EQ(cut.all.size(), 100001u);
}

TEST(BreakpointListTest, SteepCurveOverTheLongestNoteStopsEarly) {
    // A parameter envelope rising by one per tick over 2^31 ticks would give about half a
    // billion points; the list stops at the limit, at once.
    constexpr int32_t kLength = std::numeric_limits<int32_t>::max();
    const std::vector<ControlEvent> controls = {
        parameterEnvelope(0, 1, kPitchBend, 0, {kLength, kLength})};
    const Points points = buildWithLimit(100000, kPitchBend, controls, {}, kLength);
    ASSERT_EQ(points.size(), 100001u);
    // What it holds is the start of the whole list: the ramp's value, wrapped in 16 bits
    // and clamped.
    EXPECT_EQ(points[0], (BreakpointPoint{0, 0}));
    EXPECT_EQ(points[8191], (BreakpointPoint{8191, 8191}));
    EXPECT_EQ(points[8192], (BreakpointPoint{32768, -8192}));
    EXPECT_EQ(points[8193], (BreakpointPoint{57345, -8191}));
    EXPECT_EQ(points.back().value, points[points.size() - 2].value + 1);
}

// ---- Tracks far too long for one cell per tick.

TEST(BreakpointListTest, LongestTrackNeedsNoCellPerTick) {
    constexpr int32_t kLength = std::numeric_limits<int32_t>::max();
    constexpr int32_t kHalf = 1 << 30;
    // An envelope rising by 60 over the first half, then held; a control ramping 0 -> 100
    // over the whole track.
    const std::vector<EnvelopeEvent> envelopes = {envelope(
        0, kDynamics, kLength, {0, kHalf, kHalf, kHalf, kHalf, kHalf}, {0, 60, 60, 60, 60, 60})};
    const std::vector<ControlEvent> controls = {curveControl(0, kDynamics, {100, 0, -1, 1})};
    const Points points = build(kDynamics, controls, envelopes, kLength);

    auto expectedAt = [&](int64_t tick) {
        const int64_t envelopeValue = tick < kHalf ? tick * 60 / kHalf : 60;
        const int64_t controlValue = (tick + 1) * 100 / kLength;
        return static_cast<int32_t>(std::min<int64_t>(envelopeValue + controlValue, 127));
    };
    ASSERT_FALSE(points.empty());
    EXPECT_LE(points.size(), 200u);
    for (size_t i = 1; i < points.size(); ++i) {
        EXPECT_LT(points[i - 1].tick, points[i].tick);
        EXPECT_NE(points[i - 1].value, points[i].value);
    }
    std::mt19937_64 random(3);
    for (int i = 0; i < 2000; ++i) {
        const int64_t tick = std::uniform_int_distribution<int64_t>(0, kLength - 1)(random);
        ASSERT_EQ(valueAt(points, tick), expectedAt(tick)) << "tick " << tick;
    }
    for (const BreakpointPoint& point : points) {
        EXPECT_EQ(point.value, expectedAt(point.tick));
        if (point.tick > 0) {
            EXPECT_NE(expectedAt(point.tick - 1), point.value);
        }
    }
}

TEST(BreakpointListTest, OpposingRampsOverTheLongestTrack) {
    constexpr int32_t kLength = std::numeric_limits<int32_t>::max();
    // A rise and a fall of 1000 each, one tick apart: their sum keeps flipping between 0 and 1.
    const std::vector<ControlEvent> controls = {
        parameterEnvelope(0, 1, kPitchBend, 0, {1000, kLength}),
        parameterEnvelope(1, 1, kPitchBend, 0, {-1000, kLength}),
    };
    const Points points = build(kPitchBend, controls, {}, kLength);
    auto expectedAt = [](int64_t tick) {
        const int64_t fall = tick >= 1 ? (tick - 1) * 1000 / kLength : 0;
        return static_cast<int32_t>(tick * 1000 / kLength - fall);
    };
    ASSERT_GE(points.size(), 1000u);
    ASSERT_LE(points.size(), 2001u);
    EXPECT_EQ(points.front(), (BreakpointPoint{0, 0}));
    for (size_t i = 1; i < points.size(); ++i) {
        ASSERT_EQ(points[i].value, expectedAt(points[i].tick)) << points[i].tick;
        ASSERT_NE(expectedAt(points[i].tick - 1), points[i].value) << points[i].tick;
    }
    std::mt19937_64 random(9);
    for (int i = 0; i < 2000; ++i) {
        const int64_t tick = std::uniform_int_distribution<int64_t>(0, kLength - 1)(random);
        ASSERT_EQ(valueAt(points, tick), expectedAt(tick)) << "tick " << tick;
    }
}

TEST(BreakpointListTest, RampFromFarBeforeTickZero) {
    constexpr int32_t kLength = std::numeric_limits<int32_t>::max();
    constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
    // A gap far before tick 0 makes a ramp longer than the track: points only where it moves.
    Points points;
    createBreakpointListBuilder()->curvePoints(
        kPitchBend, std::vector<ControlEvent>{curveControl(0, kPitchBend, {8191, kMin, -1, 1})},
        kLength, points);
    ASSERT_EQ(points.size(), 8191u);
    const int64_t span = int64_t{kLength} - kMin;
    for (int64_t k : {int64_t{0}, int64_t{4095}, int64_t{8190}}) {
        // The first tick at which the ramp reaches k + 1.
        const int64_t tick = kMin + ((k + 1) * span + 8190) / 8191 - 1;
        EXPECT_EQ(points[static_cast<size_t>(k)], (BreakpointPoint{static_cast<int32_t>(tick),
                                                                    static_cast<int32_t>(k + 1)}));
    }
}

TEST(BreakpointListTest, ExtremeFieldsStayCheapAndExact) {
    constexpr int32_t kLength = std::numeric_limits<int32_t>::max();
    constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
    const std::vector<ControlEvent> controls = {
        // 5 over the ticks 0 to L-3, 9 over 0 to L-4 (the middle pair is empty).
        parameterEnvelope(kLength, 0, kDynamics, kMin, {5, kLength, 7, kMin, 9, kLength}),
        // Rising by one per tick over the last 500 ticks.
        parameterEnvelope(kLength, 1, kDynamics, -500, {kLength, kLength, kMin, kLength}),
    };
    // From tick -1, falling by one per tick from the largest value; later points passed over.
    const std::vector<EnvelopeEvent> envelopes = {
        envelope(kLength, kDynamics, kLength, {kMin, kLength, 0, kLength, kMin, kLength},
                 {kLength, kMin, kLength, kMin, kLength, kMin})};
    const Points points = build(kDynamics, controls, envelopes, kLength);

    auto expectedAt = [&](int64_t tick) {
        int64_t sum = 64 + (int64_t{kLength} - (tick + 1));
        sum += tick <= kLength - 3 ? 5 : 0;
        sum += tick <= kLength - 4 ? 9 : 0;
        sum += tick >= kLength - 500 ? tick - (kLength - 500) : 0;
        const auto cell = static_cast<int16_t>(static_cast<uint16_t>(sum & 0xFFFF));
        return std::clamp<int32_t>(cell, 0, 127);
    };
    // The sum wraps around every 65536 ticks; each turn passes once through 0..127.
    ASSERT_GT(points.size(), 4'000'000u);
    ASSERT_EQ(points.front(), (BreakpointPoint{0, expectedAt(0)}));
    // Every point is where the value changes, and holds the right value.
    size_t wrongPoints = 0;
    for (size_t i = 1; i < points.size(); ++i) {
        const BreakpointPoint& point = points[i];
        if (points[i - 1].tick >= point.tick || point.value != expectedAt(point.tick) ||
            expectedAt(point.tick - 1) == point.value) {
            ++wrongPoints;
        }
    }
    EXPECT_EQ(wrongPoints, 0u);
    std::mt19937_64 random(5);
    std::uniform_int_distribution<int64_t> anyTick(0, kLength - 1);
    for (int i = 0; i < 20000; ++i) {
        const int64_t tick = i < 1000 ? kLength - 1 - i : anyTick(random);
        ASSERT_EQ(valueAt(points, tick), expectedAt(tick)) << "tick " << tick;
    }
}

}  // namespace

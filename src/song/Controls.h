// What a control event of a track sets: one typed record for each kind
// (tempo, time signature, a curve's points, a singer change, a parameter
// envelope), so every reader takes the fields by name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <variant>
#include <vector>

struct TempoChange {
    int32_t bpm = 0;
};

struct MetreChange {
    int32_t numerator = 0;
    int32_t denominator = 0;
};

struct SingerChange {
    int32_t program = 0;
    int32_t language = 0;
    int32_t nameId = 0;  // a string id of the string pool
};

// One point of a curve control: the value (within the curve's range), set
// `gap` ticks after the end of the point before (the control's time for the
// first), lasting `duration` ticks (negative: to the end of the track's last
// note), stepped (shape 0, or any shape but 1) or ramped from the previous
// value (shape 1).
struct CurvePoint {
    int32_t value = 0;
    int32_t gap = 0;
    int32_t duration = 0;
    int32_t shape = 0;
};

struct CurveChange {
    int32_t curveId = 0;
    std::vector<CurvePoint> points;
};

// One step of a parameter envelope: a value added for `duration` ticks.
struct EnvelopeStep {
    int32_t value = 0;
    int32_t duration = 0;
};

// Values added to a curve from `offset` ticks after the control's time on:
// each step's value as a constant (shape 0) or ramped to from the step
// before's (shape 1, from 0 for the first).
// The shape and the curve id take a byte each (the compiler checks both), so
// that a control takes no more room for this kind than for a curve.
struct ParameterEnvelope {
    int8_t shape = 0;
    int8_t curveId = 0;
    int32_t offset = 0;
    std::vector<EnvelopeStep> steps;
};

using ControlValue =
    std::variant<TempoChange, MetreChange, CurveChange, SingerChange, ParameterEnvelope>;

// The number of values the command gave a control: what the copies a loop
// makes of controls count against the song's budget.
inline int64_t valueCountOf(const ControlValue& value) {
    struct Count {
        int64_t operator()(const TempoChange&) const { return 1; }
        int64_t operator()(const MetreChange&) const { return 2; }
        int64_t operator()(const SingerChange&) const { return 3; }
        int64_t operator()(const CurveChange& curve) const {
            return 1 + 4 * static_cast<int64_t>(curve.points.size());
        }
        int64_t operator()(const ParameterEnvelope& envelope) const {
            return 3 + 2 * static_cast<int64_t>(envelope.steps.size());
        }
    };
    return std::visit(Count{}, value);
}

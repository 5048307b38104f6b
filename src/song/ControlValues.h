// Typed reading and writing of a control event's values, one form for each
// subtype, so that no reader or writer counts positions in the value list.
// A control of another subtype, or with too few values for its own, reads as
// absent; the compiler makes none such.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "song/Song.h"

struct TempoControl {
    int32_t bpm;
};

struct MetreControl {
    int32_t numerator;
    int32_t denominator;
};

// Values the control lacks read as 0.
struct SingerControl {
    int32_t program;
    int32_t language;
    int32_t nameId;  // a string id of the string pool
};

// One point of a curve control: the value, set `gap` ticks after the end of
// the point before (the control's time for the first), lasting `duration`
// ticks (negative: to the end of the track's last note), stepped (shape 0) or
// ramped from the previous value (shape 1).
struct CurvePoint {
    int32_t value;
    int32_t gap;
    int32_t duration;
    int32_t shape;
};

struct CurveControl {
    int32_t curveId;
    std::span<const int32_t> groups;  // four values per point

    size_t pointCount() const { return groups.size() / 4; }
    CurvePoint point(size_t index) const {
        const int32_t* group = &groups[index * 4];
        return {group[0], group[1], group[2], group[3]};
    }
};

// One step of a parameter envelope: a value added for `duration` ticks.
struct EnvelopeStep {
    int32_t value;
    int32_t duration;
};

struct ParameterEnvelopeControl {
    int32_t shape;  // 0: each value as a constant; 1: ramps from the previous value
    int32_t curveId;
    int32_t offset;  // ticks after the control's time where the first step starts
    std::span<const int32_t> pairs;  // two values per step

    size_t stepCount() const { return pairs.size() / 2; }
    EnvelopeStep step(size_t index) const { return {pairs[index * 2], pairs[index * 2 + 1]}; }
};

inline std::optional<TempoControl> tempoControl(const ControlEvent& control) {
    if (control.subtype != ControlTempo || control.values.empty()) return std::nullopt;
    return TempoControl{control.values[0]};
}

inline std::optional<MetreControl> metreControl(const ControlEvent& control) {
    if (control.subtype != ControlTimeSignature || control.values.size() < 2) return std::nullopt;
    return MetreControl{control.values[0], control.values[1]};
}

inline std::optional<SingerControl> singerControl(const ControlEvent& control) {
    if (control.subtype != ControlSinger) return std::nullopt;
    const auto valueAt = [&](size_t index) {
        return index < control.values.size() ? control.values[index] : 0;
    };
    return SingerControl{valueAt(0), valueAt(1), valueAt(2)};
}

inline std::optional<CurveControl> curveControl(const ControlEvent& control) {
    if (control.subtype != ControlCurve || control.values.empty()) return std::nullopt;
    const std::span<const int32_t> groups(control.values.data() + 1, control.values.size() - 1);
    return CurveControl{control.values[0], groups.first(groups.size() / 4 * 4)};
}

// One that names its shape and curve but no offset has no steps either.
inline std::optional<ParameterEnvelopeControl> parameterEnvelopeControl(
    const ControlEvent& control) {
    const std::vector<int32_t>& values = control.values;
    if (control.subtype != ControlParameterEnvelope || values.size() < 2) return std::nullopt;
    if (values.size() < 3) return ParameterEnvelopeControl{values[0], values[1], 0, {}};
    const std::span<const int32_t> pairs(values.data() + 3, values.size() - 3);
    return ParameterEnvelopeControl{values[0], values[1], values[2],
                                    pairs.first(pairs.size() / 2 * 2)};
}

// The writing side, for the compiler: each sets the subtype and the values.
inline void setTempo(ControlEvent& control, TempoControl tempo) {
    control.subtype = ControlTempo;
    control.values = {tempo.bpm};
}

inline void setMetre(ControlEvent& control, MetreControl metre) {
    control.subtype = ControlTimeSignature;
    control.values = {metre.numerator, metre.denominator};
}

inline void setSinger(ControlEvent& control, SingerControl singer) {
    control.subtype = ControlSinger;
    control.values = {singer.program, singer.language, singer.nameId};
}

// A curve control without points, room made for `points` of them.
inline void startCurve(ControlEvent& control, int32_t curveId, size_t points) {
    control.subtype = ControlCurve;
    control.values.clear();
    control.values.reserve(1 + points * 4);
    control.values.push_back(curveId);
}

inline void addCurvePoint(ControlEvent& control, CurvePoint point) {
    control.values.insert(control.values.end(), {point.value, point.gap, point.duration, point.shape});
}

// A parameter envelope without steps, room made for `steps` of them.
inline void startParameterEnvelope(ControlEvent& control, int32_t shape, int32_t curveId,
                                   int32_t offset, size_t steps) {
    control.subtype = ControlParameterEnvelope;
    control.values = {shape, curveId, offset};
    control.values.reserve(3 + steps * 2);
}

inline void addEnvelopeStep(ControlEvent& control, EnvelopeStep step) {
    control.values.insert(control.values.end(), {step.value, step.duration});
}

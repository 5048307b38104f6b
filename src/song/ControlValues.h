// The compiler's way of filling a control event: each call sets the kind and
// its values, a curve or parameter envelope with room made for its points
// first.
#pragma once

#include <cstddef>
#include <cstdint>

#include "song/Song.h"

inline void setTempo(ControlEvent& control, TempoChange tempo) { control.value = tempo; }

inline void setMetre(ControlEvent& control, MetreChange metre) { control.value = metre; }

inline void setSinger(ControlEvent& control, SingerChange singer) { control.value = singer; }

// A curve control without points, room made for `points` of them.
inline void startCurve(ControlEvent& control, int32_t curveId, size_t points) {
    CurveChange& curve = control.value.emplace<CurveChange>();
    curve.curveId = curveId;
    curve.points.reserve(points);
}

// To the curve control that startCurve began.
inline void addCurvePoint(ControlEvent& control, CurvePoint point) {
    std::get<CurveChange>(control.value).points.push_back(point);
}

// A parameter envelope without steps, room made for `steps` of them.
inline void startParameterEnvelope(ControlEvent& control, int32_t shape, int32_t curveId,
                                   int32_t offset, size_t steps) {
    ParameterEnvelope& envelope = control.value.emplace<ParameterEnvelope>();
    envelope.shape = static_cast<int8_t>(shape);
    envelope.curveId = static_cast<int8_t>(curveId);
    envelope.offset = offset;
    envelope.steps.reserve(steps);
}

// To the parameter envelope that startParameterEnvelope began.
inline void addEnvelopeStep(ControlEvent& control, EnvelopeStep step) {
    std::get<ParameterEnvelope>(control.value).steps.push_back(step);
}

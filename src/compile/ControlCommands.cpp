// The @ commands that set note parameters, vibrato and singers, and that write
// control curves and parameter envelopes: @VEL, @Z, @VIB, @, @SGR, the nine
// curve commands and @EOP.
#include <algorithm>
#include <array>

#include "compile/CompilerImpl.h"
#include "diag/Messages.h"
#include "song/ClampToInt32.h"
#include "song/ControlValues.h"
#include "text/CharCode.h"
#include "text/StringPool.h"

namespace {

// An absolute value is range-checked; a relative one moves `target` by at most
// the width of the range and is clamped into it.
bool applyValue(CompilerImpl& compiler, const CommandParam& param, int32_t& target,
                int32_t minimum, int32_t maximum) {
    if (param.type == ParamNumber) {
        if (!compiler.checkRange(param.value, minimum, maximum)) return false;
        target = param.value;
        return true;
    }
    if (param.type == ParamRelative) {
        const int64_t width = static_cast<int64_t>(maximum) - minimum;
        if (!compiler.checkRange(param.value, -width, width)) return false;
        target = static_cast<int32_t>(
            std::clamp<int64_t>(static_cast<int64_t>(target) + param.value, minimum, maximum));
        return true;
    }
    compiler.error(msg::kNumericParamRequired);
    return false;
}

std::string singerName(const StringPool* strings, int32_t id) {
    const std::u16string* text = strings != nullptr ? strings->get(id) : nullptr;
    return text != nullptr ? codesToBytes(*text) : std::string();
}

}  // namespace

void CompilerImpl::velocity(TrackState& state, int count, const CommandParam* params) {
    if (!checkCount(count, 1, -1)) return;
    applyValue(*this, params[0], state.velocity, kVelocityRange.minimum, kVelocityRange.maximum);
}

void CompilerImpl::noteParameters(TrackState& state, int count, const CommandParam* params) {
    if (count < 2) {
        error(msg::kTwoOrMoreParams, "@Z");
        return;
    }
    // A string id is no index or value: refused like any number parameter.
    if (!checkNumbers(count, params)) return;
    int64_t index = params[0].value;
    for (int i = 1; i < count; ++i, ++index) {
        if (index < 0 || index > kLastNoteParameterIndex) {
            error(msg::kIndexOutOfRange, "@Z");
            return;
        }
        // The reserved indices take only 0.
        const bool known = index < static_cast<int64_t>(kNoteParameters.size());
        const ValueRange range =
            known ? kNoteParameters[static_cast<size_t>(index)].range : ValueRange{0, 0};
        if (!checkRange(params[i].value, range.minimum, range.maximum)) return;
        // The reserved indices accept only 0 and have nothing to hold it.
        if (known) state.noteParams[static_cast<size_t>(index)] = params[i].value;
    }
}

void CompilerImpl::vibrato(TrackState& state, int count, const CommandParam* params) {
    // Type and delay must be numbers; a string id would pass for either.
    if (!checkCount(count, 1, -1) || !checkNumbers(count, params)) return;
    const int32_t type = params[0].value;
    const int32_t delay = count >= 2 ? params[1].value : kDefaultVibratoDelay;
    if (type < 0 || type > kMaxVibratoType) {
        error(msg::kInvalidParam, "@VIB");
        return;
    }
    const auto [depth, rate] = kVibratoPresets[static_cast<size_t>(type)];
    state.vibrato = VibratoSetting{type, depth, rate};
    state.vibratoDelay = delay;
}

void CompilerImpl::singerChange(TrackState& state, int count, const CommandParam* params) {
    if (!checkCount(count, 1, 1)) return;
    if (params[0].type != ParamString) {
        error(msg::kWrongParamType);
        return;
    }
    const std::string name = singerName(strings, params[0].value);
    const auto found = singers.find(name);
    if (found == singers.end()) {
        error(msg::kUnknownSinger, name);
        return;
    }
    if (!roomForEvents(1)) return;
    ControlEvent& event = appendControl(state);
    event.time = state.time;
    setSinger(event, {found->second.program, found->second.language, params[0].value});
}

void CompilerImpl::singerRegistration(int count, const CommandParam* params) {
    if (!checkCount(count, 3, 3)) return;
    if (params[0].type != ParamNumber || params[1].type != ParamNumber ||
        params[2].type != ParamString) {
        error(msg::kWrongParamType);
        return;
    }
    const std::string name = singerName(strings, params[2].value);
    // Every file writes the name on a line of its own, up to a zero byte: a
    // carriage return would break the VSQ file's line, a zero byte cut the name.
    if (name.find('\r') != std::string::npos) error(msg::kSingerNameLineBreak, name);
    if (name.find('\0') != std::string::npos) warning(msg::kSingerNameCut, name);
    singers[name] = SingerVoice{params[1].value, params[0].value};
}

void CompilerImpl::curve(TrackState& state, const CurveInfo& info, int count,
                         const CommandParam* params) {
    if (!checkCount(count, 1, -1) || !checkNumbers(count, params)) return;
    if (!roomForEvents(1)) return;
    auto parameter = [&](int index) { return index < count ? params[index].value : 0; };

    ControlEvent& event = appendControl(state);
    event.time = state.time;
    startCurve(event, info.id, (static_cast<size_t>(count) + 3) / 4);

    // Relative values accumulate unclamped within the command; what is written
    // and what is kept is clamped into the curve's range.
    int64_t current = state.curveValues[static_cast<size_t>(info.id)];
    bool warned = false;
    for (int i = 0; i < count; i += 4) {
        const int32_t shape = parameter(i + 3);
        if (shape != 0 && shape != 1 && !warned) {
            warning(msg::kShapeNotImplemented);
            warned = true;
        }
        const int64_t gap = scaleDuration(state, parameter(i + 1));
        const int64_t duration = scaleDuration(state, parameter(i + 2));
        current = (params[i].type == ParamRelative ? current : 0) + params[i].value;
        addCurvePoint(event, {static_cast<int32_t>(std::clamp<int64_t>(current, info.minimum,
                                                                       info.maximum)),
                              clampToInt32(gap), clampToInt32(duration), shape});
    }
    state.curveValues[static_cast<size_t>(info.id)] =
        static_cast<int32_t>(std::clamp<int64_t>(current, info.minimum, info.maximum));
}

void CompilerImpl::parameterEnvelope(TrackState& state, int count, const CommandParam* params) {
    if (!checkCount(count, 3, -1) || !checkNumbers(count, params)) return;
    const int32_t shape = params[0].value;
    if (!checkRange(shape, 0, 1) || !checkRange(params[1].value, 1, kLastCurveId) ||
        !checkRange(params[2].value, kTickOffsetRange.minimum, kTickOffsetRange.maximum)) {
        return;
    }
    const int extra = count - 3;
    if (extra < 2 || extra % 2 != 0) {
        error(msg::kBadPairCount);
        return;
    }
    if (!roomForEvents(1)) return;
    ControlEvent& event = appendControl(state);
    event.time = state.time;
    startParameterEnvelope(event, shape, params[1].value, params[2].value,
                           static_cast<size_t>(extra / 2));

    for (int i = 3; i + 1 < count; i += 2) {
        const int32_t duration = params[i + 1].value;
        if (shape == 0 && duration < 1) {
            error(msg::kDurationBelowOne);
            return;
        }
        if (shape == 1 && duration < 0) {
            error(msg::kDurationBelowZero);
            return;
        }
        // Durations of 0 and 1 are kept as written; longer ones are scaled.
        const int64_t ticks = duration > 1 ? scaleDuration(state, duration) : duration;
        addEnvelopeStep(event, {params[i].value, clampToInt32(ticks)});
    }
}

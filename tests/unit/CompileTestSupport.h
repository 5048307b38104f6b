// Helpers shared by the compiler's tests: the source the commands stand in,
// command parameters, sending one command, catching what a piece of code
// prints, and the line a report of the compiler prints (every test names its
// source "t.mml").
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "compile/Compiler.h"
#include "diag/Diagnostics.h"
#include "song/CommandCode.h"
#include "song/CompactText.h"
#include "song/SourceMap.h"
#include "song/Song.h"

// Compact texts shown as their text in failure messages.
inline void PrintTo(const CompactText& text, std::ostream* out) { *out << text.view(); }

namespace compiletest {

inline CommandParam num(int32_t value) { return {ParamNumber, value}; }
inline CommandParam rel(int32_t value) { return {ParamRelative, value}; }
inline CommandParam str(int32_t id) { return {ParamString, id}; }

inline std::vector<CommandParam> nums(std::initializer_list<int32_t> values) {
    std::vector<CommandParam> params;
    for (int32_t value : values) params.push_back(num(value));
    return params;
}

// A control's values in the order of the command's parameters, so that a test
// can hold a control to one literal row: a curve's id, then value, gap,
// duration and shape of each point; a parameter envelope's shape, curve id and
// offset, then value and duration of each step; a singer's program, language
// and name id.
inline std::vector<int32_t> controlValues(const ControlEvent& control) {
    struct Flatten {
        std::vector<int32_t> operator()(const TempoChange& tempo) const { return {tempo.bpm}; }
        std::vector<int32_t> operator()(const MetreChange& metre) const {
            return {metre.numerator, metre.denominator};
        }
        std::vector<int32_t> operator()(const SingerChange& singer) const {
            return {singer.program, singer.language, singer.nameId};
        }
        std::vector<int32_t> operator()(const CurveChange& curve) const {
            std::vector<int32_t> values{curve.curveId};
            for (const CurvePoint& p : curve.points) values.insert(values.end(), {p.value, p.gap, p.duration, p.shape});
            return values;
        }
        std::vector<int32_t> operator()(const ParameterEnvelope& envelope) const {
            std::vector<int32_t> values{envelope.shape, envelope.curveId, envelope.offset};
            for (const EnvelopeStep& s : envelope.steps) values.insert(values.end(), {s.value, s.duration});
            return values;
        }
    };
    return std::visit(Flatten{}, control.value);
}

// The source "t.mml" of a test's commands, each standing on `line`, and the
// collector their reports go to, shown on the console as the program shows
// them.
class TestSource {
public:
    explicit TestSource(int line) : line_(line) { diagnostics_.showOnConsole(); }
    Diagnostics& diagnostics() { return diagnostics_; }
    const SourceMap& files() const { return files_; }
    void setLine(int line) { line_ = line; }
    CommandPlace place() const { return {SourceLocation{file_, line_, 0, 1}, line_}; }

private:
    SourceMap files_;
    int32_t file_ = files_.addFile("t.mml");
    Diagnostics diagnostics_{files_};
    int line_;
};

inline void send(Compiler& compiler, int code, const std::vector<CommandParam>& params,
                 const TestSource& source) {
    compiler.command(code, static_cast<int>(params.size()),
                     params.empty() ? nullptr : params.data(), source.place());
}

// Runs `code` and returns what it printed.
template <typename Code>
std::string printedBy(Code code) {
    testing::internal::CaptureStdout();
    code();
    return testing::internal::GetCapturedStdout();
}

// "LEVEL: t.mml(line) message", then ": detail" when there is one.
inline std::string reportLine(std::string_view level, int line, std::string_view message,
                              std::string_view detail = {}) {
    std::string text = std::string(level) + ": t.mml(" + std::to_string(line) + ") ";
    text += message;
    if (!detail.empty()) text.append(": ").append(detail);
    return text + "\n";
}

}  // namespace compiletest

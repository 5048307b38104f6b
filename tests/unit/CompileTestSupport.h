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

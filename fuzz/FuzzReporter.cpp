// A reporter for the fuzzer: the lines of the program's reporter, console
// conversion included, with counts that start from zero for each input. The
// counts are 64-bit and are handed out clamped, so that millions of inputs
// cannot overflow them.
#include "FuzzReporter.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <string>

#include "diag/DiagnosticLine.h"
#include "diag/Reporter.h"

namespace {

class FuzzReporter final : public Reporter {
public:
    void error(int line, std::string_view message, std::string_view detail) override {
        ++errors_;
        print("ERROR", fileName_, line < 0 ? currentLine_ : line, message, detail);
    }
    void error(std::string_view message, std::string_view detail) override {
        ++errors_;
        print("ERROR", {}, 0, message, detail);
    }
    void warning(int line, std::string_view message, std::string_view detail) override {
        ++warnings_;
        print("WARN", fileName_, line < 0 ? currentLine_ : line, message, detail);
    }
    void warning(std::string_view message, std::string_view detail) override {
        ++warnings_;
        print("WARN", {}, 0, message, detail);
    }
    void setFileName(std::string_view name) override { fileName_.assign(name); }
    void setLine(int line) override { currentLine_ = line; }
    int errorCount() override { return clamp(errors_); }
    int warningCount() override { return clamp(warnings_); }

    void reset() {
        errors_ = 0;
        warnings_ = 0;
        fileName_.clear();
        currentLine_ = 0;
    }

private:
    static int clamp(int64_t count) { return static_cast<int>(std::min<int64_t>(count, INT_MAX)); }

    static void print(std::string_view level, std::string_view file, int line,
                      std::string_view message, std::string_view detail) {
        const std::string text = diagnosticLine(level, file, line, message, detail);
        std::fwrite(text.data(), 1, text.size(), stdout);
    }

    int64_t errors_ = 0;
    int64_t warnings_ = 0;
    std::string fileName_;
    int currentLine_ = 0;
};

FuzzReporter& instance() {
    static FuzzReporter* reporter = new FuzzReporter();
    return *reporter;
}

}  // namespace

Reporter& getReporter() { return instance(); }

void resetFuzzReporter() { instance().reset(); }

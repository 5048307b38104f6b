// The console reporter: one line per diagnostic on standard output, counted.
#include "diag/ConsoleReporter.h"

#include <cstdio>
#include <string>

#include "diag/DiagnosticLine.h"

namespace {

class ConsoleReporter final : public Reporter {
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
    int errorCount() override { return errors_; }
    int warningCount() override { return warnings_; }

private:
    // One line, then a flush, so diagnostics interleave rightly with the
    // driver's own lines.
    static void print(std::string_view level, std::string_view file, int line,
                      std::string_view message, std::string_view detail) {
        const std::string text = diagnosticLine(level, file, line, message, detail);
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fflush(stdout);
    }

    int errors_ = 0;
    int warnings_ = 0;
    std::string fileName_;
    int currentLine_ = 0;
};

}  // namespace

std::unique_ptr<Reporter> createConsoleReporter() { return std::make_unique<ConsoleReporter>(); }

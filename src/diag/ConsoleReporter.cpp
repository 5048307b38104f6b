// The console reporter: one line per diagnostic on standard output, counted.
// A run shows a bounded number of lines, so a source that yields diagnostics
// without end cannot flood the console; the counts go on regardless.
#include "diag/ConsoleReporter.h"

#include <cstdio>
#include <string>

#include "diag/DiagnosticLine.h"
#include "diag/Messages.h"

namespace {

constexpr int kMaxShownLines = 1000;

class ConsoleReporter final : public Reporter {
public:
    explicit ConsoleReporter(ConsoleText toConsole) : toConsole_(toConsole) {}

    void error(int line, const msg::Message& message, std::string_view detail) override {
        ++errors_;
        print("ERROR", fileName_, line < 0 ? currentLine_ : line, message, detail);
    }
    void error(const msg::Message& message, std::string_view detail) override {
        ++errors_;
        print("ERROR", {}, 0, message, detail);
    }
    void warning(int line, const msg::Message& message, std::string_view detail) override {
        ++warnings_;
        print("WARN", fileName_, line < 0 ? currentLine_ : line, message, detail);
    }
    void warning(const msg::Message& message, std::string_view detail) override {
        ++warnings_;
        print("WARN", {}, 0, message, detail);
    }
    void setFileName(std::string_view name) override { fileName_.assign(name); }
    void setLine(int line) override { currentLine_ = line; }
    int errorCount() override { return errors_; }
    int warningCount() override { return warnings_; }

private:
    // One line, then a flush, so diagnostics interleave rightly with the
    // driver's own lines. Past the limit, one line says that no more follow.
    void print(std::string_view level, std::string_view file, int line, const msg::Message& message,
               std::string_view detail) {
        if (shownLines_ > kMaxShownLines) return;
        const std::string text =
            shownLines_ < kMaxShownLines
                ? diagnosticLine(level, file, line, message, detail, toConsole_)
                : toConsole_(msg::kFurtherDiagnosticsNotShown).append("\n");
        ++shownLines_;
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fflush(stdout);
    }

    ConsoleText toConsole_;
    int errors_ = 0;
    int warnings_ = 0;
    std::string fileName_;
    int currentLine_ = 0;
    int shownLines_ = 0;  // diagnostic lines printed, the closing one included
};

}  // namespace

std::unique_ptr<Reporter> createConsoleReporter(ConsoleText toConsole) {
    return std::make_unique<ConsoleReporter>(toConsole);
}

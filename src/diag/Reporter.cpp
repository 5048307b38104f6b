// The process-wide reporter of the program: a console reporter that lives as
// long as the process, behind a thin layer that remembers which catalogue
// messages were reported as errors, so the driver can add a hint afterwards,
// and the current position, which the compiler keeps with each note for the
// lyric hints.
#include "diag/Reporter.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "diag/ConsoleReporter.h"

namespace {

ConsoleText chosenConsoleText = nullptr;

std::string throughChosenConsoleText(std::string_view text) {
    return chosenConsoleText != nullptr ? chosenConsoleText(text) : std::string(text);
}

class RecordingReporter final : public Reporter {
public:
    void error(int line, std::string_view message, std::string_view detail) override {
        remember(message);
        console_->error(line, message, detail);
    }
    void error(std::string_view message, std::string_view detail) override {
        remember(message);
        console_->error(message, detail);
    }
    void warning(int line, std::string_view message, std::string_view detail) override {
        console_->warning(line, message, detail);
    }
    void warning(std::string_view message, std::string_view detail) override {
        console_->warning(message, detail);
    }
    void setFileName(std::string_view name) override {
        fileName_.assign(name);
        console_->setFileName(name);
    }
    void setLine(int line) override {
        line_ = line;
        console_->setLine(line);
    }
    int errorCount() override { return console_->errorCount(); }
    int warningCount() override { return console_->warningCount(); }

    bool reported(std::string_view message) const {
        return std::find(errors_.begin(), errors_.end(), message) != errors_.end();
    }
    std::string_view fileName() const { return fileName_; }
    int line() const { return line_; }

    void restart() {
        console_ = createConsoleReporter(throughChosenConsoleText);
        errors_.clear();
        fileName_.clear();
        line_ = 0;
    }

private:
    // Each distinct message once: the catalogue is small, so this stays small.
    void remember(std::string_view message) {
        if (!reported(message)) errors_.emplace_back(message);
    }

    std::unique_ptr<Reporter> console_ = createConsoleReporter(throughChosenConsoleText);
    std::vector<std::string> errors_;
    std::string fileName_;
    int line_ = 0;
};

RecordingReporter& instance() {
    static RecordingReporter* reporter = new RecordingReporter();
    return *reporter;
}

}  // namespace

Reporter& getReporter() { return instance(); }

void useConsoleText(ConsoleText toConsole) { chosenConsoleText = toConsole; }

bool errorWasReported(std::string_view message) { return instance().reported(message); }

std::string_view currentReportFile() { return instance().fileName(); }

int currentReportLine() { return instance().line(); }

void restartReporter() { instance().restart(); }

// The process-wide reporter of the program: a console reporter that lives as
// long as the process, behind a thin layer that hands what it is told to the
// run showing its reports on the console, if one is, so that run's records
// hold every report of the run.
#include "diag/Reporter.h"

#include <memory>
#include <string>

#include "diag/ConsoleReporter.h"
#include "diag/Diagnostics.h"

namespace {

ConsoleText chosenConsoleText = nullptr;

std::string throughChosenConsoleText(std::string_view text) {
    return chosenConsoleText != nullptr ? chosenConsoleText(text) : std::string(text);
}

class ProcessReporter final : public Reporter {
public:
    // A positioned report made here names a file by its name alone, which a
    // record cannot hold; the run keeps it as one without a position.
    void error(int line, const msg::Message& message, std::string_view detail) override {
        collect(Severity::Error, message, detail);
        console_->error(line, message, detail);
    }
    void error(const msg::Message& message, std::string_view detail) override {
        collect(Severity::Error, message, detail);
        console_->error(message, detail);
    }
    void warning(int line, const msg::Message& message, std::string_view detail) override {
        collect(Severity::Warning, message, detail);
        console_->warning(line, message, detail);
    }
    void warning(const msg::Message& message, std::string_view detail) override {
        collect(Severity::Warning, message, detail);
        console_->warning(message, detail);
    }
    void setFileName(std::string_view name) override { console_->setFileName(name); }
    void setLine(int line) override { console_->setLine(line); }
    int errorCount() override { return console_->errorCount(); }
    int warningCount() override { return console_->warningCount(); }

    Reporter& console() { return *console_; }
    void restart() { console_ = createConsoleReporter(throughChosenConsoleText); }
    void collectInto(Diagnostics* run) { run_ = run; }
    void stopCollecting(const Diagnostics& run) {
        if (run_ == &run) run_ = nullptr;
    }

private:
    void collect(Severity severity, const msg::Message& message, std::string_view detail) {
        if (run_ != nullptr) run_->collectShown(severity, message, detail);
    }

    std::unique_ptr<Reporter> console_ = createConsoleReporter(throughChosenConsoleText);
    Diagnostics* run_ = nullptr;
};

ProcessReporter& instance() {
    static ProcessReporter* reporter = new ProcessReporter();
    return *reporter;
}

// What this thread reports to instead of the process-wide reporter, if anything.
thread_local Reporter* reporterOfThisThread = nullptr;

}  // namespace

Reporter& getReporter() {
    return reporterOfThisThread != nullptr ? *reporterOfThisThread : instance();
}

Reporter* reportThisThreadTo(Reporter* reporter) {
    Reporter* const before = reporterOfThisThread;
    reporterOfThisThread = reporter;
    return before;
}

void useConsoleText(ConsoleText toConsole) { chosenConsoleText = toConsole; }

void restartReporter() { instance().restart(); }

void collectConsoleReportsInto(Diagnostics& run) { instance().collectInto(&run); }

void stopCollectingConsoleReports(const Diagnostics& run) { instance().stopCollecting(run); }

Reporter& consoleOfProcess() { return instance().console(); }

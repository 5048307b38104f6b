// The console's face of the diagnostics: prints each error or warning as a
// line on standard output and counts them. Reporting never stops anything;
// callers decide how to go on. A run keeps its reports as records
// (diag/Diagnostics.h) and shows them through the process-wide reporter.
#pragma once

#include <string>
#include <string_view>

#include "diag/Message.h"

class Diagnostics;

class Reporter {
public:
    // Positioned reports name the current file and `line`, or the current line
    // when `line` is negative. The position-less forms never print a position.
    virtual void error(int line, const msg::Message& message, std::string_view detail) = 0;
    virtual void error(const msg::Message& message, std::string_view detail) = 0;
    virtual void warning(int line, const msg::Message& message, std::string_view detail) = 0;
    virtual void warning(const msg::Message& message, std::string_view detail) = 0;
    virtual void setFileName(std::string_view name) = 0;
    virtual void setLine(int line) = 0;
    virtual int errorCount() = 0;
    virtual int warningCount() = 0;
    virtual ~Reporter() = default;
};

// The process-wide reporter, created on first use and never destroyed; on a
// thread told to report elsewhere, what it was told (see reportThisThreadTo).
Reporter& getReporter();

// Makes getReporter() on this thread give `reporter`, or the process-wide
// reporter again when it is null; returns what it gave before, null for the
// process-wide one. Work done beside other work records its reports this way
// (diag/ReportRecorder.h).
Reporter* reportThisThreadTo(Reporter* reporter);

// How the program's code page 932 texts are made ready for the console: the
// driver's conversion for the encoding it chose (UTF-8 in the UTF-8 mode). The
// process-wide reporter prints its lines as they are until the driver says.
using ConsoleText = std::string (*)(std::string_view cp932);
void useConsoleText(ConsoleText toConsole);

// Starts the process-wide reporter afresh (its counts and the lines it has
// shown), for a run that follows another in the same process.
void restartReporter();

// While a run collects them, what is reported through the process-wide
// reporter (by modules that report without a position) goes to the run's
// records too, until the run stops collecting; one run at a time collects.
void collectConsoleReportsInto(Diagnostics& run);
void stopCollectingConsoleReports(const Diagnostics& run);

// The console the process-wide reporter prints through: it prints and counts
// like the process-wide reporter, but collects nothing. A run shows its own
// reports here, having recorded them itself.
Reporter& consoleOfProcess();

// The one diagnostics sink of a run: prints each error or warning as a line on
// standard output and counts them. Reporting never stops anything; callers
// decide how to go on, and the pipeline run checks the counts at checkpoints.
#pragma once

#include <string>
#include <string_view>

class Reporter {
public:
    // Positioned reports name the current file and `line`, or the current line
    // when `line` is negative. The position-less forms never print a position.
    virtual void error(int line, std::string_view message, std::string_view detail) = 0;
    virtual void error(std::string_view message, std::string_view detail) = 0;
    virtual void warning(int line, std::string_view message, std::string_view detail) = 0;
    virtual void warning(std::string_view message, std::string_view detail) = 0;
    virtual void setFileName(std::string_view name) = 0;
    virtual void setLine(int line) = 0;
    virtual int errorCount() = 0;
    virtual int warningCount() = 0;
    virtual ~Reporter() = default;
};

// The process-wide reporter, created on first use and never destroyed.
Reporter& getReporter();

// How the program's code page 932 texts are made ready for the console: the
// driver's conversion for the encoding it chose (UTF-8 in the UTF-8 mode). The
// process-wide reporter prints its lines as they are until the driver says.
using ConsoleText = std::string (*)(std::string_view cp932);
void useConsoleText(ConsoleText toConsole);

// Whether the process-wide reporter has reported an error with this catalogue
// message so far.
bool errorWasReported(std::string_view message);

// The file name and line that a positioned report with line -1 would name now.
std::string_view currentReportFile();
int currentReportLine();

// Starts the process-wide reporter afresh (counts, shown lines, the errors
// remembered), for a program that runs the compiler more than once.
void restartReporter();

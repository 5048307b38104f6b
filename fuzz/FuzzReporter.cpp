// The fuzzer's process-wide reporter: a console reporter like the program's,
// replaced by a fresh one for every input so that the counts start from zero.
#include "FuzzReporter.h"

#include <memory>

#include "diag/ConsoleReporter.h"
#include "diag/Reporter.h"
#include "text/Encoding.h"

namespace {

std::unique_ptr<Reporter>& current() {
    static auto* reporter = new std::unique_ptr<Reporter>(createConsoleReporter(consoleText));
    return *reporter;
}

}  // namespace

Reporter& getReporter() { return *current(); }

void resetFuzzReporter() { current() = createConsoleReporter(consoleText); }

// The positions the compiler keeps for the lyric hints: the harness's reporter
// does not record them, so every note is placed nowhere in particular. The
// hints are only printed, and nothing a fuzzer checks depends on them.
std::string_view currentReportFile() { return {}; }

int currentReportLine() { return 0; }

void restartReporter() { resetFuzzReporter(); }

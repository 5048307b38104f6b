// The reporter that prints each diagnostic as a line on standard output, as
// the program does. The program keeps one for its whole life; the fuzzer takes
// a fresh one for every input, so that each input's counts start from zero.
#pragma once

#include <memory>

#include "diag/DiagnosticLine.h"
#include "diag/Reporter.h"

// Its lines are made ready for the console through `toConsole`.
std::unique_ptr<Reporter> createConsoleReporter(ConsoleText toConsole);

// The fuzzer's stand-in for the process-wide reporter: it prints and counts
// like the program's, but it can be started afresh, so that every input is
// judged on its own diagnostics rather than on those of all inputs before it.
#pragma once

// Sets both counts back to zero and forgets the file name and the line.
void resetFuzzReporter();

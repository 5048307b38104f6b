// The one place where the modules meet: creates them in order, runs the front
// end and the writer, checks the error count after each, prints the verdict.
#pragma once

struct RunSettings;

// True when the run succeeded (the verdict lines have been printed either way).
bool runPipeline(const RunSettings& settings);

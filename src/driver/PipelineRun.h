// The one place where the modules meet: creates them in order, runs the front
// end and the writer, checks the error count after each, prints the verdict.
#pragma once

#include <string>
#include <vector>

struct RunSettings;

// True when the run succeeded (the verdict lines have been printed either way).
// `pathsRead`, when given, receives the paths of the files the run read.
bool runPipeline(const RunSettings& settings, std::vector<std::string>* pathsRead = nullptr);

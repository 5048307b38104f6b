// The one place where the modules meet: creates them in order, runs the front
// end and the writer, checks the error count after each, prints the verdict.
#pragma once

#include <string>
#include <vector>

struct RunContext;
struct RunSettings;

// One run as `run` asks (driver/RunContext.h); its reports, map of files and
// files read stay in `run`. True when the run succeeded.
bool runPipeline(RunContext& run);

// A run of the files on disk, shown on the console, as the program makes it
// (the verdict lines have been printed either way). `pathsRead`, when given,
// receives the paths of the files the run read.
bool runPipeline(const RunSettings& settings, std::vector<std::string>* pathsRead = nullptr);

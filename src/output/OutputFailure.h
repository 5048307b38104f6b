// Reporting of an output file that cannot be written, and the two steps every
// output takes around its writing: a new file staged beside the target, then,
// once complete, handed to the run's batch to be put over the target with the
// run's other outputs. Each step reports its own failure as "cannot open the
// file" with the path and the system's reason.
#pragma once

#include <cstdio>
#include <string>

class OutputBatch;
class StagedOutputFile;

void reportOutputFailure(const std::string& path, const std::string& reason);

// The stream of a new file staged for `path`, or null when none can be made.
std::FILE* openStagedOutput(StagedOutputFile& output, const std::string& path);

// Hands the staged file of `path`, written and closed, to `outputs`, which puts
// it over `path` with the run's other outputs. `writeError` is the system's
// error number of a write or close that failed, 0 when all went well; a file
// given up is removed by the staging object.
bool finishStagedOutput(StagedOutputFile& output, const std::string& path, int writeError,
                        OutputBatch& outputs);

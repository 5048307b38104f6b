// Reporting of an output file that cannot be written, and the two steps every
// output takes around its writing: a new file staged beside the target, then
// put over it once complete. Each step reports its own failure as "cannot open
// the file" with the path and the system's reason.
#pragma once

#include <cstdio>
#include <string>

class StagedOutputFile;

void reportOutputFailure(const std::string& path, const std::string& reason);

// The stream of a new file staged for `path`, or null when none can be made.
std::FILE* openStagedOutput(StagedOutputFile& output, const std::string& path);

// Puts the staged file over `path` once written. `writeError` is the system's
// error number of a write or close that failed, 0 when all went well; a file
// given up is removed by the staging object.
bool commitStagedOutput(StagedOutputFile& output, const std::string& path, int writeError);

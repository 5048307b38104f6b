// The names of the files an output is written to before it is put in place,
// and the removal of such files that a run no longer existing has left.
#pragma once

#include <string>

namespace platform {

// A fresh candidate name in `folder` (empty, or ending in a separator):
// "tuvo-", the number of this process, "-", six random letters or digits,
// ".tmp". The number lets a later run tell whether the file's run still exists.
std::string temporaryName(const std::string& folder);

// Removes from `folder` the files named as above whose process no longer
// exists: what a run killed before it could put its file in place left.
void removeTemporariesOfEndedRuns(const std::string& folder);

}  // namespace platform

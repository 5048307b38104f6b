// The names of the files an output is written to before it is put in place,
// the lock that marks such a file as in use, and the removal of such files
// that nobody holds any more: what a run killed before it could put its file in
// place left.
#pragma once

#include <string>

namespace platform {

// A fresh candidate name in `folder` (empty, or ending in a separator):
// "tuvo-", the number of this process, "-", six random letters or digits,
// ".tmp". The number only tells a person which run made the file.
std::string temporaryName(const std::string& folder);

// Marks the file open on `descriptor` as in use for as long as that opening of
// it stays open (descriptors copied from it included): a shared lock, which
// removeTemporariesOfEndedRuns cannot take. It ends with the process however
// the process ends. False when the lock cannot be had (the file system keeps
// no locks, or someone holds the file: errno EWOULDBLOCK); the file is then
// not marked.
bool holdTemporary(int descriptor);

// Removes from `folder` the files named as above that nobody holds: only a file
// whose lock this process can take is removed, which proves that no run has it
// open, on this machine, in another container sharing the folder, or on
// another machine of a network file system that passes locks on. A file whose
// lock cannot be tried (no right to open it, a file system without locks) is
// kept.
void removeTemporariesOfEndedRuns(const std::string& folder);

}  // namespace platform

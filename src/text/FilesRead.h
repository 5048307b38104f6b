// The files a run has read (its source, the files it included, the dictionary),
// remembered by identity so that the run can refuse to write its output over
// any of them, whatever name the output is given, and by the path they were
// opened by, so that watch mode knows what to watch.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

// Remembers the file open on `file`, opened by `path`; every text file is read
// through here.
void rememberFileRead(std::FILE* file, const std::string& path);
// True when `path` names one of the files remembered.
bool wasFileRead(const std::string& path);
// The paths the files were opened by, each once, in the order first read.
const std::vector<std::string>& pathsRead();
// Forgets them all, for a new run in the same process.
void forgetFilesRead();

// The files a run has read (its source, the files it included, the dictionary),
// remembered by identity so that the run can refuse to write its output over
// any of them, whatever name the output is given.
#pragma once

#include <cstdio>
#include <string>

// Remembers the file open on `file`; every text file is read through here.
void rememberFileRead(std::FILE* file);
// True when `path` names one of the files remembered.
bool wasFileRead(const std::string& path);
// Forgets them all, for a new run in the same process.
void forgetFilesRead();

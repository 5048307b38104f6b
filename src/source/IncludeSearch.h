// Finding the file that an include directive names.
#pragma once

#include <string>
#include <vector>

class SourceProvider;

// The path of the first entry that `sources` says exists among: the including
// file's directory followed by `name`, then each of `directories` in order
// joined with `name`. Empty when none exists. The path is returned as built,
// not normalised.
std::string findIncludeFile(const std::string& name, const std::string& includingFile,
                            const std::vector<std::string>& directories, SourceProvider& sources);

// The error for an output file that cannot be written: "cannot open the file"
// with the path and the system's reason.
#pragma once

#include <string>

void reportOutputFailure(const std::string& path, const std::string& reason);

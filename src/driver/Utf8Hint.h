// The hint for a UTF-8 source compiled without -u: its lyrics come out as
// code page 932 nonsense that the dictionary cannot convert.
#pragma once

#include <string>

// Whether the file has no byte order mark, holds at least one character
// beyond ASCII and is valid UTF-8 throughout: a UTF-8 text read as code page 932.
bool looksLikeUnmarkedUtf8(const std::string& path);

// Prints on standard error the one-line hint to give -u for `inputPath`.
void printUtf8Hint(const std::string& inputPath);

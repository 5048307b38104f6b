// The name meant by a command the compiler does not know: the nearest known
// "@" command by edit distance, letters compared without regard to case.
#pragma once

#include <string>
#include <string_view>

// The known command nearest to `name`, or empty when none is close enough to
// be what was meant: a name of two characters ("@" and a letter) must differ
// in case alone, one of three or four may take one edit, a longer one two.
std::string nearestCommandName(std::string_view name);

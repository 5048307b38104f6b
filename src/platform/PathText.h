// Paths as text, the one place the program cuts and joins them: where a
// path's file name begins and how a folder and a name are joined. Both "/" and
// a backslash separate folders, so that paths written on either kind of system
// are read alike.
#pragma once

#include <string>
#include <string_view>

namespace platform {

constexpr bool isPathSeparator(char c) { return c == '/' || c == '\\'; }

// Where the file name of `path` begins: just after its last separator, 0
// when it has none.
size_t fileNameStart(std::string_view path);

// `folder`, then `separator` unless the folder ends in a separator already,
// then `name`. An empty folder gets the separator too: it is the root.
std::string joinPath(std::string_view folder, std::string_view name, char separator);

}  // namespace platform

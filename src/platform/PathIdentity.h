// Telling whether two paths lead to one file: through symbolic links (also
// links whose file does not exist yet, which a write would create), relative
// and absolute spellings, hard links and bind mounts.
#pragma once

#include <string>

namespace platform {

// The absolute path of the entry `path` finally leads to: every symbolic link
// on the way followed, a dangling one too, up to a bounded number of links.
// Empty when that cannot be told (a loop of links, an unreadable folder).
std::string finalPath(const std::string& path);

// True when writing `a` and writing `b` would write one file: the same file
// where both exist, otherwise the same final path.
bool leadToSameFile(const std::string& a, const std::string& b);

}  // namespace platform

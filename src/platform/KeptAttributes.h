// What a file that replaces another takes over from it besides its bytes: the
// access rights, the owner and group, and the extended attributes.
#pragma once

#include <string>

namespace platform {

// Gives the new file open on `descriptor` the access rights, owner and group
// of the regular file at `original`, and its extended attributes where the
// system has them. Where the owner or group cannot be given, the new file
// keeps this process's and loses the set-user-ID and set-group-ID bits.
// Nothing happens when `original` is not a regular file.
void keepAttributes(int descriptor, const std::string& original);

}  // namespace platform

// Owner, group, access rights and extended attributes carried from a replaced
// file to its replacement. Each step that the system refuses is left out; the
// file itself is written all the same.
#include "platform/KeptAttributes.h"

#include <sys/stat.h>

#include <string>
#include <vector>

#ifndef _WIN32
#include <unistd.h>
#endif
#ifdef __linux__
#include <sys/xattr.h>
#endif

namespace platform {
namespace {

#ifdef __linux__
// Copies every extended attribute of `original` that the new file may take.
void copyExtendedAttributes(const std::string& original, int descriptor) {
    const ssize_t listSize = ::listxattr(original.c_str(), nullptr, 0);
    if (listSize <= 0) return;
    std::vector<char> names(static_cast<size_t>(listSize));
    const ssize_t namesSize = ::listxattr(original.c_str(), names.data(), names.size());
    if (namesSize <= 0) return;
    std::vector<char> value;
    for (size_t at = 0; at < static_cast<size_t>(namesSize);) {
        const char* name = names.data() + at;
        at += std::char_traits<char>::length(name) + 1;
        const ssize_t valueSize = ::getxattr(original.c_str(), name, nullptr, 0);
        if (valueSize < 0) continue;
        value.resize(static_cast<size_t>(valueSize));
        const ssize_t read = ::getxattr(original.c_str(), name, value.data(), value.size());
        if (read >= 0) ::fsetxattr(descriptor, name, value.data(), static_cast<size_t>(read), 0);
    }
}
#endif

}  // namespace

void keepAttributes(int descriptor, const std::string& original) {
#ifdef _WIN32
    // The access rights were given when the file was made; there is no owner to keep.
    (void)descriptor;
    (void)original;
#else
    struct stat existing {};
    if (::stat(original.c_str(), &existing) != 0 || !S_ISREG(existing.st_mode)) return;
    mode_t mode = existing.st_mode & 07777;
    if (::fchown(descriptor, existing.st_uid, existing.st_gid) != 0) {
        // A set-ID bit on a file of another owner would hand out that owner's rights.
        mode &= static_cast<mode_t>(~(S_ISUID | S_ISGID));
    }
    // After the owner: changing the owner clears the set-ID bits.
    ::fchmod(descriptor, mode);
#ifdef __linux__
    copyExtendedAttributes(original, descriptor);
#endif
#endif
}

}  // namespace platform

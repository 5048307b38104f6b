// Final paths and file identity. Links are followed one at a time so that a
// dangling one still says where the file it names would be made.
#include "platform/PathIdentity.h"

#include <filesystem>
#include <system_error>

#include "platform/Platform.h"

namespace fs = std::filesystem;

namespace platform {
namespace {

// As many links as the system itself follows before it gives up on a path.
constexpr int kMaxLinks = 40;

}  // namespace

std::string finalPath(const std::string& path) {
    if (path.empty() || path.find('\0') != std::string::npos) return {};
    std::error_code error;
    fs::path current = fs::absolute(path, error);
    if (error) return {};
    for (int link = 0; link <= kMaxLinks; ++link) {
        // The folder part has no links left once it is made canonical, so the
        // name's "." and ".." can then be taken lexically.
        const fs::path folder = fs::weakly_canonical(current.parent_path(), error);
        if (error) return {};
        current = (folder / current.filename()).lexically_normal();
        const fs::file_status entry = fs::symlink_status(current, error);
        if (!fs::is_symlink(entry)) {
            // No entry at all is an answer too: the file a write would make.
            const bool known = !error || entry.type() == fs::file_type::not_found;
            return known ? current.string() : std::string();
        }
        const fs::path target = fs::read_symlink(current, error);
        if (error) return {};
        current = target.is_absolute() ? target : current.parent_path() / target;
    }
    return {};
}

bool leadToSameFile(const std::string& a, const std::string& b) {
    if (a == b) return true;
    const auto identityA = fileIdentity(a);
    const auto identityB = fileIdentity(b);
    if (identityA && identityB) return identityA == identityB;
    const std::string finalA = finalPath(a);
    return !finalA.empty() && finalA == finalPath(b);
}

}  // namespace platform

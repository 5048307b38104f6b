// Follows a document's includes breadth first, each file once, reading at
// most a bounded number of them, and collects their macro and ".equ" names.
#include "lsp/VisibleNames.h"

#include <filesystem>
#include <set>
#include <utility>

namespace {

// A song's includes are a handful; the bounds keep a hostile tree of them
// from making a hover read the disk without end.
constexpr size_t kFilesFollowed = 64;
constexpr size_t kIncludesTried = 256;

// The file an include name means from the file at `from`, read.
std::optional<std::pair<std::string, std::string>> resolve(const std::string& from, const std::string& name,
                                                           const std::vector<std::string>& folders,
                                                           const ReadText& read) {
    std::vector<std::filesystem::path> candidates{std::filesystem::path(from).parent_path() / name};
    for (const std::string& folder : folders) candidates.push_back(std::filesystem::path(folder) / name);
    for (const std::filesystem::path& candidate : candidates) {
        const std::string path = candidate.lexically_normal().string();
        if (std::optional<std::string> text = read(path)) return std::make_pair(path, std::move(*text));
    }
    return std::nullopt;
}

}  // namespace

std::vector<VisibleName> visibleNames(const std::string& path, std::string_view text,
                                      const std::vector<std::string>& folders, const ReadText& read) {
    std::vector<VisibleName> names;
    std::set<std::string> seen{std::filesystem::path(path).lexically_normal().string()};
    std::vector<std::pair<std::string, std::string>> queue;  // files read, still to index
    size_t tried = 0;
    const auto collect = [&](const std::string& file, std::string_view fileText) {
        const DocumentIndex index(fileText);
        for (const Definition& definition : index.definitions()) {
            if (definition.kind == Definition::Kind::Macro || definition.kind == Definition::Kind::Equ) {
                names.push_back({file, definition});
            } else if (definition.kind == Definition::Kind::Include && seen.size() < kFilesFollowed &&
                       tried++ < kIncludesTried) {
                auto found = resolve(file, definition.name, folders, read);
                if (found && seen.insert(found->first).second) queue.push_back(std::move(*found));
            }
        }
    };
    collect(path, text);
    for (size_t next = 0; next < queue.size(); ++next) {
        const std::pair<std::string, std::string> file = std::move(queue[next]);
        collect(file.first, file.second);
    }
    return names;
}

const VisibleName* findName(const std::vector<VisibleName>& names, const std::string& name) {
    for (const Definition::Kind kind : {Definition::Kind::Macro, Definition::Kind::Equ}) {
        for (const VisibleName& visible : names) {
            if (visible.definition.kind == kind && visible.definition.name == name) return &visible;
        }
    }
    return nullptr;
}

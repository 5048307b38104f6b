// The macro and ".equ" names a document can use: its own, then those of the
// files it includes, include by include (an included file's own includes
// too), each with the file it is defined in.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "lsp/DocumentIndex.h"

// The UTF-8 text of the file at `path` (an open buffer or the file on disk,
// read as the settings say), or nothing when there is none.
using ReadText = std::function<std::optional<std::string>(const std::string& path)>;

struct VisibleName {
    std::string path;  // the file that defines it
    Definition definition;
};

// Every macro and ".equ" name the document at `path` with `text` sees; an
// include name is looked for beside the including file, then in `folders`.
std::vector<VisibleName> visibleNames(const std::string& path, std::string_view text,
                                      const std::vector<std::string>& folders, const ReadText& read);

// The first of them called `name`, a macro before an ".equ" name.
const VisibleName* findName(const std::vector<VisibleName>& names, const std::string& name);

// The INI-like texts two of the formats are made of: the metatext of a VSQ
// voice track and a UTAU sequence. A line "[name]" starts a section; the
// section's other lines are "key=value" entries. Lines end with LF or CR LF.
// The sections are views into the text, so they live as long as it does.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

struct IniSection {
    std::string_view name;  // between the brackets
    std::string_view body;  // the lines after the header, up to the next header
};

// The text's sections in order; lines before the first header are left out.
std::vector<IniSection> iniSections(std::string_view text);

// Calls `visit(key, value)` for every "key=value" line of a section body, in
// order; a line without "=" is given with an empty value and `hasValue` false.
template <typename Visit>
void forEachIniLine(std::string_view body, Visit visit) {
    size_t at = 0;
    while (at < body.size()) {
        size_t end = body.find('\n', at);
        if (end == std::string_view::npos) end = body.size();
        std::string_view line = body.substr(at, end - at);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        at = end + 1;
        if (line.empty()) continue;
        const size_t equals = line.find('=');
        if (equals == std::string_view::npos) {
            visit(line, std::string_view(), false);
        } else {
            visit(line.substr(0, equals), line.substr(equals + 1), true);
        }
    }
}

// The value of the first line of `key`; empty when there is none.
std::string_view iniValue(std::string_view body, std::string_view key);

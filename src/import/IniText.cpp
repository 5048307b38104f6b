// Cutting an INI-like text into sections.
#include "import/IniText.h"

std::vector<IniSection> iniSections(std::string_view text) {
    std::vector<IniSection> sections;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(at, end - at);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            if (!sections.empty()) {
                IniSection& last = sections.back();
                last.body = text.substr(last.body.data() - text.data(),
                                        static_cast<size_t>(text.data() + at - last.body.data()));
            }
            const size_t bodyStart = end < text.size() ? end + 1 : end;
            sections.push_back({line.substr(1, line.size() - 2), text.substr(bodyStart, 0)});
        }
        at = end + 1;
    }
    if (!sections.empty()) {
        IniSection& last = sections.back();
        last.body = text.substr(static_cast<size_t>(last.body.data() - text.data()));
    }
    return sections;
}

std::string_view iniValue(std::string_view body, std::string_view key) {
    std::string_view found;
    bool done = false;
    forEachIniLine(body, [&](std::string_view k, std::string_view value, bool) {
        if (!done && k == key) {
            found = value;
            done = true;
        }
    });
    return found;
}

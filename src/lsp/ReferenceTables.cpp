// The tables of the documents read row by row: the cells of a Markdown table
// row, the names quoted in its first cell, the manual link in its last.
#include "lsp/ReferenceTables.h"

#include <fstream>
#include <sstream>
#include <string_view>
#include <utility>

namespace {

std::string trimmed(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return std::string(text);
}

// The cells of a table row "| a | b |"; none for any other line.
std::vector<std::string> cellsOf(const std::string& line) {
    std::vector<std::string> cells;
    if (line.size() < 2 || line.front() != '|' || line.back() != '|') return cells;
    size_t start = 1;
    for (size_t at = 1; at < line.size(); ++at) {
        if (line[at] == '|' && line[at - 1] != '\\') {
            cells.push_back(trimmed(std::string_view(line).substr(start, at - start)));
            start = at + 1;
        }
    }
    return cells;
}

// The texts quoted in backquotes in `cell`, each once.
std::vector<std::string> quoted(const std::string& cell) {
    std::vector<std::string> names;
    for (size_t open = cell.find('`'); open != std::string::npos;) {
        const size_t close = cell.find('`', open + 1);
        if (close == std::string::npos) break;
        names.push_back(cell.substr(open + 1, close - open - 1));
        open = cell.find('`', close + 1);
    }
    return names;
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// Calls `row(header, cells)` for every row of every table of `text` after its
// header row (the separator row too).
template <typename OnRow>
void forEachTableRow(const std::string& text, OnRow row) {
    std::vector<std::string> header;
    for (const std::string& line : linesOf(text)) {
        std::vector<std::string> cells = cellsOf(line);
        if (cells.empty()) {
            header.clear();
        } else if (header.empty()) {
            header = std::move(cells);
        } else {
            row(header, cells);
        }
    }
}

std::string readWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The anchor a link "[n](manual.md#anchor)" in `cell` gives, or empty.
std::string anchorIn(const std::string& cell) {
    const size_t at = cell.find("manual.md#");
    if (at == std::string::npos) return {};
    const size_t start = at + 10;
    const size_t end = cell.find(')', start);
    return end == std::string::npos ? std::string() : cell.substr(start, end - start);
}

}  // namespace

std::string fileUri(const std::string& path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string uri = "file://";
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        const bool plain = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                           (byte >= '0' && byte <= '9') || byte == '/' || byte == '-' ||
                           byte == '_' || byte == '.' || byte == '~';
        if (plain) {
            uri.push_back(c);
        } else {
            uri.push_back('%');
            uri.push_back(kHex[byte >> 4]);
            uri.push_back(kHex[byte & 15]);
        }
    }
    return uri;
}

ReferenceTables ReferenceTables::load(const std::string& folder) {
    const std::string manualPath = folder + "/manual.md";
    return fromTexts(readWhole(manualPath), readWhole(folder + "/card.md"), fileUri(manualPath));
}

ReferenceTables ReferenceTables::fromTexts(const std::string& manual, const std::string& card,
                                           const std::string& manualUri) {
    ReferenceTables tables;
    // The manual: the messages' English, and what each command does.
    forEachTableRow(manual, [&](const std::vector<std::string>& header,
                                const std::vector<std::string>& cells) {
        if (header[0] == "message" && cells.size() >= 2) {
            for (const std::string& text : quoted(cells[0])) tables.english_.emplace(text, cells[1]);
            tables.messagesLink_ = manualUri + "#10-messages";
        } else if (header[0] == "command" && header.size() >= 3 && header[2] == "what it does") {
            for (const std::string& name : quoted(cells[0])) {
                tables.commands_[name].meaning = cells.size() > 2 ? cells[2] : "";
            }
        }
    });
    // The card: each command's syntax, range and default, and its section.
    forEachTableRow(card, [&](const std::vector<std::string>& header,
                              const std::vector<std::string>& cells) {
        if (header[0] != "command" || cells.size() < 3 || cells[0].starts_with("---")) return;
        for (const std::string& name : quoted(cells[0])) {
            CommandEntry& entry = tables.commands_[name];
            entry.syntax = cells[1];
            entry.range = cells.size() > 3 ? cells[2] : "";
            const std::string anchor = anchorIn(cells.back());
            if (!anchor.empty()) entry.link = manualUri + "#" + anchor;
        }
    });
    // Only the commands the card lists are offered; the manual's others
    // (rows of its own that the card gathers differently) stay out.
    std::erase_if(tables.commands_, [](const auto& item) { return item.second.syntax.empty(); });
    return tables;
}

std::string ReferenceTables::english(const std::string& text) const {
    const auto found = english_.find(text);
    return found == english_.end() ? std::string() : found->second;
}

const CommandEntry* ReferenceTables::command(const std::string& name) const {
    const auto found = commands_.find(name);
    return found == commands_.end() ? nullptr : &found->second;
}

// A light scan of the source, line by line: enough of the tokens to find
// definitions and names, nothing of their meaning (the compile gives that).
#include "lsp/DocumentIndex.h"

#include <algorithm>

#include "lsp/TextDocument.h"

namespace {

bool isNameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           static_cast<unsigned char>(c) >= 0x80;
}
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::vector<std::string_view> linesOf(std::string_view text) {
    std::vector<std::string_view> lines;
    for (size_t start = 0;;) {
        const size_t end = text.find('\n', start);
        std::string_view line = text.substr(start, end == std::string_view::npos ? text.size() - start : end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        if (end == std::string_view::npos) return lines;
        start = end + 1;
    }
}

size_t nameEnd(std::string_view line, size_t at) {
    while (at < line.size() && isNameChar(line[at])) ++at;
    return at;
}

TextSpan spanOf(int64_t line, std::string_view lineText, size_t from, size_t to) {
    return {line, TextDocument::unitsOf(lineText, from), TextDocument::unitsOf(lineText, to)};
}

// The quoted string starting at `open` (a '"'): its text and the offset past
// its closing quote (or the line's end).
std::pair<std::string_view, size_t> stringAt(std::string_view line, size_t open) {
    const size_t close = line.find('"', open + 1);
    const size_t end = close == std::string_view::npos ? line.size() : close;
    return {line.substr(open + 1, end - open - 1), close == std::string_view::npos ? end : close + 1};
}

size_t skipBlanks(std::string_view line, size_t at) {
    while (at < line.size() && isBlank(line[at])) ++at;
    return at;
}

}  // namespace

DocumentIndex::DocumentIndex(std::string_view text) {
    const std::vector<std::string_view> lines = linesOf(text);
    // A block macro's body may span lines: it is collected until its "}".
    Definition* openMacro = nullptr;
    for (size_t number = 0; number < lines.size(); ++number) {
        const std::string_view line = lines[number];
        const auto n = static_cast<int64_t>(number);
        size_t at = 0;
        if (openMacro != nullptr) {
            const size_t close = line.find('}');
            openMacro->body += "\n";
            openMacro->body += line.substr(0, close == std::string_view::npos ? line.size() : close);
            if (close == std::string_view::npos) continue;
            openMacro = nullptr;
            at = close + 1;
        }
        const size_t first = skipBlanks(line, at);
        if (at == 0 && first < line.size() && isDigit(line[first])) {
            size_t end = first;
            while (end < line.size() && isDigit(line[end])) ++end;
            definitions_.push_back({Definition::Kind::Track, std::string(line.substr(first, end - first)),
                                    spanOf(n, line, first, end), {}});
        }
        while (at < line.size()) {
            const char c = line[at];
            if (c == ';') break;
            if (c == '"') {
                at = stringAt(line, at).second;
                continue;
            }
            if (c == '.' && line.substr(at).starts_with(".include")) {
                const size_t open = skipBlanks(line, at + 8);
                if (open < line.size() && line[open] == '"') {
                    const auto [name, past] = stringAt(line, open);
                    definitions_.push_back({Definition::Kind::Include, std::string(name),
                                            spanOf(n, line, open + 1, open + 1 + name.size()), {}});
                    at = past;
                    continue;
                }
            }
            const bool macro = line.substr(at).starts_with(".macro");
            if (macro || line.substr(at).starts_with(".equ")) {
                const size_t slash = skipBlanks(line, at + (macro ? 6 : 4));
                if (slash < line.size() && line[slash] == '\\') {
                    const size_t end = nameEnd(line, slash + 1);
                    Definition definition{macro ? Definition::Kind::Macro : Definition::Kind::Equ,
                                          std::string(line.substr(slash + 1, end - slash - 1)),
                                          spanOf(n, line, slash, end), {}};
                    size_t rest = skipBlanks(line, end);
                    if (!macro) {
                        definition.body = std::string(line.substr(rest));
                        definitions_.push_back(std::move(definition));
                        break;  // the rest of the line is the body
                    }
                    if (rest < line.size() && line[rest] == '{') {
                        const size_t close = line.find('}', rest + 1);
                        definition.body = std::string(line.substr(
                            rest + 1, (close == std::string_view::npos ? line.size() : close) - rest - 1));
                        definitions_.push_back(std::move(definition));
                        if (close == std::string_view::npos) {
                            openMacro = &definitions_.back();
                            break;
                        }
                        at = close + 1;
                        continue;
                    }
                    definitions_.push_back(std::move(definition));
                    at = rest;
                    continue;
                }
            }
            if (line.substr(at).starts_with("@SGR")) {
                // @SGRlang,prog,"name": the name is the string after two commas.
                size_t scan = at + 4;
                while (scan < line.size() && (isDigit(line[scan]) || line[scan] == ',' ||
                                              line[scan] == '-' || line[scan] == '+')) {
                    ++scan;
                }
                if (scan < line.size() && line[scan] == '"') {
                    const auto [name, past] = stringAt(line, scan);
                    definitions_.push_back({Definition::Kind::Singer, std::string(name),
                                            spanOf(n, line, scan + 1, scan + 1 + name.size()), {}});
                    at = past;
                    continue;
                }
            }
            ++at;
        }
    }
}

const Definition* DocumentIndex::find(Definition::Kind kind, const std::string& name) const {
    for (const Definition& definition : definitions_) {
        if (definition.kind == kind && definition.name == name) return &definition;
    }
    return nullptr;
}

WordAt wordAt(std::string_view text, int64_t lineNumber, int64_t character) {
    const std::vector<std::string_view> lines = linesOf(text);
    if (lineNumber < 0 || static_cast<size_t>(lineNumber) >= lines.size()) return {};
    const std::string_view line = lines[static_cast<size_t>(lineNumber)];
    const size_t cursor = TextDocument::bytesOf(line, std::max<int64_t>(character, 0));
    // The token the cursor is on, found by walking the line's tokens from its start.
    for (size_t at = 0; at < line.size();) {
        const char c = line[at];
        if (c == ';') break;
        size_t end = at + 1;
        WordAt word;
        if (c == '"') {
            end = stringAt(line, at).second;
            word.kind = WordAt::Kind::Other;
            word.text = std::string(line.substr(at, end - at));
            // A string after ".include" names a file; after "@" a singer.
            const std::string_view before = line.substr(0, at);
            const size_t last = before.find_last_not_of(" \t");
            if (last != std::string_view::npos && before[last] == '@') {
                word.kind = WordAt::Kind::Singer;
            } else if (before.substr(0, last == std::string_view::npos ? 0 : last + 1).ends_with(".include")) {
                word.kind = WordAt::Kind::Include;
            }
            if (word.kind != WordAt::Kind::Other) word.text = std::string(stringAt(line, at).first);
        } else if (c == '@' && at + 1 < line.size() && line[at + 1] >= 'A' && line[at + 1] <= 'Z') {
            end = at + 1;
            while (end < line.size() && end < at + 4 && line[end] >= 'A' && line[end] <= 'Z') ++end;
            word = {WordAt::Kind::Command, std::string(line.substr(at, end - at)), {}};
        } else if (c == '.' && at + 1 < line.size() && line[at + 1] >= 'a' && line[at + 1] <= 'z') {
            end = nameEnd(line, at + 1);
            word = {WordAt::Kind::Directive, std::string(line.substr(at, end - at)), {}};
        } else if (c == '\\') {
            const size_t start = at + 1 < line.size() && line[at + 1] == '{' ? at + 2 : at + 1;
            end = nameEnd(line, start);
            word = {WordAt::Kind::MacroUse, std::string(line.substr(start, end - start)), {}};
        } else if (c >= 'a' && c <= 'z') {
            word = {WordAt::Kind::Command, std::string(1, c), {}};
        }
        if (cursor >= at && cursor < end) {
            word.span = spanOf(lineNumber, line, at, end);
            return word;
        }
        at = std::max(end, at + 1);
    }
    return {};
}

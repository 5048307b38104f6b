// Hover, completion, definition, symbols and inlay hints: the notes come from
// the last check, the commands from the documents' tables, the names from a
// scan of the text (lsp/DocumentIndex.h).
#include "lsp/Features.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <system_error>

#include "lsp/DocumentIndex.h"
#include "lsp/TextDocument.h"

using nlohmann::json;

namespace {

constexpr int64_t kTicksPerWhole = 1920;

json positionJson(int64_t line, int64_t character) {
    return {{"line", line}, {"character", character}};
}

json rangeOf(const TextSpan& span) {
    return {{"start", positionJson(span.line, span.column)},
            {"end", positionJson(span.line, span.endColumn)}};
}

json markdown(const std::string& text) {
    return {{"contents", {{"kind", "markdown"}, {"value", text}}}};
}

std::string pitchName(int32_t key) {
    static const char* const kNames[] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
    const int32_t octave = key / 12 - 1;
    return std::string(kNames[((key % 12) + 12) % 12]) + std::to_string(octave);
}

// "a quarter note" and the like, for lengths a note value gives.
std::string noteValue(int64_t ticks) {
    for (int64_t value = 1; value <= 64; value *= 2) {
        if (ticks * value == kTicksPerWhole) return "note value " + std::to_string(value);
        if (ticks * value * 2 == kTicksPerWhole * 3) return "note value " + std::to_string(value) + ".";
    }
    return "no single note value";
}

// The notes written at the position, each pass of a loop one.
std::vector<const CheckedNote*> notesAt(const DocumentView& document, int64_t line,
                                        int64_t character) {
    std::vector<const CheckedNote*> found;
    for (const CheckedNote& note : document.checked.notes) {
        if (note.place.path == document.path && note.place.line - 1 == line &&
            note.place.column <= character && character < std::max(note.place.endColumn, note.place.column + 1)) {
            found.push_back(&note);
        }
    }
    return found;
}

std::string noteHover(const std::vector<const CheckedNote*>& notes) {
    const CheckedNote& note = *notes.front();
    std::string text = "**" + pitchName(note.key) + "** (MIDI " + std::to_string(note.key) + "), " +
                       std::to_string(note.ticks) + " ticks (" + noteValue(note.ticks) + ")\n\n" +
                       "track " + std::to_string(note.track) + ", starts at " +
                       std::to_string(note.bar) + ":" + std::to_string(note.beat) + ":" +
                       std::to_string(note.tick) + " (bar:beat:tick)";
    if (notes.size() > 1) text += ", played " + std::to_string(notes.size()) + " times";
    text += "\n\n";
    text += note.defaultSyllable ? "sings the default \"" + note.syllable + "\" [" + note.symbols + "]"
                                 : "sings \"" + note.syllable + "\" [" + note.symbols + "]";
    return text;
}

std::string commandHover(const std::string& name, const CommandEntry& entry) {
    std::string text = "**" + name + "** " + entry.syntax;
    if (!entry.range.empty()) text += "\n\n" + entry.range;
    if (!entry.meaning.empty()) text += "\n\n" + entry.meaning;
    if (!entry.link.empty()) text += "\n\n[manual](" + entry.link + ")";
    return text;
}

// The folders an include name is looked for in, in order.
std::vector<std::string> includeSearch(const DocumentView& document) {
    std::vector<std::string> folders{std::filesystem::path(document.path).parent_path().string()};
    folders.insert(folders.end(), document.includeFolders.begin(), document.includeFolders.end());
    return folders;
}

json completionItem(const std::string& label, int kind, const std::string& detail,
                    const std::string& insert = {}, bool snippet = false) {
    json item = {{"label", label}, {"kind", kind}};
    if (!detail.empty()) item["detail"] = detail;
    if (!insert.empty()) {
        item["insertText"] = insert;
        item["insertTextFormat"] = snippet ? 2 : 1;
    }
    return item;
}

// The parameters of a card syntax such as "`@VIBtype,delay`" as a snippet
// "VIB${1:type},${2:delay}" (the "@" typed already stays).
std::string snippetOf(const std::string& name, const std::string& syntax) {
    const size_t open = syntax.find('`');
    const size_t close = open == std::string::npos ? open : syntax.find('`', open + 1);
    if (close == std::string::npos) return name;
    std::string form = syntax.substr(open + 1, close - open - 1);
    if (!form.starts_with(name)) return name;
    form = form.substr(name.size());
    std::string snippet = name;
    int number = 1;
    size_t start = 0;
    while (start < form.size()) {
        size_t comma = form.find(',', start);
        if (comma == std::string::npos) comma = form.size();
        const std::string parameter = form.substr(start, comma - start);
        if (number > 1) snippet += ",";
        snippet += "${" + std::to_string(number++) + ":" + parameter + "}";
        start = comma + 1;
    }
    return snippet;
}

}  // namespace

json hoverAt(const DocumentView& document, int64_t line, int64_t character) {
    // A macro use says what it expands to; the notes it makes are its body's.
    const WordAt word = wordAt(document.text, line, character);
    const auto notes = notesAt(document, line, character);
    if (!notes.empty() && word.kind != WordAt::Kind::MacroUse) return markdown(noteHover(notes));
    const DocumentIndex index(document.text);
    switch (word.kind) {
    case WordAt::Kind::Command:
    case WordAt::Kind::Directive:
        if (const CommandEntry* entry = document.tables.command(word.text)) {
            json hover = markdown(commandHover(word.text, *entry));
            hover["range"] = rangeOf(word.span);
            return hover;
        }
        return nullptr;
    case WordAt::Kind::MacroUse: {
        const Definition* definition = index.find(Definition::Kind::Macro, word.text);
        if (definition == nullptr) definition = index.find(Definition::Kind::Equ, word.text);
        if (definition == nullptr) return nullptr;
        json hover = markdown("`\\" + word.text + "` expands to\n```\n" + definition->body + "\n```");
        hover["range"] = rangeOf(word.span);
        return hover;
    }
    default:
        return nullptr;
    }
}

json completionAt(const DocumentView& document, int64_t line, int64_t character) {
    const TextDocument text(document.text);
    const std::string_view lineText = text.line(line);
    const std::string before(lineText.substr(0, TextDocument::bytesOf(lineText, character)));
    const DocumentIndex index(document.text);
    json items = json::array();
    // After ".include \"": the songs in the folders searched.
    const size_t include = before.rfind(".include");
    if (include != std::string::npos && before.find('"', include) != std::string::npos &&
        std::count(before.begin() + static_cast<std::ptrdiff_t>(include), before.end(), '"') % 2 == 1) {
        std::map<std::string, std::string> files;
        for (const std::string& folder : includeSearch(document)) {
            std::error_code error;
            for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
                 it.increment(error)) {
                if (it->path().extension() == ".mml") files.emplace(it->path().filename().string(), folder);
            }
        }
        for (const auto& [name, folder] : files) items.push_back(completionItem(name, 17, folder));
        return items;
    }
    // After "@\"": the singers registered.
    if (before.ends_with("@\"")) {
        for (const Definition& definition : index.definitions()) {
            if (definition.kind == Definition::Kind::Singer) {
                items.push_back(completionItem(definition.name, 20, "singer"));
            }
        }
        return items;
    }
    const bool afterAt = before.ends_with("@");
    const bool afterDot = before.ends_with(".");
    const bool afterSlash = before.ends_with("\\") || before.ends_with("\\{");
    for (const auto& [name, entry] : document.tables.commands()) {
        const bool command = name.starts_with("@") && name.size() > 1;
        const bool directive = name.starts_with(".");
        if (command && !afterDot && !afterSlash) {
            // The "@" typed stays; the snippet fills in the rest.
            const std::string snippet = snippetOf(name, entry.syntax);
            items.push_back(completionItem(name, 3, entry.range.empty() ? entry.syntax : entry.range,
                                           afterAt ? snippet.substr(1) : snippet, true));
        } else if (directive && !afterAt && !afterSlash) {
            items.push_back(completionItem(name, 14, entry.syntax, afterDot ? name.substr(1) : name));
        }
    }
    if (!afterAt && !afterDot) {
        for (const Definition& definition : index.definitions()) {
            if (definition.kind != Definition::Kind::Macro && definition.kind != Definition::Kind::Equ) continue;
            const std::string insert = afterSlash ? definition.name : "\\" + definition.name;
            items.push_back(completionItem("\\" + definition.name,
                                           definition.kind == Definition::Kind::Macro ? 15 : 21,
                                           definition.body, insert));
        }
    }
    return items;
}

json definitionAt(const DocumentView& document, int64_t line, int64_t character) {
    const WordAt word = wordAt(document.text, line, character);
    const DocumentIndex index(document.text);
    const auto at = [&](const Definition* definition) -> json {
        if (definition == nullptr) return nullptr;
        return {{"uri", document.uri}, {"range", rangeOf(definition->span)}};
    };
    switch (word.kind) {
    case WordAt::Kind::MacroUse: {
        const Definition* definition = index.find(Definition::Kind::Macro, word.text);
        return at(definition != nullptr ? definition : index.find(Definition::Kind::Equ, word.text));
    }
    case WordAt::Kind::Singer:
        return at(index.find(Definition::Kind::Singer, word.text));
    case WordAt::Kind::Include:
        for (const std::string& folder : includeSearch(document)) {
            const std::filesystem::path candidate = std::filesystem::path(folder) / word.text;
            std::error_code error;
            if (std::filesystem::is_regular_file(candidate, error)) {
                return {{"uri", fileUri(std::filesystem::absolute(candidate, error).string())},
                        {"range", rangeOf({})}};
            }
        }
        return nullptr;
    default:
        return nullptr;
    }
}

json documentSymbols(const DocumentView& document) {
    const DocumentIndex index(document.text);
    json symbols = json::array();
    for (const Definition& definition : index.definitions()) {
        int kind = 0;
        std::string name = definition.name;
        switch (definition.kind) {
        case Definition::Kind::Macro: kind = 12; name = "\\" + name; break;
        case Definition::Kind::Equ: kind = 14; name = "\\" + name; break;
        case Definition::Kind::Track: kind = 2; name = "track " + name; break;
        case Definition::Kind::Singer: kind = 20; break;
        case Definition::Kind::Include: continue;
        }
        symbols.push_back({{"name", name},
                           {"kind", kind},
                           {"range", rangeOf(definition.span)},
                           {"selectionRange", rangeOf(definition.span)}});
    }
    return symbols;
}

json inlayHints(const DocumentView& document, int64_t fromLine, int64_t toLine) {
    // The earliest note written on each line: where the line starts to sound.
    std::map<int64_t, const CheckedNote*> firstOnLine;
    for (const CheckedNote& note : document.checked.notes) {
        const int64_t line = note.place.line - 1;
        if (note.place.path != document.path || line < fromLine || line > toLine) continue;
        const CheckedNote*& first = firstOnLine[line];
        if (first == nullptr || note.place.column < first->place.column) first = &note;
    }
    json hints = json::array();
    for (const auto& [line, note] : firstOnLine) {
        hints.push_back({{"position", positionJson(line, 0)},
                         {"label", std::to_string(note->bar) + ":" + std::to_string(note->beat)},
                         {"paddingRight", true}});
    }
    return hints;
}

// Hover, completion, definition, symbols and inlay hints: the notes come from
// the last check, the commands from the documents' tables, the names from a
// scan of the text (lsp/DocumentIndex.h).
#include "lsp/Features.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
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

bool placedAt(const CheckedPlace& place, const DocumentView& document, int64_t line,
              int64_t character) {
    return place.path == document.path && place.line - 1 == line && place.column <= character &&
           character < std::max(place.endColumn, place.column + 1);
}

// The notes or rests written at the position, each pass of a loop one.
template <typename Item>
std::vector<const Item*> itemsAt(const std::vector<Item>& items, const DocumentView& document,
                                 int64_t line, int64_t character) {
    std::vector<const Item*> found;
    for (const Item& item : items) {
        if (placedAt(item.place, document, line, character)) found.push_back(&item);
    }
    return found;
}

// Its length and where it starts, as a note or rest hover says them.
template <typename Item>
std::string lengthAndStart(const std::vector<const Item*>& items) {
    const Item& item = *items.front();
    std::string text = std::to_string(item.ticks) + " ticks (" + noteValue(item.ticks) + ")\n\n" +
                       "track " + std::to_string(item.track) + ", starts at " +
                       std::to_string(item.bar) + ":" + std::to_string(item.beat) + ":" +
                       std::to_string(item.tick) + " (bar:beat:tick)";
    if (items.size() > 1) text += ", played " + std::to_string(items.size()) + " times";
    return text;
}

std::string restHover(const std::vector<const CheckedRest*>& rests) {
    return "**rest**, " + lengthAndStart(rests);
}

std::string noteHover(const std::vector<const CheckedNote*>& notes) {
    const CheckedNote& note = *notes.front();
    std::string text = "**" + pitchName(note.key) + "** (MIDI " + std::to_string(note.key) + "), " +
                       lengthAndStart(notes);
    text += "\n\n";
    text += note.defaultSyllable ? "sings the default \"" + note.syllable + "\" [" + note.symbols + "]"
                                 : "sings \"" + note.syllable + "\" [" + note.symbols + "]";
    return text;
}

// The syllables of the lyric string at `span`, each with the notes it was
// given: a huge lyric lists its first ones only.
constexpr size_t kSyllablesListed = 24;

std::string lyricHover(const DocumentView& document, const TextSpan& span) {
    // By column: a syllable a macro or loop sang more than once is one entry.
    std::map<int32_t, std::vector<const CheckedSyllable*>> byColumn;
    bool severalTracks = false;
    int32_t firstTrack = 0;
    for (const CheckedSyllable& syllable : document.checked.syllables) {
        const CheckedPlace& place = syllable.place;
        if (place.path != document.path || place.line - 1 != span.line || place.column <= span.column ||
            place.column >= span.endColumn) {
            continue;
        }
        byColumn[place.column].push_back(&syllable);
        for (const CheckedLanding& landing : syllable.landings) {
            if (firstTrack == 0) firstTrack = landing.track;
            severalTracks = severalTracks || landing.track != firstTrack;
        }
    }
    if (byColumn.empty()) return {};  // not a lyric, or one that reached no note
    std::string text = "**lyric**: " + std::to_string(byColumn.size()) +
                       (byColumn.size() == 1 ? " syllable\n" : " syllables\n");
    size_t listed = 0;
    for (const auto& [column, entries] : byColumn) {
        if (listed++ == kSyllablesListed) {
            text += "\n\u2026 and " + std::to_string(byColumn.size() - kSyllablesListed) + " more";
            break;
        }
        text += "\n- `" + entries.front()->text + "` \u2192";
        size_t shown = 0;
        int64_t total = 0;
        for (const CheckedSyllable* entry : entries) {
            total += entry->landingCount;
            for (const CheckedLanding& landing : entry->landings) {
                if (shown == CheckedSyllable::kLandingsKept) break;
                text += shown++ == 0 ? " " : ", ";
                text += pitchName(landing.key) + " at " + std::to_string(landing.bar) + ":" +
                        std::to_string(landing.beat);
                if (severalTracks) text += " (track " + std::to_string(landing.track) + ")";
            }
        }
        if (total > static_cast<int64_t>(shown)) {
            text += " \u2026 and " + std::to_string(total - static_cast<int64_t>(shown)) + " more";
        }
    }
    return text;
}

std::string commandHover(const std::string& name, const CommandEntry& entry) {
    std::string text = "**" + name + "** " + entry.syntax;
    if (!entry.range.empty()) text += "\n\n" + entry.range;
    if (!entry.meaning.empty()) text += "\n\n" + entry.meaning;
    if (!entry.link.empty()) text += "\n\n[manual](" + entry.link + ")";
    return text;
}

std::vector<VisibleName> namesOf(const DocumentView& document) {
    return visibleNames(document.path, document.text, document.includeFolders, document.readText);
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
    if (word.kind != WordAt::Kind::MacroUse) {
        const auto notes = itemsAt(document.checked.notes, document, line, character);
        if (!notes.empty()) return markdown(noteHover(notes));
        const auto rests = itemsAt(document.checked.rests, document, line, character);
        if (!rests.empty()) return markdown(restHover(rests));
    }
    switch (word.kind) {
    case WordAt::Kind::Other:
        if (word.text.starts_with('"')) {
            const std::string text = lyricHover(document, word.span);
            if (text.empty()) return nullptr;
            json hover = markdown(text);
            hover["range"] = rangeOf(word.span);
            return hover;
        }
        return nullptr;
    case WordAt::Kind::Command:
    case WordAt::Kind::Directive:
        if (const CommandEntry* entry = document.tables.command(word.text)) {
            json hover = markdown(commandHover(word.text, *entry));
            hover["range"] = rangeOf(word.span);
            return hover;
        }
        return nullptr;
    case WordAt::Kind::MacroUse: {
        const std::vector<VisibleName> names = namesOf(document);
        const VisibleName* name = findName(names, word.text);
        if (name == nullptr) return nullptr;
        std::string text = "`\\" + word.text + "` expands to\n```\n" + name->definition.body + "\n```";
        if (name->path != document.path) {
            text += "\n\ndefined in " + std::filesystem::path(name->path).filename().string() + ", line " +
                    std::to_string(name->definition.span.line + 1);
        }
        json hover = markdown(text);
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
        std::set<std::string> offered;
        for (const VisibleName& name : namesOf(document)) {
            const Definition& definition = name.definition;
            if (!offered.insert(definition.name).second) continue;
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
        const std::vector<VisibleName> names = namesOf(document);
        const VisibleName* name = findName(names, word.text);
        if (name == nullptr) return nullptr;
        if (name->path == document.path) return at(&name->definition);
        std::error_code error;
        return {{"uri", fileUri(std::filesystem::absolute(name->path, error).string())},
                {"range", rangeOf(name->definition.span)}};
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

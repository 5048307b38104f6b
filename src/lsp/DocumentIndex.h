// What the server finds in a document's text without compiling it: the
// macro and ".equ" definitions, the singers "@SGR" registers, the include
// directives, the lines that select tracks, and the word under a position.
// Comments and lyric strings are passed over as the tokenizer does.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// A span of one line: the line and UTF-16 columns from 0.
struct TextSpan {
    int64_t line = 0;
    int64_t column = 0;
    int64_t endColumn = 0;
};

struct Definition {
    enum class Kind { Macro, Equ, Singer, Include, Track };
    Kind kind = Kind::Macro;
    std::string name;  // without "\" for macros, the file for includes, the number for tracks
    TextSpan span;     // of the name
    std::string body;  // what a macro or ".equ" expands to, as written
};

// What stands at a position: its kind and text.
struct WordAt {
    enum class Kind { None, Command, Directive, MacroUse, Singer, Include, Other };
    Kind kind = Kind::None;
    std::string text;  // "@VIB", ".include", the macro name, the singer, the file
    TextSpan span;
};

class DocumentIndex {
public:
    explicit DocumentIndex(std::string_view text);
    const std::vector<Definition>& definitions() const { return definitions_; }
    // The first definition of `name` of `kind`, or nullptr.
    const Definition* find(Definition::Kind kind, const std::string& name) const;

private:
    std::vector<Definition> definitions_;
};

// The word at `line`, `character` (UTF-16) of `text`.
WordAt wordAt(std::string_view text, int64_t line, int64_t character);

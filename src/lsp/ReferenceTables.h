// What the documents say of each message and command, read from the manual
// and the quick reference card the program is installed with, so the editor
// shows the same words the documents have (tests hold those documents to the
// program): each message's English gloss, each command's syntax, range and
// default, and its meaning.
#pragma once

#include <map>
#include <string>
#include <vector>

struct CommandEntry {
    std::string syntax;   // the card's syntax column, as Markdown
    std::string range;    // the card's range and default, as Markdown; may be empty
    std::string meaning;  // the manual's "what it does", as Markdown; may be empty
    std::string link;     // a URI of the manual's section on it; may be empty
};

class ReferenceTables {
public:
    // Reads manual.md and card.md in `folder`; a document it cannot read
    // leaves its part empty.
    static ReferenceTables load(const std::string& folder);
    // Reads the documents' texts themselves.
    static ReferenceTables fromTexts(const std::string& manual, const std::string& card,
                                     const std::string& manualUri);

    // The English gloss of the catalogue text `text` (UTF-8); empty if none.
    std::string english(const std::string& text) const;
    // The URI of the manual's list of messages; empty when it was not read.
    const std::string& messagesLink() const { return messagesLink_; }
    // The entry of a command or directive as written (`@VIB`, `l`, `.include`).
    const CommandEntry* command(const std::string& name) const;
    // Every command and directive the card lists, by name.
    const std::map<std::string, CommandEntry>& commands() const { return commands_; }

private:
    std::map<std::string, std::string> english_;
    std::map<std::string, CommandEntry> commands_;
    std::string messagesLink_;
};

// The file URI of an absolute path, with the bytes a URI may not hold
// percent-encoded.
std::string fileUri(const std::string& path);

// What the server reads from a document's text and from the documents'
// tables: definitions across lines and past strings and comments, the word
// under a position, the tables' rows.
#include <gtest/gtest.h>

#include "lsp/DocumentIndex.h"
#include "lsp/ReferenceTables.h"

namespace {

TEST(LspIndex, FindsDefinitionsPastStringsAndComments) {
    const DocumentIndex index(
        ".macro \\m { c\nd } .equ \\e e f\n"
        "1 \"; .equ \\no x\" @SGR0,1,\"Mizu\" ; .macro \\not { }\n"
        ".include \"part.mml\"\n");
    const Definition* macro = index.find(Definition::Kind::Macro, "m");
    ASSERT_NE(macro, nullptr);
    EXPECT_EQ(macro->body, " c\nd ");
    EXPECT_EQ(macro->span.line, 0);
    EXPECT_EQ(macro->span.column, 7);
    const Definition* equ = index.find(Definition::Kind::Equ, "e");
    ASSERT_NE(equ, nullptr);
    EXPECT_EQ(equ->body, "e f");
    EXPECT_NE(index.find(Definition::Kind::Singer, "Mizu"), nullptr);
    EXPECT_NE(index.find(Definition::Kind::Track, "1"), nullptr);
    EXPECT_NE(index.find(Definition::Kind::Include, "part.mml"), nullptr);
    EXPECT_EQ(index.find(Definition::Kind::Equ, "no"), nullptr);
    EXPECT_EQ(index.find(Definition::Kind::Macro, "not"), nullptr);
}

TEST(LspIndex, NamesTheWordUnderAPosition) {
    const std::string text = "\"\xE3\x81\x82\" @VIB5 \\{m 1} @\"Mizu\" .include \"p.mml\"";
    EXPECT_EQ(wordAt(text, 0, 5).text, "@VIB");  // after a kana of one unit
    const WordAt macro = wordAt(text, 0, 12);
    EXPECT_EQ(macro.kind, WordAt::Kind::MacroUse);
    EXPECT_EQ(macro.text, "m");
    EXPECT_EQ(wordAt(text, 0, 20).kind, WordAt::Kind::Singer);
    const WordAt include = wordAt(text, 0, 36);
    EXPECT_EQ(include.kind, WordAt::Kind::Include);
    EXPECT_EQ(include.text, "p.mml");
    EXPECT_EQ(wordAt(text, 3, 0).kind, WordAt::Kind::None);
    EXPECT_EQ(wordAt(text, 0, -4).kind, WordAt::Kind::Other);  // clamped to the line's start
}

TEST(LspTables, ReadTheCardAndTheManualRows) {
    const ReferenceTables tables = ReferenceTables::fromTexts(
        "| command | parameters | what it does | example |\n|---|---|---|---|\n"
        "| `@VIB` | type | vibrato of the notes | `@VIB1` |\n| `@XYZ` | a | not on the card | |\n\n"
        "| message | English | when |\n|---|---|---|\n| `\xE7\xA9\xBA` | empty | x \\| y |\n",
        "| command | syntax | range, default | manual |\n|---|---|---|---|\n"
        "| `@VIB` | `@VIBtype,delay` | type 0 to 16 | [6](manual.md#singers) |\n"
        "| command | syntax | manual |\n",
        "file:///m.md");
    const CommandEntry* vib = tables.command("@VIB");
    ASSERT_NE(vib, nullptr);
    EXPECT_EQ(vib->syntax, "`@VIBtype,delay`");
    EXPECT_EQ(vib->range, "type 0 to 16");
    EXPECT_EQ(vib->meaning, "vibrato of the notes");
    EXPECT_EQ(vib->link, "file:///m.md#singers");
    EXPECT_EQ(tables.command("@XYZ"), nullptr);
    EXPECT_EQ(tables.english("\xE7\xA9\xBA"), "empty");
    EXPECT_EQ(fileUri("/a b/\xE3\x81\x82.mml"), "file:///a%20b/%E3%81%82.mml");
}

}  // namespace

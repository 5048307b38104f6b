// Macros: definitions by ".equ" and ".macro", uses with and without arguments,
// argument parsing, the depth limit, the expansion budget and every message.
#include <gtest/gtest.h>

#include <ctime>
#include <map>

#include "diag/Messages.h"
#include "source/MacroTable.h"
#include "source_test_support.h"

namespace {

using sourcetest::errorLine;
using sourcetest::Run;
using sourcetest::token;

struct Macros {
    std::string main;
    Run run;
};

// Preprocesses `source` as the main file of a fresh folder.
Macros run(const std::string& source) {
    ScratchFolder dir;
    Macros result;
    result.main = dir.write("main.mml", source);
    result.run = sourcetest::preprocess(result.main);
    return result;
}

TEST(MacroTable, NamesCompareByTheirBytesAndTheLastDefinitionWins) {
    auto table = createMacroTable();
    EXPECT_EQ(table->find(u"a"), nullptr);
    table->define(u"a", MacroDefinition::kOneLine, {LocatedToken{Token{'X', 0, 1}, {}}});
    table->define(std::u16string{0x82A0}, MacroDefinition::kBlock, {});
    ASSERT_NE(table->find(u"a"), nullptr);
    EXPECT_EQ(table->find(u"A"), nullptr);
    ASSERT_NE(table->find(std::u16string{0x82, 0xA0}), nullptr);  // the same bytes
    EXPECT_EQ(table->find(std::u16string{0x82, 0xA0})->type, MacroDefinition::kBlock);
    table->define(u"a", MacroDefinition::kBlock, {});
    EXPECT_EQ(table->find(u"a")->type, MacroDefinition::kBlock);
}

TEST(Macros, OneLineBodySkipsItsLeadingBlankAndItsLineFeed) {
    const auto m = run(".equ \\x e f\n\\x");
    EXPECT_EQ(m.run.tokens,
              (std::vector<Token>{token('E', 0, 2), token(TokSpace, 0, 2), token('F', 0, 2)}));
    EXPECT_EQ(m.run.errors, 0);
}

TEST(Macros, EmptyOneLineBodyExpandsToNothing) {
    const auto m = run(".equ \\x\n\\x a");
    EXPECT_EQ(m.run.kinds(), (std::vector<int>{TokSpace, 'A'}));
}

TEST(Macros, OneLineDefinitionCutByTheEndOfTheFile) {
    const auto m = run("\n.equ \\x a b");
    EXPECT_EQ(m.run.kinds(), (std::vector<int>{TokNewline, TokInvalid}));
    EXPECT_EQ(m.run.output, errorLine(m.main, 2, msg::kUnexpectedEof));
}

TEST(Macros, BlockMacroTakesNumberedArguments) {
    const auto m = run(".macro \\m { \\1 \\2 }\n\\{m a, b}\\{m a}\\m");
    EXPECT_EQ(m.run.tokens,
              (std::vector<Token>{token(TokNewline, 0, 1), token('A', 0, 2), token(TokSpace, 0, 2),
                                  token('B', 0, 2), token(TokSpace, 0, 2), token('A', 0, 2),
                                  token(TokSpace, 0, 2), token(TokSpace, 0, 2),
                                  token(TokSpace, 0, 2), token(TokSpace, 0, 2)}));
    EXPECT_EQ(m.run.errors, 0);
}

TEST(Macros, ArgumentListsSplitAtCommasOnly) {
    // The body marks each argument's ends with "<" and ">".
    const auto m = run(".macro \\m {<\\1><\\2><\\3>}\n"
                       "\\{m ,a}\n\\{m a,}\n\\{m   a b ,c}\n\\{m}\n\\{m \\0 \\9}");
    const std::vector<int> expected{
        TokNewline,
        '<', '>', '<', 'A', '>', '<', '>', TokNewline,
        '<', 'A', '>', '<', '>', '<', '>', TokNewline,
        '<', 'A', TokSpace, 'B', TokSpace, '>', '<', 'C', '>', '<', '>', TokNewline,
        '<', '>', '<', '>', '<', '>', TokNewline,
        '<', TokSpace, '>', '<', '>', '<', '>'};
    EXPECT_EQ(m.run.kinds(), expected);
    EXPECT_EQ(m.run.errors, 0);
}

TEST(Macros, TokensFromUsesInsideArgumentsDoNotSplitThemInBlockForm) {
    const auto m = run(".equ \\comma ,\n.macro \\m {<\\1><\\2>}\n"
                       "\\{m \\comma}\n.equ \\e \\{m \\comma}\n\\e");
    const std::vector<int> expected{TokNewline, '<', ',', '>', '<', '>', TokNewline,
                                    // In the one-line body the comma was expanded first.
                                    '<', '>', '<', '>'};
    EXPECT_EQ(m.run.kinds(), expected);
}

TEST(Macros, BlockBodyEndsAtItsFirstBareCloseBrace) {
    const auto m = run(".macro \\m {a\n\\{n x}b}c}\n.macro \\n {<\\1>}\n\\m");
    EXPECT_EQ(m.run.kinds(), (std::vector<int>{'C', '}', TokNewline, TokNewline, 'A', TokNewline,
                                               '<', 'X', '>', 'B'}));
    EXPECT_EQ(m.run.errors, 0);
}

// A token a macro made is placed where the macro wrote it, with the use as its
// expansion; a token of an argument is placed where the call wrote it.
TEST(Macros, MadeTokensKeepWhereTheyAreWrittenAndTheUse) {
    const auto m = run(".macro \\m {d \\1}\n.equ \\e f\n \\{m c} \\e");
    ASSERT_EQ(m.run.kinds(),
              (std::vector<int>{TokNewline, TokSpace, 'D', TokSpace, 'C', TokSpace, 'F'}));
    const SourceMap& files = m.run.read->files;
    const SourceLocation& d = m.run.locations[2];
    EXPECT_EQ(d.line, 1);
    EXPECT_EQ(d.column, 11);
    ASSERT_NE(d.expansion, 0);
    const SourceLocation& use = files.use(d.expansion);
    EXPECT_EQ(use.line, 3);
    EXPECT_EQ(use.column, 1);
    EXPECT_EQ(use.endColumn, 4);  // "\\{m"
    EXPECT_EQ(use.expansion, 0);
    const SourceLocation& c = m.run.locations[4];
    EXPECT_EQ(c.line, 3);
    EXPECT_EQ(c.column, 5);
    EXPECT_EQ(c.expansion, 0);
    const SourceLocation& f = m.run.locations[6];
    EXPECT_EQ(f.line, 2);
    EXPECT_EQ(f.column, 8);
    const SourceLocation equUse = files.expansionLocation(f);
    EXPECT_EQ(equUse.line, 3);
    EXPECT_EQ(equUse.column, 8);
    // The token's line is the use's, as the console names it.
    EXPECT_EQ(m.run.tokens[2].line, 3);
    EXPECT_EQ(m.run.tokens[6].line, 3);
}

// The map keeps a bounded number of uses; what later uses make is placed at
// the use, where it stands in the text as read.
TEST(Macros, UsesPastTheMapsBoundArePlacedAtTheUse) {
    std::string source = ".equ \\x c\n";
    for (size_t i = 0; i <= SourceMap::kMaxUses; ++i) source += "\\x";
    const auto m = run(source);
    ASSERT_EQ(m.run.tokens.size(), SourceMap::kMaxUses + 1);
    EXPECT_EQ(m.run.locations.front().line, 1);
    EXPECT_NE(m.run.locations.front().expansion, 0);
    const SourceLocation& last = m.run.locations.back();
    EXPECT_EQ(last.line, 2);
    EXPECT_EQ(last.expansion, 0);
    EXPECT_EQ(last.column, static_cast<int32_t>(2 * SourceMap::kMaxUses));
    EXPECT_EQ(last.endColumn, last.column + 2);
    EXPECT_EQ(m.run.errors, 0);
}

TEST(Macros, OneLineBodyExpandsWithTheMacrosKnownAtItsDefinition) {
    const auto m = run(".macro \\m {<\\1>}\n.equ \\e \\{m a\nb} c\n\\e");
    EXPECT_EQ(m.run.kinds(),
              (std::vector<int>{TokNewline, '<', 'A', TokNewline, 'B', '>', TokSpace, 'C'}));
    EXPECT_EQ(m.run.tokens.back().line, 4);

    const auto undefined = run("\n.equ \\b \\c\n.macro \\d {\\c}\n\\d");
    EXPECT_EQ(undefined.run.kinds(), (std::vector<int>{TokNewline, TokInvalid, TokNewline,
                                                       TokInvalid}));
    // The one-line body fails at once, on the line after its definition; the
    // block body only when it is used.
    EXPECT_EQ(undefined.run.output, errorLine(undefined.main, 3, msg::kUndefinedMacro, "c") +
                                        errorLine(undefined.main, 4, msg::kUndefinedMacro, "c"));
}

TEST(Macros, BlockBodyMayUseMacrosDefinedLater) {
    const auto m = run(".macro \\a {\\b}\n.equ \\b x\n\\a");
    EXPECT_EQ(m.run.kinds(), (std::vector<int>{TokNewline, 'X'}));
}

TEST(Macros, DirectiveInsideABodyFailsTheDefinition) {
    const auto m = run(".macro \\m { a\n.include \"x\" }\n\\m");
    EXPECT_EQ(m.run.kinds(), (std::vector<int>{TokInvalid, TokSpace, TokString, TokSpace, '}',
                                               TokNewline, TokInvalid}));
    EXPECT_EQ(m.run.output, errorLine(m.main, 2, msg::kDirectiveNotAllowedHere) +
                                errorLine(m.main, 3, msg::kUndefinedMacro, "m"));
}

TEST(Macros, SecondDefinitionOfANameIsRefused) {
    const auto m = run(".equ \\a x\n.macro \\a {y}\n.equ \\a z\n\\a");
    EXPECT_EQ(m.run.kinds(), (std::vector<int>{TokInvalid, TokSpace, '{', 'Y', '}', TokNewline,
                                               TokInvalid, TokSpace, 'Z', TokNewline, 'X'}));
    EXPECT_EQ(m.run.output, errorLine(m.main, 2, msg::kMacroRedefined, "a") +
                                errorLine(m.main, 3, msg::kMacroRedefined, "a"));
}

TEST(Macros, DefinitionsNeedAPlainNameAndABrace) {
    const auto m = run(".macro \\{m a}\n.equ x\n.macro \\n a\n.macro \\p { a");
    EXPECT_EQ(m.run.output, errorLine(m.main, 1, msg::kMacroNameRequired) +
                                errorLine(m.main, 2, msg::kMacroNameRequired) +
                                errorLine(m.main, 3, msg::kOpenBraceRequired) +
                                errorLine(m.main, 4, msg::kUnexpectedEof));
    EXPECT_EQ(m.run.errors, 4);
}

TEST(Macros, ArgumentReferencesAreRefusedInOneLineBodiesOnly) {
    const auto m = run(".equ \\e a \\1\n.macro \\m {<\\1>}\n\\{m \\1}");
    EXPECT_EQ(m.run.kinds(),
              (std::vector<int>{TokInvalid, TokNewline, TokNewline, '<', '>'}));
    EXPECT_EQ(m.run.output, errorLine(m.main, 1, msg::kUnexpectedMacroArg));
}

TEST(Macros, FailedUseDeliversOneInvalidToken) {
    const auto m = run(".macro \\m {<\\1>}\n\\{m a\n.equ} b\n\\{m a\nb\n\\u c");
    EXPECT_EQ(m.run.kinds(), (std::vector<int>{TokNewline, TokInvalid, '}', TokSpace, 'B',
                                               TokNewline, TokInvalid}));
    EXPECT_EQ(m.run.output, errorLine(m.main, 3, msg::kDirectiveNotAllowedHere) +
                                errorLine(m.main, 6, msg::kUnexpectedEof));
}

TEST(Macros, UndefinedUseIsReportedWhereTheUseEnds) {
    const auto m = run("\\{u a\n b}c");
    ASSERT_EQ(m.run.kinds(), (std::vector<int>{TokInvalid, 'C'}));
    EXPECT_EQ(m.run.tokens[0].line, 1);
    EXPECT_EQ(m.run.output, errorLine(m.main, 2, msg::kUndefinedMacro, "u"));
}

// Block macros m1 ("a") to m32, each using the one before.
std::string chainOfBlockMacros() {
    std::string source = ".macro \\m1 {a}\n";
    for (int i = 2; i <= 32; ++i) {
        source += ".macro \\m" + std::to_string(i) + " {\\m" + std::to_string(i - 1) + "}\n";
    }
    return source;
}

TEST(Macros, ThirtyOneNestedBlockMacrosExpandAndThirtyTwoDoNot) {
    const auto m = run(chainOfBlockMacros() + "\\m31\\m32\\m31");
    std::vector<int> expected(32, TokNewline);
    expected.insert(expected.end(), {'A', TokInvalid, 'A'});
    EXPECT_EQ(m.run.kinds(), expected);
    EXPECT_EQ(m.run.output, errorLine(m.main, 33, msg::kMacroTooDeep));
}

TEST(Macros, OneLineMacrosAddNoLevel) {
    const auto m = run(chainOfBlockMacros() + ".equ \\e \\m31\n.macro \\b {\\e}\n\\b");
    EXPECT_EQ(m.run.kinds().back(), 'A');
    EXPECT_EQ(m.run.errors, 0);
}

TEST(Macros, SelfUseEndsTooDeepOnce) {
    const auto m = run(".macro \\r {a\\r}\n\\r b");
    EXPECT_EQ(m.run.kinds(), (std::vector<int>{TokNewline, TokInvalid, TokSpace, 'B'}));
    EXPECT_EQ(m.run.output, errorLine(m.main, 2, msg::kMacroTooDeep));
}

// Macros name0 ("a") to name<levels>, each using the one before twice, so
// that the last one asks for 2^levels tokens.
std::string doublingMacros(const std::string& directive, const std::string& name, int levels) {
    const bool block = directive == ".macro";
    std::string source = directive + " \\" + name + "0 " + (block ? "{a}\n" : "a\n");
    for (int i = 1; i <= levels; ++i) {
        const std::string previous = "\\" + name + std::to_string(i - 1);
        source += directive + " \\" + name + std::to_string(i) + " " +
                  (block ? "{" + previous + previous + "}\n" : previous + previous + "\n");
    }
    return source;
}

TEST(Macros, ExpansionOfAMillionTokensIsAllowed) {
    const auto m = run(doublingMacros(".macro", "d", 19) + "\\d19");
    EXPECT_EQ(m.run.tokens.size(), 20u + (1u << 19));
    EXPECT_EQ(m.run.tokens.back(), token('A', 0, 21));
    EXPECT_EQ(m.run.errors, 0);
}

TEST(Macros, ExpansionBeyondAMillionTokensIsRefused) {
    // Processor time, which a busy machine does not use up faster.
    const std::clock_t started = std::clock();
    const auto m = run(doublingMacros(".macro", "d", 30) + "\\d30 \\d20 \\d1");
    const double seconds = static_cast<double>(std::clock() - started) / CLOCKS_PER_SEC;
    std::vector<int> expected(31, TokNewline);
    expected.insert(expected.end(), {TokInvalid, TokSpace, TokInvalid, TokSpace, 'A', 'A'});
    EXPECT_EQ(m.run.kinds(), expected);
    const std::string tooLarge = errorLine(m.main, 32, msg::kMacroExpansionTooLarge);
    EXPECT_EQ(m.run.output, tooLarge + tooLarge);
    EXPECT_LT(seconds, 30.0);
}

TEST(Macros, OneLineDefinitionBeyondAMillionTokensIsRefused) {
    const auto m = run(doublingMacros(".equ", "e", 24) + "\\e19\\e20");
    std::vector<int> kinds = m.run.kinds();
    // One-line definitions consume their line feeds; the five failed ones
    // leave an invalid token each.
    ASSERT_EQ(kinds.size(), 5u + (1u << 19) + 1u);
    EXPECT_EQ(kinds.back(), TokInvalid);
    // e20 to e24 fail when they are defined; e21 on needs the undefined e20.
    EXPECT_EQ(m.run.output, errorLine(m.main, 22, msg::kMacroExpansionTooLarge) +
                                errorLine(m.main, 23, msg::kUndefinedMacro, "e20") +
                                errorLine(m.main, 24, msg::kUndefinedMacro, "e21") +
                                errorLine(m.main, 25, msg::kUndefinedMacro, "e22") +
                                errorLine(m.main, 26, msg::kUndefinedMacro, "e23") +
                                errorLine(m.main, 26, msg::kUndefinedMacro, "e20"));
}

TEST(Macros, ExpansionThatProducesNothingStillEnds) {
    // Every level calls the one below twice and the last one is empty: billions
    // of calls, no tokens.
    std::string source = ".macro \\z0 {}\n";
    for (int i = 1; i <= 30; ++i) {
        const std::string previous = "\\z" + std::to_string(i - 1);
        source += ".macro \\z" + std::to_string(i) + " {" + previous + previous + "}\n";
    }
    const auto m = run(source + "\\z30");
    EXPECT_EQ(m.run.kinds().back(), TokInvalid);
    EXPECT_EQ(m.run.output, errorLine(m.main, 32, msg::kMacroExpansionTooLarge));
}

// Counts the tokens of each kind a preprocessor delivers for `source`, without
// keeping them, and collects what it prints.
struct Tally {
    std::map<int, size_t> kinds;
    std::string output;
};

Tally tally(const std::string& source) {
    ScratchFolder dir;
    const std::string main = dir.write("main.mml", source);
    Tally result;
    auto pool = createStringPool();
    TestReading read;
    auto reader = createSourceReader(main, read.reading);
    auto preprocessor = createPreprocessor();
    const std::vector<std::string> none;
    testing::internal::CaptureStdout();
    preprocessor->start(reader.get(), pool.get(), &none);
    Token t;
    SourceLocation at;
    while (preprocessor->nextToken(t, at) != TokEnd) ++result.kinds[t.kind];
    result.output = testing::internal::GetCapturedStdout();
    return result;
}

size_t count(const std::string& text, std::string_view part) {
    size_t found = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++found;
    }
    return found;
}

TEST(Macros, UsesOfOneRunShareAStepBudget) {
    // z21 makes about 8.4 million calls and no tokens, within what one use may
    // do; three such uses fit into the budget of a run, the fourth does not.
    std::string source = ".macro \\z0 {}\n";
    for (int i = 1; i <= 21; ++i) {
        const std::string previous = "\\z" + std::to_string(i - 1);
        source += ".macro \\z" + std::to_string(i) + " {" + previous + previous + "}\n";
    }
    for (int i = 0; i < 5; ++i) source += "a\\z21\n";
    const Tally result = tally(source);
    EXPECT_EQ(result.kinds.at('A'), 5u);
    EXPECT_EQ(result.kinds.at(TokInvalid), 2u);
    EXPECT_EQ(count(result.output, msg::kMacroExpansionTooLarge), 2u);
    EXPECT_NE(result.output.find("(26) "), std::string::npos) << result.output;
}

TEST(Macros, UsesOfOneRunShareATokenBudget) {
    // e19 holds 2^19 tokens; the definitions made 2^20 - 2 tokens. 5 uses fit
    // into the 4 million tokens of a run, the 6th to 8th do not.
    std::string source = doublingMacros(".equ", "e", 19);
    for (int i = 0; i < 8; ++i) source += "\\e19\n";
    const Tally result = tally(source);
    EXPECT_EQ(result.kinds.at('A'), 5u << 19);
    EXPECT_EQ(result.kinds.at(TokInvalid), 3u);
    EXPECT_EQ(count(result.output, msg::kMacroExpansionTooLarge), 3u);
}

TEST(Macros, DeeplyNestedArgumentListsAreRefusedNotOverflowed) {
    std::string nested = ".macro \\m {<\\1>}\n";
    for (int i = 0; i < 5000; ++i) nested += "\\{m ";
    nested += "a";
    for (int i = 0; i < 5000; ++i) nested += "}";
    const auto m = run(nested);
    EXPECT_GT(m.run.errors, 0);
    EXPECT_NE(m.run.output.find(msg::kMacroTooDeep), std::string::npos);

    // A few levels are fine.
    const auto shallow = run(".macro \\m {<\\1>}\n\\{m \\{m \\{m a}}}");
    EXPECT_EQ(shallow.run.kinds(),
              (std::vector<int>{TokNewline, '<', '<', '<', 'A', '>', '>', '>'}));
}

}  // namespace

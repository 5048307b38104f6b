// The tokenizer: every token kind, the number, name, string, comment and "@"
// rules, and the messages with the lines they name.
#include <gtest/gtest.h>

#include "diag/Messages.h"
#include "source/Tokenizer.h"
#include "text/SourceProvider.h"
#include "source_test_support.h"

namespace {

using sourcetest::errorLine;
using sourcetest::token;

struct Lexed {
    std::vector<Token> tokens;  // up to and without the end
    std::vector<SourceLocation> locations;  // of each of them
    Token end;
    std::string output;
    int errors = 0;
    std::string path;
    std::unique_ptr<StringPool> pool;
    std::vector<Diagnostic> records;

    std::vector<int> kinds() const {
        std::vector<int> result;
        for (const Token& t : tokens) result.push_back(t.kind);
        return result;
    }
    std::u16string text(size_t index) const { return *pool->get(tokens.at(index).value); }
};

Lexed lex(const std::string& source) {
    ScratchFolder dir;
    Lexed lexed;
    lexed.path = dir.write("lex.mml", source);
    lexed.pool = createStringPool();
    TestReading read;
    auto reader = createSourceReader(lexed.path, read.reading);
    auto tokenizer = createTokenizer();
    tokenizer->attach(reader.get(), lexed.pool.get());
    EXPECT_EQ(tokenizer->source(), reader.get());
    const int before = getReporter().errorCount();
    testing::internal::CaptureStdout();
    Token t;
    SourceLocation location;
    while (tokenizer->read(t, location) != TokEnd) {
        lexed.tokens.push_back(t);
        lexed.locations.push_back(location);
    }
    lexed.end = t;
    Token again;
    EXPECT_EQ(tokenizer->read(again, location), TokEnd);
    lexed.output = testing::internal::GetCapturedStdout();
    lexed.errors = getReporter().errorCount() - before;
    lexed.records = read.diagnostics.records();
    return lexed;
}

TEST(Tokenizer, LettersAreFoldedAndNumbersTakeATrailingDot) {
    const Lexed lexed = lex("e4.c16R");
    EXPECT_EQ(lexed.tokens, (std::vector<Token>{token('E', 0, 1), token(TokNumberDot, 4, 1),
                                                token('C', 0, 1), token(TokNumber, 16, 1),
                                                token('R', 0, 1)}));
    EXPECT_EQ(lexed.errors, 0);
    EXPECT_EQ(lexed.output, "");
}

TEST(Tokenizer, TenLettersAreTenTokensAndABlankRunIsOne) {
    EXPECT_EQ(lex("abcdefghij").kinds(),
              (std::vector<int>{'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J'}));
    EXPECT_EQ(lex("a \t  \t b").kinds(), (std::vector<int>{'A', TokSpace, 'B'}));
}

TEST(Tokenizer, SingleCharactersAndLoopBrackets) {
    EXPECT_EQ(lex("#&^+-*{}<>,_").kinds(),
              (std::vector<int>{'#', '&', '^', '+', '-', '*', '{', '}', '<', '>', ',', '_'}));
    EXPECT_EQ(lex("/::/").kinds(), (std::vector<int>{TokLoopBegin, TokLoopEnd}));
    // A "/" alone leaves the following character for the next token.
    EXPECT_EQ(lex("/a").kinds(), (std::vector<int>{'/', 'A'}));
}

TEST(Tokenizer, ColonAloneIsInvalidAndSwallowsTheNextCharacter) {
    const Lexed lexed = lex("a:b c");
    EXPECT_EQ(lexed.kinds(), (std::vector<int>{'A', TokInvalid, TokSpace, 'C'}));
    EXPECT_EQ(lexed.output, errorLine(lexed.path, 1, msg::kInvalidToken));
}

TEST(Tokenizer, LineFeedsCountLines) {
    const Lexed lexed = lex("a\n\nb\n");
    EXPECT_EQ(lexed.tokens, (std::vector<Token>{token('A', 0, 1), token(TokNewline, 0, 1),
                                                token(TokNewline, 0, 2), token('B', 0, 3),
                                                token(TokNewline, 0, 3)}));
    EXPECT_EQ(lexed.end, token(TokEnd, 0, 4));
}

TEST(Tokenizer, AtCommandsPackTheirLettersBigEndian) {
    EXPECT_EQ(lex("@DE").kinds(), (std::vector<int>{0x404445}));
    EXPECT_EQ(lex("@VIB").kinds(), (std::vector<int>{0x40564942}));
    EXPECT_EQ(lex("@T").kinds(), (std::vector<int>{0x4054}));
    EXPECT_EQ(lex("@de").kinds(), (std::vector<int>{0x406465}));
    const Lexed lexed = lex("@1");
    EXPECT_EQ(lexed.tokens, (std::vector<Token>{token('@', 0, 1), token(TokNumber, 1, 1)}));
}

TEST(Tokenizer, FourLettersAfterAtAreRefused) {
    const Lexed lexed = lex("\n@ABCDE");
    EXPECT_EQ(lexed.kinds(), (std::vector<int>{TokNewline, TokInvalid, 'E'}));
    EXPECT_EQ(lexed.output, errorLine(lexed.path, 2, msg::kAtLettersTooLong) +
                                errorLine(lexed.path, 2, msg::kInvalidToken));
    EXPECT_EQ(lexed.errors, 2);
}

TEST(Tokenizer, NumbersUseTheFullUnsignedRange) {
    const Lexed largest = lex("4294967295");
    ASSERT_EQ(largest.tokens.size(), 1u);
    EXPECT_EQ(largest.tokens[0].kind, TokNumber);
    EXPECT_EQ(static_cast<uint32_t>(largest.tokens[0].value), 4294967295u);
    EXPECT_EQ(largest.errors, 0);

    const Lexed over = lex("4294967296 x");
    EXPECT_EQ(over.kinds(), (std::vector<int>{TokInvalid, TokSpace, 'X'}));
    EXPECT_EQ(over.output, errorLine(over.path, 1, msg::kValueTooLarge) +
                               errorLine(over.path, 1, msg::kInvalidToken));

    // The digit that overflows is consumed; the ones after it start anew.
    const Lexed longer = lex("42949672960");
    EXPECT_EQ(longer.tokens, (std::vector<Token>{token(TokInvalid, 0, 1), token(TokNumber, 0, 1)}));
    EXPECT_EQ(longer.errors, 2);
}

TEST(Tokenizer, DotNeedsANameAndConsumesWhatFollows) {
    const Lexed directive = lex(".include_2 x");
    ASSERT_EQ(directive.kinds(), (std::vector<int>{TokDirective, TokSpace, 'X'}));
    EXPECT_EQ(directive.text(0), u"include_2");

    const Lexed blank = lex("a. b");
    EXPECT_EQ(blank.kinds(), (std::vector<int>{'A', TokInvalid, 'B'}));
    EXPECT_EQ(blank.output, errorLine(blank.path, 1, msg::kInvalidToken));

    const Lexed lineEnd = lex("a.\nb");
    EXPECT_EQ(lineEnd.tokens, (std::vector<Token>{token('A', 0, 1), token(TokInvalid, 0, 1),
                                                  token('B', 0, 2)}));
}

TEST(Tokenizer, StringsKeepDoubleBytesAndCloseAtTheLineEnd) {
    const Lexed lexed = lex("\"\x82\xA0;x\"\"\"\"open\nc");
    ASSERT_EQ(lexed.kinds(), (std::vector<int>{TokString, TokString, TokString, TokNewline, 'C'}));
    EXPECT_EQ(lexed.text(0), (std::u16string{0x82A0, ';', 'x'}));
    EXPECT_EQ(lexed.text(1), u"");
    EXPECT_EQ(lexed.text(2), u"open");
    EXPECT_EQ(lexed.tokens[3].line, 1);
    EXPECT_EQ(lexed.tokens[4].line, 2);
    EXPECT_EQ(lexed.errors, 0);

    const Lexed atEnd = lex("\"abc");
    ASSERT_EQ(atEnd.kinds(), (std::vector<int>{TokString}));
    EXPECT_EQ(atEnd.text(0), u"abc");
}

TEST(Tokenizer, EveryStringIsANewPoolEntry) {
    const Lexed lexed = lex("\"a\"\"a\"");
    ASSERT_EQ(lexed.tokens.size(), 2u);
    EXPECT_NE(lexed.tokens[0].value, lexed.tokens[1].value);
    EXPECT_EQ(lexed.text(0), lexed.text(1));
}

TEST(Tokenizer, CommentsYieldOnlyTheirLineFeed) {
    const Lexed lexed = lex("c ;x \"y\n;only\nd;end");
    EXPECT_EQ(lexed.tokens,
              (std::vector<Token>{token('C', 0, 1), token(TokSpace, 0, 1), token(TokNewline, 0, 1),
                                  token(TokNewline, 0, 2), token('D', 0, 3)}));
}

TEST(Tokenizer, BackslashForms) {
    const Lexed arg = lex("\\{12}\\7\\0");
    EXPECT_EQ(arg.tokens, (std::vector<Token>{token(TokMacroArg, 12, 1), token(TokMacroArg, 7, 1),
                                              token(TokMacroArg, 0, 1)}));

    const Lexed call = lex("\\{abc x,y}\\d_1");
    ASSERT_EQ(call.kinds(), (std::vector<int>{TokMacroCall, TokSpace, 'X', ',', 'Y', '}',
                                              TokMacroRef}));
    EXPECT_EQ(call.text(0), u"abc");
    EXPECT_EQ(call.text(6), u"d_1");
}

TEST(Tokenizer, BracedArgumentNeedsItsCloseBrace) {
    const Lexed lexed = lex("\n\\{12 a");
    EXPECT_EQ(lexed.kinds(), (std::vector<int>{TokNewline, TokInvalid, 'A'}));
    EXPECT_EQ(lexed.output, errorLine(lexed.path, 2, msg::kCloseBraceRequired) +
                                errorLine(lexed.path, 2, msg::kInvalidToken));

    // The line feed read in place of the "}" is consumed: the message names the
    // line after it, the invalid token the line it began on. The records place
    // both on the line the line feed ends.
    const Lexed cut = lex("\\{12\nb");
    EXPECT_EQ(cut.tokens, (std::vector<Token>{token(TokInvalid, 0, 1), token('B', 0, 2)}));
    EXPECT_EQ(cut.output, errorLine(cut.path, 2, msg::kCloseBraceRequired) +
                              errorLine(cut.path, 1, msg::kInvalidToken));
    ASSERT_EQ(cut.records.size(), 2u);
    EXPECT_EQ(cut.records[0].location.line, 1);
    EXPECT_EQ(cut.records[0].location.column, 4);  // the line feed
    EXPECT_EQ(cut.records[1].location.line, 1);
    EXPECT_EQ(cut.records[1].location.column, 0);
    EXPECT_EQ(cut.records[1].location.endColumn, 5);
}

// Each token spans its characters; a double-byte character is one column; a
// line end, also one ending a comment, ends on its own line.
TEST(Tokenizer, TokensSpanTheColumnsOfTheirCharacters) {
    const Lexed lexed = lex("c4. \"\x82\xA0\x82\xA2\"@DE ;x\x82\xA0\n  \\mac");
    ASSERT_EQ(lexed.kinds(), (std::vector<int>{'C', TokNumberDot, TokSpace, TokString,
                                               commandCode("@DE"), TokSpace, TokNewline,
                                               TokSpace, TokMacroRef}));
    const std::vector<std::pair<int, int>> spans = {{0, 1}, {1, 3},  {3, 4},  {4, 8}, {8, 11},
                                                    {11, 12}, {12, 16}, {0, 2}, {2, 6}};
    ASSERT_EQ(lexed.locations.size(), spans.size());
    for (size_t i = 0; i < spans.size(); ++i) {
        const SourceLocation& at = lexed.locations[i];
        EXPECT_EQ(at.file, 1) << i;
        EXPECT_EQ(at.line, lexed.tokens[i].line) << i;
        EXPECT_EQ(at.column, spans[i].first) << i;
        EXPECT_EQ(at.endColumn, spans[i].second) << i;
        EXPECT_EQ(at.expansion, 0) << i;
    }
    EXPECT_EQ(lexed.locations[7].line, 2);
}

// A UTF-8 source: a character code page 932 cannot hold is reported where it
// stands and still takes its UTF-16 units (two beyond the first plane), as do
// bytes that form no character (one a broken sequence).
TEST(Tokenizer, SkippedCharactersOfAUtf8SourceKeepTheirColumns) {
    const auto sources = createMemorySources();
    sources->add("u.mml", "a\xF0\x9F\x8E\xB5" "b\xFF\xE3\x81" "c\n\xEA\xB0\x80" "d");
    TestReading read(true, *sources);
    auto pool = createStringPool();
    auto reader = createSourceReader("u.mml", read.reading);
    auto tokenizer = createTokenizer();
    tokenizer->attach(reader.get(), pool.get());
    testing::internal::CaptureStdout();
    std::vector<SourceLocation> letters;
    Token t;
    SourceLocation at;
    while (tokenizer->read(t, at) != TokEnd) {
        if (t.kind >= 'A' && t.kind <= 'Z') letters.push_back(at);
    }
    testing::internal::GetCapturedStdout();
    ASSERT_EQ(letters.size(), 4u);
    EXPECT_EQ(letters[0].column, 0);
    EXPECT_EQ(letters[1].column, 3);  // after the two units of U+1F3B5
    EXPECT_EQ(letters[1].endColumn, 4);
    EXPECT_EQ(letters[2].column, 6);  // after two broken sequences
    EXPECT_EQ(letters[3].line, 2);
    EXPECT_EQ(letters[3].column, 1);  // after U+AC00, which code page 932 cannot hold
    const std::vector<Diagnostic>& records = read.diagnostics.records();
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].id(), msg::kNotInCodePage932.id);
    EXPECT_EQ(records[0].location.column, 1);
    EXPECT_EQ(records[0].location.endColumn, 3);
    EXPECT_EQ(records[1].id(), msg::kInvalidUtf8.id);
    EXPECT_EQ(records[1].location.column, 4);
    EXPECT_EQ(records[1].location.endColumn, 6);
    EXPECT_EQ(records[2].location.line, 2);
    EXPECT_EQ(records[2].location.column, 0);
    EXPECT_EQ(records[2].location.endColumn, 1);
}

TEST(Tokenizer, BackslashBeforeAnythingElseIsInvalid) {
    const Lexed lexed = lex("\\ a\\{+b");
    EXPECT_EQ(lexed.kinds(), (std::vector<int>{TokInvalid, 'A', TokInvalid, 'B'}));
    EXPECT_EQ(lexed.errors, 2);
}

TEST(Tokenizer, StrayCharactersAreInvalidOnTheirOwnLine) {
    const Lexed lexed = lex("a\n!\r\x82\xA0=");
    EXPECT_EQ(lexed.kinds(),
              (std::vector<int>{'A', TokNewline, TokInvalid, TokInvalid, TokInvalid, TokInvalid}));
    const std::string invalid = errorLine(lexed.path, 2, msg::kInvalidToken);
    EXPECT_EQ(lexed.output, invalid + invalid + invalid + invalid);
}

}  // namespace

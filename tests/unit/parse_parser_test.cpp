// Tests of the command parser over prepared token streams: the commands and
// lyrics it sends, the messages it reports with their lines, and where it stops.
#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>
#include <vector>

#include "diag/Diagnostics.h"
#include "diag/Messages.h"
#include "parse/CommandParser.h"
#include "parse/CommandSink.h"
#include "song/CommandCode.h"
#include "source/Preprocessor.h"
#include "source/Token.h"
#include "text/StringPool.h"

namespace {

// Builds a token stream by hand; every token gets the current line, which a
// line end advances.
class Tokens {
public:
    explicit Tokens(StringPool& pool) : pool_(pool) {}

    Tokens& kind(int32_t kind, int32_t value = 0) {
        tokens_.push_back({kind, value, line_});
        return *this;
    }
    // One token per character: letters upper-cased, the rest as their code.
    Tokens& chars(const std::string& text) {
        for (char c : text) {
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
            kind(static_cast<unsigned char>(c));
        }
        return *this;
    }
    Tokens& num(int64_t value) { return kind(TokNumber, static_cast<int32_t>(value)); }
    Tokens& dotted(int32_t value) { return kind(TokNumberDot, value); }
    Tokens& str(const std::u16string& text) { return kind(TokString, pool_.add(text)); }
    Tokens& at(const char* letters) {
        return kind(commandCode((std::string("@") + letters).c_str()));
    }
    Tokens& space() { return kind(TokSpace); }
    Tokens& newline() {
        kind(TokNewline);
        ++line_;
        return *this;
    }
    Tokens& atLine(int line) {
        line_ = line;
        return *this;
    }
    const std::vector<Token>& tokens() const { return tokens_; }

private:
    StringPool& pool_;
    std::vector<Token> tokens_;
    int line_ = 1;
};

// Serves a prepared stream, then the end of input for ever. Every token stands
// in file 1 on its line, one column wide at the column of its place in the
// stream.
class FakePreprocessor final : public Preprocessor {
public:
    explicit FakePreprocessor(std::vector<Token> tokens) : tokens_(std::move(tokens)) {}
    int start(SourceReader*, StringPool*, const std::vector<std::string>*) override { return 0; }
    int nextToken(Token& token, SourceLocation& location) override {
        const auto column = static_cast<int32_t>(next_);
        if (next_ < tokens_.size()) {
            token = tokens_[next_++];
        } else {
            token = Token{TokEnd, 0, lastLine()};
        }
        location = SourceLocation{1, token.line, column, column + 1};
        return token.kind;
    }
private:
    int lastLine() const { return tokens_.empty() ? 1 : tokens_.back().line; }
    std::vector<Token> tokens_;
    size_t next_ = 0;
};

// Writes down every command and lyric as a short text: "67 0:0 0:480" is code 67
// with two parameters of type 0; "lyrics 33440 33442" is a lyric call.
class RecordingCompiler final : public CommandSink {
public:
    void command(int code, int count, const CommandParam* params,
                 const CommandPlace& place) override {
        EXPECT_EQ(count == 0, params == nullptr) << "code " << code;
        std::string text = std::to_string(code);
        for (int i = 0; i < count; ++i) {
            text += " " + std::to_string(params[i].type) + ":" + std::to_string(params[i].value);
        }
        calls.push_back(text);
        places.push_back(place);
    }
    void lyrics(const char16_t* chars, const CommandPlace& place) override {
        std::string text = "lyrics";
        for (const char16_t* c = chars; *c != 0; ++c) text += " " + std::to_string(int{*c});
        calls.push_back(text);
        places.push_back(place);
    }

    std::vector<std::string> calls;
    std::vector<CommandPlace> places;  // of each call
};

using Calls = std::vector<std::string>;

std::string error(int line, const msg::Message& message) {
    return "ERROR: t.mml(" + std::to_string(line) + ") " + message + "\n";
}

class CommandParserTest : public testing::Test {
protected:
    CommandParserTest() {
        files.addFile("t.mml");
        diagnostics.showOnConsole();
    }

    // Parses the stream and returns what the compiler received; the printed
    // diagnostics land in `output`.
    Calls parse(const Tokens& tokens, CommandParser* parser = nullptr) {
        FakePreprocessor preprocessor(tokens.tokens());
        std::unique_ptr<CommandParser> own;
        if (parser == nullptr) parser = (own = createCommandParser(diagnostics)).get();
        compiler.calls.clear();
        compiler.places.clear();
        testing::internal::CaptureStdout();
        EXPECT_EQ(parser->parse(&preprocessor, &compiler, pool.get()), 0);
        output = testing::internal::GetCapturedStdout();
        return compiler.calls;
    }

    Tokens src() { return Tokens(*pool); }

    SourceMap files;
    Diagnostics diagnostics{files};
    std::unique_ptr<StringPool> pool = createStringPool();
    RecordingCompiler compiler;
    std::string output;
};

const std::string kEnd = "-1";

TEST_F(CommandParserTest, NotesTakeAccidentalAndLength) {
    auto in = src();
    in.chars("c").newline();
    in.chars("c#").newline();
    in.chars("c+").num(2).newline();
    in.chars("c-").dotted(8).newline();
    in.chars("d").dotted(64).chars("e").num(1).chars("b").num(16);
    EXPECT_EQ(parse(in), (Calls{"67 0:0 0:0", "67 0:43 0:0", "67 0:43 0:960", "67 0:45 0:360",
                                "68 0:0 0:45", "69 0:0 0:1920", "66 0:0 0:120", kEnd}));
    EXPECT_EQ(output, "");
}

TEST_F(CommandParserTest, LengthsJoinPartsWithTiesAndRawTicks) {
    auto in = src();
    in.chars("c").num(4).chars("^").num(8);                          // 480 + 240
    in.chars("r*").num(100);                                         // raw ticks
    in.chars("l").num(4).chars("^*").num(30);                        // 480 + 30
    in.chars("a*").dotted(7);                                        // dot ignored in raw ticks
    in.chars("g").dotted(4).chars("^").dotted(2).chars("^*").num(1);  // 720 + 1440 + 1
    EXPECT_EQ(parse(in), (Calls{"67 0:0 0:720", "82 0:100", "76 0:510", "65 0:0 0:7",
                                "71 0:0 0:2161", kEnd}));
    EXPECT_EQ(output, "");
}

TEST_F(CommandParserTest, RawTickSumsAreHeldAtTheLargestLength) {
    auto in = src();
    in.chars("c*").num(4000000000).chars("^*").num(4000000000).newline();
    in.chars("r*").num(4294967295).newline();  // arrives as -1, counts as unsigned
    in.chars("l*").num(INT32_MAX).chars("^*").num(1).newline();
    in.chars("d*").num(INT32_MAX - 1).chars("^*").num(1);
    const std::string max = std::to_string(INT32_MAX);
    EXPECT_EQ(parse(in), (Calls{"67 0:0 0:" + max, "82 0:" + max, "76 0:" + max,
                                "68 0:0 0:" + max, kEnd}));
}

TEST_F(CommandParserTest, BadNoteValueGivesLengthZeroAndGoesOn) {
    auto in = src();
    in.chars("c").num(3).newline();
    in.chars("c*").num(3).newline();
    in.chars("r").num(0).newline();
    in.chars("l").num(-128).newline();  // 4294967168 in the source
    in.chars("d").dotted(5);
    EXPECT_EQ(parse(in),
              (Calls{"67 0:0 0:0", "67 0:0 0:3", "82 0:0", "76 0:0", "68 0:0 0:0", kEnd}));
    EXPECT_EQ(output, error(1, msg::kBadNoteValue) + error(3, msg::kBadNoteValue) +
                          error(4, msg::kBadNoteValue) + error(5, msg::kBadNoteValue));
}

TEST_F(CommandParserTest, BadNoteValueEndsTheLengthBeforeATie) {
    // The length is given up at the bad part; the "^" then starts no command.
    auto in = src();
    in.chars("c").num(3).chars("^").num(4).chars("d");
    EXPECT_EQ(parse(in), (Calls{"67 0:0 0:0"}));
    EXPECT_EQ(output, error(1, msg::kBadNoteValue) + error(1, msg::kUnknownCommandToken));
}

TEST_F(CommandParserTest, MissingLengthsAndTies) {
    auto in = src();
    in.chars("c").num(4).chars("^").space().newline();
    in.chars("d").num(4).chars("^*").newline();     // "*" consumed, still no number
    in.chars("e*").num(0).chars("^").newline();      // the sum is still 0: no message
    in.chars("f*").space().chars("g");               // "*" alone is consumed silently
    in.chars("c").space().num(4);                    // no length; 4 is a command of its own
    EXPECT_EQ(parse(in), (Calls{"67 0:0 0:0", "68 0:0 0:0", "69 0:0 0:0", "70 0:0 0:0",
                                "71 0:0 0:0", "67 0:0 0:0", "48 0:4", kEnd}));
    EXPECT_EQ(output, error(1, msg::kNumberAfterTie) + error(2, msg::kNumberAfterTie));
}

TEST_F(CommandParserTest, NumbersForOctaveGateTempo) {
    auto in = src();
    in.chars("t-").num(120).chars("o").num(4).chars("q+").num(7).newline();
    in.chars("t-").num(INT32_MIN).chars("t-").num(-1).chars("t").num(-1).newline();
    EXPECT_EQ(parse(in), (Calls{"84 0:-120", "79 0:4", "81 0:7",
                                "84 0:" + std::to_string(INT32_MIN), "84 0:1", "84 0:-1", kEnd}));
    EXPECT_EQ(output, "");
}

TEST_F(CommandParserTest, MissingNumberSendsZeroAndRereadsTheToken) {
    auto in = src();
    in.chars("t").chars("c").newline();
    in.chars("o-").space().newline();
    in.chars("q").dotted(50);  // a dotted number is no number here, nor a command
    EXPECT_EQ(parse(in), (Calls{"84 0:0", "67 0:0 0:0", "79 0:0", "81 0:0"}));
    EXPECT_EQ(output, error(1, msg::kNumberRequired) + error(2, msg::kNumberRequired) +
                          error(3, msg::kNumberRequired) + error(3, msg::kUnknownCommandToken));
}

TEST_F(CommandParserTest, AtWithStringOrLetters) {
    auto in = src();
    const int id = pool->add(u"Singer");
    in.kind('@').kind(TokString, id).newline();
    in.at("V").num(1).newline();
    in.at("DE").chars("+").num(3).chars(",-").num(2).chars(",").num(5).newline();
    in.at("T").newline();
    in.at("vib").chars("*").num(9).chars(",").kind(TokString, id);
    EXPECT_EQ(parse(in), (Calls{"64 2:" + std::to_string(id), "16470 0:1",
                                "4211781 1:3 1:-2 0:5", "16468",
                                std::to_string(0x40766962) + " 0:9 2:" + std::to_string(id),
                                kEnd}));
    EXPECT_EQ(output, "");
}

TEST_F(CommandParserTest, AtWithoutStringReportsAndGoesOn) {
    auto in = src();
    in.kind('@').space().str(u"\x82A0").newline();
    const int id = pool->add(u"x");
    in.kind('@').kind('@').kind(TokString, id);
    EXPECT_EQ(parse(in), (Calls{"lyrics 33440", "64 2:" + std::to_string(id), kEnd}));
    EXPECT_EQ(output, error(1, msg::kAtNeedsStringOrLetters) +
                          error(2, msg::kAtNeedsStringOrLetters));
}

TEST_F(CommandParserTest, ParameterListsStopAtTheFirstNonParameter) {
    auto in = src();
    in.at("DE").space().num(1).chars(",").num(2).newline();
    in.at("DE").num(1).chars(",").space().num(2).newline();
    in.at("DE").num(1).dotted(2);
    EXPECT_EQ(parse(in), (Calls{"4211781", "48 0:1 0:2", "4211781 0:1", "48 0:2",
                                "4211781 0:1"}));
    EXPECT_EQ(output, error(2, msg::kParamAfterComma) + error(3, msg::kUnknownCommandToken));
}

TEST_F(CommandParserTest, ParameterListErrorsKeepWhatWasRead) {
    auto in = src();
    in.at("DE").num(1).chars(",*").chars("c").newline();
    in.at("DE").num(1).chars(",+").space().newline();
    in.at("DE").num(-1).chars(",-").num(INT32_MIN).chars(",").num(2).newline();
    in.at("DE").chars("-*").num(3).newline();  // the sign wants the number itself
    EXPECT_EQ(parse(in),
              (Calls{"4211781 0:1", "67 0:0 0:0", "4211781 0:1",
                     "4211781 0:-1 1:" + std::to_string(INT32_MIN) + " 0:2", "4211781"}));
    // Numbers of 2^31 or more are reported and kept; "-" "*": the "*" is returned,
    // ends the list and then starts no command.
    EXPECT_EQ(output, error(1, msg::kNumberAfterStar) + error(2, msg::kDigitsAfterSign) +
                          error(3, msg::kValueTooLarge) + error(3, msg::kValueTooLarge) +
                          error(4, msg::kDigitsAfterSign) + error(4, msg::kUnknownCommandToken));
}

TEST_F(CommandParserTest, PlainCommandsNumbersAndLoops) {
    auto in = src();
    in.chars("<>&/").kind(TokLoopEnd).newline();
    in.num(2).chars(",").num(4).newline();
    in.kind(TokLoopBegin).num(3).newline();
    in.kind(TokLoopBegin).chars("c");
    const std::string loop = std::to_string(TokLoopBegin);
    EXPECT_EQ(parse(in), (Calls{"60", "62", "38", "47", std::to_string(TokLoopEnd), "48 0:2 0:4",
                                loop + " 0:3", loop, "67 0:0 0:0", kEnd}));
}

TEST_F(CommandParserTest, PitchClasses) {
    auto in = src();
    in.chars("_c_d_e_f_g_a_b").newline();
    in.chars("_c#_d-_d+_e-_f+_g-_g#_a-_a+_b-_b");
    EXPECT_EQ(parse(in),
              (Calls{"95 0:0", "95 0:2", "95 0:4", "95 0:5", "95 0:7", "95 0:9", "95 0:11",
                     "95 0:1", "95 0:1", "95 0:3", "95 0:3", "95 0:6", "95 0:6", "95 0:8",
                     "95 0:8", "95 0:10", "95 0:10", "95 0:11", kEnd}));
    EXPECT_EQ(output, "");
}

TEST_F(CommandParserTest, BadPitchStopsWithoutTellingTheCompiler) {
    for (const char* text : {"e+", "f-", "b+", "c-", "e#"}) {
        auto in = src();
        in.chars("c_").chars(text).chars("d");
        EXPECT_EQ(parse(in), (Calls{"67 0:0 0:0"})) << text;
        EXPECT_EQ(output, error(1, msg::kBadPitchAccidental)) << text;
    }
    for (const char* text : {"h", " c", "#"}) {
        auto in = src();
        in.chars("_").atLine(2).chars(text).chars("d");
        EXPECT_EQ(parse(in), Calls{}) << text;
        EXPECT_EQ(output, error(2, msg::kBadPitchLetter)) << text;
    }
}

TEST_F(CommandParserTest, LyricsSendCharacterCodes) {
    auto in = src();
    in.str(u"\x82A0\x82A2").str(u"").newline();
    in.str(u"a");
    EXPECT_EQ(parse(in), (Calls{"lyrics 33440 33442", "lyrics 97", kEnd}));
    EXPECT_EQ(output, "WARN: t.mml(1) " + std::string(msg::kEmptyLyric) + "\n");
}

TEST_F(CommandParserTest, ParsingStopsAtTokensThatStartNoCommand) {
    const std::vector<int32_t> kinds = {'#', '^', '*', ',', '+', '-', '{', '}', 'H', 'Z',
                                        TokNumberDot, TokDirective, TokMacroRef};
    for (int32_t kind : kinds) {
        auto in = src();
        in.chars("c").newline().kind(kind).chars("d");
        EXPECT_EQ(parse(in), (Calls{"67 0:0 0:0"})) << kind;
        EXPECT_EQ(output, error(2, msg::kUnknownCommandToken)) << kind;
    }
}

TEST_F(CommandParserTest, InvalidTokenStopsSilently) {
    auto in = src();
    in.chars("c").kind(TokInvalid).chars("d");
    EXPECT_EQ(parse(in), (Calls{"67 0:0 0:0"}));
    EXPECT_EQ(output, "");
}

// A command stands from its first token to its last; its reports name the
// line of the token taken last, which after a length is the token after it.
TEST_F(CommandParserTest, CommandsSpanTheirTokensAndNameTheLineTakenLast) {
    auto in = src();
    in.chars("c").num(4).atLine(4).chars(",");
    EXPECT_EQ(parse(in), (Calls{"67 0:0 0:480"}));
    EXPECT_EQ(output, error(4, msg::kUnknownCommandToken));
    ASSERT_EQ(compiler.places.size(), 1u);
    const CommandPlace& note = compiler.places[0];
    EXPECT_EQ(note.written.line, 1);
    EXPECT_EQ(note.written.column, 0);
    EXPECT_EQ(note.written.endColumn, 2);  // "c4"; the "," after it is not the note's
    EXPECT_EQ(note.consoleLine, 4);
    ASSERT_EQ(diagnostics.records().size(), 1u);
    EXPECT_EQ(diagnostics.records()[0].location.column, 2);  // the ","
}

TEST_F(CommandParserTest, ACommandOnOneLineSpansUpToItsLastToken) {
    auto in = src();
    in.chars("c+").num(8).chars("^").num(16).chars("@").str(u"x");
    EXPECT_EQ(parse(in), (Calls{"67 0:43 0:360", "64 2:1", kEnd}));
    ASSERT_EQ(compiler.places.size(), 3u);
    EXPECT_EQ(compiler.places[0].written.column, 0);
    EXPECT_EQ(compiler.places[0].written.endColumn, 5);
    EXPECT_EQ(compiler.places[1].written.column, 5);
    EXPECT_EQ(compiler.places[1].written.endColumn, 7);
    EXPECT_EQ(compiler.places[0].consoleLine, 1);
}

TEST_F(CommandParserTest, EachParseStartsWithoutAPendingToken) {
    // A failed pitch leaves its token returned; the next parse must not see it.
    auto parser = createCommandParser(diagnostics);
    auto first = src();
    first.chars("_h");
    EXPECT_EQ(parse(first, parser.get()), Calls{});
    EXPECT_EQ(output, error(1, msg::kBadPitchLetter));
    auto second = src();
    second.chars("c");
    EXPECT_EQ(parse(second, parser.get()), (Calls{"67 0:0 0:0", kEnd}));
}

}  // namespace

// Random input for the preprocessor: random bytes and random soups of the
// source language's pieces, with macros and includes. Every run must end, and
// the stream must hold only the kinds a command parser may see, with every
// invalid token backed by a reported error.
#include <gtest/gtest.h>

#include <array>
#include <random>

#include "source_test_support.h"

namespace {

using sourcetest::Run;

constexpr size_t kTokenLimit = 3'000'000;

bool isAtCommand(int kind) {
    if ((kind >> 24) == '@') return true;
    if ((kind >> 16) == '@') return true;
    if ((kind >> 8) == '@') return true;
    return kind == '@';
}

bool isDeliverable(int kind) {
    switch (kind) {
    case TokInvalid: case TokNumber: case TokNumberDot: case TokString:
    case TokNewline: case TokSpace: case TokLoopBegin: case TokLoopEnd:
    case '#': case '&': case '^': case '+': case '-': case '*':
    case '{': case '}': case '<': case '>': case ',': case '/': case '_':
        return true;
    default:
        return (kind >= 'A' && kind <= 'Z') || isAtCommand(kind);
    }
}

void checkStream(const Run& run, const std::string& label) {
    SCOPED_TRACE(label);
    ASSERT_LT(run.tokens.size(), kTokenLimit) << "the stream did not end";
    EXPECT_EQ(run.end.kind, TokEnd);
    int invalid = 0;
    for (const Token& token : run.tokens) {
        ASSERT_TRUE(isDeliverable(token.kind)) << "kind " << token.kind;
        ASSERT_GE(token.line, 0);
        if (token.kind == TokInvalid) ++invalid;
    }
    EXPECT_GE(run.errors, invalid);
}

std::string randomBytes(std::mt19937& random, size_t size) {
    std::string bytes(size, '\0');
    std::uniform_int_distribution<int> byte(0, 255);
    for (char& c : bytes) c = static_cast<char>(byte(random));
    return bytes;
}

// Pieces that make up random sources: the macros a..d and includes of the
// files f1.mml and f2.mml, which are soups themselves.
std::string randomSoup(std::mt19937& random, size_t pieces) {
    static const std::array<const char*, 44> kPieces = {
        ".equ \\a ", ".equ \\b ", ".macro \\c {", ".macro \\d {", ".macro \\a{", "}", "{",
        "\\a", "\\b", "\\c", "\\d", "\\{a ", "\\{c ", "\\{d ", "\\{b", "\\1", "\\2", "\\{3}",
        "\\0", ",", " ", "\t", "\n", "\n", "c4", "e8.", "\"str", "\"\x82\xA0\"", ";note\n",
        "@VIB", "@v", "@ABCD", "/:", ":/", "4294967296", "4294967295", ".include \"f1.mml\"",
        ".include \"f2.mml\"", ".include \"nope\"", ".include 3", ".bad", "\\", ".", ":"};
    std::uniform_int_distribution<size_t> pick(0, kPieces.size() - 1);
    std::string text;
    for (size_t i = 0; i < pieces; ++i) text += kPieces[pick(random)];
    return text;
}

TEST(PreprocessorFuzz, RandomBytes) {
    ScratchFolder dir;
    for (unsigned seed = 1; seed <= 300; ++seed) {
        std::mt19937 random(seed);
        std::uniform_int_distribution<size_t> size(0, 4096);
        const std::string main = dir.write("main.mml", randomBytes(random, size(random)));
        checkStream(sourcetest::preprocess(main, {}, kTokenLimit), "seed " + std::to_string(seed));
    }
}

TEST(PreprocessorFuzz, RandomSoupsWithMacrosAndIncludes) {
    ScratchFolder dir;
    for (unsigned seed = 1; seed <= 300; ++seed) {
        std::mt19937 random(seed);
        std::uniform_int_distribution<size_t> pieces(0, 600);
        dir.write("f1.mml", randomSoup(random, pieces(random) / 4));
        dir.write("inc/f2.mml", randomSoup(random, pieces(random) / 4));
        const std::string main = dir.write("main.mml", randomSoup(random, pieces(random)));
        checkStream(sourcetest::preprocess(main, {dir.file("inc")}, kTokenLimit),
                    "seed " + std::to_string(seed));
    }
}

TEST(PreprocessorFuzz, DeepNestingOfEveryKind) {
    ScratchFolder dir;
    std::string source = ".macro \\m {<\\1>}\n.equ \\e \\{m ";
    for (int i = 0; i < 20000; ++i) source += "\\{m ";
    for (int i = 0; i < 20000; ++i) source += "}";
    source += "}\n.macro \\n {";
    for (int i = 0; i < 20000; ++i) source += "\\{m ";
    source += std::string(20000, '}') + "}\n\\n\\e";
    const std::string main = dir.write("main.mml", source);
    checkStream(sourcetest::preprocess(main, {}, kTokenLimit), "nesting");
}

}  // namespace

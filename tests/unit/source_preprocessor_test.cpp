// The preprocessor: the joined token stream, the directives, the include
// search and the file names and lines that diagnostics name.
#include <gtest/gtest.h>

#include "diag/Messages.h"
#include "source/IncludeSearch.h"
#include "source/Tokenizer.h"
#include "source_test_support.h"

namespace {

using sourcetest::errorLine;
using sourcetest::preprocess;
using sourcetest::token;

TEST(Preprocessor, IncludedTokensTakeThePlaceOfTheDirective) {
    ScratchFolder dir;
    dir.write("part.mml", "d\ne");  // no line feed at the end
    const std::string main = dir.write("main.mml", "c .include \"part.mml\" f\ng");
    const auto run = preprocess(main);
    EXPECT_EQ(run.tokens,
              (std::vector<Token>{token('C', 0, 1), token(TokSpace, 0, 1), token('D', 0, 1),
                                  token(TokNewline, 0, 1), token('E', 0, 2), token(TokSpace, 0, 1),
                                  token('F', 0, 1), token(TokNewline, 0, 1), token('G', 0, 2)}));
    EXPECT_EQ(run.errors, 0);
    EXPECT_EQ(run.end.kind, TokEnd);
}

TEST(Preprocessor, EndIsDeliveredAgainOnEveryLaterCall) {
    ScratchFolder dir;
    const std::string main = dir.write("main.mml", "a");
    auto pool = createStringPool();
    TestReading read;
    auto source = createSourceReader(main, read.reading);
    auto preprocessor = createPreprocessor();
    const std::vector<std::string> none;
    preprocessor->start(source.get(), pool.get(), &none);
    Token t;
    SourceLocation at;
    EXPECT_EQ(preprocessor->nextToken(t, at), 'A');
    EXPECT_EQ(preprocessor->nextToken(t, at), TokEnd);
    EXPECT_EQ(preprocessor->nextToken(t, at), TokEnd);
    EXPECT_EQ(t.kind, TokEnd);
    // The end stands after the last character of the main source.
    EXPECT_EQ(at.file, 1);
    EXPECT_EQ(at.line, 1);
    EXPECT_EQ(at.column, 1);
}

TEST(Preprocessor, SearchPrefersTheIncludingFilesFolderThenTheListInOrder) {
    ScratchFolder dir;
    dir.write("src/x.mml", "a");
    dir.write("first/x.mml", "b");
    dir.write("second/x.mml", "c");
    dir.write("second/y.mml", "d");
    const std::string main = dir.write("src/main.mml", ".include \"x.mml\".include \"y.mml\"");
    const std::vector<std::string> directories{dir.file("first"), dir.file("second") + "/"};
    EXPECT_EQ(preprocess(main, directories).kinds(), (std::vector<int>{'A', 'D'}));

    std::filesystem::remove(dir.file("src/x.mml"));
    EXPECT_EQ(preprocess(main, directories).kinds(), (std::vector<int>{'B', 'D'}));
}

TEST(Preprocessor, IncludedFileIsNamedByThePathAsBuilt) {
    ScratchFolder dir;
    dir.write("inc/bad.mml", "\n!");
    dir.write("inc2/bad2.mml", "!");
    const std::string main =
        dir.write("src/main.mml", ".include \"bad.mml\"\n.include \"bad2.mml\"\n!");
    const std::string slashEnded = dir.file("inc") + "/";
    const std::string plain = dir.file("inc2");
    const auto run = preprocess(main, {slashEnded, plain});
    EXPECT_EQ(run.output, errorLine(slashEnded + "bad.mml", 2, msg::kInvalidToken) +
                              errorLine(plain + "/bad2.mml", 1, msg::kInvalidToken) +
                              errorLine(main, 3, msg::kInvalidToken));
}

TEST(Preprocessor, EmptyListEntryUsesTheNameAsItIs) {
    ScratchFolder dir;
    const std::string absolute = dir.write("elsewhere/x.mml", "q");
    const std::string main = dir.write("src/main.mml", ".include \"" + absolute + "\"");
    EXPECT_EQ(preprocess(main, {""}).kinds(), (std::vector<int>{'Q'}));
}

TEST(IncludeSearch, BackslashSeparatesTheIncludingFilesFolderToo) {
    ScratchFolder dir;
    // On a system where a backslash is an ordinary character this is a file
    // whose name holds one; the search must still cut the name there.
    const std::string found = dir.write("sub\\x.mml", "");
    EXPECT_EQ(findIncludeFile("x.mml", dir.file("sub\\main.mml"), {}, diskSources()), found);
    EXPECT_EQ(findIncludeFile("y.mml", dir.file("sub\\main.mml"), {dir.path().string()},
                              diskSources()),
              "");
    EXPECT_EQ(
        findIncludeFile("sub\\x.mml", "main.mml", {dir.path().string()}, diskSources()),
        found);
    // A directory is a file-system entry too, so it passes the search.
    dir.write("folder/keep.mml", "");
    EXPECT_EQ(findIncludeFile("folder", dir.file("main.mml"), {}, diskSources()),
              dir.file("folder"));
}

TEST(Preprocessor, SamePathIsIncludedOnce) {
    ScratchFolder dir;
    dir.write("x.mml", "a.include \"x.mml\"");  // includes itself
    const std::string main = dir.write("main.mml", ".include \"x.mml\"b.include \"x.mml\"c");
    const auto run = preprocess(main);
    EXPECT_EQ(run.kinds(), (std::vector<int>{'A', 'B', 'C'}));
    EXPECT_EQ(run.errors, 0);
}

TEST(Preprocessor, DifferentPathStringsToOneFileAreBothRead) {
    ScratchFolder dir;
    dir.write("x.mml", "a");
    dir.write("sub/keep.mml", "");
    const std::string main = dir.write("main.mml", ".include \"x.mml\".include \"sub/../x.mml\"");
    EXPECT_EQ(preprocess(main).kinds(), (std::vector<int>{'A', 'A'}));
}

TEST(Preprocessor, MainFileIsNotInTheIncludedSet) {
    ScratchFolder dir;
    const std::string main = dir.write("main.mml", "c.include \"main.mml\"");
    EXPECT_EQ(preprocess(main).kinds(), (std::vector<int>{'C', 'C'}));
}

TEST(Preprocessor, IncludeNeedsAString) {
    ScratchFolder dir;
    const std::string main = dir.write("main.mml", "\n.include 12 a\n.include\t\\x b\n.include");
    const auto run = preprocess(main);
    // The operand is consumed; the rest of the line is read normally.
    EXPECT_EQ(run.kinds(), (std::vector<int>{TokNewline, TokInvalid, TokSpace, 'A', TokNewline,
                                             TokInvalid, TokSpace, 'B', TokNewline, TokInvalid}));
    EXPECT_EQ(run.tokens[5].line, 3);
    EXPECT_EQ(run.tokens[9].line, 4);
    EXPECT_EQ(run.output, errorLine(main, 2, msg::kStringRequired) +
                              errorLine(main, 3, msg::kStringRequired) +
                              errorLine(main, 4, msg::kStringRequired));
}

TEST(Preprocessor, BlanksBeforeTheFileNameAreOptional) {
    ScratchFolder dir;
    dir.write("x.mml", "a");
    dir.write("y.mml", "b");
    const std::string main = dir.write("main.mml", ".include\"x.mml\".include \t \"y.mml\"");
    EXPECT_EQ(preprocess(main).kinds(), (std::vector<int>{'A', 'B'}));
}

TEST(Preprocessor, MissingIncludeIsReportedWithItsName) {
    ScratchFolder dir;
    const std::string main = dir.write("main.mml", "a\n.include \"nowhere\x82\xA0.mml\" b");
    const auto run = preprocess(main, {dir.file("inc")});
    EXPECT_EQ(run.kinds(), (std::vector<int>{'A', TokNewline, TokInvalid, TokSpace, 'B'}));
    EXPECT_EQ(run.output,
              errorLine(main, 2, msg::kIncludeNotFound, "nowhere\x82\xA0.mml"));
}

TEST(Preprocessor, UnknownDirectivesAreCaseSensitive) {
    ScratchFolder dir;
    dir.write("x.mml", "a");
    const std::string main = dir.write("main.mml", ".Include \"x.mml\"\n.foo");
    const auto run = preprocess(main);
    EXPECT_EQ(run.kinds(), (std::vector<int>{TokInvalid, TokSpace, TokString, TokNewline,
                                             TokInvalid}));
    EXPECT_EQ(run.output, errorLine(main, 1, msg::kUnknownDirective) +
                              errorLine(main, 2, msg::kUnknownDirective));
}

TEST(Preprocessor, MacroArgumentOutsideAMacroIsInvalid) {
    ScratchFolder dir;
    const std::string main = dir.write("main.mml", "a\n\\1b");
    const auto run = preprocess(main);
    EXPECT_EQ(run.tokens, (std::vector<Token>{token('A', 0, 1), token(TokNewline, 0, 1),
                                              token(TokInvalid, 1, 2), token('B', 0, 2)}));
    EXPECT_EQ(run.output, errorLine(main, 2, msg::kMacroArgOutsideMacro));
}

// Each token names the file it is written in; an included file is entered in
// the map with the directive that brought it in.
TEST(Preprocessor, LocationsFollowTheFileEachTokenIsWrittenIn) {
    ScratchFolder dir;
    const std::string part = dir.write("part.mml", "\n\nd");
    const std::string main = dir.write("main.mml", "\n.include \"part.mml\"\ne");
    const auto run = preprocess(main);
    ASSERT_EQ(run.kinds(), (std::vector<int>{TokNewline, TokNewline, TokNewline, 'D',
                                             TokNewline, 'E'}));
    const SourceMap& files = run.read->files;
    ASSERT_EQ(files.fileCount(), 2);
    EXPECT_EQ(files.fileName(1), main);
    EXPECT_EQ(files.fileName(2), part);
    const SourceLocation& directive = files.includedFrom(2);
    EXPECT_EQ(directive.file, 1);
    EXPECT_EQ(directive.line, 2);
    EXPECT_EQ(directive.column, 0);
    EXPECT_EQ(directive.endColumn, 8);  // ".include"
    EXPECT_EQ(run.locations[0].file, 1);
    EXPECT_EQ(run.locations[3].file, 2);
    EXPECT_EQ(run.locations[3].line, 3);
    // Back in the main file right after the name.
    EXPECT_EQ(run.locations[4].file, 1);
    EXPECT_EQ(run.locations[4].line, 2);
    EXPECT_EQ(run.locations[4].column, 19);
    EXPECT_EQ(run.locations[5].line, 3);
}

TEST(Preprocessor, LongIncludeChainsHaveNoLimitOfTheirOwn) {
    ScratchFolder dir;
    constexpr int kFiles = 300;
    for (int i = 0; i < kFiles; ++i) {
        dir.write("f" + std::to_string(i) + ".mml",
                  "a.include \"f" + std::to_string(i + 1) + ".mml\"b");
    }
    dir.write("f" + std::to_string(kFiles) + ".mml", "c");
    const auto run = preprocess(dir.file("f0.mml"));
    ASSERT_EQ(run.tokens.size(), 2u * kFiles + 1);
    EXPECT_EQ(run.tokens[kFiles].kind, 'C');
    EXPECT_EQ(run.errors, 0);
}

TEST(Preprocessor, IncludeTreesStopAtTheFileLimit) {
    // Every file brings in the next one by two different paths, so the number
    // of paths doubles at each level: twelve levels would open 8190 files.
    ScratchFolder dir;
    std::filesystem::create_directories(dir.file("x"));
    std::filesystem::create_directories(dir.file("y"));
    for (int i = 0; i < 12; ++i) {
        const std::string next = "L" + std::to_string(i + 1) + ".mml";
        dir.write("L" + std::to_string(i) + ".mml",
                  "c.include \"x/../" + next + "\".include \"y/../" + next + "\"");
    }
    dir.write("L12.mml", "d");
    const auto run = preprocess(dir.file("L0.mml"));
    size_t letters = 0;
    for (const Token& t : run.tokens) letters += t.kind == 'C' || t.kind == 'D';
    EXPECT_EQ(letters, 1u + 1024u);  // the main file and the files the limit allows
    EXPECT_GT(run.errors, 0);
    EXPECT_EQ(run.errors, static_cast<int>(run.kinds().size() - letters));
    const std::string first = run.output.substr(0, run.output.find('\n') + 1);
    EXPECT_NE(first.find(std::string(") ") + msg::kTooManyIncludes + ": "), std::string::npos)
        << first;
}

TEST(Preprocessor, SelfIncludeThroughGrowingPathsEnds) {
    ScratchFolder dir;
    dir.write("a.mml", "a.include \"./a.mml\"");
    const std::string main = dir.write("main.mml", ".include \"a.mml\"");
    const auto run = preprocess(main);
    // The path grows with every level until the system refuses it.
    EXPECT_GT(run.tokens.size(), 100u);
    EXPECT_EQ(run.errors, 1);
}

}  // namespace

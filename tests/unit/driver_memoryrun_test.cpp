// Runs of sources held in memory, as an editor's language server makes them:
// a check-only run of a source that includes another, read without the disk,
// and the records it leaves, each placed where its thing is written (in an
// included file, in a macro, on a last line without a line feed) with the way
// it came there; runs that follow each other or go side by side.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "diag/Messages.h"
#include "driver/CommandLine.h"
#include "driver/PipelineRun.h"
#include "driver/RunContext.h"
#include "text/SourceProvider.h"

namespace {

// "あ : [a]" in code page 932: enough of a dictionary for these songs.
const std::string kDictionary = "\x82\xA0 : [a]\n";

RunSettings settingsFor(const std::string& input) {
    RunSettings settings;
    settings.inputPath = input;
    settings.outputPath = "never-written.vsq";
    settings.dictionaryPath = "memory.dic";
    return settings;
}

// Texts held in memory and nothing else: a run that asked the disk for a file
// would find none.
std::unique_ptr<MemorySources> heldTexts(const std::vector<std::pair<std::string, std::string>>& texts) {
    auto sources = createMemorySources();
    sources->add("memory.dic", kDictionary);
    for (const auto& [path, bytes] : texts) sources->add(path, bytes);
    return sources;
}

struct Checked {
    bool succeeded = false;
    std::vector<Diagnostic> records;
    std::vector<std::string> files;  // the run's map, by id from 1
    std::vector<std::string> read;
};

Checked check(MemorySources& sources, const RunSettings& settings) {
    RunContext run(settings, sources);
    run.checkOnly = true;
    run.console = false;
    Checked checked;
    checked.succeeded = runPipeline(run);
    checked.records = run.diagnostics.records();
    for (int32_t file = 1; file <= run.files.fileCount(); ++file)
        checked.files.push_back(run.files.fileName(file));
    checked.read = run.filesRead.paths();
    return checked;
}

void expectAt(const SourceLocation& location, int32_t file, int32_t line, int32_t column,
              int32_t endColumn) {
    EXPECT_EQ(location.file, file);
    EXPECT_EQ(location.line, line);
    EXPECT_EQ(location.column, column);
    EXPECT_EQ(location.endColumn, endColumn);
}

// Line 1 defines a block macro whose body holds a wrong octave, line 2 a
// one-line macro with another; line 3 includes a file whose last line, without
// a line feed, holds a note out of range; line 4 uses both macros.
const std::string kSong =
    ".macro \\m { c o9 }\n"
    ".equ \\x q9\n"
    ".include \"part.mml\"\n"
    "d \\m \\x\n";
const std::string kPart = "c\nd\no8 b";

TEST(MemoryRun, CheckOnlyRunOfIncludedTextsHeldInMemoryKeepsLocatedRecords) {
    const auto sources = heldTexts({{"song.mml", kSong}, {"part.mml", kPart}});
    testing::internal::CaptureStdout();
    const Checked checked = check(*sources, settingsFor("song.mml"));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");  // nothing shown
    EXPECT_FALSE(checked.succeeded);
    EXPECT_EQ(checked.files, (std::vector<std::string>{"memory.dic", "song.mml", "part.mml"}));
    EXPECT_EQ(checked.read, checked.files);
    ASSERT_EQ(checked.records.size(), 3u);

    // The last line of the included file, named as its own.
    const Diagnostic& note = checked.records[0];
    EXPECT_EQ(note.id(), msg::kNoteOutOfRange.id);
    EXPECT_EQ(note.severity, Severity::Error);
    expectAt(note.location, 3, 3, 3, 4);
    ASSERT_EQ(note.chain.size(), 1u);
    EXPECT_EQ(note.chain[0].kind, DiagnosticStep::Kind::IncludedFrom);
    expectAt(note.chain[0].location, 2, 3, 0, 8);

    // Made by the block macro: at its use, written in its body.
    const Diagnostic& octave = checked.records[1];
    EXPECT_EQ(octave.id(), msg::kOutOfRange.id);
    expectAt(octave.location, 2, 4, 2, 4);
    ASSERT_EQ(octave.chain.size(), 1u);
    EXPECT_EQ(octave.chain[0].kind, DiagnosticStep::Kind::WrittenInMacro);
    expectAt(octave.chain[0].location, 2, 1, 14, 16);

    // Made by the one-line macro.
    const Diagnostic& gate = checked.records[2];
    EXPECT_EQ(gate.id(), msg::kOutOfRange.id);
    expectAt(gate.location, 2, 4, 5, 7);
    ASSERT_EQ(gate.chain.size(), 1u);
    EXPECT_EQ(gate.chain[0].kind, DiagnosticStep::Kind::WrittenInMacro);
    expectAt(gate.chain[0].location, 2, 2, 8, 10);
}

// A macro used in another macro's body: the chain has the inner use too.
TEST(MemoryRun, NestedMacroUsesAreStepsOfTheChain) {
    const auto sources = heldTexts(
        {{"song.mml", ".macro \\inner { o9 }\n.macro \\outer { c \\inner }\n\n  \\outer\n"}});
    const Checked checked = check(*sources, settingsFor("song.mml"));
    ASSERT_EQ(checked.records.size(), 1u);
    const Diagnostic& octave = checked.records[0];
    expectAt(octave.location, 2, 4, 2, 8);
    ASSERT_EQ(octave.chain.size(), 2u);
    EXPECT_EQ(octave.chain[0].kind, DiagnosticStep::Kind::WrittenInMacro);
    expectAt(octave.chain[0].location, 2, 1, 16, 18);
    EXPECT_EQ(octave.chain[1].kind, DiagnosticStep::Kind::MacroUse);
    expectAt(octave.chain[1].location, 2, 2, 18, 24);
}

// An include name that is not held is not found: nothing is read from disk,
// and the report points at the directive.
TEST(MemoryRun, IncludesResolveThroughTheProvider) {
    const auto sources = heldTexts({{"song.mml", "c\n.include \"elsewhere.mml\"\n"}});
    const Checked checked = check(*sources, settingsFor("song.mml"));
    ASSERT_EQ(checked.records.size(), 1u);
    EXPECT_EQ(checked.records[0].id(), msg::kIncludeNotFound.id);
    EXPECT_EQ(checked.records[0].detail, "elsewhere.mml");
    expectAt(checked.records[0].location, 2, 2, 0, 8);
    EXPECT_EQ(checked.read, (std::vector<std::string>{"memory.dic", "song.mml"}));
}

TEST(MemoryRun, ACleanCheckSucceedsAndWritesNothing) {
    const auto sources = heldTexts({{"song.mml", "c4 d4 \"\x82\xA0\x82\xA0\"\n"}});
    const Checked checked = check(*sources, settingsFor("song.mml"));
    EXPECT_TRUE(checked.succeeded);
    EXPECT_TRUE(checked.records.empty());
}

// Two runs shown on the console one after the other: the second counts and
// shows only its own reports.
TEST(MemoryRun, RunsThatFollowEachOtherKeepNothingOfTheFirst) {
    const auto sources = heldTexts({{"bad.mml", "o9\n"}, {"good.mml", "c\n"}});
    testing::internal::CaptureStdout();
    {
        RunContext first(settingsFor("bad.mml"), *sources);
        first.checkOnly = true;
        EXPECT_FALSE(runPipeline(first));
        EXPECT_EQ(first.diagnostics.errorCount(), 1);
    }
    testing::internal::GetCapturedStdout();
    testing::internal::CaptureStdout();
    RunContext second(settingsFor("good.mml"), *sources);
    second.checkOnly = true;
    EXPECT_TRUE(runPipeline(second));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "errors: 0\nwarns: 0\nSuccessful.\n");
    EXPECT_TRUE(second.diagnostics.records().empty());
}

// Check-only runs that show nothing share no state: on two threads at once,
// each keeps its own records.
TEST(MemoryRun, RunsNotShownOnTheConsoleGoSideBySide) {
    const auto sources = heldTexts({{"a.mml", "o9 o9\n"}, {"b.mml", "q9\n"}});
    Checked a;
    Checked b;
    std::thread first([&] {
        for (int i = 0; i < 20; ++i) a = check(*sources, settingsFor("a.mml"));
    });
    std::thread second([&] {
        for (int i = 0; i < 20; ++i) b = check(*sources, settingsFor("b.mml"));
    });
    first.join();
    second.join();
    ASSERT_EQ(a.records.size(), 2u);
    ASSERT_EQ(b.records.size(), 1u);
    expectAt(a.records[1].location, 2, 1, 3, 5);
    expectAt(b.records[0].location, 2, 1, 0, 2);
}

}  // namespace

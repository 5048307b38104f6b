// The language server's checker on the real pipeline: open buffers, UTF-8 as
// an editor sends them, checked in front of the disk, with located messages,
// their include chain, the notes with their syllables and bars, and the hints.
#include <gtest/gtest.h>

#include <algorithm>

#include "driver/PipelineChecker.h"

namespace {

RunSettings shippedDictionary() {
    RunSettings settings;
    settings.dictionaryPath = TUVO_SOURCE_DIR "/data/phonetic_symbols.dic";
    settings.dictionaryIsDefault = true;
    return settings;
}

TEST(PipelineChecker, ChecksOpenBuffersWithTheirPlacesAndChains) {
    const auto checker = createPipelineChecker(shippedDictionary());
    // The include is found among the buffers though no such file exists on disk.
    const CheckResult result = checker->check(
        "/nowhere/song.mml", {{"/nowhere/song.mml", "c \"\xE3\x81\x82\" .include \"part.mml\"\n"},
                              {"/nowhere/part.mml", "l4 c @vib1\n"}});
    ASSERT_FALSE(result.messages.empty());
    const CheckedMessage& unknown = result.messages.front();
    EXPECT_EQ(unknown.id, "unknown-command");
    EXPECT_EQ(unknown.place.path, "/nowhere/part.mml");
    EXPECT_EQ(unknown.place.line, 1);
    EXPECT_EQ(unknown.place.column, 5);
    ASSERT_EQ(unknown.chain.size(), 1u);
    EXPECT_EQ(unknown.chain[0].place.path, "/nowhere/song.mml");
    EXPECT_EQ(unknown.chain[0].place.column, 6);  // a kana is one column
    const auto& read = result.filesRead;
    EXPECT_NE(std::find(read.begin(), read.end(), "/nowhere/part.mml"), read.end());
}

TEST(PipelineChecker, GivesEachNoteItsSyllableBarAndTheHints) {
    const auto checker = createPipelineChecker(shippedDictionary());
    const CheckResult result = checker->check(
        "/nowhere/song.mml", {{"/nowhere/song.mml", "l2 o3 c d \"\xE3\x81\x8B\"\ne\n"}});
    ASSERT_EQ(result.notes.size(), 3u);
    const CheckedNote& c = result.notes[0];
    EXPECT_EQ(c.key, 60);
    EXPECT_EQ(c.ticks, 960);
    EXPECT_EQ(c.syllable, "\xE3\x81\x8B");
    EXPECT_FALSE(c.defaultSyllable);
    EXPECT_TRUE(result.notes[1].defaultSyllable);
    EXPECT_EQ(result.notes[2].bar, 2);
    EXPECT_EQ(result.notes[2].place.line, 2);
    // The notes left without a syllable are a hint at the first of them.
    const auto hint = std::find_if(result.messages.begin(), result.messages.end(),
                                   [](const CheckedMessage& m) { return m.id == "lyric-default-syllable"; });
    ASSERT_NE(hint, result.messages.end());
    EXPECT_EQ(hint->severity, CheckedSeverity::Information);
    EXPECT_EQ(hint->place.line, 1);
}

TEST(PipelineChecker, TracesEachSyllableToItsNotesAndEachRest) {
    const auto checker = createPipelineChecker(shippedDictionary());
    // l4 o3 c d "かさ" r8 /:3 e "た" :/
    const CheckResult result = checker->check(
        "/nowhere/song.mml",
        {{"/nowhere/song.mml",
          "l4 o3 c d \"\xE3\x81\x8B\xE3\x81\x95\" r8 /:3 e \"\xE3\x81\x9F\" :/\n"}});
    ASSERT_EQ(result.syllables.size(), 3u);
    const CheckedSyllable& ka = result.syllables[0];
    EXPECT_EQ(ka.text, "\xE3\x81\x8B");
    EXPECT_EQ(ka.place.line, 1);
    EXPECT_EQ(ka.place.column, 11);  // after the quote, a kana a column
    EXPECT_EQ(ka.place.endColumn, 12);
    ASSERT_EQ(ka.landings.size(), 1u);
    EXPECT_EQ(ka.landings[0].key, 60);
    EXPECT_EQ(result.syllables[1].place.column, 12);
    EXPECT_EQ(result.syllables[1].landings[0].beat, 2);
    // The loop gives its copies of the note the syllable again.
    const CheckedSyllable& ta = result.syllables[2];
    EXPECT_EQ(ta.place.column, 25);
    EXPECT_EQ(ta.landingCount, 3);
    ASSERT_EQ(ta.landings.size(), 3u);
    EXPECT_EQ(ta.landings[0].key, 64);
    EXPECT_EQ(ta.landings[1].beat, 4);
    EXPECT_EQ(ta.landings[2].bar, 2);
    EXPECT_EQ(ta.landings[2].beat, 1);
    ASSERT_EQ(result.rests.size(), 1u);
    const CheckedRest& rest = result.rests[0];
    EXPECT_EQ(rest.place.column, 15);
    EXPECT_EQ(rest.place.endColumn, 17);
    EXPECT_EQ(rest.ticks, 240);
    EXPECT_EQ(rest.bar, 1);
    EXPECT_EQ(rest.beat, 3);
    EXPECT_EQ(rest.tick, 0);
}

TEST(PipelineChecker, KeepsTheFirstNotesOfASyllableALoopRepeatsOften) {
    const auto checker = createPipelineChecker(shippedDictionary());
    // /:100 /:100 c "か" :/ :/ — ten thousand notes sing one syllable.
    const CheckResult result = checker->check(
        "/nowhere/song.mml", {{"/nowhere/song.mml", "/:100 /:100 c \"\xE3\x81\x8B\" :/ :/\n"}});
    ASSERT_EQ(result.syllables.size(), 1u);
    EXPECT_EQ(result.syllables[0].landingCount, 10000);
    EXPECT_EQ(result.syllables[0].landings.size(), CheckedSyllable::kLandingsKept);
}

TEST(PipelineChecker, RestsOfALoopAreKeptForEachPass) {
    const auto checker = createPipelineChecker(shippedDictionary());
    const CheckResult result =
        checker->check("/nowhere/song.mml", {{"/nowhere/song.mml", "l4 /:3 r c :/ r2\n"}});
    ASSERT_EQ(result.rests.size(), 4u);
    // The first pass, its copies as the loop closes, then the rest after it.
    EXPECT_EQ(result.rests[0].beat, 1);
    EXPECT_EQ(result.rests[1].place.column, result.rests[0].place.column);
    EXPECT_EQ(result.rests[1].beat, 3);
    EXPECT_EQ(result.rests[2].bar, 2);
    EXPECT_EQ(result.rests[2].beat, 1);
    EXPECT_EQ(result.rests[3].ticks, 960);
    EXPECT_EQ(result.rests[3].bar, 2);
    EXPECT_EQ(result.rests[3].beat, 3);
    // The last pass stops at the exit mark: the rest after it is not repeated.
    const CheckResult exit =
        checker->check("/nowhere/song.mml", {{"/nowhere/song.mml", "l4 /:2 c r / r8 :/\n"}});
    ASSERT_EQ(exit.rests.size(), 3u);
    EXPECT_EQ(exit.rests[2].place.column, exit.rests[0].place.column);
    EXPECT_EQ(exit.rests[2].beat, 4);
    EXPECT_EQ(exit.rests[2].tick, 240);
}

}  // namespace

// The MIDI file and the score on songs the compiler cannot make today but the
// model allows: notes of one track that overlap, texts with markup characters,
// and a song too long to be laid out as a score; and the part names.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "ExportTestSupport.h"
#include "VsqTestSupport.h"
#include "writers/midi/MidiExporter.h"
#include "writers/musicxml/ScoreExporter.h"

namespace {

using vsqtest::countOf;
using vsqtest::makeNote;

TEST_F(ExportTest, OverlappingNotesOfOneTrackKeepEveryNote) {
    track.notes.push_back(makeNote(0, 1920, 60, "a"));
    track.notes.push_back(makeNote(480, 480, 60, "b"));

    // The score writes the first note up to the second: a quarter each, then a half rest.
    const std::string score = folder.file("s.musicxml");
    ASSERT_TRUE(write(*createScoreExporter(), score));
    const std::string xml = readFile(score);
    EXPECT_EQ(countOf(xml, "<backup>"), 0u);
    EXPECT_EQ(countOf(xml, "<type>quarter</type>"), 2u);
    EXPECT_EQ(countOf(xml, "<type>half</type>"), 1u);
    EXPECT_EQ(countOf(xml, "<text>a</text>"), 1u);
    EXPECT_EQ(countOf(xml, "<text>b</text>"), 1u);
    EXPECT_EQ(countOf(xml, "<sign>F</sign>"), 0u);  // middle C is not below itself
    EXPECT_EQ(countOf(xml, "<part-name>Voice 1</part-name>"), 1u);  // no singer

    // The same pitch twice: the later note ends first, and every note-on has its note-off.
    const std::string midiPath = folder.file("s.mid");
    ASSERT_TRUE(write(*createMidiExporter(), midiPath));
    const std::string midi = readFile(midiPath);
    EXPECT_EQ(countOf(midi, vsqtest::bytes({0x90, 60, 100})), 2u);
    EXPECT_EQ(countOf(midi, vsqtest::bytes({0x80, 60, 64})), 2u);
}

TEST_F(ExportTest, LyricsAreEscapedAndControlCharactersLeftOut) {
    track.notes.push_back(makeNote(0, 480, 40, "<&\x01>"));
    const std::string score = folder.file("s.musicxml");
    ASSERT_TRUE(write(*createScoreExporter(), score));
    const std::string xml = readFile(score);
    EXPECT_NE(xml.find("<text>&lt;&amp;&gt;</text>"), std::string::npos);
    EXPECT_NE(xml.find("<sign>F</sign>"), std::string::npos);
}

// The singer sounding at the first note names the part: a change at the
// note's own tick counts, one after it does not.
TEST_F(ExportTest, APartIsNamedAfterTheSingerOfItsFirstNote) {
    const auto addSinger = [&](int32_t time, const char16_t* name) {
        ControlEvent singer;
        singer.time = time;
        singer.value = SingerChange{0, 0, strings->add(name)};
        track.controls.push_back(singer);
    };
    addSinger(0, u"Early");
    addSinger(480, u"Rin&Len");
    addSinger(960, u"Other");
    track.notes.push_back(makeNote(480, 480, 60, "a"));
    track.notes.push_back(makeNote(1440, 480, 60, "b"));
    const std::string score = folder.file("s.musicxml");
    ASSERT_TRUE(write(*createScoreExporter(), score));
    EXPECT_EQ(countOf(readFile(score), "<part-name>Rin&amp;Len</part-name>"), 1u);

    // Sung by the default singer, the part is "Voice 1".
    track.controls.erase(track.controls.begin() + 1, track.controls.end());
    track.controls[0].time = 1500;
    ASSERT_TRUE(write(*createScoreExporter(), score));
    EXPECT_EQ(countOf(readFile(score), "<part-name>Voice 1</part-name>"), 1u);
}

TEST_F(ExportTest, ASongTooLongForAScoreIsRefusedAndWritesNothing) {
    ControlEvent metre;
    metre.value = MetreChange{1, 32};
    track.controls.push_back(metre);
    track.notes.push_back(makeNote(2000000000, 480, 60, "a"));

    const std::string score = folder.file("s.musicxml");
    EXPECT_FALSE(write(*createScoreExporter(), score));
    EXPECT_EQ(errorsReported, 1);
    EXPECT_TRUE(folder.entries().empty());

    // The MIDI file of the same song stays small.
    ASSERT_TRUE(write(*createMidiExporter(), folder.file("s.mid")));
    EXPECT_LT(readFile(folder.file("s.mid")).size(), 200u);
}

TEST_F(ExportTest, AFullDeviceFailsBothExports) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    track.notes.push_back(makeNote(0, 480, 60, "a"));
    EXPECT_FALSE(write(*createScoreExporter(), "/dev/full"));
    EXPECT_EQ(errorsReported, 1);
    EXPECT_FALSE(write(*createMidiExporter(), "/dev/full"));
    EXPECT_EQ(errorsReported, 1);
}

}  // namespace

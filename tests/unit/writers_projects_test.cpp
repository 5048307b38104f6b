// The project and sequence exports on songs the compiler cannot make today but
// the model allows (overlapping notes, notes starting together, notes of no
// length, control characters in a singer name), tempo changes inside notes,
// the names of the sequences, and a failed write that leaves nothing behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "ExportTestSupport.h"
#include "VsqTestSupport.h"
#include "writers/ust/UstExporter.h"
#include "writers/ustx/UstxExporter.h"

namespace {

using vsqtest::makeNote;
using vsqtest::makeControl;
using vsqtest::countOf;

using ProjectExportTest = ExportTest;

TEST_F(ProjectExportTest, ASequenceSingsOneNoteAtATime) {
    track.notes.push_back(makeNote(0, 960, 60, "z"));    // runs into the next: cut at 480
    track.notes.push_back(makeNote(480, 0, 62, "b"));    // no length: left out
    track.notes.push_back(makeNote(480, 240, 64, "c"));
    track.notes.push_back(makeNote(960, 240, 65, "d"));  // starts with the next: cut to nothing
    track.notes.push_back(makeNote(960, 480, 67, "e"));
    const std::string base = folder.file("s.ust");
    ASSERT_TRUE(write(*createUstExporter(), base));
    EXPECT_FALSE(std::filesystem::exists(base));
    const std::string ust = readFile(folder.file("s-1.ust"));
    EXPECT_NE(ust.find("[#0000]\r\nLength=480\r\nLyric=z\r\nNoteNum=60\r\n"), std::string::npos);
    EXPECT_NE(ust.find("[#0001]\r\nLength=240\r\nLyric=c\r\nNoteNum=64\r\n"), std::string::npos);
    EXPECT_NE(ust.find("[#0002]\r\nLength=240\r\nLyric=R\r\nNoteNum=60\r\n"), std::string::npos);
    EXPECT_NE(ust.find("[#0003]\r\nLength=480\r\nLyric=e\r\nNoteNum=67\r\n"), std::string::npos);
    EXPECT_EQ(countOf(ust, "Lyric="), 4u);

    // The project keeps every note with a length, overlapping or not.
    const std::string project = folder.file("s.ustx");
    ASSERT_TRUE(write(*createUstxExporter(), project));
    const std::string ustx = readFile(project);
    EXPECT_EQ(countOf(ustx, "  - position: "), 4u);
    EXPECT_EQ(countOf(ustx, "lyric: \"b\""), 0u);
}

TEST_F(ProjectExportTest, ANoteWithTempoChangesInsideLastsItsTimeAndTheTempoComesBack) {
    track.notes.push_back(makeNote(0, 960, 60, "z"));
    track.notes.push_back(makeNote(1440, 480, 62, "b"));
    track.controls.push_back(makeControl(100, TempoChange{90}));
    track.controls.push_back(makeControl(200, TempoChange{80}));
    track.controls.push_back(makeControl(1200, TempoChange{150}));  // inside the rest
    track.controls.push_back(makeControl(5000, TempoChange{60}));   // after the last note
    ASSERT_TRUE(write(*createUstExporter(), folder.file("t.ust")));
    const std::string ust = readFile(folder.file("t-1.ust"));
    EXPECT_NE(ust.find("Tempo=120.00\r\nTracks=1"), std::string::npos);
    // 100 ticks at 120, 100 at 90 and 760 at 80 last 1430.56 ms: 960 ticks at 83.88.
    EXPECT_NE(ust.find("Lyric=z\r\nNoteNum=60\r\nPreUtterance=\r\nTempo=83.88\r\n"),
              std::string::npos);
    EXPECT_NE(ust.find("Length=240\r\nLyric=R\r\nNoteNum=60\r\nPreUtterance=\r\nTempo=80.00"),
              std::string::npos);
    EXPECT_NE(ust.find("Length=240\r\nLyric=R\r\nNoteNum=60\r\nPreUtterance=\r\nTempo=150.00"),
              std::string::npos);
    EXPECT_EQ(countOf(ust, "Tempo="), 4u);
}

TEST_F(ProjectExportTest, ASingerNameKeepsItsTextInTheProjectAndStaysOnOneLineInTheSequence) {
    const int name = strings->add(u"a\rb: #\"c\"[#X]\x7F");
    track.controls.push_back(makeControl(0, SingerChange{0, 0, name}));
    track.notes.push_back(makeNote(0, 480, 60, "a"));
    ASSERT_TRUE(write(*createUstxExporter(), folder.file("n.ustx")));
    EXPECT_NE(readFile(folder.file("n.ustx")).find("track_name: \"a\\u000Db: #\\\"c\\\"[#X]\\u007F\"\n"),
              std::string::npos);
    // No line a reader takes for a section header either.
    ASSERT_TRUE(write(*createUstExporter(), folder.file("n.ust")));
    EXPECT_NE(readFile(folder.file("n-1.ust")).find("ProjectName=a b: #\"c\"[ X] \r\n"),
              std::string::npos);
}

TEST_F(ProjectExportTest, SequencesThatCannotBeWrittenLeaveNoneBehind) {
    song->appendTrack().notes.push_back(makeNote(0, 480, 60, "a"));
    track.notes.push_back(makeNote(0, 480, 60, "a"));
    const std::string missing = folder.file("missing/s.ust");
    EXPECT_FALSE(write(*createUstExporter(), missing));
    EXPECT_EQ(errorsReported, 1);
    EXPECT_FALSE(write(*createUstxExporter(), folder.file("missing/s.ustx")));
    EXPECT_EQ(errorsReported, 1);
    EXPECT_TRUE(std::filesystem::is_empty(folder.file("")));
}

TEST_F(ProjectExportTest, ANoteOfOneTickHasTwoPitchPoints) {
    track.notes.push_back(makeNote(0, 1, 60, "a"));
    track.controls.push_back(makeControl(0, CurveChange{8, {{4096, 0, -1, 0}}}));  // 100 cents under the sensitivity 2
    ASSERT_TRUE(write(*createUstExporter(), folder.file("p.ust")));
    // One tick at 120 beats a minute is 1.04 ms, 1 in tenths; the first point
    // only leads in, a tenth before the note.
    EXPECT_NE(readFile(folder.file("p-1.ust"))
                  .find("PBS=-0.1;10\r\nPBW=0.1,1\r\nPBY=10,10\r\nPBM=s,s\r\n"),
              std::string::npos);
}

// A note under a zigzag of full bends at the widest sensitivity: each ramp
// takes the pitch through some 4000 points, so the note has more than can be
// chosen among held when it has 20 ramps, and fewer with 6. Either way the 50
// points written take in the peaks, and their widths add up to the note.
TEST_F(ProjectExportTest, ANoteOfManyPointsKeepsFiftyWithItsPeaksHeldOrNot) {
    constexpr int32_t kRamp = 10000;
    for (const int ramps : {6, 20}) {
        track.notes.clear();
        track.controls.clear();
        track.notes.push_back(makeNote(0, ramps * kRamp, 60, "a"));
        std::vector<CurvePoint> zigzag;
        for (int r = 0; r < ramps; ++r) zigzag.push_back({r % 2 == 0 ? 8191 : -8192, 0, kRamp, 1});
        track.controls.push_back(makeControl(0, CurveChange{9, {{24, 0, -1, 0}}}));
        track.controls.push_back(makeControl(0, CurveChange{8, zigzag}));
        const std::string base = folder.file("z" + std::to_string(ramps) + ".ust");
        ASSERT_TRUE(write(*createUstExporter(), base));
        const std::string ust = readFile(folder.file("z" + std::to_string(ramps) + "-1.ust"));
        const auto list = [&ust](const std::string& key) {
            const size_t from = ust.find(key + "=") + key.size() + 1;
            std::vector<std::string> items;
            std::string item;
            for (size_t i = from; ust[i] != '\r'; ++i) {
                if (ust[i] == ',') {
                    items.push_back(item);
                    item.clear();
                } else {
                    item.push_back(ust[i]);
                }
            }
            items.push_back(item);
            return items;
        };
        const std::vector<std::string> ys = list("PBY");
        const std::vector<std::string> widths = list("PBW");
        ASSERT_EQ(ys.size(), 50u) << ramps;
        ASSERT_EQ(widths.size(), 50u) << ramps;
        EXPECT_GE(std::count(ys.begin(), ys.end(), "204.7"), (ramps + 1) / 2) << ramps;
        EXPECT_GE(std::count(ys.begin(), ys.end(), "-204.7"), ramps / 2 - 1) << ramps;
        double sum = 0;
        for (const std::string& width : widths) sum += std::stod(width);
        // The note at 120 beats a minute, from the lead-in a tenth of a millisecond before it.
        EXPECT_NEAR(sum, ramps * kRamp * 500.0 / 480 + 0.1, 0.05) << ramps;
    }
}

TEST(UstTrackPathTest, TheNumberGoesBeforeTheExtension) {
    EXPECT_EQ(ustTrackPath("song.ust", 1), "song-1.ust");
    EXPECT_EQ(ustTrackPath("dir.v2/song", 12), "dir.v2/song-12");
    EXPECT_EQ(ustTrackPath("a.b.ust", 2), "a.b-2.ust");
    EXPECT_EQ(ustTrackPath("dir\\.ust", 3), "dir\\.ust-3");
    EXPECT_EQ(ustTrackPath("", 1), "-1");
}

}  // namespace

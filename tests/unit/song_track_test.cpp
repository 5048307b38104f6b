// The second lyrics a track keeps beside its notes: looked up by note index,
// written in place, and carried to copies of the notes.
#include <gtest/gtest.h>

#include <string>

#include "song/Song.h"

namespace {

TEST(TrackTest, SecondLyricsAreFoundByTheirNoteOnly) {
    Track track;
    EXPECT_TRUE(track.secondLyric(0).text.empty());
    track.editSecondLyric(5) = {"e", "e"};
    track.editSecondLyric(2) = {"b", "b"};
    track.editSecondLyric(9) = {std::string(20, 'x'), "x"};
    track.editSecondLyric(5).symbols.assign("e e");  // the same lyric again, not a new one
    EXPECT_EQ(track.secondLyric(2).text, "b");
    EXPECT_EQ(track.secondLyric(5).symbols, "e e");
    EXPECT_EQ(track.secondLyric(9).text, std::string(20, 'x'));
    for (size_t note : {0, 1, 3, 4, 6, 8, 10}) {
        EXPECT_TRUE(track.secondLyric(note).text.empty()) << note;
        EXPECT_TRUE(track.secondLyric(note).symbols.empty()) << note;
    }
}

TEST(TrackTest, CopiedNotesTakeTheSecondLyricsAndSmallTsusOfTheirOriginals) {
    Track track;
    track.editSecondLyric(0) = {"a", "a"};
    track.setSmallTsuAfter(3, 0x82C1);
    track.setSmallTsuAfter(2, 0x8362);
    track.editSecondLyric(2) = {"c", "c"};
    track.editSecondLyric(3) = {std::string(12, 'd'), "d"};
    // Notes 1..3 copied twice, behind the four notes, then behind those copies.
    track.copyLyricMarks(1, 4, 4);
    track.copyLyricMarks(1, 4, 7);
    // An empty range copies nothing.
    track.copyLyricMarks(2, 2, 10);
    for (size_t copy : {4, 7}) {
        EXPECT_TRUE(track.secondLyric(copy).text.empty()) << copy;
        EXPECT_EQ(track.secondLyric(copy + 1).text, "c") << copy;
        EXPECT_EQ(track.secondLyric(copy + 2).text, std::string(12, 'd')) << copy;
        EXPECT_EQ(track.smallTsuAfter(copy), 0) << copy;
        EXPECT_EQ(track.smallTsuAfter(copy + 1), 0x8362) << copy;
        EXPECT_EQ(track.smallTsuAfter(copy + 2), 0x82C1) << copy;
    }
    EXPECT_EQ(track.smallTsuAfter(10), 0);
    EXPECT_EQ(track.secondLyric(0).text, "a");
    EXPECT_TRUE(track.secondLyric(10).text.empty());
    // Copies made of copies, with far more lyrics than the first capacity held.
    for (size_t start = 10; start < 10 + 3 * 200; start += 3) track.copyLyricMarks(1, 4, start);
    EXPECT_EQ(track.secondLyric(10 + 3 * 199 + 2).text, std::string(12, 'd'));
    EXPECT_EQ(track.editSecondLyric(10 + 3 * 199 + 1).text, "c");
}

}  // namespace

namespace {

// Sorting a track's controls by time carries each location with its control;
// controls at one time keep their order.
TEST(TrackTest, SortedControlsKeepTheirLocations) {
    Track track;
    for (const int32_t time : {960, 0, 960, 480}) {
        track.controls.emplace_back().time = time;
        track.controlLocations.push_back(SourceLocation{1, time + 1, 0, 1});
    }
    track.controls[2].value = TempoChange{90};
    track.sortControlsByTime();
    std::vector<int32_t> times;
    for (size_t i = 0; i < track.controls.size(); ++i) {
        times.push_back(track.controls[i].time);
        EXPECT_EQ(track.controlLocation(i).line, track.controls[i].time + 1) << i;
    }
    EXPECT_EQ(times, (std::vector<int32_t>{0, 480, 960, 960}));
    ASSERT_NE(track.controls[3].as<TempoChange>(), nullptr);
    EXPECT_EQ(track.controls[3].as<TempoChange>()->bpm, 90);
    EXPECT_FALSE(track.controlLocation(4).known());
}

TEST(TrackTest, EnvelopesShareTheLocationOfTheCommandThatLaidThem) {
    Track track;
    track.envelopePlaces = {SourceLocation{1, 3, 0, 8}, SourceLocation{1, 9, 0, 8}};
    track.envelopePlaceIndices = {0, 0, 1};
    track.envelopes.resize(4);
    EXPECT_EQ(track.envelopeLocation(1).line, 3);
    EXPECT_EQ(track.envelopeLocation(2).line, 9);
    EXPECT_FALSE(track.envelopeLocation(3).known());
    EXPECT_FALSE(track.noteLocation(0).known());
}

}  // namespace

// The score's layout: note values, measures and beats, the quantisation grid
// with its triplet stretches, the pieces of a measure, the spelling rule, and
// the notes as written, made and let go as the writing goes.
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "VsqTestSupport.h"
#include "render/VoiceTrack.h"
#include "song/Song.h"
#include "text/StringPool.h"
#include "writers/musicxml/ScoreLayout.h"
#include "writers/musicxml/ScoreMeasure.h"
#include "writers/musicxml/ScoreSpelling.h"
#include "writers/musicxml/ScoreValues.h"
#include "writers/musicxml/WrittenNotes.h"

namespace {

std::string nameOf(const NoteValue& value) {
    return std::string(value.type) + std::string(static_cast<size_t>(value.dots), '.');
}

// "quarter.", "64th", joined by blanks.
std::string valuesOf(int64_t ticks, int64_t quantum = 30) {
    std::vector<NoteValue> values;
    splitNoteValues(ticks, quantum, values);
    std::string text;
    int64_t sum = 0;
    for (const NoteValue& value : values) {
        if (!text.empty()) text += ' ';
        text += nameOf(value);
        sum += value.ticks;
    }
    EXPECT_EQ(sum, ticks);
    return text;
}

std::string alignedOf(int64_t from, int64_t to) {
    std::vector<NoteValue> values;
    splitAlignedValues(from, to, 30, values);
    std::string text;
    for (const NoteValue& value : values) text += (text.empty() ? "" : " ") + nameOf(value);
    return text;
}

TEST(NoteValues, DurationsAreWrittenWithTypesAndDotsOnTheirGrid) {
    EXPECT_EQ(valuesOf(480), "quarter");
    EXPECT_EQ(valuesOf(720), "quarter.");
    EXPECT_EQ(valuesOf(840), "quarter..");
    EXPECT_EQ(valuesOf(1920 * 4), "long");
    // Three dots are not used: the rest is tied on.
    EXPECT_EQ(valuesOf(900), "quarter.. 32nd");
    // On the grid of 60 a double-dotted 32nd (105) is no choice.
    EXPECT_EQ(valuesOf(180, 60), "16th.");
    EXPECT_EQ(valuesOf(300, 60), "eighth 32nd");
    EXPECT_EQ(valuesOf(0), "");
}

TEST(NoteValues, AlignedValuesShowTheBeat) {
    // A rest from the second 16th to the end of a quarter beat.
    EXPECT_EQ(alignedOf(120, 480), "16th eighth");
    EXPECT_EQ(alignedOf(30, 480), "64th 32nd 16th eighth");
    EXPECT_EQ(alignedOf(0, 360), "eighth 16th");
    // The second half of a dotted quarter beat of 6/8.
    EXPECT_EQ(alignedOf(240, 720), "eighth eighth");
    EXPECT_EQ(singleValue(1440).dots, 1);
    EXPECT_EQ(singleValue(1200).type, nullptr);
    EXPECT_TRUE(isFlagged(singleValue(360)));
    EXPECT_FALSE(isFlagged(singleValue(480)));
}

TEST(Measures, BeatsFollowTheMetre) {
    EXPECT_EQ(beatOf({0, 4, 4}), 480);
    EXPECT_EQ(beatOf({0, 6, 8}), 720);
    EXPECT_EQ(beatOf({0, 3, 8}), 720);
    EXPECT_EQ(beatOf({0, 2, 2}), 960);
    EXPECT_EQ(beatOf({0, 5, 8}), 240);
    EXPECT_EQ(beatOf({0, 12, 16}), 360);
}

class GridTest : public ::testing::Test {
protected:
    MetreMark metre{0, 4, 4};
    Measure measure{1920, 3840, &metre, false};
};

TEST_F(GridTest, TripletsAreChosenWhereTheyFitAndPlainValuesElsewhere) {
    // Triplet eighths on the first beat, triplet quarters over the second half.
    const std::vector<int64_t> times = {2080, 2240, 2400, 2880, 3200, 3520};
    const MeasureGrid grid(measure, times);
    ASSERT_EQ(grid.triplets().size(), 2u);
    EXPECT_EQ(grid.triplets()[0].start, 1920);
    EXPECT_EQ(grid.triplets()[0].end, 2400);
    EXPECT_EQ(grid.triplets()[1].start, 2880);
    EXPECT_EQ(grid.triplets()[1].end, 3840);
    for (const int64_t tick : times) EXPECT_EQ(grid.snap(tick), tick);
    EXPECT_EQ(grid.tripletAt(2500), nullptr);
}

TEST_F(GridTest, OddTimesMoveToTheNearest64th) {
    // 10 ticks off the grid: the earlier point at a tie, the bar line kept.
    const std::vector<int64_t> times = {1935, 2170, 3835};
    const MeasureGrid grid(measure, times);
    EXPECT_TRUE(grid.triplets().empty());
    EXPECT_EQ(grid.snap(1935), 1920);
    EXPECT_EQ(grid.snap(2170), 2160);
    EXPECT_EQ(grid.snap(3835), 3840);
    EXPECT_EQ(grid.snap(5000), 3840);
}

std::string piecesOf(const Measure& measure, const std::vector<int64_t>& times,
                     const std::vector<PlacedNote>& notes, const std::vector<int64_t>& cuts = {}) {
    const MeasureGrid grid(measure, times);
    std::vector<Piece> pieces;
    layMeasurePieces(measure, grid, notes, cuts, pieces);
    std::string text;
    int64_t at = measure.start;
    for (const Piece& piece : pieces) {
        EXPECT_EQ(piece.start, at);
        at += piece.duration;
        if (!text.empty()) text += ' ';
        text += piece.note == kRestPiece ? "r" : piece.duration == 0 ? "g" : "n";
        text += nameOf(piece.value);
        if (piece.triplet) text += "/3";
        if (piece.tupletStart) text += "{";
        if (piece.tupletStop) text += "}";
        if (piece.note != kRestPiece && !piece.last && piece.duration > 0) text += "~";
        if (piece.beam != Beam::None) {
            text += std::string("[b][c][e]").substr(3 * (static_cast<size_t>(piece.beam) - 1), 3);
        }
    }
    EXPECT_EQ(at, measure.end);
    return text;
}

TEST_F(GridTest, RestsFollowTheBeatAndBeamsJoinTheBeatsNotes) {
    // c8 c16 r16 r4 r2: the rests split by the beat, the eighth and 16th beamed.
    EXPECT_EQ(piecesOf(measure, {2160, 2280}, {{1920, 2160, 0}, {2160, 2280, 1}}),
              "neighth[b] n16th[e] r16th rquarter rhalf");
    // A rest over the middle two beats is two quarters, not a half across the middle.
    EXPECT_EQ(piecesOf(measure, {2400, 3360}, {{1920, 2400, 0}, {3360, 3840, 1}}),
              "nquarter rquarter rquarter nquarter");
}

TEST_F(GridTest, TripletsAreBracketedAndNotesCrossingABarAreTied) {
    EXPECT_EQ(piecesOf(measure, {2080, 2240, 2400},
                       {{1920, 2080, 0}, {2080, 2240, 1}, {2240, 4000, 2}}),
              "neighth/3{[b] neighth/3[c] neighth/3}~[e] nhalf.~");
}

TEST_F(GridTest, ANoteWithNoLengthLeftIsAGraceNoteAndMarksCutNotes) {
    // A 10-tick note snaps to nothing but is shown; a tempo mark at the third
    // beat cuts the long note there.
    EXPECT_EQ(piecesOf(measure, {1930, 1930, 3840}, {{1920, 1920, 0}, {1920, 3840, 1}}, {2880}),
              "geighth nhalf~ nhalf");
}

TEST(Spelling, NotesKeepTheirWrittenNameAndTranspositionsTheLetter) {
    const auto name = [](int32_t pitch, uint8_t letter, int accidental) {
        const Spelling s = spellPitch(pitch, letter, accidental);
        return std::string(1, s.step) + (s.alter > 0 ? "#" : s.alter < 0 ? "b" : "") +
               std::to_string(s.octave);
    };
    // As written: sharps and flats apart, and B sharp and C flat in their octave.
    EXPECT_EQ(name(61, LetterC, 1), "C#4");
    EXPECT_EQ(name(61, LetterD, -1), "Db4");
    EXPECT_EQ(name(60, LetterB, 1), "B#3");
    EXPECT_EQ(name(59, LetterC, -1), "Cb4");
    // Transposed a semitone up and down: the letter stays with an accidental.
    EXPECT_EQ(name(61, LetterC, 0), "C#4");
    EXPECT_EQ(name(61, LetterD, 0), "Db4");
    // E sharp and F flat are avoided.
    EXPECT_EQ(name(65, LetterE, 0), "F4");
    EXPECT_EQ(name(64, LetterF, 0), "E4");
    // Too far for the letter: a white key natural, a black key with the
    // written accidental, or by the direction of the transposition.
    EXPECT_EQ(name(62, LetterC, 0), "D4");
    EXPECT_EQ(name(68, LetterF, 1), "G#4");
    EXPECT_EQ(name(61, LetterE, -1), "Db4");
    EXPECT_EQ(name(66, LetterE, 0), "F#4");
    EXPECT_EQ(name(63, LetterF, 0), "Eb4");
    // A note of no written name: naturals and sharps.
    EXPECT_EQ(name(70, kNoLetter, 0), "A#4");
}

TEST(WrittenNotesTest, HeldVowelsAreSlurredAndNotesReadTheSameAfterOthersAreLetGo) {
    const char* mark = "\x81\x5B";  // the long-vowel mark in code page 932
    const std::unique_ptr<Song> song = createSong();
    const std::unique_ptr<StringPool> strings = createStringPool();
    Track& track = song->appendTrack();
    for (const auto& [time, lyric] : std::vector<std::pair<int32_t, const char*>>{
             {0, "a"}, {480, mark}, {960, mark}, {1440, "b"}, {2400, mark}, {2880, "c"}}) {
        NoteEvent& note = track.notes.emplace_back(vsqtest::makeNote(time, 480, 60, lyric));
        note.step = 480;
    }
    const VoiceTrack voice(track, 1, *strings);

    WrittenNotes notes(voice);
    ASSERT_EQ(notes.size(), 6u);
    EXPECT_TRUE(notes[0].slurStart);
    EXPECT_FALSE(notes[0].held);
    EXPECT_TRUE(notes[1].held);
    EXPECT_FALSE(notes[1].slurStart || notes[1].slurStop);
    EXPECT_TRUE(notes[2].held && notes[2].slurStop);
    EXPECT_FALSE(notes[3].slurStart || notes[3].slurStop);
    EXPECT_FALSE(notes[4].held);  // after a rest: a syllable of its own

    notes[2].placedEnd = 1000;
    notes.letGoBefore(2);
    EXPECT_EQ(notes[2].placedEnd, 1000);  // kept with what was placed
    notes.letGoBefore(5);                 // past every note made so far
    EXPECT_EQ(notes[5].start, 2880);
    EXPECT_EQ(notes[5].end, 3360);
    EXPECT_THROW(notes[4], std::out_of_range);
}

}  // namespace

// Loops and track selection driven by command codes: expansion with counts,
// exits and nesting, the loop errors, the lyric cursor at loop boundaries,
// synchronisation of selected tracks, and the guards that keep a loop end
// from overflowing the tick range or exhausting memory.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "CompileTestSupport.h"
#include "compile/CompilerImpl.h"
#include "diag/Messages.h"
#include "diag/Reporter.h"
#include "song/CommandCode.h"
#include "song/Song.h"

namespace {

constexpr int kLoopStart = 0x2F3A;
constexpr int kLoopExit = '/';
constexpr int kLoopEnd = 0x3A2F;

using compiletest::num;
using compiletest::rel;

std::string errorLine(std::string_view message) {
    return compiletest::reportLine("ERROR", 3, message);
}

class CompilerLoopsTest : public testing::Test {
protected:
    void SetUp() override {
        compiler.setSong(song.get());
    }

    void run(int code, std::vector<CommandParam> params = {}) {
        compiletest::send(compiler, code, params, source);
    }
    void note(char letter, int32_t length = 480) { run(letter, {num(0), num(length)}); }
    void select(std::vector<CommandParam> params) { run('0', std::move(params)); }

    template <typename Commands>
    std::string diagnostics(Commands commands) {
        return compiletest::printedBy(commands);
    }

    const std::vector<NoteEvent>& notes(int track = 0) { return song->track(track).notes; }
    TrackState& state(int track = 0) { return *compiler.tracks[static_cast<size_t>(track)]; }
    std::vector<int32_t> noteTimes(int track = 0) {
        std::vector<int32_t> times;
        for (const NoteEvent& n : notes(track)) times.push_back(n.time);
        return times;
    }
    std::string noteLetters(int track = 0) {
        std::string letters;
        for (const NoteEvent& n : notes(track)) letters += "C?D?EF?G?A?B"[(n.note - 72) % 12];
        return letters;
    }

    std::unique_ptr<Song> song = createSong();
    compiletest::TestSource source{3};
    CompilerImpl compiler{source.diagnostics()};
};

TEST_F(CompilerLoopsTest, DefaultCountPlaysTheBodyTwice) {
    note('C');
    run(kLoopStart);
    note('D');
    note('E', 240);
    run(kLoopEnd);
    note('F');
    EXPECT_EQ(noteLetters(), "CDEDEF");
    EXPECT_EQ(noteTimes(), (std::vector<int32_t>{0, 480, 960, 1200, 1680, 1920}));
    EXPECT_EQ(notes()[4].length, 240);
}

// A copy a loop makes keeps where its original is written: notes and controls.
TEST_F(CompilerLoopsTest, CopiesKeepTheLocationsOfWhatTheyCopy) {
    note('C');
    run(kLoopStart, {num(3)});
    source.setLine(4);
    note('D');
    run('T', {num(150)});
    run(kLoopExit);
    source.setLine(5);
    note('E');
    run(kLoopEnd);
    EXPECT_EQ(noteLetters(), "CDEDED");
    std::vector<int32_t> lines;
    for (size_t i = 0; i < notes().size(); ++i) lines.push_back(song->track(0).noteLocation(i).line);
    EXPECT_EQ(lines, (std::vector<int32_t>{3, 4, 5, 4, 5, 4}));
    const Track& track = song->track(0);
    ASSERT_EQ(track.controls.size(), 3u);
    for (size_t i = 0; i < track.controls.size(); ++i) EXPECT_EQ(track.controlLocation(i).line, 4);
    EXPECT_EQ(track.noteLocation(0).file, 1);
}

TEST_F(CompilerLoopsTest, CountOutsideTwoToThousandOpensNoLoop) {
    std::string out = diagnostics([&] {
        run(kLoopStart, {num(1)});
        run(kLoopStart, {num(1001)});
        run(kLoopStart, {num(2), num(3)});
        run(kLoopStart, {{ParamString, 1}});
        run(kLoopEnd);
    });
    EXPECT_EQ(out, errorLine(msg::kOutOfRange) + errorLine(msg::kOutOfRange) +
                       errorLine(msg::kTooManyParams) + errorLine(msg::kNumberRequired) +
                       errorLine(msg::kLoopMarkOutsideLoop));
    run(kLoopStart, {num(1000)});
    note('C', 1);
    run(kLoopEnd);
    EXPECT_EQ(notes().size(), 1000u);
    EXPECT_EQ(notes().back().time, 999);
}

TEST_F(CompilerLoopsTest, ExitEndsTheLastPass) {
    run(kLoopStart, {num(3)});
    note('C');
    run(kLoopExit);
    note('D');
    run(kLoopEnd);
    note('E');
    EXPECT_EQ(noteLetters(), "CDCDCE");
    EXPECT_EQ(noteTimes(), (std::vector<int32_t>{0, 480, 960, 1440, 1920, 2400}));
}

TEST_F(CompilerLoopsTest, ExitAtTheStartMakesTheLastPassEmpty) {
    run(kLoopStart, {num(3)});
    run(kLoopExit);
    note('C');
    run(kLoopEnd);
    note('D');
    EXPECT_EQ(noteLetters(), "CCD");
    EXPECT_EQ(noteTimes(), (std::vector<int32_t>{0, 480, 960}));
}

TEST_F(CompilerLoopsTest, MisplacedMarksAreReported) {
    std::string out = diagnostics([&] {
        run(kLoopEnd);
        run(kLoopExit);
        run(kLoopStart);
        note('C');
        run(kLoopExit);
        note('D');
        run(kLoopExit);
        run(kLoopEnd);
    });
    EXPECT_EQ(out, errorLine(msg::kLoopMarkOutsideLoop) + errorLine(msg::kLoopMarkOutsideLoop) +
                       errorLine(msg::kLoopExitTwice));
    EXPECT_EQ(noteLetters(), "CDC");  // the first exit mark stays in force
}

TEST_F(CompilerLoopsTest, NestedLoopsExpandInsideOut) {
    run(kLoopStart);
    note('C');
    run(kLoopStart, {num(3)});
    note('D', 240);
    run(kLoopEnd);
    run(kLoopEnd);
    EXPECT_EQ(noteLetters(), "CDDDCDDD");
    EXPECT_EQ(noteTimes(),
              (std::vector<int32_t>{0, 480, 720, 960, 1200, 1680, 1920, 2160}));
}

TEST_F(CompilerLoopsTest, NestingDepthIsLimitedToEight) {
    std::string out = diagnostics([&] {
        for (int i = 0; i < 9; ++i) run(kLoopStart);
    });
    EXPECT_EQ(out, errorLine(msg::kLoopTooDeep));
    note('C', 1);
    EXPECT_EQ(diagnostics([&] {
                  for (int i = 0; i < 8; ++i) run(kLoopEnd);
                  run(-1);
              }),
              "");
    EXPECT_EQ(notes().size(), 256u);
}

TEST_F(CompilerLoopsTest, CopiesAreWholeEventsOfEverySequence) {
    run(kLoopStart);
    run('T', {num(150)});
    run('Q', {num(4)});
    note('C');
    run('&');
    note('D');
    run(kLoopEnd);
    const Track& track = song->track(0);
    ASSERT_EQ(track.controls.size(), 2u);
    EXPECT_EQ(track.controls[1].time, 960);
    EXPECT_EQ(compiletest::controlValues(track.controls[1]), std::vector<int32_t>{150});
    ASSERT_EQ(notes().size(), 4u);
    EXPECT_EQ(notes()[2].length, 480);
    EXPECT_TRUE(notes()[3].joined);
    EXPECT_EQ(notes()[3].portamentoUse, 1);
    EXPECT_EQ(notes()[3].vibrato.length, 80);
    EXPECT_EQ(notes()[3].lyric.text, kDefaultLyricText);
}

TEST_F(CompilerLoopsTest, CopiesOfASplitNoteKeepItsSecondLyric) {
    run(kLoopStart, {num(3)});
    note('C');
    compiler.lyrics(u"[k a]&[s a]", source.place());
    note('D');
    run(kLoopEnd);
    const Track& track = song->track(0);
    ASSERT_EQ(notes().size(), 6u);
    for (size_t pass = 0; pass < 3; ++pass) {
        EXPECT_EQ(notes()[2 * pass].splitOffset, 60) << pass;
        EXPECT_EQ(track.secondLyric(2 * pass).symbols, "s a") << pass;
        EXPECT_TRUE(track.secondLyric(2 * pass + 1).symbols.empty()) << pass;
    }
    // A note split after the loop keeps its own.
    note('E');
    compiler.lyrics(u"[t a]&[n a]", source.place());
    EXPECT_EQ(notes()[6].splitOffset, 60);
    EXPECT_EQ(track.secondLyric(6).symbols, "n a");
    EXPECT_EQ(track.secondLyric(4).symbols, "s a");
    EXPECT_TRUE(track.secondLyric(5).symbols.empty());
}

TEST_F(CompilerLoopsTest, LoopBoundariesMoveTheLyricCursor) {
    note('C');
    run(kLoopStart, {num(3)});
    EXPECT_EQ(state().lyricCursor, 1);
    note('D');
    run(kLoopExit);
    EXPECT_EQ(state().lyricCursor, 2);
    note('E');
    run(kLoopEnd);
    EXPECT_EQ(state().lyricCursor, 6);
}

TEST_F(CompilerLoopsTest, UnclosedLoopsAreReportedForSelectedTracksOnly) {
    select({num(3)});
    run(kLoopStart);
    select({num(1), num(2)});
    run(kLoopStart);
    EXPECT_EQ(diagnostics([&] { run(-1); }),
              errorLine(msg::kLoopNotClosed) + errorLine(msg::kLoopNotClosed));
}

// Metre changes are kept at bar lines: where the source puts one inside a bar,
// or a loop copies one there, it moves to the next bar line with a warning.
class MetrePlacementTest : public CompilerLoopsTest {
protected:
    void metre(int32_t numerator, int32_t denominator) {
        run(CmdTimeSignature, {num(numerator), num(denominator)});
    }
    // (time, numerator) of each metre change of the track, in the order kept.
    std::vector<std::pair<int32_t, int32_t>> metres(int track = 0) {
        std::vector<std::pair<int32_t, int32_t>> found;
        for (const ControlEvent& control : song->track(track).controls)
            if (const MetreChange* metre = control.as<MetreChange>()) found.emplace_back(control.time, metre->numerator);
        return found;
    }
    std::string warningLine() {
        return compiletest::reportLine("WARN", 3, msg::kMetreChangeInsideBar, "@M");
    }
};

TEST_F(MetrePlacementTest, AChangeInsideABarTakesEffectAtTheNextBarLine) {
    note('C', 1920);
    EXPECT_EQ(diagnostics([&] { metre(3, 4); }), "");  // at a bar line: kept as it is
    note('C', 480);
    EXPECT_EQ(diagnostics([&] { metre(2, 4); }), warningLine());
    run('T', {num(90)});  // a control after the moved change, yet earlier
    note('D', 480);
    EXPECT_EQ(diagnostics([&] { run(-1); }), "");
    EXPECT_EQ(metres(), (std::vector<std::pair<int32_t, int32_t>>{{1920, 3}, {3360, 2}}));
    // The controls stay in time order for the writers.
    const std::vector<ControlEvent>& controls = song->track(0).controls;
    EXPECT_TRUE(std::is_sorted(controls.begin(), controls.end(),
                               [](const auto& a, const auto& b) { return a.time < b.time; }));
}

TEST_F(MetrePlacementTest, LoopCopiesInsideABarMoveToo) {
    // A pass of a half note in 3/4 time: the copy starts inside a bar.
    run(kLoopStart);
    metre(3, 4);
    note('C', 960);
    EXPECT_EQ(diagnostics([&] { run(kLoopEnd); }), warningLine());
    EXPECT_EQ(metres(), (std::vector<std::pair<int32_t, int32_t>>{{0, 3}, {1440, 3}}));
}

TEST_F(MetrePlacementTest, AnEarlierChangeOfALaterTrackMovesTheChangesAfterIt) {
    note('C', 2880);
    EXPECT_EQ(diagnostics([&] { metre(3, 4); }), warningLine());  // 4/4 so far: to 3840
    select({num(2)});
    metre(3, 4);  // at 0 in track 2: bars of 1440 from the start
    const std::string printed = diagnostics([&] { run(-1); });
    EXPECT_EQ(printed, std::string("WARN: ") + msg::kMetreChangeInsideBar + ": @M\n");
    EXPECT_EQ(metres(0), (std::vector<std::pair<int32_t, int32_t>>{{4320, 3}}));
    EXPECT_EQ(metres(1), (std::vector<std::pair<int32_t, int32_t>>{{0, 3}}));
}

TEST_F(CompilerLoopsTest, TooLongALoopIsClosedUnexpanded) {
    run(kLoopStart, {num(1000)});
    note('C', 1 << 22);  // 1000 passes would need 2^32 ticks
    EXPECT_EQ(diagnostics([&] { run(kLoopEnd); }), errorLine(msg::kTrackTimeTooLong));
    EXPECT_EQ(notes().size(), 1u);
    EXPECT_EQ(state().time, 1 << 22);
    EXPECT_TRUE(state().loops.empty());
    EXPECT_EQ(diagnostics([&] { run(kLoopEnd); }), errorLine(msg::kLoopMarkOutsideLoop));
}

TEST_F(CompilerLoopsTest, DeepNestsOfLongLoopsStayBoundedInMemory) {
    // Eight loops of 1000 passes would ask for 5 x 10^24 notes; each loop end
    // that would pass the event bound is refused before anything is copied.
    for (int i = 0; i < 8; ++i) run(kLoopStart, {num(1000)});
    for (char letter : std::string("CDEFG")) note(letter, 1);
    run(kLoopEnd);
    ASSERT_EQ(notes().size(), 5000u);
    // The bound is reported once per run, at the first loop end that passes it.
    EXPECT_EQ(diagnostics([&] {
                  for (int i = 0; i < 7; ++i) run(kLoopEnd);
              }),
              errorLine(msg::kTooManyEvents));
    EXPECT_EQ(notes().size(), 5000u);
    EXPECT_EQ(state().time, 5000);
    EXPECT_TRUE(state().loops.empty());
    EXPECT_EQ(state().lyricCursor, 5000);
}

TEST_F(CompilerLoopsTest, EventBoundCoversTheWholeSong) {
    // Thirty-two tracks at the bound each would be thirty-two times the memory:
    // the events of every track count together.
    compiler.eventLimit = 1500;
    select({num(1), num(2)});
    run(kLoopStart, {num(1000)});
    note('C', 1);
    EXPECT_EQ(diagnostics([&] { run(kLoopEnd); }), errorLine(msg::kTooManyEvents));
    EXPECT_EQ(notes(0).size(), 1000u);
    EXPECT_EQ(notes(1).size(), 1u);
    compiler.eventLimit = 1002;
    EXPECT_EQ(diagnostics([&] { note('D', 1); }), "");  // already reported
    EXPECT_EQ(notes(0).size(), 1001u);
    EXPECT_EQ(notes(1).size(), 1u);
}

TEST_F(CompilerLoopsTest, ValuesOfCopiedControlsCountAgainstTheBound) {
    // One curve command of 400 values copied 10 times holds 4000 values in a
    // handful of events: loops charge the values too.
    compiler.eventLimit = 3000;
    run(kLoopStart, {num(10)});
    std::vector<CommandParam> values(400, num(1));
    run(commandCode("@DYN"), values);
    note('C', 1);
    EXPECT_EQ(diagnostics([&] { run(kLoopEnd); }), errorLine(msg::kTooManyEvents));
    EXPECT_EQ(state().track->controls.size(), 1u);
    EXPECT_EQ(notes().size(), 1u);

    compiler.eventLimit = 5000;
    run(kLoopStart, {num(10)});
    run(commandCode("@DYN"), values);
    run(kLoopEnd);
    EXPECT_EQ(state().track->controls.size(), 11u);
}

TEST_F(CompilerLoopsTest, SynchronisationMovesSelectedTracksToTheTarget) {
    select({num(3)});
    note('C', 960);
    select({num(2)});
    note('C', 1440);
    select({num(1), num(2), rel(-3), rel(480)});
    EXPECT_EQ(state(0).time, 1440);
    EXPECT_EQ(state(1).time, 1440);
    note('D');
    EXPECT_EQ(notes(0)[0].time, 1440);
    EXPECT_EQ(notes(1)[1].time, 1440);
    EXPECT_EQ(notes(2).size(), 1u);  // the source track is not selected

    select({num(3), rel(-1), rel(-480)});  // 1920 - 480 is later than 960
    EXPECT_EQ(state(2).time, 1440);
}

TEST_F(CompilerLoopsTest, SynchronisationRefusesTracksAlreadyLater) {
    select({num(2)});
    note('C', 1920);
    select({num(3)});
    note('C', 480);
    std::string out = diagnostics([&] { select({num(1), num(2), num(4), rel(-3)}); });
    EXPECT_EQ(out, errorLine(msg::kTrackSyncError));
    EXPECT_EQ(state(0).time, 480);  // moved before the failure, stays moved
    EXPECT_EQ(state(1).time, 1920);
    EXPECT_EQ(compiler.tracks.size(), 3u);  // track 4 was never reached
    note('D');
    EXPECT_EQ(notes(2).size(), 2u);  // track 3 is still the selection
}

TEST_F(CompilerLoopsTest, BadSelectionsKeepTheOldOne) {
    select({num(2)});
    std::string out = diagnostics([&] {
        select({num(1), rel(-2), rel(10), num(3)});
        select({num(1), rel(-2), rel(10), rel(-3)});
        select({num(1), rel(-2), num(480)});
        select({num(1), rel(+3)});
        select({num(1), num(33)});
        select({num(0)});
        select({});
        select({{ParamString, 1}});
    });
    EXPECT_EQ(out, errorLine(msg::kParamAfterSyncTrack) + errorLine(msg::kParamAfterSyncTrack) +
                       errorLine(msg::kCorrectionMustBeRelative) +
                       errorLine(msg::kUnknownTrackNumber) + errorLine(msg::kOutOfRange) +
                       errorLine(msg::kOutOfRange) + errorLine(msg::kTooFewParams) +
                       errorLine(msg::kNumberRequired));
    note('C');
    EXPECT_EQ(song->trackCount(), 2);
    EXPECT_TRUE(notes(0).empty());
    EXPECT_EQ(notes(1).size(), 1u);
}

TEST_F(CompilerLoopsTest, SynchronisationWithABadTrackStillSelects) {
    std::string out = diagnostics([&] { select({num(2), rel(-33)}); });
    EXPECT_EQ(out, errorLine(msg::kOutOfRange));
    note('C');
    EXPECT_EQ(notes(1).size(), 1u);
    EXPECT_EQ(notes(1)[0].time, 0);
}

TEST_F(CompilerLoopsTest, SynchronisationFirstSelectsNothing) {
    select({num(2)});
    note('C');
    select({rel(-2)});
    note('D');
    run(-1);
    EXPECT_EQ(song->trackCount(), 2);
    EXPECT_EQ(notes(1).size(), 1u);
    EXPECT_TRUE(notes(0).empty());
}

TEST_F(CompilerLoopsTest, SynchronisationBeyondTheTickRangeIsRefused) {
    select({num(2)});
    note('C', INT32_MAX - 10);
    std::string out = diagnostics([&] {
        select({num(1), rel(-2), rel(11)});
        select({num(1), rel(INT32_MIN)});  // track 2^31: out of range, not a crash
    });
    EXPECT_EQ(out, errorLine(msg::kTrackTimeTooLong) + errorLine(msg::kOutOfRange));
    select({num(1), rel(-2), rel(10)});
    EXPECT_EQ(state(0).time, INT32_MAX);
}

}  // namespace

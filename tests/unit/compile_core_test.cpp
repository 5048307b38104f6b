// The compiler's core driven by command codes: notes and their numbers,
// accidentals, gate, joins, rests, lengths, octave, transposition, tempo,
// reference tempo, time signature, the dispatch to selected tracks, and the
// guards that keep hostile lengths inside the 32-bit tick range.
#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>
#include <vector>

#include "CompileTestSupport.h"
#include "compile/Compiler.h"
#include "diag/Messages.h"
#include "diag/Reporter.h"
#include "song/CommandCode.h"
#include "song/Song.h"

namespace {

using compiletest::num;

// Every report of the compiler is an error at the current line (7 in t.mml).
std::string errorLine(std::string_view message, std::string_view detail = {}) {
    return compiletest::reportLine("ERROR", 7, message, detail);
}

class CompilerCoreTest : public testing::Test {
protected:
    void SetUp() override {
        compiler->setSong(song.get());
    }

    void run(int code, std::vector<CommandParam> params = {}) {
        compiletest::send(*compiler, code, params, source);
    }
    void note(char letter, int32_t length = 0, int accidental = 0) {
        run(letter, {num(accidental), num(length)});
    }
    void rest(int32_t length = 0) { run('R', {num(length)}); }

    // Runs `commands` and returns what they printed.
    template <typename Commands>
    std::string diagnostics(Commands commands) {
        return compiletest::printedBy(commands);
    }

    const std::vector<NoteEvent>& notes(int track = 0) { return song->track(track).notes; }
    const std::vector<ControlEvent>& controls(int track = 0) { return song->track(track).controls; }

    std::unique_ptr<Song> song = createSong();
    compiletest::TestSource source{7};
    std::unique_ptr<Compiler> compiler = createCompiler(source.diagnostics());
};

TEST_F(CompilerCoreTest, NoteNumbersFollowOctaveAndRangeIsEnforced) {
    note('C', 480);
    run('O', {num(-2)});
    note('C', 480);
    run('O', {num(8)});
    std::string out = diagnostics([&] { note('B', 480); });
    EXPECT_EQ(out, errorLine(msg::kNoteOutOfRange));
    ASSERT_EQ(notes().size(), 3u);
    EXPECT_EQ(notes()[0].note, 72);
    EXPECT_EQ(notes()[1].note, 0);
    EXPECT_EQ(notes()[2].note, 72);  // 131 replaced, but the note is still there
    EXPECT_EQ(notes()[2].time, 960);
}

TEST_F(CompilerCoreTest, AccidentalsOnlyReachBlackKeys) {
    std::string out = diagnostics([&] {
        note('F', 480, '+');
        note('B', 480, '-');
        note('E', 480, '+');
        note('C', 480, '-');
    });
    EXPECT_EQ(out, errorLine(msg::kBadPitchAccidental, "E+") +
                       errorLine(msg::kBadPitchAccidental, "C-"));
    ASSERT_EQ(notes().size(), 4u);
    EXPECT_EQ(notes()[0].note, 78);
    EXPECT_EQ(notes()[1].note, 82);
    EXPECT_EQ(notes()[2].note, 77);  // produced with the shifted semitone
    EXPECT_EQ(notes()[3].note, 71);
}

TEST_F(CompilerCoreTest, NewNotesCarryTheTrackDefaults) {
    note('C', 480);
    const NoteEvent& n = notes()[0];
    EXPECT_EQ(n.velocity, 64);
    EXPECT_EQ(n.bendDepth, 8);
    EXPECT_EQ(n.bendLength, 0);
    EXPECT_EQ(n.portamentoUse, 0);
    EXPECT_EQ(n.decayGainRate, 50);
    EXPECT_EQ(n.accent, 50);
    EXPECT_EQ(n.lyric.text, kDefaultLyricText);
    EXPECT_EQ(n.lyric.symbols, "4 a");
    EXPECT_TRUE(song->track(0).secondLyric(0).text.empty());
    EXPECT_EQ(n.splitOffset, 0);
    EXPECT_FALSE(n.joined);
    // Default vibrato: type 1 after a delay of 160 ticks.
    EXPECT_EQ(n.vibrato.type, 1);
    EXPECT_EQ(n.vibrato.length, 320);
    EXPECT_EQ(n.vibrato.startDepth, 64);
    EXPECT_EQ(n.vibrato.startRate, 50);
    note('C', 160);  // no longer than the delay: no vibrato
    note('C', 161);
    EXPECT_EQ(notes()[1].vibrato.type, 0);
    EXPECT_EQ(notes()[2].vibrato.length, 1);
    // A negative delay is counted as written: the vibrato is longer than the note.
    run(commandCode("@VIB"), {num(1), num(-100)});
    note('C', 480);
    EXPECT_EQ(notes()[3].vibrato.type, 1);
    EXPECT_EQ(notes()[3].vibrato.length, 580);
    run(commandCode("@VIB"), {num(1), num(INT32_MIN)});
    note('C', 480);
    EXPECT_EQ(notes()[4].vibrato.length, INT32_MAX);  // saturates, never wraps
    // A dropped vibrato only loses its type; the rest stays as the track set it.
    EXPECT_EQ(notes()[1].vibrato.length, 0);
    EXPECT_EQ(notes()[1].vibrato.startDepth, 64);
    EXPECT_EQ(notes()[1].vibrato.startRate, 50);
    // A note record made outside the compiler sings the default syllable too.
    const NoteEvent blank;
    EXPECT_EQ(blank.lyric.text, kDefaultLyricText);
    EXPECT_EQ(blank.lyric.symbols, "4 a");
    EXPECT_EQ(blank.vibrato.type, 0);
}

TEST_F(CompilerCoreTest, GateShortensTheSoundNotTheStep) {
    run('Q', {num(4)});
    note('C', 480);
    run('Q', {num(0)});
    note('D', 480);
    EXPECT_EQ(notes()[0].length, 240);
    EXPECT_EQ(notes()[1].time, 480);
    EXPECT_EQ(notes()[1].length, 0);
    EXPECT_EQ(notes()[1].vibrato.type, 0);
    EXPECT_EQ(diagnostics([&] { run('Q', {num(9)}); }), errorLine(msg::kOutOfRange));
    note('E', 480);
    EXPECT_EQ(notes()[2].length, 0);  // the bad gate changed nothing
    for (const NoteEvent& n : notes()) EXPECT_EQ(n.step, 480);  // written as long as given
}

TEST_F(CompilerCoreTest, NotesKeepTheNameTheyWereWrittenWith) {
    run('_', {num(2)});
    note('C', 480, '+');
    note('D', 480, '-');
    note('B', 480);
    run('&');
    note('G', 240, '-');
    ASSERT_EQ(notes().size(), 4u);
    EXPECT_EQ(notes()[0].note, notes()[1].note);  // one pitch, two names
    EXPECT_EQ(notes()[0].writtenLetter, LetterC);
    EXPECT_EQ(notes()[0].writtenAccidental, 1);
    EXPECT_EQ(notes()[1].writtenLetter, LetterD);
    EXPECT_EQ(notes()[1].writtenAccidental, -1);
    EXPECT_EQ(notes()[2].writtenLetter, LetterB);
    EXPECT_EQ(notes()[2].writtenAccidental, 0);
    // The join reaches the next note without touching what the name or step was.
    EXPECT_TRUE(notes()[3].joined);
    EXPECT_EQ(notes()[3].portamentoUse, 1);
    EXPECT_EQ(notes()[3].writtenLetter, LetterG);
    EXPECT_EQ(notes()[3].writtenAccidental, -1);
    EXPECT_EQ(notes()[3].step, 240);
}

TEST_F(CompilerCoreTest, JoinedNotesReachEachOther) {
    run('Q', {num(4)});
    note('C', 480);
    run('&');
    note('D', 480);
    ASSERT_EQ(notes().size(), 2u);
    EXPECT_EQ(notes()[0].length, 480);
    EXPECT_FALSE(notes()[0].joined);
    EXPECT_TRUE(notes()[1].joined);
    EXPECT_EQ(notes()[1].portamentoUse & 1, 1);
    EXPECT_EQ(notes()[1].length, 240);
    note('E', 480);  // the join was used up
    EXPECT_FALSE(notes()[2].joined);
}

TEST_F(CompilerCoreTest, JoinMisuseIsReported) {
    EXPECT_EQ(diagnostics([&] { run('&'); }), errorLine(msg::kNoteRequiredBeforeJoin));
    note('C', 480);
    EXPECT_EQ(diagnostics([&] {
                  run('&');
                  run('&');
              }),
              errorLine(msg::kAmpersandRepeated));
    EXPECT_EQ(diagnostics([&] { rest(480); }), errorLine(msg::kAmpersandBeforeRest));
    note('D', 480);
    EXPECT_EQ(notes()[1].time, 480);  // the rest was dropped
    EXPECT_FALSE(notes()[1].joined);  // and the join cleared
}

TEST_F(CompilerCoreTest, DefaultLengthIsUsedByNotesAndRests) {
    run('L', {num(240)});
    note('C');
    rest();
    note('D');
    run('L', {num(0)});
    note('E');
    note('F');
    EXPECT_EQ(notes()[0].length, 240);
    EXPECT_EQ(notes()[1].time, 480);
    EXPECT_EQ(notes()[2].time, 720);
    EXPECT_EQ(notes()[2].length, 480);
    EXPECT_EQ(notes()[3].time, 1200);
}

TEST_F(CompilerCoreTest, OctaveStepsStayInRange) {
    run('O', {num(-2)});
    EXPECT_EQ(diagnostics([&] { run('<'); }), errorLine(msg::kOutOfRange));
    note('C', 480);
    run('>');
    note('C', 480);
    EXPECT_EQ(diagnostics([&] { run('O', {num(9)}); }), errorLine(msg::kOutOfRange));
    note('C', 480);
    EXPECT_EQ(notes()[0].note, 0);
    EXPECT_EQ(notes()[1].note, 12);
    EXPECT_EQ(notes()[2].note, 12);
}

TEST_F(CompilerCoreTest, TranspositionFoldsIntoTheOctaveAround) {
    run('_', {num(7)});  // G: a fifth up is a fourth down
    note('C', 480);
    run('_', {num(5)});
    note('C', 480);
    run('_', {num(0)});
    note('C', 480);
    EXPECT_EQ(notes()[0].note, 67);
    EXPECT_EQ(notes()[1].note, 77);
    EXPECT_EQ(notes()[2].note, 72);
}

TEST_F(CompilerCoreTest, TempoAndTimeSignatureEvents) {
    note('C', 480);
    std::string out = diagnostics([&] {
        run('T', {num(19)});
        run('T', {num(301)});
        run(commandCode("@M"), {num(3), num(3)});
        run(commandCode("@M"), {num(256), num(4)});
        run(commandCode("@M"), {num(3)});
    });
    EXPECT_EQ(out, errorLine(msg::kOutOfRange, "T") + errorLine(msg::kOutOfRange, "T") +
                       errorLine(msg::kOutOfRange, "@M") + errorLine(msg::kOutOfRange) +
                       errorLine(msg::kTooFewParams));
    EXPECT_TRUE(controls().empty());
    run('T', {num(150)});
    run(commandCode("@M"), {num(3), num(8)});
    ASSERT_EQ(controls().size(), 2u);
    EXPECT_EQ(controls()[0].time, 480);
    ASSERT_TRUE(controls()[0].as<TempoChange>());
    EXPECT_EQ(controls()[0].as<TempoChange>()->bpm, 150);
    ASSERT_TRUE(controls()[1].as<MetreChange>());
    EXPECT_EQ(controls()[1].as<MetreChange>()->numerator, 3);
    EXPECT_EQ(controls()[1].as<MetreChange>()->denominator, 8);
}

TEST_F(CompilerCoreTest, ReferenceTempoScalesLengthsByTheCurrentTempo) {
    run(commandCode("@T"), {num(60)});
    note('C', 480);  // tempo 120 written for 60: twice as long
    run('T', {num(60)});
    note('D', 480);
    run(commandCode("@T"), {num(0)});
    run('T', {num(240)});
    note('E', 480);
    note('F', 480);
    EXPECT_EQ(notes()[0].length, 960);
    EXPECT_EQ(notes()[0].vibrato.length, 640);  // the delay scales too
    EXPECT_EQ(notes()[1].time, 960);
    EXPECT_EQ(notes()[2].time, 1440);
    EXPECT_EQ(notes()[3].time, 1920);
}

TEST_F(CompilerCoreTest, ReferenceTempoChecksItsParameter) {
    const int code = commandCode("@T");
    std::string out = diagnostics([&] {
        run(code);
        run(code, {num(60), num(60)});
        run(code, {{ParamString, 1}});
        run(code, {num(19)});
        run(code, {num(301)});
    });
    EXPECT_EQ(out, errorLine(msg::kTooFewParams) + errorLine(msg::kTooManyParams) +
                       errorLine(msg::kNumberRequired) + errorLine(msg::kOutOfRange) +
                       errorLine(msg::kOutOfRange));
    note('C', 480);
    EXPECT_EQ(notes()[0].length, 480);  // scaling stayed off
}

TEST_F(CompilerCoreTest, UnknownCodesAreRejectedPerSelectedTrack) {
    run('0', {num(1), num(2)});
    std::string out = diagnostics([&] {
        run(commandCode("@V"), {num(1)});
        run(commandCode("@dyn"), {num(1)});
    });
    EXPECT_EQ(out, errorLine(msg::kUnknownCommand) + errorLine(msg::kUnknownCommand) +
                       errorLine(msg::kUnknownCommand) + errorLine(msg::kUnknownCommand));
}

TEST_F(CompilerCoreTest, CommandsReachEverySelectedTrack) {
    run('0', {num(1), num(2)});
    note('C', 480);
    ASSERT_EQ(song->trackCount(), 2);
    EXPECT_EQ(notes(0).size(), 1u);
    EXPECT_EQ(notes(1).size(), 1u);
    run('0', {num(2)});
    run('O', {num(5)});
    note('C', 480);
    EXPECT_EQ(notes(0).size(), 1u);
    EXPECT_EQ(notes(1)[1].note, 84);
    run('0', {num(1)});
    note('C', 480);
    EXPECT_EQ(notes(0)[1].note, 72);  // track 1 kept its own octave
    EXPECT_EQ(notes(0)[1].time, 480);
}

TEST_F(CompilerCoreTest, AddressingTrackThreeCreatesTheTracksBefore) {
    run('0', {num(3)});
    note('C', 480);
    ASSERT_EQ(song->trackCount(), 3);
    EXPECT_TRUE(notes(0).empty());
    EXPECT_TRUE(notes(1).empty());
    EXPECT_EQ(notes(2).size(), 1u);
}

TEST_F(CompilerCoreTest, LyricsGoToEverySelectedTrack) {
    run('0', {num(1), num(2)});
    note('C', 480);
    compiler->lyrics(u"[x]", source.place());
    EXPECT_EQ(notes(0)[0].lyric.symbols, "x");
    EXPECT_EQ(notes(1)[0].lyric.symbols, "x");
}

TEST_F(CompilerCoreTest, LengthsBeyondTheTickRangeAreRefused) {
    note('C', INT32_MAX - 480);
    std::string out = diagnostics([&] {
        note('D', 481);
        rest(481);
        note('E', -1);  // a length of 2^31 or more, wrapped
        rest(INT32_MIN);
        run('L', {num(-5)});
    });
    // Reported once per run: the later refusals are silent.
    EXPECT_EQ(out, errorLine(msg::kTrackTimeTooLong));
    ASSERT_EQ(notes().size(), 1u);
    note('F');  // the default length is still 480 and exactly fits
    ASSERT_EQ(notes().size(), 2u);
    EXPECT_EQ(notes()[1].time, INT32_MAX - 480);
    const int errorsBefore = getReporter().errorCount();
    EXPECT_EQ(diagnostics([&] { note('G', 1); }), "");
    EXPECT_EQ(getReporter().errorCount(), errorsBefore);
    EXPECT_EQ(notes().size(), 2u);
}

TEST_F(CompilerCoreTest, ScaledLengthsAreComputedWithoutOverflow) {
    run('T', {num(300)});
    run(commandCode("@T"), {num(20)});
    note('C', 1 << 27);  // 15 x 2^27 ticks still fit
    EXPECT_EQ(notes()[0].length, 15 << 27);
    EXPECT_EQ(diagnostics([&] { note('D', 1 << 30); }), errorLine(msg::kTrackTimeTooLong));
    EXPECT_EQ(notes().size(), 1u);
}

}  // namespace

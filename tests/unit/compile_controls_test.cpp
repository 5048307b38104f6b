// Tests of the control commands: velocity, note parameters, vibrato, singers,
// the curve commands and parameter envelopes, through the compiler's command
// entry, checking the notes and control events they produce and their messages.
#include <gtest/gtest.h>

#include <climits>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "CompileTestSupport.h"
#include "compile/Compiler.h"
#include "diag/Messages.h"
#include "diag/Reporter.h"
#include "song/CommandCode.h"
#include "song/CurveTable.h"
#include "song/Song.h"
#include "text/CharCode.h"
#include "text/StringPool.h"

namespace {

using compiletest::num;
using compiletest::rel;
using compiletest::str;

class ControlsTest : public testing::Test {
protected:
    void SetUp() override {
        compiler_->setSong(song_.get());
        compiler_->setStrings(pool_.get());
    }

    // Runs one command and returns what it printed.
    std::string run(const char* name, std::initializer_list<CommandParam> params = {}) {
        return compiletest::printedBy(
            [&] { compiletest::send(*compiler_, commandCode(name), params, source_); });
    }
    void note(int32_t ticks = 480) { run("C", {num(0), num(ticks)}); }
    static std::string report(const char* level, std::string_view message,
                              std::string_view detail = {}) {
        return compiletest::reportLine(level, 3, message, detail);
    }
    static std::string error(std::string_view message, std::string_view detail = {}) {
        return report("ERROR", message, detail);
    }
    Track& track() { return song_->track(0); }
    const NoteEvent& lastNote() { return track().notes.back(); }
    std::vector<int32_t> lastValues() { return compiletest::controlValues(track().controls.back()); }

    std::unique_ptr<Song> song_ = createSong();
    std::unique_ptr<StringPool> pool_ = createStringPool();
    compiletest::TestSource source_{3};
    std::unique_ptr<Compiler> compiler_ = createCompiler(source_.diagnostics());
};

TEST_F(ControlsTest, VelocityAbsoluteAndRelative) {
    EXPECT_EQ(run("@VEL", {num(100), num(5)}), "");  // only the first is used
    note();
    EXPECT_EQ(lastNote().velocity, 100);
    EXPECT_EQ(run("@VEL", {rel(-30)}), "");
    note();
    EXPECT_EQ(lastNote().velocity, 70);
    EXPECT_EQ(run("@VEL", {rel(127)}), "");  // clamped into 0..127
    note();
    EXPECT_EQ(lastNote().velocity, 127);
    EXPECT_EQ(run("@VEL", {rel(-127)}), "");
    note();
    EXPECT_EQ(lastNote().velocity, 0);
}

TEST_F(ControlsTest, VelocityFailuresKeepTheValue) {
    const int errorsBefore = getReporter().errorCount();
    EXPECT_EQ(run("@VEL", {rel(200)}), error(msg::kOutOfRange));
    EXPECT_EQ(run("@VEL", {rel(INT_MIN)}), error(msg::kOutOfRange));
    EXPECT_EQ(run("@VEL", {num(128)}), error(msg::kOutOfRange));
    EXPECT_EQ(run("@VEL", {num(-1)}), error(msg::kOutOfRange));
    EXPECT_EQ(run("@VEL", {str(1)}), error(msg::kNumericParamRequired));
    EXPECT_EQ(run("@VEL"), error(msg::kTooFewParams));
    EXPECT_EQ(getReporter().errorCount(), errorsBefore + 6);
    note();
    EXPECT_EQ(lastNote().velocity, 64);
}

TEST_F(ControlsTest, NoteParametersFromAnIndexOn) {
    EXPECT_EQ(run("@Z", {num(0), num(20), num(30), num(3), num(40), num(60)}), "");
    note();
    EXPECT_EQ(lastNote().bendDepth, 20);
    EXPECT_EQ(lastNote().bendLength, 30);
    EXPECT_EQ(lastNote().portamentoUse, 3);
    EXPECT_EQ(lastNote().decayGainRate, 40);
    EXPECT_EQ(lastNote().accent, 60);
    // Reserved indices accept 0 only.
    EXPECT_EQ(run("@Z", {num(4), num(10), num(0), num(0)}), "");
    EXPECT_EQ(run("@Z", {num(63), num(0)}), "");
    note();
    EXPECT_EQ(lastNote().accent, 10);
}

TEST_F(ControlsTest, NoteParameterFailuresStopButKeepEarlierValues) {
    EXPECT_EQ(run("@Z", {num(1)}), error(msg::kTwoOrMoreParams, "@Z"));
    EXPECT_EQ(run("@Z", {num(2), num(2), num(101)}), error(msg::kOutOfRange));
    EXPECT_EQ(run("@Z", {num(4), num(11), num(1)}), error(msg::kOutOfRange));
    EXPECT_EQ(run("@Z", {num(63), num(0), num(0)}), error(msg::kIndexOutOfRange, "@Z"));
    EXPECT_EQ(run("@Z", {num(INT_MAX), num(0)}), error(msg::kIndexOutOfRange, "@Z"));
    EXPECT_EQ(run("@Z", {num(-1), num(0)}), error(msg::kIndexOutOfRange, "@Z"));
    note();
    EXPECT_EQ(lastNote().portamentoUse, 2);
    EXPECT_EQ(lastNote().decayGainRate, 50);
    EXPECT_EQ(lastNote().accent, 11);
}

TEST_F(ControlsTest, VibratoTakesThePresetAndTheDelay) {
    EXPECT_EQ(run("@VIB", {num(11), num(100)}), "");
    note(480);
    EXPECT_EQ(lastNote().vibrato.type, 11);
    EXPECT_EQ(lastNote().vibrato.startDepth, 80);
    EXPECT_EQ(lastNote().vibrato.startRate, 70);
    EXPECT_EQ(lastNote().vibrato.length, 380);
    EXPECT_EQ(run("@VIB", {num(6)}), "");  // default delay 160
    note(480);
    EXPECT_EQ(lastNote().vibrato.startDepth, 32);
    EXPECT_EQ(lastNote().vibrato.length, 320);
    EXPECT_EQ(run("@VIB", {num(0)}), "");
    note(480);
    EXPECT_EQ(lastNote().vibrato.type, 0);
}

TEST_F(ControlsTest, VibratoFailures) {
    EXPECT_EQ(run("@VIB", {num(17)}), error(msg::kInvalidParam, "@VIB"));
    EXPECT_EQ(run("@VIB", {num(-1), num(0)}), error(msg::kInvalidParam, "@VIB"));
    EXPECT_EQ(run("@VIB", {num(2), str(1)}), error(msg::kNumberRequired));
    EXPECT_EQ(run("@VIB"), error(msg::kTooFewParams));
    note(480);
    EXPECT_EQ(lastNote().vibrato.type, 1);
    EXPECT_EQ(lastNote().vibrato.length, 320);
}

TEST_F(ControlsTest, SingerChangeNeedsARegisteredName) {
    const int alto = pool_->add(std::u16string(u"Alto"));
    const int bass = pool_->add(std::u16string(u"Bass"));
    EXPECT_EQ(run("@", {str(bass)}), error(msg::kUnknownSinger, "Bass"));
    EXPECT_EQ(run("@SGR", {num(1), num(5), str(alto)}), "");
    EXPECT_EQ(run("@SGR", {num(0), num(4), str(alto)}), "");  // replaces the pair
    run("R", {num(960)});
    EXPECT_EQ(run("@", {str(alto)}), "");
    ASSERT_EQ(track().controls.size(), 1u);
    EXPECT_EQ(track().controls[0].time, 960);
    EXPECT_TRUE(track().controls[0].as<SingerChange>());
    EXPECT_EQ(lastValues(), (std::vector<int32_t>{4, 0, alto}));
}

TEST_F(ControlsTest, SingerRegistrationChecksTypesAndCount) {
    const int name = pool_->add(std::u16string(u"Alto"));
    EXPECT_EQ(run("@SGR", {num(0), rel(4), str(name)}), error(msg::kWrongParamType));
    EXPECT_EQ(run("@SGR", {num(0), num(4), num(name)}), error(msg::kWrongParamType));
    EXPECT_EQ(run("@", {str(name)}), error(msg::kUnknownSinger, "Alto"));
    EXPECT_TRUE(track().controls.empty());
}

TEST_F(ControlsTest, CurveGroupsWithRelativeValues) {
    EXPECT_EQ(run("@DYN", {num(120)}), "");
    EXPECT_EQ(lastValues(), (std::vector<int32_t>{1, 120, 0, 0, 0}));
    EXPECT_EQ(run("@DYN", {rel(10)}), "");
    EXPECT_EQ(lastValues(), (std::vector<int32_t>{1, 127, 0, 0, 0}));
    // Relative values accumulate unclamped within one command.
    EXPECT_EQ(run("@DYN", {num(120), num(0), num(0), num(0), rel(10), num(5), num(10), num(1),
                           rel(-10)}),
              "");
    EXPECT_EQ(lastValues(),
              (std::vector<int32_t>{1, 120, 0, 0, 0, 127, 5, 10, 1, 120, 0, 0, 0}));
    // The stored current value was clamped: 120 - 200 floors at 0.
    EXPECT_EQ(run("@DYN", {rel(-200), num(0), num(0), num(0), rel(30)}), "");
    EXPECT_EQ(lastValues(), (std::vector<int32_t>{1, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(run("@DYN", {rel(5)}), "");
    EXPECT_EQ(lastValues()[1], 5);  // 0 + 5: the stored value was clamped
    EXPECT_TRUE(track().controls.back().as<CurveChange>());
}

TEST_F(ControlsTest, CurvesKeepTheirOwnValuesAndRanges) {
    EXPECT_EQ(run("@PIT", {rel(-9000)}), "");
    EXPECT_EQ(lastValues(), (std::vector<int32_t>{8, -8192, 0, 0, 0}));
    EXPECT_EQ(run("@OPE", {rel(-7)}), "");
    EXPECT_EQ(lastValues(), (std::vector<int32_t>{5, 120, 0, 0, 0}));
    EXPECT_EQ(run("@BRE", {rel(INT_MAX), num(0), num(0), num(0), rel(INT_MAX)}), "");
    EXPECT_EQ(lastValues(), (std::vector<int32_t>{2, 127, 0, 0, 0, 127, 0, 0, 0}));
}

// Every curve command reaches its row: its id, its default, its range and its
// section, written out here as the file format and the language fix them.
TEST_F(ControlsTest, EveryCurveCommandReachesItsRow) {
    struct Row {
        const char* command;
        int32_t id;
        const char* section;
        int32_t defaultValue;
        int32_t minimum;
        int32_t maximum;
    };
    constexpr Row kRows[] = {
        {"@DYN", 1, "DynamicsBPList", 64, 0, 127},
        {"@BRE", 2, "EpRResidualBPList", 0, 0, 127},
        {"@BRI", 3, "EpRESlopeBPList", 64, 0, 127},
        {"@CLE", 4, "EpRESlopeDepthBPList", 0, 0, 127},
        {"@OPE", 5, "OpeningBPList", 127, 0, 127},
        {"@GEN", 6, "GenderFactorBPList", 64, 0, 127},
        {"@POR", 7, "PortamentoTimingBPList", 64, 0, 127},
        {"@PIT", 8, "PitchBendBPList", 0, -8192, 8191},
        {"@PBS", 9, "PitchBendSensBPList", 1, 0, 24},
    };
    EXPECT_EQ(kCurves.size(), std::size(kRows));
    for (const Row& row : kRows) {
        const CurveInfo* curve = curveOfCommand(commandCode(row.command));
        ASSERT_NE(curve, nullptr) << row.command;
        EXPECT_STREQ(curve->section, row.section);
        EXPECT_EQ(run(row.command, {rel(0)}), "") << row.command;
        EXPECT_EQ(lastValues(), (std::vector<int32_t>{row.id, row.defaultValue, 0, 0, 0}))
            << row.command;
        run(row.command, {rel(INT_MIN + 1)});
        EXPECT_EQ(lastValues()[1], row.minimum) << row.command;
        run(row.command, {rel(INT_MAX)});
        EXPECT_EQ(lastValues()[1], row.maximum) << row.command;
    }
    EXPECT_EQ(curveOfCommand(CmdVelocity), nullptr);
    EXPECT_EQ(curveOfCommand('C'), nullptr);
}

TEST_F(ControlsTest, CurveShapeWarningOnceAndScaledTimes) {
    run("@T", {num(60)});  // lengths written for tempo 60 count double at 120
    run("R", {num(480)});
    EXPECT_EQ(run("@GEN", {num(1), num(100), num(-1), num(2), num(2), num(7), num(8), num(3)}),
              report("WARN", msg::kShapeNotImplemented));
    EXPECT_EQ(track().controls.back().time, 960);
    EXPECT_EQ(lastValues(), (std::vector<int32_t>{6, 1, 200, -2, 2, 2, 14, 16, 3}));
    // Hostile gaps saturate instead of wrapping.
    EXPECT_EQ(run("@GEN", {num(1), num(INT_MAX), num(INT_MIN)}), "");
    EXPECT_EQ(lastValues(), (std::vector<int32_t>{6, 1, INT_MAX, INT_MIN, 0}));
}

TEST_F(ControlsTest, CurveFailuresAppendNothing) {
    EXPECT_EQ(run("@DYN"), error(msg::kTooFewParams));
    EXPECT_EQ(run("@DYN", {num(1), str(1)}), error(msg::kNumberRequired));
    EXPECT_TRUE(track().controls.empty());
    EXPECT_EQ(run("@DYN", {rel(1)}), "");
    EXPECT_EQ(lastValues()[1], 65);  // the failed commands left the value alone
}

TEST_F(ControlsTest, ParameterEnvelopePairs) {
    run("@T", {num(60)});
    EXPECT_EQ(run("@EOP", {num(0), num(8), num(-500), num(-100), num(1), num(50), num(240)}), "");
    EXPECT_TRUE(track().controls.back().as<ParameterEnvelope>());
    // Durations above 1 are scaled, 1 is not; offset and values stay as written.
    EXPECT_EQ(lastValues(), (std::vector<int32_t>{0, 8, -500, -100, 1, 50, 480}));
    EXPECT_EQ(run("@EOP", {num(1), num(1), num(50000), num(3), num(0)}), "");
    EXPECT_EQ(lastValues(), (std::vector<int32_t>{1, 1, 50000, 3, 0}));
}

TEST_F(ControlsTest, ParameterEnvelopeFailures) {
    EXPECT_EQ(run("@EOP", {num(0), num(1)}), error(msg::kTooFewParams));
    EXPECT_EQ(run("@EOP", {num(2), num(1), num(0), num(1), num(1)}), error(msg::kOutOfRange));
    EXPECT_EQ(run("@EOP", {num(0), num(10), num(0), num(1), num(1)}), error(msg::kOutOfRange));
    EXPECT_EQ(run("@EOP", {num(0), num(1), num(50001), num(1), num(1)}), error(msg::kOutOfRange));
    EXPECT_EQ(run("@EOP", {num(0), num(1), num(0)}), error(msg::kBadPairCount));
    EXPECT_EQ(run("@EOP", {num(0), num(1), num(0), num(1), num(1), num(2)}),
              error(msg::kBadPairCount));
    EXPECT_TRUE(track().controls.empty());
    // A bad duration stops the command; the pairs before it stay.
    EXPECT_EQ(run("@EOP", {num(0), num(1), num(0), num(5), num(10), num(6), num(0)}),
              error(msg::kDurationBelowOne));
    EXPECT_EQ(lastValues(), (std::vector<int32_t>{0, 1, 0, 5, 10}));
    EXPECT_EQ(run("@EOP", {num(1), num(1), num(0), num(5), num(0), num(6), num(-1)}),
              error(msg::kDurationBelowZero));
    EXPECT_EQ(lastValues(), (std::vector<int32_t>{1, 1, 0, 5, 0}));
    EXPECT_EQ(track().controls.size(), 2u);
}

}  // namespace

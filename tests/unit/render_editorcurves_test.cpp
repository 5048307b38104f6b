// The expression formulas at their ends and centres, stepped curves drawn as
// lines, searches on through a curve from a known place, and the lyric the
// editors sing for a held vowel.
#include <gtest/gtest.h>

#include <vector>

#include "render/EditorCurves.h"
#include "render/HeldVowel.h"

namespace {

using Steps = std::vector<BreakpointPoint>;

TEST(ExpressionFormulaTest, EndsAndCentres) {
    EXPECT_EQ(levelFromDynamics(0), -240);
    EXPECT_EQ(levelFromDynamics(64), 0);
    EXPECT_EQ(levelFromDynamics(127), 120);
    EXPECT_EQ(levelFromDynamics(63), -4);  // -3.75 rounds away from zero
    EXPECT_EQ(levelFromDynamics(65), 2);   // 1.9
    EXPECT_EQ(levelFromDynamics(500), 120);

    EXPECT_EQ(centsFromPitchBend(-8192, 2), -200);
    EXPECT_EQ(centsFromPitchBend(8191, 2), 200);
    EXPECT_EQ(centsFromPitchBend(4096, 1), 50);
    EXPECT_EQ(centsFromPitchBend(-4096, 1), -50);
    EXPECT_EQ(centsFromPitchBend(8191, 24), 1200);  // 2400 held at an octave
    EXPECT_EQ(centsFromPitchBend(-8192, 24), -1200);
    EXPECT_EQ(centsFromPitchBend(1000, 0), 0);

    EXPECT_EQ(breathFromBreathiness(0), 0);
    EXPECT_EQ(breathFromBreathiness(127), 100);
    EXPECT_EQ(genderFromGenderFactor(0), -100);
    EXPECT_EQ(genderFromGenderFactor(127), 100);
    EXPECT_EQ(speedFromVelocity(64), 100);
    EXPECT_EQ(speedFromVelocity(127), 198);
    EXPECT_EQ(attackFromAccent(50), 100);
    EXPECT_EQ(decayFromDecayGainRate(50), 0);
    EXPECT_EQ(decayFromDecayGainRate(20), 0);
    EXPECT_EQ(decayFromDecayGainRate(100), 50);

    EXPECT_EQ(volumeFromLevel(-240), 0);
    EXPECT_EQ(volumeFromLevel(0), 100);
    EXPECT_EQ(volumeFromLevel(-60), 50);   // -6 dB
    EXPECT_EQ(volumeFromLevel(120), 200);  // +12 dB held at +6
}

TEST(LineThroughStepsTest, StepsAreHeldFiveTicksBeforeTheyChange) {
    // 0 until 100, 10 until 200, then 30 to the end at 400.
    const LinearCurve line = lineThroughSteps(Steps{{100, 10}, {200, 30}}, 400);
    EXPECT_EQ(line.ticks, (std::vector<int32_t>{95, 100, 195, 200, 400}));
    EXPECT_EQ(line.values, (std::vector<int32_t>{0, 10, 10, 30, 30}));
}

TEST(LineThroughStepsTest, CloseStepsAndUnchangedValuesAddNoPoints) {
    // A ramp of one point per tick, a repeated value, a step near tick 0, a return to 0.
    const LinearCurve line =
        lineThroughSteps(Steps{{2, 5}, {3, 6}, {4, 6}, {6, 7}, {50, 0}}, 80);
    EXPECT_EQ(line.ticks, (std::vector<int32_t>{2, 3, 6, 45, 50}));
    EXPECT_EQ(line.values, (std::vector<int32_t>{5, 6, 7, 7, 0}));
    EXPECT_TRUE(lineThroughSteps(Steps{{0, 0}, {10, 0}}, 80).empty());
    // A step at tick 0 and one 5 ticks later: the hold would fall on the first point.
    const LinearCurve start = lineThroughSteps(Steps{{0, 3}, {5, 4}}, 9);
    EXPECT_EQ(start.ticks, (std::vector<int32_t>{0, 5, 9}));
}

TEST(LineThroughStepsTest, TicksAtTheLimitDoNotOverflow) {
    const int32_t last = 2147483647;
    const LinearCurve line = lineThroughSteps(Steps{{last - 1, -1200}}, last);
    EXPECT_EQ(line.ticks, (std::vector<int32_t>{last - 6, last - 1, last}));
}

TEST(MeanDynamicsTest, WeighsEachValueByItsTicks) {
    const Steps dynamics = {{100, 0}, {200, 127}};
    EXPECT_EQ(meanDynamics(dynamics, 0, 100), 64);     // the default before the first point
    EXPECT_EQ(meanDynamics(dynamics, 50, 150), 32);    // half 64, half 0
    EXPECT_EQ(meanDynamics(dynamics, 150, 250), 64);   // half 0, half 127: 63.5 rounds up
    EXPECT_EQ(meanDynamics(dynamics, 300, 301), 127);
    EXPECT_EQ(meanDynamics(dynamics, 10, 10), 64);
}

TEST(MeanDynamicsTest, RangesInOrderGiveWhatEachGivesAlone) {
    Steps dynamics;
    for (int32_t tick = 0; tick < 5000; tick += 7) dynamics.push_back({tick, tick % 128});
    size_t known = 0;
    for (int64_t start = 0; start < 5200; start += 13) {
        EXPECT_EQ(meanDynamics(dynamics, start, start + 40, known),
                  meanDynamics(dynamics, start, start + 40));
    }
    // A range before the one taken last is found all the same.
    EXPECT_EQ(meanDynamics(dynamics, 10, 30, known), meanDynamics(dynamics, 10, 30));
}

TEST(CurveValueTablesTest, TheTablesGiveTheFormulasAndHoldValuesOutsideTheirRange) {
    for (int32_t value = -3; value <= 130; ++value) {
        const BreakpointPoint point{0, value};
        EXPECT_EQ(levelOf(point), levelFromDynamics(value));
        EXPECT_EQ(breathOf(point), breathFromBreathiness(value));
        EXPECT_EQ(genderOf(point), genderFromGenderFactor(value));
    }
}

TEST(PointsUpToTest, SearchesFromAnyKnownPlaceGiveTheCount) {
    const Steps points = {{0, 1}, {10, 2}, {10, 3}, {20, 4}, {35, 5}, {50, 6}, {90, 7}};
    for (int64_t tick = -5; tick <= 100; ++tick) {
        size_t expected = 0;
        while (expected < points.size() && points[expected].tick <= tick) ++expected;
        for (size_t known = 0; known <= points.size() + 2; ++known) {
            EXPECT_EQ(pointsUpTo(points, tick, known), expected) << tick << " from " << known;
        }
    }
    EXPECT_EQ(pointsUpTo(Steps{}, 5, 3), 0u);
}

TEST(PitchStepsCursorTest, MovedOnItReadsAsTheSearchesFromTheStart) {
    Steps bends;
    Steps sensitivities = {{40, 12}, {300, 1}};
    for (int32_t tick = 0; tick < 400; tick += 3) bends.push_back({tick, (tick * 37) % 8000 - 4000});
    const PitchSteps steps(bends, sensitivities);
    PitchSteps::Cursor cursor(steps);
    for (int64_t tick = -2; tick < 420; tick += 5) {
        cursor.moveTo(tick);
        EXPECT_EQ(cursor.cents(), steps.centsAt(tick));
        const PitchSteps::Iterator next = cursor.after();
        EXPECT_TRUE(next == steps.after(tick));
        if (next != steps.end()) {
            EXPECT_EQ(next->tick, steps.after(tick)->tick);
        }
    }
}

TEST(HeldVowelTest, AMarkSingsTheKanaOfTheVowelItsSymbolsEndIn) {
    const std::string_view longMark = "\x81\x5B";  // ー
    EXPECT_EQ(singableLyric(longMark, "a"), "\x82\xA0");     // あ
    EXPECT_EQ(singableLyric("-", " M "), "\x82\xA4");        // う, blanks around it
    EXPECT_EQ(singableLyric(longMark, "k o"), "\x82\xA8");   // お, the last symbol
    EXPECT_EQ(singableLyric(longMark, "N\\"), "\x82\xF1");  // ん
    // Symbols that end in no vowel, and a text that is no mark, stay as they are.
    EXPECT_EQ(singableLyric(longMark, "k"), longMark);
    EXPECT_EQ(singableLyric(longMark, ""), longMark);
    EXPECT_EQ(singableLyric("\x82\xA9", "a"), "\x82\xA9");  // か
}

}  // namespace

// The curve fit against the breakpoints a compiler's curve commands write:
// random runs of steps and ramps are turned into points as the VSQ writer
// does, fitted, and the fitted groups must write the very same points.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "import/RampPoints.h"
#include "mml/CurveFit.h"

namespace {

// The VSQ writer's points of one curve command's groups, in order: a step
// takes away the points from its start on and puts its own; a ramp from the
// value before takes them away too, puts back the value before at its start
// when it took a point there, its first tick does not move and the points left
// do not end on that value, then a point wherever its value moves.
std::vector<ImportedPoint> written(const std::vector<CurveGroup>& groups) {
    std::vector<ImportedPoint> points;
    int64_t previous = 0;
    for (const CurveGroup& group : groups) {
        bool tookStart = false;
        while (!points.empty() && points.back().tick >= group.start) {
            tookStart = tookStart || points.back().tick == group.start;
            points.pop_back();
        }
        if (!group.ramp) {
            points.push_back(pointAt(group.start, group.value));
        } else if (group.value != previous) {
            std::vector<ImportedPoint> ramp;
            appendRampPoints(ramp, previous, group.value, group.start, group.end);
            const bool movesAtOnce = !ramp.empty() && ramp.front().tick == group.start;
            if (tookStart && !movesAtOnce && (points.empty() || points.back().value != previous))
                points.push_back(pointAt(group.start, static_cast<int32_t>(previous)));
            points.insert(points.end(), ramp.begin(), ramp.end());
        }
        previous = group.value;
    }
    return points;
}

void expectSame(const std::vector<ImportedPoint>& a, const std::vector<ImportedPoint>& b) {
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(a[i].tick, b[i].tick) << "point " << i;
        EXPECT_EQ(a[i].value, b[i].value) << "point " << i;
    }
}

TEST(CurveFit, GivesBackTheRampAPersonWrote) {
    // @DYN40,0,0,0,80,0,1440,1: a step, then a ramp from it over a bar of 3/4.
    const std::vector<CurveGroup> source{{0, 0, 40, false}, {0, 1440, 80, true}};
    const std::vector<ImportedPoint> points = written(source);
    const std::vector<CurveGroup> fitted = fitCurve(points);
    ASSERT_EQ(fitted.size(), 2u);
    EXPECT_FALSE(fitted[0].ramp);
    EXPECT_TRUE(fitted[1].ramp);
    EXPECT_EQ(fitted[1].start, 0);
    EXPECT_EQ(fitted[1].end, 1440);
    expectSame(written(fitted), points);
}

TEST(CurveFit, SteepRampAndStepsBackToBack) {
    // A pitch bend down by a semitone over 115 ticks, and up again.
    const std::vector<CurveGroup> source{{10, 125, -8192, true}, {125, 317, 0, true}, {400, 400, 300, false}};
    const std::vector<ImportedPoint> points = written(source);
    const std::vector<CurveGroup> fitted = fitCurve(points);
    EXPECT_EQ(fitted.size(), 3u);
    expectSame(written(fitted), points);
}

TEST(CurveFit, AnyRunOfStepsAndRampsComesBackExactly) {
    std::mt19937 random(29);
    for (int trial = 0; trial < 400; ++trial) {
        std::vector<CurveGroup> groups;
        int64_t at = std::uniform_int_distribution<int64_t>(0, 50)(random);
        const int count = std::uniform_int_distribution<int>(1, 12)(random);
        for (int g = 0; g < count; ++g) {
            const int32_t value = std::uniform_int_distribution<int32_t>(trial % 2 ? -8192 : 0, trial % 2 ? 8191 : 127)(random);
            if (std::uniform_int_distribution<int>(0, 2)(random) == 0) {
                groups.push_back({at, at, value, false});
            } else {
                const int64_t span = std::uniform_int_distribution<int64_t>(1, 2000)(random);
                groups.push_back({at, at + span, value, true});
                at += span;
            }
            at += std::uniform_int_distribution<int64_t>(0, 300)(random);
        }
        const std::vector<ImportedPoint> points = written(groups);
        const std::vector<CurveGroup> fitted = fitCurve(points);
        expectSame(written(fitted), points);
        for (size_t i = 1; i < fitted.size(); ++i) {
            EXPECT_GE(fitted[i].start, fitted[i - 1].ramp ? fitted[i - 1].end : fitted[i - 1].start);
        }
    }
}

TEST(CurveFit, PointsNoRampWritesBecomeSteps) {
    // Values that move by uneven amounts on every tick.
    const std::vector<ImportedPoint> points{{0, 5}, {1, 9}, {2, 10}, {3, 30}, {4, 31}, {9, 2}};
    const std::vector<CurveGroup> fitted = fitCurve(points);
    expectSame(written(fitted), points);
}

}  // namespace

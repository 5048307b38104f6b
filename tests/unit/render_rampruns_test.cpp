// Tests of the ramp runs kept for a curve's read-out: what is found, what a range change and
// a full list of points forget, and the bound on what they hold.
#include <gtest/gtest.h>

#include <vector>

#include "render/RampRuns.h"

namespace {

RampRunKey key(int64_t length, uint16_t rest = 0) { return RampRunKey{0, 20, 36, 0, length, rest}; }

// Records a run of `count` points and keeps it for `k`.
void keepRun(RampRuns& runs, const RampRunKey& k, int count, int64_t endValue = 20) {
    for (int i = 0; i < count; ++i) runs.add(RampRunPoint{i * 2, i + 1});
    runs.keep(k, 3, count * 2 - 2, endValue);
}

TEST(RampRunsTest, KeptRunsAreFoundByTheirWholeKey) {
    RampRuns runs;
    runs.useRange(0, 127);
    RampRun run;
    EXPECT_FALSE(runs.find(key(36), run));
    keepRun(runs, key(36), 4);
    keepRun(runs, key(72), 2, 7);
    ASSERT_TRUE(runs.find(key(36), run));
    EXPECT_EQ(run.startValue, 3);
    ASSERT_EQ(run.points.size(), 4u);
    EXPECT_EQ(run.points[3].offset, 6);
    EXPECT_EQ(run.points[3].value, 4);
    EXPECT_EQ(run.lastMove, 6);
    EXPECT_EQ(run.endValue, 20);
    ASSERT_TRUE(runs.find(key(72), run));
    EXPECT_EQ(run.points.size(), 2u);
    EXPECT_EQ(run.endValue, 7);
    // Another sum of the other ranges, another step to start from: other runs.
    EXPECT_FALSE(runs.find(key(36, 1), run));
    EXPECT_FALSE(runs.find(RampRunKey{0, 20, 36, 1, 36, 0}, run));

    // A run that was dropped is not kept, and leaves nothing in the next one.
    runs.add(RampRunPoint{1, 99});
    runs.drop();
    keepRun(runs, key(108), 1);
    ASSERT_TRUE(runs.find(key(108), run));
    ASSERT_EQ(run.points.size(), 1u);
    EXPECT_EQ(run.points[0].value, 1);
}

TEST(RampRunsTest, AnotherRangeForgetsTheRunsAndTheSameKeepsThem) {
    RampRuns runs;
    runs.useRange(0, 127);
    keepRun(runs, key(36), 4);
    runs.useRange(0, 127);
    RampRun run;
    EXPECT_TRUE(runs.find(key(36), run));
    runs.useRange(-8192, 8191);
    EXPECT_FALSE(runs.find(key(36), run));
}

TEST(RampRunsTest, PointsAreBoundedAndTheNewestRunIsKept) {
    RampRuns runs;
    runs.useRange(0, 127);
    // Far more points than are kept: the list starts afresh when it is full.
    for (int64_t length = 1; length <= 2000; ++length) keepRun(runs, key(length), 256);
    RampRun run;
    ASSERT_TRUE(runs.find(key(2000), run));
    EXPECT_EQ(run.points.size(), 256u);
    EXPECT_EQ(run.points[255].value, 256);
    EXPECT_FALSE(runs.find(key(1), run));
}

}  // namespace

// The one rule of bars and of changes at one tick: the compiler places metre
// changes by it and the tempo map takes it, so the two never disagree on which
// change lays the bars after a tick.
#include <gtest/gtest.h>

#include "song/BarGrid.h"
#include "song/Song.h"
#include "song/TempoMap.h"

namespace {

TEST(BarGridTest, BarLinesFollowTheChangesAndTheLowestRankCountsAtATick) {
    BarGrid grid;
    EXPECT_EQ(grid.barLineFrom(100), 1920);  // 4/4 before any change
    grid.record(0, 3, 4, {2, 0});
    EXPECT_EQ(grid.barLineFrom(1441), 2880);
    grid.record(2880, 5, 8, {2, 1});
    // A change of an earlier track at the same tick lays the bars from there.
    grid.record(2880, 7, 8, {0, 4});
    EXPECT_EQ(grid.barLineFrom(2881), 2880 + 1680);
    // One of a later track does not.
    grid.record(2880, 2, 4, {1, 0});
    EXPECT_EQ(grid.barLineFrom(2881), 2880 + 1680);
    // A change recorded later in the song starts a bar of its own.
    grid.record(4000, 4, 4, {0, 5});
    EXPECT_EQ(grid.barLineFrom(3000), 4000);
}

TEST(BarGridTest, TheTempoMapTakesTheChangeTheGridCounts) {
    auto song = createSong();
    Track& first = song->appendTrack();
    Track& second = song->appendTrack();
    ControlEvent change;
    change.time = 1920;
    change.value = MetreChange{5, 8};
    second.controls.push_back(change);
    change.value = MetreChange{7, 8};
    first.controls.push_back(change);
    change.value = MetreChange{3, 8};
    first.controls.push_back(change);
    const TempoMap map = collectTempoMap(*song);
    ASSERT_EQ(map.metres.size(), 2u);
    EXPECT_EQ(map.metres[1].numerator, 7);  // track 0, the first of its track: rank {0, 0}
}

}  // namespace

// Tests of the tempo map: defaults at time 0, one change per time across tracks, and values
// that are not positive.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "song/Song.h"
#include "song/TempoMap.h"

namespace {

void addControl(Track& track, int32_t time, ControlValue value) {
    ControlEvent& event = track.controls.emplace_back();
    event.time = time;
    event.value = std::move(value);
}

std::vector<std::pair<int32_t, int32_t>> tempos(const TempoMap& map) {
    std::vector<std::pair<int32_t, int32_t>> out;
    for (const TempoMark& mark : map.tempos) out.emplace_back(mark.time, mark.bpm);
    return out;
}

std::vector<std::vector<int32_t>> metres(const TempoMap& map) {
    std::vector<std::vector<int32_t>> out;
    for (const MetreMark& mark : map.metres) {
        out.push_back({mark.time, mark.numerator, mark.denominator});
    }
    return out;
}

TEST(TempoMapTest, ASongWithoutChangesHasTheDefaultsAtTimeZero) {
    auto song = createSong();
    addControl(song->appendTrack(), 480, TempoChange{90});
    const TempoMap map = collectTempoMap(*song);
    EXPECT_EQ(tempos(map), (std::vector<std::pair<int32_t, int32_t>>{{0, 120}, {480, 90}}));
    EXPECT_EQ(metres(map), (std::vector<std::vector<int32_t>>{{0, 4, 4}}));
}

TEST(TempoMapTest, OneChangePerTimeInTimeOrderTheFirstTracksFirst) {
    auto song = createSong();
    Track& first = song->appendTrack();
    addControl(first, 960, TempoChange{60});
    addControl(first, 960, TempoChange{70});
    addControl(first, 0, MetreChange{3, 4});
    Track& second = song->appendTrack();
    addControl(second, 0, TempoChange{150});
    addControl(second, 480, TempoChange{200});
    addControl(second, 960, TempoChange{80});
    addControl(second, 0, MetreChange{2, 4});
    addControl(second, 1920, MetreChange{6, 8});
    const TempoMap map = collectTempoMap(*song);
    EXPECT_EQ(tempos(map),
              (std::vector<std::pair<int32_t, int32_t>>{{0, 150}, {480, 200}, {960, 60}}));
    EXPECT_EQ(metres(map), (std::vector<std::vector<int32_t>>{{0, 3, 4}, {1920, 6, 8}}));
}

TEST(TempoMapTest, ValuesNotPositiveLeaveTheValueInForce) {
    auto song = createSong();
    Track& track = song->appendTrack();
    addControl(track, 0, TempoChange{0});
    addControl(track, 0, TempoChange{90});  // not the first at time 0
    addControl(track, 480, TempoChange{-5});
    addControl(track, 0, MetreChange{3, 0});
    addControl(track, 480, MetreChange{0, 4});
    addControl(track, 960, MetreChange{7, 8});
    const TempoMap map = collectTempoMap(*song);
    EXPECT_EQ(tempos(map), (std::vector<std::pair<int32_t, int32_t>>{{0, 120}}));
    EXPECT_EQ(metres(map), (std::vector<std::vector<int32_t>>{{0, 4, 4}, {960, 7, 8}}));
}


// The changes come in time order; at one time the tie order decides, and a
// file that wants the tempo first gets it first, and the other way round.
TEST(TempoMapTest, ChangesMergeByTimeWithTheTieOrderAsked) {
    TempoMap map;
    map.tempos = {{0, 120}, {960, 90}, {1920, 60}};
    map.metres = {{0, 4, 4}, {960, 3, 4}, {1440, 2, 4}};
    const auto merged = [&](TieOrder ties) {
        std::vector<std::string> out;
        forEachChange(
            map, ties,
            [&](const TempoMark& m) { out.push_back("t" + std::to_string(m.time)); },
            [&](const MetreMark& m) { out.push_back("m" + std::to_string(m.time)); });
        return out;
    };
    EXPECT_EQ(merged(TieOrder::TempoFirst),
              (std::vector<std::string>{"t0", "m0", "t960", "m960", "m1440", "t1920"}));
    EXPECT_EQ(merged(TieOrder::MetreFirst),
              (std::vector<std::string>{"m0", "t0", "m960", "t960", "m1440", "t1920"}));
}

}  // namespace

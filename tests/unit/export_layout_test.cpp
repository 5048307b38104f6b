// The score's layout: note values of a duration, measures from the metre map,
// and voices for overlapping notes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "export/ScoreLayout.h"

namespace {

// "quarter.", "128th", "?" for a value without a type, joined by blanks.
std::string valuesOf(int64_t ticks) {
    std::vector<NoteValue> values;
    splitIntoNoteValues(ticks, values);
    std::string text;
    int64_t sum = 0;
    for (const NoteValue& value : values) {
        if (!text.empty()) text += ' ';
        text += value.type != nullptr ? value.type : "?";
        text.append(static_cast<size_t>(value.dots), '.');
        sum += value.ticks;
    }
    EXPECT_EQ(sum, ticks);
    return text;
}

TEST(NoteValues, DurationsAreWrittenWithTypesAndDotsWhereTheyExist) {
    EXPECT_EQ(valuesOf(480), "quarter");
    EXPECT_EQ(valuesOf(720), "quarter.");
    EXPECT_EQ(valuesOf(840), "quarter..");
    EXPECT_EQ(valuesOf(15), "128th");
    EXPECT_EQ(valuesOf(1920 * 4), "long");
    // Three dots are not used: the rest is tied on.
    EXPECT_EQ(valuesOf(900), "quarter.. 32nd");
    // What no type shows is split into pieces; a remainder below the shortest
    // type has none.
    EXPECT_EQ(valuesOf(100), "32nd. ?");
    EXPECT_EQ(valuesOf(7), "?");
    EXPECT_EQ(valuesOf(0), "");
}

TEST(Measures, FollowTheMetreAndAreCutWhereItChangesInside) {
    const std::vector<MetreMark> metres = {{0, 4, 4}, {1920, 3, 4}, {3000, 6, 8}};
    const std::vector<Measure> measures = layMeasures(metres, 5000, 100);
    std::vector<std::pair<int64_t, int64_t>> spans;
    std::vector<bool> changes;
    for (const Measure& m : measures) {
        spans.push_back({m.start, m.end});
        changes.push_back(m.metreChanges);
    }
    const std::vector<std::pair<int64_t, int64_t>> want = {
        {0, 1920}, {1920, 3000}, {3000, 4440}, {4440, 5880}};
    EXPECT_EQ(spans, want);
    EXPECT_EQ(changes, (std::vector<bool>{true, true, true, false}));
    EXPECT_EQ(measures[2].metre->numerator, 6);
}

TEST(Measures, AnEmptySongHasOneMeasureAndTheLimitStopsTheList) {
    const std::vector<MetreMark> metres = {{0, 1, 32}};
    EXPECT_EQ(layMeasures(metres, 0, 10).size(), 1u);
    EXPECT_EQ(layMeasures(metres, 60 * 1000, 10).size(), 11u);
}

TEST(Voices, OverlappingNotesGoToTheLowestFreeVoice) {
    const std::vector<ScoreNote> notes = {
        {0, 960}, {480, 1440}, {960, 1920}, {960, 1200}, {1440, 1920}, {1920, 2400}};
    const std::vector<size_t> want = {0, 1, 0, 2, 1, 0};
    EXPECT_EQ(assignVoices(notes), want);
}

}  // namespace

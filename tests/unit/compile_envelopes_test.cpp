// Tests of envelopes: the table's definitions and point placement, the @DE and
// @LE commands, and the envelope events laid when notes receive their lyrics.
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "CompileTestSupport.h"
#include "compile/Compiler.h"
#include "compile/EnvelopeTable.h"
#include "diag/Messages.h"
#include "diag/Reporter.h"
#include "song/CommandCode.h"
#include "song/Song.h"
#include "text/StringPool.h"

namespace {

using Points = std::array<int32_t, 6>;

using compiletest::num;
using compiletest::nums;

// --- the table on its own ---

// The points of the definition of `number` over a span of `length` ticks; false when the
// number has none.
bool placed(const EnvelopeTable& table, int number, int32_t length, EnvelopePoints& out) {
    const EnvelopeDefinition* definition = table.find(number);
    if (definition == nullptr) return false;
    out = placeEnvelope(definition->shape, length);
    return true;
}

TEST(EnvelopeTableTest, DefineChecksPositionsPerTypeAndKeepsTheOldDefinition) {
    auto table = createEnvelopeTable();
    EXPECT_FALSE(table->isDefined(1));
    EXPECT_TRUE(table->define(1, 3, nums({1, -500, 7}).data()));
    EXPECT_TRUE(table->isDefined(1));
    EXPECT_FALSE(table->define(1, 3, nums({1, 50001, 7}).data()));
    EXPECT_FALSE(table->define(1, 5, nums({0, 0, 1, 201, 2}).data()));
    EXPECT_FALSE(table->define(1, 3, nums({0, -101, 1}).data()));
    EXPECT_FALSE(table->define(1, 2, nums({0, 0}).data()));
    EXPECT_FALSE(table->define(1, 3, nums({4, 0, 0}).data()));
    EXPECT_FALSE(table->define(-1, 3, nums({0, 0, 0}).data()));
    EXPECT_FALSE(table->define(INT_MAX, 3, nums({0, 0, 0}).data()));

    EnvelopePoints event;
    ASSERT_TRUE(placed(*table, 1, 480, event));
    // The points not given lie at 0, after the first point, so they are kept.
    EXPECT_EQ(event.positions, (Points{-500, 0, 0, 0, 0, 0}));
    EXPECT_EQ(event.values, (Points{7, 0, 0, 0, 0, 0}));
    EXPECT_FALSE(placed(*table, 2, 480, event));
    EXPECT_FALSE(placed(*table, -3, 480, event));
}

TEST(EnvelopeTableTest, PositionsPerTypeNeverDecrease) {
    auto table = createEnvelopeTable();
    // An unpaired last parameter is ignored.
    ASSERT_TRUE(table->define(1, 8, nums({0, 0, 1, 50, 2, 100, 3, 999}).data()));
    ASSERT_TRUE(table->define(2, 5, nums({2, 100, 1, 0, 2}).data()));
    ASSERT_TRUE(table->define(3, 13, nums({3, 0, 1, 50, 2, 100, 3, 100, 4, 50, 5, 0, 6}).data()));
    ASSERT_TRUE(table->define(4, 7, nums({1, 100, 1, 50, 2, 200, 3}).data()));
    ASSERT_TRUE(table->define(5, 3, nums({2, 100, 1}).data()));

    EnvelopePoints event;
    ASSERT_TRUE(placed(*table, 1, 480, event));
    EXPECT_EQ(event.positions, (Points{0, 240, 480, 480, 480, 480}));
    EXPECT_EQ(event.values, (Points{1, 2, 3, 3, 3, 3}));
    ASSERT_TRUE(placed(*table, 2, 480, event));
    EXPECT_EQ(event.positions, (Points{380, 480, 480, 480, 480, 480}));
    EXPECT_EQ(event.values, (Points{1, 2, 2, 2, 2, 2}));
    ASSERT_TRUE(placed(*table, 3, 1000, event));
    EXPECT_EQ(event.positions, (Points{0, 50, 100, 900, 950, 1000}));
    EXPECT_EQ(event.values, (Points{1, 2, 3, 4, 5, 6}));
    ASSERT_TRUE(placed(*table, 4, 1000, event));
    EXPECT_EQ(event.positions, (Points{100, 100, 200, 200, 200, 200}));
    EXPECT_EQ(event.values, (Points{1, 1, 3, 3, 3, 3}));
    // Points not given sit at the span's end with value 0 for type 2.
    ASSERT_TRUE(placed(*table, 5, 480, event));
    EXPECT_EQ(event.positions, (Points{380, 480, 480, 480, 480, 480}));
    EXPECT_EQ(event.values, (Points{1, 0, 0, 0, 0, 0}));
}

TEST(EnvelopeTableTest, HugeSpansSaturate) {
    auto table = createEnvelopeTable();
    ASSERT_TRUE(table->define(1, 5, nums({0, -100, 1, 200, 2}).data()));
    ASSERT_TRUE(table->define(2, 3, nums({2, -500, 1}).data()));
    EnvelopePoints event;
    ASSERT_TRUE(placed(*table, 1, INT_MAX, event));
    EXPECT_EQ(event.positions[0], -INT_MAX);
    EXPECT_EQ(event.positions[1], INT_MAX);
    ASSERT_TRUE(placed(*table, 2, INT_MAX, event));
    EXPECT_EQ(event.positions[0], INT_MAX);
}

// --- the commands, through the compiler ---

class EnvelopesTest : public testing::Test {
protected:
    void SetUp() override {
        compiler_->setSong(song_.get());
        compiler_->setStrings(pool_.get());
    }

    // Runs one command and returns what it printed.
    std::string run(const char* name, std::initializer_list<int32_t> values = {}) {
        return compiletest::printedBy(
            [&] { compiletest::send(*compiler_, commandCode(name), nums(values), source_); });
    }
    void note(int32_t ticks) { run("C", {0, ticks}); }
    // Gives `count` notes a bracketed lyric each.
    void lyrics(int count) {
        std::u16string codes;
        for (int i = 0; i < count; ++i) codes += u"[a]";
        compiler_->lyrics(codes.c_str(), source_.place());
    }
    static std::string report(const char* level, std::string_view message,
                              std::string_view detail = {}) {
        return compiletest::reportLine(level, 5, message, detail);
    }
    std::vector<EnvelopeEvent>& events() { return song_->track(0).envelopes; }
    // The points of envelope `index` over its span, from the shape it names.
    EnvelopePoints placed(size_t index) {
        const Track& track = song_->track(0);
        const EnvelopeEvent& event = track.envelopes.at(index);
        const EnvelopeShape& shape = track.envelopeShapes.at(static_cast<size_t>(event.shape));
        return placeEnvelope(shape, event.length);
    }

    std::unique_ptr<Song> song_ = createSong();
    std::unique_ptr<StringPool> pool_ = createStringPool();
    compiletest::TestSource source_{5};
    std::unique_ptr<Compiler> compiler_ = createCompiler(source_.diagnostics());
};

TEST_F(EnvelopesTest, LaidWhenANoteReceivesItsLyric) {
    EXPECT_EQ(run("@DE", {1, 2, 100, 10, 0, 20}), "");
    EXPECT_EQ(run("@LE", {1, 1, 1}), "");
    run("R", {240});
    note(480);
    note(480);
    EXPECT_TRUE(events().empty());  // no lyric yet
    lyrics(1);
    ASSERT_EQ(events().size(), 1u);
    EXPECT_EQ(events()[0].time, 240);
    EXPECT_EQ(events()[0].curve, 1);
    EXPECT_EQ(events()[0].length, 480);
    EXPECT_EQ(placed(0).positions, (Points{380, 480, 480, 480, 480, 480}));
    EXPECT_EQ(placed(0).values, (Points{10, 20, 20, 20, 20, 20}));
}

TEST_F(EnvelopesTest, SpanCoversJoinedNotesAndJoinedNotesGetNone) {
    run("@DE", {2, 0, 0, 5, 50, 6, 100, 7});
    run("@LE", {3, 2, 2});
    note(480);
    run("&");
    note(480);
    run("Q", {4});
    note(480);
    lyrics(3);
    ASSERT_EQ(events().size(), 2u);
    EXPECT_EQ(events()[0].time, 0);
    EXPECT_EQ(events()[0].curve, 3);
    EXPECT_EQ(events()[0].length, 960);
    EXPECT_EQ(placed(0).positions, (Points{0, 480, 960, 960, 960, 960}));
    EXPECT_EQ(events()[1].time, 960);
    EXPECT_EQ(events()[1].length, 240);
    EXPECT_EQ(placed(1).positions, (Points{0, 120, 240, 240, 240, 240}));
}

TEST_F(EnvelopesTest, CurvesInOrderThenSlotsOneToFour) {
    run("@DE", {1, 1, 0, 1});
    run("@DE", {2, 1, 0, 2});
    run("@LE", {5, 4, 1});
    run("@LE", {1, 2, 1});
    run("@LE", {1, 1, 2});
    run("@LE", {1, 0, 1});  // slots 0 and 5..9 are kept but not laid
    run("@LE", {1, 5, 1});
    note(480);
    lyrics(1);
    ASSERT_EQ(events().size(), 3u);
    EXPECT_EQ(events()[0].curve, 1);
    EXPECT_EQ(placed(0).values[0], 2);
    EXPECT_EQ(events()[1].curve, 1);
    EXPECT_EQ(placed(1).values[0], 1);
    EXPECT_EQ(events()[2].curve, 5);

    EXPECT_EQ(run("@LE", {1, 3, 0}), "");  // number 0 empties every slot of curve 1
    note(480);
    lyrics(1);
    ASSERT_EQ(events().size(), 4u);
    EXPECT_EQ(events()[3].curve, 5);
    EXPECT_EQ(events()[3].time, 480);
}

TEST_F(EnvelopesTest, LastCurveAndSlotLaidAndASlotSetAgainLaidOnce) {
    run("@DE", {1, 1, 0, 1});
    run("@DE", {2, 1, 0, 2});
    run("@LE", {9, 4, 1});
    run("@LE", {1, 1, 1});
    run("@LE", {1, 1, 2});  // replaces the envelope of slot 1
    run("@LE", {9, 3, 0});  // empties curve 9 and no other
    run("@LE", {9, 4, 2});
    note(480);
    lyrics(1);
    ASSERT_EQ(events().size(), 2u);
    EXPECT_EQ(events()[0].curve, 1);
    EXPECT_EQ(placed(0).values[0], 2);
    EXPECT_EQ(events()[1].curve, 9);
    EXPECT_EQ(placed(1).values[0], 2);
}

TEST_F(EnvelopesTest, DefinitionErrorsKeepTheOldDefinition) {
    run("@DE", {1, 0, 0, 10, 100, 20});
    EXPECT_EQ(run("@DE", {1, 0, 201, 30, 0, 40}), report("ERROR", msg::kEnvelopeParamError));
    EXPECT_EQ(run("@DE", {1, 1, 0, 30, 50001, 40}), report("ERROR", msg::kEnvelopeParamError));
    EXPECT_EQ(run("@DE", {1, 3, -501, 30}), report("ERROR", msg::kEnvelopeParamError));
    run("@LE", {2, 1, 1});
    note(480);
    lyrics(1);
    ASSERT_EQ(events().size(), 1u);
    EXPECT_EQ(placed(0).positions, (Points{0, 480, 480, 480, 480, 480}));
    EXPECT_EQ(placed(0).values, (Points{10, 20, 20, 20, 20, 20}));

    // A valid definition replaces the old one for the notes that follow.
    EXPECT_EQ(run("@DE", {1, 1, 30, 5}), "");
    note(480);
    lyrics(1);
    ASSERT_EQ(events().size(), 2u);
    EXPECT_EQ(placed(1).positions, (Points{30, 30, 30, 30, 30, 30}));
    EXPECT_EQ(placed(1).values, (Points{5, 5, 5, 5, 5, 5}));
    // The envelope laid before keeps the shape it was laid with.
    EXPECT_EQ(placed(0).values, (Points{10, 20, 20, 20, 20, 20}));

    // Notes laid with one definition share its shape; each definition is kept once.
    note(480);
    note(480);
    lyrics(2);
    ASSERT_EQ(events().size(), 4u);
    EXPECT_EQ(events()[3].shape, events()[1].shape);
    EXPECT_EQ(song_->track(0).envelopeShapes.size(), 2u);
}

TEST_F(EnvelopesTest, DefinitionChecks) {
    EXPECT_EQ(run("@DE", {1, 0, 0}), report("ERROR", msg::kTooFewParams));
    EXPECT_EQ(run("@DE", {0, 0, 0, 1}), report("ERROR", msg::kOutOfRange));
    EXPECT_EQ(run("@DE", {128, 0, 0, 1}), report("ERROR", msg::kOutOfRange));
    EXPECT_EQ(run("@DE", {1, 4, 0, 1}), report("ERROR", msg::kOutOfRange));
    EXPECT_EQ(run("@LE", {1, 1, 1}), report("ERROR", msg::kUndefinedEnvelope));
    const std::vector<CommandParam> withString = {num(1), num(0), num(0), {ParamString, 1}};
    EXPECT_EQ(compiletest::printedBy(
                  [&] { compiletest::send(*compiler_, commandCode("@DE"), withString, source_); }),
              report("ERROR", msg::kNumberRequired));
}

TEST_F(EnvelopesTest, AssignmentChecks) {
    run("@DE", {1, 1, 0, 1});
    EXPECT_EQ(run("@LE", {1, 1, 1, 0, 0}), report("ERROR", msg::kTooManyParams));
    EXPECT_EQ(run("@LE", {0, 1, 1}), report("ERROR", msg::kOutOfRange));
    EXPECT_EQ(run("@LE", {10, 1, 1}), report("ERROR", msg::kOutOfRange));
    EXPECT_EQ(run("@LE", {1, 10, 1}), report("ERROR", msg::kOutOfRange));
    EXPECT_EQ(run("@LE", {1, 1, 2}), report("ERROR", msg::kUndefinedEnvelope));
    EXPECT_EQ(run("@LE", {1, 1, -1}), report("ERROR", msg::kUndefinedEnvelope));
    note(480);
    lyrics(1);
    EXPECT_TRUE(events().empty());

    // A scale is accepted with a warning and changes nothing.
    const int warningsBefore = getReporter().warningCount();
    EXPECT_EQ(run("@LE", {9, 4, 1, 3}), report("WARN", msg::kScaleNotImplemented));
    EXPECT_EQ(getReporter().warningCount(), warningsBefore + 1);
    EXPECT_EQ(run("@LE", {9, 3, 1, 0}), "");
    note(480);
    lyrics(1);
    ASSERT_EQ(events().size(), 2u);
    EXPECT_EQ(events()[0].curve, 9);
    EXPECT_EQ(placed(0).positions, placed(1).positions);
}

}  // namespace

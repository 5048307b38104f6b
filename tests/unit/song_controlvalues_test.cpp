// Tests of control events: what the compiler writes reads back as the record
// of its kind and no other, and a control counts the values its command gave
// it, as loop copies charge them against the song's budget.
#include <gtest/gtest.h>

#include <vector>

#include "song/ControlValues.h"

namespace {

TEST(ControlValuesTest, EachKindReadsBackWhatWasSetAndNoOtherKind) {
    ControlEvent event;
    setTempo(event, {150});
    ASSERT_TRUE(event.as<TempoChange>());
    EXPECT_EQ(event.as<TempoChange>()->bpm, 150);
    EXPECT_FALSE(event.as<MetreChange>());
    EXPECT_EQ(valueCountOf(event.value), 1);

    setMetre(event, {3, 8});
    ASSERT_TRUE(event.as<MetreChange>());
    EXPECT_EQ(event.as<MetreChange>()->denominator, 8);
    EXPECT_FALSE(event.as<TempoChange>());

    setSinger(event, {.program = 4, .language = 1, .nameId = 7});
    ASSERT_TRUE(event.as<SingerChange>());
    EXPECT_EQ(event.as<SingerChange>()->language, 1);
    EXPECT_EQ(valueCountOf(event.value), 3);
}

TEST(ControlValuesTest, CurvePointsAndEnvelopeStepsComeBackInOrderAndCount) {
    ControlEvent curve;
    startCurve(curve, 8, 2);
    addCurvePoint(curve, {-100, 0, 240, 1});
    addCurvePoint(curve, {50, 10, -1, 0});
    const CurveChange* read = curve.as<CurveChange>();
    ASSERT_TRUE(read);
    EXPECT_EQ(read->curveId, 8);
    ASSERT_EQ(read->points.size(), 2u);
    EXPECT_EQ(read->points[1].gap, 10);
    EXPECT_EQ(read->points[1].duration, -1);
    EXPECT_EQ(valueCountOf(curve.value), 9);  // the id and four numbers a point

    ControlEvent envelope;
    startParameterEnvelope(envelope, 1, 3, -20, 2);
    addEnvelopeStep(envelope, {10, 480});
    addEnvelopeStep(envelope, {-5, 0});
    const ParameterEnvelope* steps = envelope.as<ParameterEnvelope>();
    ASSERT_TRUE(steps);
    EXPECT_EQ(steps->curveId, 3);
    EXPECT_EQ(steps->offset, -20);
    ASSERT_EQ(steps->steps.size(), 2u);
    EXPECT_EQ(steps->steps[1].value, -5);
    EXPECT_EQ(valueCountOf(envelope.value), 7);  // shape, curve, offset and two a step
    EXPECT_FALSE(envelope.as<CurveChange>());
}

}  // namespace

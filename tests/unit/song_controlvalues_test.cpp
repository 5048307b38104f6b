// Tests of the typed forms of control events: what the compiler writes reads
// back the same, and a control of another subtype or too short reads as absent.
#include <gtest/gtest.h>

#include <vector>

#include "song/ControlValues.h"

namespace {

ControlEvent control(int32_t subtype, std::vector<int32_t> values) {
    ControlEvent event;
    event.subtype = subtype;
    event.values = std::move(values);
    return event;
}

TEST(ControlValuesTest, EachSubtypeReadsBackWhatWasSet) {
    ControlEvent event;
    setTempo(event, {150});
    EXPECT_EQ(event.values, (std::vector<int32_t>{150}));
    EXPECT_EQ(tempoControl(event)->bpm, 150);
    EXPECT_FALSE(metreControl(event));

    setMetre(event, {3, 8});
    EXPECT_EQ(event.subtype, ControlTimeSignature);
    EXPECT_EQ(metreControl(event)->numerator, 3);
    EXPECT_EQ(metreControl(event)->denominator, 8);
    EXPECT_FALSE(tempoControl(event));

    // The singer is stored program first, then language, then the name.
    setSinger(event, {.program = 4, .language = 1, .nameId = 7});
    EXPECT_EQ(event.values, (std::vector<int32_t>{4, 1, 7}));
    EXPECT_EQ(singerControl(event)->language, 1);
}

TEST(ControlValuesTest, CurvePointsAndEnvelopeStepsComeBackInOrder) {
    ControlEvent curve;
    startCurve(curve, 8, 2);
    addCurvePoint(curve, {-100, 0, 240, 1});
    addCurvePoint(curve, {50, 10, -1, 0});
    EXPECT_EQ(curve.values, (std::vector<int32_t>{8, -100, 0, 240, 1, 50, 10, -1, 0}));
    const auto read = curveControl(curve);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->curveId, 8);
    ASSERT_EQ(read->pointCount(), 2u);
    EXPECT_EQ(read->point(1).gap, 10);
    EXPECT_EQ(read->point(1).duration, -1);

    ControlEvent envelope;
    startParameterEnvelope(envelope, 1, 3, -20, 2);
    addEnvelopeStep(envelope, {10, 480});
    addEnvelopeStep(envelope, {-5, 0});
    const auto steps = parameterEnvelopeControl(envelope);
    ASSERT_TRUE(steps);
    EXPECT_EQ(steps->curveId, 3);
    EXPECT_EQ(steps->offset, -20);
    ASSERT_EQ(steps->stepCount(), 2u);
    EXPECT_EQ(steps->step(1).value, -5);
}

TEST(ControlValuesTest, ShortOrForeignControlsReadAsAbsentOrCutShort) {
    EXPECT_FALSE(tempoControl(control(ControlTempo, {})));
    EXPECT_FALSE(metreControl(control(ControlTimeSignature, {3})));
    EXPECT_FALSE(curveControl(control(ControlCurve, {})));
    EXPECT_FALSE(curveControl(control(ControlTempo, {1, 2, 3, 4, 5})));
    EXPECT_FALSE(parameterEnvelopeControl(control(ControlParameterEnvelope, {1})));
    // A missing singer value reads as 0; an incomplete point or step is left out.
    const auto singer = singerControl(control(ControlSinger, {9}));
    ASSERT_TRUE(singer);
    EXPECT_EQ(singer->program, 9);
    EXPECT_EQ(singer->nameId, 0);
    EXPECT_EQ(curveControl(control(ControlCurve, {1, 5, 0, 0, 0, 6, 0}))->pointCount(), 1u);
    const auto noOffset = parameterEnvelopeControl(control(ControlParameterEnvelope, {0, 2}));
    ASSERT_TRUE(noOffset);
    EXPECT_EQ(noOffset->stepCount(), 0u);
    EXPECT_EQ(parameterEnvelopeControl(control(ControlParameterEnvelope, {0, 2, 0, 5, 1, 7}))
                  ->stepCount(),
              1u);
}

}  // namespace

// SPDX-License-Identifier: GPL-3.0-or-later
#include "editing_fixture.h"

#include "operations/clipboard.h"
#include "operations/effects.h"
#include "record/errors.h"

#include <ostream>

using operations::state;
using testsupport::EditingTest;
using testsupport::operator+;
using testsupport::Range;

namespace {

struct AmplifyCase {
    int percent;
    int16_t sample;
    int16_t expected;
};

std::ostream& operator<<(std::ostream& os, const AmplifyCase& c) {
    return os << c.percent << "% of " << c.sample;
}

class Amplify : public EditingTest, public ::testing::WithParamInterface<AmplifyCase> {};

TEST_P(Amplify, RoundsHalvesToEvenAndWrapsPastFullScale) {
    WriteConstantBlock(10, GetParam().sample, -GetParam().sample);
    WriteConstantBlock(11, GetParam().sample, -GetParam().sample);
    Select(10, 11);
    operations::Amplify(GetParam().percent);
    EXPECT_EQ(state.CurrentLevel, 1);
    for (uint32_t p : {10u, 11u}) {
        EXPECT_EQ(Sample(p, 0).first, GetParam().expected);
        EXPECT_EQ(Sample(p, record::BlockFrames - 1).second, int16_t(-GetParam().expected));
    }
    const record::BlockPeaks peaks = *operations::LookupPeaks(10);
    EXPECT_EQ(peaks.maxL, GetParam().expected);
    EXPECT_EQ(peaks.minR, int16_t(-GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(Effects, Amplify,
                         ::testing::Values(AmplifyCase{200, 20000, -25536}, // 40000 wraps
                                           AmplifyCase{0, 1234, 0}, AmplifyCase{-100, 1234, -1234},
                                           AmplifyCase{150, 3, 4},  // 4.5
                                           AmplifyCase{150, 5, 8},  // 7.5
                                           AmplifyCase{50, -3, -2}, // -1.5
                                           AmplifyCase{1000, 100, 1000}));

TEST_F(EditingTest, AmplifyBy100PercentOrWithNothingSelectedAddsNoLevel) {
    Select(10, 20);
    operations::Amplify(100);
    Select(10, 10);
    operations::Amplify(50);
    operations::Normalize();
    operations::FadeIn();
    EXPECT_EQ(state.CurrentLevel, 0);
    EXPECT_EQ(state.EditStream.Blocks(), 0u);
}

struct NormalizeCase {
    const char* name;
    int16_t left, right; // the selection's samples, peaks to match
    float factor;
    int clippingLevel;
    int16_t leftAfter;
};

std::ostream& operator<<(std::ostream& os, const NormalizeCase& c) {
    return os << c.name;
}

class Normalize : public EditingTest, public ::testing::WithParamInterface<NormalizeCase> {};

TEST_P(Normalize, ScalesTheLargestMagnitudeToFullScale) {
    const NormalizeCase& c = GetParam();
    WriteConstantBlock(5, c.left, c.right);
    WriteConstantBlock(6, 0, 0);
    Select(5, 6);
    EXPECT_EQ(operations::ClippingLevel(), c.clippingLevel);
    operations::Normalize();
    EXPECT_FLOAT_EQ(state.NormalizeFactor, c.factor);
    EXPECT_EQ(Sample(5).first, c.leftAfter);
    EXPECT_EQ(Sample(6).first, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Effects, Normalize,
    ::testing::Values(NormalizeCase{"Half", 16384, -100, 32767.0f / 16384, 200, 32767},
                      NormalizeCase{"NegativeHalf", 100, -16384, 32767.0f / 16384, 200, 200},
                      NormalizeCase{"ReachesMinusFullScale", 1000, -32768, 1.0f, 100, 1000},
                      NormalizeCase{"Silence", 0, 0, 32767.0f, 3276700, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(EditingTest, FadesAreLinearOverTheWholeSelection) {
    WriteConstantBlock(3, 8820, 8820);
    WriteConstantBlock(4, 8820, -8820);
    Select(3, 4);
    operations::FadeIn();
    EXPECT_EQ(Sample(3, 0).first, 1); // one step of 1/8820
    EXPECT_EQ(Sample(3, record::BlockFrames - 1).first, 4410);
    EXPECT_EQ(Sample(4, 0).second, -4411);
    EXPECT_EQ(Sample(4, record::BlockFrames - 1).second, -8820); // gain 1 at the last frame

    operations::Undo();
    operations::FadeOut();
    EXPECT_EQ(Sample(3, 0).first, 8819);
    EXPECT_EQ(Sample(4, record::BlockFrames - 1).first, 0);
    EXPECT_EQ(state.SelStart, 3u);
    EXPECT_EQ(state.SelEnd, 4u);
}

TEST_F(EditingTest, AnEffectInsideOneSegmentSplitsItInThree) {
    Select(20, 29);
    operations::Amplify(-100);
    EXPECT_EQ(operations::CurrentLevel().SegmentCount, 3);
    EXPECT_EQ(state.FileBlocks, RecordingBlocks);
    std::vector<int> expected = Range(1, 19);
    for (int k = 20; k <= 29; ++k) {
        expected.push_back(-k);
    }
    EXPECT_EQ(Sound(), expected + Range(30, 60));
}

TEST_F(EditingTest, AnEffectOverAPastedRunProcessesEachBlockOnceInOrder) {
    Select(1, 3);
    operations::Copy();
    Select(10, 10);
    operations::Paste(); // 1..10, 1..3, 11..60; edit blocks 1..3
    Select(9, 15);
    operations::Amplify(-100);
    EXPECT_EQ(state.EditStream.Blocks(), 3u + 7u);
    const std::vector<int> processed{-9, -10, -1, -2, -3, -11, -12};
    EXPECT_EQ(Sound(), Range(1, 8) + processed + Range(13, 60));
    // Undo gives back the pasted run unprocessed.
    operations::Undo();
    EXPECT_EQ(Sound(), Range(1, 10) + Range(1, 3) + Range(11, 60));
}

TEST_F(EditingTest, AnEffectThatWouldOverfillTheListWritesNothing) {
    // A level of 100 segments that do not continue each other; the 30th holds 4 blocks.
    operations::Level& level = state.Levels[0];
    level.SegmentCount = operations::MaxSegments;
    for (int i = 0; i < operations::MaxSegments; ++i) {
        level.Segments[i] = operations::Segment{0, 1, 1u + (i % 2) * 10, 1};
    }
    level.Segments[29] = operations::Segment{0, 4, 40, 1};
    operations::RenumberStarts(level);
    state.FileBlocks = level.FileBlocks;
    Select(31, 32); // strictly inside the 4-block segment
    EXPECT_THROW(operations::Normalize(), record::UserError);
    EXPECT_EQ(state.CurrentLevel, 0);
    EXPECT_EQ(state.EditStream.Blocks(), 0u);
}

} // namespace

// SPDX-License-Identifier: GPL-3.0-or-later
#include "editing_fixture.h"

#include "base/errors.h"
#include "support/editor_probe.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <ostream>

using testsupport::EditingTest;
using testsupport::operator+;
using testsupport::Range;

namespace {

struct AmplifyCase {
    int percent;
    int16_t left, right;
    int16_t leftAfter, rightAfter;
};

std::ostream& operator<<(std::ostream& os, const AmplifyCase& c) {
    return os << c.percent << "% of " << c.left << "/" << c.right;
}

class Amplify : public EditingTest, public ::testing::WithParamInterface<AmplifyCase> {};

TEST_P(Amplify, RoundsHalvesToEvenAndSaturatesAtFullScale) {
    const AmplifyCase& c = GetParam();
    WriteConstantBlock(10, c.left, c.right);
    WriteConstantBlock(11, c.left, c.right);
    Select(10, 11);
    E().Amplify(c.percent);
    EXPECT_EQ(E().UndoLevel(), 1);
    for (uint32_t p : {10u, 11u}) {
        EXPECT_EQ(Sample(p, 0), std::make_pair(c.leftAfter, c.rightAfter));
        EXPECT_EQ(Sample(p, base::BlockFrames - 1), std::make_pair(c.leftAfter, c.rightAfter));
    }
    const base::BlockPeaks peaks = *E().Peaks(10);
    EXPECT_EQ(peaks.maxL, c.leftAfter);
    EXPECT_EQ(peaks.minR, c.rightAfter);
}

INSTANTIATE_TEST_SUITE_P(Effects, Amplify,
                         ::testing::Values(AmplifyCase{200, 20000, -20000, 32767, -32768},
                                           AmplifyCase{-100, -32768, 32767, 32767, -32767},
                                           AmplifyCase{1000, 100, -100, 1000, -1000},
                                           AmplifyCase{0, 1234, -1234, 0, 0},
                                           AmplifyCase{150, 3, 5, 4, 8},    // 4.5 and 7.5
                                           AmplifyCase{50, -3, 3, -2, 2})); // -1.5 and 1.5

// sox is an independent judge for whole-number factors only: it rounds halves away from zero
// where we round them to even, and whole factors make no halves.
TEST_F(EditingTest, AmplifyByWholeFactorsMatchesSoxOnNoiseThatSaturates) {
    const std::string noise = dir_.file("noise.raw");
    const std::string raw = " -t raw -r 44100 -e signed -b 16 -c 2 ";
    ASSERT_EQ(std::system(("sox -D -n" + raw + noise + " synth 60 whitenoise norm -3").c_str()), 0);
    std::ifstream in(noise, std::ios::binary);
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), {});
    const uint32_t blocks = uint32_t(bytes.size() / base::BlockBytes);
    ASSERT_EQ(blocks, 600u);
    std::vector<int16_t> maxL(base::PeakArrayLength + 1), minL(maxL), maxR(maxL), minR(maxL);
    base::RawFile recording;
    recording.Create(dir_.file("noise-recording.raw"));
    for (uint32_t k = 1; k <= blocks; ++k) {
        recording.WriteBlock(k, bytes.data() + size_t(k - 1) * base::BlockBytes);
    }
    OpenOver(
        {recording, {maxL.data(), minL.data(), maxR.data(), minR.data()}, blocks, blocks, false});
    for (int factor : {2, 3}) {
        SCOPED_TRACE(factor);
        const std::string expectedPath = dir_.file("sox-" + std::to_string(factor) + ".raw");
        ASSERT_EQ(std::system(("sox -D" + raw + noise + raw + expectedPath + " vol " +
                               std::to_string(factor) + " 2>/dev/null")
                                  .c_str()),
                  0);
        std::ifstream expectedIn(expectedPath, std::ios::binary);
        const std::vector<unsigned char> expected((std::istreambuf_iterator<char>(expectedIn)), {});
        Select(1, blocks);
        E().Amplify(factor * 100);
        std::vector<unsigned char> ours(bytes.size());
        ASSERT_EQ(E().ReadPositions(1, blocks, ours.data()).positions, blocks);
        E().Undo();
        ASSERT_EQ(ours.size(), expected.size());
        // Both ends clip, so this also proves the saturation.
        int16_t lowest = 0, highest = 0;
        for (size_t i = 0; i + 1 < ours.size(); i += 2) {
            int16_t v;
            std::memcpy(&v, ours.data() + i, 2);
            lowest = std::min(lowest, v);
            highest = std::max(highest, v);
        }
        EXPECT_EQ(lowest, -32768);
        EXPECT_EQ(highest, 32767);
        EXPECT_TRUE(ours == expected)
            << "first difference at byte "
            << std::mismatch(ours.begin(), ours.end(), expected.begin()).first - ours.begin();
    }
}

TEST_F(EditingTest, AmplifyBy100PercentOrWithNothingSelectedAddsNoLevel) {
    Select(10, 20);
    E().Amplify(100);
    Select(10, 10);
    E().Amplify(50);
    E().Normalize();
    E().FadeIn();
    EXPECT_EQ(E().UndoLevel(), 0);
    EXPECT_EQ(E().EditFileBlocks(), 0u);
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
    EXPECT_EQ(E().ClippingLevel(), c.clippingLevel);
    EXPECT_FLOAT_EQ(E().SelectionNormalizeFactor(), c.factor);
    E().Normalize();
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

TEST_F(EditingTest, NormalizeFromStalePeaksClipsInsteadOfWrapping) {
    WriteConstantBlock(5, 30000, -30000);
    SetRecordingPeaks(5, 10000, 10000, -10000, -10000); // peaks of another recording
    Select(5, 6);
    E().Normalize();
    EXPECT_EQ(Sample(5), std::make_pair(int16_t(32767), int16_t(-32768)));
}

TEST_F(EditingTest, FadesAreLinearOverTheWholeSelection) {
    WriteConstantBlock(3, 8820, 8820);
    WriteConstantBlock(4, 8820, -8820);
    Select(3, 4);
    E().FadeIn();
    EXPECT_EQ(Sample(3, 0).first, 1); // one step of 1/8820
    EXPECT_EQ(Sample(3, base::BlockFrames - 1).first, 4410);
    EXPECT_EQ(Sample(4, 0).second, -4411);
    EXPECT_EQ(Sample(4, base::BlockFrames - 1).second, -8820); // gain 1 at the last frame

    E().Undo();
    E().FadeOut();
    EXPECT_EQ(Sample(3, 0).first, 8819);
    EXPECT_EQ(Sample(4, base::BlockFrames - 1).first, 0);
    EXPECT_EQ(E().CurrentSelection().SelStart, 3u);
    EXPECT_EQ(E().CurrentSelection().SelEnd, 4u);
}

TEST_F(EditingTest, AnEffectInsideOneSegmentSplitsItInThree) {
    Select(20, 29);
    E().Amplify(-100);
    EXPECT_EQ(E().CurrentList().SegmentCount, 3);
    EXPECT_EQ(E().Blocks(), RecordingBlocks);
    std::vector<int> expected = Range(1, 19);
    for (int k = 20; k <= 29; ++k) {
        expected.push_back(-k);
    }
    EXPECT_EQ(Sound(), expected + Range(30, 60));
}

TEST_F(EditingTest, AnEffectOverAPastedRunProcessesEachBlockOnceInOrder) {
    Select(1, 3);
    E().Copy();
    Select(10, 10);
    E().Paste(); // 1..10, 1..3, 11..60; edit blocks 1..3
    Select(9, 15);
    E().Amplify(-100);
    EXPECT_EQ(E().EditFileBlocks(), 3u + 7u);
    const std::vector<int> processed{-9, -10, -1, -2, -3, -11, -12};
    EXPECT_EQ(Sound(), Range(1, 8) + processed + Range(13, 60));
    // Undo gives back the pasted run unprocessed.
    E().Undo();
    EXPECT_EQ(Sound(), Range(1, 10) + Range(1, 3) + Range(11, 60));
}

TEST_F(EditingTest, AnEffectThatWouldOverfillTheListWritesNothing) {
    // A level of 100 segments that do not continue each other; the 30th holds 4 blocks.
    operations::State& state = operations::EditorProbe::Of(E());
    operations::Level& level = state.Levels[0];
    level.SegmentCount = operations::MaxSegments;
    for (int i = 0; i < operations::MaxSegments; ++i) {
        level.Segments[i] = operations::Segment{0, 1, 1u + (i % 2) * 10, 1};
    }
    level.Segments[29] = operations::Segment{0, 4, 40, 1};
    operations::RenumberStarts(level);
    state.FileBlocks = level.FileBlocks;
    Select(31, 32); // strictly inside the 4-block segment
    EXPECT_THROW(E().Normalize(), base::UserError);
    EXPECT_EQ(E().UndoLevel(), 0);
    EXPECT_EQ(E().EditFileBlocks(), 0u);
}

// A disk that fills in the middle of an effect or an insertion must leave the sound, the level
// and the selection as they were and hand the error to the caller.
struct FailedWriteCase {
    const char* name;
    void (*command)(operations::Editor&);
};

std::ostream& operator<<(std::ostream& os, const FailedWriteCase& c) {
    return os << c.name;
}

class FailedWrite : public EditingTest, public ::testing::WithParamInterface<FailedWriteCase> {};

TEST_P(FailedWrite, PublishesNothing) {
    Select(5, 25);
    int writes = 0;
    // The effect writes its run of 21 blocks at once: that write fails.
    FailWritesWhen([&](const std::string& path, int64_t) {
        return path == dir_.file("Edit.raw") && ++writes == 1;
    });
    try {
        GetParam().command(E());
        ADD_FAILURE() << "no error";
    } catch (const base::StreamWriteError& e) {
        EXPECT_STREQ(e.what(), "Stream write error");
    }
    files_.writeFault = nullptr;
    EXPECT_EQ(E().UndoLevel(), 0);
    EXPECT_EQ(E().TopLevel(), 0);
    EXPECT_EQ(E().CurrentSelection().SelStart, 5u);
    EXPECT_EQ(E().CurrentSelection().SelEnd, 25u);
    EXPECT_EQ(Sound(), Range(1, 60));
    EXPECT_FALSE(E().Running());
}

INSTANTIATE_TEST_SUITE_P(
    Effects, FailedWrite,
    ::testing::Values(FailedWriteCase{"Amplify", [](operations::Editor& e) { e.Amplify(50); }},
                      FailedWriteCase{"Normalize", [](operations::Editor& e) { e.Normalize(); }},
                      FailedWriteCase{"FadeIn", [](operations::Editor& e) { e.FadeIn(); }},
                      FailedWriteCase{"FadeOut", [](operations::Editor& e) { e.FadeOut(); }},
                      FailedWriteCase{"InsertSilence",
                                      [](operations::Editor& e) { e.InsertSilence(10); }}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace

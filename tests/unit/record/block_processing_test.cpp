// SPDX-License-Identifier: GPL-3.0-or-later
// DC correction, measurement, clip holds, level icon, recorded time and mode decoding.
#include "support/record_harness.h"

#include <cstring>
#include <ostream>

using namespace testsupport;

namespace {

class BlockProcessing : public RecordHarness {};

TEST_F(BlockProcessing, ReduceRemovesAConstantOffsetFromLaterBlocksAndTheFile) {
    device.SetGenerator(ScriptedCapture::Constant(500, -300));
    Run(50); // five seconds of monitoring fill the history
    driver.StatusTick();
    EXPECT_DOUBLE_EQ(state.ShownDcL, 500);
    EXPECT_DOUBLE_EQ(state.ShownDcR, -300);

    recorder.SetDcReduction(true);
    EXPECT_EQ(state.DcOffsetL, 500);
    EXPECT_EQ(state.DcOffsetR, -300);
    EXPECT_EQ(state.DcHistoryL[1], 0) << "histories start afresh";

    StartRecording(0);
    Run(40);
    EXPECT_DOUBLE_EQ(state.BlockMeanL, 0);
    EXPECT_DOUBLE_EQ(state.BlockMeanR, 0);
    driver.Run([&] { recorder.StopRecording(); });
    std::vector<uint8_t> block(base::BlockBytes, 0xFF);
    recorder.TakeFile().ReadBlock(state.FileBlocks, block.data());
    EXPECT_EQ(block, std::vector<uint8_t>(base::BlockBytes, 0))
        << "the file holds corrected samples";

    recorder.SetDcReduction(false);
    EXPECT_EQ(state.DcOffsetL, 0);
    EXPECT_EQ(state.DcOffsetR, 0);
}

TEST_F(BlockProcessing, ReduceWithAnEmptyHistoryKeepsTheOffsets) {
    probe.DcOffsetL = 12;
    recorder.SetDcReduction(true); // nothing measured yet: all entries 0
    EXPECT_EQ(state.DcOffsetL, 12);
}

struct ClampCase {
    int16_t sample;
    int offset;
    int16_t expected;
};

std::ostream& operator<<(std::ostream& os, const ClampCase& c) {
    return os << c.sample << " less " << c.offset;
}

class CorrectionClamps : public ::testing::TestWithParam<ClampCase> {};

TEST_P(CorrectionClamps, AtTheEndsOfTheRange) {
    const ClampCase c = GetParam();
    std::vector<uint8_t> block(base::BlockBytes);
    for (int j = 0; j < base::BlockFrames; ++j) {
        int16_t s[2] = {c.sample, c.sample};
        std::memcpy(block.data() + 4 * j, s, 4);
    }
    std::vector<int16_t> left(base::BlockFrames), right(base::BlockFrames);
    record::CorrectBlock(block.data(), c.offset, c.offset, left.data(), right.data());
    int16_t stored[2];
    std::memcpy(stored, block.data() + 4 * 4409, 4);
    EXPECT_EQ(left[4409], c.expected);
    EXPECT_EQ(right[0], c.expected);
    EXPECT_EQ(stored[0], c.expected);
    EXPECT_EQ(stored[1], c.expected);
}

INSTANTIATE_TEST_SUITE_P(Samples, CorrectionClamps,
                         ::testing::Values(ClampCase{32767, -500, 32767},
                                           ClampCase{32400, -500, 32767},
                                           ClampCase{-32768, 500, -32768},
                                           ClampCase{-32600, 300, -32768},
                                           ClampCase{1000, 500, 500}, ClampCase{-1000, -500, -500},
                                           ClampCase{32267, -500, 32767}));

TEST_F(BlockProcessing, ClipHoldIsSetByAFullScaleSampleAndCountsDown) {
    device.SetGenerator(ScriptedCapture::Constant(32766, -32767));
    Run(1);
    EXPECT_EQ(state.ClipHoldL, 0);
    EXPECT_EQ(state.ClipHoldR, 0);
    device.SetGenerator(ScriptedCapture::Constant(32767, -32768));
    Run(1);
    EXPECT_EQ(state.ClipHoldL, 30);
    EXPECT_EQ(state.ClipHoldR, 30);
    device.SetGenerator(ScriptedCapture::Constant(0, 0));
    Run(10);
    EXPECT_EQ(state.ClipHoldL, 20);
    EXPECT_EQ(state.ClipHoldR, 20);
}

TEST_F(BlockProcessing, LevelIconFollowsTheLouderChannelWhileMinimized) {
    recorder.SetMinimized(true);
    device.SetGenerator(ScriptedCapture::Constant(700, 100));
    Run(1);
    EXPECT_EQ(events.levelIcon, 1);
    EXPECT_EQ(events.meterUpdates, 0) << "gauges are not drawn while minimized";
    device.SetGenerator(ScriptedCapture::Constant(0, -32768));
    Run(1);
    EXPECT_EQ(events.levelIcon, 0) << "the signed maximum decides: -32768 is below 0";
    device.SetGenerator(ScriptedCapture::Constant(32767, 0));
    Run(1);
    EXPECT_EQ(events.levelIcon, 16);
}

TEST_F(BlockProcessing, RecordedTimeAndTitleWhileMinimized) {
    struct {
        uint32_t lastBlock;
        bool wrapped;
        const char* text;
    } cases[] = {{0, false, "00:00:00"},     {9, false, "00:00:00"},      {10, false, "00:00:01"},
                 {36000, false, "01:00:00"}, {359999, false, "09:59:59"}, {5, true, "01:00:00"}};
    recorder.DecodeRecordingMode(7);
    for (const auto& c : cases) {
        // A wrapped ring shows the loop's length.
        EXPECT_EQ(record::RecordedTimeText(
                      c.wrapped ? uint32_t(state.HalvesPerLoop) * base::HalfBlocks : c.lastBlock),
                  c.text)
            << c.lastBlock;
    }
    StartRecording(0);
    recorder.SetMinimized(true);
    Run(50);
    EXPECT_EQ(events.title, "00:00:05");
    EXPECT_EQ(events.timeText, "00:00:05");
    EXPECT_TRUE(events.panels[2].startsWith("Current - "));
}

TEST_F(BlockProcessing, ModeTable) {
    struct {
        int index;
        bool loop;
        int minutes, scale, halves;
    } cases[] = {{1, true, 3, 3, 90},     {3, true, 10, 10, 300},  {4, true, 15, 15, 450},
                 {7, true, 60, 60, 1800}, {0, false, 60, 3, 1800}, {9, false, 60, 3, 1800}};
    for (const auto& c : cases) {
        recorder.DecodeRecordingMode(c.index);
        EXPECT_EQ(state.LoopMode, c.loop) << c.index;
        EXPECT_EQ(state.LoopMinutes, c.minutes) << c.index;
        EXPECT_EQ(state.TimeScaleMinutes, c.scale) << c.index;
        EXPECT_EQ(state.HalvesPerLoop, c.halves) << c.index;
    }
    EXPECT_EQ(record::ModeItemText(3), "Loop10 min");
}

} // namespace

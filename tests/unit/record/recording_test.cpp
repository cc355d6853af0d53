// SPDX-License-Identifier: GPL-3.0-or-later
// Recordings run through the scripted device: what lands in the recording file, in which order,
// and what the stop leaves for the editor.
#include "support/record_harness.h"

#include <ostream>

using namespace testsupport;

namespace {

class Recording : public RecordHarness {};

TEST_F(Recording, ContinuousStopMidBlockKeepsOnlyWholeBlocks) {
    StartRecording(0);
    Run(300);
    device.DeliverBytes(8000); // the block being filled at Stop is dropped
    driver.Run([&] { recorder.StopRecording(); });

    EXPECT_FALSE(state.Recording);
    EXPECT_EQ(recorder.TakeFile().SizeBytes(), 300 * int64_t(base::BlockBytes));
    EXPECT_EQ(state.NewestBlock, 300u);
    EXPECT_TRUE(TakeIs(firstRecorded, 300));
    EXPECT_TRUE(PeaksMatchFile());
    EXPECT_TRUE(state.DeviceOpen) << "monitoring goes on after Stop";
    EXPECT_TRUE(events.panels[2].startsWith("End - "));
}

TEST_F(Recording, LoopOfThreeMinutesRecordedForFourKeepsTheLastThree) {
    StartRecording(1);
    Run(2400);
    EXPECT_EQ(state.TimeText, "00:03:00");
    driver.Run([&] { recorder.StopRecording(); });

    EXPECT_TRUE(state.LoopWrapped);
    EXPECT_EQ(state.NewestBlock, 600u);
    EXPECT_TRUE(TakeIs(firstRecorded + 600, 1800));
    EXPECT_TRUE(PeaksMatchFile());
}

TEST_F(Recording, ContinuousTimeScaleStepsAtNinetyPercent) {
    StartRecording(0);
    Run(1615);
    EXPECT_EQ(state.TimeScaleMinutes, 3);
    Run(5); // 1620 blocks = 2.7 minutes
    EXPECT_EQ(state.TimeScaleMinutes, 5);
    EXPECT_GE(events.timeGauges, 1);
    EXPECT_EQ(state.TimeText, "00:02:42");
}

TEST_F(Recording, ModeChosenDuringARecordingWaitsForItsEnd) {
    StartRecording(1);
    Run(100);
    recorder.DecodeRecordingMode(0);
    EXPECT_EQ(state.ChosenModeIndex, 0);
    EXPECT_TRUE(state.LoopMode) << "the running ring keeps its shape";
    Run(2300);
    int gauges = events.timeGauges;
    driver.Run([&] { recorder.StopRecording(); });

    EXPECT_TRUE(TakeIs(firstRecorded + 600, 1800));
    EXPECT_FALSE(state.LoopMode);
    EXPECT_EQ(state.TimeScaleMinutes, 3);
    EXPECT_GT(events.timeGauges, gauges);

    StartRecording(0);
    Run(1900);
    driver.Run([&] { recorder.StopRecording(); });
    EXPECT_FALSE(state.LoopWrapped);
    EXPECT_TRUE(TakeIs(firstRecorded, 1900));
}

// A stop can come at any moment of a half and of a loop pass: the ticks may have kept up or not
// (blocks per tick), blocks may still sit in full slots that no tick has seen (tail), and the
// DC correction may be on.
struct StopCase {
    int mode;     // list index
    int captured; // blocks recorded
    int perTick;
    int tail;     // blocks handed over after the last tick
    int dcOffset; // correction in force (the input carries the same offset)
};

std::ostream& operator<<(std::ostream& os, const StopCase& c) {
    return os << "mode " << c.mode << ", " << c.captured << " blocks, " << c.perTick
              << " per tick, tail " << c.tail << ", DC " << c.dcOffset;
}

class StopAnywhere : public RecordHarness, public ::testing::WithParamInterface<StopCase> {};

TEST_P(StopAnywhere, FileHoldsExactlyTheNewestBlocksInRingOrder) {
    const StopCase c = GetParam();
    device.SetGenerator(ScriptedCapture::FrameCounter(c.dcOffset));
    probe.DcOffsetL = c.dcOffset;
    probe.DcOffsetR = c.dcOffset;
    StartRecording(c.mode);
    Run(c.captured - c.tail, c.perTick);
    device.DeliverBlocks(c.tail);
    driver.Run([&] { recorder.StopRecording(); });

    const uint32_t ring = c.mode == 0 ? UINT32_MAX : uint32_t(state.HalvesPerLoop) * 20;
    const uint32_t kept = std::min<uint32_t>(uint32_t(c.captured), ring);
    EXPECT_TRUE(TakeIs(firstRecorded + uint64_t(c.captured) - kept, kept)) << "corrected once";
    EXPECT_TRUE(PeaksMatchFile());
    EXPECT_EQ(state.NewestBlock, (uint32_t(c.captured) - 1) % std::min(ring, 1u << 30) + 1);
    if (uint32_t(c.captured) > ring) {
        EXPECT_TRUE(state.LoopWrapped);
    }
    if (uint32_t(c.captured) < ring) {
        EXPECT_FALSE(state.LoopWrapped);
    }
}

std::vector<StopCase> StopCases() {
    std::vector<StopCase> cases;
    for (int at = 200; at <= 220; ++at) { // every position of a half, continuous
        cases.push_back({0, at, 1, at % 3, 0});
    }
    for (int at : {1799, 1800, 1801, 1802, 1805, 1810, 1819, 1820, 1821, 1839, 1840, 1841, 2399}) {
        cases.push_back({1, at, 1, 0, 0});
    }
    for (int at : {1800, 1801, 1803, 1819, 1820, 1822}) { // full slots no tick has seen
        cases.push_back({1, at, 1, 3, 0});
    }
    for (int tail : {1, 2, 5, 10, 19}) { // the pass's last half full but not yet consumed
        cases.push_back({1, 1800 + tail, 1, tail + 1, 0});
    }
    for (int at : {1801, 1802, 1821, 1850}) { // late ticks skip blocks around the wrap
        cases.push_back({1, at, 2, 1, 500});
        cases.push_back({1, at, 3, 0, 500});
        cases.push_back({1, at, 7, 0, 500}); // the tick reaches the next pass first
        cases.push_back({1, at, 11, 0, -500});
    }
    cases.push_back({2, 3000 + 7, 1, 2, -300}); // Loop 5 min
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Positions, StopAnywhere, ::testing::ValuesIn(StopCases()));

TEST_F(Recording, MonitoringAfterStopLeavesTheTakesPeaksAlone) {
    StartRecording(0);
    Run(60);
    driver.Run([&] { recorder.StopRecording(); });
    device.SetGenerator(ScriptedCapture::Constant(32767, -32768));
    Run(60);
    EXPECT_TRUE(PeaksMatchFile());
}

} // namespace

// SPDX-License-Identifier: GPL-3.0-or-later
// Recordings ended by something other than Stop: disk space, the ten-hour limit, the device
// going away, a failed write. Each must leave a complete take, as Stop does.
#include "support/record_harness.h"

#include "platform/services/file_system.h"
#include "record/raw_file.h"

using namespace testsupport;
using record::state;

namespace {

class ForcedStop : public RecordHarness {};

TEST_F(ForcedStop, LowDiskSpaceStopsWithinHalfASecondNamingTheMountPoint) {
    int64_t freeBytes = 17640000; // exactly 100 seconds: still enough
    platform::SetFreeSpaceProvider([&](const std::string&) { return freeBytes; });
    StartRecording(0);
    Run(100);
    EXPECT_TRUE(state.Recording);
    freeBytes = 17640000 - 1;
    Run(5); // the next status tick

    EXPECT_FALSE(state.Recording);
    EXPECT_EQ(events.messages,
              QStringList{"There is no space on drive " +
                          QString::fromStdString(platform::MountPointOf(dir.path()))});
    EXPECT_TRUE(TakeIs(firstRecorded, 105));
    EXPECT_EQ(state.NewestBlock, 105u);
    EXPECT_TRUE(state.DeviceOpen) << "monitoring resumes";
    EXPECT_TRUE(events.panels[2].startsWith("End - "));
}

TEST_F(ForcedStop, TenHoursOfBlocksStopTheRecording) {
    StartRecording(0);
    Run(20);
    // Jump the numbering close to the limit instead of capturing ten hours: the file becomes
    // sparse, the pipeline sees the block numbers of the tenth hour.
    state.BlockCounter = record::PeakArrayLength - 80;
    Run(75);
    EXPECT_TRUE(state.Recording);
    Run(5); // the half numbered up to 360000 is queued, then the status tick comes
    EXPECT_FALSE(state.Recording);
    EXPECT_EQ(events.messages, QStringList{"Recording was stopped"});
    EXPECT_EQ(state.FileBlocks, uint32_t(record::PeakArrayLength) - 40);
    EXPECT_EQ(state.FileBlocks, state.RecordingStream.Blocks());
    EXPECT_EQ(state.NewestBlock, state.FileBlocks);
    EXPECT_TRUE(state.DeviceOpen);
}

TEST_F(ForcedStop, DeviceVanishingDuringARecordingKeepsEverythingCaptured) {
    StartRecording(1);
    Run(57);
    device.DeliverBlocks(2);
    device.SetDevices(0, "");
    record::StatusTimerTick();

    EXPECT_FALSE(state.Recording);
    EXPECT_FALSE(state.DeviceOpen);
    EXPECT_TRUE(state.DeviceName.isEmpty());
    EXPECT_TRUE(TakeIs(firstRecorded, 59));
    EXPECT_EQ(state.NewestBlock, 59u);

    device.SetDevices(1, "Scripted Input");
    record::StatusTimerTick();
    EXPECT_TRUE(state.DeviceOpen) << "the device returns while monitoring";
}

TEST_F(ForcedStop, LostStreamWithADevicePresentStopsAndMonitorsAgain) {
    StartRecording(0);
    Run(45);
    device.LoseStream();
    record::StatusTimerTick();
    EXPECT_FALSE(state.Recording);
    EXPECT_TRUE(TakeIs(firstRecorded, 45));
    EXPECT_TRUE(state.DeviceOpen);
    EXPECT_EQ(state.DeviceName, "Scripted Input");
}

TEST_F(ForcedStop, FailedHalfWriteKeepsTheBlocksThatLandedAndShowsTheError) {
    // Room for 110 blocks: the half holding blocks 101..120 fails partway.
    record::RawFile::SetWriteFault([](const std::string&, int64_t offset, size_t bytes) {
        return offset + int64_t(bytes) > 110 * int64_t(record::BlockBytes);
    });
    StartRecording(0);
    Run(125);

    EXPECT_FALSE(state.Recording);
    EXPECT_EQ(events.errors, QStringList{"Stream write error"});
    EXPECT_TRUE(TakeIs(firstRecorded, 110));
    EXPECT_EQ(state.NewestBlock, 110u);
    EXPECT_TRUE(state.DeviceOpen);
    EXPECT_TRUE(PeaksMatchFile());
}

TEST_F(ForcedStop, FailedWriteOfTheFinalBlocksAtStop) {
    record::RawFile::SetWriteFault([](const std::string&, int64_t offset, size_t bytes) {
        return offset + int64_t(bytes) > 45 * int64_t(record::BlockBytes);
    });
    StartRecording(0);
    Run(50);
    record::StopRecording();
    EXPECT_EQ(events.errors, QStringList{"Stream write error"});
    EXPECT_TRUE(TakeIs(firstRecorded, 45));
    EXPECT_TRUE(state.DeviceOpen);
}

TEST_F(ForcedStop, TimersFiringWhileTheDeviceClosesChangeNothing) {
    StartRecording(0);
    Run(37);
    device.DeliverBlocks(3); // a full half no tick has consumed yet
    bool touched = false;
    device.SetInsideOpenClose([&] {
        const uint32_t counter = state.BlockCounter;
        const int halves = state.HalfCounter;
        record::RecordTimerTick();
        record::StatusTimerTick();
        touched |= state.BlockCounter != counter || state.HalfCounter != halves;
    });
    device.SetDevices(0, "");
    record::StatusTimerTick();
    EXPECT_FALSE(state.Recording);
    EXPECT_TRUE(TakeIs(firstRecorded, 40));
    EXPECT_EQ(device.QueuedBuffers(), 0);
    EXPECT_FALSE(touched) << "the slots were left alone while the device closed";
    device.SetInsideOpenClose(nullptr);
}

TEST_F(ForcedStop, RecordingFileThatCannotBeCreatedIsReported) {
    state.RecordingFilePath = dir.file("missing/Velmar.raw");
    StartRecording(0);
    EXPECT_FALSE(state.Recording);
    EXPECT_EQ(events.errors.size(), 1);
    EXPECT_TRUE(state.DeviceOpen);
}

} // namespace

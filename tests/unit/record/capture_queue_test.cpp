// SPDX-License-Identifier: GPL-3.0-or-later
// Slot queue, block numbering and the device watch.
#include "support/record_harness.h"

using namespace testsupport;

namespace {

class CaptureQueue : public RecordHarness {
  protected:
    void ExpectNumbers(int firstSlot, int lastSlot, uint32_t firstNumber) {
        for (int i = firstSlot; i <= lastSlot; ++i) {
            EXPECT_EQ(state.SlotHeaders[size_t(i)].user, firstNumber + uint32_t(i - firstSlot))
                << "slot " << i;
        }
    }
};

TEST_F(CaptureQueue, OpenQueuesFortySlotsNumberedFromOneAndRequeuesAHalfAfterIt) {
    EXPECT_TRUE(state.DeviceOpen);
    EXPECT_EQ(state.DeviceName, "Scripted Input");
    EXPECT_EQ(events.deviceName, "Scripted Input");
    EXPECT_EQ(device.QueuedBuffers(), 40);
    ExpectNumbers(0, 39, 1);

    driver.Run([&] { recorder.OpenDevice(); }); // already open: nothing restarts
    EXPECT_EQ(device.OpenCalls(), 1);
    ExpectNumbers(0, 39, 1);

    Run(20);
    ExpectNumbers(0, 19, 41);
    ExpectNumbers(20, 39, 21);
    EXPECT_EQ(device.QueuedBuffers(), 40);
    Run(20);
    ExpectNumbers(20, 39, 61);
}

TEST_F(CaptureQueue, EachTickProcessesOnlyTheNewestFullBlock) {
    device.DeliverBlocks(3);
    driver.RecordTick();
    EXPECT_EQ(state.LastBlock, 3u);
    EXPECT_EQ(state.SlotHeaders[2].user, 0u);
    EXPECT_EQ(state.SlotHeaders[0].user, 1u) << "skipped blocks wait for their half";
    EXPECT_EQ(events.meterUpdates, 1);
    driver.RecordTick();
    EXPECT_EQ(events.meterUpdates, 1) << "no new block, nothing measured";
    EXPECT_EQ(events.chartPoints, 0) << "chart points only while recording";
}

TEST_F(CaptureQueue, BytesArrivingWithTheDeviceClosedAreDropped) {
    driver.Run([&] { recorder.CloseDevice(); });
    EXPECT_EQ(device.DeliverBlocks(2), 0);
    EXPECT_EQ(state.DeviceName, "Scripted Input") << "closing keeps the name";
}

TEST_F(CaptureQueue, WatchFollowsADeviceThatChangesVanishesAndReturns) {
    device.SetDevices(1, "USB Microphone");
    driver.StatusTick();
    EXPECT_EQ(state.DeviceName, "USB Microphone");
    EXPECT_EQ(device.OpenCalls(), 2);

    device.SetDevices(0, "");
    driver.StatusTick();
    EXPECT_FALSE(state.DeviceOpen);
    EXPECT_TRUE(state.DeviceName.isEmpty());
    EXPECT_TRUE(events.deviceName.isEmpty());
    EXPECT_EQ(events.gaugesCleared, 1);
    driver.RecordTick(); // no device: the tick does nothing
    EXPECT_EQ(state.DcHistoryPos, 0);

    device.SetDevices(1, "USB Microphone");
    driver.StatusTick();
    EXPECT_TRUE(state.DeviceOpen);
    EXPECT_EQ(events.deviceName, "USB Microphone");
}

TEST_F(CaptureQueue, DuringARecordingTheDeviceIsNotChanged) {
    StartRecording(0);
    device.SetDevices(1, "Another Input");
    Run(10);
    EXPECT_TRUE(state.Recording);
    EXPECT_EQ(state.DeviceName, "Scripted Input");
    driver.Run([&] { recorder.StopRecording(); });
    driver.StatusTick();
    EXPECT_EQ(state.DeviceName, "Another Input");
}

TEST_F(CaptureQueue, OpenFailureIsReportedOncePerDistinctFailureAndRetried) {
    driver.Run([&] { recorder.CloseDevice(); });
    device.SetOpenFailure(record::CaptureError::DeviceBusy);
    device.SetDevices(1, "Busy Input");
    for (int i = 0; i < 6; ++i) {
        driver.StatusTick();
    }
    EXPECT_EQ(events.errors.size(), 1);
    EXPECT_EQ(events.errors.value(0), record::CaptureErrorText(record::CaptureError::DeviceBusy));
    EXPECT_GE(device.OpenCalls(), 7) << "retried at every watch";
    EXPECT_TRUE(state.DeviceName.isEmpty());

    device.SetOpenFailure(record::CaptureError::BadFormat);
    driver.StatusTick();
    driver.StatusTick();
    EXPECT_EQ(events.errors.size(), 2);

    device.SetOpenFailure(record::CaptureError::Ok);
    driver.StatusTick();
    EXPECT_TRUE(state.DeviceOpen);
    EXPECT_EQ(state.DeviceName, "Busy Input");

    // After a success the same failure is news again.
    device.SetOpenFailure(record::CaptureError::BadFormat);
    device.SetDevices(1, "Other Input");
    driver.StatusTick();
    EXPECT_EQ(events.errors.size(), 3);
}

TEST_F(CaptureQueue, RecordWithoutADeviceSaysSo) {
    device.SetDevices(0, "");
    driver.StatusTick();
    driver.Run([&] { recorder.CloseDevice(); });
    driver.Run([&] { recorder.OpenDevice(); }); // as at start-up with nothing plugged in
    EXPECT_TRUE(events.errors.isEmpty()) << "no input is not an error until Record is pressed";
    driver.Run([&] { recorder.StartRecording(); });
    EXPECT_FALSE(state.Recording);
    EXPECT_EQ(events.messages, QStringList{"No Audio Device Selected"});
}

} // namespace

// SPDX-License-Identifier: GPL-3.0-or-later
// Recordings ended by something other than Stop: disk space, the ten-hour limit, the device
// going away, a failed write. Each must leave a complete take, as Stop does.
#include "support/record_harness.h"

#include "base/raw_file.h"

#include <cerrno>

using namespace testsupport;

namespace {

class ForcedStop : public RecordHarness {};

// The texts of the boxes shown, one per line, for readable failures.
std::string Boxes(const QStringList& texts) {
    return texts.join('\n').toStdString();
}

TEST_F(ForcedStop, LowDiskSpaceStopsWithinHalfASecondNamingTheMountPoint) {
    int64_t freeBytes = 17640000; // exactly 100 seconds: still enough
    files.freeBytes = [&](const std::string&) { return freeBytes; };
    StartRecording(0);
    Run(100);
    EXPECT_TRUE(state.Recording);
    freeBytes = 17640000 - 1;
    Run(5); // the next status tick

    EXPECT_FALSE(state.Recording);
    EXPECT_EQ(events.messages, QStringList{"There is no space on drive " +
                                           QString::fromStdString(files.MountPointOf(dir.path()))});
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
    probe.BlockCounter = base::PeakArrayLength - 80;
    Run(75);
    EXPECT_TRUE(state.Recording);
    Run(5); // the half numbered up to 360000 is queued, then the status tick comes
    EXPECT_FALSE(state.Recording);
    EXPECT_EQ(events.messages, QStringList{"Recording was stopped"});
    EXPECT_EQ(state.FileBlocks, uint32_t(base::PeakArrayLength) - 40);
    EXPECT_EQ(state.FileBlocks, recorder.TakeFile().Blocks());
    EXPECT_EQ(state.NewestBlock, state.FileBlocks);
    EXPECT_TRUE(state.DeviceOpen);
}

// The input goes away while recording or monitoring: unplugged, its stream failed, or the sound
// server gone (the stream fails and nothing opens until the server is back). Each counts as the
// device lost: the lost stream is never read again, a recording stops with every block the slots
// received, the name field is blank unless the device opens again at once, and monitoring
// resumes once it opens.
struct LossCase {
    const char* name;
    bool recording;
    bool unplugged; // the system lists no input any more; else only the stream fails
    record::CaptureError reopenFailure; // what opening answers until the device is back
    const char* shownName;              // the name field after the loss
    QStringList errors;
    friend void PrintTo(const LossCase& c, std::ostream* os) { *os << c.name; }
};

class DeviceLoss : public RecordHarness, public ::testing::WithParamInterface<LossCase> {};

TEST_P(DeviceLoss, CountsAsTheDeviceGoneKeepingWhatWasReceived) {
    const LossCase& c = GetParam();
    if (c.recording) {
        StartRecording(1);
    }
    Run(57);
    device.DeliverBlocks(2); // in the slots, not yet seen by a tick
    if (c.unplugged) {
        device.SetDevices(0, "");
    } else {
        device.LoseStream();
    }
    device.SetOpenFailure(c.reopenFailure);
    driver.RecordTick();
    driver.StatusTick();
    driver.StatusTick(); // a device that still fails is not reported again

    EXPECT_FALSE(state.Recording);
    EXPECT_EQ(device.ReadsAfterLoss(), 0);
    if (c.recording) {
        EXPECT_TRUE(TakeIs(firstRecorded, 59));
        EXPECT_EQ(state.NewestBlock, 59u);
        EXPECT_TRUE(events.panels[2].startsWith("End - "));
    }
    EXPECT_EQ(events.deviceName, c.shownName);
    EXPECT_EQ(state.DeviceOpen, !events.deviceName.isEmpty());
    EXPECT_EQ(Boxes(events.errors), Boxes(c.errors));
    EXPECT_EQ(Boxes(events.messages), "");

    device.SetDevices(1, "Scripted Input");
    device.SetOpenFailure(record::CaptureError::Ok);
    driver.StatusTick();
    EXPECT_TRUE(state.DeviceOpen) << "monitoring resumes once the device opens";
    EXPECT_EQ(events.deviceName, "Scripted Input");
}

const QString noService = record::CaptureErrorText(record::CaptureError::NoDriver);

INSTANTIATE_TEST_SUITE_P(
    ForcedStop, DeviceLoss,
    ::testing::Values(
        LossCase{"UnpluggedWhileRecording", true, true, record::CaptureError::Ok, "", {}},
        LossCase{"StreamFailsWhileRecording",
                 true,
                 false,
                 record::CaptureError::Ok,
                 "Scripted Input",
                 {}},
        LossCase{"ServerGoneWhileRecording",
                 true,
                 false,
                 record::CaptureError::NoDriver,
                 "",
                 {noService}},
        LossCase{"ServerGoneWhileMonitoring",
                 false,
                 false,
                 record::CaptureError::NoDriver,
                 "",
                 {noService}}),
    [](const ::testing::TestParamInfo<LossCase>& info) { return info.param.name; });

// A write to the recording file fails: a half in the middle (room for 110 blocks), or the last
// blocks at Stop or at the disk-space stop (room for 45). Whatever landed whole is kept, and the
// stop is told once: a full disk in the words of the disk-space stop, which say what happened and
// where; any other failure as "Stream write error".
enum class StoppedBy { HalfWrite, StopButton, LowSpace };

struct WriteFailureCase {
    const char* name;
    StoppedBy by;
    int error;
    bool noSpaceMessage;
    bool writeError;
    friend void PrintTo(const WriteFailureCase& c, std::ostream* os) { *os << c.name; }
};

class WriteFailure : public RecordHarness,
                     public ::testing::WithParamInterface<WriteFailureCase> {};

TEST_P(WriteFailure, KeepsWhatLandedAndTellsTheStopOnce) {
    const WriteFailureCase& c = GetParam();
    const uint32_t room = c.by == StoppedBy::HalfWrite ? 110 : 45;
    files.writeFault = [room, &c](const std::string&, int64_t offset, int64_t bytes) {
        return offset + bytes > room * int64_t(base::BlockBytes) ? c.error : 0;
    };
    int64_t freeBytes = int64_t(1) << 40;
    files.freeBytes = [&](const std::string&) { return freeBytes; };
    StartRecording(0);
    switch (c.by) {
    case StoppedBy::HalfWrite:
        Run(125);
        break;
    case StoppedBy::StopButton:
        Run(50);
        driver.Run([&] { recorder.StopRecording(); });
        break;
    case StoppedBy::LowSpace:
        Run(49);
        freeBytes = 0; // another program fills the disk; the 50th tick has the status step
        Run(1);
        break;
    }

    EXPECT_FALSE(state.Recording);
    EXPECT_TRUE(TakeIs(firstRecorded, room));
    EXPECT_EQ(state.NewestBlock, room);
    EXPECT_TRUE(PeaksMatchFile());
    EXPECT_TRUE(state.DeviceOpen);
    const QString noSpace =
        "There is no space on drive " + QString::fromStdString(files.MountPointOf(dir.path()));
    EXPECT_EQ(Boxes(events.messages),
              Boxes(c.noSpaceMessage ? QStringList{noSpace} : QStringList{}));
    EXPECT_EQ(Boxes(events.errors), c.writeError ? "Stream write error" : "");
}

INSTANTIATE_TEST_SUITE_P(
    ForcedStop, WriteFailure,
    ::testing::Values(
        WriteFailureCase{"DiskFullAtAHalf", StoppedBy::HalfWrite, ENOSPC, true, false},
        WriteFailureCase{"DiskFullAtStop", StoppedBy::StopButton, ENOSPC, true, false},
        WriteFailureCase{"DiskFullAtLowSpaceStop", StoppedBy::LowSpace, ENOSPC, true, false},
        WriteFailureCase{"QuotaAtAHalf", StoppedBy::HalfWrite, EDQUOT, true, false},
        WriteFailureCase{"IoErrorAtAHalf", StoppedBy::HalfWrite, EIO, false, true},
        WriteFailureCase{"IoErrorAtStop", StoppedBy::StopButton, EIO, false, true},
        // Two faults, each told: the disk ran low, and the last blocks failed.
        WriteFailureCase{"IoErrorAtLowSpaceStop", StoppedBy::LowSpace, EIO, true, true}),
    [](const ::testing::TestParamInfo<WriteFailureCase>& info) { return info.param.name; });

TEST_F(ForcedStop, TimersFiringWhileTheDeviceClosesChangeNothing) {
    StartRecording(0);
    Run(37);
    device.DeliverBlocks(3); // a full half no tick has consumed yet
    bool touched = false;
    device.SetInsideOpenClose([&] {
        const uint32_t counter = state.BlockCounter;
        const int halves = state.HalfCounter;
        driver.RecordTick();
        driver.StatusTick();
        touched |= state.BlockCounter != counter || state.HalfCounter != halves;
    });
    device.SetDevices(0, "");
    driver.StatusTick();
    EXPECT_FALSE(state.Recording);
    EXPECT_TRUE(TakeIs(firstRecorded, 40));
    EXPECT_EQ(device.QueuedBuffers(), 0);
    EXPECT_FALSE(touched) << "the slots were left alone while the device closed";
    device.SetInsideOpenClose(nullptr);
}

TEST_F(ForcedStop, RecordingFileThatCannotBeCreatedIsReported) {
    probe.RecordingFilePath = dir.file("missing/Velmar.raw");
    StartRecording(0);
    EXPECT_FALSE(state.Recording);
    EXPECT_EQ(events.errors.size(), 1);
    EXPECT_TRUE(state.DeviceOpen);
}

// A step that has two things to tell throws once, at its end, with both boxes in the order they
// happened and of their own kinds; by then the stop is complete and monitoring has resumed.
TEST_F(ForcedStop, AStepThrowsEveryBoxInOrderOnceTheRecorderIsConsistent) {
    files.writeFault = [](const std::string&, int64_t offset, int64_t bytes) {
        return offset + bytes > 45 * int64_t(base::BlockBytes) ? EIO : 0;
    };
    int64_t freeBytes = int64_t(1) << 40;
    files.freeBytes = [&](const std::string&) { return freeBytes; };
    StartRecording(0);
    Run(49);
    freeBytes = 0;
    device.DeliverBlocks(1);
    driver.RecordTick();
    try {
        recorder.StatusTimerTick();
        ADD_FAILURE() << "nothing was thrown";
    } catch (const record::RecorderFailure& failure) {
        const QString noSpace =
            "There is no space on drive " + QString::fromStdString(files.MountPointOf(dir.path()));
        ASSERT_EQ(failure.Boxes().size(), 2u);
        EXPECT_EQ(failure.Boxes()[0].text, noSpace);
        EXPECT_FALSE(failure.Boxes()[0].error);
        EXPECT_EQ(failure.Boxes()[1].text, "Stream write error");
        EXPECT_TRUE(failure.Boxes()[1].error);
        EXPECT_EQ(QString::fromUtf8(failure.what()), noSpace);
        EXPECT_FALSE(state.Recording);
        EXPECT_TRUE(state.DeviceOpen);
        EXPECT_TRUE(TakeIs(firstRecorded, 45));
    }
    EXPECT_NO_THROW(recorder.StatusTimerTick()) << "told once";
    EXPECT_TRUE(events.messages.isEmpty() && events.errors.isEmpty());
}

} // namespace

// SPDX-License-Identifier: GPL-3.0-or-later
// Two recorders in one process, each over its own device, file system and work folder: what one
// captures, writes, measures or fails at never reaches the other.
#include "support/record_harness.h"

#include <cerrno>

using namespace testsupport;

namespace {

TEST(TwoRecorders, RecordSideBySideIntoIndependentTakes) {
    TempDir dirA, dirB;
    RecorderRig a, b;
    record::Recorder first(a.Ports(), a.events, {dirA.file("Velmar.raw"), 0});
    record::Recorder second(b.Ports(), b.events, {dirB.file("Velmar.raw"), 1});
    // Each recorder's failures are caught by its own driver and told to its own window.
    record::RecorderDriver driverA(first), driverB(second);
    a.events.Listen(driverA);
    b.events.Listen(driverB);
    b.device.SetGenerator(ScriptedCapture::FrameCounter(500));
    b.device.SetDevices(1, "Second Input");
    // Only the second one's disk fills: it can hold 45 blocks.
    b.files.writeFault = [](const std::string&, int64_t offset, int64_t bytes) {
        return offset + bytes > 45 * int64_t(base::BlockBytes) ? ENOSPC : 0;
    };
    driverA.Run([&] { first.OpenDevice(); });
    driverB.Run([&] { second.OpenDevice(); });
    b.device.DeliverBlocks(7); // the streams drift apart before the takes start
    driverB.RecordTick();
    driverA.Run([&] { first.StartRecording(); });
    driverB.Run([&] { second.StartRecording(); });
    const uint64_t firstA = a.device.NextBlockIndex(), firstB = b.device.NextBlockIndex();
    for (int k = 1; k <= 130; ++k) {
        a.device.DeliverBlocks(1);
        b.device.DeliverBlocks(1);
        driverA.RecordTick();
        driverB.RecordTick();
        if (k % 5 == 0) {
            driverA.StatusTick();
            driverB.StatusTick();
        }
    }
    EXPECT_TRUE(first.View().Recording);
    EXPECT_FALSE(second.View().Recording) << "the second disk filled";
    driverA.Run([&] { first.StopRecording(); });

    EXPECT_TRUE(TakeIs(first, firstA, 130));
    EXPECT_TRUE(TakeIs(second, firstB, 45, 500));
    EXPECT_EQ(first.TakeFile().Path(), dirA.file("Velmar.raw"));
    EXPECT_EQ(second.TakeFile().Path(), dirB.file("Velmar.raw"));
    EXPECT_TRUE(a.events.messages.isEmpty()) << a.events.messages.join('\n').toStdString();
    EXPECT_EQ(b.events.messages,
              QStringList{"There is no space on drive " +
                          QString::fromStdString(b.files.MountPointOf(dirB.path()))});
    EXPECT_EQ(first.View().DeviceName, "Scripted Input");
    EXPECT_EQ(second.View().DeviceName, "Second Input");
    EXPECT_FALSE(first.View().LoopMode);
    EXPECT_TRUE(second.View().LoopMode);
    EXPECT_EQ(a.events.chartPoints, 130);
}

} // namespace

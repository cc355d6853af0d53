// SPDX-License-Identifier: GPL-3.0-or-later
// The headless run over a scripted input: how a recording ended decides whether it starts again
// on its own, and a new recording never overwrites the take before it.
#include "app/headless/headless_run.h"
#include "support/record_harness.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {

enum class Ending { StopCommand, InputLostAndBack, DiskFull };

struct EndingCase {
    const char* name;
    Ending ending;
    bool recordsAgainAlone; // without a --record
};

class HeadlessRunTest : public ::testing::TestWithParam<EndingCase> {
  protected:
    // Hands over `blocks` blocks, each followed by the ticks the timers would run.
    void Run(int blocks) {
        for (int b = 0; b < blocks; ++b) {
            rig.device.DeliverBlocks(1);
            run.Tick();
        }
    }
    QByteArray Contents(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    testsupport::TempDir dir;
    const QString folder = QString::fromStdString(dir.path());
    const setup::WorkPaths paths = setup::WorkPathsFor(folder);
    testsupport::RecorderRig rig;
    app::HeadlessRun run{
        rig.Ports(), {paths.RecordingFilePath.toStdString(), 1}, {}, paths, folder};
};

TEST_P(HeadlessRunTest, NewRecordingSetsTheStoppedTakeAsideAndOnlyALostInputRestarts) {
    const EndingCase& c = GetParam();
    run.Start();
    ASSERT_TRUE(run.Recorder().View().Recording);
    const uint64_t first = rig.device.NextBlockIndex();
    Run(45);

    switch (c.ending) {
    case Ending::StopCommand:
        EXPECT_TRUE(run.Stop().ok);
        break;
    case Ending::InputLostAndBack:
        rig.device.LoseStream();
        rig.device.SetDevices(0, QString());
        Run(3);
        break;
    case Ending::DiskFull:
        rig.files.freeBytes = [](const std::string&) { return int64_t(10) * base::BytesPerSecond; };
        Run(5);
        break;
    }
    ASSERT_FALSE(run.Recorder().View().Recording);
    const QByteArray take = Contents(paths.RecordingFilePath);
    ASSERT_TRUE(
        testsupport::TakeIs(run.Recorder(), first, uint64_t(take.size()) / base::BlockBytes));
    EXPECT_GE(take.size(), 40 * base::BlockBytes);

    rig.device.SetDevices(1, "Scripted input");
    rig.files.freeBytes = nullptr;
    Run(10);
    EXPECT_EQ(run.Recorder().View().Recording, c.recordsAgainAlone);
    if (!c.recordsAgainAlone) {
        EXPECT_EQ(Contents(paths.RecordingFilePath), take); // untouched while stopped
        EXPECT_TRUE(run.Record().ok);
    }
    // Kept whole under the recovery file's name, and the new recording runs in a new file.
    EXPECT_EQ(Contents(paths.RecoveryFilePath), take);
    Run(25);
    EXPECT_TRUE(run.Stop().ok);
    // The new take is the newest blocks, unbroken (a restart begins at a block of its own).
    const uint64_t held = run.Recorder().TakeBlocks();
    EXPECT_GE(held, 25u);
    EXPECT_TRUE(testsupport::TakeIs(run.Recorder(), rig.device.NextBlockIndex() - held, held));

    // A second set-aside finds "test" taken and keeps this take under a name of its own.
    const QByteArray second = Contents(paths.RecordingFilePath);
    EXPECT_TRUE(run.Record().ok);
    const QStringList kept = QDir(folder).entryList({"Velmar-kept-*.raw"}, QDir::Files);
    ASSERT_EQ(kept.size(), 1);
    EXPECT_EQ(Contents(QDir(folder).filePath(kept.front())), second);
    EXPECT_EQ(Contents(paths.RecoveryFilePath), take);
    run.Finish();
}

INSTANTIATE_TEST_SUITE_P(
    Endings, HeadlessRunTest,
    ::testing::Values(EndingCase{"StopCommand", Ending::StopCommand, false},
                      EndingCase{"InputLostAndBack", Ending::InputLostAndBack, true},
                      EndingCase{"DiskFull", Ending::DiskFull, false}),
    [](const ::testing::TestParamInfo<EndingCase>& info) { return info.param.name; });

} // namespace

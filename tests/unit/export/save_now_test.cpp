// SPDX-License-Identifier: GPL-3.0-or-later
// Save Now over a scripted recording that goes on while the worker thread writes the file.
#include "export/save_now.h"
#include "exporter_ports.h"
#include "support/record_harness.h"
#include "support/scripted_clock.h"
#include "tool_output.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <future>
#include <thread>

namespace {

using namespace std::chrono_literals;
constexpr uint64_t Ring = 1800; // "Loop 3 min" (mode 1)

// What happens while the save waits after its first write (the first blocks read).
enum class Meanwhile { Nothing, RingComesRound, TakeDiscarded, RecordedAnew };

struct SaveCase {
    const char* name;
    int mode;        // 0 Continuous, 1 "Loop 3 min"
    int before;      // blocks recorded before the command
    uint32_t newest; // Save Now's `newest` (0: the whole take)
    Meanwhile meanwhile;
};

class SaveNowTest : public testsupport::RecordHarness,
                    public ::testing::WithParamInterface<SaveCase> {
  protected:
    // Judged by soxi and sox: 44.1 kHz 16-bit stereo holding exactly stream blocks `first`...
    ::testing::AssertionResult FileHolds(const QString& path, uint64_t first, uint64_t count) {
        const QString format = testsupport::ToolOutput("soxi", {"-s", path}) + " " +
                               testsupport::ToolOutput("soxi", {"-r", path}) + " " +
                               testsupport::ToolOutput("soxi", {"-b", path});
        if (format != QString("%1 44100 16").arg(count * base::BlockFrames)) {
            return ::testing::AssertionFailure() << "soxi: " << format.toStdString();
        }
        testsupport::ToolOutput("sox", {path, "-t", "raw", "-e", "signed", "-c", "2", raw});
        QFile file(raw);
        const QByteArray data = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        for (uint64_t f = 0; f < count * base::BlockFrames; ++f) {
            int16_t s[2] = {0, 0};
            std::memcpy(s, data.constData() + std::min<qsizetype>(4 * f, data.size() - 4), 4);
            const int64_t got = testsupport::ScriptedCapture::FrameOf(s[0], s[1]);
            if (got != int64_t((first * base::BlockFrames + f) & 0xFFFFFFF)) {
                return ::testing::AssertionFailure() << "frame " << f << " holds " << got;
            }
        }
        return ::testing::AssertionSuccess();
    }

    const QString out = QString::fromStdString(dir.file("out"));
    const QString raw = QString::fromStdString(dir.file("copy.raw"));
    testsupport::ExporterPorts ports;
};

// The file is the take at the command in time order (a loop's whole ring, oldest first), up to
// the blocks still waiting in the capture slots and nothing recorded after it, named after its
// first sample, while the recording goes on unbroken; a loop that comes round to blocks the save
// has not read fails it and leaves no file; a second save meanwhile is refused; a take discarded or
// recorded anew meanwhile is still saved as it was.
TEST_P(SaveNowTest, SavesTheTakeAtTheCommandWhileTheRecordingGoesOn) {
    const SaveCase& c = GetParam();
    QDir().mkpath(out);
    setup::Settings settings;
    settings.OutputFolder = out;
    settings.Wav = true;
    std::promise<void> reached, open;
    std::shared_future<void> gate = open.get_future().share();
    int writes = 0;
    ports.files.fault = [&](int64_t, int64_t) {
        if (++writes == 2 && c.meanwhile != Meanwhile::Nothing) {
            reached.set_value();
            gate.wait();
        }
        return false;
    };
    exporting::SaveNow saveNow(recorder, ports.encoders, ports.files);
    std::promise<std::pair<QString, QString>> ended;
    QObject::connect(&saveNow, &exporting::SaveNow::Finished,
                     [&](const QString& path, quint32, const QString& error) {
                         ended.set_value({path, error});
                     });
    const QDateTime start = QDateTime::currentDateTime();
    StartRecording(c.mode);
    Run(c.before);
    // Every block taken in so far, written or still waiting in the slots, and nothing later.
    const uint64_t taken = device.NextBlockIndex() - firstRecorded;
    uint64_t count = c.mode == 0 ? taken : std::min(taken, Ring);
    count = c.newest > 0 ? std::min<uint64_t>(count, c.newest) : count;
    const uint64_t first = firstRecorded + taken - count;
    const qint64 offset = qint64(taken - count) * 100; // ms from the start to the first sample

    saveNow.Start(settings, c.newest);
    if (c.meanwhile != Meanwhile::Nothing) {
        reached.get_future().wait();
        EXPECT_THROW(saveNow.Start(settings), base::UserError); // one save at a time
        if (c.meanwhile != Meanwhile::RingComesRound) {
            driver.Run([this] { recorder.StopRecording(); });
            driver.Run([this] { recorder.DiscardRecording(); });
        }
        if (c.meanwhile != Meanwhile::TakeDiscarded) {
            StartRecording(c.mode);
            Run(int(Ring) + 100);
        }
        open.set_value();
    }
    // Recording goes on at ten times real time while the save runs (any faster and the loop
    // would come round to a full ring's oldest blocks before a save could read them).
    auto result = ended.get_future();
    for (int b = 0; b < 50 || result.wait_for(0s) != std::future_status::ready; ++b) {
        Run(1);
        std::this_thread::sleep_for(10ms);
    }
    const auto [path, error] = result.get();
    const QStringList files = QDir(out).entryList(QDir::Files | QDir::Hidden);
    if (c.meanwhile == Meanwhile::RingComesRound) {
        EXPECT_TRUE(error.startsWith("Save Now could not keep up")) << error.toStdString();
        EXPECT_TRUE(files.isEmpty()) << files.join(", ").toStdString();
        return;
    }
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    EXPECT_TRUE(FileHolds(path, first, count));
    EXPECT_EQ(files, QStringList{QFileInfo(path).fileName()}); // no temporary file left
    const QString name = QFileInfo(path).fileName(); // the recording started within a second
    EXPECT_TRUE(name == exporting::SaveNowName(start.addMSecs(offset), "wav") ||
                name == exporting::SaveNowName(start.addMSecs(offset + 1000), "wav"))
        << name.toStdString();
    if (c.meanwhile == Meanwhile::Nothing) {
        driver.Run([this] { recorder.StopRecording(); });
        const uint64_t total = device.NextBlockIndex() - firstRecorded;
        const uint64_t held = c.mode == 0 ? total : std::min(total, Ring);
        EXPECT_TRUE(TakeIs(firstRecorded + total - held, held)); // no block lost meanwhile
    }
}

INSTANTIATE_TEST_SUITE_P(
    Takes, SaveNowTest,
    ::testing::Values(SaveCase{"LoopNotYetRound", 1, 900, 0, Meanwhile::Nothing},
                      SaveCase{"LoopJustRound", 1, 1800, 0, Meanwhile::Nothing},
                      SaveCase{"LoopWrappedMidRing", 1, 1800 + 700, 0, Meanwhile::Nothing},
                      SaveCase{"LoopWrappedThrice", 1, 3 * 1800 + 1230, 0, Meanwhile::Nothing},
                      SaveCase{"LoopNewest600", 1, 1800 + 300, 600, Meanwhile::Nothing},
                      SaveCase{"LoopNewestMoreThanHeld", 1, 500, 600, Meanwhile::Nothing},
                      SaveCase{"LoopRoundBlocksWaiting", 1, 1800 + 13, 0, Meanwhile::Nothing},
                      SaveCase{"LoopNothingWrittenYet", 1, 7, 0, Meanwhile::Nothing},
                      SaveCase{"LoopNewestAllWaiting", 1, 1800 + 15, 9, Meanwhile::Nothing},
                      SaveCase{"Continuous", 0, 2345, 0, Meanwhile::Nothing},
                      SaveCase{"ContinuousNewest100", 0, 2345, 100, Meanwhile::Nothing},
                      SaveCase{"Overtaken", 1, 1800 + 400, 0, Meanwhile::RingComesRound},
                      SaveCase{"TakeDiscarded", 1, 400, 0, Meanwhile::TakeDiscarded},
                      SaveCase{"RecordedAnew", 1, 400, 0, Meanwhile::RecordedAnew}),
    [](const ::testing::TestParamInfo<SaveCase>& info) { return info.param.name; });

TEST(SaveNowNames, FirstSampleTimeThenNumberedAndLengths) {
    testsupport::TempDir dir;
    const QDateTime at(QDate(2026, 12, 8), QTime(14, 3, 12, 950));
    for (const char* want : {"Velmar 2026-12-08 14-03-12.mp3", "Velmar 2026-12-08 14-03-12 (2).mp3",
                             "Velmar 2026-12-08 14-03-12 (3).mp3"}) {
        const QString path =
            exporting::FreeSaveNowPath(QString::fromStdString(dir.path()), at, "mp3");
        EXPECT_EQ(QFileInfo(path).fileName(), want);
        QFile(path).open(QIODevice::WriteOnly);
    }
    for (const auto& [blocks, text] : {std::pair<uint32_t, const char*>{9, "0:00"},
                                       {10, "0:01"},
                                       {1800, "3:00"},
                                       {35990, "59:59"},
                                       {36000, "1:00:00"}}) {
        EXPECT_EQ(exporting::SavedLengthText(blocks), text) << blocks;
    }
}

// A dropout found while a save reads the take moves the blocks after it to make room for the
// silence: the save fails with its message and leaves no file rather than save moved blocks.
TEST(SaveNowBesideADropout, FailsRatherThanSaveBlocksThatMovedUnderIt) {
    testsupport::TempDir dir;
    testsupport::ScriptedCapture device;
    testsupport::ScriptedFileSystem files;
    base::IdleEventPump pump;
    testsupport::ScriptedClock clock;
    testsupport::EventLog events;
    record::Recorder recorder({device, files, pump, clock}, events,
                              {dir.file("Velmar.raw"), 0, dir.file("Velmar.drp")});
    record::RecorderDriver driver{recorder};
    events.Listen(driver);
    driver.Run([&] { recorder.OpenDevice(); });
    driver.Run([&] { recorder.StartRecording(); });
    auto tick = [&, ticks = 0](int deliver) mutable {
        clock.Advance(100ms);
        device.DeliverBlocks(deliver);
        driver.RecordTick();
        if (++ticks % 5 == 0) {
            driver.StatusTick();
        }
    };
    for (int b = 0; b < 300; ++b) {
        tick(1);
    }
    const QString out = QString::fromStdString(dir.file("out"));
    QDir().mkpath(out);
    setup::Settings settings;
    settings.OutputFolder = out;
    settings.Wav = true;
    testsupport::ExporterPorts ports;
    std::promise<void> reached, open;
    std::shared_future<void> gate = open.get_future().share();
    int writes = 0;
    ports.files.fault = [&](int64_t, int64_t) {
        if (++writes == 2) {
            reached.set_value();
            gate.wait();
        }
        return false;
    };
    exporting::SaveNow saveNow(recorder, ports.encoders, ports.files);
    std::promise<QString> ended;
    QObject::connect(&saveNow, &exporting::SaveNow::Finished,
                     [&](const QString&, quint32, const QString& error) { ended.set_value(error); });
    saveNow.Start(settings);
    reached.get_future().wait();
    for (int t = 0; t < 10; ++t) {
        tick(0); // a second of sound never comes
    }
    for (int b = 0; b < 60; ++b) {
        tick(1);
    }
    ASSERT_EQ(recorder.View().Dropouts.size(), 1u);
    open.set_value();
    auto result = ended.get_future();
    while (result.wait_for(0s) != std::future_status::ready) {
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(1ms);
    }
    const QString error = result.get();
    EXPECT_TRUE(error.startsWith("Save Now stopped: the recording filled in a dropout"))
        << error.toStdString();
    EXPECT_TRUE(QDir(out).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

} // namespace

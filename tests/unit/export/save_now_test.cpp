// SPDX-License-Identifier: GPL-3.0-or-later
// Save Now over a scripted recording that goes on while the worker thread writes the file.
#include "export/save_now.h"
#include "exporter_ports.h"
#include "support/record_harness.h"
#include "tool_output.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <future>
#include <mutex>
#include <thread>

namespace {

using namespace std::chrono_literals;

constexpr int Loop3 = 1; // "Loop 3 min": a ring of 1800 blocks
constexpr uint64_t Ring = 1800;

// A file system whose export writes wait at the second write (the first run of blocks read)
// until the test opens the gate: a save as slow as the test wants.
class GatedFileSystem final : public base::SystemFileSystem {
  public:
    int WriteFault(const std::string&, int64_t, int64_t) const override {
        std::unique_lock<std::mutex> lock(mutex_);
        if (++writes_ == 2) {
            reached_ = true;
            wake_.notify_all();
            wake_.wait(lock, [this] { return open_; });
        }
        return 0;
    }
    void WaitReached() {
        std::unique_lock<std::mutex> lock(mutex_);
        wake_.wait(lock, [this] { return reached_; });
    }
    void Open() {
        std::lock_guard<std::mutex> lock(mutex_);
        open_ = true;
        wake_.notify_all();
    }

  private:
    mutable std::mutex mutex_;
    mutable std::condition_variable wake_;
    mutable int writes_ = 0;
    mutable bool reached_ = false;
    bool open_ = false;
};

struct Result {
    QString path, error;
    quint32 blocks = 0;
};

class SaveNowTest : public testsupport::RecordHarness {
  protected:
    SaveNowTest() {
        settings.OutputFolder = QString::fromStdString(dir.file("out"));
        QDir().mkpath(settings.OutputFolder);
        settings.Wav = true;
        settings.MP3 = false;
        QObject::connect(&saveNow, &exporting::SaveNow::Finished,
                         [this](const QString& path, quint32 blocks, const QString& error) {
                             ended.set_value({path, error, blocks});
                         });
    }
    // Starts a save and goes on recording, at ten times real time, for as long as it runs and
    // at least `during` blocks; returns how it ended. (Faster still, the recorder would come
    // round to the oldest blocks of a full ring before any save could read them.)
    Result SaveWhile(int during, uint32_t newest = 0) {
        ended = {};
        auto result = ended.get_future();
        saveNow.Start(settings, newest);
        for (int b = 0;
             b < 6000 && (b < during || result.wait_for(0s) != std::future_status::ready); ++b) {
            Run(1);
            std::this_thread::sleep_for(10ms);
        }
        EXPECT_EQ(result.wait_for(60s), std::future_status::ready);
        return result.get();
    }
    // Blocks the recorder has written since Record: whole halves of 20.
    uint64_t Written() const { return (device.NextBlockIndex() - firstRecorded) / 20 * 20; }

    // `path` (judged by soxi and sox) is 44.1 kHz 16-bit stereo holding exactly the stream
    // blocks `first`..`first + count - 1`.
    ::testing::AssertionResult FileHolds(const QString& path, uint64_t first, uint64_t count) {
        const QString samples = testsupport::ToolOutput("soxi", {"-s", path});
        const QString format = testsupport::ToolOutput("soxi", {"-r", path}) + " " +
                               testsupport::ToolOutput("soxi", {"-c", path}) + " " +
                               testsupport::ToolOutput("soxi", {"-b", path});
        if (samples != QString::number(count * base::BlockFrames) || format != "44100 2 16") {
            return ::testing::AssertionFailure()
                   << "soxi: " << samples.toStdString() << " frames, " << format.toStdString();
        }
        const QString raw = path + ".raw";
        testsupport::ToolOutput("sox", {path, "-t", "raw", "-e", "signed", "-b", "16", raw});
        QFile file(raw);
        if (!file.open(QIODevice::ReadOnly)) {
            return ::testing::AssertionFailure() << "sox wrote no raw copy";
        }
        const QByteArray data = file.readAll();
        for (uint64_t f = 0; f < count * base::BlockFrames; ++f) {
            int16_t s[2];
            std::memcpy(s, data.constData() + 4 * f, 4);
            const int64_t want = int64_t((first * base::BlockFrames + f) & 0xFFFFFFF);
            if (testsupport::ScriptedCapture::FrameOf(s[0], s[1]) != want) {
                return ::testing::AssertionFailure()
                       << "frame " << f << " (block " << f / base::BlockFrames << ") holds "
                       << testsupport::ScriptedCapture::FrameOf(s[0], s[1]) << ", expected "
                       << want;
            }
        }
        QFile::remove(raw);
        return ::testing::AssertionSuccess();
    }
    QStringList OutputFiles() const {
        return QDir(settings.OutputFolder).entryList(QDir::Files | QDir::Hidden);
    }

    setup::Settings settings;
    testsupport::ExporterPorts ports;
    exporting::SaveNow saveNow{recorder, ports.encoders, ports.files};
    std::promise<Result> ended;
};

struct SaveCase {
    const char* name;
    int mode;        // 0 Continuous, 1 "Loop 3 min"
    int before;      // blocks recorded before the command
    uint32_t newest; // Save Now's `newest` (0: the whole take)
};

class SaveNowCases : public SaveNowTest, public ::testing::WithParamInterface<SaveCase> {};

// The saved file is the take at the command in time order (the whole ring of a loop, oldest
// first), nothing recorded after it, named after its first sample; the recording meanwhile goes
// on unbroken.
TEST_P(SaveNowCases, SavesTheTakeAtTheCommandWhileTheRecordingGoesOn) {
    const SaveCase& c = GetParam();
    const QDateTime before = QDateTime::currentDateTime();
    StartRecording(c.mode);
    const QDateTime after = QDateTime::currentDateTime();
    Run(c.before);
    const uint64_t written = Written();
    uint64_t count = c.mode == 0 ? written : std::min(written, Ring);
    if (c.newest > 0) {
        count = std::min<uint64_t>(count, c.newest);
    }
    const uint64_t first = firstRecorded + written - count;

    const Result saved = SaveWhile(100, c.newest);
    ASSERT_TRUE(saved.error.isEmpty()) << saved.error.toStdString();
    EXPECT_EQ(saved.blocks, count);
    EXPECT_TRUE(FileHolds(saved.path, first, count));
    // Named after the first sample: the recording's start plus the blocks before it.
    const qint64 offset = qint64(written - count) * 100;
    const QString name = QFileInfo(saved.path).fileName();
    EXPECT_TRUE(name == exporting::SaveNowName(before.addMSecs(offset), "wav") ||
                name == exporting::SaveNowName(after.addMSecs(offset), "wav"))
        << name.toStdString();
    EXPECT_EQ(OutputFiles(), QStringList{name}); // no temporary file left
    // The recording went on unbroken past the save.
    driver.Run([this] { recorder.StopRecording(); });
    const uint64_t total = device.NextBlockIndex() - firstRecorded;
    EXPECT_TRUE(TakeIs(firstRecorded + (c.mode == 0 ? 0 : total - std::min(total, Ring)),
                       c.mode == 0 ? total : std::min(total, Ring)));
}

INSTANTIATE_TEST_SUITE_P(Takes, SaveNowCases,
                         ::testing::Values(SaveCase{"LoopNotYetRound", Loop3, 900, 0},
                                           SaveCase{"LoopJustRound", Loop3, 1800, 0},
                                           SaveCase{"LoopWrappedMidRing", Loop3, 1800 + 700, 0},
                                           SaveCase{"LoopWrappedThrice", Loop3, 3 * 1800 + 1230, 0},
                                           SaveCase{"LoopNewest600", Loop3, 1800 + 300, 600},
                                           SaveCase{"LoopNewestMoreThanHeld", Loop3, 500, 600},
                                           SaveCase{"Continuous", 0, 2345, 0},
                                           SaveCase{"ContinuousNewest100", 0, 2345, 100}),
                         [](const ::testing::TestParamInfo<SaveCase>& info) {
                             return info.param.name;
                         });

// A loop that comes round to blocks a slow save has not read yet fails the save with a clear
// message and leaves no file; a second Save Now meanwhile is refused; the recording goes on, and
// the next save succeeds.
TEST_F(SaveNowTest, AnOvertakenSaveFailsAndLeavesNoFileASecondSaveIsRefused) {
    GatedFileSystem gated;
    std::promise<Result> slowEnded;
    exporting::SaveNow slow(recorder, ports.encoders, gated);
    QObject::connect(&slow, &exporting::SaveNow::Finished,
                     [&](const QString& path, quint32 blocks, const QString& error) {
                         slowEnded.set_value({path, error, blocks});
                     });
    StartRecording(Loop3);
    Run(1800 + 400);
    slow.Start(settings);
    gated.WaitReached(); // the first blocks are read, the save waits
    EXPECT_TRUE(slow.Running());
    try {
        slow.Start(settings);
        ADD_FAILURE() << "a second save started";
    } catch (const base::UserError& e) {
        EXPECT_STREQ(e.what(), "A save is already running; Save Now waits until it has ended.");
    }
    Run(Ring); // the ring comes round past everything the save holds
    gated.Open();
    auto result = slowEnded.get_future();
    ASSERT_EQ(result.wait_for(60s), std::future_status::ready);
    const Result failed = result.get();
    EXPECT_TRUE(failed.path.isEmpty());
    EXPECT_TRUE(failed.error.startsWith("Save Now could not keep up"))
        << failed.error.toStdString();
    EXPECT_TRUE(OutputFiles().isEmpty()) << OutputFiles().join(", ").toStdString();
    EXPECT_FALSE(slow.Running());
    EXPECT_TRUE(recorder.View().Recording);

    const Result next = SaveWhile(20);
    EXPECT_TRUE(next.error.isEmpty()) << next.error.toStdString();
    EXPECT_EQ(next.blocks, Ring);
}

// A save still reading when the recording stops and the take is discarded (the editor closed)
// or a new recording starts keeps the take it began with.
TEST_F(SaveNowTest, ASaveKeepsItsTakeWhenTheTakeIsDiscardedOrRecordedAnew) {
    for (const bool recordAgain : {false, true}) {
        GatedFileSystem gated;
        std::promise<Result> slowEnded;
        exporting::SaveNow slow(recorder, ports.encoders, gated);
        QObject::connect(&slow, &exporting::SaveNow::Finished,
                         [&](const QString& path, quint32 blocks, const QString& error) {
                             slowEnded.set_value({path, error, blocks});
                         });
        StartRecording(Loop3);
        Run(400);
        const uint64_t first = firstRecorded;
        slow.Start(settings);
        gated.WaitReached();
        driver.Run([this] { recorder.StopRecording(); });
        driver.Run([this] { recorder.DiscardRecording(); });
        if (recordAgain) {
            StartRecording(Loop3);
            Run(Ring + 100);
        }
        gated.Open();
        auto result = slowEnded.get_future();
        ASSERT_EQ(result.wait_for(60s), std::future_status::ready);
        const Result saved = result.get();
        ASSERT_TRUE(saved.error.isEmpty()) << saved.error.toStdString();
        EXPECT_TRUE(FileHolds(saved.path, first, 400));
        QFile::remove(saved.path);
        driver.Run([this] { recorder.StopRecording(); });
    }
}

// Without a recording, or before its first half is written, nothing starts.
TEST_F(SaveNowTest, NothingToSaveIsRefused) {
    EXPECT_THROW(saveNow.Start(settings), base::UserError);
    StartRecording(Loop3);
    Run(10);
    EXPECT_THROW(saveNow.Start(settings), base::UserError);
    settings.OutputFolder = QString::fromStdString(dir.file("missing"));
    Run(30);
    EXPECT_THROW(saveNow.Start(settings), base::UserError);
    EXPECT_FALSE(saveNow.Running());
}

// An MP3 save is a whole MP3 of the take's length.
TEST_F(SaveNowTest, SavesMp3WhenTheSettingsSayMp3) {
    settings.Wav = false;
    settings.MP3 = true;
    StartRecording(Loop3);
    Run(600);
    const Result saved = SaveWhile(100);
    ASSERT_TRUE(saved.error.isEmpty()) << saved.error.toStdString();
    EXPECT_TRUE(saved.path.endsWith(".mp3"));
    const double seconds =
        testsupport::ToolOutput("ffprobe", {"-v", "error", "-show_entries", "format=duration",
                                            "-of", "csv=p=0", saved.path})
            .toDouble();
    EXPECT_NEAR(seconds, 60.0, 0.2);
}

// Names: the first sample's time, " (2)" and on while the name exists; lengths as m:ss.
TEST(SaveNowNames, NameAndLength) {
    testsupport::TempDir dir;
    const QString folder = QString::fromStdString(dir.file(""));
    const QDateTime at(QDate(2026, 12, 8), QTime(14, 3, 12, 950));
    EXPECT_EQ(exporting::SaveNowName(at, "wav"), "Velmar 2026-12-08 14-03-12.wav");
    for (const char* want : {"Velmar 2026-12-08 14-03-12.mp3", "Velmar 2026-12-08 14-03-12 (2).mp3",
                             "Velmar 2026-12-08 14-03-12 (3).mp3"}) {
        const QString path = exporting::FreeSaveNowPath(folder, at, "mp3");
        EXPECT_EQ(QFileInfo(path).fileName(), want);
        QFile(path).open(QIODevice::WriteOnly);
    }
    const std::pair<uint32_t, const char*> lengths[] = {
        {0, "0:00"},      {9, "0:00"},        {10, "0:01"},        {1800, "3:00"},
        {35990, "59:59"}, {36000, "1:00:00"}, {360000, "10:00:00"}};
    for (const auto& [blocks, text] : lengths) {
        EXPECT_EQ(exporting::SavedLengthText(blocks), text) << blocks;
    }
}

} // namespace

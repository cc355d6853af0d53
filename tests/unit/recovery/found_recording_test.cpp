// SPDX-License-Identifier: GPL-3.0-or-later
#include "recovery/found_recording.h"

#include "app/startup.h"
#include "operations/editing_state.h"
#include "platform/services/process_messages.h"
#include "record/errors.h"
#include "record/pipeline.h"
#include "support/record_harness.h"
#include "support/temp_dir.h"

#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>

#include <cmath>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;
using record::BlockBytes;

QByteArray Contents(const std::string& path) {
    QFile f(QString::fromStdString(path));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class FoundRecording : public ::testing::Test {
  protected:
    void SetUp() override {
        app::state = app::State{};
        app::state.paths = app::WorkPathsFor(QString::fromStdString(dir.path()));
        operations::state = operations::State{};
        recovery::state = recovery::State{};
        platform::SetProcessMessages([this] { ++messages; });
        // The current take: a wrapped loop of 10 blocks whose newest is block 3.
        recorder.DiscardRecording();
        take.RecordingStream.WriteBlocks(1, QByteArray(10 * BlockBytes, 7).data(), 10);
        take.FileBlocks = 10;
        take.NewestBlock = 3;
        take.LoopWrapped = true;
    }
    void TearDown() override {
        platform::SetProcessMessages({});
        operations::state = operations::State{};
    }
    std::string Path(const char* name) const { return dir.file(name); }
    // Block n holds left n and right -n throughout; `bytes` need not be whole blocks.
    void MakeRecovery(int64_t bytes) {
        QByteArray data(bytes, 0);
        for (int64_t i = 0; i + 4 <= bytes; i += 4) {
            const int16_t n = int16_t(i / BlockBytes + 1), s[2] = {n, int16_t(-n)};
            std::memcpy(data.data() + i, s, 4);
        }
        QFile f(QString::fromStdString(Path("test")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(data) == bytes);
    }

    testsupport::TempDir dir;
    testsupport::RecorderRig rig;
    record::Recorder recorder{rig.Ports(), rig.events, {dir.file("Velmar.raw"), 0}};
    // The take as the recorder holds it; the test sets up one of an earlier recording.
    record::State& take = record::RecorderProbe::Of(recorder);
    int messages = 0;
};

TEST_F(FoundRecording, OfferedOnlyInContinuousModeWithATestFile) {
    for (int mode = 0; mode < record::ModeCount; ++mode) {
        recorder.DecodeRecordingMode(mode);
        EXPECT_FALSE(recovery::ShouldOffer()) << "no file, mode " << mode;
        MakeRecovery(BlockBytes);
        EXPECT_EQ(recovery::ShouldOffer(), mode == 0) << "mode " << mode;
        fs::remove(Path("test"));
    }
}

TEST(FoundRecordingScan, LeftMaximumStartsAtMinus32767) {
    for (int16_t s : {int16_t(-32768), int16_t(32767)}) {
        std::vector<int16_t> block(2 * record::BlockFrames, s);
        const record::BlockPeaks p =
            recovery::ScanBlockPeaks(reinterpret_cast<uint8_t*>(block.data()));
        EXPECT_EQ(std::vector<int>({p.maxL, p.minL, p.maxR, p.minR}),
                  std::vector<int>({std::max<int>(s, -32767), s, s, s}));
    }
}

// Whole blocks only; level 0 is one segment over the recovery file although the previous take
// was a wrapped loop. A file without a whole block is not offered but deleted, so no empty
// sound is ever loaded in place of the take.
class FoundRecordingLength : public FoundRecording, public ::testing::WithParamInterface<int> {};

TEST_P(FoundRecordingLength, OffersAndLoadsWholeBlocksAsOneSegment) {
    MakeRecovery(GetParam());
    const uint32_t blocks = uint32_t(GetParam() / BlockBytes);
    ASSERT_EQ(recovery::ShouldOffer(), blocks > 0);
    if (blocks == 0) {
        EXPECT_FALSE(fs::exists(Path("test")));
        EXPECT_EQ(take.RecordingStream.Path(), Path("Velmar.raw"));
        EXPECT_EQ(take.FileBlocks, 10u);
        return;
    }
    ASSERT_TRUE(recovery::Load().loaded);
    EXPECT_EQ(take.RecordingStream.Path(), Path("test"));
    EXPECT_EQ(take.FileBlocks, blocks);
    EXPECT_EQ(operations::state.FileBlocks, blocks);
    EXPECT_EQ(recorder.RecordedTakeOrder().runs, 1);
    const operations::Level& level = operations::state.Levels[0];
    ASSERT_EQ(level.SegmentCount, 1);
    EXPECT_EQ(level.Segments[0].length, blocks);
    EXPECT_EQ(fs::file_size(Path("Velmar.spv")), 8 * blocks);
    EXPECT_EQ(take.PeakMaxL[blocks], int(blocks));
}
INSTANTIATE_TEST_SUITE_P(Bytes, FoundRecordingLength, ::testing::Values(35281, 17640, 17639, 1, 0, 88200));

// Where the peaks come from: a peak file counts only when it carries the recovery file's time.
struct PeakCase {
    const char* name;
    int bytes;      // of the peak file present before the load; -1: none
    int mtimeShift; // seconds from the recovery file's modification time
    bool fromFile;
};
class FoundRecordingPeakFile : public FoundRecording,
                               public ::testing::WithParamInterface<PeakCase> {};

TEST_P(FoundRecordingPeakFile, ReadOnlyWhenItBelongsToTheFile) {
    const PeakCase c = GetParam();
    MakeRecovery(5 * BlockBytes);
    if (c.bytes >= 0) {
        QFile peak(QString::fromStdString(Path("Velmar.spv")));
        ASSERT_TRUE(peak.open(QIODevice::WriteOnly) && peak.write(QByteArray(c.bytes, 0x11)));
        peak.close();
        struct stat st {};
        ::stat(Path("test").c_str(), &st);
        st.st_mtim.tv_sec += c.mtimeShift;
        const struct timespec times[2] = {st.st_mtim, st.st_mtim};
        ASSERT_EQ(::utimensat(AT_FDCWD, Path("Velmar.spv").c_str(), times, 0), 0);
    }
    const QByteArray before = Contents(Path("Velmar.spv"));
    ASSERT_TRUE(recovery::Load().loaded);
    EXPECT_EQ(recovery::state.PeaksFromFile, c.fromFile);
    EXPECT_EQ(messages, c.fromFile ? 0 : 5) << "pending messages run once per scanned block";
    EXPECT_EQ(take.PeakMaxL[5], c.fromFile ? 0x1111 : 5);
    if (c.fromFile) {
        EXPECT_EQ(Contents(Path("Velmar.spv")), before) << "not rewritten";
    } else {
        EXPECT_EQ(fs::file_size(Path("Velmar.spv")), 40u);
        EXPECT_TRUE(recovery::PeakFileBelongsTo(Path("Velmar.spv"), Path("test")));
        EXPECT_FLOAT_EQ(recovery::state.ProgressPercent, 100.0f);
        ASSERT_TRUE(recovery::Load().loaded);
        EXPECT_TRUE(recovery::state.PeaksFromFile) << "the next load reads what the scan wrote";
    }
}
INSTANTIATE_TEST_SUITE_P(
    Cases, FoundRecordingPeakFile,
    ::testing::Values(PeakCase{"None", -1, 0, false}, PeakCase{"Own", 40, 0, true},
                      PeakCase{"OwnWithStrayBytes", 46, 0, true},
                      PeakCase{"AnotherLength", 48, 0, false},
                      PeakCase{"SameLengthNewerThanTheFile", 40, 3600, false},
                      PeakCase{"SameLengthOlderThanTheFile", 40, -3600, false}),
    [](const auto& info) { return std::string(info.param.name); });

// sox measures each block of a noise burst; the scan must find the same extremes.
TEST_F(FoundRecording, ScannedPeaksAgreeWithSox) {
    const QStringList raw = {"-t", "raw", "-r", "44100", "-c", "2", "-b", "16", "-e", "signed"};
    const QString test = QString::fromStdString(Path("test"));
    ASSERT_EQ(QProcess::execute(
                  "sox", QStringList{"-n"} + raw +
                             QStringList{test, "synth", "1", "whitenoise", "fade", "0", "1", "1"}),
              0);
    ASSERT_TRUE(recovery::Load().loaded);
    const record::PeakTableRefs peaks = recorder.RecordingPeaks();
    for (uint32_t n = 1; n <= 10; ++n) {
        for (int ch : {1, 2}) {
            QProcess sox;
            sox.start("sox",
                      raw + QStringList{test, "-n", "trim", QString("%1s").arg((n - 1) * 4410),
                                        "4410s", "remix", QString::number(ch), "stat"});
            ASSERT_TRUE(sox.waitForFinished());
            const QString out = QString::fromUtf8(sox.readAllStandardError());
            auto amplitude = [&](const QString& name) {
                return std::lround(
                    out.mid(out.indexOf(name) + name.size()).section('\n', 0, 0).toDouble() *
                    32768);
            };
            EXPECT_EQ((ch == 1 ? peaks.maxL : peaks.maxR)[n], amplitude("Maximum amplitude:"));
            EXPECT_EQ((ch == 1 ? peaks.minL : peaks.minR)[n], amplitude("Minimum amplitude:"));
        }
    }
}

TEST_F(FoundRecording, NothingWritesTheRecoveryFileAndClosingReturnsToVelmarRaw) {
    MakeRecovery(3 * BlockBytes);
    const QByteArray before = Contents(Path("test"));
    ASSERT_TRUE(recovery::Load().loaded);
    EXPECT_EQ(take.RecordingFilePath, Path("Velmar.raw")) << "the next take's file";
    EXPECT_THROW(take.RecordingStream.WriteBlock(1, before.data()),
                 record::StreamWriteError);
    EXPECT_EQ(recovery::EndRecovery(), "");
    EXPECT_EQ(take.RecordingStream.Path(), Path("Velmar.raw"));
    EXPECT_EQ(fs::file_size(Path("Velmar.raw")), 0u);
    EXPECT_EQ(Contents(Path("test")), before);
}

TEST_F(FoundRecording, AFileThatCannotBeOpenedKeepsTheCurrentTake) {
    for (const char* reason : {"No such file", "Is a directory"}) {
        if (reason[0] == 'I') {
            fs::create_directory(Path("test"));
        }
        const recovery::LoadResult result = recovery::Load();
        EXPECT_FALSE(result.loaded);
        EXPECT_TRUE(result.error.contains(QString::fromStdString(Path("test"))));
        EXPECT_TRUE(result.error.contains(reason)) << result.error.toStdString();
        EXPECT_EQ(take.RecordingStream.Path(), Path("Velmar.raw"));
        EXPECT_EQ(take.FileBlocks, 10u);
    }
}

TEST_F(FoundRecording, ALongerFileLoadsItsFirstTenHoursAndSaysSo) {
    const uint32_t limit = record::PeakArrayLength;
    MakeRecovery(0);
    fs::resize_file(Path("test"), (uint64_t(limit) + 2) * BlockBytes + 100); // sparse
    take.PeakMaxL[limit] = 99;
    const recovery::LoadResult result = recovery::Load();
    ASSERT_TRUE(result.loaded);
    EXPECT_TRUE(result.notice.contains(QString::fromStdString(Path("test"))));
    EXPECT_TRUE(result.notice.contains("first 10 hours")) << result.notice.toStdString();
    EXPECT_EQ(take.FileBlocks, limit);
    EXPECT_EQ(operations::state.Levels[0].Segments[0].length, limit);
    EXPECT_EQ(take.PeakMaxL[limit], 0) << "the last block loaded was scanned";
    EXPECT_EQ(take.PeakMaxL.size(), size_t(limit) + 1);
    EXPECT_EQ(fs::file_size(Path("Velmar.spv")), 8 * uint64_t(limit));
    EXPECT_EQ(messages, int(limit));
    EXPECT_FALSE(recovery::Load().notice.isEmpty()); // now from the peak file
    EXPECT_TRUE(recovery::state.PeaksFromFile);
}

} // namespace

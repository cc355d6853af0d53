// SPDX-License-Identifier: GPL-3.0-or-later
#include "recovery/found_recording.h"

#include "base/errors.h"
#include "operations/editor.h"
#include "record/pipeline.h"
#include "support/record_harness.h"
#include "support/temp_dir.h"

#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;
using base::BlockBytes;

QByteArray Contents(const std::string& path) {
    QFile f(QString::fromStdString(path));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Counts the pending-message runs a load asks for.
struct CountingPump : base::EventPump {
    void ProcessMessages() override { ++count; }
    int count = 0;
};

class FoundRecording : public ::testing::Test {
  protected:
    void SetUp() override {
        // The current take: a wrapped loop of 10 blocks whose newest is block 3.
        recorder.DiscardRecording();
        held.RecordingStream.WriteBlocks(1, QByteArray(10 * BlockBytes, 7).data(), 10);
        held.FileBlocks = 10;
        held.NewestBlock = 3;
        held.LoopWrapped = true;
    }
    std::string Path(const char* name) const { return dir.file(name); }
    // The editor the editor window opens after a load, over the recorder's take.
    std::unique_ptr<operations::Editor> OpenEditor() {
        return std::make_unique<operations::Editor>(
            operations::TakeOf(recorder), operations::WorkPaths{Path("Edit.raw"), Path("Clp.raw")},
            fileSystem, pump);
    }
    // Block n holds left n and right -n throughout; `bytes` need not be whole blocks.
    void MakeRecovery(int64_t bytes, const std::string& path = {}) {
        QByteArray data(bytes, 0);
        for (int64_t i = 0; i + 4 <= bytes; i += 4) {
            const int16_t n = int16_t(i / BlockBytes + 1), s[2] = {n, int16_t(-n)};
            std::memcpy(data.data() + i, s, 4);
        }
        QFile f(QString::fromStdString(path.empty() ? Path("test") : path));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(data) == bytes);
    }

    testsupport::TempDir dir;
    testsupport::RecorderRig rig;
    record::Recorder recorder{rig.Ports(), rig.events, {dir.file("Velmar.raw"), 0}};
    // The take as the recorder holds it; the test sets up one of an earlier recording.
    record::State& held = record::RecorderProbe::Of(recorder);
    CountingPump pump;
    const int& messages = pump.count;
    recovery::RecorderTakeHolder take{recorder};
    base::SystemFileSystem fileSystem;
    recovery::Recovery found{
        take, fileSystem, pump, {Path("test"), Path("Velmar.spv"), Path("test.drp")}};
};

TEST_F(FoundRecording, OfferedOnlyInContinuousModeWithATestFile) {
    for (int mode = 0; mode < record::ModeCount; ++mode) {
        recorder.DecodeRecordingMode(mode);
        EXPECT_FALSE(found.ShouldOffer()) << "no file, mode " << mode;
        MakeRecovery(BlockBytes);
        EXPECT_EQ(found.ShouldOffer(), mode == 0) << "mode " << mode;
        fs::remove(Path("test"));
    }
}

TEST(FoundRecordingScan, LeftMaximumStartsAtMinus32767) {
    for (int16_t s : {int16_t(-32768), int16_t(32767)}) {
        std::vector<int16_t> block(2 * base::BlockFrames, s);
        const base::BlockPeaks p =
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
    ASSERT_EQ(found.ShouldOffer(), blocks > 0);
    if (blocks == 0) {
        EXPECT_FALSE(fs::exists(Path("test")));
        EXPECT_EQ(held.RecordingStream.Path(), Path("Velmar.raw"));
        EXPECT_EQ(held.FileBlocks, 10u);
        return;
    }
    // Its dropout list: a line past the loaded length and one that does not parse are left out.
    QFile list(QString::fromStdString(Path("test.drp")));
    ASSERT_TRUE(list.open(QIODevice::WriteOnly) && list.write("2 80\n999999 5\nnot a line\n") > 0);
    list.close();
    found.Load();
    ASSERT_TRUE(found.Active());
    EXPECT_EQ(held.RecordingStream.Path(), Path("test"));
    EXPECT_EQ(held.FileBlocks, blocks);
    ASSERT_EQ(held.Dropouts.size(), blocks >= 2 ? 1u : 0u) << "the editor shows its dropouts";
    if (blocks >= 2) {
        EXPECT_EQ(held.Dropouts[0].block, 2u);
        EXPECT_EQ(held.Dropouts[0].ms, 80u);
    }
    EXPECT_EQ(recorder.RecordedTakeOrder().runs, 1);
    const std::unique_ptr<operations::Editor> editor = OpenEditor();
    EXPECT_EQ(editor->Blocks(), blocks);
    const operations::Level& level = editor->CurrentList();
    ASSERT_EQ(level.SegmentCount, 1);
    EXPECT_EQ(level.Segments[0].length, blocks);
    EXPECT_EQ(fs::file_size(Path("Velmar.spv")), 8 * blocks);
    EXPECT_EQ(held.PeakMaxL[blocks], int(blocks));
}
INSTANTIATE_TEST_SUITE_P(Bytes, FoundRecordingLength,
                         ::testing::Values(35281, 17640, 17639, 1, 0, 88200));

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
    found.Load();
    ASSERT_TRUE(found.Active());
    EXPECT_EQ(found.PeaksFromFile(), c.fromFile);
    EXPECT_EQ(messages, c.fromFile ? 0 : 5) << "pending messages run once per scanned block";
    EXPECT_EQ(held.PeakMaxL[5], c.fromFile ? 0x1111 : 5);
    if (c.fromFile) {
        EXPECT_EQ(Contents(Path("Velmar.spv")), before) << "not rewritten";
    } else {
        EXPECT_EQ(fs::file_size(Path("Velmar.spv")), 40u);
        EXPECT_TRUE(recovery::PeakFileBelongsTo(Path("Velmar.spv"), Path("test")));
        EXPECT_FLOAT_EQ(found.ProgressPercent(), 100.0f);
        found.Load();
        ASSERT_TRUE(found.Active());
        EXPECT_TRUE(found.PeaksFromFile()) << "the next load reads what the scan wrote";
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
    found.Load();
    ASSERT_TRUE(found.Active());
    const base::PeakTableRefs peaks = recorder.RecordingPeaks();
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
    found.Load();
    ASSERT_TRUE(found.Active());
    EXPECT_EQ(held.RecordingFilePath, Path("Velmar.raw")) << "the next take's file";
    EXPECT_THROW(held.RecordingStream.WriteBlock(1, before.data()), base::StreamWriteError);
    EXPECT_NO_THROW(found.EndRecovery());
    EXPECT_EQ(held.RecordingStream.Path(), Path("Velmar.raw"));
    EXPECT_EQ(fs::file_size(Path("Velmar.raw")), 0u);
    EXPECT_EQ(Contents(Path("test")), before);
}

TEST_F(FoundRecording, AFileThatCannotBeOpenedKeepsTheCurrentTake) {
    for (const char* reason : {"No such file", "Is a directory"}) {
        if (reason[0] == 'I') {
            fs::create_directory(Path("test"));
        }
        try {
            found.Load();
            ADD_FAILURE() << "loaded " << reason;
        } catch (const base::UserError& error) {
            const QString text = QString::fromUtf8(error.what());
            EXPECT_TRUE(text.contains(QString::fromStdString(Path("test"))));
            EXPECT_TRUE(text.contains(reason)) << text.toStdString();
        }
        EXPECT_FALSE(found.Active());
        EXPECT_EQ(held.RecordingStream.Path(), Path("Velmar.raw"));
        EXPECT_EQ(held.FileBlocks, 10u);
    }
}

TEST_F(FoundRecording, ALongerFileLoadsItsFirstTenHoursAndSaysSo) {
    const uint32_t limit = base::PeakArrayLength;
    MakeRecovery(0);
    fs::resize_file(Path("test"), (uint64_t(limit) + 2) * BlockBytes + 100); // sparse
    held.PeakMaxL[limit] = 99;
    const QString notice = found.Load().value_or("");
    ASSERT_TRUE(found.Active());
    EXPECT_TRUE(notice.contains(QString::fromStdString(Path("test"))));
    EXPECT_TRUE(notice.contains("first 10 hours")) << notice.toStdString();
    EXPECT_EQ(held.FileBlocks, limit);
    EXPECT_EQ(OpenEditor()->CurrentList().Segments[0].length, limit);
    EXPECT_EQ(held.PeakMaxL[limit], 0) << "the last block loaded was scanned";
    EXPECT_EQ(held.PeakMaxL.size(), size_t(limit) + 1);
    EXPECT_EQ(fs::file_size(Path("Velmar.spv")), 8 * uint64_t(limit));
    EXPECT_EQ(messages, int(limit));
    EXPECT_TRUE(found.Load().has_value()); // now from the peak file
    EXPECT_TRUE(found.PeaksFromFile());
}

// A take of its own, so that two recoveries can each hold one.
class OwnTake final : public recovery::TakeHolder {
  public:
    bool ContinuousModeChosen() const override { return true; }
    base::PeakTableRefs TakePeaks() override {
        return {tables[0].data(), tables[1].data(), tables[2].data(), tables[3].data()};
    }
    const base::RawFile& AdoptTake(base::RawFile&& adopted, uint32_t blocks,
                                   std::vector<record::DropoutMark>) override {
        file = std::move(adopted);
        this->blocks = blocks;
        return file;
    }
    void DiscardTake() override {
        file.Release();
        blocks = 0;
    }

    std::array<std::vector<int16_t>, 4> tables{std::vector<int16_t>(16), std::vector<int16_t>(16),
                                               std::vector<int16_t>(16), std::vector<int16_t>(16)};
    base::RawFile file;
    uint32_t blocks = 0;
};

// Two work folders side by side: each recovery loads, scans, caches and ends only its own.
TEST_F(FoundRecording, TwoRecoveriesOverTwoWorkFoldersAreIndependent) {
    testsupport::TempDir other;
    MakeRecovery(3 * BlockBytes);
    MakeRecovery(5 * BlockBytes, other.file("test"));
    OwnTake takeA, takeB;
    CountingPump pumpB;
    recovery::Recovery a{takeA, fileSystem, pump, {Path("test"), Path("Velmar.spv")}};
    recovery::Recovery b{takeB, fileSystem, pumpB, {other.file("test"), other.file("Velmar.spv")}};

    a.Load();
    ASSERT_TRUE(a.Active());
    EXPECT_TRUE(a.Active());
    EXPECT_FALSE(b.Active());
    EXPECT_TRUE(b.ShouldOffer()) << "a's loaded file does not stop b's offer";
    EXPECT_FALSE(a.ShouldOffer());
    EXPECT_FALSE(fs::exists(other.file("Velmar.spv")));
    EXPECT_EQ(b.ProgressPercent(), 0.0f);

    b.Load();
    ASSERT_TRUE(b.Active());
    EXPECT_EQ(std::pair(takeA.blocks, takeB.blocks), std::pair(3u, 5u));
    EXPECT_EQ(takeA.file.Path(), Path("test"));
    EXPECT_EQ(takeB.file.Path(), other.file("test"));
    EXPECT_EQ(std::pair(takeA.tables[0][3], takeB.tables[0][5]), std::pair(int16_t(3), int16_t(5)));
    EXPECT_EQ(takeA.tables[0][5], 0) << "b's scan stayed in b's tables";
    EXPECT_EQ(std::pair(messages, pumpB.count), std::pair(3, 5));
    EXPECT_EQ(std::pair(a.LoadedBlocks(), b.LoadedBlocks()), std::pair(3u, 5u));
    EXPECT_EQ(fs::file_size(Path("Velmar.spv")), 24u);
    EXPECT_EQ(fs::file_size(other.file("Velmar.spv")), 40u);

    a.EndRecovery();
    EXPECT_FALSE(a.Active());
    EXPECT_FALSE(takeA.file.IsOpen());
    EXPECT_TRUE(b.Active() && takeB.file.IsOpen());
    EXPECT_EQ(held.RecordingStream.Path(), Path("Velmar.raw")) << "the recorder's take";
}

} // namespace

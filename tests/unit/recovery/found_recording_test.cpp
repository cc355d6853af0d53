// SPDX-License-Identifier: GPL-3.0-or-later
#include "recovery/found_recording.h"

#include "app/startup.h"
#include "operations/editing_state.h"
#include "platform/services/process_messages.h"
#include "record/errors.h"
#include "record/pipeline.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>

namespace {

using record::BlockBytes;
namespace fs = std::filesystem;

// Block n: left k = n % 1000 and right -k throughout, but one frame at 1000 + k and -1000 - k.
std::vector<uint8_t> Block(uint32_t n) {
    std::vector<uint8_t> b(BlockBytes);
    const int k = int(n % 1000);
    for (int f = 0; f < record::BlockFrames; ++f) {
        const int peak = f == int(n % record::BlockFrames) ? 1000 : 0;
        const int16_t s[2] = {int16_t(peak + k), int16_t(-peak - k)};
        std::memcpy(&b[size_t(f) * 4], s, 4);
    }
    return b;
}

void WriteBlocks(const std::string& path, uint32_t first, uint32_t count, int64_t extraBytes = 0) {
    std::fstream out(path, std::ios::binary | std::ios::in | std::ios::out);
    for (uint32_t n = first; n < first + count; ++n) {
        out.seekp(record::BlockOffset(n));
        out.write(reinterpret_cast<const char*>(Block(n).data()), BlockBytes);
    }
    out.write(std::string(size_t(extraBytes), '\1').data(), extraBytes);
}

std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class FoundRecording : public ::testing::Test {
  protected:
    void SetUp() override {
        app::state = app::State{};
        app::state.paths = app::WorkPathsFor(QString::fromStdString(dir.path()));
        record::state = record::State{};
        record::AllocateBuffers();
        record::state.RecordingFilePath = Path("Velmar.raw");
        operations::state = operations::State{};
        recovery::state = recovery::State{};
        platform::SetProcessMessages([this] { ++messages; });
        // The current take: a wrapped loop of 10 blocks whose newest is block 3.
        record::RecreateRecordingFile();
        std::vector<uint8_t> take(10 * BlockBytes, 7);
        record::state.RecordingStream.WriteBlocks(1, take.data(), 10);
        record::state.FileBlocks = 10;
        record::state.NewestBlock = 3;
        record::state.LoopWrapped = true;
    }
    void TearDown() override {
        platform::SetProcessMessages({});
        record::state = record::State{};
        operations::state = operations::State{};
    }
    std::string Path(const char* name) const { return dir.file(name); }
    void MakeRecovery(uint32_t blocks, int64_t extraBytes = 0) {
        std::ofstream(Path("test"), std::ios::binary).close();
        WriteBlocks(Path("test"), 1, blocks, extraBytes);
    }
    void ExpectCurrentTakeKept() {
        EXPECT_EQ(record::state.RecordingStream.Path(), Path("Velmar.raw"));
        EXPECT_EQ(record::state.FileBlocks, 10u);
        EXPECT_FALSE(recovery::state.Active);
    }

    testsupport::TempDir dir;
    int messages = 0;
};

TEST_F(FoundRecording, OfferedOnlyInContinuousModeWithATestFile) {
    for (int mode = 0; mode < record::ModeCount; ++mode) {
        record::state.ChosenModeIndex = mode;
        EXPECT_FALSE(recovery::ShouldOffer()) << "no file, mode " << mode;
        MakeRecovery(1);
        EXPECT_EQ(recovery::ShouldOffer(), mode == 0) << "mode " << mode;
        fs::remove(Path("test"));
    }
}

TEST(FoundRecordingPeaks, ScanTakesRawSamplesWithTheLeftMaximumFloorAtMinus32767) {
    struct Case {
        int16_t left, right;
        record::BlockPeaks want;
    } cases[] = {{-32768, -32768, {-32767, -32768, -32768, -32768}},
                 {32767, 5, {32767, 32767, 5, 5}},
                 {0, 0, {0, 0, 0, 0}}};
    for (const Case& c : cases) {
        std::vector<int16_t> block(2 * record::BlockFrames);
        for (size_t i = 0; i < block.size(); i += 2) {
            block[i] = c.left, block[i + 1] = c.right;
        }
        const record::BlockPeaks p =
            recovery::ScanBlockPeaks(reinterpret_cast<const uint8_t*>(block.data()));
        EXPECT_EQ(std::vector<int>({p.maxL, p.minL, p.maxR, p.minR}),
                  std::vector<int>({c.want.maxL, c.want.minL, c.want.maxR, c.want.minR}))
            << "left " << c.left << " right " << c.right;
    }
}

// Lengths: whole blocks only, a take of 0 blocks included; level 0 is one segment over the
// recovery file even though the previous take was a wrapped loop.
struct LengthCase {
    int64_t bytes;
    uint32_t blocks;
};
void PrintTo(const LengthCase& c, std::ostream* os) {
    *os << c.bytes << " bytes";
}
class FoundRecordingLength : public FoundRecording,
                             public ::testing::WithParamInterface<LengthCase> {};

TEST_P(FoundRecordingLength, LoadsWholeBlocksAsOneSegment) {
    const LengthCase c = GetParam();
    MakeRecovery(uint32_t(c.bytes / BlockBytes), c.bytes % BlockBytes);
    ASSERT_TRUE(recovery::Load().loaded);
    EXPECT_EQ(record::state.RecordingStream.Path(), Path("test"));
    EXPECT_EQ(record::state.FileBlocks, c.blocks);
    EXPECT_EQ(operations::state.FileBlocks, c.blocks);
    EXPECT_EQ(record::RecordedTakeOrder().runs, 1);
    const operations::Level& level = operations::state.Levels[0];
    ASSERT_EQ(level.SegmentCount, 1);
    EXPECT_EQ(level.Segments[0].length, c.blocks);
    EXPECT_EQ(level.Segments[0].offset, 1u);
    EXPECT_EQ(fs::file_size(Path("Velmar.spv")), 8 * c.blocks);
    for (uint32_t n = 1; n <= c.blocks; ++n) {
        ASSERT_EQ(record::state.PeakMaxL[n], 1000 + int(n)) << n;
        ASSERT_EQ(record::state.PeakMinR[n], -1000 - int(n)) << n;
    }
}
INSTANTIATE_TEST_SUITE_P(Sizes, FoundRecordingLength,
                         ::testing::Values(LengthCase{35281, 2}, LengthCase{17639, 0},
                                           LengthCase{0, 0}, LengthCase{17640 * 5, 5}));

TEST(FoundRecordingLimit, AtMostThePeakTablesLength) {
    const int64_t limit = record::PeakArrayLength;
    for (int64_t bytes : {limit * BlockBytes, (limit + 1) * BlockBytes - 1, int64_t(1) << 60}) {
        EXPECT_EQ(recovery::LoadableBlocks(bytes), uint32_t(limit)) << bytes;
    }
}

// Where the peaks come from: a peak file counts only when it carries the recovery file's time.
struct PeakCase {
    const char* name;
    int bytes;      // of the peak file present before the load; -1: none
    int mtimeShift; // seconds from the recovery file's modification time
    bool fromFile;
};
void PrintTo(const PeakCase& c, std::ostream* os) {
    *os << c.name;
}
class FoundRecordingPeakFile : public FoundRecording,
                               public ::testing::WithParamInterface<PeakCase> {};

TEST_P(FoundRecordingPeakFile, ReadOnlyWhenItBelongsToTheFile) {
    const PeakCase c = GetParam();
    MakeRecovery(5);
    if (c.bytes >= 0) {
        std::ofstream(Path("Velmar.spv"), std::ios::binary) << std::string(size_t(c.bytes), '\x11');
        struct stat st {};
        ::stat(Path("test").c_str(), &st);
        st.st_mtim.tv_sec += c.mtimeShift;
        const struct timespec times[2] = {st.st_mtim, st.st_mtim};
        ASSERT_EQ(::utimensat(AT_FDCWD, Path("Velmar.spv").c_str(), times, 0), 0);
    }
    const std::string before = Contents(Path("Velmar.spv"));
    ASSERT_TRUE(recovery::Load().loaded);
    EXPECT_EQ(recovery::state.PeaksFromFile, c.fromFile);
    EXPECT_EQ(messages, c.fromFile ? 0 : 5) << "pending messages run once per scanned block";
    EXPECT_EQ(record::state.PeakMaxL[5], c.fromFile ? 0x1111 : 1005);
    if (c.fromFile) {
        EXPECT_EQ(Contents(Path("Velmar.spv")), before) << "not rewritten";
    } else {
        EXPECT_EQ(fs::file_size(Path("Velmar.spv")), 40u);
        EXPECT_TRUE(recovery::PeakFileBelongsTo(Path("Velmar.spv"), Path("test")));
        EXPECT_FLOAT_EQ(recovery::state.ProgressPercent, 100.0f);
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

TEST_F(FoundRecording, ScanWritesThePeakFileTheNextLoadReadsAndALoadInsideItIsRefused) {
    MakeRecovery(4);
    recovery::LoadResult inner{true, "", ""};
    platform::SetProcessMessages([&] {
        if (++messages == 2) {
            inner = recovery::Load();
        }
    });
    ASSERT_TRUE(recovery::Load().loaded);
    EXPECT_FALSE(inner.loaded);
    EXPECT_EQ(messages, 4);
    ASSERT_TRUE(recovery::Load().loaded);
    EXPECT_TRUE(recovery::state.PeaksFromFile);
    EXPECT_EQ(messages, 4);
    EXPECT_EQ(record::state.PeakMinL[4], 4);
}

// sox measures each block of a noise burst; the scan must find the same extremes.
TEST_F(FoundRecording, ScannedPeaksAgreeWithSox) {
    const QStringList raw = {"-t", "raw", "-r", "44100", "-c", "2", "-b", "16", "-e", "signed"};
    const QString test = QString::fromStdString(Path("test"));
    ASSERT_EQ(QProcess::execute(
                  "sox", QStringList{"-n"} + raw +
                             QStringList{test, "synth", "1", "whitenoise", "fade", "0", "1", "1"}),
              0);
    ASSERT_TRUE(recovery::Load().loaded);
    ASSERT_EQ(record::state.FileBlocks, 10u);
    const record::PeakTableRefs peaks = record::RecordingPeaks();
    for (uint32_t n = 1; n <= 10; ++n) {
        for (int channel : {1, 2}) {
            QProcess sox;
            sox.start("sox",
                      raw + QStringList{test, "-n", "trim", QString("%1s").arg((n - 1) * 4410),
                                        "4410s", "remix", QString::number(channel), "stat"});
            ASSERT_TRUE(sox.waitForFinished());
            const QString out = QString::fromUtf8(sox.readAllStandardError());
            auto amplitude = [&](const char* name) {
                const int at = out.indexOf(name) + int(std::strlen(name));
                return std::lround(out.mid(at).section('\n', 0, 0).toDouble() * 32768);
            };
            const int16_t* max = channel == 1 ? peaks.maxL : peaks.maxR;
            const int16_t* min = channel == 1 ? peaks.minL : peaks.minR;
            EXPECT_EQ(max[n], amplitude("Maximum amplitude:"))
                << "block " << n << " ch " << channel;
            EXPECT_EQ(min[n], amplitude("Minimum amplitude:"))
                << "block " << n << " ch " << channel;
        }
    }
}

TEST_F(FoundRecording, NothingWritesTheRecoveryFileAndClosingReturnsToVelmarRaw) {
    MakeRecovery(3);
    const std::string before = Contents(Path("test"));
    ASSERT_TRUE(recovery::Load().loaded);
    EXPECT_EQ(record::state.RecordingFilePath, Path("Velmar.raw")) << "the next take's file";
    EXPECT_THROW(record::state.RecordingStream.WriteBlock(1, Block(9).data()),
                 record::StreamWriteError);
    EXPECT_EQ(recovery::EndRecovery(), "");
    EXPECT_EQ(record::state.RecordingStream.Path(), Path("Velmar.raw"));
    EXPECT_EQ(fs::file_size(Path("Velmar.raw")), 0u);
    EXPECT_EQ(record::state.FileBlocks, 0u);
    EXPECT_EQ(Contents(Path("test")), before);
}

TEST_F(FoundRecording, AFileThatCannotBeOpenedKeepsTheCurrentTake) {
    for (bool folder : {false, true}) {
        if (folder) {
            fs::create_directory(Path("test"));
        }
        const recovery::LoadResult result = recovery::Load();
        EXPECT_FALSE(result.loaded);
        EXPECT_TRUE(result.error.contains(QString::fromStdString(Path("test")))) << folder;
        EXPECT_TRUE(result.error.contains(folder ? "Is a directory" : "No such file")) << folder;
        ExpectCurrentTakeKept();
    }
}

TEST_F(FoundRecording, ALongerFileLoadsItsFirstTenHoursAndSaysSo) {
    const uint32_t limit = record::PeakArrayLength;
    MakeRecovery(0);
    fs::resize_file(Path("test"), (uint64_t(limit) + 2) * BlockBytes + 100); // sparse
    WriteBlocks(Path("test"), limit, 2);
    const recovery::LoadResult result = recovery::Load();
    ASSERT_TRUE(result.loaded);
    EXPECT_TRUE(result.notice.contains(QString::fromStdString(Path("test"))));
    EXPECT_TRUE(result.notice.contains("first 10 hours")) << result.notice.toStdString();
    EXPECT_EQ(record::state.FileBlocks, limit);
    EXPECT_EQ(operations::state.Levels[0].Segments[0].length, limit);
    EXPECT_EQ(record::state.PeakMaxL[limit], 1000); // the last block loaded, written above
    EXPECT_EQ(record::state.PeakMaxL[limit - 1], 0);
    EXPECT_EQ(record::state.PeakMaxL.size(), size_t(limit) + 1);
    EXPECT_EQ(fs::file_size(Path("Velmar.spv")), 8 * uint64_t(limit));
    EXPECT_EQ(messages, int(limit));
    // The peak file written for the first ten hours serves the next load.
    EXPECT_FALSE(recovery::Load().notice.isEmpty());
    EXPECT_TRUE(recovery::state.PeaksFromFile);
    EXPECT_EQ(record::state.FileBlocks, limit);
}

} // namespace

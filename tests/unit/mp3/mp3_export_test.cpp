// SPDX-License-Identifier: GPL-3.0-or-later
// MP3 export through the real lame_enc.so, judged by tools we did not write: mp3val for the
// stream, mpg123 for the decoded sound (it honours the tag's delay and padding), ffprobe for the
// duration a player shows. Frame headers are read here, four bytes at a time.

#include "export/encoder_library.h"
#include "export/exporter.h"
#include "export/mp3_export.h"
#include "unit/export/exporter_ports.h"
#include "unit/operations/editing_fixture.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <tuple>

namespace {

using exporting::Outcome;

struct Tool {
    QByteArray out, err;
};
Tool RunTool(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    EXPECT_TRUE(p.waitForFinished(60000)) << program.toStdString() << " did not finish";
    return {p.readAllStandardOutput(), p.readAllStandardError()};
}

// mp3val's warnings and errors; that the file has no ID3 or APE tag is right, not a complaint.
QByteArrayList Mp3valComplaints(const QString& path) {
    QByteArrayList out;
    for (const QByteArray& line : RunTool("mp3val", {path}).out.split('\n')) {
        if ((line.startsWith("WARNING") || line.startsWith("ERROR")) &&
            !line.contains("No supported tags")) {
            out << line;
        }
    }
    return out;
}

struct Frame {
    bool mpeg1;
    int kbps, rate, mode, length;
    bool privateBit, copyright, original;
};
// The Layer III frame header at h, or nullopt when h holds none.
std::optional<Frame> ParseFrame(const unsigned char* h) {
    static const int kbps1[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
    static const int kbps2[] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
    static const int rates[] = {44100, 48000, 32000};
    const int version = (h[1] >> 3) & 3, bitIndex = h[2] >> 4, rateIndex = (h[2] >> 2) & 3;
    if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0 || version == 1 || ((h[1] >> 1) & 3) != 1 ||
        bitIndex == 0 || bitIndex == 15 || rateIndex == 3) {
        return std::nullopt;
    }
    Frame f;
    f.mpeg1 = version == 3;
    f.kbps = (f.mpeg1 ? kbps1 : kbps2)[bitIndex];
    f.rate = rates[rateIndex] / (f.mpeg1 ? 1 : version == 2 ? 2 : 4);
    f.length = (f.mpeg1 ? 144000 : 72000) * f.kbps / f.rate + ((h[2] >> 1) & 1);
    f.privateBit = h[2] & 1;
    f.mode = h[3] >> 6;
    f.copyright = (h[3] >> 3) & 1;
    f.original = (h[3] >> 2) & 1;
    return f;
}

double Correlation(const std::vector<int16_t>& a, const std::vector<int16_t>& b, long lag,
                   size_t from, size_t count) {
    double ab = 0, aa = 0, bb = 0;
    for (size_t i = from; i < from + count && i < a.size(); ++i) {
        const long j = long(i) + lag;
        const double x = a[i], y = (j >= 0 && size_t(j) < b.size()) ? b[size_t(j)] : 0.0;
        ab += x * y, aa += x * x, bb += y * y;
    }
    return aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0;
}

struct Case {
    const char* name;
    int bitRate, mode;
    bool vbr, copyright, original, privateBit;
    uint32_t first, last; // over a wrapped loop: positions 1..35 play blocks 26..60
    int minBitRate = 32, maxBitRate = 320;
};
void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

// The edit list of a wrapped loop over 6 s of tones: positions 1..35 play recording blocks
// 26..60, positions 36..60 blocks 1..25.
class Mp3Fixture : public testsupport::EditingTest {
  protected:
    void SetUp() override {
        EditingTest::SetUp();
        // Tones, continuous over the recording: 440 Hz and 3 kHz left, 1 kHz right.
        std::vector<int16_t> block(2 * base::BlockFrames);
        for (uint32_t k = 1; k <= RecordingBlocks; ++k) {
            for (int j = 0; j < base::BlockFrames; ++j) {
                const double t = ((k - 1) * base::BlockFrames + j) / 44100.0;
                block[2 * j] = int16_t(9000 * std::sin(2 * M_PI * 440 * t) +
                                       5000 * std::sin(2 * M_PI * 3000 * t));
                block[2 * j + 1] = int16_t(12000 * std::sin(2 * M_PI * 1000 * t));
            }
            take_.file.WriteBlock(k, block.data());
        }
        Open(RecordingBlocks, 25, true);
    }
    testsupport::Ended ExportMp3(const QString& target, const setup::Settings& settings,
                                 uint32_t first, uint32_t last) {
        return testsupport::Ending(
            [&] { return exporter_.ExportMp3(target, settings, first, last); });
    }

    QString target_ = QString::fromStdString(dir_.file("take1.mp3"));
    testsupport::ExporterPorts ports_;
    const testsupport::OpenEditorSound sound_{editor_};
    exporting::Exporter exporter_{sound_, ports_.encoders, ports_.files, ports_.pump};
};

class Mp3ExportTest : public Mp3Fixture, public testing::WithParamInterface<Case> {
  protected:
    static setup::Settings Settings(const Case& c) {
        setup::Settings s;
        s.BitRate = c.bitRate, s.Mode = c.mode, s.VBR = c.vbr, s.VBRQuality = 2;
        s.MinBitRate = c.minBitRate, s.MaxBitRate = c.maxBitRate;
        s.Copyright = c.copyright, s.Original = c.original, s.Private = c.privateBit;
        return s;
    }
};

TEST_P(Mp3ExportTest, ToolsAcceptTheFileAndItsSound) {
    const Case& c = GetParam();
    const testsupport::Ended r = ExportMp3(target_, Settings(c), c.first, c.last);
    ASSERT_EQ(r.outcome, Outcome::Done) << r.error.toStdString();

    EXPECT_EQ(Mp3valComplaints(target_), QByteArrayList{});

    QFile file(target_);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    int frames = 0;
    for (qsizetype at = 0; at < bytes.size(); ++frames) {
        const std::optional<Frame> f = ParseFrame(data + at);
        ASSERT_TRUE(f && at + f->length <= bytes.size()) << "no frame at byte " << at;
        EXPECT_TRUE(f->mpeg1 && f->rate == 44100) << "frame " << frames;
        EXPECT_EQ(f->mode, c.mode) << "frame " << frames;
        EXPECT_EQ(f->copyright, c.copyright) << "frame " << frames;
        EXPECT_EQ(f->original, c.original) << "frame " << frames;
        EXPECT_EQ(f->privateBit, c.privateBit) << "frame " << frames;
        if (!c.vbr) {
            EXPECT_EQ(f->kbps, c.bitRate) << "frame " << frames;
        } else if (frames > 0) { // the tag frame's rate is the encoder's own
            EXPECT_GE(f->kbps, std::min(c.minBitRate, c.maxBitRate)) << "frame " << frames;
            EXPECT_LE(f->kbps, std::max(c.minBitRate, c.maxBitRate)) << "frame " << frames;
        }
        if (frames == 0) {
            const QByteArray head = bytes.left(f->length);
            EXPECT_TRUE(head.contains(c.vbr ? "Xing" : "Info")) << "first frame is not the tag";
        }
        at += f->length;
    }

    // The source as the edit list plays it; mono is the mean of both channels.
    const size_t channels = c.mode == 3 ? 1 : 2;
    std::vector<int16_t> source;
    for (uint32_t p = c.first; p <= c.last; ++p) {
        int16_t block[2 * base::BlockFrames];
        ASSERT_EQ(E().ReadPosition(p, block), size_t(base::BlockBytes));
        for (int j = 0; j < base::BlockFrames; ++j) {
            if (channels == 1) {
                source.push_back(int16_t((block[2 * j] + block[2 * j + 1]) / 2));
            } else {
                source.insert(source.end(), {block[2 * j], block[2 * j + 1]});
            }
        }
    }
    const Tool decoded = RunTool("mpg123", {"-q", "-s", target_});
    std::vector<int16_t> sound(size_t(decoded.out.size()) / 2);
    std::memcpy(sound.data(), decoded.out.data(), sound.size() * 2);
    const long sourceFrames = long(source.size() / channels);
    EXPECT_LE(std::labs(long(sound.size() / channels) - sourceFrames), 1152)
        << "decoded " << sound.size() / channels << " frames of " << sourceFrames;
    long bestLag = 0;
    double best = -1;
    for (long lag = -1152; lag <= 1152; ++lag) {
        const double r =
            Correlation(source, sound, lag * long(channels), 44100 * channels, 4410 * channels);
        if (r > best) {
            best = r, bestLag = lag;
        }
    }
    EXPECT_GE(Correlation(source, sound, bestLag * long(channels), 0, source.size()), 0.99)
        << "lag " << bestLag;

    // A player's duration comes from the tag, not from a guess on the first frame's bit rate.
    const Tool probe = RunTool("ffprobe", {"-v", "warning", "-show_entries", "format=duration",
                                           "-of", "csv=p=0", target_});
    EXPECT_FALSE(probe.err.contains("Estimating duration")) << probe.err.data();
    EXPECT_NEAR(probe.out.trimmed().toDouble(), sourceFrames / 44100.0, 2 * 1152 / 44100.0);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, Mp3ExportTest,
    testing::Values(Case{"Cbr128StereoBitsClear", 128, 0, false, false, false, false, 1, 60},
                    Case{"Cbr64MonoBitsSet", 64, 3, false, true, true, true, 1, 60},
                    Case{"Vbr2JointCopyrightPrivate", 128, 1, true, true, false, true, 1, 60},
                    Case{"Cbr128RangeOverTwoSegments", 128, 0, false, false, true, false, 10, 52},
                    // The window lets the minimum be chosen above the maximum: still a range.
                    Case{"VbrMinimumAboveMaximum", 128, 0, true, false, false, false, 1, 60, 256,
                         64}),
    [](const testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

// Exports that must not produce a file: the user's earlier take stays byte for byte and no
// temporary file is left beside it.
enum class Trouble {
    MissingLibrary,
    BadBitRate,
    BadMode,
    ShortRead,
    DiskFull,
    Cancel,
    ReversedRange
};
struct FailureCase {
    const char* name;
    Trouble trouble;
    std::optional<Outcome> outcome; // nullopt: the export throws the user's text
    const char* error;              // the start of the user's text
};
void PrintTo(const FailureCase& c, std::ostream* os) {
    *os << c.name;
}

class Mp3ExportFailureTest : public Mp3Fixture, public testing::WithParamInterface<FailureCase> {};

TEST_P(Mp3ExportFailureTest, LeavesTheEarlierFileAlone) {
    const FailureCase& c = GetParam();
    setup::Settings settings;
    std::vector<float> progress;
    std::optional<exporting::PathEncoderLoader> missing;
    exporting::Exporter* running = nullptr;
    uint32_t first = 1, last = 0; // last 0: to the end of the sound as the case leaves it
    switch (c.trouble) {
    case Trouble::MissingLibrary:
        missing.emplace(QString::fromStdString(dir_.file("none/lame_enc.so")));
        break;
    case Trouble::BadBitRate:
        settings.BitRate = 100;
        break;
    case Trouble::BadMode:
        settings.Mode = 5;
        break;
    case Trouble::ShortRead:
        Open(RecordingBlocks + 10, RecordingBlocks, false);
        break;
    case Trouble::DiskFull:
        ports_.files.fault = [](int64_t offset, int64_t bytes) { return offset + bytes > 20000; };
        break;
    case Trouble::Cancel:
        ports_.pump.step = [&running, &progress] {
            progress.push_back(running->ProgressPercent());
            if (progress.size() >= 20) {
                running->Cancel();
            }
        };
        break;
    case Trouble::ReversedRange:
        first = 30, last = 29;
        break;
    }
    QFile earlier(target_);
    ASSERT_TRUE(earlier.open(QIODevice::WriteOnly) && earlier.write("earlier take") == 12);
    earlier.close();

    last = last ? last : E().Blocks();
    exporting::Exporter exporter(sound_, missing ? *missing : ports_.encoders, ports_.files,
                                 ports_.pump);
    running = &exporter;
    const testsupport::Ended r =
        testsupport::Ending([&] { return exporter.ExportMp3(target_, settings, first, last); });
    EXPECT_EQ(r.outcome, c.outcome);
    EXPECT_EQ(r.error.left(int(std::strlen(c.error))), c.error) << r.error.toStdString();
    ASSERT_TRUE(earlier.open(QIODevice::ReadOnly));
    EXPECT_EQ(earlier.readAll(), "earlier take");
    EXPECT_EQ(QDir(QString::fromStdString(dir_.path()))
                  .entryList(QDir::Files | QDir::Hidden)
                  .filter(QRegularExpression("^\\.|mp3")),
              QStringList{"take1.mp3"});
    if (c.trouble == Trouble::Cancel) {
        EXPECT_EQ(progress.size(), 20u) << "the export went on after Cancel";
        EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()) && progress.back() < 100);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Troubles, Mp3ExportFailureTest,
    testing::Values(FailureCase{"MissingLibrary", Trouble::MissingLibrary, std::nullopt,
                                "Lame_enc.dll did not found"},
                    FailureCase{"BitRate100", Trouble::BadBitRate, std::nullopt, "BE_ERR code-2"},
                    FailureCase{"Mode5", Trouble::BadMode, std::nullopt, "BE_ERR code-2"},
                    FailureCase{"SoundShorterThanList", Trouble::ShortRead, std::nullopt,
                                "Stream read error"},
                    FailureCase{"DiskFull", Trouble::DiskFull, std::nullopt, "Cannot write file"},
                    FailureCase{"CancelAtChunk20", Trouble::Cancel, Outcome::Cancelled, ""},
                    // Refused as the WAV exporter refuses it, not written as a file without sound.
                    FailureCase{"ReversedRange", Trouble::ReversedRange, std::nullopt,
                                "Please Select Waveform!"}),
    [](const testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

// At 32 kbps the encoder picks a lower MPEG-2 rate, and no tag frame fits a frame that small.
TEST_F(Mp3Fixture, LowBitRateTakesALowerRate) {
    setup::Settings settings;
    settings.BitRate = 32;
    const testsupport::Ended r = ExportMp3(target_, settings, 1, 60);
    ASSERT_EQ(r.outcome, Outcome::Done) << r.error.toStdString();
    EXPECT_EQ(Mp3valComplaints(target_), QByteArrayList{});
    QFile file(target_);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const std::optional<Frame> f =
        ParseFrame(reinterpret_cast<const unsigned char*>(file.read(4).data()));
    ASSERT_TRUE(f);
    EXPECT_TRUE(!f->mpeg1 && f->rate == 16000 && f->kbps == 32);
}

// Every bit rate the save-settings window offers, in every channel mode the encoder library
// takes (dual channel too, which the window does not offer): each frame header carries the
// chosen rate and mode, and mp3val finds nothing wrong. The output rate is the encoder's choice.
class Mp3FrameTest : public Mp3Fixture,
                     public testing::WithParamInterface<std::tuple<int32_t, int32_t>> {};

TEST_P(Mp3FrameTest, EveryFrameCarriesTheChosenRateAndMode) {
    const auto [bitRate, mode] = GetParam();
    setup::Settings settings;
    settings.BitRate = bitRate, settings.Mode = mode;
    const testsupport::Ended r = ExportMp3(target_, settings, 1, 10);
    ASSERT_EQ(r.outcome, Outcome::Done) << r.error.toStdString();
    EXPECT_EQ(Mp3valComplaints(target_), QByteArrayList{});
    QFile file(target_);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    int frames = 0;
    for (qsizetype at = 0; at < bytes.size(); ++frames) {
        ASSERT_LE(at + 4, bytes.size()) << "a part of a frame header at the end";
        const std::optional<Frame> f =
            ParseFrame(reinterpret_cast<const unsigned char*>(bytes.data()) + at);
        ASSERT_TRUE(f && at + f->length <= bytes.size()) << "no frame at byte " << at;
        ASSERT_EQ(f->kbps, bitRate) << "frame " << frames;
        ASSERT_EQ(f->mode, mode) << "frame " << frames;
        at += f->length;
    }
    EXPECT_GE(frames, 10); // one second of sound
}

std::string FrameCaseName(const testing::TestParamInfo<std::tuple<int32_t, int32_t>>& info) {
    static const char* const modes[] = {"Stereo", "Joint", "Dual", "Mono"};
    return "Kbps" + std::to_string(std::get<0>(info.param)) + modes[std::get<1>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(OfferedRates, Mp3FrameTest,
                         testing::Combine(testing::ValuesIn(setup::OfferedBitRates),
                                          testing::Values(BeModeStereo, BeModeJointStereo,
                                                          BeModeDualChannel, BeModeMono)),
                         FrameCaseName);

TEST(EncoderLibrary, LooksBesideTheProgramThenInItsLibFolderThenOnTheLibraryPath) {
    EXPECT_EQ(exporting::EncoderLibraryCandidates("/opt/velmar/bin/velmar-recorder"),
              QStringList({"/opt/velmar/bin/lame_enc.so",
                           "/opt/velmar/lib/velmar-recorder/lame_enc.so", "lame_enc.so"}));
}

} // namespace

// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/exporter.h"
#include "export/recorded_take.h"
#include "export/save_flow.h"

#include "exporter_ports.h"
#include "record/pipeline.h"
#include "support/record_harness.h"
#include "tool_output.h"
#include "unit/operations/editing_fixture.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <cerrno>
#include <sys/mount.h>
#include <unistd.h>

namespace {

setup::Settings Wav(int rate, int channels, int bits) {
    setup::Settings s;
    s.Wav = true;
    s.MP3 = false;
    s.SamplePerSecond = rate;
    s.Channels = int16_t(channels);
    s.BitPerSample = int16_t(bits);
    return s;
}

QByteArray Contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

class WavExport : public testsupport::EditingTest {
  protected:
    void SetUp() override {
        EditingTest::SetUp();
        target_ = QString::fromStdString(dir_.file("take1.wav"));
    }
    void TearDown() override {
        if (!mounted_.isEmpty()) {
            EXPECT_EQ(::umount(mounted_.toLocal8Bit().constData()), 0);
        }
        EditingTest::TearDown();
    }

    // Writes an earlier file at the target, as a user's previous export.
    void WriteEarlier(const QString& path) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(1000, 'e'));
    }
    // Hidden files left in a folder (the exporter's temporary files are hidden).
    static QStringList Hidden(const QString& folder) {
        return QDir(folder)
            .entryList(QDir::Files | QDir::Hidden | QDir::System)
            .filter(QRegularExpression("^\\."));
    }
    // The blocks of positions first..last, as the edit list plays them.
    QByteArray Sound(uint32_t first, uint32_t last) {
        QByteArray out;
        std::vector<unsigned char> block(base::BlockBytes);
        for (uint32_t p = first; p <= last; ++p) {
            E().ReadPosition(p, block.data());
            out.append(reinterpret_cast<const char*>(block.data()), base::BlockBytes);
        }
        return out;
    }

    testsupport::Ended ExportWav(const QString& target, const setup::Settings& settings,
                                 uint32_t first, uint32_t last) {
        return testsupport::Ending(
            [&] { return exporter_.ExportWav(target, settings, first, last); });
    }

    QString target_;
    QString mounted_; // a tmpfs this test mounted, unmounted when it ends
    testsupport::ExporterPorts ports_;
    const testsupport::OpenEditorSound sound_{editor_};
    exporting::Exporter exporter_{sound_, ports_.encoders, ports_.files, ports_.pump};
};

TEST_F(WavExport, StereoSixteenBitIsTheSoundBehindAPlainHeader) {
    ASSERT_EQ(ExportWav(target_, Wav(44100, 2, 16), 1, 60).outcome, exporting::Outcome::Done);
    const QByteArray file = Contents(target_);
    ASSERT_EQ(file.size(), 44 + 60 * base::BlockBytes);
    EXPECT_TRUE(file.mid(44) == Sound(1, 60));
    EXPECT_EQ(testsupport::ToolOutput("soxi", {"-r", target_}), "44100");
    EXPECT_EQ(testsupport::ToolOutput("soxi", {"-c", target_}), "2");
    EXPECT_EQ(testsupport::ToolOutput("soxi", {"-b", target_}), "16");
    EXPECT_EQ(testsupport::ToolOutput("soxi", {"-s", target_}), "264600");
    EXPECT_FLOAT_EQ(exporter_.ProgressPercent(), 100.0f);
    EXPECT_TRUE(Hidden(QString::fromStdString(dir_.path())).isEmpty());
}

// The stereo 16-bit data is copied by the kernel; where the kernel refuses (at once, or after
// some runs) the rest is read and written instead, with the same bytes. The sound mixes the
// recording with blocks an edit wrote to the edit file.
struct KernelCopyCase {
    const char* name;
    int refusal;     // error number the kernel refuses with, 0 for none
    int refusedFrom; // the first copy refused
    bool cancelAtHalf;
};

void PrintTo(const KernelCopyCase& c, std::ostream* os) {
    *os << c.name;
}

class WavKernelCopy : public WavExport, public ::testing::WithParamInterface<KernelCopyCase> {};

TEST_P(WavKernelCopy, WritesTheSoundsBytesWhateverTheKernelCopies) {
    const KernelCopyCase c = GetParam();
    Select(20, 40);
    E().Amplify(50);
    ports_.files.copyRefusal = [c](int copy) { return copy >= c.refusedFrom ? c.refusal : 0; };
    if (c.cancelAtHalf) {
        WriteEarlier(target_);
        ports_.pump.step = [this] {
            if (exporter_.ProgressPercent() >= 50) {
                exporter_.Cancel();
            }
        };
        EXPECT_EQ(ExportWav(target_, Wav(44100, 2, 16), 1, 60).outcome,
                  exporting::Outcome::Cancelled);
        EXPECT_FLOAT_EQ(exporter_.ProgressPercent(), 50.0f);
        EXPECT_EQ(Contents(target_), QByteArray(1000, 'e'));
    } else {
        const testsupport::Ended r = ExportWav(target_, Wav(44100, 2, 16), 1, 60);
        ASSERT_EQ(r.outcome, exporting::Outcome::Done) << r.error.toStdString();
        const QByteArray file = Contents(target_);
        ASSERT_EQ(file.size(), 44 + 60 * base::BlockBytes);
        EXPECT_TRUE(file.mid(44) == Sound(1, 60));
        EXPECT_EQ(testsupport::ToolOutput("soxi", {"-s", target_}), "264600");
        EXPECT_FLOAT_EQ(exporter_.ProgressPercent(), 100.0f);
    }
    EXPECT_GE(ports_.files.copies, 1) << "no kernel copy was tried";
    EXPECT_TRUE(Hidden(QString::fromStdString(dir_.path())).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, WavKernelCopy,
    ::testing::Values(KernelCopyCase{"Copied", 0, 1, false},
                      KernelCopyCase{"OtherFileSystem", EXDEV, 1, false},
                      KernelCopyCase{"NoSystemCall", ENOSYS, 1, false},
                      KernelCopyCase{"NotThisFile", EINVAL, 1, false},
                      KernelCopyCase{"RefusedAfterTwoRuns", EOPNOTSUPP, 3, false},
                      KernelCopyCase{"CancelledWhileCopying", 0, 1, true}),
    [](const ::testing::TestParamInfo<KernelCopyCase>& info) { return info.param.name; });

TEST_F(WavExport, ElevenKilohertzKeepsEveryFourthFrameOfTheWholeExport) {
    ASSERT_EQ(ExportWav(target_, Wav(11025, 2, 16), 3, 6).outcome, exporting::Outcome::Done);
    EXPECT_EQ(testsupport::ToolOutput("soxi", {"-s", target_}), "4410");
    EXPECT_EQ(testsupport::ToolOutput("soxi", {"-r", target_}), "11025");
    const QByteArray data = Contents(target_).mid(44);
    ASSERT_EQ(data.size(), 4410 * 4);
    for (int k = 0; k < 4410; ++k) {
        const int n = 4 * k; // running index of the frame taken
        int16_t left, right;
        std::memcpy(&left, data.constData() + 4 * k, 2);
        std::memcpy(&right, data.constData() + 4 * k + 2, 2);
        ASSERT_EQ(left, 3 + n / base::BlockFrames) << k;
        ASSERT_EQ(right, n % base::BlockFrames) << k;
    }
}

TEST_F(WavExport, TakeOfAWrappedLoopExportsAcrossBothSegments) {
    testsupport::RecorderRig rig;
    record::Recorder recorder(rig.Ports(), rig.events, {});
    base::RawFile file;
    file.OpenExisting(dir_.file("Velmar.raw"));
    recorder.AdoptRecording(std::move(file), 60);
    // A loop ring that wrapped, block 20 the newest.
    record::State& take60 = record::RecorderProbe::Of(recorder);
    take60.NewestBlock = 20;
    take60.LoopWrapped = true;
    const exporting::RecordedTake take = exporting::RecordedTake::OfRecorder(recorder);
    EXPECT_EQ(take.Blocks(), 60u);
    // Positions 35..45 are recording blocks 55..60 and then 1..5; mono keeps the left sample,
    // which is the block's number.
    exporting::Exporter exporter(take, ports_.encoders, ports_.files, ports_.pump);
    ASSERT_EQ(exporter.ExportWav(target_, Wav(44100, 1, 16), 35, 45), exporting::Outcome::Done);
    const QByteArray data = Contents(target_).mid(44);
    ASSERT_EQ(data.size(), 11 * base::BlockFrames * 2);
    std::vector<int> blocks;
    for (int b = 0; b < 11; ++b) {
        int16_t left;
        std::memcpy(&left, data.constData() + b * base::BlockFrames * 2, 2);
        blocks.push_back(left);
    }
    using testsupport::operator+;
    EXPECT_EQ(blocks, testsupport::Range(55, 60) + testsupport::Range(1, 5));
}

TEST_F(WavExport, CancelAtHalfLeavesTheEarlierFileAndNoTemporary) {
    WriteEarlier(target_);
    ports_.pump.step = [this] {
        if (exporter_.ProgressPercent() >= 50) {
            exporter_.Cancel();
        }
    };
    EXPECT_EQ(ExportWav(target_, Wav(22050, 1, 8), 1, 60).outcome, exporting::Outcome::Cancelled);
    EXPECT_FLOAT_EQ(exporter_.ProgressPercent(), 50.0f);
    EXPECT_EQ(Contents(target_), QByteArray(1000, 'e'));
    EXPECT_TRUE(Hidden(QString::fromStdString(dir_.path())).isEmpty());
}

TEST_F(WavExport, FailedWriteLeavesTheEarlierFileAndNoTemporary) {
    // As root, a small tmpfs filled by the export; otherwise the write-fault seam.
    const QString disk = QString::fromStdString(dir_.file("disk"));
    ASSERT_TRUE(QDir().mkpath(disk));
    if (::geteuid() == 0 &&
        ::mount("tmpfs", disk.toLocal8Bit().constData(), "tmpfs", 0, "size=256k") == 0) {
        mounted_ = disk;
    } else {
        ports_.files.fault = [](int64_t offset, int64_t) { return offset > 0; };
    }
    const QString target = disk + "/take1.wav";
    WriteEarlier(target);
    const testsupport::Ended r = ExportWav(target, Wav(44100, 2, 16), 1, 60);
    EXPECT_EQ(r.outcome, std::nullopt);
    EXPECT_TRUE(r.error.contains("No space left on device")) << r.error.toStdString();
    EXPECT_EQ(Contents(target), QByteArray(1000, 'e'));
    EXPECT_TRUE(Hidden(disk).isEmpty());
}

// A name of 255 bytes, the most a folder entry holds, saves: the temporary file beside it has a
// short name of its own. Two-byte letters make the bytes count, not the characters.
TEST_F(WavExport, LongestNameTheFileSystemTakesIsSaved) {
    const QString name = QString("ü").repeated(120) + QString("a").repeated(11) + ".wav";
    ASSERT_EQ(QFile::encodeName(name).size(), 255);
    const QString target = QString::fromStdString(dir_.path()) + "/" + name;
    const testsupport::Ended r = ExportWav(target, Wav(44100, 2, 16), 1, 60);
    ASSERT_EQ(r.outcome, exporting::Outcome::Done) << r.error.toStdString();
    EXPECT_EQ(testsupport::ToolOutput("soxi", {"-s", target}), "264600");
    EXPECT_TRUE(Hidden(QString::fromStdString(dir_.path())).isEmpty());
}

TEST_F(WavExport, ShortReadStopsWithAnErrorAndLeavesTheTarget) {
    WriteEarlier(target_);
    // The recording file ends in the middle of block 31.
    ASSERT_EQ(::truncate(dir_.file("Velmar.raw").c_str(), 30 * base::BlockBytes + 100), 0);
    const testsupport::Ended r = ExportWav(target_, Wav(44100, 2, 16), 1, 60);
    EXPECT_EQ(r.outcome, std::nullopt);
    EXPECT_TRUE(r.error.contains("block 31")) << r.error.toStdString();
    EXPECT_EQ(Contents(target_), QByteArray(1000, 'e'));
    EXPECT_TRUE(Hidden(QString::fromStdString(dir_.path())).isEmpty());
}

TEST_F(WavExport, ReversedRangeWritesNothingAndEmptySoundGivesAPlainHeader) {
    const testsupport::Ended reversed = ExportWav(target_, Wav(44100, 2, 16), 10, 5);
    EXPECT_EQ(reversed.outcome, std::nullopt);
    EXPECT_EQ(reversed.error, "Please Select Waveform!");
    EXPECT_FALSE(QFile::exists(target_));

    Open(0, 0, false);
    ASSERT_EQ(ExportWav(target_, Wav(44100, 2, 16), 1, 0).outcome, exporting::Outcome::Done);
    const QByteArray file = Contents(target_);
    ASSERT_EQ(file.size(), 44);
    EXPECT_EQ(file.mid(4, 4), QByteArray("\x24\0\0\0", 4));
    EXPECT_EQ(file.mid(40, 4), QByteArray(4, '\0'));
    EXPECT_EQ(testsupport::ToolOutput("soxi", {"-s", target_}), "0");
    EXPECT_FLOAT_EQ(exporter_.ProgressPercent(), 100.0f);
}

TEST_F(WavExport, SaveFlowRunsTheChosenExporterWithOtherCommandsRefused) {
    Select(11, 20);
    E().FadeIn(); // something Undo could undo, leaving 11..20 selected
    const operations::Selection& marked = E().CurrentSelection();
    const std::optional<exporting::ExportRange> range =
        exporting::SaveSelectionRange(marked.SelStart, marked.SelEnd, E().Blocks());
    ASSERT_TRUE(range);
    int steps = 0;
    bool refused = true;
    ports_.pump.step = [&] {
        ++steps;
        refused = refused && exporter_.Exporting() && !E().Undo() &&
                  testsupport::Ending([&] {
                      return exporter_.Export(target_, Wav(44100, 2, 16), 1, 60);
                  }).error == "An export is already running.";
    };
    exporter_.Cancel(); // as a Cancel of the previous export left it
    const testsupport::Ended r = testsupport::Ending(
        [&] { return exporter_.Export(target_, Wav(44100, 1, 16), range->first, range->last); });
    ASSERT_EQ(r.outcome, exporting::Outcome::Done) << r.error.toStdString();
    EXPECT_EQ(steps, 10);
    EXPECT_TRUE(refused);
    EXPECT_FALSE(exporter_.Exporting());
    EXPECT_EQ(exporter_.TargetName(), "take1.wav");
    EXPECT_EQ(testsupport::ToolOutput("soxi", {"-s", target_}), "44100");
    EXPECT_TRUE(E().Undo()); // commands work again once the export is over

    // With Wav false the same call writes MP3.
    ports_.pump.step = nullptr;
    const QString mp3 = QString::fromStdString(dir_.file("take1.mp3"));
    const testsupport::Ended m =
        testsupport::Ending([&] { return exporter_.Export(mp3, setup::Settings{}, 1, 60); });
    ASSERT_EQ(m.outcome, exporting::Outcome::Done) << m.error.toStdString();
    EXPECT_EQ(testsupport::ToolOutput("ffprobe", {"-v", "error", "-show_entries",
                                                  "format=format_name", "-of", "csv=p=0", mp3}),
              "mp3");
}

// Two Exporters over two sounds, the second running inside the first one's pending messages:
// each writes its own sound, keeps its own progress and hears only its own Cancel.
TEST_F(WavExport, TwoExportersOverTwoSoundsExportIndependently) {
    // The same recording in another order: blocks 41..60, then 1..40, each with its peaks.
    const exporting::RecordedTake other(record::TakeOrder{2, {{41, 20}, {1, 40}}}, take_.file,
                                        take_.View(60, 60, false).peaks);
    EXPECT_EQ(other.Peaks(21)->maxL, 1);
    EXPECT_EQ(other.Peaks(20)->maxL, 60);
    EXPECT_FALSE(other.Peaks(61));
    testsupport::ExporterPorts otherPorts;
    exporting::Exporter second(other, otherPorts.encoders, otherPorts.files, otherPorts.pump);
    const QString secondTarget = QString::fromStdString(dir_.file("take2.wav"));
    std::vector<exporting::Outcome> inner;
    ports_.pump.step = [&] {
        if (!inner.empty() || exporter_.ProgressPercent() < 50) {
            return;
        }
        otherPorts.pump.step = [&] {
            if (second.ProgressPercent() >= 25) {
                second.Cancel();
            }
        };
        inner.push_back(second.Export(secondTarget, Wav(44100, 1, 16), 1, 60));
        EXPECT_FLOAT_EQ(second.ProgressPercent(), 25.0f);
        otherPorts.pump.step = nullptr;
        inner.push_back(second.Export(secondTarget, Wav(44100, 1, 16), 1, 60));
    };
    ASSERT_EQ(testsupport::Ending([&] {
                  return exporter_.Export(target_, Wav(44100, 1, 16), 1, 60);
              }).outcome,
              exporting::Outcome::Done);
    EXPECT_EQ(inner, (std::vector{exporting::Outcome::Cancelled, exporting::Outcome::Done}));
    EXPECT_FLOAT_EQ(exporter_.ProgressPercent(), 100.0f);
    EXPECT_FLOAT_EQ(second.ProgressPercent(), 100.0f);
    EXPECT_EQ(exporter_.TargetName(), "take1.wav");
    EXPECT_EQ(second.TargetName(), "take2.wav");
    // Mono keeps the left sample, which is the recording block's number.
    auto blocks = [](const QString& path) {
        const QByteArray data = Contents(path).mid(44);
        std::vector<int> out;
        for (qsizetype at = 0; at + 2 <= data.size(); at += base::BlockFrames * 2) {
            int16_t left;
            std::memcpy(&left, data.constData() + at, 2);
            out.push_back(left);
        }
        return out;
    };
    using testsupport::operator+;
    EXPECT_EQ(blocks(target_), testsupport::Range(1, 60));
    EXPECT_EQ(blocks(secondTarget), testsupport::Range(41, 60) + testsupport::Range(1, 40));
}

} // namespace

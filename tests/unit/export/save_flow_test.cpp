// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/save_flow.h"
#include "support/temp_dir.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace {

struct FilterCase {
    const char* name;
    setup::Settings settings;
    const char* text;
    const char* suffix;
};

void PrintTo(const FilterCase& c, std::ostream* os) {
    *os << c.name;
}

setup::Settings With(std::function<void(setup::Settings&)> change) {
    setup::Settings s;
    change(s);
    return s;
}

class SaveFilterText : public ::testing::TestWithParam<FilterCase> {};

TEST_P(SaveFilterText, FollowsTheSettings) {
    const exporting::SaveFilter f = exporting::SaveFilterFor(GetParam().settings);
    EXPECT_EQ(f.Text().toStdString(), GetParam().text);
    EXPECT_EQ(f.defaultSuffix.toStdString(), GetParam().suffix);
    EXPECT_EQ(exporting::ExportsWav(GetParam().settings), f.defaultSuffix == "wav");
}

INSTANTIATE_TEST_SUITE_P(
    Settings, SaveFilterText,
    ::testing::Values(FilterCase{"Wav44100", With([](auto& s) { s.Wav = true, s.MP3 = false; }),
                                 "44100Hz 16bit stereo (*.wav)|*.WAV", "wav"},
                      FilterCase{"Wav22050Mono8", With([](auto& s) {
                                     s.Wav = true, s.MP3 = false, s.SamplePerSecond = 22050,
                                     s.Channels = 1, s.BitPerSample = 8;
                                 }),
                                 "22050Hz 8bit mono (*.wav)|*.WAV", "wav"},
                      FilterCase{"Mp3JointStereo", With([](auto& s) { s.Mode = 1; }),
                                 "128 kbps joint stereo (*.mp3)|*.MP3", "mp3"},
                      FilterCase{"Mp3ModeTwo", With([](auto& s) { s.Mode = 2; }),
                                 "128 kbps (*.mp3)|*.MP3", "mp3"},
                      FilterCase{"Mp3Vbr", With([](auto& s) { s.VBR = true; }),
                                 "VBR 32-320 kbps stereo (*.mp3)|*.MP3", "mp3"},
                      // Hand-edited files: Wav decides for the dialog as for the exporter.
                      FilterCase{"BothTrueIsWav", With([](auto& s) { s.Wav = true, s.MP3 = true; }),
                                 "44100Hz 16bit stereo (*.wav)|*.WAV", "wav"},
                      FilterCase{"BothFalseIsMp3",
                                 With([](auto& s) { s.Wav = false, s.MP3 = false; }),
                                 "128 kbps stereo (*.mp3)|*.MP3", "mp3"}),
    [](const auto& info) { return std::string(info.param.name); });

// The name typed decides the format; the settings' other values ride along unchanged.
TEST(SaveTarget, TypedExtensionDecidesTheFormatAndOtherNamesGetTheChosenOne) {
    const struct {
        bool wavChosen;
        const char* typed;
        const char* written;
        bool wav;
    } rows[] = {
        {false, "/out/take.wav", "/out/take.wav", true},
        {false, "/out/take.WaV", "/out/take.WaV", true},
        {true, "/out/take.mp3", "/out/take.mp3", false},
        {true, "/out/take.MP3", "/out/take.MP3", false},
        {true, "/out/take", "/out/take.wav", true},
        {false, "/out/take", "/out/take.mp3", false},
        {false, "/out/take.ogg", "/out/take.ogg.mp3", false},
        {true, "/out/take.wav.bak", "/out/take.wav.bak.wav", true},
        {false, "/out/takewav", "/out/takewav.mp3", false},
    };
    for (const auto& row : rows) {
        setup::Settings chosen = With([&](auto& s) {
            s.Wav = row.wavChosen, s.MP3 = !row.wavChosen, s.SamplePerSecond = 22050,
            s.BitRate = 64;
        });
        const exporting::SaveTarget t = exporting::SaveTargetFor(row.typed, chosen);
        EXPECT_EQ(t.path.toStdString(), row.written) << row.typed;
        EXPECT_EQ(t.settings.Wav, row.wav) << row.typed;
        EXPECT_EQ(t.settings.MP3, !row.wav) << row.typed;
        EXPECT_EQ(exporting::ExportsWav(t.settings), row.wav) << row.typed;
        EXPECT_EQ(t.settings.SamplePerSecond, 22050);
        EXPECT_EQ(t.settings.BitRate, 64);
    }
}

TEST(SaveTarget, DialogOpensInTheOutputFolderOrHomeOnceItIsGone) {
    testsupport::TempDir dir;
    const QString folder = QString::fromStdString(dir.path());
    EXPECT_EQ(exporting::SaveDialogFolder(folder), folder);
    EXPECT_EQ(exporting::SaveDialogFolder(folder + "/gone"), QDir::homePath());
    QFile plain(QString::fromStdString(dir.file("plain")));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    EXPECT_EQ(exporting::SaveDialogFolder(plain.fileName()), QDir::homePath()); // not a folder
    EXPECT_EQ(exporting::SaveDialogFolder(""), QDir::homePath());
}

TEST(ExportRange, SelectionMustBeInsideTheSoundAndNotReversed) {
    using R = std::optional<exporting::ExportRange>;
    auto range = [](uint32_t a, uint32_t b) {
        const R r = exporting::SaveSelectionRange(a, b, 60);
        return r ? std::pair(r->first, r->last) : std::pair(0u, 0u);
    };
    EXPECT_EQ(range(5, 10), std::pair(5u, 10u));
    EXPECT_EQ(range(1, 60), std::pair(1u, 60u));
    EXPECT_EQ(range(7, 7), std::pair(0u, 0u));   // nothing selected
    EXPECT_EQ(range(10, 5), std::pair(0u, 0u));  // reversed
    EXPECT_EQ(range(0, 5), std::pair(0u, 0u));   // before the sound
    EXPECT_EQ(range(50, 61), std::pair(0u, 0u)); // past its end
    // Save All of an empty sound is 1..0, which only an empty sound may export.
    EXPECT_TRUE(exporting::IsExportRange(1, 0, 0));
    EXPECT_FALSE(exporting::IsExportRange(1, 0, 60));
    EXPECT_FALSE(exporting::IsExportRange(6, 5, 60));
    EXPECT_TRUE(exporting::IsExportRange(1, 1, 60));
}

} // namespace

// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/errors.h"
#include "setup/settings.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <fstream>

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

// The text a failed save throws; empty when the save succeeds.
QString SaveError(const QString& path, const setup::Settings& settings) {
    try {
        setup::SaveSettings(path, settings);
    } catch (const base::UserError& error) {
        return QString::fromUtf8(error.what());
    }
    return {};
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool SameSettings(const setup::Settings& a, const setup::Settings& b) {
    return a.Wav == b.Wav && a.SamplePerSecond == b.SamplePerSecond &&
           a.BitPerSample == b.BitPerSample && a.Channels == b.Channels && a.MP3 == b.MP3 &&
           a.BitRate == b.BitRate && a.Mode == b.Mode && a.VBR == b.VBR &&
           a.MinBitRate == b.MinBitRate && a.MaxBitRate == b.MaxBitRate &&
           a.VBRQuality == b.VBRQuality && a.Copyright == b.Copyright && a.Original == b.Original &&
           a.Private == b.Private && a.OutputFolder == b.OutputFolder &&
           a.RecordingModeIndex == b.RecordingModeIndex;
}

TEST(SettingsFile, LiesBesideTheExecutableWithTheIniExtension) {
    EXPECT_EQ(setup::SettingsFilePathFor("/opt/velmar/velmar-recorder"),
              "/opt/velmar/velmar-recorder.INI");
    EXPECT_EQ(setup::SettingsFilePathFor("/opt/v.1/rec.bin"), "/opt/v.1/rec.INI");
}

TEST(SettingsFile, FirstRunGivesTheDefaultsAndWritesAllSixteenKeysInOrder) {
    testsupport::TempDir dir;
    std::string path = dir.file("rec.INI");
    setup::Settings s = setup::LoadSettings(Q(path));
    EXPECT_FALSE(s.Wav);
    EXPECT_TRUE(s.MP3);
    EXPECT_EQ(s.BitRate, 128);
    EXPECT_EQ(s.Mode, 0);
    EXPECT_EQ(s.SamplePerSecond, 44100);
    EXPECT_EQ(s.BitPerSample, 16);
    EXPECT_EQ(s.Channels, 2);
    EXPECT_EQ(s.MinBitRate, 32);
    EXPECT_EQ(s.MaxBitRate, 320);
    EXPECT_EQ(s.RecordingModeIndex, 0);
    EXPECT_EQ(s.OutputFolder, QDir::homePath());

    ASSERT_EQ(SaveError(Q(path), s), "");
    const std::string expected = "[Save Format]\n"
                                 "Wav=0\n"
                                 "SamplePerSecond=44100\n"
                                 "BitPerSample=16\n"
                                 "Channels=2\n"
                                 "MP3=1\n"
                                 "BitRate=128\n"
                                 "Mode=0\n"
                                 "VBR=0\n"
                                 "MinBitRate=32\n"
                                 "MaxBitRate=320\n"
                                 "VBRQuality=0\n"
                                 "Copyright=0\n"
                                 "Original=0\n"
                                 "Private=0\n"
                                 "\n"
                                 "[Output Folder]\n"
                                 "Name=" +
                                 QDir::homePath().toStdString() +
                                 "\n"
                                 "\n"
                                 "[Recording Mode]\n"
                                 "Index=0\n";
    EXPECT_EQ(ReadFile(path), expected);
}

TEST(SettingsFile, EveryValueSurvivesARoundTripAndASecondWriteChangesNothing) {
    testsupport::TempDir dir;
    std::string path = dir.file("rec.INI");
    setup::Settings s;
    s.Wav = true;
    s.SamplePerSecond = 11025;
    s.BitPerSample = 8;
    s.Channels = 1;
    s.MP3 = false;
    s.BitRate = 320;
    s.Mode = 3;
    s.VBR = true;
    s.MinBitRate = 64;
    s.MaxBitRate = 256;
    s.VBRQuality = 4;
    s.Copyright = true;
    s.Original = true;
    s.Private = true;
    s.OutputFolder = "/home/ann/My Recordings/ünïcode";
    s.RecordingModeIndex = 7;
    ASSERT_EQ(SaveError(Q(path), s), "");
    std::string first = ReadFile(path);
    setup::Settings back = setup::LoadSettings(Q(path));
    EXPECT_TRUE(SameSettings(back, s));
    ASSERT_EQ(SaveError(Q(path), back), "");
    EXPECT_EQ(ReadFile(path), first);
}

TEST(SettingsFile, HandEditedFileIsReadAndItsOwnLinesKept) {
    testsupport::TempDir dir;
    std::string path = dir.file("rec.INI");
    WriteFile(path, "; written by hand\r\n"
                    "\r\n"
                    "[Other Program]\r\n"
                    "BitRate=999\r\n"
                    "[ save format ]\r\n"
                    "  bitrate = 192  \r\n"
                    "Extra=kept\r\n"
                    "# comment\r\n"
                    "Wav=1\r\n"
                    "Wav=0\r\n"
                    "[Recording Mode]\r\n"
                    "Index=3\r\n"
                    "[Output Folder]\r\n"
                    "Name=\"/srv/audio\"\r\n");
    setup::Settings s = setup::LoadSettings(Q(path));
    EXPECT_EQ(s.BitRate, 192); // sections and keys match regardless of case and blanks
    EXPECT_TRUE(s.Wav);        // the first of two equal keys counts
    EXPECT_EQ(s.RecordingModeIndex, 3);
    EXPECT_EQ(s.OutputFolder, "/srv/audio");
    EXPECT_EQ(s.SamplePerSecond, 44100);

    ASSERT_EQ(SaveError(Q(path), s), "");
    std::string text = ReadFile(path);
    EXPECT_NE(text.find("; written by hand"), std::string::npos);
    EXPECT_NE(text.find("[Other Program]\nBitRate=999"), std::string::npos);
    EXPECT_NE(text.find("Extra=kept"), std::string::npos);
    EXPECT_TRUE(SameSettings(setup::LoadSettings(Q(path)), s));
}

// Each row is a whole settings file; every value in it is one the program cannot use, so every
// setting keeps its default: unreadable text, a number out of the key's type, and a save-format
// value the save-settings window does not offer (which would fail every save or show a filter
// no save matches).
struct UnusableCase {
    const char* name;
    std::string file;
};
void PrintTo(const UnusableCase& c, std::ostream* os) {
    *os << c.name;
}

class UnusableValue : public ::testing::TestWithParam<UnusableCase> {};

TEST_P(UnusableValue, FallsBackToItsDefault) {
    testsupport::TempDir dir;
    std::string path = dir.file("rec.INI");
    WriteFile(path, GetParam().file);
    const setup::Settings s = setup::LoadSettings(Q(path));
    EXPECT_TRUE(SameSettings(s, setup::Settings{}))
        << s.SamplePerSecond << "Hz " << s.BitPerSample << "bit " << s.Channels << "ch "
        << s.BitRate << "kbps mode " << s.Mode << " " << s.MinBitRate << "-" << s.MaxBitRate << " q"
        << s.VBRQuality << " Wav=" << s.Wav << " MP3=" << s.MP3 << " VBR=" << s.VBR << " index "
        << s.RecordingModeIndex;
}

std::string SaveFormat(const std::string& lines) {
    return "[Save Format]\n" + lines;
}

INSTANTIATE_TEST_SUITE_P(
    Files, UnusableValue,
    ::testing::Values(
        UnusableCase{"NotNumbers", SaveFormat("SamplePerSecond=fast\nBitRate=12x\nVBR=\n")},
        UnusableCase{"NotFlags", SaveFormat("Wav=yes\nMP3=2\n")},
        UnusableCase{"OutOfItsType",
                     SaveFormat("Channels=70000\nMinBitRate=" + std::string(10000, '9') + "\n")},
        UnusableCase{"ControlCharacters", SaveFormat(std::string("VBRQuality=\x01\x02\x03\n", 16))},
        UnusableCase{"WavFormatsNotOffered",
                     SaveFormat("SamplePerSecond=12345\nBitPerSample=0\nChannels=7\n")},
        UnusableCase{"WavFormatsOfOtherPrograms",
                     SaveFormat("SamplePerSecond=48000\nBitPerSample=24\nChannels=0\n")},
        UnusableCase{"BitRatesNotOffered",
                     SaveFormat("BitRate=-5\nMinBitRate=99999\nMaxBitRate=100\n")},
        UnusableCase{"DualChannelAndQualityTen", SaveFormat("Mode=2\nVBRQuality=10\n")},
        UnusableCase{"NegativeQualityAndMode", SaveFormat("VBRQuality=-1\nMode=-1\n")},
        UnusableCase{"RecordingModePastTheList", "[Recording Mode]\nIndex=8\n"},
        UnusableCase{"RecordingModeNegative", "[Recording Mode]\nIndex=-1\n"},
        UnusableCase{"Binary", std::string("\x00\xff\xfe binary \x00 junk", 18)}),
    [](const auto& info) { return std::string(info.param.name); });

// The first exit of an installed program finds no velmar-recorder folder in ~/.config.
TEST(SettingsFile, MissingFoldersAreMadeOnSave) {
    testsupport::TempDir dir;
    QString path = Q(dir.file("config/velmar-recorder/velmar-recorder.INI"));
    setup::Settings s;
    s.BitRate = 192;
    ASSERT_EQ(SaveError(path, s), "");
    EXPECT_EQ(setup::LoadSettings(path).BitRate, 192);
}

TEST(SettingsFile, FailedWriteIsReportedAndTheOldFileKept) {
    testsupport::TempDir dir;
    // A folder that cannot be made (it would lie inside a plain file); an unknown path.
    WriteFile(dir.file("plain"), "x");
    QString error = SaveError(Q(dir.file("plain/velmar/rec.INI")), setup::Settings{});
    EXPECT_TRUE(error.contains(Q(dir.file("plain/velmar/rec.INI")))) << error.toStdString();
    error = SaveError(QString(), setup::Settings{});
    EXPECT_TRUE(error.contains("HOME")) << error.toStdString();

    // A settings path that is a folder cannot be written either; nothing there is touched.
    std::string folder = dir.file("rec.INI");
    QDir().mkdir(Q(folder));
    EXPECT_NE(SaveError(Q(folder), setup::Settings{}), "");
    EXPECT_TRUE(QFileInfo(Q(folder)).isDir());
    EXPECT_TRUE(SameSettings(setup::LoadSettings(Q(folder)), setup::Settings{}));
}

} // namespace

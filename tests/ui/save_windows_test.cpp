// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/form_main.h"
#include "app/startup.h"
#include "export/export_job.h"
#include "export/save_flow.h"
#include "export/ui/form_progress.h"
#include "export/ui/form_save_settings.h"
#include "export/ui/save_flow_ui.h"
#include "operations/editing_state.h"
#include "platform/file_system.h"
#include "platform/process_messages.h"
#include "support/recording_dialogs.h"
#include "support/scripted_capture.h"
#include "support/temp_dir.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLocale>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <ostream>

namespace {

QString Items(const QComboBox* list) {
    QStringList items;
    for (int i = 0; i < list->count(); ++i) {
        items << "[" + list->itemText(i) + "]";
    }
    return items.join("");
}

// The settings the window stores, in one line that fails readably.
std::string Stored(const app::Settings& s) {
    return QString("Wav=%1 MP3=%2 %3Hz %4ch %5bit | %6kbps mode %7 VBR=%8 %9-%10 q%11 c%12o%13p%14")
        .arg(s.Wav)
        .arg(s.MP3)
        .arg(s.SamplePerSecond)
        .arg(s.Channels)
        .arg(s.BitPerSample)
        .arg(s.BitRate)
        .arg(s.Mode)
        .arg(s.VBR)
        .arg(s.MinBitRate)
        .arg(s.MaxBitRate)
        .arg(s.VBRQuality)
        .arg(s.Copyright)
        .arg(s.Original)
        .arg(s.Private)
        .toStdString();
}

// What the window shows: tab captions with the showing page starred, then every list's text.
std::string Shown(const TFormSaveSettings& form) {
    QStringList tabs;
    for (int i = 0; i < 2; ++i) {
        const bool showing = form.PControlFormat->currentIndex() == i;
        tabs << form.PControlFormat->tabText(i) + (showing ? "*" : "");
    }
    QStringList lists;
    for (QComboBox* list :
         {form.CBoxWavSpsIn, form.CBoxWavChannel, form.CBoxWavBits, form.CBoxMP3BitRate,
          form.CBoxMP3Mode, form.CBoxMinBRate, form.CBoxMaxBRate}) {
        lists << "[" + list->currentText() + "]";
    }
    return (tabs.join(" ") + " " + lists.join("")).toStdString();
}

class SaveSettingsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        app::state = app::State{};
        app::state.SettingsFilePath = QString::fromStdString(dir.file("velmar.INI"));
        form = std::make_unique<TFormSaveSettings>();
    }
    void TearDown() override {
        form.reset();
        app::state = app::State{};
    }
    // One opening and closing as the user makes it, touching nothing.
    void OpenAndClose() {
        form->show();
        form->close();
    }

    testsupport::TempDir dir;
    std::unique_ptr<TFormSaveSettings> form;
};

struct OpeningCase {
    const char* name;
    std::function<void(app::Settings&)> file; // the settings as the file gave them
    const char* shown;
    const char* stored;
};
void PrintTo(const OpeningCase& c, std::ostream* os) {
    *os << c.name;
}

class FirstOpening : public SaveSettingsTest, public ::testing::WithParamInterface<OpeningCase> {};

TEST_P(FirstOpening, ShowsTheSettingsAndStoresWhatItShowed) {
    GetParam().file(app::state.settings);
    form->show();
    EXPECT_EQ(Shown(*form), GetParam().shown);
    form->close();
    EXPECT_EQ(Stored(app::state.settings), GetParam().stored);
}

const OpeningCase openings[] = {
    {"Defaults", [](app::Settings&) {}, "wav MP3* [44100 Hz][stereo][16 bit][128][stereo][32][320]",
     "Wav=0 MP3=1 44100Hz 2ch 16bit | 128kbps mode 0 VBR=0 32-320 q0 c0o0p0"},
    {"BothFlagsSetShowMp3", [](app::Settings& s) { s.Wav = s.MP3 = true; },
     "wav MP3* [44100 Hz][stereo][16 bit][128][stereo][32][320]",
     "Wav=0 MP3=1 44100Hz 2ch 16bit | 128kbps mode 0 VBR=0 32-320 q0 c0o0p0"},
    {"NeitherFlagKeepsTheWavPage", [](app::Settings& s) { s.Wav = s.MP3 = false; },
     "WAV* MP3 [44100 Hz][stereo][16 bit][128][stereo][32][320]",
     "Wav=1 MP3=0 44100Hz 2ch 16bit | 128kbps mode 0 VBR=0 32-320 q0 c0o0p0"},
    {"Wav22050Mono8",
     [](app::Settings& s) {
         s.Wav = true, s.MP3 = false, s.SamplePerSecond = 22050, s.Channels = 1, s.BitPerSample = 8;
     },
     "WAV* mp3 [22050 Hz ][mono][8  bit][128][stereo][32][320]",
     "Wav=1 MP3=0 22050Hz 1ch 8bit | 128kbps mode 0 VBR=0 32-320 q0 c0o0p0"},
    {"UnknownValuesTakeTheirFallbacks",
     [](app::Settings& s) {
         s.SamplePerSecond = 48000, s.Channels = 5, s.BitPerSample = 24, s.BitRate = 100,
         s.Mode = 2, s.MinBitRate = 100, s.MaxBitRate = 100;
     },
     "wav MP3* [44100 Hz][stereo][16 bit][32][stereo][32][320]",
     "Wav=0 MP3=1 44100Hz 2ch 16bit | 32kbps mode 0 VBR=0 32-320 q0 c0o0p0"},
    {"VbrJointAndFlags",
     [](app::Settings& s) {
         s.SamplePerSecond = 11025, s.BitRate = 320, s.Mode = 1, s.VBR = true, s.MinBitRate = 256,
         s.MaxBitRate = 40, s.VBRQuality = 7, s.Copyright = true, s.Private = true;
     },
     "wav MP3* [11025 Hz ][stereo][16 bit][320][joint stereo][256][40]",
     "Wav=0 MP3=1 11025Hz 2ch 16bit | 320kbps mode 1 VBR=1 256-40 q7 c1o0p1"},
    {"MonoMode", [](app::Settings& s) { s.Mode = 3, s.Original = true; },
     "wav MP3* [44100 Hz][stereo][16 bit][128][mono][32][320]",
     "Wav=0 MP3=1 44100Hz 2ch 16bit | 128kbps mode 3 VBR=0 32-320 q0 c0o1p0"},
};
INSTANTIATE_TEST_SUITE_P(Settings, FirstOpening, ::testing::ValuesIn(openings),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SaveSettingsTest, UnmatchedValuesKeepThePreviousItemsAtTheNextOpening) {
    app::Settings& s = app::state.settings;
    s.Wav = false, s.MP3 = true, s.SamplePerSecond = 11025, s.Mode = 3;
    OpenAndClose();
    s.Wav = s.MP3 = false, s.SamplePerSecond = 48000, s.Mode = 2;
    form->show();
    EXPECT_EQ(Shown(*form), "wav MP3* [11025 Hz ][stereo][16 bit][128][mono][32][320]");
    form->close();
    EXPECT_EQ(Stored(s), "Wav=0 MP3=1 11025Hz 2ch 16bit | 128kbps mode 3 VBR=0 32-320 q0 c0o0p0");
}

TEST_F(SaveSettingsTest, SwitchingPagesSetsTheFormatAndCaptionsAtOnce) {
    form->show();
    QTabBar* tabs = form->PControlFormat->tabBar();
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(0).center());
    EXPECT_EQ(Shown(*form), "WAV* mp3 [44100 Hz][stereo][16 bit][128][stereo][32][320]");
    EXPECT_TRUE(app::state.settings.Wav);
    EXPECT_FALSE(app::state.settings.MP3);
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
    EXPECT_EQ(form->PControlFormat->tabText(0), "wav");
    EXPECT_EQ(form->PControlFormat->tabText(1), "MP3");
    EXPECT_FALSE(app::state.settings.Wav);
    EXPECT_TRUE(app::state.settings.MP3);
    form->close();
}

TEST_F(SaveSettingsTest, ListsOfferTheirItems) {
    const QString rates = "[32][40][48][56][64][80][96][112][128][160][192][224][256][320]";
    EXPECT_EQ(Items(form->CBoxWavSpsIn), "[44100 Hz][22050 Hz ][11025 Hz ]");
    EXPECT_EQ(Items(form->CBoxWavChannel), "[stereo][mono]");
    EXPECT_EQ(Items(form->CBoxWavBits), "[16 bit][8  bit]");
    EXPECT_EQ(Items(form->CBoxMP3BitRate), rates);
    EXPECT_EQ(Items(form->CBoxMP3Mode), "[stereo][joint stereo][mono]");
    EXPECT_EQ(Items(form->CBoxMinBRate), rates);
    EXPECT_EQ(Items(form->CBoxMaxBRate), rates);
    for (QComboBox* list : form->findChildren<QComboBox*>()) {
        EXPECT_FALSE(list->isEditable()) << list->objectName().toStdString();
    }
    EXPECT_EQ(form->TBarVBRQuality->minimum(), 0);
    EXPECT_EQ(form->TBarVBRQuality->maximum(), 9);
}

TEST_F(SaveSettingsTest, VbrLimitsAndQualityAreEditableOnlyWithVbrOn) {
    form->show();
    auto editable = [&] {
        return QString("%1%2%3")
            .arg(form->CBoxMinBRate->isEnabled())
            .arg(form->CBoxMaxBRate->isEnabled())
            .arg(form->TBarVBRQuality->isEnabled());
    };
    EXPECT_EQ(editable(), "000");
    EXPECT_TRUE(form->ChBoxEnableVBR->isEnabled());
    QTest::mouseClick(form->ChBoxEnableVBR, Qt::LeftButton);
    EXPECT_EQ(editable(), "111");
    form->close();
    EXPECT_TRUE(app::state.settings.VBR);
    app::state.settings.VBR = false;
    form->show(); // reloaded from the settings
    EXPECT_EQ(editable(), "000");
    form->close();
}

TEST_F(SaveSettingsTest, EveryWayOfClosingStoresAndTheFileGetsItAtExit) {
    form->show();
    form->CBoxWavBits->setCurrentIndex(1);
    QTest::keyClick(form.get(), Qt::Key_Escape);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(app::state.settings.BitPerSample, 8);
    form->show();
    form->CBoxMP3BitRate->setCurrentIndex(13);
    QTest::mouseClick(form->BitBtnOK, Qt::LeftButton);
    EXPECT_EQ(app::state.settings.BitRate, 320);

    EXPECT_FALSE(QFile::exists(app::state.SettingsFilePath)); // only the exit writes it
    QString error;
    ASSERT_TRUE(app::SaveSettings(app::state.SettingsFilePath, app::state.settings, &error));
    const app::Settings read = app::LoadSettings(app::state.SettingsFilePath);
    EXPECT_EQ(Stored(read), Stored(app::state.settings));
}

// Every fixed control is wide enough for its caption in the window's font.
TEST(ExportWindows, CaptionsFitTheirControls) {
    TFormSaveSettings settings;
    TFormProgress progress;
    EXPECT_EQ(settings.size(), QSize(347, 266));
    EXPECT_EQ(progress.size(), QSize(321, 139));
    EXPECT_EQ(settings.font().pixelSize(), 11);
    for (QWidget* window : {static_cast<QWidget*>(&settings), static_cast<QWidget*>(&progress)}) {
        for (QWidget* control : window->findChildren<QWidget*>()) {
            if (qobject_cast<QAbstractButton*>(control) || qobject_cast<QComboBox*>(control) ||
                (qobject_cast<QLabel*>(control) && control != progress.Label1)) {
                EXPECT_LE(control->sizeHint().width(), control->width())
                    << control->objectName().toStdString();
                const QRect inside = control->parentWidget()->rect();
                EXPECT_TRUE(inside.contains(control->geometry()))
                    << control->objectName().toStdString();
            }
        }
    }
}

class ProgressTest : public ::testing::Test {
  protected:
    void SetUp() override {
        exporting::state = exporting::State{};
        operations::state.ProgressPercent = 0;
        exporting::state.TargetName = "take1.wav";
    }
    void TearDown() override {
        exporting::state = exporting::State{};
        operations::state.ProgressPercent = 0;
    }
    TFormProgress form;
};

TEST_F(ProgressTest, ShowsTheTargetAndThePercentage) {
    form.show();
    EXPECT_EQ(form.windowTitle(), "Saving...take1.wav");
    EXPECT_EQ(form.windowModality(), Qt::ApplicationModal);
    EXPECT_EQ(form.Timer1->interval(), 100);
    EXPECT_TRUE(form.Timer1->isActive());
    operations::state.ProgressPercent = 50;
    form.Timer1Timer();
    const QString point = QLocale::system().decimalPoint();
    EXPECT_EQ(form.Label1->text(), "Saving...take1.wav   50" + point + "0%");
    EXPECT_EQ(form.ProgressBar1->value(), 50);
    form.Finish();
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(exporting::state.ContinueExport); // an export that ends is not cancelled
}

TEST(ProgressPercent, TextHasOneDecimalAndTheBarRoundsHalvesToEven) {
    const QString point = QLocale::system().decimalPoint();
    const struct {
        float percent;
        const char* text;
        int position;
    } rows[] = {{0, "0.0", 0},       {12.34f, "12.3", 12},   {49.5f, "49.5", 50},
                {50.5f, "50.5", 50}, {99.96f, "100.0", 100}, {100, "100.0", 100},
                {NAN, "0.0", 0},     {250, "100.0", 100},    {-3, "0.0", 0}};
    for (const auto& row : rows) {
        EXPECT_EQ(ProgressPercentText(row.percent), QString(row.text).replace(".", point))
            << row.percent;
        EXPECT_EQ(ProgressPosition(row.percent), row.position) << row.percent;
    }
}

TEST_F(ProgressTest, CancelTheCloseBoxAndEscapeEachCancel) {
    const std::function<void(TFormProgress&)> ways[] = {
        [](TFormProgress& f) { QTest::mouseClick(f.BtnCancel, Qt::LeftButton); },
        [](TFormProgress& f) { f.close(); },
        [](TFormProgress& f) { QTest::keyClick(&f, Qt::Key_Escape); },
    };
    for (const auto& cancel : ways) {
        exporting::state.ContinueExport = true;
        form.show();
        cancel(form);
        EXPECT_FALSE(exporting::state.ContinueExport);
        EXPECT_FALSE(form.isVisible());
    }
}

// The main window's Save As with a recording of the scripted device, in a work folder of its
// own, the file dialog answered by the test double.
class SaveAsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("XDG_DATA_HOME", dir.path().c_str(), 1);
        QDir(QString::fromStdString(dir.path())).mkpath("Velmar Recorder");
        QDir(QString::fromStdString(dir.path())).mkpath("out");
        record::state = record::State{};
        app::state = app::State{};
        exporting::state = exporting::State{};
        operations::state = operations::State{};
        record::SetCaptureDevice(&device);
        platform::SetDialogs(&dialogs);
        platform::SetFreeSpaceProvider([](const std::string&) { return int64_t(1) << 40; });
        platform::SetProcessMessages([this] {
            if (during) {
                during();
            }
        });
        form = std::make_unique<TFormMain>();
        form->TimerRec->stop();
        form->TimerStatus->stop();
        app::state.SettingsFilePath = QString::fromStdString(dir.file("velmar.INI"));
        app::Settings& s = app::state.settings;
        s.Wav = true, s.MP3 = false, s.SamplePerSecond = 44100, s.BitPerSample = 16;
        s.Channels = 2, s.OutputFolder = QString::fromStdString(dir.path());
        // 25 blocks of the frame counter, stopped.
        QTest::mouseClick(form->BtnRecord, Qt::LeftButton);
        for (int b = 0; b < 25; ++b) {
            device.DeliverBlocks(1);
            form->TimerRecTimer();
        }
        QTest::mouseClick(form->BtnStop, Qt::LeftButton);
        form->menuFileClick();
    }
    void TearDown() override {
        form.reset();
        record::CloseDevice();
        record::state.RecordingStream.Release();
        record::SetCaptureDevice(nullptr);
        platform::SetDialogs(nullptr);
        platform::SetFreeSpaceProvider(nullptr);
        platform::SetProcessMessages({});
        unsetenv("XDG_DATA_HOME");
        record::state = record::State{};
        app::state = app::State{};
        exporting::state = exporting::State{};
        operations::state = operations::State{};
    }
    static TFormProgress* ShownProgress() {
        return qobject_cast<TFormProgress*>(QApplication::activeModalWidget());
    }
    QString Out(const char* name) const { return QString::fromStdString(dir.file("out/")) + name; }

    testsupport::TempDir dir;
    testsupport::ScriptedCapture device;
    testsupport::RecordingDialogs dialogs;
    std::unique_ptr<TFormMain> form;
    std::function<void()> during; // runs at every pending-messages call of the export
};

TEST_F(SaveAsTest, WritesTheRecordingAsWavWhileTheProgressWindowBlocksOtherCommands) {
    ASSERT_EQ(record::state.FileBlocks, 25u);
    ASSERT_TRUE(form->menuSaveAs->isEnabled());
    dialogs.saveAnswers = {Out("take1.wav")};
    QString title;
    bool closeRefused = false;
    during = [&] {
        if (TFormProgress* progress = ShownProgress(); progress && title.isEmpty()) {
            title = progress->windowTitle();
            form->menuSaveAsClick(); // nothing: no second dialog
            closeRefused = !form->FormCloseQuery();
        }
    };
    form->menuSaveAs->trigger();
    EXPECT_EQ(dialogs.saveRequests, QStringList{"Save As|44100Hz 16bit stereo (*.wav)|*.WAV|" +
                                                QString::fromStdString(dir.path()) + "|wav"});
    EXPECT_EQ(title, "Saving...take1.wav");
    EXPECT_TRUE(closeRefused);
    EXPECT_EQ(ShownProgress(), nullptr);
    EXPECT_FALSE(exporting::state.Exporting);
    EXPECT_TRUE(dialogs.errors.isEmpty()) << dialogs.errors.join("; ").toStdString();
    EXPECT_EQ(app::state.settings.OutputFolder, QString::fromStdString(dir.file("out")));

    QFile wav(Out("take1.wav")), raw(app::state.paths.RecordingFilePath);
    ASSERT_TRUE(wav.open(QIODevice::ReadOnly));
    ASSERT_TRUE(raw.open(QIODevice::ReadOnly));
    const QByteArray data = wav.readAll().mid(44);
    EXPECT_EQ(data.size(), 25 * record::BlockBytes);
    EXPECT_TRUE(data == raw.readAll()) << "the WAV data is not the recording";
    QStringList format;
    for (const char* option : {"-r", "-c", "-b", "-s"}) {
        QProcess soxi;
        soxi.start("soxi", {option, Out("take1.wav")});
        ASSERT_TRUE(soxi.waitForFinished());
        format << soxi.readAllStandardOutput().trimmed();
    }
    EXPECT_EQ(format.join(" "), "44100 2 16 110250");
}

struct UnwrittenCase {
    const char* name;
    const char* answer; // the dialog's answer; empty: the user cancels it
    bool cancelMidway;  // Cancel is pressed in the progress window
    int errors;
};
void PrintTo(const UnwrittenCase& c, std::ostream* os) {
    *os << c.name;
}
class UnwrittenSave : public SaveAsTest, public ::testing::WithParamInterface<UnwrittenCase> {};

TEST_P(UnwrittenSave, LeavesNoFileAndClosesTheProgressWindow) {
    const UnwrittenCase& c = GetParam();
    if (*c.answer) {
        dialogs.saveAnswers = {Out(c.answer)};
    }
    during = [&] {
        if (TFormProgress* progress = ShownProgress(); progress && c.cancelMidway) {
            QTest::mouseClick(progress->BtnCancel, Qt::LeftButton);
        }
    };
    const QString folder = app::state.settings.OutputFolder;
    EXPECT_EQ(exporting::LayOutRecordedTake().last, 25u);
    EXPECT_FALSE(SaveFlow::Run(form.get(), false));
    EXPECT_EQ(dialogs.errors.size(), c.errors) << dialogs.errors.join("; ").toStdString();
    EXPECT_EQ(ShownProgress(), nullptr);
    EXPECT_EQ(QDir(QString::fromStdString(dir.file("out"))).entryList(QDir::Files | QDir::Hidden),
              QStringList{});
    if (!*c.answer) {
        EXPECT_EQ(app::state.settings.OutputFolder, folder);
    }
}

const UnwrittenCase unwritten[] = {
    {"DialogCancelled", "", false, 0},
    {"CancelledMidway", "take1.wav", true, 0},
    {"FolderMissing", "missing/take1.wav", false, 1},
};
INSTANTIATE_TEST_SUITE_P(SaveAs, UnwrittenSave, ::testing::ValuesIn(unwritten),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SaveAsTest, SelectionWithNothingSelectedAsksForOneAndOpensNoDialog) {
    operations::state.SelStart = operations::state.SelEnd = 5;
    EXPECT_FALSE(SaveFlow::Run(form.get(), true));
    EXPECT_EQ(dialogs.messages, QStringList{"Please Select Waveform!"});
    EXPECT_TRUE(dialogs.saveRequests.isEmpty());
}

} // namespace

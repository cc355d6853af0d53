// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ui/form_main.h"
#include "app/ui/started_run.h"
#include "base/folders.h"
#include "export/encoder_library.h"
#include "export/exporter.h"
#include "export/recorded_take.h"
#include "export/save_flow.h"
#include "export/ui/form_progress.h"
#include "export/ui/form_save_settings.h"
#include "export/ui/save_flow_ui.h"
#include "operations/editor.h"
#include "record/pipeline.h"
#include "support/record_harness.h"
#include "support/recording_dialogs.h"
#include "support/scripted_capture.h"
#include "support/scripted_output.h"
#include "support/temp_dir.h"
#include "unit/export/exporter_ports.h"
#include "unit/export/tool_output.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <sstream>
#include <tuple>

namespace {

// The settings the window stores, in one line that fails readably.
std::string Stored(const setup::Settings& s) {
    std::ostringstream o;
    o << "Wav=" << s.Wav << " MP3=" << s.MP3 << " " << s.SamplePerSecond << "Hz " << s.Channels
      << "ch " << s.BitPerSample << "bit | " << s.BitRate << "kbps mode " << s.Mode
      << " VBR=" << s.VBR << " " << s.MinBitRate << "-" << s.MaxBitRate << " q" << s.VBRQuality
      << " c" << s.Copyright << "o" << s.Original << "p" << s.Private;
    return o.str();
}

// What the window shows: tab captions (the showing page starred), then every list's text.
std::string Shown(const TFormSaveSettings& f) {
    QString shown;
    for (int i = 0; i < 2; ++i) {
        shown +=
            f.PControlFormat->tabText(i) + (f.PControlFormat->currentIndex() == i ? "* " : " ");
    }
    for (QComboBox* list : {f.CBoxWavSpsIn, f.CBoxWavChannel, f.CBoxWavBits, f.CBoxMP3BitRate,
                            f.CBoxMP3Mode, f.CBoxMinBRate, f.CBoxMaxBRate}) {
        shown += "[" + list->currentText() + "]";
    }
    return shown.toStdString();
}

class SaveSettingsTest : public ::testing::Test {
  protected:
    // The settings become what `change` makes of them, as a settings file read afresh would give.
    void Change(const std::function<void(setup::Settings&)>& change) {
        setup::Settings s = settings.Values();
        change(s);
        settings = setup::SettingsStore(s);
    }
    const setup::Settings& S() const { return settings.Values(); }
    testsupport::TempDir dir;
    setup::SettingsStore settings;
    TFormSaveSettings form{settings};
};

struct OpeningCase {
    const char* name;
    std::function<void(setup::Settings&)> file; // the settings as the file gave them
    const char* shown;
    const char* stored;
};
void PrintTo(const OpeningCase& c, std::ostream* os) {
    *os << c.name;
}
class FirstOpening : public SaveSettingsTest, public ::testing::WithParamInterface<OpeningCase> {};

TEST_P(FirstOpening, ShowsTheSettingsAndStoresWhatItShowed) {
    Change(GetParam().file);
    form.show();
    EXPECT_EQ(Shown(form), GetParam().shown);
    form.close();
    EXPECT_EQ(Stored(S()), GetParam().stored);
}

const OpeningCase openings[] = {
    {"BothFlagsSetShowMp3", [](setup::Settings& s) { s.Wav = s.MP3 = true; },
     "wav MP3* [44100 Hz][stereo][16 bit][128][stereo][32][320]",
     "Wav=0 MP3=1 44100Hz 2ch 16bit | 128kbps mode 0 VBR=0 32-320 q0 c0o0p0"},
    {"NeitherFlagKeepsTheWavPage", [](setup::Settings& s) { s.Wav = s.MP3 = false; },
     "WAV* MP3 [44100 Hz][stereo][16 bit][128][stereo][32][320]",
     "Wav=1 MP3=0 44100Hz 2ch 16bit | 128kbps mode 0 VBR=0 32-320 q0 c0o0p0"},
    {"Wav22050Mono8",
     [](setup::Settings& s) {
         s.Wav = true, s.MP3 = false, s.SamplePerSecond = 22050, s.Channels = 1, s.Mode = 3,
         s.Original = true, s.BitPerSample = 8;
     },
     "WAV* mp3 [22050 Hz ][mono][8  bit][128][mono][32][320]",
     "Wav=1 MP3=0 22050Hz 1ch 8bit | 128kbps mode 3 VBR=0 32-320 q0 c0o1p0"},
    {"UnknownValuesTakeTheirFallbacks",
     [](setup::Settings& s) {
         s.SamplePerSecond = 48000, s.Channels = 5, s.BitPerSample = 24, s.BitRate = 100,
         s.Mode = 2, s.MinBitRate = 100, s.MaxBitRate = 100;
     },
     "wav MP3* [44100 Hz][stereo][16 bit][32][stereo][32][320]",
     "Wav=0 MP3=1 44100Hz 2ch 16bit | 32kbps mode 0 VBR=0 32-320 q0 c0o0p0"},
    {"VbrJointMinAboveMaxAndFlags",
     [](setup::Settings& s) {
         s.SamplePerSecond = 11025, s.BitRate = 320, s.Mode = 1, s.VBR = true, s.MinBitRate = 256,
         s.MaxBitRate = 40, s.VBRQuality = 7, s.Copyright = s.Private = true;
     },
     "wav MP3* [11025 Hz ][stereo][16 bit][320][joint stereo][256][40]",
     "Wav=0 MP3=1 11025Hz 2ch 16bit | 320kbps mode 1 VBR=1 256-40 q7 c1o0p1"},
};
INSTANTIATE_TEST_SUITE_P(Settings, FirstOpening, ::testing::ValuesIn(openings),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SaveSettingsTest, UnmatchedValuesKeepThePreviousItemsAtTheNextOpening) {
    Change([](setup::Settings& s) { s.SamplePerSecond = 11025, s.Mode = 3; });
    form.show();
    form.close();
    Change(
        [](setup::Settings& s) { s.Wav = s.MP3 = false, s.SamplePerSecond = 48000, s.Mode = 2; });
    form.show();
    EXPECT_EQ(Shown(form), "wav MP3* [11025 Hz ][stereo][16 bit][128][mono][32][320]");
}

TEST_F(SaveSettingsTest, SwitchingPagesSetsTheFormatAndCaptionsAtOnce) {
    form.show();
    QTabBar* tabs = form.PControlFormat->tabBar();
    for (int page : {0, 1}) {
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(page).center());
        EXPECT_EQ(Shown(form).substr(0, 9), page == 0 ? "WAV* mp3 " : "wav MP3* ");
        EXPECT_EQ(S().Wav, page == 0);
        EXPECT_EQ(S().MP3, page == 1);
    }
}

TEST_F(SaveSettingsTest, ListsOfferTheirItemsAndVbrLimitsAreEditableOnlyWithVbrOn) {
    QString items;
    for (QComboBox* list :
         {form.CBoxWavSpsIn, form.CBoxWavChannel, form.CBoxWavBits, form.CBoxMP3BitRate,
          form.CBoxMP3Mode, form.CBoxMinBRate, form.CBoxMaxBRate}) {
        for (int i = 0; i < list->count(); ++i) {
            items += (i ? "," : list->objectName() + ":") + list->itemText(i);
        }
        items += list->isEditable() ? " editable\n" : "\n";
    }
    const std::string rates = "32,40,48,56,64,80,96,112,128,160,192,224,256,320\n";
    EXPECT_EQ(items.toStdString(),
              "CBoxWavSpsIn:44100 Hz,22050 Hz ,11025 Hz \nCBoxWavChannel:stereo,mono\n"
              "CBoxWavBits:16 bit,8  bit\nCBoxMP3BitRate:" +
                  rates + "CBoxMP3Mode:stereo,joint stereo,mono\nCBoxMinBRate:" + rates +
                  "CBoxMaxBRate:" + rates);
    EXPECT_EQ(form.TBarVBRQuality->maximum(), 9);

    auto editable = [&] {
        return form.CBoxMinBRate->isEnabled() + form.CBoxMaxBRate->isEnabled() +
               form.TBarVBRQuality->isEnabled();
    };
    form.show();
    EXPECT_EQ(editable(), 0);
    QTest::mouseClick(form.ChBoxEnableVBR, Qt::LeftButton);
    EXPECT_EQ(editable(), 3);
    form.close();
    Change([](setup::Settings& s) { s.VBR = false; });
    form.show(); // reloaded from the settings
    EXPECT_EQ(editable(), 0);
}

TEST_F(SaveSettingsTest, EveryWayOfClosingStoresAndOnlyTheExitWritesTheFile) {
    form.show();
    form.CBoxWavBits->setCurrentIndex(1);
    QTest::keyClick(&form, Qt::Key_Escape);
    EXPECT_EQ(S().BitPerSample, 8);
    form.show();
    form.CBoxMP3BitRate->setCurrentIndex(13);
    QTest::mouseClick(form.BitBtnOK, Qt::LeftButton);
    EXPECT_EQ(S().BitRate, 320);
    const QString file = QString::fromStdString(dir.file("velmar.INI"));
    EXPECT_FALSE(QFile::exists(file));
    settings.Save(file);
    EXPECT_EQ(Stored(setup::LoadSettings(file)), Stored(S()));
}

TEST(ExportWindows, CaptionsFitTheirControls) {
    setup::SettingsStore store;
    base::IdleEventPump pump;
    TFormSaveSettings settings(store);
    TFormProgress progress(pump);
    EXPECT_EQ(settings.size(), QSize(347, 266));
    EXPECT_EQ(progress.size(), QSize(321, 139));
    for (QWidget* window : std::initializer_list<QWidget*>{&settings, &progress}) {
        for (QWidget* c : window->findChildren<QWidget*>()) {
            if ((qobject_cast<QAbstractButton*>(c) || qobject_cast<QComboBox*>(c) ||
                 qobject_cast<QLabel*>(c)) &&
                c != progress.Label1) {
                EXPECT_LE(c->sizeHint().width(), c->width()) << c->objectName().toStdString();
                EXPECT_TRUE(c->parentWidget()->rect().contains(c->geometry()))
                    << c->objectName().toStdString();
            }
        }
    }
}

// Two blocks of silence: after the first the export is at 50 %.
class TwoSilentBlocks final : public operations::SoundSource {
  public:
    uint32_t Blocks() const override { return 2; }
    size_t ReadPosition(uint32_t position, void* buf) const override {
        return ReadPositions(position, 1, buf).bytes;
    }
    operations::PositionsRead ReadPositions(uint32_t position, uint32_t count,
                                            void* buf) const override {
        const uint32_t n = position >= 1 && position <= 2 ? std::min(count, 3 - position) : 0;
        std::memset(buf, 0, size_t(n) * base::BlockBytes);
        return {n, size_t(n) * base::BlockBytes};
    }
    std::optional<base::BlockPeaks> Peaks(uint32_t position) const override {
        return position >= 1 && position <= 2 ? std::optional(base::BlockPeaks{0, 0, 0, 0})
                                              : std::nullopt;
    }
};

TEST(ProgressWindow, ShowsTargetAndPercentageAndEveryWayOfClosingCancels) {
    testsupport::TempDir dir;
    testsupport::ExporterPorts ports;
    const TwoSilentBlocks sound;
    base::IdleEventPump pump;
    TFormProgress form(pump);
    const std::function<void()> ways[] = {
        [&] { QTest::mouseClick(form.BtnCancel, Qt::LeftButton); }, [&] { form.close(); },
        [&] { QTest::keyClick(&form, Qt::Key_Escape); }, [&] { form.Finish(); }};
    setup::Settings wav;
    wav.Wav = true, wav.MP3 = false;
    for (const auto& end : ways) {
        exporting::Exporter exporter(sound, ports.encoders, ports.files, ports.pump);
        bool shown = false;
        ports.pump.step = [&] {
            if (shown) {
                return;
            }
            shown = true;
            form.Start(nullptr, exporter);
            EXPECT_EQ(form.windowTitle(), "Saving...take1.wav");
            EXPECT_EQ(form.Label1->text(),
                      "Saving...take1.wav   50" + QLocale::system().decimalPoint() + "0%");
            EXPECT_EQ(form.ProgressBar1->value(), 50);
            EXPECT_EQ(QApplication::activeModalWidget(), &form);
            if (&end == &ways[0] && qEnvironmentVariableIsSet("VELMAR_SCREENSHOT_DIR")) {
                form.grab().save(QDir(qEnvironmentVariable("VELMAR_SCREENSHOT_DIR"))
                                     .filePath("progress-window.png"));
            }
            end();
            EXPECT_FALSE(form.isVisible());
            EXPECT_EQ(exporter.ContinueExport(), &end == &ways[3]); // only Finish goes on
        };
        const exporting::Outcome outcome =
            exporter.Export(QString::fromStdString(dir.file("take1.wav")), wav, 1, 2);
        EXPECT_TRUE(shown);
        EXPECT_EQ(outcome,
                  &end == &ways[3] ? exporting::Outcome::Done : exporting::Outcome::Cancelled);
        form.Finish();
    }
    EXPECT_TRUE(form.Timer1->isActive());
    EXPECT_EQ(form.Timer1->interval(), 100);
}

TEST(ProgressWindow, PercentHasOneDecimalAndTheBarRoundsHalvesToEven) {
    const struct {
        float percent;
        const char* text;
        int position;
    } rows[] = {{0, "0.0", 0},       {12.34f, "12.3", 12}, {49.5f, "49.5", 50}, {50.5f, "50.5", 50},
                {100, "100.0", 100}, {NAN, "0.0", 0},      {250, "100.0", 100}};
    for (const auto& row : rows) {
        EXPECT_EQ(ProgressPercentText(row.percent),
                  QString(row.text).replace(".", QLocale::system().decimalPoint()));
        EXPECT_EQ(ProgressPosition(row.percent), row.position) << row.percent;
    }
}

// The main window's Save As over 25 blocks of the scripted device in a work folder of its own,
// the file dialog answered by the test double.
class SaveAsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("XDG_DATA_HOME", dir.path().c_str(), 1);
        QDir(QString::fromStdString(dir.path())).mkpath("Velmar Recorder");
        QDir(QString::fromStdString(dir.path())).mkpath("out");
        recorderPorts.pump.step = [this] { during ? during() : void(); };
        ports.pump.step = [this] { during ? during() : void(); };
        progress = std::make_unique<TFormProgress>(ports.encoders, ports.files, ports.pump);
        run = std::make_unique<app::StartedRun>(
            app::StartRun(QString::fromStdString(dir.file("velmar-recorder")), dialogs));
        form = std::make_unique<TFormMain>(*run, recorderPorts.For(device), output, fileSystem,
                                           recorderPorts.pump, dialogs, launcher, ports.encoders);
        form->TimerRec->stop();
        form->TimerStatus->stop();
        run->settings.SetOutputFormat(true);
        run->settings.SetOutputFolder(QString::fromStdString(dir.path()));
        QTest::mouseClick(form->BtnRecord, Qt::LeftButton);
        for (int b = 0; b < 25; ++b) {
            device.DeliverBlocks(1);
            form->TimerRecTimer();
        }
        QTest::mouseClick(form->BtnStop, Qt::LeftButton);
    }
    void TearDown() override {
        form.reset();
        progress.reset();
        unsetenv("XDG_DATA_HOME");
    }
    // An editor over the main window's take, as the editor window opens one, of `blocks` blocks.
    std::unique_ptr<operations::Editor> OpenEditor(uint32_t blocks) {
        record::Recorder& recorder = form->Recorder();
        return std::make_unique<operations::Editor>(
            operations::TakeView{recorder.TakeFile(), recorder.RecordingPeaks(), blocks, blocks,
                                 false},
            operations::WorkPaths{dir.file("Edit.raw"), dir.file("Clp.raw")}, fileSystem,
            recorderPorts.pump);
    }
    // What the main window lends its saves.
    SaveFlow::Context Context() { return {dialogs, run->settings, recorderPorts.pump}; }
    static TFormProgress* ShownProgress() {
        return qobject_cast<TFormProgress*>(QApplication::activeModalWidget());
    }
    QString Out(const QString& name) const {
        return QString::fromStdString(dir.file("out/")) + name;
    }

    testsupport::TempDir dir;
    testsupport::ScriptedCapture device;
    testsupport::WindowRecorderPorts recorderPorts;
    testsupport::RecordingDialogs dialogs;
    testsupport::ScriptedOutput output; // the editor's, which these tests never open
    base::SystemFileSystem fileSystem;
    testsupport::RecordingLauncher launcher;
    testsupport::ExporterPorts ports;
    std::unique_ptr<TFormProgress> progress; // the program's progress window, over `ports`
    std::unique_ptr<app::StartedRun> run;
    std::unique_ptr<TFormMain> form;
    std::function<void()> during; // runs at every pending-messages call of the export
};

TEST_F(SaveAsTest, WritesTheRecordingAsWavWhileTheProgressWindowBlocksOtherCommands) {
    form->menuFileClick();
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
    EXPECT_TRUE(dialogs.errors.isEmpty()) << dialogs.errors.join("; ").toStdString();
    EXPECT_EQ(run->settings.Values().OutputFolder, QString::fromStdString(dir.file("out")));

    QFile wav(Out("take1.wav")), raw(run->environment.paths.RecordingFilePath);
    ASSERT_TRUE(wav.open(QIODevice::ReadOnly) && raw.open(QIODevice::ReadOnly));
    const QByteArray data = wav.readAll().mid(44);
    EXPECT_EQ(data.size(), 25 * base::BlockBytes);
    EXPECT_TRUE(data == raw.readAll()) << "the WAV data is not the recording";
}

// Save As reads the take on its own: an editing state set up beforehand (10 blocks of the take
// with a selection) is exactly as it was afterwards.
TEST_F(SaveAsTest, LeavesTheEditingStateAsItWas) {
    const std::unique_ptr<operations::Editor> edit = OpenEditor(10);
    edit->Select({3, 8, 3});
    const operations::Level before = edit->CurrentList();
    dialogs.saveAnswers = {Out("take1.wav")};
    form->menuSaveAs->trigger();
    EXPECT_EQ(testsupport::ToolOutput("soxi", {"-s", Out("take1.wav")}),
              QString::number(25 * base::BlockFrames));
    EXPECT_EQ(std::tuple(edit->Blocks(), edit->CurrentSelection().SelStart,
                         edit->CurrentSelection().SelEnd, edit->UndoLevel()),
              std::tuple(10u, 3u, 8u, 0));
    const operations::Level& after = edit->CurrentList();
    ASSERT_EQ(after.SegmentCount, before.SegmentCount);
    EXPECT_EQ(after.FileBlocks, 10u);
    EXPECT_EQ(std::tuple(after.Segments[0].start, after.Segments[0].length),
              std::tuple(before.Segments[0].start, before.Segments[0].length));
}

TEST_F(SaveAsTest, CancelledDialogOrExportFailuresAndEmptySelectionLeaveNoFile) {
    const struct {
        const char* answer; // the dialog's answer; empty: the user cancels it
        bool cancelMidway;  // Cancel is pressed in the progress window
        int errors;
    } rows[] = {{"", false, 0}, {"take1.wav", true, 0}, {"missing/take1.wav", false, 1}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.answer);
        dialogs.errors.clear();
        dialogs.saveAnswers = {*row.answer ? Out(row.answer) : QString()};
        during = [&] {
            if (TFormProgress* progress = ShownProgress(); progress && row.cancelMidway) {
                QTest::mouseClick(progress->BtnCancel, Qt::LeftButton);
            }
        };
        // The output folder was deleted since it was chosen: the dialog opens at home, and only
        // a save that did not fail makes its folder the next output folder.
        run->settings.SetOutputFolder(Out("gone"));
        EXPECT_EQ(exporting::RecordedTake::OfRecorder(form->Recorder()).Blocks(), 25u);
        EXPECT_FALSE(SaveFlow::SaveRecordedTake(form.get(), form->Recorder(), Context()));
        EXPECT_EQ(dialogs.saveRequests.last().section('|', 3, 3).toStdString(),
                  QDir::homePath().toStdString());
        EXPECT_EQ(dialogs.errors.size(), row.errors);
        EXPECT_EQ(ShownProgress(), nullptr);
        EXPECT_EQ(QDir(Out("")).entryList(QDir::Files | QDir::Hidden), QStringList{});
        EXPECT_EQ(run->settings.Values().OutputFolder.toStdString(),
                  row.cancelMidway ? dir.file("out") : Out("gone").toStdString());
    }
    const std::unique_ptr<operations::Editor> edit = OpenEditor(25);
    edit->Select({5, 5, 5}); // nothing selected
    EXPECT_FALSE(SaveFlow::Run(form.get(), *edit, true, Context()));
    EXPECT_EQ(dialogs.messages, QStringList{"Please Select Waveform!"});
    EXPECT_EQ(dialogs.saveRequests.size(), 3); // no dialog for it
}

// The typed extension decides the format, with that format's own settings (WAV 22050 Hz mono 8
// bits, MP3 64 kbps mono here); any other name gets the chosen format's extension. file(1),
// soxi and mp3val judge what was written.
struct TypedNameCase {
    const char* name;
    bool wavChosen;
    const char* typed;    // what the save dialog returns
    const char* written;  // the one file in the output folder afterwards
    const char* fileSays; // the start of file(1)'s description of it
};
void PrintTo(const TypedNameCase& c, std::ostream* os) {
    *os << c.name;
}
class TypedName : public SaveAsTest, public ::testing::WithParamInterface<TypedNameCase> {};

TEST_P(TypedName, DecidesTheFormatAndTheFileSaysSo) {
    const TypedNameCase& c = GetParam();
    setup::Settings s = run->settings.Values();
    s.SamplePerSecond = 22050, s.Channels = 1, s.BitPerSample = 8;
    s.BitRate = 64, s.Mode = 3;
    run->settings.SetSaveFormat(s);
    run->settings.SetOutputFormat(c.wavChosen);
    dialogs.saveAnswers = {Out(c.typed)};
    EXPECT_EQ(exporting::RecordedTake::OfRecorder(form->Recorder()).Blocks(), 25u);
    EXPECT_TRUE(SaveFlow::SaveRecordedTake(form.get(), form->Recorder(), Context()))
        << dialogs.errors.join("; ").toStdString();
    EXPECT_EQ(QDir(Out("")).entryList(QDir::Files | QDir::Hidden), QStringList{c.written});
    const QString path = Out(c.written);
    EXPECT_TRUE(testsupport::ToolOutput("file", {"-b", path}).startsWith(c.fileSays))
        << testsupport::ToolOutput("file", {"-b", path}).toStdString();
    if (QString(c.written).endsWith(".wav")) {
        EXPECT_EQ(testsupport::ToolOutput("soxi", {"-r", path}) + " " +
                      testsupport::ToolOutput("soxi", {"-c", path}) + " " +
                      testsupport::ToolOutput("soxi", {"-b", path}) + " " +
                      testsupport::ToolOutput("soxi", {"-s", path}),
                  "22050 1 8 55125");
    } else {
        const QString report = testsupport::ToolOutput("mp3val", {path});
        EXPECT_FALSE(report.contains("ERROR")) << report.toStdString();
        EXPECT_EQ(report.count("WARNING"), report.count("No supported tags"))
            << report.toStdString();
    }

    // The same name again: with an extension added, the dialog asked about another file than
    // the one written, so the save asks itself (No here) and leaves the file alone.
    const bool added = QString(c.typed) != c.written;
    QFile earlier(path);
    ASSERT_TRUE(earlier.open(QIODevice::WriteOnly) && earlier.write("earlier") == 7);
    earlier.close();
    dialogs.saveAnswers = {Out(c.typed)};
    EXPECT_EQ(SaveFlow::SaveRecordedTake(form.get(), form->Recorder(), Context()), !added);
    EXPECT_EQ(dialogs.confirmations.size(), added ? 1 : 0);
    EXPECT_EQ(QFileInfo(path).size() == 7, added);
}

INSTANTIATE_TEST_SUITE_P(
    Names, TypedName,
    ::testing::Values(
        TypedNameCase{"WavTypedWithMp3Chosen", false, "take.wav", "take.wav",
                      "RIFF (little-endian) data, WAVE audio, Microsoft PCM, 8 bit, mono 22050 Hz"},
        TypedNameCase{"Mp3TypedWithWavChosen", true, "take.MP3", "take.MP3",
                      "MPEG ADTS, layer III, v1, 64 kbps"},
        TypedNameCase{"NoExtensionGetsTheChosenOne", true, "take", "take.wav", "RIFF"},
        TypedNameCase{"OtherExtensionGetsTheChosenOne", false, "take.ogg", "take.ogg.mp3",
                      "MPEG ADTS, layer III"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace

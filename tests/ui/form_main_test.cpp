// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ui/form_main.h"

#include "about/form_about.h"
#include "app/ui/started_run.h"
#include "base/folders.h"
#include "editor/form_edit.h"
#include "export/encoder_library.h"
#include "export/ui/form_save_settings.h"
#include "gauges/gauge_widgets.h"
#include "operations/editor.h"
#include "platform/dialogs.h"
#include "setup/startup.h"
#include "support/caption_fit.h"
#include "support/paint_log.h"
#include "support/record_harness.h"
#include "support/recording_dialogs.h"
#include "support/scripted_capture.h"
#include "support/scripted_output.h"
#include "support/temp_dir.h"
#include "unit/export/tool_output.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

std::string Rgb(const QColor& c) {
    return "(" + std::to_string(c.red()) + "," + std::to_string(c.green()) + "," +
           std::to_string(c.blue()) + ")";
}

// A signal people can recognise in the screenshot: a tone whose loudness swells and fades,
// the right channel quieter than the left.
void Swelling(uint64_t index, uint8_t* block) {
    const double swell = 0.15 + 0.8 * std::fabs(std::sin(index / 25.0));
    for (int j = 0; j < base::BlockFrames; ++j) {
        const double phase = (index * base::BlockFrames + j) * 2 * M_PI * 440 / 44100;
        const int16_t s[2] = {static_cast<int16_t>(std::lrint(32000 * swell * std::sin(phase))),
                              static_cast<int16_t>(std::lrint(18000 * swell * std::sin(phase)))};
        std::memcpy(block + 4 * j, s, 4);
    }
}

class FormMainTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // A folder of the test's own stands for the executable's: settings file and Temp work
        // folder land there, and no "Velmar Recorder" data folder is found.
        setenv("XDG_DATA_HOME", home.file("data").c_str(), 1);
        exe = QString::fromStdString(home.file("velmar-recorder"));
        // A machine without sound outputs: the editor opens silent.
        output.SetOpenFailure(playback::OutputError::NoDevice);
        Open();
    }

    void TearDown() override {
        form.reset();
        unsetenv("XDG_DATA_HOME");
    }

    // Starts the run as the program entry does and opens the window over it.
    void Open() {
        form.reset();
        run = std::make_unique<app::StartedRun>(app::StartRun(exe, dialogs));
        form = std::make_unique<TFormMain>(*run, ports.For(device), output, fileSystem, events,
                                           dialogs, launcher, encoders);
        // The test is the clock.
        form->TimerRec->stop();
        form->TimerStatus->stop();
    }

    // What the window's recorder knows.
    const record::State& recorder() const { return form->Recorder().View(); }

    // Real time: one block per recording tick, the status tick every fifth.
    void Run(int blocks) {
        for (int b = 0; b < blocks; ++b) {
            device.DeliverBlocks(1);
            form->TimerRecTimer();
            if (++ticks % 5 == 0) {
                form->TimerStatusTimer();
            }
        }
    }

    void Record(int blocks) {
        QTest::mouseClick(form->BtnRecord, Qt::LeftButton);
        Run(blocks);
    }

    testsupport::TempDir home;
    QString exe;
    testsupport::ScriptedCapture device;
    testsupport::WindowRecorderPorts ports;
    testsupport::RecordingDialogs dialogs;
    testsupport::ScriptedOutput output;
    testsupport::RecordingLauncher launcher;
    exporting::SystemEncoderLoader encoders;
    QStringList& launches = launcher.launches;
    base::SystemFileSystem fileSystem;
    base::IdleEventPump events;
    std::unique_ptr<app::StartedRun> run;
    std::unique_ptr<TFormMain> form;
    int ticks = 0;
};

TEST_F(FormMainTest, FixedClientAreaMenusTimersAndColours) {
    EXPECT_EQ(form->Client->size(), QSize(464, 323));
    EXPECT_EQ(form->minimumSize(), form->maximumSize());
    EXPECT_FALSE(form->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(form->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_EQ(form->windowTitle(), "Velmar Recorder");
    EXPECT_EQ(Rgb(form->Client->palette().color(QPalette::Window)), Rgb(QColor(224, 224, 224)));
    EXPECT_EQ(form->Client->font().pixelSize(), 11);
    EXPECT_EQ(form->TimerRec->interval(), 100);
    EXPECT_EQ(form->TimerStatus->interval(), 500);

    QStringList menus;
    for (QAction* menu : form->menuBar()->actions()) {
        QStringList items;
        for (QAction* item : menu->menu()->actions()) {
            items << item->text();
        }
        menus << menu->text() + ": " + items.join(", ");
    }
    EXPECT_EQ(menus, QStringList({"File: Save Now, Save As..., Output Folder, Exit",
                                  "Options: Save Settings...", "Help: Help Contents, About"}));

    QStringList items;
    for (int i = 0; i < form->CmbBoxTime->count(); ++i) {
        items << form->CmbBoxTime->itemText(i);
    }
    EXPECT_EQ(items, QStringList({"Continuous", "Loop 3 min", "Loop 5 min", "Loop10 min",
                                  "Loop15 min", "Loop 20 min", "Loop 30 min", "Loop 60 min"}));
    EXPECT_EQ(form->ChartWave->Series1Colour, QColor(0, 0, 150));
    EXPECT_EQ(form->ChartWave->Series2Colour, QColor(180, 0, 0));
}

TEST_F(FormMainTest, ControlsSitAtTheirPlacesWithCaptionsAndHints) {
    struct Row {
        const char* name;
        QRect place; // an empty size: only the position is fixed (labels size themselves)
        const char* caption;
        const char* hint;
    };
    const Row rows[] = {
        {"Shape1", {2, 2, 461, 113}, "", ""},
        {"LabAudioDeviceControl", {150, 2, 0, 0}, "A u d i o   D e v i c e   C o n t r o l", ""},
        {"EditInDev", {18, 78, 123, 21}, "", "Active (working) Audio Device or Source"},
        {"BtnVolume", {156, 77, 70, 23}, "Control", "Recording Control"},
        {"ChBoxDC", {384, 80, 64, 17}, "Reduce", "Reduce DC Offset"},
        {"Shape2", {2, 118, 461, 183}, "", ""},
        {"LabRecordingControl", {158, 120, 0, 0}, "R e c o r d i n g   C o n t r o l", ""},
        {"ChartWave", {18, 134, 425, 75}, "", ""}, // as the gauges lay it out
        {"ImageTime", {18, 228, 425, 17}, "", ""}, // likewise
        {"CmbBoxTime", {16, 270, 123, 21}, "", "Recording Duration"},
        {"LabTime0", {159, 269, 0, 0}, "00:00:00", ""},
        {"LabTime", {158, 268, 0, 0}, "00:00:00", ""},
        {"BtnRecord", {244, 269, 59, 23}, "Record", ""},
        {"BtnStop", {316, 269, 59, 23}, "Stop", ""},
        {"BtnEdit", {388, 269, 59, 23}, "Edit", "Edit and save "},
        {"StatusBar1", {0, 301, 464, 22}, "", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto* control = form->Client->findChild<QWidget*>(row.name);
        ASSERT_NE(control, nullptr);
        if (row.place.isEmpty()) {
            EXPECT_EQ(control->pos(), row.place.topLeft());
        } else {
            EXPECT_EQ(control->geometry(), row.place);
        }
        QString caption;
        if (auto* label = qobject_cast<QLabel*>(control))
            caption = label->text();
        if (auto* button = qobject_cast<QAbstractButton*>(control))
            caption = button->text();
        EXPECT_EQ(caption, row.caption);
        EXPECT_EQ(control->toolTip(), row.hint);
    }
    EXPECT_EQ(form->LabTime->height(), 19);
    EXPECT_EQ(form->LabTime0->height(), 19);
    EXPECT_FALSE(form->ChBoxDC->isChecked());
    EXPECT_TRUE(form->EditInDev->isReadOnly());
    const int widths[] = {200, 130, 120};
    for (int i = 0, left = 0; i < 3; left += widths[i++]) {
        auto* panel = form->StatusBar1->findChild<QLabel*>(QString("StatusPanel%1").arg(i));
        ASSERT_NE(panel, nullptr);
        EXPECT_EQ(panel->x(), left);
        EXPECT_EQ(panel->width(), widths[i]);
    }
}

TEST_F(FormMainTest, EveryCaptionFitsItsControl) {
    form->show();
    EXPECT_EQ(QFontInfo(form->ChBoxDC->font()).family().toStdString(), "Liberation Sans")
        << "the layout is measured for this face";
    EXPECT_EQ(testsupport::CaptionsThatDoNotFit(form.get()).join("; ").toStdString(), "");
}

TEST_F(FormMainTest, StartUpOpensTheDeviceAndNamesIt) {
    EXPECT_TRUE(recorder().DeviceOpen);
    EXPECT_EQ(form->EditInDev->text(), "Scripted Input");
    EXPECT_EQ(form->StatusPanel(0), "Scripted Input");
    EXPECT_GT(recorder().FreeSeconds, 100u);
    EXPECT_TRUE(dialogs.errors.isEmpty());
}

TEST_F(FormMainTest, StartUpSaysOnceWhereALeftOverRecordingWasKept) {
    form.reset();
    const QString temp = QString::fromStdString(home.file("Temp"));
    QFile leftover(temp + "/Velmar.raw");
    ASSERT_TRUE(leftover.open(QIODevice::WriteOnly));
    leftover.write(QByteArray(3 * base::BlockBytes, '\x01'));
    leftover.close();
    dialogs.messages.clear();
    Open();
    EXPECT_EQ(
        dialogs.messages,
        QStringList{"A recording left by an earlier run that did not end normally was kept as " +
                    temp + "/test."});
    EXPECT_EQ(QFileInfo(temp + "/test").size(), 3 * base::BlockBytes);
    EXPECT_TRUE(dialogs.errors.isEmpty());
}

TEST_F(FormMainTest, StatusBarCountsTheTakesDropoutsOnlyWhenThereAreAny) {
    QLabel* panel = form->StatusBar1->findChild<QLabel*>("DropoutPanel");
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(panel->isHidden());
    record::State& take = record::RecorderProbe::Of(form->Recorder());
    for (size_t count : {2u, 1u, 0u}) {
        take.Dropouts.assign(count, record::DropoutMark{5, 80, 5});
        form->DropoutsChanged();
        EXPECT_EQ(!panel->isHidden(), count > 0);
        EXPECT_EQ(panel->text(), count == 2 ? "Dropouts: 2" : count == 1 ? "Dropouts: 1" : "");
        EXPECT_LE(form->findChild<QLabel*>("StatusPanel0")->geometry().right(),
                  panel->geometry().left() + (count > 0 ? 0 : 1000))
            << "the device name never runs under the count";
    }
    take.Dropouts.assign(2, record::DropoutMark{5, 80, 5});
    form->DropoutsChanged();
    form->show();
    QApplication::processEvents();
    const QString dir = qEnvironmentVariable("VELMAR_SCREENSHOT_DIR", VELMAR_BINARY_DIR);
    EXPECT_TRUE(form->grab().save(QDir(dir).filePath("main-window-dropouts.png")));
}

TEST_F(FormMainTest, StopWhileNotRecordingAndRecordWhileRecordingChangeNothing) {
    Run(10);
    const int opens = device.OpenCalls();
    const uint32_t fileBlocks = recorder().FileBlocks;
    QTest::mouseClick(form->BtnStop, Qt::LeftButton);
    EXPECT_EQ(device.OpenCalls(), opens);
    EXPECT_EQ(device.CloseCalls(), 0);
    EXPECT_EQ(recorder().FileBlocks, fileBlocks);
    EXPECT_EQ(form->StatusPanel(2), "");

    Record(30);
    const QString started = form->StatusPanel(1);
    EXPECT_TRUE(started.startsWith("Start - "));
    const int opensWhileRecording = device.OpenCalls();
    QTest::mouseClick(form->BtnRecord, Qt::LeftButton);
    EXPECT_EQ(device.OpenCalls(), opensWhileRecording);
    EXPECT_TRUE(recorder().Recording);
    Run(10);
    QTest::mouseClick(form->BtnStop, Qt::LeftButton);
    EXPECT_FALSE(recorder().Recording);
    EXPECT_EQ(recorder().FileBlocks, 40u);
    EXPECT_TRUE(form->StatusPanel(2).startsWith("End - "));
    EXPECT_TRUE(recorder().DeviceOpen); // monitoring goes on
}

TEST_F(FormMainTest, RecordWithoutADeviceSaysSo) {
    device.SetGenerator([](uint64_t, uint8_t* block) {
        for (int j = 0; j < base::BlockFrames; ++j) {
            const int16_t s[2] = {static_cast<int16_t>(j % 2 ? 20000 : -20000), 0};
            std::memcpy(block + 4 * j, s, 4);
        }
    });
    Run(2);
    EXPECT_EQ(form->Gauges.LevelBitmap.pixelColor(1, 3), gauges::LevelGreen);
    device.SetDevices(0, "");
    form->TimerStatusTimer(); // the watch notices the device is gone
    EXPECT_EQ(form->EditInDev->text(), "");
    EXPECT_EQ(form->StatusPanel(0), "");
    EXPECT_EQ(form->Gauges.LevelBitmap.pixelColor(1, 3), gauges::BackBrush); // drawn empty
    QTest::mouseClick(form->BtnRecord, Qt::LeftButton);
    EXPECT_EQ(dialogs.messages, QStringList{"No Audio Device Selected"});
    EXPECT_FALSE(recorder().Recording);
}

TEST_F(FormMainTest, SaveAsIsEnabledOnlyAfterAStoppedRecordingOfTwoBlocks) {
    auto saveAsEnabled = [&] {
        form->menuFileClick();
        return form->menuSaveAs->isEnabled();
    };
    EXPECT_FALSE(saveAsEnabled()); // nothing recorded yet
    Record(1);
    EXPECT_FALSE(saveAsEnabled());
    QTest::mouseClick(form->BtnStop, Qt::LeftButton);
    EXPECT_EQ(recorder().FileBlocks, 1u);
    EXPECT_FALSE(saveAsEnabled());
    Record(25);
    EXPECT_FALSE(saveAsEnabled());
    QTest::mouseClick(form->BtnStop, Qt::LeftButton);
    EXPECT_TRUE(saveAsEnabled());
    // Opening the menu runs the rule too.
    Record(2);
    emit form->menuFile->aboutToShow();
    EXPECT_FALSE(form->menuSaveAs->isEnabled());
}

// Save Now is there only while a recording runs; Ctrl+S during a loop saves the take while the
// recording goes on: no block is lost, and the status bar names the file and its length.
TEST_F(FormMainTest, CtrlSDuringALoopSavesTheTakeAndTheRecordingGoesOn) {
    const QDir out(QString::fromStdString(home.file("")));
    run->settings.SetOutputFolder(out.path());
    run->settings.SetOutputFormat(true);
    form->show();
    form->menuFileClick();
    EXPECT_FALSE(form->menuSaveNow->isEnabled());
    form->CmbBoxTime->setCurrentIndex(1); // "Loop 3 min"
    emit form->CmbBoxTime->activated(1);
    const uint64_t first = device.NextBlockIndex();
    Record(1800 + 500);
    EXPECT_TRUE(form->menuSaveNow->isEnabled());
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    QTest::keyClick(form.get(), Qt::Key_S, Qt::ControlModifier);
    for (int b = 0; b < 3000 && !form->StatusBar1->currentMessage().startsWith("Saved"); ++b) {
        // The recording goes on, block by block, until the save has told the window; at ten
        // times real time, so a save slowed by a loaded machine is not overtaken by the test.
        Run(1);
        QTest::qWait(10);
    }
    const QStringList files = out.entryList({"Velmar 20*.wav"}, QDir::Files);
    ASSERT_EQ(files.size(), 1);
    EXPECT_EQ(form->StatusBar1->currentMessage(), "Saved " + files[0] + " (3:00)");
    EXPECT_EQ(testsupport::ToolOutput("soxi", {"-s", out.filePath(files[0])}), "7938000");
    EXPECT_TRUE(dialogs.errors.isEmpty()) << dialogs.errors.join("\n").toStdString();
    QTest::mouseClick(form->BtnStop, Qt::LeftButton);
    const uint64_t total = device.NextBlockIndex() - first;
    EXPECT_TRUE(testsupport::TakeIs(form->Recorder(), first + total - 1800, 1800)); // none lost
    form->menuFileClick();
    EXPECT_FALSE(form->menuSaveNow->isEnabled());
}

TEST_F(FormMainTest, EditDuringARecordingDoesNothing) {
    form->show();
    Record(20);
    const int closes = device.CloseCalls();
    QTest::mouseClick(form->BtnEdit, Qt::LeftButton);
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(recorder().Recording);
    EXPECT_EQ(device.CloseCalls(), closes);
}

TEST_F(FormMainTest, EditBeforeAnyRecordingOpensAnEmptyEditor) {
    form->show();
    int64_t opened = -1;
    QTimer::singleShot(0, [&] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* editor = qobject_cast<TFormEdit*>(widget); editor && editor->isVisible()) {
                opened = editor->Editing()->Blocks();
                editor->close();
            }
        }
    });
    QTest::mouseClick(form->BtnEdit, Qt::LeftButton);
    EXPECT_EQ(opened, 0);
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(recorder().DeviceOpen);
}

TEST_F(FormMainTest, EditAfterARecordingHidesTheWindowWhileTheEditorIsOpen) {
    form->show();
    Record(25);
    QTest::mouseClick(form->BtnStop, Qt::LeftButton);
    bool editorShown = false, mainHidden = false, deviceClosed = false, watchStopped = false;
    // The timers run as in the program, so a changed input would be seen if the watch ran.
    form->TimerRec->start();
    form->TimerStatus->start();
    device.SetDevices(1, "Another Input");
    QTimer::singleShot(0, [&] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* editor = qobject_cast<TFormEdit*>(widget); editor && editor->isVisible()) {
                editorShown = true;
                mainHidden = !form->isVisible();
                QTest::qWait(700); // longer than the device watch's period
                deviceClosed = !recorder().DeviceOpen;
                watchStopped = !form->TimerStatus->isActive() && !form->TimerRec->isActive();
                editor->reject();
            }
        }
    });
    form->BtnEditClick();
    EXPECT_TRUE(editorShown);
    EXPECT_TRUE(mainHidden);
    EXPECT_TRUE(deviceClosed) << "the device watch reopened the input under the editor";
    EXPECT_TRUE(watchStopped);
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(recorder().DeviceOpen);
    EXPECT_TRUE(form->TimerStatus->isActive());
    form->TimerRec->stop();
    form->TimerStatus->stop();
}

// Closes the first visible top-level window of class Form once the modal loop runs; true in
// `shown` if there was one.
template <typename Form> void CloseWhenShown(bool& shown) {
    QTimer::singleShot(0, [&shown] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* form = qobject_cast<Form*>(widget); form && form->isVisible()) {
                shown = form->isModal();
                form->reject();
                return;
            }
        }
    });
}

TEST_F(FormMainTest, SettingsAndAboutOpenModally) {
    bool settingsShown = false, aboutShown = false;
    CloseWhenShown<TFormSaveSettings>(settingsShown);
    form->menuSaveSettings->trigger();
    EXPECT_TRUE(settingsShown);
    CloseWhenShown<TFormAbout>(aboutShown);
    form->menuAbout->trigger();
    EXPECT_TRUE(aboutShown);
}

TEST_F(FormMainTest, ChoosingAModeSetsItAndRedrawsTheTimeGauge) {
    form->CmbBoxTime->setCurrentIndex(3);
    emit form->CmbBoxTime->activated(3);
    EXPECT_EQ(form->CmbBoxTime->currentText(), "Loop10 min");
    EXPECT_TRUE(recorder().LoopMode);
    EXPECT_EQ(recorder().HalvesPerLoop, 300);
    EXPECT_EQ(recorder().TimeScaleMinutes, 10);
    EXPECT_EQ(run->settings.Values().RecordingModeIndex, 3);
    EXPECT_FLOAT_EQ(form->Gauges.PixelsPerSecond, 422.0f / 600.0f);

    // The gauge's scale now reads 0min .. 10: the 10-minute scale has 40 minor ticks, so a tick
    // stands at 18 + round(424 * 1 / 40) = 29, which the 3-minute scale does not have.
    QImage client = form->Client->grab().toImage();
    EXPECT_EQ(Rgb(client.pixelColor(29, 246)), Rgb(QColor(80, 80, 80)));
}

TEST_F(FormMainTest, ModeChosenDuringARecordingWaitsForTheNextOne) {
    Record(30);
    form->CmbBoxTime->setCurrentIndex(1);
    emit form->CmbBoxTime->activated(1);
    EXPECT_EQ(form->CmbBoxTime->currentText(), "Loop 3 min"); // the list shows it at once
    EXPECT_FALSE(recorder().LoopMode);
    QTest::mouseClick(form->BtnStop, Qt::LeftButton);
    Record(5);
    EXPECT_TRUE(recorder().LoopMode);
    EXPECT_EQ(recorder().HalvesPerLoop, 90);
}

TEST_F(FormMainTest, RecordingDrawsLevelsChartTimeAndBar) {
    // Full scale on the left around a mean of 0, silence on the right.
    device.SetGenerator([](uint64_t, uint8_t* block) {
        for (int j = 0; j < base::BlockFrames; ++j) {
            const int16_t s[2] = {static_cast<int16_t>(j % 2 ? 32767 : -32767), 0};
            std::memcpy(block + 4 * j, s, 4);
        }
    });
    Record(50);
    const QImage& level = form->Gauges.LevelBitmap;
    EXPECT_EQ(Rgb(level.pixelColor(419, 3)), Rgb(QColor(249, 196, 0)));
    EXPECT_EQ(Rgb(level.pixelColor(1, 12)), Rgb(gauges::BackBrush));  // right channel silent
    EXPECT_EQ(Rgb(level.pixelColor(421, 3)), Rgb(QColor(255, 0, 0))); // clipped: hold 30
    EXPECT_EQ(form->Gauges.ChartHistoryL[1], 75);
    EXPECT_EQ(form->Gauges.ChartHistoryL[50], 75);
    EXPECT_EQ(form->Gauges.ChartHistoryL[51], 0);
    EXPECT_EQ(form->ChartWave->ShownColumns(), 425);
    EXPECT_EQ(form->LabTime->text(), "00:00:05");
    EXPECT_EQ(form->LabTime0->text(), form->LabTime->text());
    // 50 blocks at 422 / 180 pixels per second reach column 12; columns 3, 6, 9, 12 stay dark.
    const QImage& bar = form->Gauges.TimePicture;
    for (int x = 1; x <= 14; ++x) {
        EXPECT_EQ(Rgb(bar.pixelColor(x, 8)),
                  Rgb(x % 3 == 0 || x > 12 ? gauges::BackBrush : gauges::PassGreen))
            << "column " << x;
    }
}

// Monitoring a steady input: once the gauges show it, blocks that read the same paint nothing in
// the window; a block that reads otherwise repaints the level gauge.
TEST_F(FormMainTest, GaugesRepaintOnlyWhenTheirReadingChanges) {
    form->show();
    device.SetGenerator(testsupport::ScriptedCapture::Constant(-500, 100));
    Run(3);
    testsupport::PaintLog log(form.get());
    log.Settle();
    Run(20);
    QApplication::processEvents();
    for (const auto& [widget, region] : log.paints) {
        ADD_FAILURE() << widget->metaObject()->className() << " "
                      << widget->objectName().toStdString() << " painted "
                      << region.boundingRect().width() << " x " << region.boundingRect().height()
                      << " while the reading stayed the same";
    }

    // A new DC offset: the DC bars grow, while the level bars of a constant signal stay empty,
    // so only the DC gauge is painted.
    device.SetGenerator(testsupport::ScriptedCapture::Constant(-2000, 100));
    Run(1);
    QApplication::processEvents();
    const gauges::Geometry& g = form->Gauges.geometry;
    const QRect level(QPoint(g.level.left, g.level.top), form->Gauges.LevelBitmap.size());
    const QRect dc(QPoint(g.dc.left, g.dc.top), form->Gauges.DcBitmap.size());
    bool dcPainted = false;
    for (const auto& [widget, region] : log.paints) {
        dcPainted = dcPainted || (widget == form->Client && region.intersects(dc));
        EXPECT_NE(widget, form->Shape1) << "the outline around the gauges was repainted with them";
        EXPECT_FALSE(widget == form->Client && region.intersects(level))
            << "the level gauge was repainted though its bars stayed the same";
    }
    EXPECT_TRUE(dcPainted) << "a new DC offset left the DC gauge as it was";
    log.paints.clear();
    device.SetGenerator(testsupport::ScriptedCapture::FrameCounter());
    Run(1);
    QApplication::processEvents();
    bool levelPainted = false;
    for (const auto& [widget, region] : log.paints) {
        levelPainted = levelPainted || (widget == form->Client && region.intersects(level));
    }
    EXPECT_TRUE(levelPainted) << "sound that fills the level bars left the level gauge empty";

    // Recording: the time bar gains a column every few blocks, and only that column is painted.
    Record(2);
    log.Settle();
    int timePaints = 0;
    for (int block = 0; block < 40; ++block) {
        Run(1);
        QApplication::processEvents();
        for (const auto& [widget, region] : log.paints) {
            if (widget == form->ImageTime) {
                ++timePaints;
                EXPECT_EQ(region.boundingRect().width(), 1)
                    << "block " << block << " repainted more than a column of the time bar";
            }
        }
        log.paints.clear();
    }
    EXPECT_GE(timePaints, 1);
    EXPECT_LE(timePaints, 12) << "40 blocks span 10 columns of a three-minute bar";
}

TEST_F(FormMainTest, DcGaugeShowsTheBlockMeanUnlessReduceIsTicked) {
    device.SetGenerator(testsupport::ScriptedCapture::Constant(-500, 100));
    Run(3);
    const QImage& dc = form->Gauges.DcBitmap;
    EXPECT_EQ(Rgb(dc.pixelColor(13, 3)), Rgb(gauges::DcOrange));
    EXPECT_EQ(Rgb(dc.pixelColor(14, 3)), Rgb(gauges::BackBrush));
    EXPECT_EQ(Rgb(dc.pixelColor(2, 12)), Rgb(gauges::DcOrange)); // 100 units: 3 pixels
    EXPECT_EQ(Rgb(dc.pixelColor(4, 12)), Rgb(gauges::BackBrush));

    Run(60);
    QTest::mouseClick(form->ChBoxDC, Qt::LeftButton);
    EXPECT_TRUE(form->ChBoxDC->isChecked());
    EXPECT_EQ(recorder().DcOffsetL, -500);
    EXPECT_EQ(recorder().DcOffsetR, 100);
    Run(10); // corrected blocks have mean 0; the gauge shows the averages of the history
    EXPECT_NEAR(recorder().BlockMeanL, 0, 1e-9);
    const int shown = std::abs(gauges::Round(form->Gauges.DcScale * recorder().ShownDcL));
    EXPECT_EQ(shown, 14);
    for (int x = 1; x < 94; ++x) {
        if (x % 3 != 0) {
            EXPECT_EQ(Rgb(dc.pixelColor(x, 3)),
                      Rgb(x < shown ? gauges::DcOrange : gauges::BackBrush))
                << "column " << x;
        }
    }

    QTest::mouseClick(form->ChBoxDC, Qt::LeftButton);
    EXPECT_EQ(recorder().DcOffsetL, 0);
    EXPECT_EQ(recorder().DcOffsetR, 0);
}

TEST_F(FormMainTest, ClosingDuringARecordingAsksFirst) {
    Record(30);
    dialogs.confirmAnswers = {false};
    EXPECT_FALSE(form->close());
    EXPECT_EQ(dialogs.confirmations, QStringList{"Are you sure you want to interrupt recording?"});
    EXPECT_TRUE(recorder().Recording);
    EXPECT_TRUE(recorder().DeviceOpen);

    dialogs.confirmAnswers = {true};
    EXPECT_TRUE(form->FormCloseQuery());
    EXPECT_FALSE(recorder().Recording);
    EXPECT_FALSE(recorder().DeviceOpen);
    EXPECT_FALSE(QFile::exists(run->environment.paths.RecordingFilePath));
    EXPECT_TRUE(QFile::exists(run->environment.SettingsFilePath));
}

// The settings file cannot be written at exit: the window says why, closes all the same, and the
// work files go.
TEST_F(FormMainTest, AFailedSettingsSaveAtExitSaysSoAndTheWindowCloses) {
    Record(10);
    QTest::mouseClick(form->BtnStop, Qt::LeftButton);
    const setup::Environment& e = run->environment;
    ASSERT_TRUE(QFile::exists(e.paths.RecordingFilePath));
    QDir().mkdir(e.SettingsFilePath); // a folder where the file should be
    EXPECT_TRUE(form->close());
    ASSERT_EQ(dialogs.errors.size(), 1);
    EXPECT_TRUE(dialogs.errors[0].startsWith("The settings could not be saved to " +
                                             e.SettingsFilePath + ": "))
        << dialogs.errors[0].toStdString();
    EXPECT_FALSE(QFile::exists(e.paths.RecordingFilePath));
}

TEST_F(FormMainTest, MinimizedRecordingShowsTimeAndLevelRestoreResets) {
    device.SetGenerator(testsupport::ScriptedCapture::Constant(700, 0));
    Record(5);
    form->setWindowState(Qt::WindowMinimized);
    EXPECT_TRUE(recorder().Minimized);
    Run(20);
    EXPECT_EQ(form->windowTitle(), recorder().TimeText);
    EXPECT_EQ(form->windowTitle(), "00:00:02");
    EXPECT_EQ(form->windowIcon().pixmap(16, 16).toImage(),
              form->LevelIcons[1].pixmap(16, 16).toImage());

    form->setWindowState(Qt::WindowNoState);
    EXPECT_FALSE(recorder().Minimized);
    EXPECT_EQ(form->windowTitle(), "Velmar Recorder");
    // Restored, the window shows the program's icon, the installed picture at every size.
    for (int size : {16, 48}) {
        const auto format = QImage::Format_ARGB32_Premultiplied;
        QImage installed(QString(VELMAR_SOURCE_DIR "/desktop/velmar-recorder-%1.png").arg(size));
        ASSERT_FALSE(installed.isNull());
        EXPECT_EQ(form->windowIcon().pixmap(size, size).toImage().convertToFormat(format),
                  installed.convertToFormat(format));
    }
    Run(10);
    EXPECT_EQ(form->windowTitle(), "Velmar Recorder");
}

TEST_F(FormMainTest, ShellCommandsStartTheirPrograms) {
    QTest::mouseClick(form->BtnVolume, Qt::LeftButton);
    EXPECT_EQ(launches, QStringList{"pavucontrol --tab=4"});
    launches.clear();
    launcher.succeeds = false;
    form->BtnVolumeClick();
    EXPECT_EQ(launches, QStringList({"pavucontrol --tab=4", "gnome-control-center sound"}));
    EXPECT_TRUE(dialogs.errors.isEmpty());

    launches.clear();
    form->menuFolderClick();
    // No user guide anywhere: a message says where it was looked for, nothing is started.
    form->VelmarRecorderHelpClick();
    EXPECT_EQ(launches, QStringList{"xdg-open " + run->settings.Values().OutputFolder});
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(dialogs.messages[0].contains(exe + ".html")) << dialogs.messages[0].toStdString();

    launches.clear();
    QFile(exe + ".html").open(QIODevice::WriteOnly);
    form->VelmarRecorderHelp->trigger();
    EXPECT_EQ(launches, QStringList{"xdg-open " + exe + ".html"});
}

TEST_F(FormMainTest, Screenshot) {
    device.SetGenerator(Swelling);
    form->show();
    form->CmbBoxTime->setCurrentIndex(1);
    emit form->CmbBoxTime->activated(1);
    Run(5);
    Record(420);
    QApplication::processEvents();
    const QPixmap shot = form->grab();
    EXPECT_EQ(shot.size(), form->size());
    const QString dir = qEnvironmentVariable("VELMAR_SCREENSHOT_DIR", VELMAR_BINARY_DIR);
    EXPECT_TRUE(shot.save(QDir(dir).filePath("main-window.png")));
}

} // namespace

namespace {

// Start-up that finds no usable work folder still opens the window; Record and Edit then
// repeat why instead of silently doing nothing.
struct UnusableFolder {
    const char* name;
    bool plainFile; // "Temp" beside the executable is a regular file; else a folder that takes
                    // no files (immutable rather than read-only, because the tests may run as root)
};
class FormMainWithoutWorkFolder : public ::testing::TestWithParam<UnusableFolder> {};

TEST_P(FormMainWithoutWorkFolder, OpensAndRecordAndEditRepeatTheStartupError) {
    testsupport::TempDir dir;
    const QString temp = QString::fromStdString(dir.file("Temp"));
    if (GetParam().plainFile) {
        QFile(temp).open(QIODevice::WriteOnly);
    } else {
        QDir().mkdir(temp);
        if (std::system(("chattr +i '" + temp.toStdString() + "' 2>/dev/null").c_str()) != 0) {
            GTEST_SKIP() << "cannot make a folder unwritable here";
        }
    }
    setenv("XDG_DATA_HOME", dir.file("data").c_str(), 1); // holds no "Velmar Recorder"
    testsupport::ScriptedCapture device;
    testsupport::WindowRecorderPorts ports;
    testsupport::RecordingDialogs dialogs;
    testsupport::RecordingLauncher launcher;
    exporting::SystemEncoderLoader encoders;
    testsupport::ScriptedOutput output;
    output.SetOpenFailure(playback::OutputError::NoDevice);
    base::SystemFileSystem fileSystem;
    base::IdleEventPump events;
    {
        app::StartedRun run =
            app::StartRun(QString::fromStdString(dir.file("velmar-recorder")), dialogs);
        EXPECT_TRUE(run.environment.WorkFolder.isEmpty());
        TFormMain form(run, ports.For(device), output, fileSystem, events, dialogs, launcher,
                       encoders);
        form.TimerRec->stop();
        form.TimerStatus->stop();
        const QString error = "Can not create " + temp;
        EXPECT_EQ(dialogs.errors, QStringList{error});
        EXPECT_TRUE(form.isEnabled());
        QTest::mouseClick(form.BtnRecord, Qt::LeftButton);
        EXPECT_FALSE(form.Recorder().View().Recording);
        EXPECT_EQ(dialogs.errors, QStringList({error, error}));
        bool editorOpened = false;
        QTimer closeEditor; // ends an editor that should not have opened
        closeEditor.setSingleShot(true);
        QObject::connect(&closeEditor, &QTimer::timeout, [&] {
            if (auto* editor = qobject_cast<TFormEdit*>(QApplication::activeModalWidget())) {
                editorOpened = true;
                editor->reject();
            }
        });
        closeEditor.start(0);
        QTest::mouseClick(form.BtnEdit, Qt::LeftButton);
        QApplication::processEvents();
        EXPECT_FALSE(editorOpened);
        EXPECT_EQ(dialogs.errors, QStringList({error, error, error}));
    }
    std::system(("chattr -i '" + temp.toStdString() + "' 2>/dev/null").c_str());
    unsetenv("XDG_DATA_HOME");
}
INSTANTIATE_TEST_SUITE_P(Cases, FormMainWithoutWorkFolder,
                         ::testing::Values(UnusableFolder{"TempIsAFile", true},
                                           UnusableFolder{"TempTakesNoFiles", false}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace

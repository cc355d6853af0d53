// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/event_pump.h"
#include "base/file_system.h"
#include "gauges/gauges.h"
#include "record/pipeline.h"
#include "record/recorder_driver.h"

#include <QIcon>
#include <QMainWindow>

#include <array>
#include <memory>
#include <optional>

class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QPainter;
class QPushButton;
class QStatusBar;
class QTimer;

namespace gauges {
class ChartView;
class PictureBox;
} // namespace gauges
namespace playback {
class OutputDevice;
}
namespace platform {
class Dialogs;
class Launcher;
} // namespace platform
namespace app {
struct StartedRun;
}
namespace exporting {
class EncoderLoader;
class SaveNow;
} // namespace exporting
namespace setup {
struct Environment;
class SettingsStore;
struct Settings;
} // namespace setup

// The main window: the recorder's face and the application's main form; closing it ends the
// program. Handlers keep the names of the controls and events they serve and stay thin: the
// recording engine does the work and tells the window what to redraw through record::Events.
class TFormMain : public QMainWindow, public record::Events {
    Q_OBJECT
  public:
    // `run` says where the files go, holds the settings and why start-up found no work folder;
    // the window's recorder works through `recorderPorts`. The editor it opens plays through
    // `output` and is built with the other ports; Save Now encodes MP3 through `encoders`. All
    // of them must outlive the window.
    TFormMain(app::StartedRun& run, const record::RecorderPorts& recorderPorts,
              playback::OutputDevice& output, const base::FileSystem& fileSystem,
              base::EventPump& events, platform::Dialogs& dialogs, platform::Launcher& launcher,
              const exporting::EncoderLoader& encoders, QWidget* parent = nullptr);
    ~TFormMain() override;

    // Start-up of the window: the recorder over the run's recording file and mode, then the
    // device.
    void FormCreate();
    // Asked before the window closes; false keeps it open. On true the shutdown has run (a
    // failed settings write shown as an error).
    bool FormCloseQuery();
    // Lays out and draws the gauges' frames, scales and the time gauge on the client area.
    void FormPaint(QPainter& painter, const QRegion& region);
    void FormShow();
    void FormDestroy();

    void TimerRecTimer();
    void TimerStatusTimer();
    void BtnRecordClick();
    void BtnStopClick();
    void BtnEditClick();
    void ChBoxDCClick();
    void CmbBoxTimeChange();
    void BtnVolumeClick();
    void menuFileClick();
    void menuSaveAsClick();
    // File › Save Now (Ctrl+S): starts a save of the running recording and returns at once;
    // SaveNowFinished shows how it ended.
    void menuSaveNowClick();
    void SaveNowFinished(const QString& path, quint32 blocks, const QString& error);
    void menuFolderClick();
    void menuCloseClick();
    void menuSaveSettingsClick();
    void VelmarRecorderHelpClick();
    void menuAboutClick();

    // record::Events: what the engine asks the window to show.
    void MeterUpdate() override;
    void PushChartPoint() override;
    void DrawTimeMark() override;
    void DrawTimeGauge() override;
    void DrawTimeBar() override;
    void RecordingStarted() override;
    void ClearGauges() override;
    void DeviceNameChanged(const QString& name) override;
    void TimeTextChanged(const QString& text) override;
    void StatusPanelText(int panel, const QString& text) override;
    // "Dropouts: N" beside the device name while the take has any.
    void DropoutsChanged() override;
    // What the recorder told through its driver: an information box, or an error box.
    void ShowMessage(const QString& text);
    void ShowError(const QString& text);
    void LevelIcon(int index) override;
    void Title(const QString& text) override;

    // The text of status bar panel 0..2.
    QString StatusPanel(int panel) const;
    // The recorder this window shows; it exists from FormCreate to FormDestroy.
    const record::Recorder& Recorder() const { return *recorder_; }
    record::Recorder& Recorder() { return *recorder_; }
    // The Save Now the menu starts, for a save asked for from outside, in the settings' format.
    exporting::SaveNow& SaveNowEngine() { return *saveNow_; }
    const setup::Settings& SettingsNow() const;

    // Controls, named as in the window's layout.
    QWidget* Client = nullptr; // the 464 x 323 client area below the menu bar
    QFrame* Shape1 = nullptr;
    QLabel* LabAudioDeviceControl = nullptr;
    QLineEdit* EditInDev = nullptr;
    QPushButton* BtnVolume = nullptr;
    QCheckBox* ChBoxDC = nullptr;
    QFrame* Shape2 = nullptr;
    QLabel* LabRecordingControl = nullptr;
    gauges::ChartView* ChartWave = nullptr;
    gauges::PictureBox* ImageTime = nullptr;
    QComboBox* CmbBoxTime = nullptr;
    QLabel* LabTime0 = nullptr;
    QLabel* LabTime = nullptr;
    QPushButton* BtnRecord = nullptr;
    QPushButton* BtnStop = nullptr;
    QPushButton* BtnEdit = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QTimer* TimerRec = nullptr; // the driver's ticks
    QTimer* TimerStatus = nullptr;
    QMenu* menuFile = nullptr;
    QAction* menuSaveNow = nullptr;
    QAction* menuSaveAs = nullptr;
    QAction* menuFolder = nullptr;
    QAction* menuClose = nullptr;
    QMenu* menuOptions = nullptr;
    QAction* menuSaveSettings = nullptr;
    QMenu* menuHelp = nullptr;
    QAction* VelmarRecorderHelp = nullptr;
    QAction* menuAbout = nullptr;

    // Level icons 0..16 shown while minimized; 17 is the application icon (app::ApplicationIcon).
    std::array<QIcon, gauges::LevelIconCount> LevelIcons;
    // The four displays' geometry, scales, bitmaps and chart history.
    gauges::State Gauges;

  protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void BuildControls();
    void BuildMenus();
    void LayoutGauges();
    // Empty chart history and series, time bar redrawn.
    void ClearChart();
    void Minimize();
    void Restore();
    // Save Now is enabled exactly while a recording runs.
    void UpdateSaveNow();

    record::RecorderPorts recorderPorts_;
    std::unique_ptr<record::Recorder> recorder_;
    std::unique_ptr<record::RecorderDriver> driver_;
    std::unique_ptr<exporting::SaveNow> saveNow_;
    const exporting::EncoderLoader& encoders_;
    std::array<QLabel*, 3> statusPanels_{};
    QLabel* dropoutPanel_ = nullptr;
    bool shutDown_ = false;
    // Why start-up found no work folder; Record repeats it instead of doing nothing.
    const QString startupError_;
    const setup::Environment& environment_;
    setup::SettingsStore& settings_;
    playback::OutputDevice& output_;
    const base::FileSystem& fileSystem_;
    base::EventPump& events_;
    platform::Dialogs& dialogs_;
    platform::Launcher& launcher_;
    bool shown_ = false;
    // What the level and DC gauges show, with their bitmaps' cache keys right after that
    // drawing: a block that reads as the one before (silence, a held clip mark) draws and
    // repaints nothing, while a bitmap cleared or made anew since is drawn again.
    struct GaugesShown {
        gauges::LevelLook level;
        gauges::DcLook dc;
        qint64 levelKey = 0;
        qint64 dcKey = 0;
    };
    std::optional<GaugesShown> gaugesShown_;
    // The time bar's column last marked and repainted, -1 after the whole bar was drawn.
    int timeMarkShown_ = -1;
};

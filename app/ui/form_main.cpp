// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ui/form_main.h"

#include "about/form_about.h"
#include "app/ui/application_icon.h"
#include "app/ui/started_run.h"
#include "base/errors.h"
#include "editor/form_edit.h"
#include "export/save_flow.h"
#include "export/save_now.h"
#include "export/ui/save_flow_ui.h"
#include "gauges/gauge_widgets.h"
#include "gauges/window_font.h"
#include "gauges/window_parts.h"
#include "platform/dialogs.h"
#include "platform/shell.h"
#include "setup/help_file.h"
#include "setup/startup.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QFrame>
#include <QKeySequence>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QPaintEvent>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>

#include <memory>

namespace {

constexpr int DropoutPanelWidth = 85; // "Dropouts: 99" with its frame

using gauges::Make;
using gauges::ShowModal;

const QColor FormColour(224, 224, 224); // colour value 14737632, blue in the high byte
const QColor Navy(0, 0, 128);
const QColor Silver(192, 192, 192);
const char* const Caption = "Velmar Recorder";

// The client area: its painting is the form's OnPaint.
class ClientArea : public QWidget {
  public:
    explicit ClientArea(TFormMain* form) : QWidget(form), form_(form) {}

  protected:
    void paintEvent(QPaintEvent* event) override {
        QPainter painter(this);
        form_->FormPaint(painter, event->region());
    }

  private:
    TFormMain* form_;
};

// An outline rectangle with a clear inside.
class OutlineShape : public QFrame {
  public:
    OutlineShape(const QColor& colour, QWidget* parent) : QFrame(parent), colour_(colour) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

  protected:
    // Only the outline belongs to the shape, so repaints of what lies inside it (the gauges,
    // the chart) neither repaint the shape nor the form beneath it.
    void resizeEvent(QResizeEvent*) override {
        setMask(QRegion(rect()) - QRegion(rect().adjusted(1, 1, -1, -1)));
    }
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setPen(colour_);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(0, 0, width() - 1, height() - 1);
    }

  private:
    QColor colour_;
};

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, int left, int top,
                  const QColor& colour) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    label->move(left, top);
    label->adjustSize();
    return label;
}

} // namespace

TFormMain::TFormMain(app::StartedRun& run, const record::RecorderPorts& recorderPorts,
                     playback::OutputDevice& output, const base::FileSystem& fileSystem,
                     base::EventPump& events, platform::Dialogs& dialogs,
                     platform::Launcher& launcher, const exporting::EncoderLoader& encoders,
                     QWidget* parent)
    : QMainWindow(parent), recorderPorts_(recorderPorts), encoders_(encoders),
      startupError_(run.startupError), environment_(run.environment), settings_(run.settings),
      output_(output), fileSystem_(fileSystem), events_(events), dialogs_(dialogs),
      launcher_(launcher) {
    setObjectName("FormMain");
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    BuildControls();
    BuildMenus();
    // Not resizable: the window is its menu bar plus the fixed client area.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    layout()->activate();
    FormCreate();
}

TFormMain::~TFormMain() {
    FormDestroy();
}

void TFormMain::BuildControls() {
    Client = new ClientArea(this);
    Client->setObjectName("Client");
    Client->setFixedSize(464, 323);
    Client->setFont(gauges::WindowFont());
    QPalette palette = Client->palette();
    palette.setColor(QPalette::Window, FormColour);
    Client->setPalette(palette);
    Client->setAutoFillBackground(true);
    setCentralWidget(Client);

    Shape1 = new OutlineShape(Navy, Client);
    Shape1->setObjectName("Shape1");
    Shape1->setGeometry(2, 2, 461, 113);
    LabAudioDeviceControl = MakeLabel(Client, "LabAudioDeviceControl",
                                      "A u d i o   D e v i c e   C o n t r o l", 150, 2, Navy);

    EditInDev = Make<QLineEdit>(Client, "EditInDev", 18, 78, 123, 21);
    EditInDev->setReadOnly(true);
    EditInDev->setFrame(false);
    EditInDev->setToolTip("Active (working) Audio Device or Source");

    // 70 px rather than 66: the icon and "Control" need that much in the window font.
    BtnVolume = Make<QPushButton>(Client, "BtnVolume", 156, 77, 70, 23);
    BtnVolume->setText("Control");
    BtnVolume->setIcon(style()->standardIcon(QStyle::SP_MediaVolume));
    BtnVolume->setToolTip("Recording Control");
    connect(BtnVolume, &QPushButton::clicked, this, &TFormMain::BtnVolumeClick);

    // 64 px rather than 57: "Reduce" with its box needs that much in the window font.
    ChBoxDC = Make<QCheckBox>(Client, "ChBoxDC", 384, 80, 64, 17);
    ChBoxDC->setText("Reduce");
    ChBoxDC->setToolTip("Reduce DC Offset");
    ChBoxDC->setChecked(false);
    connect(ChBoxDC, &QCheckBox::clicked, this, &TFormMain::ChBoxDCClick);

    Shape2 = new OutlineShape(Navy, Client);
    Shape2->setObjectName("Shape2");
    Shape2->setGeometry(2, 118, 461, 183);
    LabRecordingControl = MakeLabel(Client, "LabRecordingControl",
                                    "R e c o r d i n g   C o n t r o l", 158, 120, Navy);

    ChartWave = new gauges::ChartView(Gauges, Client);
    ChartWave->setObjectName("ChartWave");
    ChartWave->setGeometry(16, 134, 431, 75);
    ImageTime = new gauges::PictureBox(Gauges.TimePicture, Client);
    ImageTime->setObjectName("ImageTime");
    ImageTime->setGeometry(16, 228, 429, 21);

    CmbBoxTime = Make<QComboBox>(Client, "CmbBoxTime", 16, 270, 123, 21);
    CmbBoxTime->setToolTip("Recording Duration");
    for (int i = 0; i < record::ModeCount; ++i) {
        CmbBoxTime->addItem(record::ModeItemText(i));
    }
    CmbBoxTime->setCurrentIndex(0);
    // Only the user's choice counts as a change, not the index set from the settings.
    connect(CmbBoxTime, &QComboBox::activated, this, &TFormMain::CmbBoxTimeChange);

    // The silver label one pixel below and right of the navy one is its shadow.
    LabTime0 = MakeLabel(Client, "LabTime0", "00:00:00", 159, 269, Silver);
    LabTime0->setAutoFillBackground(true);
    LabTime = MakeLabel(Client, "LabTime", "00:00:00", 158, 268, Navy);
    for (QLabel* label : {LabTime0, LabTime}) {
        label->resize(label->width(), 19);
    }

    BtnRecord = Make<QPushButton>(Client, "BtnRecord", 244, 269, 59, 23);
    BtnRecord->setText("Record");
    connect(BtnRecord, &QPushButton::clicked, this, &TFormMain::BtnRecordClick);
    BtnStop = Make<QPushButton>(Client, "BtnStop", 316, 269, 59, 23);
    BtnStop->setText("Stop");
    connect(BtnStop, &QPushButton::clicked, this, &TFormMain::BtnStopClick);
    BtnEdit = Make<QPushButton>(Client, "BtnEdit", 388, 269, 59, 23);
    BtnEdit->setText("Edit");
    BtnEdit->setToolTip("Edit and save ");
    connect(BtnEdit, &QPushButton::clicked, this, &TFormMain::BtnEditClick);

    StatusBar1 = Make<QStatusBar>(Client, "StatusBar1", 0, 301, 464, 22);
    StatusBar1->setSizeGripEnabled(false);
    const int panelWidths[3] = {200, 130, 120};
    for (int i = 0, left = 0; i < 3; left += panelWidths[i], ++i) {
        auto* panel = new QLabel(StatusBar1);
        panel->setObjectName(QString("StatusPanel%1").arg(i));
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setGeometry(left, 2, panelWidths[i], 20);
        statusPanels_[i] = panel;
    }
    // Shown only while the take has dropouts; it takes the right end of the device panel.
    dropoutPanel_ = new QLabel(StatusBar1);
    dropoutPanel_->setObjectName("DropoutPanel");
    dropoutPanel_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    dropoutPanel_->setGeometry(panelWidths[0] - DropoutPanelWidth, 2, DropoutPanelWidth, 20);
    dropoutPanel_->setStyleSheet("color: rgb(192, 0, 0)");
    dropoutPanel_->hide();
    // A Save Now message takes the whole bar until the next one clears it; the panels hide
    // meanwhile.
    connect(StatusBar1, &QStatusBar::messageChanged, this, [this](const QString& message) {
        for (QLabel* panel : statusPanels_) {
            panel->setVisible(message.isEmpty());
        }
        dropoutPanel_->setVisible(message.isEmpty() && !dropoutPanel_->text().isEmpty());
    });

    LayoutGauges();
}

void TFormMain::BuildMenus() {
    menuFile = menuBar()->addMenu("File");
    menuFile->setObjectName("menuFile");
    connect(menuFile, &QMenu::aboutToShow, this, &TFormMain::menuFileClick);
    menuSaveNow = menuFile->addAction("Save Now", this, &TFormMain::menuSaveNowClick);
    menuSaveNow->setObjectName("menuSaveNow");
    menuSaveNow->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    menuSaveNow->setEnabled(false);
    menuSaveAs = menuFile->addAction("Save As...", this, &TFormMain::menuSaveAsClick);
    menuSaveAs->setObjectName("menuSaveAs");
    menuFolder = menuFile->addAction("Output Folder", this, &TFormMain::menuFolderClick);
    menuFolder->setObjectName("menuFolder");
    menuClose = menuFile->addAction("Exit", this, &TFormMain::menuCloseClick);
    menuClose->setObjectName("menuClose");

    menuOptions = menuBar()->addMenu("Options");
    menuOptions->setObjectName("menuOptions");
    menuSaveSettings =
        menuOptions->addAction("Save Settings...", this, &TFormMain::menuSaveSettingsClick);
    menuSaveSettings->setObjectName("menuSaveSettings");

    menuHelp = menuBar()->addMenu("Help");
    menuHelp->setObjectName("menuHelp");
    VelmarRecorderHelp =
        menuHelp->addAction("Help Contents", this, &TFormMain::VelmarRecorderHelpClick);
    VelmarRecorderHelp->setObjectName("VelmarRecorderHelp");
    menuAbout = menuHelp->addAction("About", this, &TFormMain::menuAboutClick);
    menuAbout->setObjectName("menuAbout");
}

void TFormMain::FormCreate() {
    // Minimize and restore arrive as window-state changes (changeEvent).
    for (int i = 0; i + 1 < gauges::LevelIconCount; ++i) { // the level icons 0..16
        LevelIcons[i] = QIcon(QPixmap::fromImage(gauges::LevelIconImage(i)));
    }
    LevelIcons[17] = app::ApplicationIcon(); // the same picture as the installed icon
    setWindowIcon(LevelIcons[17]);
    LayoutGauges(); // sizes the gauge bitmaps
    setWindowTitle(Caption);

    // Built whatever start-up found, before any event can paint: the device watch may open a
    // device later and must find its slots; without a work folder nothing is recorded.
    record::RecorderConfig config;
    if (startupError_.isEmpty()) {
        CmbBoxTime->setCurrentIndex(settings_.Values().RecordingModeIndex);
        config = {environment_.paths.RecordingFilePath.toStdString(), CmbBoxTime->currentIndex(),
                  environment_.paths.DropoutFilePath.toStdString()};
    }
    recorder_ = std::make_unique<record::Recorder>(recorderPorts_, *this, std::move(config));
    driver_ = std::make_unique<record::RecorderDriver>(*recorder_);
    connect(
        driver_.get(), &record::RecorderDriver::Told, this,
        [this](const QString& text, bool error) { error ? ShowError(text) : ShowMessage(text); });
    TimerRec = &driver_->RecordTimer();
    TimerStatus = &driver_->StatusTimer();
    // After the driver's own connection: a tick that stopped the recording disables Save Now.
    connect(TimerStatus, &QTimer::timeout, this, &TFormMain::UpdateSaveNow);
    saveNow_ = std::make_unique<exporting::SaveNow>(*recorder_, encoders_, fileSystem_);
    connect(saveNow_.get(), &exporting::SaveNow::Finished, this, &TFormMain::SaveNowFinished,
            Qt::QueuedConnection);
    if (!startupError_.isEmpty()) {
        // The program entry has said why; the window opens without work files, settings or
        // device.
        driver_->StartTimers();
        return;
    }
    events_.ProcessMessages();

    // Normally set by the first paint; a recording may start before the window is shown.
    Gauges.PixelsPerSecond =
        gauges::PixelsPerSecondFor(Gauges.geometry, recorder_->View().TimeScaleMinutes);
    ChartWave->Series1Colour = QColor(0, 0, 150);
    ChartWave->Series2Colour = QColor(180, 0, 0);
    driver_->Start();
}

void TFormMain::LayoutGauges() {
    gauges::LayoutGauges(Gauges, Client->width(), ImageTime->y(), ChartWave->y(),
                         ChartWave->height());
    const gauges::Geometry& g = Gauges.geometry;
    const QRect chart(g.chartLeft, g.chartTop, g.chartWidth, g.chartHeight);
    if (ChartWave->geometry() != chart) {
        ChartWave->setGeometry(chart);
    }
    const QRect time(g.time.left, g.time.top, Gauges.TimePicture.width(),
                     Gauges.TimePicture.height());
    if (ImageTime->geometry() != time) {
        ImageTime->setGeometry(time);
    }
}

void TFormMain::FormPaint(QPainter& painter, const QRegion& region) {
    LayoutGauges();
    const gauges::Geometry& g = Gauges.geometry;
    const QRect level(QPoint(g.level.left, g.level.top), Gauges.LevelBitmap.size());
    const QRect dc(QPoint(g.dc.left, g.dc.top), Gauges.DcBitmap.size());
    // A new reading repaints only a gauge's bitmap; laying out the scales' text again for it
    // would cost more than the rest of the tick.
    if (!(region - level - dc).isEmpty()) {
        gauges::DrawGaugeFrames(painter, g, region);
        Gauges.PixelsPerSecond =
            gauges::DrawTimeGauge(painter, g, recorder_->View().TimeScaleMinutes,
                                  record::ModeItemText(recorder_->View().ModeIndex), region);
    }
    // The gauge bitmaps as drawn last.
    painter.drawImage(level.topLeft(), Gauges.LevelBitmap);
    painter.drawImage(dc.topLeft(), Gauges.DcBitmap);
}

void TFormMain::FormShow() {
    DrawTimeBar();
}

void TFormMain::FormDestroy() {
    // A running save reads the recorder's write mark: it is stopped (no file) and waited for.
    saveNow_.reset();
    // The recorder tells this window what to draw: it goes first.
    driver_.reset();
    recorder_.reset();
}

bool TFormMain::FormCloseQuery() {
    if (SaveFlow::Exporting()) {
        return false; // the export reads the recording file that shutdown deletes
    }
    if (saveNow_ && saveNow_->Running()) {
        StatusBar1->showMessage("Save Now is still writing; close again when it has ended.", 10000);
        return false;
    }
    if (recorder_->View().Recording) {
        if (!dialogs_.Confirm("Are you sure you want to interrupt recording?")) {
            return false;
        }
        if (recorder_->View().Recording) {
            driver_->Run([this] { recorder_->CloseDevice(); }); // writes the full slots
            events_.ProcessMessages();
        }
    }
    driver_->Run([this] { recorder_->CloseDevice(); });
    settings_.SetRecordingModeIndex(CmbBoxTime->currentIndex());
    events_.ProcessMessages();
    recorder_->ReleaseTake();
    events_.ProcessMessages();
    try {
        setup::ShutDown(environment_, settings_);
    } catch (const base::UserError& error) {
        dialogs_.ShowError(QString::fromUtf8(error.what()));
    }
    return true;
}

void TFormMain::TimerRecTimer() {
    driver_->RecordTick();
}

void TFormMain::TimerStatusTimer() {
    driver_->StatusTick();
    UpdateSaveNow();
}

void TFormMain::BtnRecordClick() {
    if (!startupError_.isEmpty() && !recorder_->View().Recording) {
        dialogs_.ShowError(startupError_); // nowhere to put a recording
        return;
    }
    driver_->Run([this] { recorder_->StartRecording(); });
    UpdateSaveNow();
}

void TFormMain::BtnStopClick() {
    driver_->Run([this] { recorder_->StopRecording(); });
    UpdateSaveNow();
}

void TFormMain::BtnEditClick() {
    if (recorder_->View().Recording) {
        return;
    }
    // Without a take the editor still opens (on an empty sound), so a recording kept from a run
    // that crashed can be offered; without a work folder there is nothing to edit in.
    if (!startupError_.isEmpty()) {
        dialogs_.ShowError(startupError_);
        return;
    }
    driver_->Run([this] { recorder_->CloseDevice(); });
    // The device stays closed while the editor has the take: the device watch would otherwise
    // reopen it (and capture into the slots) if the input changed meanwhile.
    const bool ticking = driver_->Ticking();
    driver_->StopTimers();
    hide();
    ShowModal<TFormEdit>(output_, fileSystem_, events_, environment_, settings_, dialogs_,
                         launcher_, *recorder_);
    show();
    // The editor discarded the take: the chart and the time bar start empty again.
    ClearChart();
    driver_->Run([this] { recorder_->OpenDevice(); });
    if (ticking) {
        driver_->StartTimers();
    }
}

void TFormMain::ChBoxDCClick() {
    recorder_->SetDcReduction(ChBoxDC->isChecked());
}

void TFormMain::CmbBoxTimeChange() {
    recorder_->DecodeRecordingMode(CmbBoxTime->currentIndex());
    settings_.SetRecordingModeIndex(CmbBoxTime->currentIndex());
    DrawTimeGauge();
}

void TFormMain::BtnVolumeClick() {
    platform::OpenRecordingControl(launcher_);
}

void TFormMain::menuFileClick() {
    menuSaveAs->setEnabled(!recorder_->View().Recording && recorder_->View().FileBlocks > 1);
    UpdateSaveNow();
}

const setup::Settings& TFormMain::SettingsNow() const {
    return settings_.Values();
}

void TFormMain::UpdateSaveNow() {
    menuSaveNow->setEnabled(recorder_ && recorder_->View().Recording);
}

void TFormMain::menuSaveNowClick() {
    try {
        saveNow_->Start(settings_.Values());
    } catch (const base::UserError& error) {
        dialogs_.ShowError(QString::fromUtf8(error.what()));
    }
}

void TFormMain::SaveNowFinished(const QString& path, quint32 blocks, const QString& error) {
    if (!error.isEmpty()) {
        dialogs_.ShowError(error); // the recording goes on behind the box
        return;
    }
    StatusBar1->showMessage("Saved " + QFileInfo(path).fileName() + " (" +
                                exporting::SavedLengthText(blocks) + ")",
                            15000);
}

void TFormMain::menuSaveAsClick() {
    const record::State& r = recorder_->View();
    if (SaveFlow::Exporting() || r.Recording || r.FileBlocks < 2) {
        return;
    }
    SaveFlow::SaveRecordedTake(this, *recorder_, {dialogs_, settings_, events_});
}

void TFormMain::menuFolderClick() {
    platform::OpenInDesktop(launcher_, settings_.Values().OutputFolder);
}

void TFormMain::menuCloseClick() {
    close();
}

void TFormMain::menuSaveSettingsClick() {
    SaveFlow::ShowSaveSettings(settings_);
}

void TFormMain::VelmarRecorderHelpClick() {
    const QString guide = setup::HelpFilePath(environment_.ExecutablePath);
    if (guide.isEmpty()) {
        dialogs_.ShowMessage(setup::HelpMissingMessage(environment_.ExecutablePath));
        return;
    }
    platform::OpenInDesktop(launcher_, guide);
}

void TFormMain::menuAboutClick() {
    ShowModal<TFormAbout>();
}

void TFormMain::MeterUpdate() {
    const record::State& r = recorder_->View();
    const gauges::LevelLook level = gauges::LevelGaugeLook(
        Gauges.LevelScale,
        {r.BlockMaxL, r.BlockMaxR, r.BlockMeanL, r.BlockMeanR, r.ClipHoldL, r.ClipHoldR});
    const bool reduce = ChBoxDC->isChecked();
    const gauges::DcLook dc =
        gauges::DcGaugeLook(Gauges.DcBitmap.width(), Gauges.DcScale,
                            reduce ? r.ShownDcL : r.BlockMeanL, reduce ? r.ShownDcR : r.BlockMeanR);
    const gauges::Geometry& g = Gauges.geometry;
    const GaugesShown* shown = gaugesShown_ ? &*gaugesShown_ : nullptr;
    // Readings that come out as the same pixels repaint nothing.
    if (!shown || shown->level != level || shown->levelKey != Gauges.LevelBitmap.cacheKey()) {
        gauges::DrawLevelGauge(Gauges.LevelBitmap, level);
        Client->update(QRect(QPoint(g.level.left, g.level.top), Gauges.LevelBitmap.size()));
    }
    if (!shown || shown->dc != dc || shown->dcKey != Gauges.DcBitmap.cacheKey()) {
        gauges::DrawDcGauge(Gauges.DcBitmap, dc);
        Client->update(QRect(QPoint(g.dc.left, g.dc.top), Gauges.DcBitmap.size()));
    }
    gaugesShown_ =
        GaugesShown{level, dc, Gauges.LevelBitmap.cacheKey(), Gauges.DcBitmap.cacheKey()};
    if (r.Recording) {
        ChartWave->ShowHistory(Gauges.ChartColumns);
    }
}

void TFormMain::PushChartPoint() {
    const record::State& r = recorder_->View();
    gauges::PushChartPoint(Gauges, r.BlockMaxL, r.BlockMeanL, r.BlockMaxR, r.BlockMeanR);
}

void TFormMain::DrawTimeMark() {
    // A column stands for several blocks: only a newly marked one is repainted.
    const int x = gauges::DrawTimeMark(Gauges.TimePicture, recorder_->View().NewestBlock,
                                       Gauges.PixelsPerSecond);
    if (x >= 0 && x != timeMarkShown_) {
        timeMarkShown_ = x;
        ImageTime->update(QRect(x, 0, 1, Gauges.TimePicture.height()));
    }
}

void TFormMain::DrawTimeGauge() {
    // The scale is painted with the client area; the bar needs the new scale now.
    Gauges.PixelsPerSecond =
        gauges::PixelsPerSecondFor(Gauges.geometry, recorder_->View().TimeScaleMinutes);
    Client->update();
    DrawTimeBar();
}

void TFormMain::DrawTimeBar() {
    const record::State& r = recorder_->View();
    // The recorder asks for the whole bar on every status tick of a pass's last half; a bar
    // that comes out as it is shown repaints nothing.
    const QImage shown = Gauges.TimePicture.copy();
    gauges::DrawTimeBar(Gauges.TimePicture, r.NewestBlock, r.LoopWrapped, r.HalvesPerLoop,
                        Gauges.PixelsPerSecond);
    timeMarkShown_ = -1;
    if (Gauges.TimePicture != shown) {
        ImageTime->update();
    }
}

void TFormMain::RecordingStarted() {
    ClearChart();
}

void TFormMain::ClearChart() {
    gauges::ClearChartHistory(Gauges);
    ChartWave->ShowHistory(0);
    DrawTimeBar();
}

void TFormMain::ClearGauges() {
    gauges::FillBackground(Gauges.LevelBitmap);
    gauges::FillBackground(Gauges.DcBitmap);
    gaugesShown_.reset();
    const gauges::Geometry& g = Gauges.geometry;
    Client->update(QRect(QPoint(g.level.left, g.level.top), Gauges.LevelBitmap.size()));
    Client->update(QRect(QPoint(g.dc.left, g.dc.top), Gauges.DcBitmap.size()));
}

void TFormMain::DeviceNameChanged(const QString& name) {
    EditInDev->setText(name);
    StatusPanelText(0, name);
}

void TFormMain::TimeTextChanged(const QString& text) {
    LabTime0->setText(text);
    LabTime->setText(text);
}

void TFormMain::StatusPanelText(int panel, const QString& text) {
    if (panel >= 0 && panel < 3) {
        statusPanels_[panel]->setText(text);
    }
}

void TFormMain::DropoutsChanged() {
    if (!dropoutPanel_ || !recorder_) {
        return;
    }
    const size_t count = recorder_->View().Dropouts.size();
    dropoutPanel_->setText(count == 0 ? QString() : "Dropouts: " + QString::number(count));
    statusPanels_[0]->resize(count == 0 ? 200 : 200 - DropoutPanelWidth, 20);
    dropoutPanel_->setVisible(count > 0 && StatusBar1->currentMessage().isEmpty());
}

QString TFormMain::StatusPanel(int panel) const {
    return panel >= 0 && panel < 3 ? statusPanels_[panel]->text() : QString();
}

void TFormMain::ShowMessage(const QString& text) {
    dialogs_.ShowMessage(text);
}

void TFormMain::ShowError(const QString& text) {
    dialogs_.ShowError(text);
}

void TFormMain::LevelIcon(int index) {
    if (recorder_->View().Minimized && index >= 0 && index <= 16) {
        setWindowIcon(LevelIcons[index]);
    }
}

void TFormMain::Title(const QString& text) {
    if (recorder_->View().Minimized) {
        setWindowTitle(text);
    }
}

void TFormMain::Minimize() {
    recorder_->SetMinimized(true);
}

void TFormMain::Restore() {
    setWindowTitle(Caption);
    recorder_->SetMinimized(false);
    setWindowIcon(LevelIcons[17]);
}

void TFormMain::changeEvent(QEvent* event) {
    if (event->type() == QEvent::WindowStateChange) {
        if (isMinimized()) {
            Minimize();
        } else if (recorder_->View().Minimized) {
            Restore();
        }
    }
    QMainWindow::changeEvent(event);
}

void TFormMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!shown_) {
        shown_ = true;
        gauges::CentreOnScreen(*this);
    }
    FormShow();
}

void TFormMain::closeEvent(QCloseEvent* event) {
    if (!shutDown_ && !FormCloseQuery()) {
        event->ignore();
        return;
    }
    shutDown_ = true;
    event->accept();
    QCoreApplication::quit(); // the message loop runs until the main window closes
}

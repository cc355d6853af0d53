// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/form_edit.h"

#include "about/form_about.h"
#include "base/errors.h"
#include "base/event_pump.h"
#include "editor/selection.h"
#include "editor/view_state.h"
#include "editor/wave_widget.h"
#include "export/ui/save_flow_ui.h"
#include "gauges/window_font.h"
#include "gauges/window_parts.h"
#include "operations/command_input.h"
#include "operations/editor.h"
#include "operations/selection.h"
#include "operations/sound_source.h"
#include "platform/dialogs.h"
#include "platform/shell.h"
#include "playback/playback.h"
#include "record/pipeline.h"
#include "recovery/found_recording.h"
#include "recovery/ui/form_info.h"
#include "setup/help_file.h"
#include "setup/settings.h"
#include "setup/startup.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPainterPath>
#include <QProgressBar>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSlider>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>
#include <functional>
#include <optional>

namespace {

using gauges::ShowModal;

// The sound the window's player reads: the opened editor's, none between two openings.
class OpenedSound final : public operations::SoundSource {
  public:
    explicit OpenedSound(const std::unique_ptr<operations::Editor>& editor) : editor_(editor) {}
    uint32_t Blocks() const override { return editor_ ? editor_->Blocks() : 0; }
    size_t ReadPosition(uint32_t position, void* buf) const override {
        return editor_ ? editor_->ReadPosition(position, buf) : 0;
    }
    operations::PositionsRead ReadPositions(uint32_t position, uint32_t count,
                                            void* buf) const override {
        return editor_ ? editor_->ReadPositions(position, count, buf) : operations::PositionsRead{};
    }
    operations::PositionsPlace PlacePositions(uint32_t position, uint32_t count) const override {
        return editor_ ? editor_->PlacePositions(position, count) : operations::PositionsPlace{};
    }
    std::optional<base::BlockPeaks> Peaks(uint32_t position) const override {
        return editor_ ? editor_->Peaks(position) : std::nullopt;
    }

  private:
    const std::unique_ptr<operations::Editor>& editor_;
};

const QColor FormColour(224, 224, 224);
const char* const Caption = "Velmar Recorder";
constexpr int ButtonWidth = 24;
constexpr int ButtonHeight = 22;
constexpr int StatusPanelWidth = 150;
constexpr int ScaleBarMargin = 20; // CoolBarScale's distance from the right edge

// Tool-bar pictures drawn in code, 16 x 16, for the commands the style has no icon for.
enum class Glyph {
    Cut,
    Copy,
    Paste,
    FadeIn,
    FadeOut,
    Amplify,
    Normalize,
    Silence,
    ZoomIn,
    ZoomOut
};

QIcon DrawGlyph(Glyph glyph) {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor ink(0, 0, 100);
    const QColor wave(0, 0, 255);
    p.setPen(QPen(ink, 1.4));
    switch (glyph) {
    case Glyph::Cut:
        p.drawEllipse(QRectF(2, 10, 4, 4));
        p.drawEllipse(QRectF(10, 10, 4, 4));
        p.drawLine(QPointF(5.5, 10.5), QPointF(11, 2));
        p.drawLine(QPointF(10.5, 10.5), QPointF(5, 2));
        break;
    case Glyph::Copy:
        p.setBrush(Qt::white);
        p.drawRect(QRectF(2.5, 2.5, 7, 9));
        p.drawRect(QRectF(6.5, 5.5, 7, 9));
        break;
    case Glyph::Paste:
        p.setBrush(QColor(200, 170, 110));
        p.drawRect(QRectF(2.5, 3.5, 9, 11));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(7.5, 6.5, 6, 8));
        p.drawRect(QRectF(5, 2, 4, 3));
        break;
    case Glyph::FadeIn:
    case Glyph::FadeOut: {
        // A sine under a rising or falling envelope.
        QPainterPath path;
        for (int x = 1; x <= 15; ++x) {
            const double envelope = glyph == Glyph::FadeIn ? (x - 1) / 14.0 : (15 - x) / 14.0;
            const double y = 8 - 6.5 * envelope * std::sin(x * 1.6);
            x == 1 ? path.moveTo(x, y) : path.lineTo(x, y);
        }
        p.setPen(QPen(wave, 1.2));
        p.drawPath(path);
        break;
    }
    case Glyph::Amplify:
        p.drawLine(QPointF(4, 1.5), QPointF(4, 7.5));
        p.drawLine(QPointF(1, 4.5), QPointF(7, 4.5));
        p.drawLine(QPointF(9, 11.5), QPointF(15, 11.5));
        p.drawLine(QPointF(13, 1), QPointF(3, 15));
        break;
    case Glyph::Normalize:
        p.setPen(QPen(wave, 1.2));
        for (int x = 2; x <= 14; x += 2) {
            p.drawLine(QPointF(x, 2.5), QPointF(x, 13.5));
        }
        p.setPen(QPen(Qt::red, 1));
        p.drawLine(QPointF(0.5, 1.5), QPointF(15.5, 1.5));
        p.drawLine(QPointF(0.5, 14.5), QPointF(15.5, 14.5));
        break;
    case Glyph::Silence:
        p.setPen(QPen(wave, 1.2));
        p.drawLine(QPointF(1, 8), QPointF(4, 3));
        p.drawLine(QPointF(4, 3), QPointF(5, 13));
        p.drawLine(QPointF(5, 13), QPointF(6, 8));
        p.drawLine(QPointF(6, 8), QPointF(15, 8));
        p.setPen(QPen(ink, 1));
        p.drawLine(QPointF(7.5, 4), QPointF(7.5, 12));
        p.drawLine(QPointF(14.5, 4), QPointF(14.5, 12));
        break;
    case Glyph::ZoomIn:
    case Glyph::ZoomOut:
        p.drawEllipse(QRectF(1.5, 1.5, 9, 9));
        p.setPen(QPen(ink, 2.2));
        p.drawLine(QPointF(9.5, 9.5), QPointF(14.5, 14.5));
        p.setPen(QPen(ink, 1.4));
        p.drawLine(QPointF(3.5, 6), QPointF(8.5, 6));
        if (glyph == Glyph::ZoomIn) {
            p.drawLine(QPointF(6, 3.5), QPointF(6, 8.5));
        }
        break;
    }
    return QIcon(pixmap);
}

// The picture under the volume slider: a wedge that widens toward full volume.
QPixmap VolumeBackground() {
    QPixmap pixmap(142, 28);
    pixmap.fill(FormColour);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient gradient(8, 0, 134, 0);
    gradient.setColorAt(0, QColor(170, 200, 170));
    gradient.setColorAt(0.7, QColor(230, 210, 90));
    gradient.setColorAt(1, QColor(220, 90, 60));
    p.setPen(Qt::NoPen);
    p.setBrush(gradient);
    p.drawPolygon(QPolygonF({QPointF(8, 23), QPointF(134, 23), QPointF(134, 15)}));
    return pixmap;
}

QFrame* MakeBar(QWidget* parent, const char* name) {
    auto* bar = new QFrame(parent);
    bar->setObjectName(name);
    bar->setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(2, 2, 2, 2);
    row->setSpacing(0);
    return bar;
}

QToolButton* AddButton(QFrame* bar, const char* name, const char* hint, const QIcon& icon) {
    auto* button = new QToolButton(bar);
    button->setObjectName(name);
    button->setToolTip(hint);
    button->setIcon(icon);
    button->setIconSize(QSize(16, 16));
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setFixedSize(ButtonWidth, ButtonHeight);
    bar->layout()->addWidget(button);
    bar->setFixedSize(bar->sizeHint());
    return button;
}

} // namespace

// A command handler on the stack. While one is, Refused() holds; a close asked for meanwhile is
// carried out once the outermost one has ended.
class TFormEdit::CommandSpan {
  public:
    explicit CommandSpan(TFormEdit& form) : form_(form) { ++form_.commandDepth_; }
    ~CommandSpan() {
        if (--form_.commandDepth_ == 0 && form_.closeRequested_) {
            form_.closeRequested_ = false;
            QTimer::singleShot(0, &form_, &TFormEdit::reject);
        }
    }
    CommandSpan(const CommandSpan&) = delete;
    CommandSpan& operator=(const CommandSpan&) = delete;

  private:
    TFormEdit& form_;
};

// The progress bar shown for an operation and hidden again however the operation ends.
class TFormEdit::ProgressShown {
  public:
    explicit ProgressShown(TFormEdit& form) : bar_(form.ProgressBar) {
        bar_->setValue(0);
        bar_->show();
    }
    ~ProgressShown() { bar_->hide(); }
    ProgressShown(const ProgressShown&) = delete;
    ProgressShown& operator=(const ProgressShown&) = delete;

  private:
    QProgressBar* bar_;
};

TFormEdit::TFormEdit(playback::OutputDevice& output, const base::FileSystem& fileSystem,
                     base::EventPump& events, const setup::Environment& environment,
                     setup::SettingsStore& settings, platform::Dialogs& dialogs,
                     platform::Launcher& launcher, record::Recorder& recorder, QWidget* parent)
    : QDialog(parent), recorder_(recorder), fileSystem_(fileSystem), pump_(events),
      sound_(std::make_unique<OpenedSound>(editor_)),
      player_(std::make_unique<playback::Player>(output, *sound_, pump_)), take_(recorder),
      recovery_(take_, fileSystem, events,
                {environment.paths.RecoveryFilePath.toStdString(),
                 environment.paths.PeakFilePath.toStdString(),
                 setup::DropoutFileOf(environment.paths.RecoveryFilePath).toStdString()}),
      environment_(environment), settings_(settings), dialogs_(dialogs), launcher_(launcher) {
    setObjectName("FormEdit");
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint |
                   Qt::WindowStaysOnTopHint);
    setModal(true);
    setFont(gauges::WindowFont());
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, FormColour);
    setPalette(palette);
    setAutoFillBackground(true);
    BuildMenus();
    BuildControls();
    setMinimumSize(700, 450);
    resize(872, 575);
    info_ = std::make_unique<TFormInfo>(recovery_, dialogs_);
    FormCreate();
}

TFormEdit::~TFormEdit() = default;

void TFormEdit::BuildMenus() {
    Menu2 = new QMenuBar(this);
    Menu2->setObjectName("Menu2");
    struct Item {
        QAction** action;
        const char* name;
        const char* caption;
        QKeySequence shortcut;
        void (TFormEdit::*handler)();
        bool separatorAfter;
    };
    auto addMenu = [this](const char* name, const char* caption,
                          std::initializer_list<Item> items) {
        QMenu* menu = Menu2->addMenu(caption);
        menu->setObjectName(name);
        for (const Item& item : items) {
            QAction* action = menu->addAction(item.caption, this, item.handler);
            action->setObjectName(item.name);
            action->setShortcut(item.shortcut);
            *item.action = action;
            if (item.separatorAfter) {
                menu->addSeparator();
            }
        }
        return menu;
    };
    using T = TFormEdit;
    // The first menu's caption ends with a blank, as the window has always shown it.
    menuFile =
        addMenu("menuFile", "File ",
                {{&menuSaveAll, "menuSaveAll", "Save All As...", {}, &T::menuSaveAllClick, false},
                 {&menuSaveSelection,
                  "menuSaveSelection",
                  "Save Selection As...",
                  {},
                  &T::menuSaveSelectionClick,
                  true},
                 {&menuSaveSettings,
                  "menuSaveSettings",
                  "Save Settings...",
                  {},
                  &T::menuSaveSettingsClick,
                  false},
                 {&menuFolder, "menuFolder", "Output Folder", {}, &T::menuFolderClick, true},
                 {&menuExit, "menuExit", "Exit", {}, &T::menuExitClick, false}});
    menuEdit = addMenu(
        "menuEdit", "Edit",
        {{&menuUndo, "menuUndo", "Undo", QKeySequence("Ctrl+Z"), &T::menuUndoClick, false},
         {&menuRedo, "menuRedo", "Redo", QKeySequence("Ctrl+Y"), &T::menuRedoClick, true},
         {&menuCut, "menuCut", "Cut", QKeySequence("Ctrl+X"), &T::menuCutClick, false},
         {&menuCopy, "menuCopy", "Copy", QKeySequence("Ctrl+C"), &T::menuCopyClick, false},
         {&menuPaste, "menuPaste", "Paste", QKeySequence("Ctrl+V"), &T::menuPasteClick, false},
         {&menuDelete, "menuDelete", "Delete", QKeySequence("Del"), &T::menuDeleteClick, true},
         {&menuSelectAll, "menuSelectAll", "Select All", QKeySequence("Ctrl+A"),
          &T::menuSelectAllClick, false}});
    menuEffects = addMenu(
        "menuEffects", "Effects",
        {{&menuFadeIn, "menuFadeIn", "Fade In", {}, &T::menuFadeInClick, false},
         {&menuFadeOut, "menuFadeOut", "Fade Out", {}, &T::menuFadeOutClick, true},
         {&menuAmplify, "menuAmplify", "Amplify +/- ...", {}, &T::menuAmplifyClick, false},
         {&menuNormalize, "menuNormalize", "Normalize", {}, &T::menuNormalizeClick, true},
         {&menuSilence, "menuSilence", "Insert Silence...", {}, &T::menuSilenceClick, false}});
    menuHelp = addMenu(
        "menuHelp", "Help",
        {{&menuVelmarHelp, "menuVelmarHelp", "Help Contents", {}, &T::menuVelmarHelpClick, false},
         {&menuAbout, "menuAbout", "About", {}, &T::menuAboutClick, false}});
}

void TFormEdit::BuildControls() {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->setMenuBar(Menu2);

    QStyle* s = style();
    auto* top = new QHBoxLayout;
    top->setContentsMargins(0, 0, 0, 0);
    top->setSpacing(2);
    CoolBarFile = MakeBar(this, "CoolBarFile");
    SBtnSaveAll = AddButton(CoolBarFile, "SBtnSaveAll", "Save All As",
                            s->standardIcon(QStyle::SP_DialogSaveButton));
    SBtnSaveSel = AddButton(CoolBarFile, "SBtnSaveSel", "Save Selection As",
                            s->standardIcon(QStyle::SP_DriveFDIcon));
    SBtnSettings = AddButton(CoolBarFile, "SBtnSettings", "Save Settings",
                             s->standardIcon(QStyle::SP_FileDialogDetailedView));
    SBtnFolder = AddButton(CoolBarFile, "SBtnFolder", "Output Folder",
                           s->standardIcon(QStyle::SP_DirOpenIcon));
    CoolBarEdit = MakeBar(this, "CoolBarEdit");
    SBtnUndo = AddButton(CoolBarEdit, "SBtnUndo", "Undo", s->standardIcon(QStyle::SP_ArrowBack));
    SBtnRedo = AddButton(CoolBarEdit, "SBtnRedo", "Redo", s->standardIcon(QStyle::SP_ArrowForward));
    SBtnCut = AddButton(CoolBarEdit, "SBtnCut", "Cut", DrawGlyph(Glyph::Cut));
    SBtnCopy = AddButton(CoolBarEdit, "SBtnCopy", "Copy", DrawGlyph(Glyph::Copy));
    SBtnPaste = AddButton(CoolBarEdit, "SBtnPaste", "Paste", DrawGlyph(Glyph::Paste));
    SBtnDelete =
        AddButton(CoolBarEdit, "SBtnDelete", "Delete", s->standardIcon(QStyle::SP_TrashIcon));
    CoolBar1 = MakeBar(this, "CoolBar1");
    SBtnFadeIn = AddButton(CoolBar1, "SBtnFadeIn", "Fade In", DrawGlyph(Glyph::FadeIn));
    SBtnFadeOut = AddButton(CoolBar1, "SBtnFadeOut", "Fade Out", DrawGlyph(Glyph::FadeOut));
    SBtnAmplify = AddButton(CoolBar1, "SBtnAmplify", "Amplify +/-", DrawGlyph(Glyph::Amplify));
    SBtnNormalize = AddButton(CoolBar1, "SBtnNormalize", "Normalize", DrawGlyph(Glyph::Normalize));
    SBtnSilence = AddButton(CoolBar1, "SBtnSilence", "Insert Silence", DrawGlyph(Glyph::Silence));
    for (QFrame* bar : {CoolBarFile, CoolBarEdit, CoolBar1}) {
        top->addWidget(bar);
    }
    top->addStretch(1);
    column->addLayout(top);

    // Every button calls the handler of its menu item.
    const std::pair<QToolButton*, QAction*> twins[] = {{SBtnSaveAll, menuSaveAll},
                                                       {SBtnSaveSel, menuSaveSelection},
                                                       {SBtnSettings, menuSaveSettings},
                                                       {SBtnFolder, menuFolder},
                                                       {SBtnUndo, menuUndo},
                                                       {SBtnRedo, menuRedo},
                                                       {SBtnCut, menuCut},
                                                       {SBtnCopy, menuCopy},
                                                       {SBtnPaste, menuPaste},
                                                       {SBtnDelete, menuDelete},
                                                       {SBtnFadeIn, menuFadeIn},
                                                       {SBtnFadeOut, menuFadeOut},
                                                       {SBtnAmplify, menuAmplify},
                                                       {SBtnNormalize, menuNormalize},
                                                       {SBtnSilence, menuSilence}};
    for (const auto& [button, action] : twins) {
        connect(button, &QToolButton::clicked, action, &QAction::trigger);
    }

    // Under the tool bars, so the view keeps no tool-bar band of its own at its top.
    Wave = new editor::WaveWidget(this);
    Wave->setObjectName("Wave");
    Wave->installEventFilter(this);
    Wave->SetPlaybackFacts([this] {
        const playback::Player& p = *player_;
        return editor::PlaybackFacts{p.Playing(), p.PlayAllMode(), p.PlayBlock()};
    });
    Wave->SetDropouts([this] { return recorder_.View().Dropouts; });
    connect(Wave, &editor::WaveWidget::Action, this, &TFormEdit::WaveMouseAction);
    column->addWidget(Wave, 1);

    PanelSBar = new QWidget(this);
    PanelSBar->setObjectName("PanelSBar");
    PanelSBar->setFixedHeight(19);
    SBar = new QScrollBar(Qt::Horizontal, PanelSBar);
    SBar->setObjectName("SBar");
    SBar->setRange(0, 10000);
    connect(SBar, &QScrollBar::actionTriggered, this, &TFormEdit::SBarPageStep);
    column->addWidget(PanelSBar);

    PanelControl = new QWidget(this);
    PanelControl->setObjectName("PanelControl");
    PanelControl->setFixedHeight(31);
    CoolBarPlay = MakeBar(PanelControl, "CoolBarPlay");
    SBtnPlayAll =
        AddButton(CoolBarPlay, "SBtnPlayAll", "Play All", s->standardIcon(QStyle::SP_MediaPlay));
    SBtnPlaySelection = AddButton(CoolBarPlay, "SBtnPlaySelection", "Play Selection",
                                  s->standardIcon(QStyle::SP_MediaSeekForward));
    SBtnStop = AddButton(CoolBarPlay, "SBtnStop", "Stop", s->standardIcon(QStyle::SP_MediaStop));
    CoolBarPlay->move(4, (31 - CoolBarPlay->height()) / 2);
    connect(SBtnPlayAll, &QToolButton::clicked, this, &TFormEdit::SBtnPlayAllClick);
    connect(SBtnPlaySelection, &QToolButton::clicked, this, &TFormEdit::SBtnPlaySelectionClick);
    connect(SBtnStop, &QToolButton::clicked, this, &TFormEdit::SBtnStopClick);

    ImageVolumeBackground = new QLabel(PanelControl);
    ImageVolumeBackground->setObjectName("ImageVolumeBackground");
    ImageVolumeBackground->setPixmap(VolumeBackground());
    ImageVolumeBackground->setGeometry(CoolBarPlay->geometry().right() + 12, 2, 142, 28);
    TrackBarVolume = new QSlider(Qt::Horizontal, ImageVolumeBackground);
    TrackBarVolume->setObjectName("TrackBarVolume");
    TrackBarVolume->setToolTip("Playback Volume");
    TrackBarVolume->setRange(0, 65535);
    TrackBarVolume->setTickPosition(QSlider::NoTicks);
    TrackBarVolume->setFocusPolicy(Qt::NoFocus);
    TrackBarVolume->setAttribute(Qt::WA_TranslucentBackground);
    TrackBarVolume->setGeometry(0, 0, 142, 20);
    connect(TrackBarVolume, &QSlider::valueChanged, this, &TFormEdit::TrackBarVolume_Change);

    CoolBarScale = MakeBar(PanelControl, "CoolBarScale");
    SBtnInc = AddButton(CoolBarScale, "SBtnInc", "Zoom In", DrawGlyph(Glyph::ZoomIn));
    SBtnDec = AddButton(CoolBarScale, "SBtnDec", "Zoom Out", DrawGlyph(Glyph::ZoomOut));
    connect(SBtnInc, &QToolButton::clicked, this, &TFormEdit::SBtnIncClick);
    connect(SBtnDec, &QToolButton::clicked, this, &TFormEdit::SBtnDecClick);
    column->addWidget(PanelControl);

    StBar = new QStatusBar(this);
    StBar->setObjectName("StBar");
    StBar->setSizeGripEnabled(false);
    StBar->setFixedHeight(27);
    for (int i = 0; i < 4; ++i) {
        auto* panel = new QLabel(StBar);
        panel->setObjectName(QString("StatusPanel%1").arg(i));
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setGeometry(i * StatusPanelWidth, 2, StatusPanelWidth, 23);
        statusPanels_[size_t(i)] = panel;
    }
    column->addWidget(StBar);

    TimerPlay = new QTimer(this);
    TimerPlay->setObjectName("TimerPlay");
    TimerPlay->setInterval(100);
    connect(TimerPlay, &QTimer::timeout, this, &TFormEdit::TimerPlayTimer);
}

void TFormEdit::FormCreate() {
    setWindowTitle(Caption);
    ProgressBar = new QProgressBar(StBar);
    ProgressBar->setObjectName("ProgressBar");
    ProgressBar->setRange(0, 100);
    ProgressBar->setValue(0);
    ProgressBar->setTextVisible(false);
    ProgressBar->hide();
    PlaceProgressBar();
    // Runs from now on, also while the window is hidden.
    TimerPlay->start();
}

void TFormEdit::FormShow() {
    historyNoteShown_ = false;
    closeRequested_ = false;
    PlaceProgressBar();
    // A take kept from an earlier run may be loaded in place of the current one.
    info_->Offer();
    try {
        editor_ = std::make_unique<operations::Editor>(
            operations::TakeOf(recorder_),
            operations::WorkPaths{environment_.paths.EditFilePath.toStdString(),
                                  environment_.paths.ClipFilePath.toStdString()},
            fileSystem_, pump_);
    } catch (const base::UserError& error) {
        // Without its work files nothing can be edited: the window closes and leaves the take
        // to the main window, whose Save As can still keep it.
        ShowUserError(error);
        QTimer::singleShot(0, this, &TFormEdit::reject);
        return;
    }
    Wave->ResetForOpening(*editor_);
    UpdateScrollBar();
    UpdateSelectionStatus();
    try {
        player_->Open();
    } catch (const base::UserError& error) {
        ShowUserError(error); // the editor goes on without sound
    }
    {
        const QSignalBlocker quiet(TrackBarVolume);
        TrackBarVolume->setValue(player_->Volume());
    }
}

void TFormEdit::FormResize() {
    SBar->setGeometry(20, 1, width() - 40, 17);
    CoolBarScale->move(PanelSBar->width() - CoolBarScale->width() - ScaleBarMargin,
                       (PanelControl->height() - CoolBarScale->height()) / 2);
    PlaceProgressBar();
    Wave->LayoutAndRedraw();
    UpdateScrollBar();
}

void TFormEdit::UpdateScrollBar() {
    const editor::ScrollBarSettings bar = editor::UpdateScrollBar(Wave->View(), sound_->Blocks());
    const QSignalBlocker quiet(SBar);
    SBar->setRange(0, bar.Maximum);
    SBar->setPageStep(bar.PageSize);
    SBar->setSingleStep(bar.SmallChange);
    SBar->setValue(bar.Position);
    // Set from the view, not moved by the user: nothing for the timer to scroll to.
    LastBarPosition = SBar->value();
}

void TFormEdit::SBarPageStep(int action) {
    if (action != QAbstractSlider::SliderPageStepAdd &&
        action != QAbstractSlider::SliderPageStepSub) {
        return;
    }
    // The bar has moved by its page step, which Qt also uses as the thumb's length; the value is
    // not taken yet, so the large change can replace that move.
    const int step = editor::UpdateScrollBar(Wave->View(), sound_->Blocks()).LargeChange;
    SBar->setSliderPosition(SBar->value() +
                            (action == QAbstractSlider::SliderPageStepAdd ? step : -step));
}

void TFormEdit::UpdateSelectionStatus() {
    // Called on every tick: the texts are worked out again only when the selection moved.
    const operations::Selection selection =
        editor_ ? editor_->CurrentSelection() : operations::Selection{};
    if (statusShown_ == selection) {
        return;
    }
    statusShown_ = selection;
    const std::array<QString, 3> texts = editor::UpdateSelectionStatus(selection);
    for (size_t i = 0; i < texts.size(); ++i) {
        statusPanels_[i]->setText(texts[i]);
    }
}

void TFormEdit::PlaceProgressBar() {
    const int left = 3 * StatusPanelWidth;
    ProgressBar->setGeometry(left, 4, StBar->width() - left - 2, StBar->height() - 6);
}

void TFormEdit::FormClose() {
    // Playback first: no buffer may still be read from the files released below.
    player_->Close();
    Wave->Close();
    // Its work files go with it. Without an editor the opening failed and the take stays.
    const bool opened = editor_ != nullptr;
    editor_.reset();
    pump_.ProcessMessages();
    // A recovered take is let go, and the work folder's recording file is the recording file
    // again, created empty.
    try {
        recovery_.EndRecovery();
    } catch (const base::UserError& error) {
        ShowUserError(error);
    }
    if (!opened) {
        return;
    }
    try {
        recorder_.DiscardRecording();
    } catch (const base::UserError& error) {
        ShowUserError(error);
    }
}

void TFormEdit::TimerPlayTimer() {
    if (Busy()) {
        ProgressBar->setValue(int(std::nearbyint(editor_->ProgressPercent())));
        return; // nothing else may act in the middle of an operation
    }
    player_->Tick();
    UpdateSelectionStatus();
    if (!TrackBarVolume->isSliderDown()) {
        // Follows the output's volume, 0 while it is closed.
        const QSignalBlocker quiet(TrackBarVolume);
        TrackBarVolume->setValue(player_->Volume());
    }
    if (SBar->value() != LastBarPosition) {
        LastBarPosition = SBar->value();
        Wave->ScrollToBar(LastBarPosition);
    }
    Wave->ShowPlayPosition(player_->Playing(), player_->PlayBlock());
}

bool TFormEdit::Busy() const {
    return editor_ && editor_->Running();
}

bool TFormEdit::Refused() const {
    return Busy() || commandDepth_ > 0;
}

void TFormEdit::ShowUserError(const std::exception& error) {
    dialogs_.ShowError(QString::fromUtf8(error.what()));
}

void TFormEdit::ShowHistoryNote() {
    // Once per session: every command past the fiftieth drops a level, and saying so each
    // time would only be noise.
    if (editor_->TakeHistoryTrimmed() && !historyNoteShown_) {
        historyNoteShown_ = true;
        dialogs_.ShowMessage(operations::HistoryTrimmedText);
    }
}

template <typename Operation>
void TFormEdit::EditingCommand(bool withProgress, Operation operation) {
    if (Refused() || !editor_) {
        return;
    }
    CommandSpan span(*this);
    player_->StopForEdit();
    RunOperation(withProgress, operation);
}

template <typename Operation> void TFormEdit::RunOperation(bool withProgress, Operation operation) {
    {
        std::optional<ProgressShown> progress;
        if (withProgress) {
            progress.emplace(*this);
        }
        try {
            operation();
        } catch (const base::UserError& error) {
            ShowUserError(error);
        }
    }
    ShowHistoryNote();
    FormResize();
}

void TFormEdit::menuUndoClick() {
    EditingCommand(false, [this] { editor_->Undo(); });
}

void TFormEdit::menuRedoClick() {
    EditingCommand(false, [this] { editor_->Redo(); });
}

void TFormEdit::menuCutClick() {
    EditingCommand(true, [this] { editor_->Cut(); });
}

void TFormEdit::menuCopyClick() {
    EditingCommand(true, [this] { editor_->Copy(); });
}

void TFormEdit::menuPasteClick() {
    EditingCommand(true, [this] { editor_->Paste(); });
}

void TFormEdit::menuDeleteClick() {
    EditingCommand(false, [this] { editor_->Delete(); });
}

void TFormEdit::menuFadeInClick() {
    EditingCommand(true, [this] { editor_->FadeIn(); });
}

void TFormEdit::menuFadeOutClick() {
    EditingCommand(true, [this] { editor_->FadeOut(); });
}

void TFormEdit::menuNormalizeClick() {
    EditingCommand(true, [this] { editor_->Normalize(); });
}

void TFormEdit::menuAmplifyClick() {
    // The box is asked with the progress bar already shown; 100 runs nothing but still redraws.
    EditingCommand(true, [this] {
        const QString answer = dialogs_.InputBox(
            operations::AmplifyCaption, operations::AmplifyPrompt(editor_->ClippingLevel()),
            operations::AmplifyDefault);
        editor_->Amplify(operations::ParseAmplifyPercent(answer));
    });
}

void TFormEdit::menuSilenceClick() {
    if (Refused() || !editor_) {
        return;
    }
    CommandSpan span(*this);
    // Stopped before the question, so an answer that is refused has stopped it too.
    player_->StopForEdit();
    int32_t blocks = 0;
    try {
        blocks = operations::ParseSilenceBlocks(dialogs_.InputBox(
            operations::SilenceCaption, operations::SilencePrompt, operations::SilenceDefault));
    } catch (const base::UserError& error) {
        ShowUserError(error);
        return;
    }
    if (blocks == 0) {
        return; // no silence, no redraw
    }
    RunOperation(true, [this, blocks] { editor_->InsertSilence(blocks); });
}

void TFormEdit::menuSelectAllClick() {
    if (Refused()) {
        return;
    }
    Wave->SelectAll();
}

void TFormEdit::menuSaveAllClick() {
    if (Refused() || !editor_) {
        return;
    }
    CommandSpan span(*this);
    player_->StopForEdit();
    SaveFlow::Run(this, *editor_, false, {dialogs_, settings_, pump_});
    Wave->Redraw();
}

void TFormEdit::menuSaveSelectionClick() {
    if (Refused() || !editor_) {
        return;
    }
    CommandSpan span(*this);
    player_->StopForEdit();
    SaveFlow::Run(this, *editor_, true, {dialogs_, settings_, pump_});
    Wave->Redraw();
}

void TFormEdit::menuSaveSettingsClick() {
    if (Refused()) {
        return;
    }
    CommandSpan span(*this);
    SaveFlow::ShowSaveSettings(settings_);
}

void TFormEdit::menuFolderClick() {
    if (Refused()) {
        return;
    }
    platform::OpenInDesktop(launcher_, settings_.Values().OutputFolder);
}

void TFormEdit::menuExitClick() {
    close();
}

void TFormEdit::menuVelmarHelpClick() {
    if (Refused()) {
        return;
    }
    const QString guide = setup::HelpFilePath(environment_.ExecutablePath);
    if (guide.isEmpty()) {
        dialogs_.ShowMessage(setup::HelpMissingMessage(environment_.ExecutablePath));
        return;
    }
    platform::OpenInDesktop(launcher_, guide);
}

void TFormEdit::menuAboutClick() {
    if (Refused()) {
        return;
    }
    ShowModal<TFormAbout>();
}

void TFormEdit::SBtnPlayAllClick() {
    if (Refused()) {
        return;
    }
    player_->PlayAll(1);
}

void TFormEdit::SBtnPlaySelectionClick() {
    if (Refused() || !editor_) {
        return;
    }
    const operations::Selection selection = editor_->CurrentSelection();
    player_->PlaySelection(selection.CursorBlock, selection);
}

void TFormEdit::SBtnStopClick() {
    if (Refused()) {
        return;
    }
    player_->Stop();
}

void TFormEdit::TrackBarVolume_Change() {
    player_->SetVolume(uint16_t(TrackBarVolume->value()));
}

void TFormEdit::SBtnIncClick() {
    if (Refused()) {
        return;
    }
    if (Wave->ZoomIn()) {
        UpdateScrollBar();
    }
}

void TFormEdit::SBtnDecClick() {
    if (Refused()) {
        return;
    }
    if (Wave->ZoomOut()) {
        UpdateScrollBar();
    }
}

void TFormEdit::WaveMouseAction(const editor::MouseAction& action) {
    if (action.PlayFrom && action.PlayAll) {
        player_->PlayAll(*action.PlayFrom);
    } else if (action.PlayFrom && action.PlaySelection) {
        player_->PlaySelection(*action.PlayFrom, action.selection);
    }
    if (action.UpdateStatus) {
        UpdateSelectionStatus();
    }
}

bool TFormEdit::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Wave && Refused()) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
            return true;
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TFormEdit::done(int result) {
    if (Refused()) {
        closeRequested_ = true; // carried out when the command ends
        return;
    }
    if (isVisible()) {
        FormClose();
    }
    QDialog::done(result);
}

void TFormEdit::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous()) {
        return; // restored from the task bar, not opened
    }
    if (!centred_) {
        centred_ = true;
        gauges::CentreOnScreen(*this);
    }
    FormShow();
}

void TFormEdit::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    FormResize();
}

void TFormEdit::keyPressEvent(QKeyEvent* event) {
    // Escape would close a dialog; this window closes only through Exit and its close box.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

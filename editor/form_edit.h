// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "operations/selection.h"
#include "recovery/found_recording.h"
#include "recovery/take_holder.h"

#include <QDialog>

#include <array>
#include <memory>
#include <optional>

class QAction;
class QFrame;
class QLabel;
class QMenu;
class QMenuBar;
class QProgressBar;
class QScrollBar;
class QSlider;
class QStatusBar;
class QTimer;
class QToolButton;
class TFormInfo;

namespace base {
class EventPump;
}
namespace editor {
class WaveWidget;
struct MouseAction;
} // namespace editor
namespace operations {
class Editor;
class SoundSource;
} // namespace operations
namespace playback {
class OutputDevice;
class Player;
} // namespace playback
namespace record {
class Recorder;
}
namespace platform {
class Dialogs;
class Launcher;
} // namespace platform
namespace setup {
struct Environment;
class SettingsStore;
} // namespace setup

// The editor window: shown modally by the main window's Edit, it opens the stopped take as an
// edit, plays it, runs the editing commands over it and discards it when it closes. Handlers
// keep the names of the controls and events they serve and stay thin: the editing operations,
// the playback engine and the view module do the work.
//
// While an operation runs (Busy) or a command is still on its way (its prompt, stopping
// playback), every other command, the play buttons, the mouse and closing are refused: the
// operations let pending messages run between blocks, and only the progress display may act
// then. A close asked for meanwhile is carried out once the command has ended.
class TFormEdit : public QDialog {
    Q_OBJECT
  public:
    // Plays through `output` and edits `recorder`'s take, one editor per opening; works in the
    // run's `environment` with its `settings`. The devices, ports, the run and the recorder must
    // outlive the window.
    TFormEdit(playback::OutputDevice& output, const base::FileSystem& fileSystem,
              base::EventPump& events, const setup::Environment& environment,
              setup::SettingsStore& settings, platform::Dialogs& dialogs,
              platform::Launcher& launcher, record::Recorder& recorder, QWidget* parent = nullptr);
    ~TFormEdit() override;

    // Once, when the window is created: caption, progress bar, the play timer.
    void FormCreate();
    // Each time the main window opens the editor: an editor over the take is made (level 0 of a
    // new edit, its edit and clip files created) and the sound output opened. When the work
    // files cannot be made the window says so and closes, leaving the take alone.
    void FormShow();
    // Layout and full redraw, as on a window resize; also the last step of every command.
    void FormResize();
    // The window closes: playback stops, the output is released, the editor goes with its edit
    // and clip files, and the take is discarded (an empty recording file). The main window then
    // resumes.
    void FormClose();
    void TimerPlayTimer();
    void PlaceProgressBar();

    void menuSaveAllClick();
    void menuSaveSelectionClick();
    void menuSaveSettingsClick();
    void menuFolderClick();
    void menuExitClick();
    void menuUndoClick();
    void menuRedoClick();
    void menuCutClick();
    void menuCopyClick();
    void menuPasteClick();
    void menuDeleteClick();
    void menuSelectAllClick();
    void menuFadeInClick();
    void menuFadeOutClick();
    void menuAmplifyClick();
    void menuNormalizeClick();
    void menuSilenceClick();
    void menuVelmarHelpClick();
    void menuAboutClick();
    void SBtnPlayAllClick();
    void SBtnPlaySelectionClick();
    void SBtnStopClick();
    void TrackBarVolume_Change();
    // What a mouse gesture in the wave area leaves to the window: playback restarts and the
    // status panels.
    void WaveMouseAction(const editor::MouseAction& action);
    void SBtnIncClick();
    void SBtnDecClick();

    // An editing operation is running (the editor's Running, not a copy of it).
    bool Busy() const;
    // The editor's player, to read its play state.
    const playback::Player& Playback() const { return *player_; }
    // The editor of the current opening; none while the window is closed. Tests drive it
    // through the non-const one.
    const operations::Editor* Editing() const { return editor_.get(); }
    operations::Editor* Editing() { return editor_.get(); }

    // Controls, named as in the window's layout.
    QMenuBar* Menu2 = nullptr;
    QMenu* menuFile = nullptr;
    QMenu* menuEdit = nullptr;
    QMenu* menuEffects = nullptr;
    QMenu* menuHelp = nullptr;
    QAction* menuSaveAll = nullptr;
    QAction* menuSaveSelection = nullptr;
    QAction* menuSaveSettings = nullptr;
    QAction* menuFolder = nullptr;
    QAction* menuExit = nullptr;
    QAction* menuUndo = nullptr;
    QAction* menuRedo = nullptr;
    QAction* menuCut = nullptr;
    QAction* menuCopy = nullptr;
    QAction* menuPaste = nullptr;
    QAction* menuDelete = nullptr;
    QAction* menuSelectAll = nullptr;
    QAction* menuFadeIn = nullptr;
    QAction* menuFadeOut = nullptr;
    QAction* menuAmplify = nullptr;
    QAction* menuNormalize = nullptr;
    QAction* menuSilence = nullptr;
    QAction* menuVelmarHelp = nullptr;
    QAction* menuAbout = nullptr;

    QFrame* CoolBarFile = nullptr;
    QToolButton* SBtnSaveAll = nullptr;
    QToolButton* SBtnSaveSel = nullptr;
    QToolButton* SBtnSettings = nullptr;
    QToolButton* SBtnFolder = nullptr;
    QFrame* CoolBarEdit = nullptr;
    QToolButton* SBtnUndo = nullptr;
    QToolButton* SBtnRedo = nullptr;
    QToolButton* SBtnCut = nullptr;
    QToolButton* SBtnCopy = nullptr;
    QToolButton* SBtnPaste = nullptr;
    QToolButton* SBtnDelete = nullptr;
    QFrame* CoolBar1 = nullptr;
    QToolButton* SBtnFadeIn = nullptr;
    QToolButton* SBtnFadeOut = nullptr;
    QToolButton* SBtnAmplify = nullptr;
    QToolButton* SBtnNormalize = nullptr;
    QToolButton* SBtnSilence = nullptr;

    editor::WaveWidget* Wave = nullptr; // overview bar, wave area, their rulers and markers
    QWidget* PanelSBar = nullptr;
    QScrollBar* SBar = nullptr;
    QWidget* PanelControl = nullptr;
    QFrame* CoolBarPlay = nullptr;
    QToolButton* SBtnPlayAll = nullptr;
    QToolButton* SBtnPlaySelection = nullptr;
    QToolButton* SBtnStop = nullptr;
    QLabel* ImageVolumeBackground = nullptr;
    QSlider* TrackBarVolume = nullptr;
    QFrame* CoolBarScale = nullptr;
    QToolButton* SBtnInc = nullptr;
    QToolButton* SBtnDec = nullptr;
    QStatusBar* StBar = nullptr;
    QProgressBar* ProgressBar = nullptr;
    QTimer* TimerPlay = nullptr;

  public slots:
    void done(int result) override;

  protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    // Mouse gestures in the wave area are dropped while commands are refused.
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    class CommandSpan;
    class ProgressShown;

    void BuildMenus();
    void BuildControls();
    // True while a command must not start: an operation runs or a command is on its way.
    bool Refused() const;
    // The shared steps of an editing command around `operation`: stop playback, the progress
    // bar when `withProgress`, errors shown, the history note, the redraw.
    template <typename Operation> void EditingCommand(bool withProgress, Operation operation);
    // The steps after playback has stopped: the operation with its progress bar, errors shown,
    // the history note, the redraw.
    template <typename Operation> void RunOperation(bool withProgress, Operation operation);
    void ShowUserError(const std::exception& error);
    void ShowHistoryNote();
    // SBar's range, thumb, steps and position from the view (UpdateScrollBar).
    void UpdateScrollBar();
    // A click in SBar's trough (or Page Up/Down) moves the view's large change, not a page.
    void SBarPageStep(int action);
    void UpdateSelectionStatus();

    record::Recorder& recorder_;
    const base::FileSystem& fileSystem_;
    base::EventPump& pump_;
    // One per opening, made by FormShow and dropped by FormClose.
    std::unique_ptr<operations::Editor> editor_;
    // The player's sound: the opened editor's.
    std::unique_ptr<operations::SoundSource> sound_;
    std::unique_ptr<playback::Player> player_;
    std::array<QLabel*, 4> statusPanels_{};
    std::optional<operations::Selection> statusShown_; // the selection the panels show
    int LastBarPosition = 0;                           // SBar position the timer acted on last
    int commandDepth_ = 0;
    bool closeRequested_ = false;
    bool historyNoteShown_ = false;
    bool centred_ = false;
    // The found recording of the work folder, offered by each opening, let go by each closing.
    recovery::RecorderTakeHolder take_;
    recovery::Recovery recovery_;
    std::unique_ptr<TFormInfo> info_; // its window; a window of its own, as the editor is
    const setup::Environment& environment_;
    setup::SettingsStore& settings_;
    platform::Dialogs& dialogs_;
    platform::Launcher& launcher_;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ui/program.h"

#include "about/form_about.h"
#include "app/headless/control_channel.h"
#include "app/headless/headless_run.h"
#include "app/ui/application_icon.h"
#include "app/ui/form_main.h"
#include "app/ui/started_run.h"
#include "app/ui/widget_dialogs.h"
#include "base/clock.h"
#include "base/errors.h"
#include "base/event_pump.h"
#include "base/file_system.h"
#include "editor/form_edit.h"
#include "export/encoder_library.h"
#include "export/ui/form_progress.h"
#include "export/ui/form_save_settings.h"
#include "platform/pulse_capture.h"
#include "platform/pulse_output.h"
#include "platform/shell.h"
#include "playback/output_device.h"
#include "record/capture_device.h"
#include "setup/startup.h"
#include "setup/work_folder.h"

#include <QApplication>

#include <cstdio>
#include <memory>

namespace app {

namespace {
// While a modal window is open (the editor, a message box) that is the one to see.
void BringToFront(QWidget& mainWindow) {
    QWidget* window = QApplication::activeModalWidget();
    if (window == nullptr) {
        window = &mainWindow;
    }
    if (window->isMinimized()) {
        window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    }
    window->raise();
    window->activateWindow();
}

// The commands another start sends the windowed program: the same as its buttons. While a modal
// window is open (the editor has the take, a message box waits for an answer) Record and Stop
// are refused rather than act behind it.
class WindowCommands : public app::ControlCommands {
  public:
    WindowCommands(TFormMain& formMain, const setup::Environment& environment)
        : formMain_(formMain), environment_(environment), answers_(formMain.SaveNowEngine()) {}
    void Raise() override { BringToFront(formMain_); }
    Reply Status() override { return {true, StatusLine(formMain_.Recorder().View())}; }
    Reply Record() override {
        if (formMain_.Recorder().View().Recording) {
            return {true, "already recording"};
        }
        if (QApplication::activeModalWidget() != nullptr) {
            return {false, "a window of Velmar Recorder is open; close it first"};
        }
        // Nobody at the window chose to replace the take: it is kept, as the headless
        // recorder keeps it, where the editor's found-recording offer finds it.
        QString kept;
        try {
            kept = SetStoppedTakeAside(formMain_.Recorder(), environment_.paths,
                                       environment_.WorkFolder);
        } catch (const base::UserError& error) {
            return {false, QString("the recording did not start: ") + error.what()};
        }
        formMain_.BtnRecordClick();
        if (!formMain_.Recorder().View().Recording) {
            return {false, "the recording did not start (see the recorder's window)"};
        }
        return {true, kept.isEmpty() ? "recording started"
                                     : "recording started; the stopped take was kept as " + kept};
    }
    Reply Stop() override {
        if (!formMain_.Recorder().View().Recording) {
            return {true, "not recording"};
        }
        if (QApplication::activeModalWidget() != nullptr) {
            return {false, "a window of Velmar Recorder is open; close it first"};
        }
        formMain_.BtnStopClick();
        return {true, "recording stopped after " + formMain_.Recorder().View().TimeText};
    }
    // As File > Save Now: the window shows how it ended, and the caller is told.
    void SaveNow(uint32_t newestBlocks, const QString& folder,
                 std::function<void(Reply)> done) override {
        answers_.Start(formMain_.SettingsNow(), newestBlocks, folder, std::move(done));
    }

  private:
    TFormMain& formMain_;
    const setup::Environment& environment_;
    app::SaveNowAnswers answers_;
};
} // namespace

bool DisplayAvailable() {
    // A platform plugin other than the desktop ones (offscreen, minimal, vnc, ...) brings its own
    // screen.
    const QString platform = qEnvironmentVariable("QT_QPA_PLATFORM").section(':', 0, 0);
    if (!platform.isEmpty() && platform != "xcb" && !platform.startsWith("wayland")) {
        return true;
    }
    return !qEnvironmentVariable("DISPLAY").isEmpty() ||
           !qEnvironmentVariable("WAYLAND_DISPLAY").isEmpty();
}

int ProgramEntry(int& argc, char** argv, const EntryHooks& hooks) {
    // Qt would abort without a display; a recorder started on a machine without one is told
    // the way that works there.
    if (!DisplayAvailable()) {
        std::fprintf(stderr, "Velmar Recorder: there is no display to open its window on "
                             "(neither DISPLAY nor WAYLAND_DISPLAY is set).\n"
                             "velmar-recorder --headless records without windows.\n");
        return 1;
    }
    // The windows repaint a few small areas ten times a second. Through X shared memory each
    // repaint first waits for the server to have read the last one from the shared image (a
    // round trip, and a thread woken for every completion); sent over the connection, such
    // small areas cost less. Whoever sets the variable keeps their choice.
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM")) {
        qputenv("QT_XCB_NO_MITSHM", "1");
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName("Velmar Recorder");
    QApplication::setApplicationDisplayName("Velmar Recorder");
    QApplication::setWindowIcon(ApplicationIcon());
    // Lets the desktop match the windows to the installed entry, velmar-recorder.desktop.
    QGuiApplication::setDesktopFileName("velmar-recorder");
    QApplication::setQuitOnLastWindowClosed(false); // only the main window ends the run

    platform::WidgetDialogs widgetDialogs;
    platform::Dialogs& dialogs = hooks.dialogs ? *hooks.dialogs : widgetDialogs;
    platform::SystemLauncher launcher;
    const QString executablePath = hooks.executablePath.isEmpty()
                                       ? QCoreApplication::applicationFilePath()
                                       : hooks.executablePath;
    // One running program per work folder, claimed before start-up touches the folder: a second
    // start would set the first one's live take aside and delete its editor's files.
    const QString workFolder = setup::WorkFolderFor(executablePath);
    setup::WorkFolderLock lock;
    if (setup::ClaimWorkFolder(workFolder, lock) == setup::WorkFolderLock::Result::HeldByAnother) {
        app::ControlChannel::AskToRaise(workFolder);
        dialogs.ShowMessage(setup::AlreadyRunningMessage);
        return 0;
    }
    // The sound server's default input, unless a test brings a device of its own.
    platform::PulseCapture pulseCapture;
    // The ports the engine objects are built with, once for the run.
    base::SystemFileSystem fileSystem;
    base::QtEventPump events;
    base::SystemClock clock;
    exporting::SystemEncoderLoader encoders;
    const record::RecorderPorts recorderPorts{
        hooks.captureDevice ? *hooks.captureDevice : pulseCapture, fileSystem, events, clock};
    // The default sound output for the editor's playback, likewise.
    platform::PulseOutput pulseOutput;
    playback::OutputDevice& output = hooks.output ? *hooks.output : pulseOutput;
    // Work folder, settings and left-over files, before any window: the windows are lent the
    // run's environment and settings, and the settings are saved when the main window closes.
    StartedRun run = StartRun(executablePath, dialogs);

    int result = 0;
    {
        // Creation order matters: the main window opens the device before the other windows
        // exist.
        TFormMain formMain(run, recorderPorts, output, fileSystem, events, dialogs, launcher,
                           encoders);
        TFormEdit formEdit(output, fileSystem, events, run.environment, run.settings, dialogs,
                           launcher, formMain.Recorder());
        TFormSaveSettings formSaveSettings(run.settings);
        TFormProgress formProgress(encoders, fileSystem, events);
        TFormAbout formAbout;
        // A later start on this work folder asks for the window the user should see, or sends
        // a command.
        WindowCommands commands(formMain, run.environment);
        std::unique_ptr<app::ControlChannel> channel;
        if (lock.IsHeld()) {
            channel = std::make_unique<app::ControlChannel>(workFolder, commands);
        }
        formMain.show();
        if (hooks.started) {
            hooks.started(formMain);
        }
        result = QApplication::exec();
    }
    return result;
}

} // namespace app

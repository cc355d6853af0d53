// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ui/program.h"

#include "about/form_about.h"
#include "app/ui/application_icon.h"
#include "app/ui/form_main.h"
#include "app/ui/instance_channel.h"
#include "app/ui/started_run.h"
#include "app/ui/widget_dialogs.h"
#include "base/clock.h"
#include "base/event_pump.h"
#include "base/file_system.h"
#include "editor/form_edit.h"
#include "export/encoder_library.h"
#include "export/ui/form_progress.h"
#include "export/ui/form_save_settings.h"
#include "platform/qt_capture.h"
#include "platform/qt_output.h"
#include "platform/shell.h"
#include "playback/output_device.h"
#include "record/capture_device.h"
#include "setup/startup.h"
#include "setup/work_folder.h"

#include <QApplication>

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
} // namespace

int ProgramEntry(int& argc, char** argv, const EntryHooks& hooks) {
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
        app::InstanceChannel::AskToRaise(workFolder);
        dialogs.ShowMessage(setup::AlreadyRunningMessage);
        return 0;
    }
    // The first sound input through Qt Multimedia, unless a test brings a device of its own.
    platform::QtCapture qtCapture;
    // The ports the engine objects are built with, once for the run.
    base::SystemFileSystem fileSystem;
    base::QtEventPump events;
    base::SystemClock clock;
    exporting::SystemEncoderLoader encoders;
    const record::RecorderPorts recorderPorts{
        hooks.captureDevice ? *hooks.captureDevice : qtCapture, fileSystem, events, clock};
    // The default sound output for the editor's playback, likewise.
    platform::QtOutput qtOutput;
    playback::OutputDevice& output = hooks.output ? *hooks.output : qtOutput;
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
        // A later start on this work folder asks for the window the user should see.
        std::unique_ptr<app::InstanceChannel> channel;
        if (lock.IsHeld()) {
            channel = std::make_unique<app::InstanceChannel>(
                workFolder, [&formMain] { BringToFront(formMain); });
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

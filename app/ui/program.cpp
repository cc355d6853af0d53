// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ui/program.h"

#include "app/ui/application_icon.h"
#include "about/form_about.h"
#include "app/ui/form_main.h"
#include "app/ui/widget_dialogs.h"
#include "editor/form_edit.h"
#include "export/ui/form_progress.h"
#include "export/ui/form_save_settings.h"
#include "platform/services/process_messages.h"
#include "platform/qt_capture.h"
#include "platform/qt_output.h"
#include "playback/output_device.h"
#include "record/capture_device.h"
#include "recovery/ui/form_info.h"

#include <QApplication>

namespace app {

int ProgramEntry(int& argc, char** argv, const EntryHooks& hooks) {
    QApplication application(argc, argv);
    QApplication::setApplicationName("Velmar Recorder");
    QApplication::setApplicationDisplayName("Velmar Recorder");
    QApplication::setWindowIcon(ApplicationIcon());
    // Lets the desktop match the windows to the installed entry, velmar-recorder.desktop.
    QGuiApplication::setDesktopFileName("velmar-recorder");
    QApplication::setQuitOnLastWindowClosed(false);  // only the main window ends the run

    platform::WidgetDialogs dialogs;
    platform::SetDialogs(hooks.dialogs ? hooks.dialogs : &dialogs);
    platform::SetProcessMessages([] { QCoreApplication::processEvents(); });
    // The first sound input through Qt Multimedia, unless a test installed a device of its own.
    platform::QtCapture capture;
    if (!hooks.keepCaptureDevice) {
        record::SetCaptureDevice(&capture);
    }
    // The default sound output for the editor's playback, likewise.
    platform::QtOutput output;
    if (!hooks.keepOutputDevice) {
        playback::SetOutputDevice(&output);
    }

    int result = 0;
    {
        // Creation order matters: the main window's start-up loads the settings and opens the
        // device before the other windows exist.
        TFormMain formMain(hooks.executablePath.isEmpty() ? QCoreApplication::applicationFilePath()
                                                          : hooks.executablePath);
        TFormEdit formEdit;
        TFormSaveSettings formSaveSettings;
        TFormProgress formProgress;
        TFormAbout formAbout;
        TFormInfo formInfo;
        formMain.show();
        if (hooks.started) {
            hooks.started(formMain);
        }
        result = QApplication::exec();
    }
    if (!hooks.keepCaptureDevice) {
        record::SetCaptureDevice(nullptr);
    }
    if (!hooks.keepOutputDevice) {
        playback::SetOutputDevice(nullptr);
    }
    platform::SetDialogs(nullptr);
    platform::SetProcessMessages({});
    return result;
}

} // namespace app

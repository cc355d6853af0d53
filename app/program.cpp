// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/program.h"

#include "app/form_about.h"
#include "app/form_main.h"
#include "editor/form_edit.h"
#include "export/ui/form_progress.h"
#include "export/ui/form_save_settings.h"
#include "platform/process_messages.h"
#include "platform/qt_capture.h"
#include "platform/widget_dialogs.h"
#include "record/capture_device.h"
#include "recovery/form_info.h"

#include <QApplication>

namespace app {

int ProgramEntry(int& argc, char** argv, const EntryHooks& hooks) {
    QApplication application(argc, argv);
    QApplication::setApplicationName("Velmar Recorder");
    QApplication::setApplicationDisplayName("Velmar Recorder");
    QApplication::setQuitOnLastWindowClosed(false);  // only the main window ends the run

    platform::WidgetDialogs dialogs;
    platform::SetDialogs(hooks.dialogs ? hooks.dialogs : &dialogs);
    platform::SetProcessMessages([] { QCoreApplication::processEvents(); });
    // The first sound input through Qt Multimedia, unless a test installed a device of its own.
    platform::QtCapture capture;
    if (!hooks.keepCaptureDevice) {
        record::SetCaptureDevice(&capture);
    }

    int result = 0;
    {
        // Creation order matters: the main window's start-up loads the settings and opens the
        // device before the other windows exist.
        TFormMain formMain;
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
    platform::SetDialogs(nullptr);
    platform::SetProcessMessages({});
    return result;
}

} // namespace app

// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/shell.h"

#include <QProcess>

namespace platform {

bool SystemLauncher::Start(const QString& program, const QStringList& arguments) {
    return QProcess::startDetached(program, arguments);
}

void OpenRecordingControl(Launcher& launcher) {
    if (!launcher.Start("pavucontrol", {"--tab=4"})) {
        launcher.Start("gnome-control-center", {"sound"});
    }
}

void OpenInDesktop(Launcher& launcher, const QString& path) {
    // xdg-open is what the desktop services use on Linux anyway; calling it directly keeps this
    // adapter free of the GUI library.
    launcher.Start("xdg-open", {path});
}

} // namespace platform

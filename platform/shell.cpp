// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/shell.h"

#include <QProcess>

namespace platform {

namespace {

bool StartDetached(const QString& program, const QStringList& arguments) {
    return QProcess::startDetached(program, arguments);
}

Launcher& CurrentLauncher() {
    static Launcher launcher = StartDetached;
    return launcher;
}

} // namespace

void SetLauncher(Launcher launcher) {
    CurrentLauncher() = launcher ? std::move(launcher) : Launcher(StartDetached);
}

void OpenRecordingControl() {
    if (!CurrentLauncher()("pavucontrol", {"--tab=4"})) {
        CurrentLauncher()("gnome-control-center", {"sound"});
    }
}

void OpenInDesktop(const QString& path) {
    // xdg-open is what the desktop services use on Linux anyway; calling it directly keeps this
    // adapter free of the GUI library.
    CurrentLauncher()("xdg-open", {path});
}

} // namespace platform

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// What the windows ask of the desktop: the system's recording-level control, a folder in the
// file browser, a document in its viewer. Nothing here waits for the program it starts, and
// failures are the desktop's own business: none is reported.
namespace platform {

// Starts the recording-level control: `pavucontrol --tab=4` (its input-devices tab), else the
// desktop's sound settings, `gnome-control-center sound`.
void OpenRecordingControl();
// Opens a folder in the file browser, or a file in the viewer the desktop has for its type.
void OpenInDesktop(const QString& path);

// Starts `program` with `arguments` detached; true when it could be started. Tests replace it
// to see what would be started without starting anything.
using Launcher = std::function<bool(const QString& program, const QStringList& arguments)>;
void SetLauncher(Launcher launcher);

} // namespace platform

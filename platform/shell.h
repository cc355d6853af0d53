// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

// What the windows ask of the desktop: the system's recording-level control, a folder in the
// file browser, a document in its viewer. Nothing here waits for the program it starts, and
// failures are the desktop's own business: none is reported.
namespace platform {

// Starts other programs. The program entry builds one SystemLauncher and passes it to the windows;
// tests pass one that only records what would be started.
class Launcher {
  public:
    virtual ~Launcher() = default;
    // Starts `program` with `arguments` detached; true when it could be started.
    virtual bool Start(const QString& program, const QStringList& arguments) = 0;
};

// Starts programs with QProcess::startDetached.
class SystemLauncher final : public Launcher {
  public:
    bool Start(const QString& program, const QStringList& arguments) override;
};

// Starts the recording-level control: `pavucontrol --tab=4` (its input-devices tab), else the
// desktop's sound settings, `gnome-control-center sound`.
void OpenRecordingControl(Launcher& launcher);
// Opens a folder in the file browser, or a file in the viewer the desktop has for its type.
void OpenInDesktop(Launcher& launcher, const QString& path);

} // namespace platform

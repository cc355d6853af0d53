// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/placement.h"

#include <QString>

namespace app {

// "<application-data folder>/Velmar Recorder"; empty when the application-data folder is
// unknown (no $XDG_DATA_HOME and no $HOME).
QString OwnDataFolder(const QString& appDataFolder);

// The folder that holds the work files. In place: the own data folder when it already exists
// (`ownFolderExists`; it is never created then), else "Temp" beside the executable. Installed:
// the own data folder always, made by PrepareWorkFolder when missing. Empty when it must be the
// own data folder and that is unknown.
QString ChooseWorkFolder(Placement placement, const QString& appDataFolder, bool ownFolderExists,
                         const QString& executableDir);

// Makes sure the work folder can be used: it exists (created with any missing parents, since a
// new account may have no ~/.local/share yet) and a file can be created in it. False otherwise.
bool PrepareWorkFolder(const QString& workFolder);

// The work files of one work folder.
struct WorkPaths {
    QString RecordingFilePath;  // "Velmar.raw": the captured audio
    QString EditFilePath;       // "Edit.raw": blocks made by editing operations
    QString ClipFilePath;       // "Clp.raw": the editor's clipboard
    QString PeakFilePath;       // "Velmar.spv": peaks cached for the recovery file
    QString RecoveryFilePath;   // "test": a recording offered for loading into the editor
};
WorkPaths WorkPathsFor(const QString& workFolder);

} // namespace app

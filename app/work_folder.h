// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace app {

// The folder that holds the work files: "<application-data folder>/Velmar Recorder" when that
// folder already exists (it is never created), else "Temp" beside the executable.
QString ChooseWorkFolder(const QString& appDataFolder, const QString& executableDir);

// Makes sure the work folder can be used: it exists (created one level deep if missing) and a
// file can be created in it. False when neither holds.
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

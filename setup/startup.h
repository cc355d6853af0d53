// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "setup/settings.h"
#include "setup/work_folder.h"

#include <QString>

namespace setup {

// Where a run keeps its files, fixed at start-up and never changed afterwards. The program entry
// makes it once and lends it to the windows that need it.
struct Environment {
    QString ExecutablePath; // decides the placement, and where the help file is looked for
    Placement placement = Placement::InPlace;
    QString AppDataFolder;
    QString WorkFolder; // empty when start-up could not make one
    WorkPaths paths;    // empty paths when there is no work folder
    QString ExeDrive;   // mount point of the work folder's file system: names the "drive"
    QString SettingsFilePath;
};

// Said by a start that finds another running program on its work folder; it then ends.
inline constexpr char AlreadyRunningMessage[] = "Velmar Recorder is already running.";

// The environment of the program at `executablePath` before any work folder: its placement,
// settings file and application-data folder. A run whose start-up failed goes on with it.
Environment EnvironmentWithoutWorkFolder(const QString& executablePath);

// What a start-up gives the run.
struct Started {
    Environment environment;
    Settings settings;
    QString notice; // said once when a recording of an earlier run was set aside; else empty
};

// Start-up steps that need no window and no device: work folder, work-file paths, settings,
// left-over work files. Throws base::UserError ("Can not create " + the work folder) when no
// work folder can be used.
Started StartUp(const QString& executablePath);

// Renames a recording file holding at least one block out of the way of the next recording: to
// the recovery file when there is none, else to a new unique name. Returns the new path, or an
// empty text when there was nothing to keep. Throws base::UserError when it cannot be renamed.
QString SetAsideRecording(const WorkPaths& paths, const QString& workFolder);

// A recording file still there at start-up is the take of a run that never reached its
// shutdown. One holding at least one block is kept: renamed to the recovery file when there is
// none, else to a new unique name; an empty one is deleted, and so are the edit and clip files.
// Returns the sentence telling where the recording was kept, or an empty text.
QString SetAsideLeftoverFiles(const WorkPaths& paths, const QString& workFolder);

// Shutdown file steps: writes the settings (not without a work folder: they were never read),
// then deletes the edit, clip and recording files. A failed settings write throws
// base::UserError with its text once the files are deleted.
void ShutDown(const Environment& environment, const SettingsStore& settings);

} // namespace setup

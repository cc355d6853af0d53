// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "setup/settings.h"
#include "setup/work_folder.h"

#include <QString>

namespace setup {

// Application-wide values fixed at start-up; one instance, `setup::state`.
struct State {
    QString ExecutablePath; // decides the placement, and where the help file is looked for
    Placement placement = Placement::InPlace;
    QString AppDataFolder;
    QString WorkFolder;      // empty when start-up could not make one
    WorkPaths paths;         // empty paths when there is no work folder
    QString ExeDrive;        // mount point of the work folder's file system: names the "drive"
    QString SettingsFilePath;
    Settings settings;
};
extern State state;

// Said by a start that finds another running program on its work folder; it then ends.
inline constexpr char AlreadyRunningMessage[] = "Velmar Recorder is already running.";

struct StartupResult {
    bool ok = false;
    QString error;   // "Can not create " + the work folder, when !ok
    QString notice;  // said once when a recording of an earlier run was set aside
};

// Start-up steps that need no window and no device: work folder, work-file paths, settings,
// left-over work files. Fills `state`. On failure `state` keeps no paths and default settings.
StartupResult StartUp(const QString& executablePath);

// A recording file still there at start-up is the take of a run that never reached its
// shutdown. One holding at least one block is kept: renamed to the recovery file when there is
// none, else to a new unique name; an empty one is deleted, and so are the edit and clip files.
// Returns the sentence telling where the recording was kept, or an empty text.
QString SetAsideLeftoverFiles(const WorkPaths& paths, const QString& workFolder);

// Shutdown file steps: writes the settings, then deletes the edit, clip and recording files.
// Returns the error text of a failed settings write, or an empty text.
QString ShutDown();

} // namespace setup

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "setup/placement.h"

#include <QString>

namespace setup {

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
    QString RecordingFilePath; // "Velmar.raw": the captured audio
    QString EditFilePath;      // "Edit.raw": blocks made by editing operations
    QString ClipFilePath;      // "Clp.raw": the editor's clipboard
    QString PeakFilePath;      // "Velmar.spv": peaks cached for the recovery file
    QString RecoveryFilePath;  // "test": a recording offered for loading into the editor
    QString DropoutFilePath;   // "Velmar.drp": where the recording lost sound
};
// The dropout list kept beside the recording file `recordingFile`: "Velmar.raw" has
// "Velmar.drp", "test" has "test.drp".
QString DropoutFileOf(const QString& recordingFile);
WorkPaths WorkPathsFor(const QString& workFolder);

// The work folder of a run of the program at `executablePath`: ChooseWorkFolder with the
// program's placement and the user's application-data folder. Not made here.
QString WorkFolderFor(const QString& executablePath);

// The lock that makes a program the only one running on a work folder: an exclusive flock on
// LockFileName in it, held from before start-up touches the folder until exit. The kernel drops
// it when the process ends however it ends, so a killed program's lock is simply taken over and
// its left-over take is kept as usual. Start-up and shutdown never delete the lock file; its
// holder does, as it lets go.
inline constexpr char LockFileName[] = "Velmar.lock";
class WorkFolderLock {
  public:
    enum class Result {
        Held,          // this process holds the lock now
        HeldByAnother, // another running program holds it: leave the folder alone
        Unavailable,   // no lock file can be made there (start-up reports the folder unusable)
    };
    WorkFolderLock() = default;
    ~WorkFolderLock() { Release(); }
    WorkFolderLock(const WorkFolderLock&) = delete;
    WorkFolderLock& operator=(const WorkFolderLock&) = delete;

    // Takes the lock of an existing folder without waiting.
    Result Acquire(const QString& workFolder);
    bool IsHeld() const { return fd_ >= 0; }
    // Deletes the lock file and lets go; harmless when not held.
    void Release();

  private:
    int fd_ = -1;
    QString path_;
};

// Called by the program entry before start-up: makes the work folder when needed, as start-up
// would, and takes its lock. HeldByAnother leaves everything in the folder as it was.
WorkFolderLock::Result ClaimWorkFolder(const QString& workFolder, WorkFolderLock& lock);

} // namespace setup

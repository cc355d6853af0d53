// SPDX-License-Identifier: GPL-3.0-or-later
#include "setup/startup.h"

#include "base/file_system.h"
#include "platform/services/file_system.h"
#include "record/blocks.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

namespace setup {

State state;

namespace {
void DeleteIfPresent(const QString& path) {
    if (!path.isEmpty() && QFileInfo::exists(path)) {
        QFile::remove(path);  // a failed deletion is ignored
    }
}

QString UniqueKeepName(const QString& workFolder) {
    QString stamp = QDateTime::currentDateTime().toString("yyyyMMdd-HHmmss");
    QString base = workFolder + "/Velmar-kept-" + stamp;
    QString name = base + ".raw";
    for (int i = 2; QFileInfo::exists(name); ++i) {
        name = base + "-" + QString::number(i) + ".raw";
    }
    return name;
}
} // namespace

QString SetAsideLeftoverFiles(const WorkPaths& paths, const QString& workFolder) {
    QString notice;
    QFileInfo rec(paths.RecordingFilePath);
    if (rec.exists()) {
        if (rec.size() >= record::BlockBytes) {
            QString target = QFileInfo::exists(paths.RecoveryFilePath) ? UniqueKeepName(workFolder)
                                                                       : paths.RecoveryFilePath;
            if (QFile::rename(paths.RecordingFilePath, target)) {
                notice = "A recording left by an earlier run that did not end normally was kept as " +
                         target + ".";
            } else {
                // Never delete it: the next Record would, so say where it still is.
                notice = "A recording left by an earlier run is still at " +
                         paths.RecordingFilePath +
                         " and could not be set aside; copy it elsewhere before recording.";
            }
        } else {
            DeleteIfPresent(paths.RecordingFilePath);
        }
    }
    DeleteIfPresent(paths.EditFilePath);
    DeleteIfPresent(paths.ClipFilePath);
    return notice;
}

StartupResult StartUp(const QString& executablePath) {
    state = State{};
    StartupResult result;
    state.ExecutablePath = executablePath;
    state.placement = PlacementOf(executablePath);
    state.SettingsFilePath = SettingsFilePathFor(state.placement, executablePath,
                                                 QString::fromStdString(platform::ConfigFolder()));
    state.AppDataFolder = QString::fromStdString(platform::AppDataFolder());
    // The same rule the program entry used to lock the folder.
    state.WorkFolder = WorkFolderFor(executablePath);
    if (!PrepareWorkFolder(state.WorkFolder)) {
        result.error =
            "Can not create " + (state.WorkFolder.isEmpty()
                                     ? "the work folder: neither XDG_DATA_HOME nor HOME is set"
                                     : state.WorkFolder);
        state.WorkFolder.clear();
        return result;
    }
    state.paths = WorkPathsFor(state.WorkFolder);
    state.ExeDrive = QString::fromStdString(base::SystemFileSystem().MountPointOf(state.WorkFolder.toStdString()));
    state.settings = LoadSettings(state.SettingsFilePath);
    result.notice = SetAsideLeftoverFiles(state.paths, state.WorkFolder);
    result.ok = true;
    return result;
}

QString ShutDown() {
    QString error;
    // Without a work folder the settings were never read: writing would only replace the
    // user's file with defaults.
    if (!state.WorkFolder.isEmpty()) {
        SaveSettings(state.SettingsFilePath, state.settings, &error);
    }
    state.paths.RecordingFilePath = state.paths.RecordingFilePath.isEmpty()
                                        ? QString()
                                        : state.WorkFolder + "/Velmar.raw";
    DeleteIfPresent(state.paths.EditFilePath);
    DeleteIfPresent(state.paths.ClipFilePath);
    DeleteIfPresent(state.paths.RecordingFilePath);
    return error;
}

} // namespace setup

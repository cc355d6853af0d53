// SPDX-License-Identifier: GPL-3.0-or-later
#include "setup/startup.h"

#include "base/blocks.h"
#include "base/errors.h"
#include "base/file_system.h"
#include "base/folders.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <exception>

namespace setup {

namespace {
void DeleteIfPresent(const QString& path) {
    if (!path.isEmpty() && QFileInfo::exists(path)) {
        QFile::remove(path); // a failed deletion is ignored
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

QString SetAsideRecording(const WorkPaths& paths, const QString& workFolder) {
    if (QFileInfo(paths.RecordingFilePath).size() < base::BlockBytes) {
        return {};
    }
    const QString target = QFileInfo::exists(paths.RecoveryFilePath) ? UniqueKeepName(workFolder)
                                                                     : paths.RecoveryFilePath;
    if (!QFile::rename(paths.RecordingFilePath, target)) {
        throw base::UserError(("The recording at " + paths.RecordingFilePath +
                               " could not be set aside as " + target + ".")
                                  .toStdString());
    }
    // Its dropouts go with it, so the found-recording load can show them.
    if (QFileInfo::exists(paths.DropoutFilePath)) {
        QFile::remove(DropoutFileOf(target));
        QFile::rename(paths.DropoutFilePath, DropoutFileOf(target));
    }
    return target;
}

QString SetAsideLeftoverFiles(const WorkPaths& paths, const QString& workFolder) {
    QString notice;
    QFileInfo rec(paths.RecordingFilePath);
    if (rec.exists()) {
        if (rec.size() >= base::BlockBytes) {
            try {
                notice =
                    "A recording left by an earlier run that did not end normally was kept as " +
                    SetAsideRecording(paths, workFolder) + ".";
            } catch (const base::UserError&) {
                // Never delete it: the next Record would, so say where it still is.
                notice = "A recording left by an earlier run is still at " +
                         paths.RecordingFilePath +
                         " and could not be set aside; copy it elsewhere before recording.";
            }
        } else {
            DeleteIfPresent(paths.RecordingFilePath);
            DeleteIfPresent(paths.DropoutFilePath);
        }
    }
    DeleteIfPresent(paths.EditFilePath);
    DeleteIfPresent(paths.ClipFilePath);
    return notice;
}

Environment EnvironmentWithoutWorkFolder(const QString& executablePath) {
    Environment environment;
    environment.ExecutablePath = executablePath;
    environment.placement = PlacementOf(executablePath);
    environment.SettingsFilePath = SettingsFilePathFor(
        environment.placement, executablePath, QString::fromStdString(base::ConfigFolder()));
    environment.AppDataFolder = QString::fromStdString(base::AppDataFolder());
    return environment;
}

Started StartUp(const QString& executablePath) {
    Started started{EnvironmentWithoutWorkFolder(executablePath), {}, {}};
    Environment& environment = started.environment;
    // The same rule the program entry used to lock the folder.
    const QString workFolder = WorkFolderFor(executablePath);
    if (!PrepareWorkFolder(workFolder)) {
        throw base::UserError(
            ("Can not create " + (workFolder.isEmpty()
                                      ? "the work folder: neither XDG_DATA_HOME nor HOME is set"
                                      : workFolder))
                .toStdString());
    }
    environment.WorkFolder = workFolder;
    environment.paths = WorkPathsFor(workFolder);
    environment.ExeDrive =
        QString::fromStdString(base::SystemFileSystem().MountPointOf(workFolder.toStdString()));
    started.settings = LoadSettings(environment.SettingsFilePath);
    started.notice = SetAsideLeftoverFiles(environment.paths, workFolder);
    return started;
}

void ShutDown(const Environment& environment, const SettingsStore& settings) {
    std::exception_ptr failed;
    // Without a work folder the settings were never read: writing would only replace the
    // user's file with defaults.
    if (!environment.WorkFolder.isEmpty()) {
        try {
            settings.Save(environment.SettingsFilePath);
        } catch (const base::UserError&) {
            failed = std::current_exception(); // the work files go all the same
        }
    }
    DeleteIfPresent(environment.paths.EditFilePath);
    DeleteIfPresent(environment.paths.ClipFilePath);
    DeleteIfPresent(environment.paths.RecordingFilePath);
    DeleteIfPresent(environment.paths.DropoutFilePath);
    if (failed) {
        std::rethrow_exception(failed);
    }
}

} // namespace setup

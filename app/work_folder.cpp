// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/work_folder.h"

#include "platform/services/file_system.h"

#include <QDir>

namespace app {

QString OwnDataFolder(const QString& appDataFolder) {
    return appDataFolder.isEmpty() ? QString() : appDataFolder + "/Velmar Recorder";
}

QString ChooseWorkFolder(Placement placement, const QString& appDataFolder, bool ownFolderExists,
                         const QString& executableDir) {
    if (placement == Placement::Installed || ownFolderExists) {
        return OwnDataFolder(appDataFolder);
    }
    return executableDir + "/Temp";
}

bool PrepareWorkFolder(const QString& workFolder) {
    std::string path = workFolder.toStdString();
    if (workFolder.isEmpty() || (!platform::DirectoryExists(path) && !QDir().mkpath(workFolder))) {
        return false;
    }
    return platform::DirectoryWritable(path);
}

WorkPaths WorkPathsFor(const QString& workFolder) {
    return WorkPaths{workFolder + "/Velmar.raw", workFolder + "/Edit.raw", workFolder + "/Clp.raw",
                     workFolder + "/Velmar.spv", workFolder + "/test"};
}

} // namespace app

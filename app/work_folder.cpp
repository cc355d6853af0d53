// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/work_folder.h"

#include "platform/services/file_system.h"

#include <QDir>

namespace app {

QString ChooseWorkFolder(const QString& appDataFolder, const QString& executableDir) {
    QString own = appDataFolder + "/Velmar Recorder";
    if (platform::DirectoryExists(own.toStdString())) {
        return own;
    }
    return executableDir + "/Temp";
}

bool PrepareWorkFolder(const QString& workFolder) {
    std::string path = workFolder.toStdString();
    if (!platform::DirectoryExists(path) && !QDir().mkdir(workFolder)) {
        return false;
    }
    return platform::DirectoryWritable(path);
}

WorkPaths WorkPathsFor(const QString& workFolder) {
    return WorkPaths{workFolder + "/Velmar.raw", workFolder + "/Edit.raw", workFolder + "/Clp.raw",
                     workFolder + "/Velmar.spv", workFolder + "/test"};
}

} // namespace app

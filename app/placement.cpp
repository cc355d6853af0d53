// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/placement.h"

#include "platform/services/file_system.h"

#include <QDir>
#include <QFileInfo>

namespace app {

Placement PlacementOf(const QString& executablePath) {
    return platform::DirectoryWritable(QFileInfo(executablePath).path().toStdString())
               ? Placement::InPlace
               : Placement::Installed;
}

QStringList EncoderLibraryCandidates(const QString& executablePath) {
    const QString folder = QFileInfo(executablePath).path();
    return {folder + "/lame_enc.so",
            QDir::cleanPath(folder + "/../lib/velmar-recorder/lame_enc.so")};
}

} // namespace app

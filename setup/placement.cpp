// SPDX-License-Identifier: GPL-3.0-or-later
#include "setup/placement.h"

#include "platform/services/file_system.h"

#include <QDir>
#include <QFileInfo>

namespace setup {

Placement PlacementOf(const QString& executablePath) {
    return platform::DirectoryWritable(QFileInfo(executablePath).path().toStdString())
               ? Placement::InPlace
               : Placement::Installed;
}

} // namespace setup

// SPDX-License-Identifier: GPL-3.0-or-later
#include "setup/placement.h"

#include "base/folders.h"

#include <QDir>
#include <QFileInfo>

namespace setup {

Placement PlacementOf(const QString& executablePath) {
    return base::DirectoryWritable(QFileInfo(executablePath).path().toStdString())
               ? Placement::InPlace
               : Placement::Installed;
}

} // namespace setup

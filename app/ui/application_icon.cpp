// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ui/application_icon.h"

namespace app {

QIcon ApplicationIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 256}) {
        icon.addFile(QString(":/icons/velmar-recorder-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

} // namespace app

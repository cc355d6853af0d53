// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>

namespace app {

// The program's icon: the picture the install puts in the desktop's icon theme
// (desktop/velmar-recorder.svg, built in at 16, 32, 48 and 256 pixels). The main window shows it
// when not minimized, and every other window, having none of its own, shows it too.
QIcon ApplicationIcon();

} // namespace app

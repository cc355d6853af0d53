// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFont>

namespace gauges {

// The main window's font: a plain sans serif, 11 pixels high, used by its controls and by the
// captions and scales drawn on it.
QFont WindowFont();

} // namespace gauges

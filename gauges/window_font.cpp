// SPDX-License-Identifier: GPL-3.0-or-later
#include "gauges/window_font.h"

#include <QStringList>

namespace gauges {

QFont WindowFont() {
    QFont font;
    // Narrow Helvetica-like faces come closest to the classic dialog look; any sans will do.
    font.setFamilies({"Nimbus Sans", "Liberation Sans", "Arial", "DejaVu Sans"});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    return font;
}

} // namespace gauges

// SPDX-License-Identifier: GPL-3.0-or-later
#include "gauges/window_font.h"

#include <QStringList>

namespace gauges {

QFont WindowFont() {
    QFont font;
    // The fixed layouts are measured for Liberation Sans, which the install script brings; the
    // other Helvetica-like faces are about as wide.
    font.setFamilies({"Liberation Sans", "Nimbus Sans", "Arial", "DejaVu Sans"});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    return font;
}

} // namespace gauges

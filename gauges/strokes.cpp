// SPDX-License-Identifier: GPL-3.0-or-later
#include "gauges/strokes.h"

#include <QPainter>
#include <QRect>

namespace gauges {

void HLine(QPainter& p, int x1, int x2, int y, const QColor& colour) {
    if (x2 > x1) {
        p.fillRect(QRect(x1, y, x2 - x1, 1), colour);
    }
}

void VLine(QPainter& p, int x, int y1, int y2, const QColor& colour) {
    if (y2 > y1) {
        p.fillRect(QRect(x, y1, 1, y2 - y1), colour);
    } else if (y1 > y2) {
        p.fillRect(QRect(x, y2 + 1, 1, y1 - y2), colour);
    }
}

} // namespace gauges

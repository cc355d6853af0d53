// SPDX-License-Identifier: GPL-3.0-or-later
#include "gauges/gauge_widgets.h"

#include <QPaintEvent>
#include <QPainter>

#include <algorithm>

namespace gauges {

ChartView::ChartView(const State& state, QWidget* parent) : QWidget(parent), state_(state) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ChartView::ShowHistory(int columns) {
    const int64_t moved = state_.ChartPushes - shownPushes_;
    const bool same = columns == shownColumns_ && onScreen_;
    shownColumns_ = columns;
    shownPushes_ = state_.ChartPushes;
    if (same && (moved == 0 || columns == 0)) {
        return; // nothing on screen would change
    }
    if (!same || moved < 0 || moved >= width() || moved >= columns || !isVisible()) {
        // Qt keeps the repaint pending, and moves it along with any later scroll.
        update();
        onScreen_ = true;
        return;
    }
    const int d = static_cast<int>(moved);
    scroll(d, 0);
    // The new points, and two columns past the oldest of them: its line to the older points,
    // and the next older line, whose pixels depend on the line before it.
    update(QRect(0, 0, d + 3, height()));
    // The lines' end: all points past width - 1 share the last column, and where the lines end
    // short of it, what moved past their end.
    const int end = std::min(columns, width() - 1);
    update(QRect(end - 1, 0, d + 2, height()));
}

void ChartView::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    const QRegion& region = event->region();
    const bool whole = QRegion(rect()).subtracted(region).isEmpty();
    for (const QRect& area : whole ? QRegion(rect()) : region) {
        p.fillRect(area, Qt::white);
        if (shownColumns_ > 0) {
            PaintChart(p, width(), height(), state_, Series1Colour, Series2Colour,
                       whole ? QRect() : area);
        }
    }
    if (shownColumns_ > 0 && state_.ChartPushes != shownPushes_) {
        // What was painted shows points that the rest of the screen may not: a scroll would
        // move them twice.
        onScreen_ = false;
    }
}

PictureBox::PictureBox(const QImage& image, QWidget* parent) : QWidget(parent), image_(image) {}

void PictureBox::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawImage(0, 0, image_);
}

} // namespace gauges

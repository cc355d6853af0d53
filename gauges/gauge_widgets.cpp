// SPDX-License-Identifier: GPL-3.0-or-later
#include "gauges/gauge_widgets.h"

#include <QPainter>

namespace gauges {

ChartView::ChartView(const State& state, QWidget* parent) : QWidget(parent), state_(state) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ChartView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    if (ShownColumns > 0) {
        PaintChart(p, width(), height(), state_, Series1Colour, Series2Colour);
    }
}

PictureBox::PictureBox(const QImage& image, QWidget* parent) : QWidget(parent), image_(image) {}

void PictureBox::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawImage(0, 0, image_);
}

} // namespace gauges

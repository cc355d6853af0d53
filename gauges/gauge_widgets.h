// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "gauges/gauges.h"

#include <QColor>
#include <QWidget>

namespace gauges {

// The live chart: two line series drawn from the chart history, newest at x = 1; no axes,
// legend, title or zoom.
class ChartView : public QWidget {
    Q_OBJECT
  public:
    ChartView(const State& state, QWidget* parent);
    QColor Series1Colour{0, 0, 150}; // left channel
    QColor Series2Colour{180, 0, 0}; // right channel
    // Points drawn since the series were last cleared; 0 shows an empty chart.
    int ShownColumns = 0;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    const State& state_;
};

// A picture control: shows an image that the owner draws into, at the widget's top left.
class PictureBox : public QWidget {
    Q_OBJECT
  public:
    PictureBox(const QImage& image, QWidget* parent);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    const QImage& image_;
};

} // namespace gauges

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "gauges/gauges.h"

#include <QColor>
#include <QWidget>

#include <cstdint>

namespace gauges {

// The live chart: two line series drawn from the chart history, newest at x = 1; no axes,
// legend, title or zoom.
class ChartView : public QWidget {
    Q_OBJECT
  public:
    ChartView(const State& state, QWidget* parent);
    QColor Series1Colour{0, 0, 150}; // left channel
    QColor Series2Colour{180, 0, 0}; // right channel

    // Shows the history as it stands now, `columns` points of it (0: an empty chart). When the
    // chart on screen differs from it only by the points pushed since, what is on screen moves
    // right by them and only the columns they change are repainted; otherwise all of it is.
    void ShowHistory(int columns);
    // Points drawn since the series were last cleared; 0 shows an empty chart.
    int ShownColumns() const { return shownColumns_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    const State& state_;
    int shownColumns_ = 0;
    int64_t shownPushes_ = 0; // state_.ChartPushes when last shown
    // Whether the screen, once its pending repaints are done, shows the history at
    // shownPushes_: not when never shown or when painted from a newer history. (A resize
    // repaints the whole widget with the history as it is.)
    bool onScreen_ = false;
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

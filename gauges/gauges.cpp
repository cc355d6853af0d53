// SPDX-License-Identifier: GPL-3.0-or-later
#include "gauges/gauges.h"

#include "gauges/strokes.h"
#include "gauges/window_font.h"

#include <QPainter>
#include <QPoint>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace gauges {

namespace {

// [x1, x2) x [y1, y2) of a gauge bitmap in one colour, clipped to the image. Direct stores: the
// gauges are redrawn on every tick, and a painter's set-up alone cost more than filling a whole
// small gauge.
void FillPixels(QImage& image, int x1, int y1, int x2, int y2, QRgb colour) {
    Q_ASSERT(image.format() == QImage::Format_RGB32); // as LayoutGauges makes the gauges
    x1 = std::max(x1, 0);
    y1 = std::max(y1, 0);
    x2 = std::min(x2, image.width());
    y2 = std::min(y2, image.height());
    for (int y = y1; y < y2; ++y) {
        QRgb* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        std::fill(row + std::min(x1, x2), row + x2, colour);
    }
}

// A caption or scale label; one whose line lies outside `dirty` (when given) is not laid out
// at all, text shaping being the dearest part of a small repaint.
void Text(QPainter& p, int x, int y, const QString& text, const QRegion& dirty) {
    if (!dirty.isEmpty()) {
        const QFontMetrics metrics = p.fontMetrics();
        // Wide enough for any text of that length, even if the font reports no widest glyph.
        const int charWidth = std::max(metrics.maxWidth(), metrics.height());
        if (!dirty.intersects(QRect(x, y, charWidth * int(text.size()), metrics.height()))) {
            return;
        }
    }
    p.setPen(TextColour);
    p.drawText(QRect(x, y, 400, 40), Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, text);
}

QColor Grey(int g) {
    return QColor(g, g, g);
}

// Rings around a display, innermost first, with all four sides.
void FourSidedFrame(QPainter& p, const Area& a) {
    for (int i = 1; i <= 14; ++i) {
        QColor g = Grey(150 + 6 * i);
        HLine(p, a.left - i, a.right + i, a.top - i, g);
        HLine(p, a.left - i, a.right + i, a.bottom + i - 1, g);
        VLine(p, a.left - i, a.top - i, a.bottom + i - 1, g);
        VLine(p, a.right + i, a.top - i, a.bottom + i, g);
    }
}

constexpr TimeScale TimeScales[] = {
    {3, 36, 3, 7, 1, "min"},    {5, 30, 5, 7, 1, "min"},    {10, 40, 10, 7, 1, "min"},
    {15, 30, 3, 9, 5, "min"},   {20, 40, 4, 9, 5, "min"},   {30, 30, 6, 9, 5, "min"},
    {60, 60, 6, 9, 10, "min"},  {120, 48, 4, 6, 30, "min"}, {240, 48, 4, 6, 1, " hr"},
    {600, 40, 10, 6, 1, " hr"},
};

int BarLength(int16_t max, double mean, float levelScale) {
    return Round((max - Round(mean)) * static_cast<double>(levelScale));
}

void Stripes(QPainter& p, int lastColumn, int height, const QColor& colour) {
    for (int x = 1; x <= lastColumn; ++x) {
        if (x % 3 != 0) {
            VLine(p, x, 1, height - 1, colour);
        }
    }
}

int TimeBarColumn(uint32_t newestBlock, float pixelsPerSecond) {
    return Round(static_cast<double>(newestBlock) * pixelsPerSecond / 10);
}

} // namespace

int Round(double value) {
    return static_cast<int>(std::nearbyint(value));
}

void LayoutGauges(State& state, int clientWidth, int imageTimeTop, int chartTop, int chartHeight) {
    Geometry& g = state.geometry;
    g.level = {18, clientWidth - 22, 30, 46};
    g.dc = {250, 344, 80, 96};
    g.time = {18, clientWidth - 22, imageTimeTop, imageTimeTop + 16};
    g.chartLeft = 18;
    g.chartTop = chartTop;
    g.chartWidth = g.level.right - g.level.left + 1;
    g.chartHeight = chartHeight;

    state.LevelScale = static_cast<float>((g.level.right - g.level.left - 2) / 32767.0);
    state.DcScale = static_cast<float>((g.dc.right - g.dc.left) / 3276.7);
    state.ChartScale = static_cast<float>(chartHeight / 32767.0);
    state.ChartColumns = std::min(g.chartWidth, ChartHistoryLength - 1);

    QSize levelSize(g.level.right - g.level.left + 1, g.level.bottom - g.level.top);
    if (state.LevelBitmap.size() != levelSize) {
        state.LevelBitmap = QImage(levelSize, QImage::Format_RGB32);
        FillBackground(state.LevelBitmap);
    }
    QSize dcSize(g.dc.right - g.dc.left + 1, g.dc.bottom - g.dc.top);
    if (state.DcBitmap.size() != dcSize) {
        state.DcBitmap = QImage(dcSize, QImage::Format_RGB32);
        FillBackground(state.DcBitmap);
    }
    QSize timeSize(g.time.right - g.time.left + 1, g.time.bottom - g.time.top + 1);
    if (state.TimePicture.size() != timeSize) {
        state.TimePicture = QImage(timeSize, QImage::Format_RGB32);
        FillBackground(state.TimePicture);
    }
}

void DrawGaugeFrames(QPainter& p, const Geometry& geometry, const QRegion& dirty) {
    const Area& level = geometry.level;
    const Area& dc = geometry.dc;
    const Area& time = geometry.time;
    FourSidedFrame(p, level);
    FourSidedFrame(p, dc);
    const int chartBottom = geometry.chartTop + geometry.chartHeight;
    for (int i = 1; i <= 14; ++i) {
        QColor g = Grey(150 + 6 * i);
        VLine(p, level.left - i, geometry.chartTop, chartBottom - 2, g);
        VLine(p, level.right + i, geometry.chartTop, chartBottom - 2, g);
        // The time gauge's top and bottom belong to DrawTimeGauge.
        VLine(p, time.left - i, time.top - i, time.bottom + i - 1, g);
        VLine(p, time.right + i, time.top - i, time.bottom + i, g);
    }

    p.setFont(WindowFont());
    Text(p, level.left + 160, level.top - 13, "Input Signal Level, %", dirty);
    Text(p, dc.left + 20, dc.top - 13, "DC Offset, %", dirty);

    for (int i = 0; i <= 10; ++i) {
        int x = level.left + i * (level.right - level.left) / 10;
        VLine(p, x, level.bottom, level.bottom + 3, Qt::black);
        Text(p, x - 6, level.bottom + 1, QString::number(i * 10), dirty);
    }
    for (int i = 0; i <= 5; ++i) {
        int x = dc.left + i * (dc.right - dc.left) / 5;
        VLine(p, x, dc.bottom, dc.bottom + 3, Qt::black);
        Text(p, x - 6, dc.bottom + 1, QString::number(i * 2), dirty);
    }
}

const TimeScale* FindTimeScale(int minutes) {
    for (const TimeScale& scale : TimeScales) {
        if (scale.minutes == minutes) {
            return &scale;
        }
    }
    return nullptr;
}

float PixelsPerSecondFor(const Geometry& geometry, int timeScaleMinutes) {
    return static_cast<float>((geometry.time.right - geometry.time.left - 2) /
                              (timeScaleMinutes * 60.0));
}

QString TimeGaugeTitle(int timeScaleMinutes, const QString& modeText) {
    if (timeScaleMinutes == 240 || timeScaleMinutes == 600) {
        return "Time Recorded, hour";
    }
    return "Recording Mode - " + modeText;
}

int TimeTickX(const Geometry& geometry, int d, int n) {
    const int w = geometry.time.right - geometry.time.left;
    return geometry.time.left + Round(static_cast<double>(w) * d / n);
}

std::vector<TimeLabel> TimeGaugeLabels(const Geometry& geometry, int timeScaleMinutes) {
    std::vector<TimeLabel> labels;
    const TimeScale* scale = FindTimeScale(timeScaleMinutes);
    if (scale == nullptr) {
        return labels;
    }
    for (int d = 0; d < scale->labels; ++d) {
        labels.push_back({TimeTickX(geometry, d, scale->labels) - scale->labelShift,
                          QString::number(d * scale->labelStep) + scale->suffix});
    }
    labels.push_back({geometry.time.right - scale->labelShift,
                      QString::number(scale->labels * scale->labelStep)});
    return labels;
}

float DrawTimeGauge(QPainter& p, const Geometry& geometry, int timeScaleMinutes,
                    const QString& modeText, const QRegion& dirty) {
    const Area& a = geometry.time;
    const float pixelsPerSecond = PixelsPerSecondFor(geometry, timeScaleMinutes);

    for (int i = 1; i <= 14; ++i) {
        QColor g = Grey(150 + 6 * i);
        HLine(p, a.left - i, a.right + i, a.top - i, g);
        VLine(p, a.left - i, a.top - i, a.bottom + i - 1, g);
        VLine(p, a.right + i, a.top - i, a.bottom + i, g);
    }
    for (int i = 1; i <= 14; ++i) {
        HLine(p, a.left - i, a.right + i, a.bottom + i - 1, Grey(150 + 5 * i));
    }
    for (int i = 15; i <= 18; ++i) {
        HLine(p, a.left - i + 3, a.right + i, a.bottom + i - 1, Grey(150 + 5 * i));
    }

    p.setFont(WindowFont());
    if (const TimeScale* scale = FindTimeScale(timeScaleMinutes)) {
        for (int d = 0; d <= scale->minorTicks; ++d) {
            VLine(p, TimeTickX(geometry, d, scale->minorTicks), a.bottom, a.bottom + 3, TextColour);
        }
        for (int d = 0; d <= scale->labels; ++d) {
            VLine(p, TimeTickX(geometry, d, scale->labels), a.bottom, a.bottom + 7, TextColour);
        }
        for (const TimeLabel& label : TimeGaugeLabels(geometry, timeScaleMinutes)) {
            Text(p, label.x, a.bottom + 5, label.text, dirty);
        }
    }
    Text(p, a.left + 145, a.top - 13, TimeGaugeTitle(timeScaleMinutes, modeText), dirty);
    return pixelsPerSecond;
}

void FillBackground(QImage& image) {
    if (image.isNull()) {
        return;
    }
    image.fill(BackPen);
    FillPixels(image, 1, 1, image.width() - 1, image.height() - 1, BackBrush.rgb());
}

LevelLook LevelGaugeLook(float levelScale, const LevelReading& reading) {
    return {BarLength(reading.maxL, reading.meanL, levelScale),
            BarLength(reading.maxR, reading.meanR, levelScale), reading.clipHoldL,
            reading.clipHoldR};
}

void DrawLevelGauge(QImage& bitmap, const LevelLook& look) {
    FillBackground(bitmap);
    const int width = bitmap.width();
    const int height = bitmap.height();
    // Pixel by pixel: with a painter call per column of the bars and of the grid, this cost more
    // than the rest of a monitoring tick.
    const auto bars = [&](int g, int top, int bottom) {
        FillPixels(bitmap, 1, top, g, bottom, LevelGreen.rgb());
        // Beyond 71 % of full scale the bar turns from green to orange, column by column.
        for (int x = 300; x <= g; ++x) {
            FillPixels(bitmap, x, top, x + 1, bottom, qRgb(x - 170, 255 - (x - 300) / 2, 0));
        }
    };
    const auto clipMark = [&](int hold, int top, int bottom) {
        if (hold > 0) {
            FillPixels(bitmap, width - 5, top, width, bottom, qRgb(2 * hold + 195, 0, 0));
        }
    };

    bars(look.barL, 1, 7);
    clipMark(look.clipHoldL, 1, 7);
    bars(look.barR, 9, 15);
    const int lines = Round((width - 1) / 3.0) - 2;
    const QRgb grid = BackBrush.rgb();
    for (int y = 0; y < height; ++y) {
        QRgb* row = reinterpret_cast<QRgb*>(bitmap.scanLine(y));
        for (int x = 3; x <= 3 * lines && x < width; x += 3) {
            row[x] = grid;
        }
    }
    // Drawn after the grid, so the grid crosses the left clip mark but not this one.
    clipMark(look.clipHoldR, 9, 15);
}

void DrawLevelGauge(QImage& bitmap, float levelScale, const LevelReading& reading) {
    DrawLevelGauge(bitmap, LevelGaugeLook(levelScale, reading));
}

DcLook DcGaugeLook(int width, float dcScale, double valueL, double valueR) {
    return {std::min(std::abs(Round(static_cast<double>(dcScale) * valueL)), width),
            std::min(std::abs(Round(static_cast<double>(dcScale) * valueR)), width)};
}

void DrawDcGauge(QImage& bitmap, const DcLook& look) {
    FillBackground(bitmap);
    const int width = bitmap.width();
    FillPixels(bitmap, 0, 1, look.barL, 7, DcOrange.rgb());
    FillPixels(bitmap, 0, 9, look.barR, 15, DcOrange.rgb());
    const int lines = Round((width - 1) / 3.0);
    for (int k = 1; k <= lines; ++k) {
        FillPixels(bitmap, 3 * k, 0, 3 * k + 1, bitmap.height(), BackBrush.rgb());
    }
}

void DrawDcGauge(QImage& bitmap, float dcScale, double valueL, double valueR) {
    DrawDcGauge(bitmap, DcGaugeLook(bitmap.width(), dcScale, valueL, valueR));
}

void DrawTimeBar(QImage& picture, uint32_t newestBlock, bool loopWrapped, int halvesPerLoop,
                 float pixelsPerSecond) {
    FillBackground(picture);
    if (newestBlock == 0) {
        return;
    }
    QPainter p(&picture);
    const int height = picture.height();
    if (loopWrapped) {
        // Loop length in blocks times pixels per second overshoots the loop tenfold, so the
        // dark stripes always cover the whole bar.
        const int last = Round(static_cast<double>(halvesPerLoop) * 20 * pixelsPerSecond);
        Stripes(p, std::min(last, picture.width()), height, LoopGreen);
    }
    Stripes(p, std::min(TimeBarColumn(newestBlock, pixelsPerSecond), picture.width()), height,
            PassGreen);
}

int DrawTimeMark(QImage& picture, uint32_t newestBlock, float pixelsPerSecond) {
    const int x = TimeBarColumn(newestBlock, pixelsPerSecond);
    if (x % 3 == 0 || x >= picture.width()) {
        return -1;
    }
    FillPixels(picture, x, 1, x + 1, picture.height() - 1, PassGreen.rgb());
    return x;
}

void ClearChartHistory(State& state) {
    state.ChartHistoryL.fill(0);
    state.ChartHistoryR.fill(0);
    state.ChartPushes += ChartHistoryLength;
}

void PushChartPoint(State& state, int16_t maxL, double meanL, int16_t maxR, double meanR) {
    for (int a = state.ChartColumns; a >= 2; --a) {
        state.ChartHistoryL[a] = state.ChartHistoryL[a - 1];
        state.ChartHistoryR[a] = state.ChartHistoryR[a - 1];
    }
    state.ChartHistoryL[1] = Round((maxL - meanL) * static_cast<double>(state.ChartScale));
    state.ChartHistoryR[1] = Round((maxR - meanR) * static_cast<double>(state.ChartScale));
    ++state.ChartPushes;
}

void PaintChart(QPainter& p, int width, int height, const State& state, const QColor& colourL,
                const QColor& colourR, const QRect& area) {
    const int columns = state.ChartColumns;
    if (columns < 1 || width < 1 || height < 1) {
        return;
    }
    // Point i lies at x = i up to width - 1. A line from point i may put a pixel in column i - 1,
    // and which pixels it draws where it meets the line before depends on that line too (the
    // rasteriser draws no meeting point twice, and fills gaps), so an area needs the points from
    // two before its left to two after its right, measured; reaching the last columns, it needs
    // every point clamped there. The partial lines' own ends then lie outside the area.
    int first = 1;
    int last = columns;
    if (!area.isEmpty()) {
        if (area.right() + 2 < width - 1) {
            last = std::min(area.right() + 2, columns);
        }
        // Never a lone point: an area right of the lines' end still gets the end's cap.
        first = std::clamp(area.left() - 2, 1, std::max(last - 1, 1));
    }
    // Axes run 0..width and 0..height in pixels, y upwards.
    auto row = [height](int y) { return std::clamp(height - 1 - y, 0, height - 1); };
    std::array<QPoint, ChartHistoryLength> points;
    const int count = last - first + 1;
    auto stroke = [&](const std::array<int, ChartHistoryLength>& history, const QColor& colour) {
        for (int i = first; i <= last; ++i) {
            points[i - first] = QPoint(std::min(i, width - 1), row(history[i]));
        }
        p.setPen(QPen(colour, 1));
        p.drawPolyline(points.data(), count);
    };
    p.save();
    if (!area.isEmpty()) {
        p.setClipRect(area, Qt::IntersectClip);
    }
    p.setRenderHint(QPainter::Antialiasing, false);
    stroke(state.ChartHistoryL, colourL);
    stroke(state.ChartHistoryR, colourR);
    p.restore();
}

QImage LevelIconImage(int index) {
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    if (index >= 0 && index <= 16) {
        // A vertical bar gauge, filled from the bottom in sixteenths of full scale.
        p.fillRect(QRect(3, 0, 10, 16), QColor(64, 64, 64));
        p.fillRect(QRect(4, 1, 8, 14), BackBrush);
        const int rows = Round(index * 14 / 16.0);
        for (int r = 0; r < rows; ++r) {
            const int x = 300 + r * 122 / 13; // same green-to-orange run as the level bars
            QColor colour = r < 10 ? LevelGreen : QColor(x - 170, 255 - (x - 300) / 2, 0);
            p.fillRect(QRect(4, 14 - r, 8, 1), colour);
        }
    } else {
        // The application icon: a record button on a navy plate.
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 128));
        p.drawRoundedRect(QRectF(0.5, 0.5, 15, 15), 3, 3);
        p.setBrush(QColor(220, 30, 30));
        p.drawEllipse(QRectF(3.5, 3.5, 9, 9));
    }
    return image;
}

} // namespace gauges

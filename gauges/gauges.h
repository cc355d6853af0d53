// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QImage>
#include <QRegion>
#include <QString>

#include <array>
#include <cstdint>
#include <vector>

class QPainter;

// The main window's four displays: level gauge, DC gauge, live chart and time gauge with its
// bar. Everything paints with QPainter into a QImage or onto a painter the window hands over,
// so the results can be checked pixel by pixel. Coordinates are the main window's client area
// unless a function draws into a bitmap of its own.
namespace gauges {

inline const QColor TextColour{80, 80, 80};
inline const QColor BackPen{128, 128, 128};
inline const QColor BackBrush{144, 160, 160};
inline const QColor LevelGreen{150, 255, 0};
inline const QColor DcOrange{255, 185, 70};
inline const QColor LoopGreen{60, 180, 60};
inline const QColor PassGreen{80, 250, 80};

// One display's area: right and bottom are the last used coordinates, as drawn by the frames.
struct Area {
    int left = 0;
    int right = 0;
    int top = 0;
    int bottom = 0;
};

struct Geometry {
    Area level;
    Area dc;
    Area time;
    int chartLeft = 0;
    int chartTop = 0;
    int chartWidth = 0;
    int chartHeight = 0;
};

constexpr int ChartHistoryLength = 601; // entries 1..ChartColumns used, 1 the newest

// The displays' shared state; one instance lives in the main window.
struct State {
    Geometry geometry;
    float LevelScale = 0;      // pixels per sample unit of the level bars
    float DcScale = 0;         // pixels per sample unit of the DC bars
    float ChartScale = 0;      // chart pixels per sample unit
    float PixelsPerSecond = 0; // of the time bar, for the time scale drawn last
    int ChartColumns = 0;
    std::array<int, ChartHistoryLength> ChartHistoryL{};
    std::array<int, ChartHistoryLength> ChartHistoryR{};
    // Points pushed into the history since start-up. A clear counts as ChartHistoryLength pushes
    // of zero, which is what it amounts to: a view that compares counts sees every point changed.
    int64_t ChartPushes = 0;
    QImage LevelBitmap; // 425 x 16
    QImage DcBitmap;    // 95 x 16
    QImage TimePicture; // the time bar's own picture, 425 x 17
};

// Geometry and scales from the client width, the time bar's top and the chart's height; sizes
// the bitmaps (only when their size changes, so a repaint allocates nothing).
void LayoutGauges(State& state, int clientWidth, int imageTimeTop, int chartTop, int chartHeight);

// Rounds to the nearest integer with halves to even, as every rounding of the displays.
int Round(double value);

// Bevelled frames of the four displays, captions and scales of the level and DC gauges. Text
// outside `dirty` is left out; an empty region draws it all.
void DrawGaugeFrames(QPainter& painter, const Geometry& geometry, const QRegion& dirty = {});

// One row of the time-scale table.
struct TimeScale {
    int minutes;
    int minorTicks; // p
    int labels;     // q
    int labelShift; // s
    int labelStep;  // r
    const char* suffix;
};
// The scale of TimeScaleMinutes `minutes`; nullptr for a value outside the table.
const TimeScale* FindTimeScale(int minutes);

float PixelsPerSecondFor(const Geometry& geometry, int timeScaleMinutes);
QString TimeGaugeTitle(int timeScaleMinutes, const QString& modeText);

struct TimeLabel {
    int x;
    QString text;
};
// The labels under the time gauge, left to right, at their drawing x.
std::vector<TimeLabel> TimeGaugeLabels(const Geometry& geometry, int timeScaleMinutes);
// x of tick d of n.
int TimeTickX(const Geometry& geometry, int d, int n);

// Frame, ticks, labels and title of the time gauge; returns the new PixelsPerSecond. Text
// outside `dirty` is left out; an empty region draws it all.
float DrawTimeGauge(QPainter& painter, const Geometry& geometry, int timeScaleMinutes,
                    const QString& modeText, const QRegion& dirty = {});

// Background of a gauge: outline in BackPen, inside BackBrush.
void FillBackground(QImage& image);

struct LevelReading {
    int16_t maxL = 0;
    int16_t maxR = 0;
    double meanL = 0;
    double meanR = 0;
    int clipHoldL = 0;
    int clipHoldR = 0;
    bool operator==(const LevelReading&) const = default;
};
// What the level gauge shows, in pixels: readings that look alike need no repaint.
struct LevelLook {
    int barL = 0;
    int barR = 0;
    int clipHoldL = 0;
    int clipHoldR = 0;
    bool operator==(const LevelLook&) const = default;
};
LevelLook LevelGaugeLook(float levelScale, const LevelReading& reading);
// Both level bars, their grid and the clip marks, into the level bitmap.
void DrawLevelGauge(QImage& bitmap, const LevelLook& look);
void DrawLevelGauge(QImage& bitmap, float levelScale, const LevelReading& reading);

// What the DC gauge shows: each bar's length in pixels.
struct DcLook {
    int barL = 0;
    int barR = 0;
    bool operator==(const DcLook&) const = default;
};
// The values are sample units, sign ignored; width is the DC bitmap's.
DcLook DcGaugeLook(int width, float dcScale, double valueL, double valueR);
// Both DC bars and their grid, into the DC bitmap.
void DrawDcGauge(QImage& bitmap, const DcLook& look);
void DrawDcGauge(QImage& bitmap, float dcScale, double valueL, double valueR);

// The whole time bar: loop stripes once wrapped, then the current pass.
void DrawTimeBar(QImage& picture, uint32_t newestBlock, bool loopWrapped, int halvesPerLoop,
                 float pixelsPerSecond);
// The one column of the newest block. Returns the column drawn, -1 when the block's column is one
// the grid keeps dark or lies past the bar.
int DrawTimeMark(QImage& picture, uint32_t newestBlock, float pixelsPerSecond);

void ClearChartHistory(State& state);
// Shifts the history one column right and puts the newest block's levels at entry 1.
void PushChartPoint(State& state, int16_t maxL, double meanL, int16_t maxR, double meanR);
// The two series of the live chart, x = 1..columns, y = 0..height upwards, in a widget of
// `width` x `height`; points past width - 1 are all drawn in the last column. With `area` given,
// only the pieces of the lines that can touch it are stroked, clipped to it, and they come out
// as the same pixels there as the whole chart does.
void PaintChart(QPainter& painter, int width, int height, const State& state, const QColor& colourL,
                const QColor& colourR, const QRect& area = {});

// Level icons 0..16 (a bar gauge filled i sixteenths) and the application icon, 17.
constexpr int LevelIconCount = 18;
QImage LevelIconImage(int index);

} // namespace gauges

// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/view_state.h"

#include <algorithm>
#include <cmath>

namespace editor {

int Round(double value) {
    return static_cast<int>(std::nearbyint(value));
}

uint32_t ZoomFactor(const ViewState& v) {
    return ZoomTable[std::clamp(v.ZoomLevel, 1, MaxZoomLevel)];
}

int WaveWidth(const ViewState& v) {
    return v.WaveRight - v.WaveLeft;
}

float OverviewScaleFor(int k, uint32_t fileBlocks) {
    // A window too narrow for any overview pixel keeps the scale of 1 rather than going negative.
    if (fileBlocks == 0 || k < 1 || fileBlocks <= uint32_t(k)) {
        return 1.0f;
    }
    return static_cast<float>(k) / static_cast<float>(fileBlocks);
}

void LayoutView(ViewState& v, int clientWidth, int toolbarHeight, int viewBottom,
                uint32_t fileBlocks) {
    v.ClientWidth = clientWidth;
    v.OverviewLeft = 20;
    v.OverviewRight = clientWidth - 20;
    v.OverviewTop = toolbarHeight + 30;
    v.OverviewBottom = v.OverviewTop + 21;
    v.ViewTop = v.OverviewBottom + 16;
    v.ViewBottom = viewBottom;

    const QSize size(std::max(clientWidth, 0), std::max(viewBottom - v.ViewTop, 0));
    if (v.WaveBitmap.size() != size) {
        v.WaveBitmap = QImage(size, QImage::Format_RGB32);
        v.WaveBitmap.fill(QColor(224, 224, 224));
    }

    v.WaveLeft = 20;
    v.WaveRight = size.width() - 20;
    v.WaveTop = 20;
    v.WaveBottom = size.height() - 25;
    const int d = v.WaveBottom - v.WaveTop;
    v.Ch1Centre = v.WaveTop + d / 4;
    v.Ch2Centre = v.WaveBottom - d / 4;
    v.MidLine = v.WaveTop + d / 2;
    // A full-scale sample spans (d - 8) / 4 pixels: half a channel's share less 2 pixels.
    v.VScale = static_cast<float>(d - 8) / 131068.0f;
    v.OverviewScale = OverviewScaleFor(v.OverviewRight - v.OverviewLeft - 1, fileBlocks);

    v.ColumnSelected.assign(size_t(std::max(WaveWidth(v), 0)) + 1, 0);

    v.ShapePPlay.Top = v.OverviewTop + 1;
    v.ShapePPlay.Height = v.OverviewBottom - v.OverviewTop - 2;
    v.ShapePPlay.Visible = true;
    for (Marker* m : {&v.ShapeSPlay, &v.ShapeSPoint}) {
        m->Top = v.ViewTop + v.WaveTop + 1;
        m->Height = std::max(v.WaveBottom - v.WaveTop - 2, 0);
    }
}

uint64_t ColumnBlock(const ViewState& v, int h) {
    return uint64_t(ZoomFactor(v)) * uint64_t(std::max(h, 0)) + v.ScrollBlock;
}

int64_t BlockAt(const ViewState& v, int x) {
    return int64_t(x - v.WaveLeft) * ZoomFactor(v) + v.ScrollBlock;
}

int WaveX(const ViewState& v, uint32_t block) {
    return Round(double(int64_t(block) - int64_t(v.ScrollBlock)) / ZoomFactor(v)) + v.WaveLeft;
}

int OverviewX(const ViewState& v, uint32_t block) {
    return Round(double(block) * double(v.OverviewScale)) + v.OverviewLeft;
}

bool InWaveArea(const ViewState& v, int x, int y) {
    return x > v.WaveLeft && x < v.WaveRight && y >= v.ViewTop + v.WaveTop &&
           y <= v.ViewTop + v.WaveBottom;
}

ScrollBarSettings UpdateScrollBar(const ViewState& v, uint32_t fileBlocks) {
    ScrollBarSettings bar;
    const int64_t zoom = ZoomFactor(v);
    const int64_t columns = std::max(WaveWidth(v) - 1, 0);
    bar.SmallChange = int(zoom);
    bar.LargeChange = int(10 * zoom);
    // An empty sound has nothing to scroll: the page covers the bar, position 0.
    if (fileBlocks == 0) {
        return bar;
    }
    if (int64_t(fileBlocks) > zoom * columns) {
        bar.PageSize =
            std::max(Round(double(zoom * ScrollBarMax * columns) / double(fileBlocks)), 1);
    }
    bar.Position = Round(double(int64_t(v.ScrollBlock) * ScrollBarMax) / double(fileBlocks));
    bar.Maximum = ScrollBarMax - bar.PageSize;
    return bar;
}

void ScrollToBar(ViewState& v, int position, uint32_t fileBlocks) {
    v.ScrollBlock =
        uint32_t(std::max(Round(double(int64_t(position) * fileBlocks) / double(ScrollBarMax)), 0));
}

bool ZoomIn(ViewState& v) {
    if (v.ZoomLevel <= 1) {
        return false;
    }
    --v.ZoomLevel;
    return true;
}

bool ZoomOut(ViewState& v, uint32_t fileBlocks) {
    const int64_t visibleEnd = int64_t(ZoomFactor(v)) * (WaveWidth(v) - 1) + int64_t(v.ScrollBlock);
    if (v.ZoomLevel >= MaxZoomLevel || visibleEnd >= int64_t(fileBlocks)) {
        return false;
    }
    ++v.ZoomLevel;
    return true;
}

namespace {

// Decimal, at most two characters, a leading "0" below 10.
QString TwoDigits(int64_t value) {
    const QString text = QString::number(value);
    return value < 10 ? "0" + text : text.left(2);
}

} // namespace

QString FormatRulerTime(int64_t blocks) {
    const int64_t n = std::max<int64_t>(blocks, 0);
    const int64_t hours = n / 36000;
    const int64_t minutes = (n - hours * 36000) / 600;
    const int64_t seconds = (n - hours * 36000 - minutes * 600) / 10;
    return TwoDigits(hours) + ":" + TwoDigits(minutes) + ":" + TwoDigits(seconds);
}

QString FormatStatusTime(uint32_t blocks) {
    const uint32_t hours = blocks / 36000;
    uint32_t r = blocks - hours * 36000;
    const uint32_t minutes = r / 600;
    r -= minutes * 600;
    const uint32_t seconds = r / 10;
    const uint32_t tenths = r - seconds * 10;
    return TwoDigits(hours) + ":" + TwoDigits(minutes) + ":" + TwoDigits(seconds) + "." +
           QString::number(tenths);
}

} // namespace editor

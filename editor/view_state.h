// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QString>

#include <array>
#include <cstdint>
#include <vector>

// The editor's waveform view: its state, its geometry and the arithmetic between blocks, pixels
// and the scroll bar. Coordinates are those of the view's widget (the "form"): the overview bar
// sits ToolbarHeight + 30 below its top and the wave bitmap is drawn at (0, ViewTop). Wave-area
// x equals form x, because the bitmap starts at the form's left edge.
namespace editor {

constexpr int MaxZoomLevel = 10;
// Blocks per column at each zoom level; entry 0 is unused so that ZoomTable[ZoomLevel] reads
// straight from the level.
constexpr std::array<uint32_t, MaxZoomLevel + 1> ZoomTable{0,  1,  2,   4,   8,  16,
                                                           32, 64, 128, 256, 512};
// The scroll bar runs over 0..ScrollBarMax whatever the sound's length.
constexpr int ScrollBarMax = 10000;

// Rounds to the nearest integer with halves to even, as every rounding of the view.
int Round(double value);

// SelStart == SelEnd marks a point, not a selection; a reversed pair selects nothing either.
constexpr bool HasSelection(uint32_t selStart, uint32_t selEnd) {
    return selStart < selEnd;
}

// A one-pixel-wide dotted marker laid over the view; Left is its x in form coordinates.
struct Marker {
    bool Visible = false;
    int Left = 0;
    int Top = 0;
    int Height = 0;
};

struct ViewState {
    // Column h of the wave area shows block ScrollBlock + h * zoom factor.
    uint32_t ScrollBlock = 0;
    // 1..MaxZoomLevel; kept when the editor closes, so it reopens at the zoom last used.
    int ZoomLevel = 1;

    // Form geometry (LayoutView).
    int ClientWidth = 0;
    int OverviewLeft = 20;
    int OverviewRight = 0;
    int OverviewTop = 0;
    int OverviewBottom = 0;
    int ViewTop = 0;    // y at which WaveBitmap is drawn
    int ViewBottom = 0; // top of the scroll-bar strip
    // Bitmap geometry: the frame of the wave area and the zero lines.
    int WaveLeft = 20;
    int WaveRight = 0;
    int WaveTop = 20;
    int WaveBottom = 0;
    int Ch1Centre = 0;
    int Ch2Centre = 0;
    int MidLine = 0;
    float VScale = 0;        // pixels per sample unit
    float OverviewScale = 1; // overview pixels per block

    // The wave area and its ruler, drawn off screen and copied to the form in one piece.
    QImage WaveBitmap;
    // Per column 0..W of the wave area: drawn as selected. Sized from the wave area, so any
    // window width is covered; it mirrors the picture only between a press and its release.
    std::vector<uint8_t> ColumnSelected;

    Marker ShapeSPoint; // cursor in the wave area (blue)
    Marker ShapeSPlay;  // play position in the wave area (green)
    Marker ShapePPlay;  // cursor or play position on the overview bar (green)

    // The mouse gesture. Pressed is set by a left press accepted in the wave area and cleared
    // by the left release, so a release only counts as a click inside a gesture that began there.
    bool Pressed = false;
    int DownX = 0;
    int LastMoveX = 0;
    int SelStartX = 0;
    int SelEndX = 0;
};

uint32_t ZoomFactor(const ViewState& v);
// W: the wave area's data columns are 1..W - 1; columns 0 and W are its frame.
int WaveWidth(const ViewState& v);

// Recomputes the geometry from the client width, the toolbar band at the top and the top of
// the scroll-bar strip; resizes WaveBitmap and ColumnSelected and places the markers vertically.
void LayoutView(ViewState& v, int clientWidth, int toolbarHeight, int viewBottom,
                uint32_t fileBlocks);
// Overview pixels per block for k usable pixels: 1.0 when the whole sound fits (also for an
// empty sound), otherwise k / fileBlocks.
float OverviewScaleFor(int k, uint32_t fileBlocks);

// Block shown in column h of the wave area.
uint64_t ColumnBlock(const ViewState& v, int h);
// Block under form x; signed, so a pointer left of the wave area gives a block before the
// visible window (or below 1) instead of wrapping round.
int64_t BlockAt(const ViewState& v, int x);
// Pixel x of block b in the wave area; left of WaveLeft for a block before the visible window.
int WaveX(const ViewState& v, uint32_t block);
// Pixel x of block b on the overview bar.
int OverviewX(const ViewState& v, uint32_t block);
// Strictly between WaveLeft and WaveRight, and between the frame's top and bottom rows.
bool InWaveArea(const ViewState& v, int x, int y);

// Scroll-bar settings for a bar of 0..ScrollBarMax. Maximum is the highest position a bar whose
// page does not count in its range (QScrollBar) must allow: ScrollBarMax - PageSize.
struct ScrollBarSettings {
    int PageSize = ScrollBarMax;
    int Position = 0;
    int SmallChange = 1;
    int LargeChange = 10;
    int Maximum = 0;
};
ScrollBarSettings UpdateScrollBar(const ViewState& v, uint32_t fileBlocks);
// Takes ScrollBlock from a scroll-bar position; the caller redraws.
void ScrollToBar(ViewState& v, int position, uint32_t fileBlocks);

// Zoom In: one level closer, unless at level 1. Zoom Out: one level further, unless at the last
// level or once the visible window reaches the end of the sound. ScrollBlock stays, so the left
// edge keeps its block. Each returns whether the level changed.
bool ZoomIn(ViewState& v);
bool ZoomOut(ViewState& v, uint32_t fileBlocks);

// HH:MM:SS for a count of blocks (ruler labels).
QString FormatRulerTime(int64_t blocks);
// HH:MM:SS.T for a count of blocks (status panels).
QString FormatStatusTime(uint32_t blocks);

} // namespace editor

// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/wave_drawing.h"

#include "gauges/strokes.h"
#include "gauges/window_font.h"
#include "operations/sound_source.h"

#include <QPainter>
#include <QRegion>

#include <algorithm>

namespace editor {

using operations::SoundSource;

namespace {

using gauges::HLine;
using gauges::VLine;

// Rectangle outline with right and bottom edges exclusive.
void Outline(QPainter& p, int x1, int y1, int x2, int y2, const QColor& colour) {
    if (x2 <= x1 || y2 <= y1) {
        return;
    }
    HLine(p, x1, x2, y1, colour);
    HLine(p, x1, x2, y2 - 1, colour);
    VLine(p, x1, y1, y2, colour);
    VLine(p, x2 - 1, y1, y2, colour);
}

// Labels whose line lies outside `dirty` are not laid out at all: a play marker's two columns
// would otherwise cost a whole ruler's text shaping on every tick.
void Labels(QPainter& p, const std::vector<RulerLabel>& labels, const QRegion& dirty) {
    p.setFont(gauges::WindowFont());
    const int lineHeight = p.fontMetrics().height();
    p.setPen(Qt::black);
    p.setBackgroundMode(Qt::OpaqueMode);
    p.setBackground(FormColour);
    for (const RulerLabel& label : labels) {
        const QRect box(label.x, label.y, 200, 40);
        if (dirty.intersects(QRect(label.x, label.y, box.width(), lineHeight))) {
            p.drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, label.text);
        }
    }
    p.setBackgroundMode(Qt::TransparentMode);
}

// Direct pixel access to WaveBitmap: one column costs a few hundred stores, where a painter
// call per stroke would cost more than the whole column.
class Pixels {
  public:
    explicit Pixels(QImage& image)
        : bits_(reinterpret_cast<QRgb*>(image.bits())),
          stride_(image.bytesPerLine() / int(sizeof(QRgb))), width_(image.width()),
          height_(image.height()) {}

    void Set(int x, int y, QRgb colour) {
        if (x >= 0 && x < width_ && y >= 0 && y < height_) {
            bits_[y * stride_ + x] = colour;
        }
    }
    // From y1 towards y2, y2 left out, in either direction; clipped to the image.
    void VLine(int x, int y1, int y2, QRgb colour) {
        if (x < 0 || x >= width_ || y1 == y2) {
            return;
        }
        int top = y1 < y2 ? y1 : y2 + 1;
        int end = y1 < y2 ? y2 : y1 + 1;
        top = std::max(top, 0);
        end = std::min(end, height_);
        for (QRgb* p = bits_ + top * stride_ + x; top < end; ++top, p += stride_) {
            *p = colour;
        }
    }
    void HLine(int x1, int x2, int y, QRgb colour) {
        if (y < 0 || y >= height_) {
            return;
        }
        x1 = std::max(x1, 0);
        x2 = std::min(x2, width_);
        if (x2 > x1) {
            std::fill(bits_ + y * stride_ + x1, bits_ + y * stride_ + x2, colour);
        }
    }

  private:
    QRgb* bits_;
    int stride_;
    int width_;
    int height_;
};

bool ColumnIsSelected(const SoundShown& shown, uint64_t block) {
    const operations::Selection& s = shown.selection;
    return HasSelection(s.SelStart, s.SelEnd) && s.SelStart <= block && block <= s.SelEnd;
}

// What one data column shows: its background, its pen and the rows [top, top + length) of each
// channel's peak line (a line leaves out its end point, in whichever direction it runs).
struct ColumnStroke {
    QRgb back;
    QRgb pen;
    int top1, length1, top2, length2;
};

void LineRows(int y1, int y2, int& top, int& length) {
    top = y1 < y2 ? y1 : y2 + 1;
    length = y1 < y2 ? y2 - y1 : y1 - y2;
}

ColumnStroke StrokeFor(const ViewState& v, const SoundSource& sound, uint32_t block,
                       bool selected) {
    ColumnStroke s{(selected ? SelectedColumnBack : ColumnBack).rgb(),
                   (selected ? SelectedWavePen : WavePen).rgb(),
                   0,
                   0,
                   0,
                   0};
    if (const std::optional<base::BlockPeaks> peaks = sound.Peaks(block)) {
        const double scale = v.VScale;
        LineRows(v.Ch1Centre - Round(peaks->maxL * scale), v.Ch1Centre - Round(peaks->minL * scale),
                 s.top1, s.length1);
        LineRows(v.Ch2Centre - Round(peaks->maxR * scale), v.Ch2Centre - Round(peaks->minR * scale),
                 s.top2, s.length2);
    }
    return s;
}

// The zero-line pixels, drawn over the waveform.
void ZeroLines(const ViewState& v, Pixels& px, int x) {
    const QRgb zero = ZeroLineColour.rgb();
    px.Set(x, v.Ch1Centre, zero);
    px.Set(x, v.Ch2Centre, zero);
    px.Set(x, v.MidLine, MidLineColour.rgb());
    px.Set(x, v.MidLine - 1, zero);
    px.Set(x, v.MidLine + 1, zero);
}

// One data column h, stroke by stroke: background, both channels' lines, zero-line pixels.
void DrawColumn(const ViewState& v, Pixels& px, int h, const ColumnStroke& s) {
    const int x = v.WaveLeft + h;
    px.VLine(x, v.WaveTop + 1, v.WaveBottom, s.back);
    px.VLine(x, s.top1, s.top1 + s.length1, s.pen);
    px.VLine(x, s.top2, s.top2 + s.length2, s.pen);
    ZeroLines(v, px, x);
}

// Columns 1..n at once, row by row, with the same result as DrawColumn on each: a column-wise
// walk touches a new cache line with every pixel and costs several times a full-screen fill.
// The strokes are kept between redraws, so a redraw allocates nothing once the width is known.
struct Strokes {
    std::vector<QRgb> back, pen;
    std::vector<int> top1, length1, top2, length2;
    void Resize(size_t n) {
        for (auto* c : {&back, &pen}) {
            c->resize(n);
        }
        for (auto* c : {&top1, &length1, &top2, &length2}) {
            c->resize(n);
        }
    }
};

void DrawColumns(const ViewState& v, const SoundShown& shown, QImage& image, int n) {
    static Strokes st;
    st.Resize(size_t(n));
    int highest = v.WaveTop + 1, lowest = v.WaveBottom;
    for (int i = 0; i < n; ++i) {
        const uint32_t block = uint32_t(ColumnBlock(v, i + 1));
        const ColumnStroke s = StrokeFor(v, shown.sound, block, ColumnIsSelected(shown, block));
        st.back[i] = s.back, st.pen[i] = s.pen;
        st.top1[i] = s.top1, st.length1[i] = s.length1;
        st.top2[i] = s.top2, st.length2[i] = s.length2;
        if (s.length1) {
            highest = std::min(highest, s.top1);
            lowest = std::max(lowest, s.top1 + s.length1);
        }
        if (s.length2) {
            highest = std::min(highest, s.top2);
            lowest = std::max(lowest, s.top2 + s.length2);
        }
    }
    Pixels px(image);
    if (highest < v.WaveTop + 1 || lowest > v.WaveBottom) {
        // A line reaches past the band, which only a wave area too low for full scale
        // allows: draw stroke by stroke, as a drag would.
        for (int i = 0; i < n; ++i) {
            DrawColumn(v, px, i + 1,
                       ColumnStroke{st.back[i], st.pen[i], st.top1[i], st.length1[i], st.top2[i],
                                    st.length2[i]});
        }
        return;
    }
    const int first = std::max(v.WaveTop + 1, 0);
    const int end = std::min(v.WaveBottom, image.height());
    const int x0 = v.WaveLeft + 1;
    n = std::min(n, image.width() - x0);
    const QRgb* back = st.back.data();
    const QRgb* pen = st.pen.data();
    const int* top1 = st.top1.data();
    const int* length1 = st.length1.data();
    const int* top2 = st.top2.data();
    const int* length2 = st.length2.data();
    for (int y = first; y < end; ++y) {
        QRgb* row = reinterpret_cast<QRgb*>(image.scanLine(y)) + x0;
        for (int i = 0; i < n; ++i) {
            const bool onLine = unsigned(y - top1[i]) < unsigned(length1[i]) ||
                                unsigned(y - top2[i]) < unsigned(length2[i]);
            row[i] = onLine ? pen[i] : back[i];
        }
    }
    for (int i = 0; i < n; ++i) {
        ZeroLines(v, px, x0 + i);
    }
}

void PlaceCursorMarkers(ViewState& v, const SoundShown& shown) {
    const uint32_t cursor = shown.selection.CursorBlock;
    v.ShapePPlay.Left = OverviewX(v, cursor);
    const int x = WaveX(v, cursor);
    v.ShapeSPoint.Visible = v.WaveLeft < x && x < v.WaveRight;
    v.ShapeSPoint.Left = x;
}

} // namespace

std::vector<RulerLabel> OverviewRulerLabels(const ViewState& v) {
    std::vector<RulerLabel> labels;
    const int w = v.OverviewRight - v.OverviewLeft;
    for (int i = 0; i <= 9; ++i) {
        const int x = Round(double(w) * i / 10);
        labels.push_back({v.OverviewLeft + x, v.OverviewTop - 25,
                          FormatRulerTime(Round(x / double(v.OverviewScale)))});
    }
    return labels;
}

std::vector<RulerLabel> TimeRulerLabels(const ViewState& v) {
    std::vector<RulerLabel> labels;
    const int64_t zoom = ZoomFactor(v);
    const int64_t first = Round(double(v.ScrollBlock) / double(zoom));
    for (int i = 0; i < WaveWidth(v); ++i) {
        const int64_t e = first + i;
        if (e % 100 == 0) {
            labels.push_back({v.WaveLeft + i, v.WaveBottom + 10, FormatRulerTime(zoom * e)});
        }
    }
    return labels;
}

void ClearTopBand(QPainter& p, const ViewState& v) {
    if (v.ClientWidth > 0 && v.OverviewBottom > 0) {
        p.fillRect(QRect(0, 0, v.ClientWidth, v.OverviewBottom), FormColour);
    }
}

void DrawOverview(QPainter& p, const ViewState& v, const SoundShown& shown) {
    const operations::Selection& s = shown.selection;
    const int left = v.OverviewLeft;
    const int top = v.OverviewTop;
    const int bottom = v.OverviewBottom;
    if (v.OverviewRight > left && bottom > top) {
        p.fillRect(QRect(left, top, v.OverviewRight - left, bottom - top), FormColour);
    }
    Outline(p, left, top, v.OverviewRight, bottom, Qt::black);

    const double scale = v.OverviewScale;
    const int m = Round((bottom - top) / 2.0) + top;
    const int length = Round(double(shown.sound.Blocks()) * scale);
    for (int i = -3; i <= 3; ++i) {
        HLine(p, left, left + length, m + i, LengthBarColour);
    }

    if (HasSelection(s.SelStart, s.SelEnd)) {
        const int x1 = std::min(OverviewX(v, s.SelStart), v.WaveRight);
        const int x2 = std::min(OverviewX(v, s.SelEnd), v.WaveRight);
        for (int i = -5; i <= 5; ++i) {
            HLine(p, x1, x2, m + i, SelectionBarColour);
        }
    }

    // The part of the sound the wave area shows.
    const int64_t last = int64_t(ZoomFactor(v)) * (WaveWidth(v) - 1) + int64_t(v.ScrollBlock);
    int x1 = Round(double(v.ScrollBlock) * scale) + left;
    int x2 = Round(double(last) * scale) + left;
    x1 = x1 >= v.OverviewRight ? v.OverviewRight - 1 : x1;
    x2 = x2 >= v.OverviewRight ? v.OverviewRight - 1 : x2;
    Outline(p, x1, top + 2, x2, bottom - 2, FrameMarkColour);
}

void DrawOverviewRuler(QPainter& p, const ViewState& v, const QRegion& dirty) {
    // The ruler lies above the overview, its ticks reaching down to the overview's top line: a
    // repaint inside the overview (the moving play marker) leaves it alone.
    if (!dirty.intersects(QRect(0, 0, std::max(v.ClientWidth, 1), v.OverviewTop + 1))) {
        return;
    }
    const int w = v.OverviewRight - v.OverviewLeft;
    const QRect box = dirty.boundingRect();
    // Only the ticks in the columns being repainted.
    const auto tick = [&](int x, int length) {
        if (x >= box.left() && x <= box.right()) {
            VLine(p, x, v.OverviewTop, v.OverviewTop - length, Qt::black);
        }
    };
    for (int i = 0; i <= 100; ++i) {
        tick(v.OverviewLeft + Round(double(w) * i / 100), 4);
    }
    for (int i = 0; i <= 9; ++i) {
        tick(v.OverviewLeft + Round(double(w) * i / 10), 10);
    }
    Labels(p, OverviewRulerLabels(v), dirty);
}

void DrawTimeRuler(ViewState& v) {
    if (v.WaveBitmap.isNull()) {
        return;
    }
    Pixels px(v.WaveBitmap);
    const int64_t first = Round(double(v.ScrollBlock) / double(ZoomFactor(v)));
    for (int i = 0; i < WaveWidth(v); ++i) {
        const int64_t e = first + i;
        const int x = v.WaveLeft + i;
        if (e % 100 == 0) {
            px.VLine(x, v.WaveBottom, v.WaveBottom + 10, qRgb(0, 0, 0));
        } else if (e % 10 == 0) {
            px.VLine(x, v.WaveBottom, v.WaveBottom + 4, MinorTickColour.rgb());
        }
    }
    const std::vector<RulerLabel> labels = TimeRulerLabels(v);
    if (!labels.empty()) {
        QPainter p(&v.WaveBitmap);
        Labels(p, labels, QRegion(v.WaveBitmap.rect()));
    }
}

std::vector<uint32_t> DropoutPositions(const operations::Level& level,
                                       const std::vector<record::DropoutMark>& marks) {
    std::vector<uint32_t> positions;
    for (const record::DropoutMark& mark : marks) {
        for (int i = 0; i < level.SegmentCount; ++i) {
            const operations::Segment& s = level.Segments[size_t(i)];
            if (s.fromRecording && mark.block >= s.offset && mark.block - s.offset < s.length) {
                positions.push_back(s.start + (mark.block - s.offset));
            }
        }
    }
    return positions;
}

// A red line over the whole height of the column that holds the block, above the wave.
static void DrawDropoutMarks(const ViewState& v, Pixels& px, const SoundShown& shown) {
    const uint64_t zoom = ZoomFactor(v);
    for (const uint32_t block : shown.dropouts) {
        if (block < v.ScrollBlock || block > shown.sound.Blocks()) {
            continue;
        }
        const uint64_t h = (block - v.ScrollBlock) / zoom;
        if (h >= 1 && h < uint64_t(std::max(WaveWidth(v), 0))) {
            px.VLine(v.WaveLeft + int(h), v.WaveTop + 1, v.WaveBottom, DropoutMarkColour.rgb());
        }
    }
}

void DrawWave(ViewState& v, const SoundShown& sound) {
    if (!v.WaveBitmap.isNull()) {
        v.WaveBitmap.fill(FormColour);
        Pixels px(v.WaveBitmap);
        const QRgb black = qRgb(0, 0, 0);
        px.VLine(v.WaveLeft, v.WaveTop, v.WaveBottom, black);
        px.HLine(v.WaveLeft, v.WaveRight, v.WaveBottom, black);
        px.VLine(v.WaveRight, v.WaveBottom, v.WaveTop, black);
        px.HLine(v.WaveLeft + 1, v.WaveRight + 1, v.WaveTop, black);
        DrawTimeRuler(v);

        // Columns up to the end of the sound; the rest of the area stays empty.
        const uint64_t zoom = ZoomFactor(v);
        const uint64_t fileBlocks = sound.sound.Blocks();
        const uint64_t shown =
            fileBlocks < v.ScrollBlock + zoom ? 0 : (fileBlocks - v.ScrollBlock) / zoom;
        DrawColumns(v, sound, v.WaveBitmap,
                    int(std::min<uint64_t>(shown, std::max(WaveWidth(v) - 1, 0))));
        DrawDropoutMarks(v, px, sound);
    }
    PlaceCursorMarkers(v, sound);
}

void MarkSelectedColumns(ViewState& v, const SoundShown& shown) {
    std::fill(v.ColumnSelected.begin(), v.ColumnSelected.end(), 0);
    const int columns = std::min<int>(WaveWidth(v), int(v.ColumnSelected.size()));
    for (int h = 1; h < columns; ++h) {
        v.ColumnSelected[h] = ColumnIsSelected(shown, ColumnBlock(v, h)) ? 1 : 0;
    }
}

void RedrawChangedColumns(ViewState& v, const SoundShown& shown) {
    if (v.WaveBitmap.isNull()) {
        return;
    }
    Pixels px(v.WaveBitmap);
    const uint32_t fileBlocks = shown.sound.Blocks();
    const int columns = std::min<int>(WaveWidth(v), int(v.ColumnSelected.size()));
    for (int h = 1; h < columns; ++h) {
        const uint64_t block = ColumnBlock(v, h);
        const bool selected = ColumnIsSelected(shown, block);
        if (selected != bool(v.ColumnSelected[h])) {
            v.ColumnSelected[h] = selected ? 1 : 0;
            if (block <= fileBlocks) {
                DrawColumn(v, px, h, StrokeFor(v, shown.sound, uint32_t(block), selected));
            }
        }
    }
    DrawDropoutMarks(v, px, shown);
}

void ShowPlayPosition(ViewState& v, bool playing, uint32_t playBlock) {
    if (!playing) {
        v.ShapeSPlay.Visible = false;
        return;
    }
    v.ShapePPlay.Left = OverviewX(v, playBlock);
    const int x = WaveX(v, playBlock);
    v.ShapeSPlay.Visible = v.WaveLeft < x && x < v.WaveRight;
    v.ShapeSPlay.Left = x;
}

void PaintMarkers(QPainter& p, const ViewState& v, const QRegion& dirty) {
    const struct {
        const Marker& marker;
        const QColor& colour;
    } markers[] = {{v.ShapeSPoint, CursorMarkColour},
                   {v.ShapeSPlay, PlayMarkColour},
                   {v.ShapePPlay, PlayMarkColour}};
    // Dotted: the pen's colour on every other row from the top, white between. One fill and one
    // call for all the dots: a painter call per row cost more than the rest of the repaint.
    std::vector<QPoint> dots;
    for (const auto& [marker, colour] : markers) {
        if (!marker.Visible || marker.Height <= 0 ||
            !dirty.intersects(QRect(marker.Left, marker.Top, 1, marker.Height))) {
            continue;
        }
        p.fillRect(QRect(marker.Left, marker.Top, 1, marker.Height), Qt::white);
        dots.clear();
        for (int r = 0; r < marker.Height; r += 2) {
            dots.emplace_back(marker.Left, marker.Top + r);
        }
        p.setPen(QPen(colour, 0));
        p.drawPoints(dots.data(), int(dots.size()));
    }
}

void PaintForm(QPainter& p, const ViewState& v, const SoundShown& shown, const QRegion& dirty) {
    // The band above the wave (overview and its ruler) only where it needs repainting.
    if (dirty.intersects(QRect(0, 0, std::max(v.ClientWidth, 1), std::max(v.ViewTop, 1)))) {
        ClearTopBand(p, v);
        if (v.ViewTop > v.OverviewBottom) {
            p.fillRect(QRect(0, v.OverviewBottom, v.ClientWidth, v.ViewTop - v.OverviewBottom),
                       FormColour);
        }
        DrawOverview(p, v, shown);
        DrawOverviewRuler(p, v, dirty);
    }
    p.drawImage(QPoint(0, v.ViewTop), v.WaveBitmap);
    PaintMarkers(p, v, dirty);
}

} // namespace editor

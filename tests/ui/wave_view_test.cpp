// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/event_pump.h"
#include "base/file_system.h"
#include "editor/selection.h"
#include "editor/view_state.h"
#include "editor/wave_drawing.h"
#include "editor/wave_widget.h"
#include "operations/editor.h"
#include "support/editor_probe.h"
#include "support/temp_dir.h"

#include <QApplication>
#include <QDir>
#include <QMouseEvent>
#include <QPainter>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

namespace {

using namespace editor;

std::string Rgb(QRgb c) {
    return "(" + std::to_string(qRed(c)) + "," + std::to_string(qGreen(c)) + "," +
           std::to_string(qBlue(c)) + ")";
}

#define EXPECT_PIXEL(image, x, y, colour)                                                          \
    EXPECT_EQ(Rgb((image).pixel((x), (y))), Rgb(QColor(colour).rgb()))                             \
        << "at (" << (x) << ", " << (y) << ")"

// A view 600 x 412: overview at 30..51, wave bitmap at y 67, 600 x 345, wave area 20..580 x
// 20..320 (d = 300), zero lines at 95 and 245, channel separator at 170; column h shows block
// h at zoom 1, pixel x = block + 20.
class WaveView : public ::testing::Test {
  protected:
    void SetUp() override { Build(100); }

    // An editor over a take of `blocks` blocks, drawn from its peak tables alone (the take's file
    // is never read); every block peaks at +-8000 left and +-4000 right. Selection 11..20,
    // cursor 1.
    void Build(uint32_t blocks, int zoom = 1, int width = 600) {
        editor.reset();
        for (auto* table : {&maxL, &minL, &maxR, &minR}) {
            table->assign(size_t(blocks) + 1, 0);
        }
        for (uint32_t b = 1; b <= blocks; ++b) {
            maxL[b] = 8000, minL[b] = -8000, maxR[b] = 4000, minR[b] = -4000;
        }
        editor = std::make_unique<operations::Editor>(
            operations::TakeView{
                take, {maxL.data(), minL.data(), maxR.data(), minR.data()}, blocks, blocks, false},
            operations::WorkPaths{dir.file("Edit.raw"), dir.file("Clp.raw")}, files, pump);
        editor->Select({11, 20, 1});
        view = ViewState{};
        view.ZoomLevel = zoom;
        LayoutView(view, width, 0, 412, blocks);
    }

    QImage Form() {
        QImage form(view.ClientWidth, view.ViewBottom, QImage::Format_RGB32);
        QPainter p(&form);
        PaintForm(p, view, Shown(), QRegion(form.rect()));
        return form;
    }

    SoundShown Shown() const { return {*editor, editor->CurrentSelection()}; }
    const operations::Selection& Marks() const { return editor->CurrentSelection(); }
    // A new selection; the cursor stays.
    void Mark(uint32_t start, uint32_t end) {
        editor->Select({start, end, editor->CurrentSelection().CursorBlock});
    }
    // A mouse function's result, its selection passed to the editor as the widget does.
    MouseAction Apply(const MouseAction& action) {
        editor->Select(action.selection);
        return action;
    }

    testsupport::TempDir dir;
    base::SystemFileSystem files;
    base::IdleEventPump pump;
    base::RawFile take; // never opened: the view reads peaks only
    std::vector<int16_t> maxL, minL, maxR, minR;
    std::unique_ptr<operations::Editor> editor;
    ViewState view;
};

TEST(ViewFormats, RulerAndStatusTimes) {
    const std::pair<int64_t, const char*> ruler[] = {
        {0, "00:00:00"}, {100, "00:00:10"}, {36600, "01:01:00"}, {359999, "09:59:59"}};
    for (const auto& [n, text] : ruler) {
        EXPECT_EQ(FormatRulerTime(n).toStdString(), text) << n;
    }
    const std::pair<uint32_t, const char*> status[] = {
        {0, "00:00:00.0"}, {36011, "01:00:01.1"}, {10, "00:00:01.0"}, {359999, "09:59:59.9"}};
    for (const auto& [n, text] : status) {
        EXPECT_EQ(FormatStatusTime(n).toStdString(), text) << n;
    }
}

TEST_F(WaveView, ColumnsShowPeaksInSelectedAndUnselectedColours) {
    maxL[1] = 32767, minL[1] = -32768; // full scale: 73 pixels each way at d = 300
    maxL[2] = minL[2] = 500;           // equal peaks: no line, only the zero-line pixels
    DrawWave(view, Shown());
    const QImage& img = view.WaveBitmap;
    struct Row {
        int y;
        QColor unselected, selected;
    };
    // Block 5 (x 25) and block 15 (x 35, selected): +-8000 is 18 pixels, +-4000 is 9.
    const Row rows[] = {
        {76, ColumnBack, SelectedColumnBack},  {77, WavePen, SelectedWavePen},
        {95, ZeroLineColour, ZeroLineColour},  {112, WavePen, SelectedWavePen},
        {113, ColumnBack, SelectedColumnBack}, {169, ZeroLineColour, ZeroLineColour},
        {170, MidLineColour, MidLineColour},   {171, ZeroLineColour, ZeroLineColour},
        {236, WavePen, SelectedWavePen},       {253, WavePen, SelectedWavePen},
        {254, ColumnBack, SelectedColumnBack}, {21, ColumnBack, SelectedColumnBack},
        {319, ColumnBack, SelectedColumnBack}};
    for (const Row& r : rows) {
        EXPECT_PIXEL(img, 25, r.y, r.unselected);
        EXPECT_PIXEL(img, 35, r.y, r.selected);
    }
    EXPECT_PIXEL(img, 30, 77, WavePen);         // block 10, before the selection
    EXPECT_PIXEL(img, 40, 77, SelectedWavePen); // block 20, its last block
    EXPECT_PIXEL(img, 41, 77, WavePen);
    EXPECT_PIXEL(img, 21, 22, WavePen); // full scale: rows 22..167, the end pixel left out
    EXPECT_PIXEL(img, 21, 21, ColumnBack);
    EXPECT_PIXEL(img, 21, 167, WavePen);
    EXPECT_PIXEL(img, 21, 168, ColumnBack);
    EXPECT_PIXEL(img, 22, 94, ColumnBack);
    EXPECT_PIXEL(img, 22, 95, ZeroLineColour);
    // After the end of the sound the area stays in the form's colour; the frame is black.
    EXPECT_PIXEL(img, 121, 95, FormColour);
    EXPECT_PIXEL(img, 579, 200, FormColour);
    for (const QPoint& p : {QPoint(20, 20), QPoint(20, 200), QPoint(300, 20), QPoint(580, 20),
                            QPoint(580, 320), QPoint(121, 320)}) {
        EXPECT_PIXEL(img, p.x(), p.y(), Qt::black);
    }
}

// A drag redraws single columns; the release redraws the whole area row by row. Both must
// leave the same picture.
TEST_F(WaveView, ChangedColumnsMatchAFullRedraw) {
    maxL[30] = 32767, minL[30] = -32768, maxR[31] = minR[31] = 0;
    // The last height leaves no row between the frame lines, so the lines stick out of it.
    for (auto [viewBottom, from, to] : {std::tuple{412, 11u, 40u}, std::tuple{412, 25u, 35u},
                                        std::tuple{412, 1u, 1u}, std::tuple{112, 11u, 40u}}) {
        LayoutView(view, 600, 0, viewBottom, editor->Blocks());
        DrawWave(view, Shown());
        MarkSelectedColumns(view, Shown());
        Mark(from, to);
        RedrawChangedColumns(view, Shown());
        const QImage dragged = view.WaveBitmap.copy();
        DrawWave(view, Shown());
        EXPECT_TRUE(dragged == view.WaveBitmap) << viewBottom << ": " << from << ".." << to;
    }
}

TEST_F(WaveView, ColumnsFollowTheEditListIntoTheEditFile) {
    operations::State& state = operations::EditorProbe::Of(*editor);
    state.EditPeakMaxL = {0, 16000, 16000};
    state.EditPeakMinL = {0, 0, 0};
    state.EditPeakMaxR = state.EditPeakMinR = {0, 0, 0};
    operations::Level& level = state.Levels[0];
    level.Segments[0] = {1, 50, 1, 1};
    level.Segments[1] = {51, 2, 1, 0};
    level.Segments[2] = {53, 48, 53, 1};
    level.SegmentCount = 3;
    DrawWave(view, Shown());
    EXPECT_PIXEL(view.WaveBitmap, 71, 59, WavePen); // block 51: 16000 is 36 pixels up
    EXPECT_PIXEL(view.WaveBitmap, 71, 58, ColumnBack);
    EXPECT_PIXEL(view.WaveBitmap, 71, 100, ColumnBack); // nothing below zero
    EXPECT_PIXEL(view.WaveBitmap, 73, 77, WavePen);     // block 53, recording again
}

// A dropout belongs to its recording-file block: the mark follows what the edit list plays.
struct MarkCase {
    const char* name;
    std::vector<operations::Segment> segments;
    std::vector<uint32_t> marks;     // recording-file blocks
    std::vector<uint32_t> positions; // where the sound shows them
};

class DropoutMarks : public WaveView, public ::testing::WithParamInterface<MarkCase> {};

TEST_P(DropoutMarks, FollowTheEditListAndDrawRedOverTheWave) {
    const MarkCase& c = GetParam();
    operations::Level& level = operations::EditorProbe::Of(*editor).Levels[0];
    level.SegmentCount = int16_t(c.segments.size());
    std::copy(c.segments.begin(), c.segments.end(), level.Segments.begin());
    std::vector<record::DropoutMark> marks;
    for (uint32_t block : c.marks) {
        marks.push_back({block, 80, block});
    }
    SoundShown shown = Shown();
    shown.dropouts = DropoutPositions(level, marks);
    EXPECT_EQ(shown.dropouts, c.positions);
    DrawWave(view, shown);
    for (uint32_t b = 1; b <= 100; ++b) { // at zoom 1 block b is column x = b + 20
        const bool marked = std::count(c.positions.begin(), c.positions.end(), b) > 0;
        const QRgb pixel = view.WaveBitmap.pixel(int(b) + 20, 200);
        EXPECT_EQ(pixel == DropoutMarkColour.rgb(), marked) << "block " << b;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Edits, DropoutMarks,
    ::testing::Values(
        MarkCase{"AsRecorded", {{1, 100, 1, 1}}, {30, 99}, {30, 99}},
        MarkCase{
            "CopiedShowsTwice", {{1, 40, 1, 1}, {41, 20, 21, 1}, {61, 40, 41, 1}}, {30}, {30, 50}},
        MarkCase{"DeletedShowsNone", {{1, 20, 1, 1}, {21, 70, 31, 1}}, {25, 40}, {30}},
        MarkCase{
            "EffectRewroteIt", {{1, 50, 1, 1}, {51, 2, 1, 0}, {53, 48, 53, 1}}, {51, 60}, {60}},
        MarkCase{
            "WrappedRingPlaysFromTheMiddle", {{1, 70, 31, 1}, {71, 30, 1, 1}}, {35, 5}, {5, 75}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WaveView, TimeRulerTicksAndLabelsAtZoomOneAndTen) {
    DrawWave(view, Shown());
    const QImage& img = view.WaveBitmap;
    EXPECT_PIXEL(img, 30, 323, MinorTickColour); // every 10 columns, 4 pixels
    EXPECT_PIXEL(img, 30, 324, FormColour);
    EXPECT_PIXEL(img, 120, 329, Qt::black); // every 100 columns, 10 pixels and a label
    EXPECT_PIXEL(img, 125, 329, FormColour);
    std::vector<RulerLabel> labels = TimeRulerLabels(view);
    ASSERT_EQ(labels.size(), 6u);
    EXPECT_EQ(labels[1].x, 120);
    EXPECT_EQ(labels[1].y, 330);
    EXPECT_EQ(labels[5].text.toStdString(), "00:00:50");

    Build(360000, 10);
    view.ScrollBlock = 512 * 50; // the window starts half-way between two labels
    DrawWave(view, Shown());
    labels = TimeRulerLabels(view);
    ASSERT_EQ(labels.size(), 6u); // columns 50, 150, ... 550
    EXPECT_EQ(labels[0].x, 70);
    EXPECT_EQ(labels[0].text.toStdString(), "01:25:20");
    EXPECT_EQ(labels[1].text.toStdString(), "02:50:40");
    EXPECT_PIXEL(view.WaveBitmap, 70, 329, Qt::black);
    EXPECT_PIXEL(view.WaveBitmap, 20, 329, FormColour);
    int ink = 0; // the label is drawn: dark pixels under its tick
    for (int x = 70; x < 130; ++x) {
        for (int y = 330; y < 345; ++y) {
            ink += qGray(view.WaveBitmap.pixel(x, y)) < 100;
        }
    }
    EXPECT_GT(ink, 20);
}

TEST_F(WaveView, OverviewBarShowsLengthSelectionAndVisibleWindow) {
    DrawWave(view, Shown());
    QImage form = Form();
    EXPECT_PIXEL(form, 300, 30, Qt::black); // outline 20..579 x 30..50
    EXPECT_PIXEL(form, 300, 50, Qt::black);
    EXPECT_PIXEL(form, 579, 45, Qt::black);
    EXPECT_PIXEL(form, 60, 37, LengthBarColour); // 100 blocks: 100 pixels, rows 37..43
    EXPECT_PIXEL(form, 60, 36, FormColour);
    EXPECT_PIXEL(form, 119, 43, LengthBarColour);
    EXPECT_PIXEL(form, 120, 40, FormColour);
    EXPECT_PIXEL(form, 31, 35, SelectionBarColour); // blocks 11..20: x 31..39, rows 35..45
    EXPECT_PIXEL(form, 39, 45, SelectionBarColour);
    EXPECT_PIXEL(form, 40, 35, FormColour);
    EXPECT_PIXEL(form, 26, 27, Qt::black); // small ruler tick, rows 27..30
    EXPECT_PIXEL(form, 26, 26, FormColour);
    EXPECT_PIXEL(form, 76, 21, Qt::black); // labelled tick, rows 21..30
    EXPECT_EQ(OverviewRulerLabels(view)[1].text.toStdString(), "00:00:05");

    // 10000 blocks on 559 pixels; blocks 2000..2559 visible: frame columns 132 and 162.
    Build(10000);
    view.ScrollBlock = 2000;
    DrawWave(view, Shown());
    form = Form();
    for (int y = 32; y <= 48; ++y) {
        EXPECT_PIXEL(form, 132, y, FrameMarkColour);
        EXPECT_PIXEL(form, 162, y, FrameMarkColour);
    }
    EXPECT_PIXEL(form, 147, 32, FrameMarkColour);
    EXPECT_PIXEL(form, 147, 48, FrameMarkColour);
    EXPECT_PIXEL(form, 163, 33, FormColour);
    EXPECT_PIXEL(form, 147, 40, LengthBarColour);
    EXPECT_PIXEL(form, 578, 40, LengthBarColour);
}

// A repaint of part of the form, as a moving play marker asks for, gives there exactly what the
// whole form's paint gives: the parts it skips (the band above the wave, ruler ticks and labels
// outside it) lie wholly outside the part repainted.
TEST_F(WaveView, APartialRepaintMatchesTheWholePaintWithinIt) {
    DrawWave(view, Shown());
    ShowPlayPosition(view, true, 50);
    const QImage whole = Form();
    const int x = view.ShapePPlay.Left;
    const QRegion parts[] = {
        QRect(x, 0, 1, view.ViewBottom),                       // a column through everything
        QRect(x - 1, view.OverviewTop - 12, 3, 30),            // the overview's marker and ticks
        QRect(view.OverviewLeft, 0, 60, view.OverviewTop),     // ruler labels
        QRect(view.OverviewLeft, view.OverviewTop - 1, 40, 1), // the last row of the ruler's ticks
        QRect(x, view.ShapePPlay.Top, 1, view.ShapePPlay.Height), // the overview's marker alone
        QRegion(QRect(x, view.ViewTop, 1, 50)) + QRect(x + 40, 2, 1, view.ViewTop), // two parts
        QRect(0, view.ViewTop + 5, view.ClientWidth, 20),      // the wave only
    };
    for (const QRegion& dirty : parts) {
        QImage part(whole.size(), QImage::Format_RGB32);
        part.fill(Qt::magenta);
        {
            QPainter p(&part);
            p.setClipRegion(dirty);
            PaintForm(p, view, Shown(), dirty);
        }
        for (const QRect& r : dirty) {
            for (int py = r.top(); py <= r.bottom(); ++py) {
                for (int px = r.left(); px <= r.right(); ++px) {
                    ASSERT_EQ(part.pixel(px, py), whole.pixel(px, py))
                        << "at " << px << "," << py << " of a repaint of "
                        << dirty.boundingRect().x() << "," << dirty.boundingRect().y() << " "
                        << dirty.boundingRect().width() << "x" << dirty.boundingRect().height();
                }
            }
        }
    }
}

TEST_F(WaveView, PlayLineAndCursorMarkers) {
    DrawWave(view, Shown());
    ShowPlayPosition(view, true, 50);
    QImage form = Form();
    EXPECT_PIXEL(form, 70, 88, PlayMarkColour); // wave area from y 67 + 21, dotted
    EXPECT_PIXEL(form, 70, 89, Qt::white);
    EXPECT_PIXEL(form, 70, 90, PlayMarkColour);
    EXPECT_PIXEL(form, 70, 31, PlayMarkColour); // overview, 19 rows from 31
    EXPECT_PIXEL(form, 70, 49, PlayMarkColour);
    EXPECT_PIXEL(form, 21, 88, CursorMarkColour);
    // Out of the visible window, or exactly on its frame, the wave area's play line hides.
    const std::pair<uint32_t, uint32_t> hidden[] = {{0, 0}, {50, 50}, {0, 560}, {0, 700}};
    for (const auto& [scroll, block] : hidden) {
        view.ScrollBlock = scroll;
        ShowPlayPosition(view, true, block);
        EXPECT_FALSE(view.ShapeSPlay.Visible) << scroll << " " << block;
    }
    ShowPlayPosition(view, true, 40);
    ShowPlayPosition(view, false, 40);
    EXPECT_FALSE(view.ShapeSPlay.Visible);
}

TEST_F(WaveView, StatusPanelsShowStartEndAndLength) {
    auto panels = UpdateSelectionStatus(Marks());
    EXPECT_EQ(panels[0].toStdString(), "Start - 00:00:01.0");
    EXPECT_EQ(panels[1].toStdString(), "End - 00:00:02.0");
    EXPECT_EQ(panels[2].toStdString(), "Length - 00:00:01.0");
    Mark(1, 1);
    panels = UpdateSelectionStatus(Marks());
    EXPECT_EQ(panels[0].toStdString(), "Start - 00:00:00.0");
    EXPECT_EQ(panels[1].toStdString(), "End - ");
    EXPECT_EQ(panels[2].toStdString(), "Length - ");
}

TEST_F(WaveView, ScrollBarAndZoomRules) {
    Build(10000);
    view.ScrollBlock = 2000;
    ScrollBarSettings bar = UpdateScrollBar(view, editor->Blocks());
    EXPECT_EQ(bar.PageSize, 559); // 559 of 10000 blocks visible
    EXPECT_EQ(bar.Position, 2000);
    EXPECT_EQ(bar.Maximum, 10000 - 559);
    ScrollToBar(view, 5000, editor->Blocks());
    EXPECT_EQ(view.ScrollBlock, 5000u);
    EXPECT_FALSE(ZoomIn(view));
    for (int level = 2; level <= 5; ++level) {
        EXPECT_TRUE(ZoomOut(view, editor->Blocks())) << level;
    }
    // 16 x 559 from block 5000 reaches past 10000: no further.
    EXPECT_FALSE(ZoomOut(view, editor->Blocks()));
    bar = UpdateScrollBar(view, editor->Blocks());
    EXPECT_EQ(bar.SmallChange, 16);
    EXPECT_EQ(bar.LargeChange, 160);
    EXPECT_EQ(bar.PageSize, 8944);
}

TEST_F(WaveView, EmptySoundDrawsAnEmptyViewAndIgnoresTheMouse) {
    Build(0);
    Mark(1, 1);
    DrawWave(view, Shown());
    const QImage form = Form();
    EXPECT_PIXEL(view.WaveBitmap, 21, 95, FormColour);
    EXPECT_PIXEL(form, 22, 40, FormColour); // no length bar
    const ScrollBarSettings bar = UpdateScrollBar(view, 0);
    EXPECT_EQ(bar.PageSize, ScrollBarMax);
    EXPECT_EQ(bar.Position, 0);
    ScrollToBar(view, 300, 0);
    EXPECT_EQ(view.ScrollBlock, 0u);
    EXPECT_FALSE(ZoomOut(view, 0));
    editor->SelectAll();
    EXPECT_EQ(Marks().SelEnd, 1u);
    EXPECT_FALSE(Apply(MouseDown(view, Shown(), Qt::LeftButton, 100, 200, {})).Repaint);
    Apply(MouseUp(view, Shown(), Qt::LeftButton, 100, 200, {}));
    EXPECT_EQ(Marks().SelStart, 1u);
    EXPECT_EQ(Marks().CursorBlock, 1u);
}

TEST_F(WaveView, ReversedSelectionCountsAsNone) {
    Mark(20, 11);
    DrawWave(view, Shown());
    EXPECT_PIXEL(view.WaveBitmap, 35, 77, WavePen);
    EXPECT_EQ(UpdateSelectionStatus(Marks())[2].toStdString(), "Length - ");
    Apply(MouseDown(view, Shown(), Qt::LeftButton, 60, 200, {}));
    EXPECT_EQ(Marks().SelStart, 40u);
    EXPECT_EQ(Marks().SelEnd, 40u);
}

TEST_F(WaveView, ColumnTableCoversA3840PixelWindow) {
    Build(5000, 1, 3840);
    editor->SelectAll();
    DrawWave(view, Shown());
    EXPECT_EQ(view.ColumnSelected.size(), 3801u); // columns 0..3800
    Apply(MouseDown(view, Shown(), Qt::LeftButton, 3810, 200, {}));
    EXPECT_EQ(view.ColumnSelected[3799], 1);
    Apply(MouseMove(view, Shown(), Qt::LeftButton, Qt::NoModifier, 3700, 200, {}));
    RedrawChangedColumns(view, Shown());
    EXPECT_EQ(Marks().SelEnd, 3680u);
    EXPECT_EQ(view.ColumnSelected[3799], 0);
    EXPECT_PIXEL(view.WaveBitmap, 3819, 60, ColumnBack);
    EXPECT_PIXEL(view.WaveBitmap, 3700, 60, SelectedColumnBack);
}

TEST_F(WaveView, PlaybackDecidesWhatPressesAndClicksRestart) {
    const PlaybackFacts selection{true, false, 30};
    const PlaybackFacts all{true, true, 30};
    MouseAction a = Apply(MouseDown(view, Shown(), Qt::LeftButton, 35, 200, selection));
    EXPECT_TRUE(a.PlaySelection);
    EXPECT_EQ(a.PlayFrom, 15u);
    EXPECT_EQ(Marks().CursorBlock, 15u);
    EXPECT_EQ(
        Apply(MouseMove(view, Shown(), Qt::LeftButton, Qt::NoModifier, 80, 200, selection)).pointer,
        Pointer::Unchanged); // moves do nothing during Play Selection
    a = Apply(MouseUp(view, Shown(), Qt::LeftButton, 35, 200, selection));
    EXPECT_TRUE(a.PlaySelection);
    EXPECT_EQ(a.PlayFrom, 15u); // the restart starts at the click, the cursor at SelStart
    EXPECT_EQ(Marks().CursorBlock, 11u);
    EXPECT_EQ(Marks().SelStart, 11u);

    Apply(MouseDown(view, Shown(), Qt::LeftButton, 70, 200, all)); // block 50, after the selection
    a = Apply(MouseUp(view, Shown(), Qt::LeftButton, 70, 200, all));
    EXPECT_TRUE(a.PlayAll);
    EXPECT_EQ(a.PlayFrom, 50u);
    EXPECT_EQ(Marks().SelStart, 50u); // collapses rather than passing the end
    EXPECT_EQ(Marks().SelEnd, 50u);
    EXPECT_EQ(Marks().CursorBlock, 50u);
}

TEST_F(WaveView, WidgetAsksForPlaybackFactsAndHandsOnTheRestart) {
    WaveWidget widget;
    widget.ResetForOpening(*editor);
    widget.resize(600, 412);
    widget.show();
    widget.SetPlaybackFacts([] { return PlaybackFacts{true, true, 30}; });
    std::vector<MouseAction> actions;
    QObject::connect(&widget, &WaveWidget::Action,
                     [&](const MouseAction& a) { actions.push_back(a); });
    QTest::mouseClick(&widget, Qt::LeftButton, Qt::NoModifier, QPoint(70, 200));
    ASSERT_EQ(actions.size(), 2u);
    EXPECT_FALSE(actions[0].PlayAll); // the press only moves the cursor during Play All
    EXPECT_TRUE(actions[1].PlayAll);
    EXPECT_EQ(actions[1].PlayFrom, 50u);
    EXPECT_TRUE(actions[1].UpdateStatus);
}

// Mouse gestures on the widget, sound of 300 blocks, selection 80..180 (pixels 100..200 at
// zoom 1, 60..110 at zoom 2).
enum class Do { Press, Move, ShiftMove, Release };
struct Step {
    Do what;
    int x;
    int y = 200;
};
struct Gesture {
    const char* name;
    int zoom;
    std::vector<Step> steps;
    uint32_t selStart, selEnd;
};
void PrintTo(const Gesture& g, std::ostream* os) {
    *os << g.name;
}

class MouseGestures : public WaveView, public ::testing::WithParamInterface<Gesture> {};

TEST_P(MouseGestures, LeaveTheSelectionAndCursor) {
    const Gesture& g = GetParam();
    WaveWidget widget;
    if (g.zoom > 1) {
        // The zoom stays with the widget from one opening to the next: set over a long sound.
        Build(100000);
        widget.ResetForOpening(*editor);
        for (int z = 1; z < g.zoom; ++z) {
            ASSERT_TRUE(widget.ZoomOut());
        }
        widget.Close();
    }
    Build(300, g.zoom);
    Mark(80, 180);
    widget.ResetForOpening(*editor);
    widget.resize(600, 412);
    widget.show();
    for (const Step& s : g.steps) {
        const QPoint at(s.x, s.y);
        if (s.what == Do::Press) {
            QTest::mousePress(&widget, Qt::LeftButton, Qt::NoModifier, at);
        } else if (s.what == Do::Release) {
            QTest::mouseRelease(&widget, Qt::LeftButton, Qt::NoModifier, at);
        } else {
            QMouseEvent move(QEvent::MouseMove, at, widget.mapToGlobal(at), Qt::NoButton,
                             Qt::LeftButton,
                             s.what == Do::ShiftMove ? Qt::ShiftModifier : Qt::NoModifier);
            QApplication::sendEvent(&widget, &move);
        }
    }
    EXPECT_EQ(Marks().SelStart, g.selStart);
    EXPECT_EQ(Marks().SelEnd, g.selEnd);
    EXPECT_EQ(Marks().CursorBlock, g.selStart); // after every release
}

INSTANTIATE_TEST_SUITE_P(
    Widget, MouseGestures,
    ::testing::Values(
        Gesture{"PressThreeOutsideStartDragsStart",
                1,
                {{Do::Press, 97}, {Do::Move, 90}, {Do::Release, 90}},
                70,
                180},
        Gesture{"PressFourOutsideStartStartsNew",
                1,
                {{Do::Press, 96}, {Do::Move, 110}, {Do::Release, 110}},
                76,
                90},
        Gesture{"PressThreeOutsideEndDragsEnd",
                1,
                {{Do::Press, 203}, {Do::Move, 210}, {Do::Release, 210}},
                80,
                190},
        Gesture{"PressFourOutsideEndStartsNew",
                1,
                {{Do::Press, 204}, {Do::Move, 190}, {Do::Release, 190}},
                170,
                184},
        Gesture{"ClickInsideCollapses", 1, {{Do::Press, 150}, {Do::Release, 150}}, 130, 130},
        Gesture{"DragBackToThePressIsAClick",
                1,
                {{Do::Press, 150}, {Do::Move, 160}, {Do::Move, 150}, {Do::Release, 150}},
                130,
                130},
        Gesture{"DragInLeftHalfMovesStart",
                1,
                {{Do::Press, 150}, {Do::Move, 120}, {Do::Release, 120}},
                100,
                180},
        Gesture{"DragPastTheEndStopsThere",
                1,
                {{Do::Press, 200}, {Do::Move, 400}, {Do::Release, 400}},
                80,
                300},
        Gesture{"DragOffTheWidgetFreezes",
                1,
                {{Do::Press, 200}, {Do::Move, 250}, {Do::Move, 700}, {Do::Release, 700}},
                80,
                230},
        Gesture{"ShiftDragLeavesTheSelection",
                1,
                {{Do::Press, 150}, {Do::ShiftMove, 120}, {Do::Release, 120}},
                80,
                180},
        Gesture{"PressPastTheEndIgnored", 1, {{Do::Press, 400}, {Do::Release, 400}}, 80, 180},
        Gesture{"PressOutsideReleasedInsideIsNoClick",
                1,
                {{Do::Press, 150, 10}, {Do::Release, 150}},
                80,
                180},
        Gesture{"PressOutsideReleasedOnTheLeftEdge",
                1,
                {{Do::Press, 5, 10}, {Do::Release, 20}},
                80,
                180},
        // Only blocks 1..FileBlocks make a click: a release left of the wave area or past the
        // end of the sound, after a press inside and a move outside, changes nothing.
        Gesture{"ReleaseLeftOfTheWaveIsNoClick",
                1,
                {{Do::Press, 150}, {Do::Move, 5}, {Do::Release, 5}},
                80,
                180},
        Gesture{"ReleasePastTheEndIsNoClick",
                1,
                {{Do::Press, 150}, {Do::Move, 400, 10}, {Do::Release, 400}},
                80,
                180},
        Gesture{"FirstColumnSnapsToBlockOne",
                2,
                {{Do::Press, 60}, {Do::Move, 21}, {Do::Release, 21}},
                1,
                180}),
    [](const ::testing::TestParamInfo<Gesture>& info) { return std::string(info.param.name); });

TEST_F(WaveView, HoverOverAnEdgeShowsTheDoubleArrow) {
    Mark(80, 180); // edges at 100 and 200
    WaveWidget widget;
    widget.ResetForOpening(*editor);
    widget.resize(600, 412);
    widget.show();
    const std::pair<int, bool> hover[] = {{97, false},  {98, true},  {101, true}, {102, false},
                                          {198, false}, {199, true}, {202, true}, {203, false}};
    for (const auto& [x, arrow] : hover) {
        QMouseEvent move(QEvent::MouseMove, QPointF(x, 200), QPointF(x, 200), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(&widget, &move);
        EXPECT_EQ(widget.cursor().shape(), arrow ? Qt::SizeHorCursor : Qt::ArrowCursor) << x;
    }
}

TEST_F(WaveView, Screenshot) {
    Build(3000);
    for (uint32_t b = 1; b <= 3000; ++b) {
        const double e = 20000 * std::fabs(std::sin(b / 40.0));
        maxL[b] = int16_t(e), minL[b] = int16_t(-0.8 * e), maxR[b] = int16_t(e / 2);
        minR[b] = int16_t(-e / 2);
    }
    editor->Select({200, 400, 200});
    WaveWidget widget;
    widget.SetDropouts([] {
        return std::vector<record::DropoutMark>{{700, 80, 700}, {1900, 6000, 1900}};
    });
    widget.ResetForOpening(*editor);
    widget.resize(872, 450);
    widget.show();
    widget.ShowPlayPosition(true, 500);
    const QPixmap shot = widget.grab();
    EXPECT_EQ(shot.size(), widget.size());
    const QString dir = qEnvironmentVariable("VELMAR_SCREENSHOT_DIR", VELMAR_BINARY_DIR);
    EXPECT_TRUE(shot.save(QDir(dir).filePath("wave-view.png")));
}

} // namespace

// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/wave_widget.h"

#include "editor/wave_drawing.h"
#include "operations/editor.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include <utility>

namespace editor {

namespace {

// What the widget shows between two openings: nothing.
class NoSound final : public operations::SoundSource {
  public:
    uint32_t Blocks() const override { return 0; }
    size_t ReadPosition(uint32_t, void*) const override { return 0; }
    operations::PositionsRead ReadPositions(uint32_t, uint32_t, void*) const override { return {}; }
    std::optional<base::BlockPeaks> Peaks(uint32_t) const override { return std::nullopt; }
};

const NoSound noSound;

} // namespace

WaveWidget::WaveWidget(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true); // hovering over a selection edge changes the pointer
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void WaveWidget::SetToolbarHeight(int height) {
    toolbarHeight_ = height;
    LayoutAndRedraw();
}

void WaveWidget::SetPlaybackFacts(std::function<PlaybackFacts()> facts) {
    facts_ = std::move(facts);
}

PlaybackFacts WaveWidget::Facts() const {
    return facts_ ? facts_() : PlaybackFacts{};
}

SoundShown WaveWidget::Shown() const {
    if (!editor_) {
        return {noSound, operations::Selection{}};
    }
    SoundShown shown{*editor_, editor_->CurrentSelection()};
    if (dropouts_) {
        shown.dropouts = DropoutPositions(editor_->CurrentList(), dropouts_());
    }
    return shown;
}

void WaveWidget::SetDropouts(std::function<std::vector<record::DropoutMark>()> dropouts) {
    dropouts_ = std::move(dropouts);
}

void WaveWidget::ResetForOpening(operations::Editor& editor) {
    editor_ = &editor;
    view_.ScrollBlock = 0;
    view_.Pressed = false;
    LayoutAndRedraw();
}

void WaveWidget::Close() {
    editor_ = nullptr;
    view_.Pressed = false;
}

void WaveWidget::LayoutAndRedraw() {
    LayoutView(view_, width(), toolbarHeight_, height(), Shown().sound.Blocks());
    Redraw();
}

void WaveWidget::Redraw() {
    DrawWave(view_, Shown());
    update();
}

void WaveWidget::ScrollToBar(int position) {
    editor::ScrollToBar(view_, position, Shown().sound.Blocks());
    Redraw();
}

bool WaveWidget::ZoomIn() {
    const bool changed = editor::ZoomIn(view_);
    Redraw();
    return changed;
}

bool WaveWidget::ZoomOut() {
    const bool changed = editor::ZoomOut(view_, Shown().sound.Blocks());
    Redraw();
    return changed;
}

void WaveWidget::SelectAll() {
    MouseAction action;
    if (editor_ && editor_->Blocks() >= 1) {
        editor_->SelectAll();
        action.RedrawWave = true;
        action.Repaint = true;
        action.UpdateStatus = true;
    }
    action.selection = Shown().selection;
    Apply(action);
}

void WaveWidget::ShowPlayPosition(bool playing, uint32_t playBlock) {
    // Called on every tick of the window's timer: only a marker that moved, appeared or went is
    // repainted (its old and its new column), so an idle or paused editor draws nothing.
    const Marker wave = view_.ShapeSPlay;
    const Marker overview = view_.ShapePPlay;
    editor::ShowPlayPosition(view_, playing, playBlock);
    for (const auto& [before, now] :
         {std::pair{wave, view_.ShapeSPlay}, std::pair{overview, view_.ShapePPlay}}) {
        if (before.Visible == now.Visible && before.Left == now.Left && before.Top == now.Top &&
            before.Height == now.Height) {
            continue;
        }
        if (before.Visible) {
            update(QRect(before.Left, before.Top, 1, before.Height));
        }
        if (now.Visible) {
            update(QRect(now.Left, now.Top, 1, now.Height));
        }
    }
}

void WaveWidget::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    // Rectangle by rectangle: under a clip of one rectangle the painter fills and copies whole
    // rows at once, where a clip of several (a moving play marker's old and new columns) makes
    // it work row by row and hand tall columns to helper threads.
    for (const QRect& rect : event->region()) {
        painter.setClipRect(rect);
        PaintForm(painter, view_, Shown(), QRegion(rect));
    }
    painter.setClipping(false);
    // Below the bitmap when the widget is taller than the view (before the first layout).
    if (height() > view_.ViewTop + view_.WaveBitmap.height()) {
        const int top = view_.ViewTop + view_.WaveBitmap.height();
        painter.fillRect(QRect(0, top, width(), height() - top), FormColour);
    }
}

void WaveWidget::resizeEvent(QResizeEvent*) {
    LayoutAndRedraw();
}

void WaveWidget::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    Apply(MouseDown(view_, Shown(), event->button(), at.x(), at.y(), Facts()));
}

// Each move returns to the event loop, so timers run between the moves of a drag without the
// handler having to let pending messages run itself.
void WaveWidget::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    Apply(MouseMove(view_, Shown(), event->buttons(), event->modifiers(), at.x(), at.y(), Facts()));
}

void WaveWidget::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    Apply(MouseUp(view_, Shown(), event->button(), at.x(), at.y(), Facts()));
}

void WaveWidget::Apply(const MouseAction& action) {
    if (editor_) {
        editor_->Select(action.selection);
    }
    if (action.pointer == Pointer::SizeWE) {
        setCursor(Qt::SizeHorCursor);
    } else if (action.pointer == Pointer::Default) {
        unsetCursor();
    }
    if (action.RedrawWave) {
        DrawWave(view_, Shown());
    } else if (action.RedrawColumns) {
        RedrawChangedColumns(view_, Shown());
    }
    if (action.RedrawWave || action.RedrawColumns || action.Repaint) {
        update();
    }
    emit Action(action);
}

} // namespace editor

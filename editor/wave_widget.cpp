// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/wave_widget.h"

#include "editor/wave_drawing.h"
#include "operations/editing_state.h"

#include <QMouseEvent>
#include <QPainter>

namespace editor {

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

void WaveWidget::ResetForOpening() {
    view.ScrollBlock = 0;
    view.Pressed = false;
    LayoutAndRedraw();
}

void WaveWidget::LayoutAndRedraw() {
    LayoutView(view, width(), toolbarHeight_, height(), operations::state.FileBlocks);
    Redraw();
}

void WaveWidget::Redraw() {
    DrawWave(view);
    update();
}

void WaveWidget::ScrollToBar(int position) {
    editor::ScrollToBar(view, position, operations::state.FileBlocks);
    Redraw();
}

bool WaveWidget::ZoomIn() {
    const bool changed = editor::ZoomIn(view);
    Redraw();
    return changed;
}

bool WaveWidget::ZoomOut() {
    const bool changed = editor::ZoomOut(view, operations::state.FileBlocks);
    Redraw();
    return changed;
}

void WaveWidget::SelectAll() {
    Apply(editor::SelectAll());
}

void WaveWidget::ShowPlayPosition(bool playing, uint32_t playBlock) {
    editor::ShowPlayPosition(view, playing, playBlock);
    update();
}

void WaveWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    PaintForm(painter, view);
    // Below the bitmap when the widget is taller than the view (before the first layout).
    if (height() > view.ViewTop + view.WaveBitmap.height()) {
        const int top = view.ViewTop + view.WaveBitmap.height();
        painter.fillRect(QRect(0, top, width(), height() - top), FormColour);
    }
}

void WaveWidget::resizeEvent(QResizeEvent*) {
    LayoutAndRedraw();
}

void WaveWidget::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    Apply(MouseDown(view, event->button(), at.x(), at.y(), Facts()));
}

// Each move returns to the event loop, so timers run between the moves of a drag without the
// handler having to let pending messages run itself.
void WaveWidget::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    Apply(MouseMove(view, event->buttons(), event->modifiers(), at.x(), at.y(), Facts()));
}

void WaveWidget::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    Apply(MouseUp(view, event->button(), at.x(), at.y(), Facts()));
}

void WaveWidget::Apply(const MouseAction& action) {
    if (action.pointer == Pointer::SizeWE) {
        setCursor(Qt::SizeHorCursor);
    } else if (action.pointer == Pointer::Default) {
        unsetCursor();
    }
    if (action.RedrawWave) {
        DrawWave(view);
    } else if (action.RedrawColumns) {
        RedrawChangedColumns(view);
    }
    if (action.RedrawWave || action.RedrawColumns || action.Repaint) {
        update();
    }
    emit Action(action);
}

} // namespace editor

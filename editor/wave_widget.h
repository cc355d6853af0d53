// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "editor/selection.h"
#include "editor/view_state.h"

#include <QWidget>

#include <functional>

namespace editor {

// The overview bar, the wave area and the three markers of the editor window, on the view state
// `editor::view`. Widget coordinates are the view's form coordinates: the widget spans from the
// top of the window's drawing area (with a ToolbarHeight band kept free at its top, 0 when the
// widget sits under the toolbars) down to the top of the scroll-bar strip. It redraws itself
// after every mouse action and emits Action for what is the window's to do: playback restarts
// and the status panels.
class WaveWidget : public QWidget {
    Q_OBJECT
  public:
    explicit WaveWidget(QWidget* parent = nullptr);

    void SetToolbarHeight(int height);
    // Asked at every mouse event; without it playback counts as stopped.
    void SetPlaybackFacts(std::function<PlaybackFacts()> facts);

    // Opening the editor: scroll to the start of the sound, forget any gesture, lay out and
    // draw. The zoom level stays as it was last used.
    void ResetForOpening();
    // LayoutView from the widget's size and FileBlocks, then DrawWave: resize, opening, and the
    // end of every editing command.
    void LayoutAndRedraw();
    // DrawWave and repaint (zoom, scroll, Select All, the end of an export).
    void Redraw();
    // ScrollBlock from a scroll-bar position, then redraw.
    void ScrollToBar(int position);
    // Zoom buttons; each redraws and returns true when the level changed (the window then
    // updates its scroll bar from UpdateScrollBar).
    bool ZoomIn();
    bool ZoomOut();
    // Select All: redraws and emits Action for the status panels.
    void SelectAll();
    // The play markers on a timer tick.
    void ShowPlayPosition(bool playing, uint32_t playBlock);

  signals:
    void Action(const editor::MouseAction& action);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    void Apply(const MouseAction& action);
    PlaybackFacts Facts() const;

    int toolbarHeight_ = 0;
    std::function<PlaybackFacts()> facts_;
};

} // namespace editor

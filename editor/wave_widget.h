// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "editor/selection.h"
#include "editor/view_state.h"
#include "record/dropout_detector.h"

#include <QWidget>

#include <functional>

namespace operations {
class Editor;
}

namespace editor {

// The overview bar, the wave area and the three markers of the editor window, on its own view
// state, over the sound and selection of the editor it shows. Widget coordinates are the view's
// form coordinates: the widget spans from the top of the window's drawing area (with a
// ToolbarHeight band kept free at its top, 0 when the widget sits under the toolbars) down to the
// top of the scroll-bar strip. It redraws itself after every mouse action and emits Action for what
// is the window's to do: playback restarts and the status panels.
class WaveWidget : public QWidget {
    Q_OBJECT
  public:
    explicit WaveWidget(QWidget* parent = nullptr);

    void SetToolbarHeight(int height);
    // Asked at every mouse event; without it playback counts as stopped.
    void SetPlaybackFacts(std::function<PlaybackFacts()> facts);
    // The take's dropouts, asked at every drawing; without it none are marked.
    void SetDropouts(std::function<std::vector<record::DropoutMark>()> dropouts);

    // Opening the editor: shows `editor` (which must outlive the showing, until Close), scrolls
    // to the start of the sound, forgets any gesture, lays out and draws. The view state, and
    // so the zoom level last used, stays with the widget from one opening to the next.
    void ResetForOpening(operations::Editor& editor);
    // The editor closes: from now on the widget shows an empty sound.
    void Close();
    const ViewState& View() const { return view_; }
    // LayoutView from the widget's size and the sound's length, then DrawWave: resize, opening, and
    // the end of every editing command.
    void LayoutAndRedraw();
    // DrawWave and repaint (zoom, scroll, Select All, the end of an export).
    void Redraw();
    // ScrollBlock from a scroll-bar position, then redraw.
    void ScrollToBar(int position);
    // Zoom buttons; each redraws and returns true when the level changed (the window then
    // updates its scroll bar from UpdateScrollBar).
    bool ZoomIn();
    bool ZoomOut();
    // Select All (the editor's): redraws and emits Action for the status panels.
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
    // Passes the gesture's selection to the editor, then redraws and emits Action.
    void Apply(const MouseAction& action);
    PlaybackFacts Facts() const;
    // The editor's sound and selection, or an empty sound when none is shown.
    SoundShown Shown() const;

    ViewState view_;
    operations::Editor* editor_ = nullptr;
    int toolbarHeight_ = 0;
    std::function<PlaybackFacts()> facts_;
    std::function<std::vector<record::DropoutMark>()> dropouts_;
};

} // namespace editor

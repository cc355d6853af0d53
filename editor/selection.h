// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "editor/view_state.h"
#include "editor/wave_drawing.h"
#include "operations/selection.h"

#include <QString>
#include <Qt>

#include <array>
#include <cstdint>
#include <optional>

// Selection, cursor and mouse gestures in the wave area. The functions take the sound and the
// selection shown, change the view's gesture state and return the new selection with what the
// window must do next; they never draw and never touch playback themselves.
// Coordinates are form coordinates, as for the view.
namespace editor {

// What the mouse logic needs to know of playback.
struct PlaybackFacts {
    bool Playing = false;
    bool PlayAllMode = false; // clear while playing: Play Selection runs
    uint32_t PlayBlock = 1;
};

enum class Pointer { Unchanged, Default, SizeWE };

struct MouseAction {
    // Redraw only the columns whose selected state changed, then the overview (a drag).
    bool RedrawColumns = false;
    // Redraw the whole wave area and the overview.
    bool RedrawWave = false;
    // Markers moved: repaint.
    bool Repaint = false;
    // The block a restart below starts at.
    std::optional<uint32_t> PlayFrom;
    bool PlayAll = false;       // restart Play All (from PlayFrom)
    bool PlaySelection = false; // restart Play Selection (from PlayFrom)
    bool UpdateStatus = false;  // the status panels (UpdateSelectionStatus)
    Pointer pointer = Pointer::Unchanged;
    // The selection and cursor after the gesture; the one shown when it changed nothing.
    operations::Selection selection;
};

// A left press in the wave area, on a block of the sound, places the cursor there; it keeps the
// selection when it lies inside it or at most 3 pixels outside an edge, else starts a new one at
// the pressed block. During Play Selection it restarts playback at the pressed block instead.
MouseAction MouseDown(ViewState& v, const SoundShown& shown, Qt::MouseButton button, int x, int y,
                      const PlaybackFacts& playback);
// Hover shows the double arrow over the 4-pixel hot zone of each edge; a drag with only the left
// button held, after an accepted press, moves the edge nearer the pointer. Moves outside the wave
// area, and all moves during Play Selection, are ignored.
MouseAction MouseMove(ViewState& v, const SoundShown& shown, Qt::MouseButtons buttons,
                      Qt::KeyboardModifiers modifiers, int x, int y, const PlaybackFacts& playback);
// A left release is a click only after an accepted left press in the same gesture, with the
// pointer back where it was pressed, on a block in 1..FileBlocks. Every release then puts the
// cursor at SelStart and asks for a full redraw and the status panels.
MouseAction MouseUp(ViewState& v, const SoundShown& shown, Qt::MouseButton button, int x, int y,
                    const PlaybackFacts& playback);

// The texts of the status panels Start, End and Length for a selection.
std::array<QString, 3> UpdateSelectionStatus(const operations::Selection& selection);

} // namespace editor

// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/selection.h"

#include "operations/sound_source.h"

namespace editor {

namespace {

void EdgePixels(ViewState& v, const operations::Selection& s) {
    v.SelStartX = WaveX(v, s.SelStart);
    v.SelEndX = WaveX(v, s.SelEnd);
}

// Within 2 pixels outside or 1 pixel inside an edge.
bool OnEdge(const ViewState& v, int x) {
    return (v.SelStartX - 3 < x && x <= v.SelStartX + 1) ||
           (v.SelEndX - 1 <= x && x < v.SelEndX + 3);
}

} // namespace

MouseAction MouseDown(ViewState& v, const SoundShown& shown, Qt::MouseButton button, int x, int y,
                      const PlaybackFacts& playback) {
    MouseAction action;
    action.selection = shown.selection;
    operations::Selection& s = action.selection;
    if (button != Qt::LeftButton || !InWaveArea(v, x, y)) {
        return action;
    }
    const int64_t b = BlockAt(v, x);
    if (b < 1 || b > int64_t(shown.sound.Blocks())) {
        return action; // after the end of the sound: not even DownX changes
    }
    const uint32_t block = uint32_t(b);
    v.Pressed = true;
    action.pointer = Pointer::SizeWE;
    // The press is where the pointer was last seen, so a release without a move is a click
    // even when no move event came before the press.
    v.DownX = x;
    v.LastMoveX = x;
    s.CursorBlock = block;

    if (playback.Playing) {
        if (!playback.PlayAllMode) {
            action.PlayFrom = block;
            action.PlaySelection = true;
        }
        // Play All lets the drag go on: the table must match the picture.
        MarkSelectedColumns(v, {shown.sound, s});
        return action;
    }
    if (!HasSelection(s.SelStart, s.SelEnd)) {
        s.SelStart = s.SelEnd = block;
    }
    EdgePixels(v, s);
    if (HasSelection(s.SelStart, s.SelEnd) && (x < v.SelStartX - 3 || x > v.SelEndX + 3)) {
        s.SelStart = s.SelEnd = block;
        action.RedrawWave = true;
    }
    v.ShapeSPoint.Visible = true;
    v.ShapeSPoint.Left = x;
    v.ShapePPlay.Left = OverviewX(v, s.CursorBlock);
    action.Repaint = true;
    MarkSelectedColumns(v, {shown.sound, s});
    return action;
}

MouseAction MouseMove(ViewState& v, const SoundShown& shown, Qt::MouseButtons buttons,
                      Qt::KeyboardModifiers modifiers, int x, int y,
                      const PlaybackFacts& playback) {
    MouseAction action;
    action.selection = shown.selection;
    operations::Selection& s = action.selection;
    const uint32_t fileBlocks = shown.sound.Blocks();
    if ((playback.Playing && !playback.PlayAllMode) || !InWaveArea(v, x, y)) {
        return action;
    }
    EdgePixels(v, s);
    v.LastMoveX = x;

    // A drag needs the gesture's press: without it ColumnSelected does not mirror the picture.
    const bool drag = v.Pressed && buttons == Qt::LeftButton && modifiers == Qt::NoModifier;
    if (!drag) {
        action.pointer =
            HasSelection(s.SelStart, s.SelEnd) && OnEdge(v, x) ? Pointer::SizeWE : Pointer::Default;
        return action;
    }

    action.pointer = Pointer::SizeWE;
    const uint32_t block = uint32_t(BlockAt(v, x)); // x lies in the wave area: at least 1
    if (x > v.SelEndX && s.SelEnd <= fileBlocks) {
        s.SelEnd = block;
    }
    if (s.SelEnd > fileBlocks) {
        s.SelEnd = fileBlocks;
    }
    if (x < v.SelStartX) {
        s.SelStart = block;
        // The first column stands for blocks 1..zoom factor: it snaps to the start of the sound.
        if (x == v.WaveLeft + 1 && ZoomFactor(v) >= 2 && v.ScrollBlock == 0) {
            s.SelStart = 1;
        }
    }
    if (v.SelStartX < x && 2 * x < v.SelStartX + v.SelEndX) {
        s.SelStart = block;
    }
    if (x < v.SelEndX && 2 * x > v.SelStartX + v.SelEndX) {
        s.SelEnd = block;
    }
    action.RedrawColumns = true;
    return action;
}

MouseAction MouseUp(ViewState& v, const SoundShown& shown, Qt::MouseButton button, int x, int /*y*/,
                    const PlaybackFacts& playback) {
    MouseAction action;
    action.selection = shown.selection;
    operations::Selection& s = action.selection;
    bool click = false;
    int64_t b = 0;
    if (button == Qt::LeftButton && v.Pressed) {
        v.Pressed = false;
        b = BlockAt(v, x);
        click = v.DownX == v.LastMoveX && b >= 1 && b <= int64_t(shown.sound.Blocks());
    }
    if (click) {
        const uint32_t block = uint32_t(b);
        if (playback.Playing && playback.PlayAllMode) {
            s.CursorBlock = block;
            action.PlayFrom = block;
            // Past the selection's end the selection collapses to the clicked block, so the
            // start never passes the end.
            if (block <= s.SelEnd) {
                s.SelStart = block;
            } else {
                s.SelStart = s.SelEnd = block;
            }
            action.PlayAll = true;
        } else if (playback.Playing) {
            if (s.SelStart < block && block < s.SelEnd) {
                // The restart carries the clicked block: the cursor goes back to SelStart below.
                s.CursorBlock = block;
                action.PlayFrom = block;
                action.PlaySelection = true;
            }
        } else {
            s.SelStart = s.SelEnd = block;
            action.PlayFrom = block;
            s.CursorBlock = block;
        }
    }
    s.CursorBlock = s.SelStart;
    action.pointer = Pointer::Default;
    action.RedrawWave = true;
    action.Repaint = true;
    action.UpdateStatus = true;
    return action;
}

std::array<QString, 3> UpdateSelectionStatus(const operations::Selection& s) {
    // The start is when the first selected block begins, the end when the last one ends.
    std::array<QString, 3> panels{
        "Start - " + FormatStatusTime(s.SelStart > 0 ? s.SelStart - 1 : 0), "End - ", "Length - "};
    if (HasSelection(s.SelStart, s.SelEnd)) {
        panels[1] += FormatStatusTime(s.SelEnd);
        panels[2] += FormatStatusTime(s.SelEnd - s.SelStart + 1);
    }
    return panels;
}

} // namespace editor

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "editor/view_state.h"
#include "operations/edit_list.h"
#include "operations/selection.h"
#include "record/dropout_detector.h"

#include <QColor>
#include <QString>

#include <vector>

class QPainter;
namespace operations {
class SoundSource;
}

// Drawing of the waveform view from the block peaks of the current edit list (never from
// samples): the overview bar and its ruler on the form, the wave area and its ruler in
// WaveBitmap, and the three markers. Lines follow pen-and-brush canvas rules: a line leaves out
// its end point, a rectangle its right column and bottom row; nothing is antialiased except text.
// The sound, its selection and its cursor come in as a SoundShown.
namespace editor {

// What the view draws: the edited sound (its length and block peaks) and the user's marks in it.
struct SoundShown {
    const operations::SoundSource& sound;
    operations::Selection selection;
    // Blocks of the sound where a dropout's silence begins (DropoutPositions), in any order.
    std::vector<uint32_t> dropouts = {};
};

// Where the take's dropouts show in the edited sound: a dropout belongs to its recording-file
// block, so it shows wherever a segment of `level` plays that block (twice after a copy, nowhere
// once the block is deleted or an effect has rewritten it into the edit file).
std::vector<uint32_t> DropoutPositions(const operations::Level& level,
                                       const std::vector<record::DropoutMark>& marks);

inline const QColor FormColour{224, 224, 224};
inline const QColor LengthBarColour{0, 0, 100};
inline const QColor SelectionBarColour{0, 0, 255};
inline const QColor FrameMarkColour{0, 0, 255};
inline const QColor ColumnBack{192, 192, 192};
inline const QColor SelectedColumnBack{230, 240, 240};
inline const QColor WavePen{0, 0, 100};
inline const QColor SelectedWavePen{0, 0, 255};
inline const QColor ZeroLineColour{130, 130, 130};
inline const QColor MidLineColour{170, 170, 170};
inline const QColor MinorTickColour{128, 128, 128};
inline const QColor CursorMarkColour{0, 0, 255};
inline const QColor PlayMarkColour{0, 128, 0};
inline const QColor DropoutMarkColour{220, 0, 0};

// A ruler label: the text's top-left corner and the text.
struct RulerLabel {
    int x = 0;
    int y = 0;
    QString text;
};
// Labels above the overview bar (form coordinates), left to right.
std::vector<RulerLabel> OverviewRulerLabels(const ViewState& v);
// Labels under the wave area (bitmap coordinates), left to right: one every 100 columns counted
// from the start of the sound, so they move with it when scrolling.
std::vector<RulerLabel> TimeRulerLabels(const ViewState& v);

// Form canvas.
void ClearTopBand(QPainter& painter, const ViewState& v);
void DrawOverview(QPainter& painter, const ViewState& v, const SoundShown& shown);
void DrawOverviewRuler(QPainter& painter, const ViewState& v);

// Redraws all of WaveBitmap (background, frame, ruler, every column up to the end of the sound)
// and places ShapePPlay and ShapeSPoint at the cursor.
void DrawWave(ViewState& v, const SoundShown& shown);
void DrawTimeRuler(ViewState& v);
// During a drag: redraws only the columns whose selected state differs from ColumnSelected and
// records their new state.
void RedrawChangedColumns(ViewState& v, const SoundShown& shown);
// Fills ColumnSelected from the selection, so that it matches what DrawWave drew.
void MarkSelectedColumns(ViewState& v, const SoundShown& shown);

// The play markers on a timer tick: stopped hides ShapeSPlay; playing puts ShapePPlay and
// ShapeSPlay at playBlock, ShapeSPlay shown only inside the wave area.
void ShowPlayPosition(ViewState& v, bool playing, uint32_t playBlock);

// The form picture within `dirty`: top band, overview and its ruler, WaveBitmap at (0, ViewTop),
// markers. A plain repaint; it does not redraw WaveBitmap.
void PaintForm(QPainter& painter, const ViewState& v, const SoundShown& shown,
               const QRegion& dirty);
void PaintMarkers(QPainter& painter, const ViewState& v, const QRegion& dirty);

} // namespace editor

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QWidget;
namespace operations {
class Editor;
}
namespace record {
class Recorder;
}

// The save commands' window side: asks for the target file with the filter of the settings in
// force (opening in the output folder, or the home folder once that is gone), lets the typed
// extension choose the format (exporting::SaveTargetFor), shows the progress window and runs the
// export over the current level of the edit list. The target's folder becomes the output folder
// unless the save failed. Failures are shown as error boxes; a cancelled dialog or a cancelled
// export shows nothing.
namespace SaveFlow {

// The editor's Save All As of `editor`'s sound (selectionOnly false: positions 1..FileBlocks) and
// Save Selection As (selectionOnly true: SelStart..SelEnd, or "Please Select Waveform!" when
// nothing is selected). The editor stops playback before the call and redraws its wave after it.
// Does nothing while an export runs. Returns true when a file was written.
bool Run(QWidget* owner, const operations::Editor& editor, bool selectionOnly);

// The main window's Save As: the recorder's take, whole, in the order it was recorded, read
// straight from the recorder's file (exporting::RecordedTake); no editing state is touched.
bool SaveRecordedTake(QWidget* owner, record::Recorder& recorder);

// An export of either window runs (its progress window shows).
bool Exporting();

// Save Settings... of both windows: the save-format window, modal. The next save builds its
// filter from what it stored.
void ShowSaveSettings();

} // namespace SaveFlow

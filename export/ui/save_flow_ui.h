// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QWidget;
namespace operations {
class Editor;
}
namespace base {
class EventPump;
}
namespace platform {
class Dialogs;
}
namespace record {
class Recorder;
}
namespace setup {
class SettingsStore;
}

// The save commands' window side: asks for the target file with the filter of the settings in
// force (opening in the output folder, or the home folder once that is gone), lets the typed
// extension choose the format (exporting::SaveTargetFor), shows the progress window and runs the
// export over the current level of the edit list. The target's folder becomes the output folder
// unless the save failed. Failures are shown as error boxes; a cancelled dialog or a cancelled
// export shows nothing.
namespace SaveFlow {

// What the window that starts a save lends it: its dialogs, the run's settings (the format to
// write, the output folder it reads and sets) and its event pump, which a progress window made
// for this save lets pending messages run through.
struct Context {
    platform::Dialogs& dialogs;
    setup::SettingsStore& settings;
    base::EventPump& events;
};

// The editor's Save All As of `editor`'s sound (selectionOnly false: positions 1..FileBlocks) and Save Selection As
// (selectionOnly true: SelStart..SelEnd, or "Please Select Waveform!" when nothing is
// selected). The editor stops playback before the call and redraws its wave after it. Does
// nothing while an export runs. Returns true when a file was written.
bool Run(QWidget* owner, const operations::Editor& editor, bool selectionOnly,
         const Context& context);

// The main window's Save As: the recorder's take, whole, in the order it was recorded, read
// straight from the recorder's file (exporting::RecordedTake); no editing state is touched.
bool SaveRecordedTake(QWidget* owner, record::Recorder& recorder, const Context& context);

// An export of either window runs (its progress window shows).
bool Exporting();

// Save Settings... of both windows: the save-format window, modal. The next save builds its
// filter from what it stored.
void ShowSaveSettings(setup::SettingsStore& settings);

} // namespace SaveFlow

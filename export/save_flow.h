// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "setup/settings.h"

#include <QString>

#include <cstdint>
#include <optional>

namespace record {
class Recorder;
}

// The engine side of the save commands (main window Save As, editor Save All As and Save
// Selection As): the save dialog's file-type entry, which exporter runs, the range to export and
// the run itself. The windows ask for the target file and show the progress window.
namespace exporting {

extern const char* const PleaseSelectWaveformText; // "Please Select Waveform!"

// `Wav` alone decides the output format, for the filter and the exporter alike: WAV when it is
// true, MP3 otherwise. A hand-edited settings file can hold Wav and MP3 both true (WAV then) or
// both false (MP3 then); either way the dialog offers the type that is then written.
bool ExportsWav(const setup::Settings& settings);

// The save dialog's one file-type entry. Text() is "description|mask", for example
// "44100Hz 16bit stereo (*.wav)|*.WAV" or "VBR 32-320 kbps stereo (*.mp3)|*.MP3".
struct SaveFilter {
    QString description;   // "44100Hz 16bit stereo (*.wav)"
    QString mask;          // "*.WAV"
    QString defaultSuffix; // "wav" or "mp3"
    QString Text() const { return description + "|" + mask; }
};
// Rebuilt from the settings when a save starts and after the settings window closes.
SaveFilter SaveFilterFor(const setup::Settings& settings);

// What a save writes once the dialog has answered. The typed name decides the format: a name
// ending in ".wav" or ".mp3", in any case, is written in that format with that format's own
// settings; any other name gets the chosen format's extension (SaveFilterFor's defaultSuffix)
// added. So a file's contents always match its name, whatever the filter showed.
struct SaveTarget {
    QString path;
    setup::Settings settings; // the save settings, with Wav and MP3 set for the format written
};
SaveTarget SaveTargetFor(const QString& chosen, const setup::Settings& settings);

// The folder the save dialog opens in: `outputFolder` while it exists, else the user's home
// folder (a dialog given a missing folder would open in the process's current folder).
QString SaveDialogFolder(const QString& outputFolder);

// An export range: positions first..last of the current sound, inclusive, 1-based; 1..0 is the
// range of an empty sound (a file with a header and no data).
struct ExportRange {
    uint32_t first = 1;
    uint32_t last = 0;
};
// A range exports when 1 <= first <= last <= fileBlocks: inside the sound and never reversed. An
// empty sound exports 1..0, so it still gives a valid file without data.
bool IsExportRange(uint32_t first, uint32_t last, uint32_t fileBlocks);
// Save All As: the whole sound, 1..fileBlocks.
ExportRange SaveAllRange(uint32_t fileBlocks);
// Save Selection As: selStart..selEnd, or nullopt (the window shows PleaseSelectWaveformText)
// when nothing is selected (selStart == selEnd) or the selection is reversed or leaves the sound.
std::optional<ExportRange> SaveSelectionRange(uint32_t selStart, uint32_t selEnd,
                                              uint32_t fileBlocks);

} // namespace exporting

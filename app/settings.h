// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/placement.h"

#include <QString>
#include <cstdint>

namespace app {

// The persisted settings, named by their keys in the settings file. Read once at start-up,
// written once at exit; the save-settings window changes them in memory only.
struct Settings {
    // [Save Format]
    bool Wav = false;
    int32_t SamplePerSecond = 44100;
    int16_t BitPerSample = 16;
    int16_t Channels = 2;
    bool MP3 = true;
    int32_t BitRate = 128;
    int32_t Mode = 0;
    bool VBR = false;
    int32_t MinBitRate = 32;
    int32_t MaxBitRate = 320;
    int32_t VBRQuality = 0;
    bool Copyright = false;
    bool Original = false;
    bool Private = false;
    // [Output Folder] Name
    QString OutputFolder = DefaultOutputFolder();
    // [Recording Mode] Index: 0 "Continuous", 1..7 the loops
    int32_t RecordingModeIndex = 0;

    // Where exports go until the user picks a folder: the home folder, this platform's
    // counterpart of the system drive's root.
    static QString DefaultOutputFolder();
};

// The settings file beside the executable: its full path with the extension replaced by
// ".INI" ("/home/ann/velmar/velmar-recorder" -> "/home/ann/velmar/velmar-recorder.INI").
QString SettingsFilePathFor(const QString& executablePath);

// Where this run keeps its settings. In place: beside the executable, as above. Installed:
// "<config folder>/velmar-recorder/velmar-recorder.INI", the config folder being
// $XDG_CONFIG_HOME or ~/.config; empty when that is unknown.
QString SettingsFilePathFor(Placement placement, const QString& executablePath,
                            const QString& configFolder);

// Reads every key; a missing, unreadable or malformed value falls back to its default and a
// recording-mode index outside 0..7 becomes 0. Never fails.
Settings LoadSettings(const QString& path);

// Writes every key in table order, keeping whatever else a hand-edited file holds, and replaces
// the file only once the new one is complete. A missing folder is made first (the first exit of
// an installed program). On failure returns false with the reason in
// *error and leaves the old file as it was.
bool SaveSettings(const QString& path, const Settings& settings, QString* error);

} // namespace app

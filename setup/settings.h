// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "setup/placement.h"

#include <QString>
#include <cstddef>
#include <cstdint>
#include <utility>

namespace setup {

// The save-format values the save-settings window offers, in the order of its lists. The
// settings file is held to them when it is read, so the window, the save dialog's filter and the
// exporters all meet the same values.
inline constexpr int32_t OfferedSampleRates[] = {44100, 22050, 11025};
inline constexpr int16_t OfferedChannels[] = {2, 1};
inline constexpr int16_t OfferedBitsPerSample[] = {16, 8};
// BitRate, MinBitRate and MaxBitRate, kbps.
inline constexpr int32_t OfferedBitRates[] = {32,  40,  48,  56,  64,  80,  96,
                                              112, 128, 160, 192, 224, 256, 320};
// The encoder library's mode numbers for stereo, joint stereo and mono.
inline constexpr int32_t OfferedModes[] = {0, 1, 3};
inline constexpr int32_t MaxVBRQuality = 9; // 0 best .. 9 worst

// The position of `value` in one of the lists above, or -1.
template <typename T, size_t N> constexpr int OfferedIndex(const T (&list)[N], int64_t value) {
    for (size_t i = 0; i < N; ++i) {
        if (list[i] == value) {
            return int(i);
        }
    }
    return -1;
}

// The persisted settings, named by their keys in the settings file. Read once at start-up,
// written once at exit; in between a SettingsStore holds them.
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

// Reads every key; a missing, unreadable or malformed value falls back to its default, and so
// does a save-format value the save-settings window does not offer (the Offered lists above,
// VBRQuality 0..MaxVBRQuality) and a recording-mode index outside 0..7. Never fails.
Settings LoadSettings(const QString& path);

// Writes every key in table order, keeping whatever else a hand-edited file holds, and replaces
// the file only once the new one is complete. A missing folder is made first (the first exit of
// an installed program). On failure throws base::UserError with the reason and leaves the old
// file as it was.
void SaveSettings(const QString& path, const Settings& settings);

// The settings of one run: read at start-up, changed by the windows through the setters only,
// saved once at exit (ShutDown).
class SettingsStore {
  public:
    SettingsStore() = default;
    explicit SettingsStore(Settings settings) : settings_(std::move(settings)) {}

    const Settings& Values() const { return settings_; }

    // [Recording Mode] Index: the mode chosen in the main window, 0..7.
    void SetRecordingModeIndex(int32_t index) { settings_.RecordingModeIndex = index; }
    // [Output Folder] Name: where the next save dialog opens.
    void SetOutputFolder(const QString& folder) { settings_.OutputFolder = folder; }
    // The output format: WAV when `wav`, else MP3; the two flags never disagree afterwards.
    void SetOutputFormat(bool wav);
    // Every [Save Format] key as `format` holds it; its output folder and recording mode are not
    // taken.
    void SetSaveFormat(const Settings& format);

    // Writes the settings to `path` (SaveSettings); throws base::UserError when it cannot.
    void Save(const QString& path) const { SaveSettings(path, settings_); }

  private:
    Settings settings_;
};

} // namespace setup

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// app::Settings: Wav, SamplePerSecond, BitPerSample, Channels, MP3, BitRate, Mode, VBR,
// MinBitRate, MaxBitRate, VBRQuality, Copyright, Original, Private, OutputFolder
#include "app/settings.h"

#include <QString>

#include <cstdint>

// The export engine's shared interface: the outcome of an export, the state the save flow, the
// progress window and both exporters share, and the two exporters.
namespace exporting {

enum class Outcome { Done, Cancelled, Failed };
struct Result {
    Outcome outcome = Outcome::Done;
    QString error; // error: the user's text when Failed
};

// Shared by the save flow, the progress window and both exporters; one instance.
struct State {
    bool ContinueExport = true; // the save flow's continue flag; Cancel clears it
    bool Exporting = false;     // an export runs: other commands of both windows do nothing
    QString TargetName;         // file name shown by the progress window ("take1.wav")
};
extern State state;

// Both exporters read positions first..last (inclusive, 1-based) of the current undo level through
// operations::ReadPosition / ReadPositions (operations/undo_history.h), publish progress in
// operations::state.ProgressPercent, call platform::ProcessMessages() after each block (WAV) or
// chunk (MP3), stop when state.ContinueExport is false, and never touch `target` unless they
// succeed (they write a temporary file beside it and rename it over the target on success only).
// Both refuse a range that IsExportRange (export/save_flow.h) rejects with "Please Select
// Waveform!", creating nothing.
Result ExportWav(const QString& target, const app::Settings& format, uint32_t first, uint32_t last);
Result ExportMp3(const QString& target, const app::Settings& format, uint32_t first, uint32_t last);

// The percentage both exporters publish after `done` of `total` steps: 0..100, and 100 for an
// export with nothing to write (never 0/0).
float ExportPercent(uint64_t done, uint64_t total);

} // namespace exporting

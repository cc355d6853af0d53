// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// setup::Settings: Wav, SamplePerSecond, BitPerSample, Channels, MP3, BitRate, Mode, VBR,
// MinBitRate, MaxBitRate, VBRQuality, Copyright, Original, Private, OutputFolder
#include "base/event_pump.h"
#include "base/file_system.h"
#include "export/encoder_library.h"
#include "operations/sound_source.h"
#include "setup/settings.h"

#include <QString>

#include <cstdint>
#include <vector>

namespace exporting {

// How an export that did not fail ended. A failure throws base::UserError with the user's
// text instead.
enum class Outcome { Done, Cancelled };

// Writes positions of one sound as a WAV or MP3 file, and holds that export's progress for the
// progress window to read. One Exporter per sound; two Exporters over two sounds share nothing.
//
// Both exporters read positions first..last (inclusive, 1-based) of `sound`, publish the
// progress, let the event pump run after each block (WAV) or chunk (MP3), stop when Cancel was
// called, and never touch the target unless they succeed (they write a temporary file beside it
// and rename it over the target on success only). Both refuse a range that IsExportRange
// (export/save_flow.h) rejects with "Please Select Waveform!", creating nothing.
class Exporter {
  public:
    Exporter(const operations::SoundSource& sound, const exporting::EncoderLoader& encoders,
             const base::FileSystem& files, base::EventPump& pump);
    Exporter(const Exporter&) = delete;
    Exporter& operator=(const Exporter&) = delete;

    // Sets what the progress window shows before it opens: the target's file name, the continue
    // flag, a zero percentage. Export calls it too.
    void Prepare(const QString& target);

    // Runs the exporter ExportsWav (export/save_flow.h) chooses, with Exporting() true while it
    // runs. Over the editor's current level the editing operations are refused meanwhile (they
    // would change the edit list under the export). Throws, with the user's text, while another
    // export of this Exporter or an editing operation runs.
    Outcome Export(const QString& target, const setup::Settings& settings, uint32_t first,
                   uint32_t last);
    Outcome ExportWav(const QString& target, const setup::Settings& settings, uint32_t first,
                      uint32_t last);
    Outcome ExportMp3(const QString& target, const setup::Settings& format, uint32_t first,
                      uint32_t last);

    // The progress window's Cancel: the running export stops after the block or chunk in hand
    // and leaves the target as it was.
    void Cancel() { continueExport_ = false; }

    float ProgressPercent() const { return progressPercent_; }
    bool ContinueExport() const { return continueExport_; }
    bool Exporting() const { return exporting_; }
    // The file name the progress window shows ("take1.wav").
    const QString& TargetName() const { return targetName_; }

  private:
    // Publishes the progress and lets pending messages run; false once Cancel was called.
    bool Step(float percent);

    const operations::SoundSource& sound_;
    const exporting::EncoderLoader& encoders_;
    const base::FileSystem& files_;
    base::EventPump& pump_;

    bool continueExport_ = true;
    bool exporting_ = false;
    float progressPercent_ = 0;
    QString targetName_;
    // The WAV exporter's own buffers, sized on first use and reused: converting from the
    // recorder's or the operations' buffers would let a command run between two blocks
    // overwrite them.
    std::vector<uint8_t> wavSource_; // a run of source blocks
    std::vector<uint8_t> wavOut_;    // the run converted, waiting to be written
};

// The percentage both exporters publish after `done` of `total` steps: 0..100, and 100 for an
// export with nothing to write (never 0/0).
float ExportPercent(uint64_t done, uint64_t total);

} // namespace exporting

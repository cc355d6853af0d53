// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "lame_enc/lame_enc.h"
#include "operations/edit_list.h"
#include "setup/settings.h"

#include <QString>

#include <cstdint>
#include <vector>

// The MP3 exporter's pieces (ExportMp3 itself is Exporter::ExportMp3, export/exporter.h). The
// exporter encodes nothing: it hands the internal format, two channels at 44100 Hz also in mono
// mode, to lame_enc.so and writes what comes back.
namespace exporting {

// The user's texts.
extern const char* const EncoderMissingText; // "Lame_enc.dll did not found"
extern const char* const EncoderErrorText;   // "BE_ERR code-", followed by the code
extern const char* const StreamReadErrorText;

// "BE_ERR code-" and the code in decimal: EncoderErrorMessage(2) is "BE_ERR code-2".
QString EncoderErrorMessage(uint32_t code);

// The configuration record for the MP3 save settings: bit rate (the minimum with VBR), maximum,
// mode, VBR and its quality, the copyright, original and private bits; input 44100 Hz, the
// output rate left to the encoder, no bit reservoir, quality 2.
BeConfig Mp3Config(const setup::Settings& format);

// A stretch of the export range that lies in one segment: `blocks` positions from `first`.
struct PositionRun {
    uint32_t first;
    uint32_t blocks;
};

// The runs, in sound order, that cover the part of positions first..last the segments of
// `level` hold; nothing for a reversed range (last < first).
std::vector<PositionRun> ExportRuns(const operations::Level& level, uint32_t first, uint32_t last);

} // namespace exporting

// SPDX-License-Identifier: GPL-3.0-or-later
// The WAV exporter: walks the range block by block through the current edit list, converts each
// block into a buffer of its own and writes a temporary file beside the target, renamed over it
// only when everything was written.
#include "export/export_job.h"
#include "export/save_flow.h"
#include "export/target_file.h"
#include "export/wav_format.h"

#include "operations/editing_state.h"
#include "operations/undo_history.h"
#include "platform/process_messages.h"
#include "record/blocks.h"
#include "record/raw_file.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace exporting {

namespace {

// Blocks per read and write. One read and one write per block costs more system calls than the
// conversion; runs of about 1 MB leave the processor's cache between the read and the write and
// measured two to three times slower than runs of 8 blocks (141 KB) for a one-hour export.
constexpr uint32_t ExportRunBlocks = 8;

// The exporter's own buffers, sized on first use and reused: converting from the recorder's or
// the operations' buffers would let a command run between two blocks overwrite them.
struct WavBuffers {
    std::vector<uint8_t> source; // a run of source blocks
    std::vector<uint8_t> out;    // the run converted, waiting to be written
};

WavBuffers& Buffers() {
    static WavBuffers buffers;
    if (buffers.source.empty()) {
        buffers.source.resize(size_t(ExportRunBlocks) * record::BlockBytes);
        buffers.out.resize(size_t(ExportRunBlocks) * record::BlockBytes);
    }
    return buffers;
}

Result Failed(const QString& error) {
    return {Outcome::Failed, error};
}

QString FormatText(const app::Settings& s) {
    return QString("The WAV format %1 Hz, %2 channels, %3 bits is not supported.")
        .arg(s.SamplePerSecond)
        .arg(s.Channels)
        .arg(s.BitPerSample);
}

// Reads the positions from `position` on that continue in one source file, at most `count`, with
// one read into buf. Returns how many positions that is (0 for a position in no segment) and in
// *bytes the bytes read, fewer than asked when the file ends early or cannot be read.
uint32_t ReadRun(uint32_t position, uint32_t count, uint8_t* buf, size_t* bytes) {
    *bytes = 0;
    const std::optional<operations::SourceBlock> head = operations::LookupPosition(position);
    if (!head) {
        return 0;
    }
    uint32_t run = 1;
    while (run < count) {
        const std::optional<operations::SourceBlock> next =
            operations::LookupPosition(position + run);
        if (!next || next->fromRecording != head->fromRecording ||
            next->block != head->block + run) {
            break;
        }
        ++run;
    }
    const record::RawFile* source =
        head->fromRecording ? operations::state.RecordingStream : &operations::state.EditStream;
    *bytes = source ? source->ReadBlocks(head->block, buf, run) : 0;
    return run;
}

QString ShortReadText(uint32_t position, size_t got) {
    return QString("Read error: only %1 of %2 bytes of block %3 of the sound could be read; "
                   "nothing was saved.")
        .arg(got)
        .arg(record::BlockBytes)
        .arg(position);
}

} // namespace

Result ExportWav(const QString& target, const app::Settings& settings, uint32_t first,
                 uint32_t last) {
    const std::optional<WavFormat> format = WavFormatOf(settings);
    if (!format) {
        return Failed(FormatText(settings));
    }
    if (!IsExportRange(first, last, operations::state.FileBlocks)) {
        return Failed(PleaseSelectWaveformText);
    }
    const uint64_t blocks = uint64_t(last) + 1 - first;
    const uint64_t dataBytes = DataBytes(*format, blocks);
    // 44100 Hz 16-bit stereo is the internal format: blocks are read straight into the output.
    const bool verbatim =
        format->sampleRate == record::SampleRate && format->channels == 2 && format->bits == 16;

    QString error;
    TargetFile file(target);
    if (!file.Open(&error)) {
        return Failed(error);
    }
    // The header's size is fixed now from the size the data will have; its content is written
    // once the data is complete.
    const std::vector<uint8_t> placeholder(HeaderBytes(dataBytes), 0);
    if (!file.Write(placeholder.data(), qint64(placeholder.size()), &error)) {
        return Failed(error);
    }

    WavBuffers& buf = Buffers();
    uint64_t frame = 0; // running index of the block's first frame in the exported sound
    uint64_t written = 0;
    for (uint64_t i = first; i <= last;) {
        // A run of blocks is read at once (one read per block would cost more than the
        // conversion); progress, pending messages and Cancel still come block by block.
        uint8_t* source = verbatim ? buf.out.data() : buf.source.data();
        size_t got = 0;
        const uint32_t run = ReadRun(
            uint32_t(i), uint32_t(std::min<uint64_t>(ExportRunBlocks, last - i + 1)), source, &got);
        if (run == 0 || got != size_t(run) * record::BlockBytes) {
            return Failed(
                ShortReadText(uint32_t(i + got / record::BlockBytes), got % record::BlockBytes));
        }
        size_t pending = 0; // bytes of buf.out to write
        for (uint32_t k = 0; k < run; ++k) {
            pending += verbatim ? size_t(record::BlockBytes)
                                : ConvertBlock(*format, source + size_t(k) * record::BlockBytes,
                                               frame, buf.out.data() + pending);
            frame += record::BlockFrames;
            operations::state.ProgressPercent = ExportPercent(i + k - first + 1, blocks);
            platform::ProcessMessages();
            if (!state.ContinueExport) {
                return {Outcome::Cancelled, {}};
            }
        }
        if (!file.Write(buf.out.data(), qint64(pending), &error)) {
            return Failed(error);
        }
        written += pending;
        i += run;
    }
    if (written != dataBytes) {
        return Failed(QString("Internal error: %1 bytes of sound written, %2 expected.")
                          .arg(written)
                          .arg(dataBytes));
    }
    operations::state.ProgressPercent = ExportPercent(blocks, blocks);
    const std::vector<uint8_t> header = BuildHeader(*format, dataBytes);
    if (!file.WriteAt(0, header.data(), qint64(header.size()), &error) || !file.Commit(&error)) {
        return Failed(error);
    }
    return {};
}

} // namespace exporting

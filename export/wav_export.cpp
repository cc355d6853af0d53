// SPDX-License-Identifier: GPL-3.0-or-later
// The WAV exporter: walks the range block by block through the current edit list, converts each
// block into a buffer of its own and writes a temporary file beside the target, renamed over it
// only when everything was written.
#include "export/export_job.h"
#include "export/save_flow.h"
#include "export/target_file.h"
#include "export/wav_format.h"

#include "operations/editing_state.h"
#include "operations/operation_steps.h"
#include "operations/undo_history.h"
#include "platform/process_messages.h"
#include "record/blocks.h"

#include <vector>

namespace exporting {

namespace {

// The exporter's own buffers, sized on first use and reused: converting from the recorder's or
// the operations' buffers would let a command run between two blocks overwrite them.
struct WavBuffers {
    std::vector<uint8_t> source; // one source block
    std::vector<uint8_t> out;    // converted blocks waiting to be written
};

WavBuffers& Buffers() {
    static WavBuffers buffers;
    if (buffers.source.empty()) {
        buffers.source.resize(record::BlockBytes);
        // Written RunBlocks blocks at a time: one small write per block costs the file system
        // more than twice as much (see operations/operation_steps.h).
        buffers.out.resize(size_t(operations::RunBlocks) * record::BlockBytes);
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
    size_t pending = 0; // bytes in buf.out not yet written
    uint64_t frame = 0; // running index of the block's first frame in the exported sound
    uint64_t written = 0;
    auto flush = [&]() {
        const bool ok = file.Write(buf.out.data(), qint64(pending), &error);
        written += pending;
        pending = 0;
        return ok;
    };
    for (uint64_t i = first; i <= last; ++i) {
        if (pending + record::BlockBytes > buf.out.size() && !flush()) {
            return Failed(error);
        }
        uint8_t* dst = verbatim ? buf.out.data() + pending : buf.source.data();
        const size_t got = operations::ReadPosition(uint32_t(i), dst);
        if (got != size_t(record::BlockBytes)) {
            return Failed(ShortReadText(uint32_t(i), got));
        }
        pending += verbatim ? size_t(record::BlockBytes)
                            : ConvertBlock(*format, dst, frame, buf.out.data() + pending);
        frame += record::BlockFrames;
        operations::state.ProgressPercent = ExportPercent(i - first + 1, blocks);
        platform::ProcessMessages();
        if (!state.ContinueExport) {
            return {Outcome::Cancelled, {}};
        }
    }
    if (!flush()) {
        return Failed(error);
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

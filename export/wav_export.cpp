// SPDX-License-Identifier: GPL-3.0-or-later
// The WAV exporter: walks the range block by block through the sound it was given, converts each
// block into a buffer of its own and writes a temporary file beside the target, renamed over it
// only when everything was written. A WAV in the blocks' own format holds exactly their bytes:
// those are copied from the source files by the kernel, run by run, and read and written here
// only where the kernel will not copy.
#include "export/exporter.h"
#include "export/save_flow.h"
#include "export/target_file.h"
#include "export/wav_format.h"

#include "base/blocks.h"
#include "base/errors.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace exporting {

namespace {

// Blocks per read and write. One read and one write per block costs more system calls than the
// conversion; runs of about 1 MB leave the processor's cache between the read and the write and
// measured two to three times slower than runs of 8 blocks (141 KB) for a one-hour export.
constexpr uint32_t ExportRunBlocks = 8;
// Blocks per kernel copy: nothing passes through the cache here, so longer runs only save calls.
constexpr uint32_t CopyRunBlocks = 64;

[[noreturn]] void Fail(const QString& text) {
    throw base::UserError(text.toStdString());
}

QString FormatText(const setup::Settings& s) {
    return QString("The WAV format %1 Hz, %2 channels, %3 bits is not supported.")
        .arg(s.SamplePerSecond)
        .arg(s.Channels)
        .arg(s.BitPerSample);
}

QString ShortReadText(uint32_t position, size_t got) {
    return QString("Read error: only %1 of %2 bytes of block %3 of the sound could be read; "
                   "nothing was saved.")
        .arg(got)
        .arg(base::BlockBytes)
        .arg(position);
}

// Reads the positions from `position` on that continue in one source file, at most `count`, into
// buf. Returns how many positions that is, 0 for a position in no segment; throws the short-read
// text when the file ends early or cannot be read.
uint32_t ReadRun(const operations::SoundSource& sound, uint32_t position, uint32_t count,
                 uint8_t* buf) {
    const operations::PositionsRead read = sound.ReadPositions(position, count, buf);
    if (read.positions == 0) {
        Fail(ShortReadText(position, 0));
    }
    // The run lies in one file at rising offsets: the first block the file did not give whole
    // is the one the bytes end in.
    if (read.bytes < size_t(read.positions) * base::BlockBytes) {
        Fail(ShortReadText(position + uint32_t(read.bytes / base::BlockBytes),
                           read.bytes % base::BlockBytes));
    }
    return read.positions;
}

} // namespace

Outcome Exporter::ExportWav(const QString& target, const setup::Settings& settings, uint32_t first,
                            uint32_t last) {
    const std::optional<WavFormat> format = WavFormatOf(settings);
    if (!format) {
        Fail(FormatText(settings));
    }
    if (!IsExportRange(first, last, sound_.Blocks())) {
        Fail(PleaseSelectWaveformText);
    }
    const uint64_t blocks = uint64_t(last) + 1 - first;
    const uint64_t dataBytes = DataBytes(*format, blocks);
    // 44100 Hz 16-bit stereo is the internal format: blocks are read straight into the output.
    const bool verbatim =
        format->sampleRate == base::SampleRate && format->channels == 2 && format->bits == 16;

    TargetFile file(target, files_);
    file.Open();
    // The header's size is fixed now from the size the data will have; its content is written
    // once the data is complete.
    const std::vector<uint8_t> placeholder(HeaderBytes(dataBytes), 0);
    file.Write(placeholder.data(), qint64(placeholder.size()));

    if (wavSource_.empty()) {
        wavSource_.resize(size_t(ExportRunBlocks) * base::BlockBytes);
        wavOut_.resize(size_t(ExportRunBlocks) * base::BlockBytes);
    }
    uint64_t frame = 0; // running index of the block's first frame in the exported sound
    uint64_t written = 0;
    const qint64 dataStart = qint64(placeholder.size());
    bool kernelCopy = verbatim; // until the kernel refuses once
    for (uint64_t i = first; i <= last;) {
        if (kernelCopy) {
            const operations::PositionsPlace place = sound_.PlacePositions(
                uint32_t(i), uint32_t(std::min<uint64_t>(CopyRunBlocks, last - i + 1)));
            if (place.fd >= 0 && place.positions > 0) {
                const qint64 bytes = qint64(place.positions) * base::BlockBytes;
                const qint64 copied =
                    file.CopyAt(dataStart + qint64(written), place.fd, place.offset, bytes);
                // Whole blocks count; a block copied in part is read and written over below
                // (a source that ended early then fails with the short-read text).
                const uint32_t whole = uint32_t(copied / base::BlockBytes);
                for (uint32_t k = 0; k < whole; ++k) {
                    if (!Step(ExportPercent(i + k - first + 1, blocks))) {
                        return Outcome::Cancelled;
                    }
                }
                written += uint64_t(whole) * base::BlockBytes;
                frame += uint64_t(whole) * base::BlockFrames;
                i += whole;
                if (copied == bytes) {
                    continue;
                }
                // A source that ended shows in the read below; anything else is a refusal.
                kernelCopy = false;
            }
        }
        // A run of blocks is read at once (one read per block would cost more than the
        // conversion); progress, pending messages and Cancel still come block by block.
        uint8_t* source = verbatim ? wavOut_.data() : wavSource_.data();
        const uint32_t run =
            ReadRun(sound_, uint32_t(i),
                    uint32_t(std::min<uint64_t>(ExportRunBlocks, last - i + 1)), source);
        size_t pending = 0; // bytes of wavOut_ to write
        for (uint32_t k = 0; k < run; ++k) {
            pending += verbatim ? size_t(base::BlockBytes)
                                : ConvertBlock(*format, source + size_t(k) * base::BlockBytes,
                                               frame, wavOut_.data() + pending);
            frame += base::BlockFrames;
            if (!Step(ExportPercent(i + k - first + 1, blocks))) {
                return Outcome::Cancelled;
            }
        }
        file.WriteAt(dataStart + qint64(written), wavOut_.data(), qint64(pending));
        written += pending;
        i += run;
    }
    if (written != dataBytes) {
        Fail(QString("Internal error: %1 bytes of sound written, %2 expected.")
                 .arg(written)
                 .arg(dataBytes));
    }
    progressPercent_ = ExportPercent(blocks, blocks);
    const std::vector<uint8_t> header = BuildHeader(*format, dataBytes);
    file.WriteAt(0, header.data(), qint64(header.size()));
    file.Commit();
    return Outcome::Done;
}

} // namespace exporting

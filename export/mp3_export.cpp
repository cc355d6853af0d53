// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/mp3_export.h"

#include "base/blocks.h"
#include "base/errors.h"
#include "export/encoder_library.h"
#include "export/exporter.h"
#include "export/save_flow.h"
#include "export/target_file.h"

#include <QFile>

#include <algorithm>
#include <cstring>

namespace exporting {

const char* const EncoderMissingText = "Lame_enc.dll did not found";
const char* const EncoderErrorText = "BE_ERR code-";
const char* const StreamReadErrorText =
    "Stream read error: the sound is shorter than its edit list";

QString EncoderErrorMessage(uint32_t code) {
    return QString::fromLatin1(EncoderErrorText) + QString::number(code);
}

BeConfig Mp3Config(const setup::Settings& format) {
    BeConfig c;
    c.kind = BeConfigLame;
    c.version = BeConfigVersion;
    c.size = sizeof(BeConfig);
    c.sampleRate = base::SampleRate;
    c.reSampleRate = 0;
    c.mode = format.Mode;
    // Negative settings become huge unsigned values, which the encoder refuses.
    c.bitRate = uint32_t(format.VBR ? format.MinBitRate : format.BitRate);
    c.maxBitRate = uint32_t(format.MaxBitRate);
    c.preset = -1;
    c.mpegVersion = 1;
    c.psyModel = 0;
    c.emphasis = 0;
    c.privateBit = format.Private ? BeTrue : BeFalse;
    c.crc = BeFalse;
    c.copyright = format.Copyright ? BeTrue : BeFalse;
    c.original = format.Original ? BeTrue : BeFalse;
    c.writeVbrHeader = BeFalse;
    c.enableVbr = format.VBR ? BeTrue : BeFalse;
    c.vbrQuality = format.VBRQuality;
    c.abrBitRate = 0;
    c.vbrMethod = BeVbrMethodDefault;
    c.noReservoir = BeTrue;
    c.strictIso = BeFalse;
    c.quality = BeQuality(2);
    std::memset(c.reserved, 0, sizeof c.reserved);
    return c;
}

std::vector<PositionRun> ExportRuns(const operations::Level& level, uint32_t first, uint32_t last) {
    std::vector<PositionRun> runs;
    for (int i = 0; i < level.SegmentCount && first <= last; ++i) {
        const operations::Segment& s = level.Segments[i];
        if (s.length == 0) {
            continue;
        }
        // 64 bits: start + length can pass 2^32 in a damaged list.
        const uint64_t end = uint64_t(s.start) + s.length - 1;
        if (end < first || last < s.start) {
            continue;
        }
        const uint32_t from = std::max(first, s.start);
        const uint32_t to = uint32_t(std::min<uint64_t>(last, end));
        runs.push_back({from, to - from + 1});
    }
    return runs;
}

namespace {

// The open encoder stream, closed exactly once on every path.
class StreamScope {
  public:
    StreamScope(const exporting::EncoderLibrary& library, BeStream stream)
        : library_(library), stream_(stream) {}
    ~StreamScope() { library_.beCloseStream(stream_); }
    StreamScope(const StreamScope&) = delete;
    StreamScope& operator=(const StreamScope&) = delete;

  private:
    const exporting::EncoderLibrary& library_;
    BeStream stream_;
};

[[noreturn]] void Fail(const QString& text) {
    throw base::UserError(text.toStdString());
}

// One export's encoder, buffers and output; Encode feeds it run by run.
struct Job {
    const operations::SoundSource& sound;
    const exporting::EncoderLibrary& library;
    BeStream stream;
    TargetFile& file;
    size_t chunkBytes;                // whole frames, at most what the encoder takes per call
    std::vector<unsigned char> input; // chunkBytes + one block: a read never splits a block
    std::vector<uint8_t> output;      // the size the encoder asked for
    // Encoded bytes not yet written. A chunk yields a few hundred bytes; one write each would
    // cost more system calls than the encoding of small chunks can hide.
    std::vector<uint8_t> pending;
    uint64_t totalBytes = 0; // 64 bits: a long sound passes 4 GiB
    uint64_t doneBytes = 0;

    enum class Step { Next, Cancelled };

    void EncodeChunk(const unsigned char* data, size_t bytes) {
        uint32_t used = 0;
        // A chunk the encoder refused is sound missing from the file: the export fails rather
        // than end with a file that looks complete.
        const BeErr code =
            library.beEncodeChunk(stream, uint32_t(bytes / 2),
                                  reinterpret_cast<const int16_t*>(data), output.data(), &used);
        if (code != BeErrSuccessful) {
            Fail(EncoderErrorMessage(code));
        }
        Put(output.data(), std::min<size_t>(used, output.size()));
    }

    static constexpr size_t WriteBytes = 64 * 1024;

    void Put(const uint8_t* data, size_t bytes) {
        pending.insert(pending.end(), data, data + bytes);
        if (pending.size() >= WriteBytes) {
            Flush();
        }
    }

    void Flush() {
        if (!pending.empty()) {
            file.Write(pending.data(), qint64(pending.size()));
        }
        pending.clear();
    }

    // Feeds positions run.first .. in chunks of chunkBytes, the last one short. `step` publishes
    // the progress before each chunk and answers false once Cancel was called.
    template <typename StepFn> Step Encode(const PositionRun& run, StepFn step) {
        uint32_t next = run.first;
        uint32_t left = run.blocks; // positions not read yet
        size_t have = 0;            // bytes read into `input`
        size_t at = 0;              // bytes of them already encoded
        for (;;) {
            if (have - at < chunkBytes && left > 0) {
                std::memmove(input.data(), input.data() + at, have - at);
                have -= at;
                at = 0;
                while (have < chunkBytes && left > 0) {
                    if (sound.ReadPosition(next, input.data() + have) != size_t(base::BlockBytes)) {
                        Fail(QString::fromLatin1(StreamReadErrorText));
                    }
                    have += base::BlockBytes;
                    ++next;
                    --left;
                }
            }
            if (at == have) {
                return Step::Next;
            }
            const bool go = step(ExportPercent(doneBytes, totalBytes));
            const size_t chunk = std::min(chunkBytes, have - at);
            EncodeChunk(input.data() + at, chunk);
            at += chunk;
            doneBytes += chunk;
            if (!go) {
                return Step::Cancelled;
            }
        }
    }
};

} // namespace

Outcome Exporter::ExportMp3(const QString& target, const setup::Settings& format, uint32_t first,
                            uint32_t last) {
    // As the WAV exporter: a reversed range or one outside the sound is refused before anything
    // is created, rather than replace the target with a file without sound.
    if (!IsExportRange(first, last, sound_.Blocks())) {
        Fail(PleaseSelectWaveformText);
    }
    const std::unique_ptr<exporting::EncoderLibrary> loaded = encoders_.Load();
    const exporting::EncoderLibrary& library = *loaded;
    if (!library.IsLoaded()) {
        Fail(QString::fromLatin1(EncoderMissingText));
    }
    BeVersion version;
    library.beVersion(&version);

    const BeConfig config = Mp3Config(format);
    uint32_t chunkValues = 0, outputBytes = 0;
    BeStream stream = 0;
    const BeErr initError = library.beInitStream(&config, &chunkValues, &outputBytes, &stream);
    if (initError != BeErrSuccessful) {
        Fail(EncoderErrorMessage(initError));
    }
    const StreamScope streamScope(library, stream);
    if (chunkValues < 2) {
        Fail(EncoderErrorMessage(BeErrInvalidFormatParameters));
    }

    TargetFile file(target, files_);
    Job job{sound_, library, stream, file, size_t(chunkValues / 2) * base::FrameBytes,
            {},     {},      {},     0,    0};
    job.input.resize(job.chunkBytes + base::BlockBytes);
    job.output.resize(outputBytes);
    job.pending.reserve(Job::WriteBytes + outputBytes);
    file.Open();

    // The sound is fed as one run: the encoder buffers whole frames itself, so where the
    // sound's pieces meet changes nothing in what it writes.
    const PositionRun whole{first, last + 1 - first};
    job.totalBytes = uint64_t(whole.blocks) * base::BlockBytes;
    const bool cancelled = whole.blocks > 0 && job.Encode(whole, [this](float p) {
        return Step(p);
    }) == Job::Step::Cancelled;

    // The flush ends the stream also when cancelled; the temporary file then goes unused.
    uint32_t used = 0;
    const BeErr flushError = library.beDeinitStream(stream, job.output.data(), &used);
    if (cancelled) {
        return Outcome::Cancelled;
    }
    // A stream that did not end cleanly may lack its last frames: the earlier file stays.
    if (flushError != BeErrSuccessful) {
        Fail(EncoderErrorMessage(flushError));
    }
    job.Put(job.output.data(), std::min<size_t>(used, job.output.size()));
    job.Flush();
    // The first frame becomes the Xing/Info frame: length, seek table, delay and padding.
    const BeErr tagError =
        library.beWriteVBRHeader(QFile::encodeName(file.TemporaryPath()).constData());
    if (tagError != BeErrSuccessful) {
        Fail(EncoderErrorMessage(tagError));
    }
    file.Commit();
    progressPercent_ = ExportPercent(job.totalBytes, job.totalBytes);
    return Outcome::Done;
}

} // namespace exporting

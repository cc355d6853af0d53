// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/wav_format.h"

#include "base/blocks.h"

#include <cstring>

namespace exporting {

std::optional<WavFormat> WavFormatOf(const setup::Settings& s) {
    const bool rateOk = setup::OfferedIndex(setup::OfferedSampleRates, s.SamplePerSecond) >= 0;
    const bool channelsOk = setup::OfferedIndex(setup::OfferedChannels, s.Channels) >= 0;
    const bool bitsOk = setup::OfferedIndex(setup::OfferedBitsPerSample, s.BitPerSample) >= 0;
    if (!rateOk || !channelsOk || !bitsOk) {
        return std::nullopt;
    }
    return WavFormat{uint32_t(s.SamplePerSecond), uint16_t(s.Channels), uint16_t(s.BitPerSample)};
}

uint32_t Stride(const WavFormat& format) {
    return base::SampleRate / format.sampleRate;
}

uint32_t OutputFrameBytes(const WavFormat& format) {
    return format.channels * format.bits / 8u;
}

namespace {
// Multiples of `stride` below `n`: the frames taken among running indexes 0..n-1.
uint64_t TakenBelow(uint64_t n, uint32_t stride) {
    return (n + stride - 1) / stride;
}
} // namespace

uint32_t FramesInBlock(const WavFormat& format, uint64_t firstFrame) {
    const uint32_t s = Stride(format);
    return uint32_t(TakenBelow(firstFrame + base::BlockFrames, s) - TakenBelow(firstFrame, s));
}

uint32_t BytesInBlock(const WavFormat& format, uint64_t firstFrame) {
    return FramesInBlock(format, firstFrame) * OutputFrameBytes(format);
}

uint64_t ExportedFrames(const WavFormat& format, uint64_t blocks) {
    return TakenBelow(blocks * base::BlockFrames, Stride(format));
}

uint64_t DataBytes(const WavFormat& format, uint64_t blocks) {
    return ExportedFrames(format, blocks) * OutputFrameBytes(format);
}

size_t ConvertBlock(const WavFormat& format, const uint8_t* block, uint64_t firstFrame,
                    uint8_t* out) {
    const uint32_t s = Stride(format);
    const uint32_t frames = FramesInBlock(format, firstFrame);
    // First frame of this block whose running index is a multiple of the stride.
    const uint32_t j0 = uint32_t((s - firstFrame % s) % s);
    const uint8_t* in = block + size_t(j0) * base::FrameBytes;
    const size_t step = size_t(s) * base::FrameBytes;
    uint8_t* o = out;
    if (format.bits == 16 && format.channels == 2) {
        if (s == 1) {
            std::memcpy(o, in, size_t(frames) * base::FrameBytes);
            o += size_t(frames) * base::FrameBytes;
        } else {
            for (uint32_t k = 0; k < frames; ++k, in += step, o += 4) {
                std::memcpy(o, in, 4);
            }
        }
    } else if (format.bits == 16) {
        for (uint32_t k = 0; k < frames; ++k, in += step, o += 2) {
            o[0] = in[0];
            o[1] = in[1];
        }
    } else if (format.channels == 2) {
        for (uint32_t k = 0; k < frames; ++k, in += step, o += 2) {
            o[0] = uint8_t(in[1] ^ 0x80);
            o[1] = uint8_t(in[3] ^ 0x80);
        }
    } else {
        for (uint32_t k = 0; k < frames; ++k, in += step, ++o) {
            *o = uint8_t(in[1] ^ 0x80);
        }
    }
    return size_t(o - out);
}

size_t HeaderBytes(uint64_t dataBytes) {
    return dataBytes > MaxRiffDataBytes ? Rf64HeaderBytes : RiffHeaderBytes;
}

namespace {
struct HeaderWriter {
    std::vector<uint8_t>& out;
    void Tag(const char* four) { out.insert(out.end(), four, four + 4); }
    void U16(uint16_t v) {
        out.push_back(uint8_t(v));
        out.push_back(uint8_t(v >> 8));
    }
    void U32(uint32_t v) {
        U16(uint16_t(v));
        U16(uint16_t(v >> 16));
    }
    void U64(uint64_t v) {
        U32(uint32_t(v));
        U32(uint32_t(v >> 32));
    }
};
} // namespace

std::vector<uint8_t> BuildHeader(const WavFormat& format, uint64_t dataBytes) {
    std::vector<uint8_t> header;
    header.reserve(Rf64HeaderBytes);
    HeaderWriter w{header};
    const bool rf64 = dataBytes > MaxRiffDataBytes;
    if (rf64) {
        // The 32-bit fields say "see ds64"; ds64 holds the true sizes.
        w.Tag("RF64");
        w.U32(0xFFFFFFFFu);
        w.Tag("WAVE");
        w.Tag("ds64");
        w.U32(28);
        w.U64(dataBytes + Rf64HeaderBytes - 8); // RIFF size: the file minus its first 8 bytes
        w.U64(dataBytes);
        w.U64(dataBytes / OutputFrameBytes(format)); // sample count, in frames
        w.U32(0);                                    // no table entries
    } else {
        w.Tag("RIFF");
        w.U32(uint32_t(dataBytes + 36));
        w.Tag("WAVE");
    }
    w.Tag("fmt ");
    w.U32(16);
    w.U16(1); // PCM
    w.U16(format.channels);
    w.U32(format.sampleRate);
    w.U32(format.sampleRate * OutputFrameBytes(format)); // byte rate
    w.U16(uint16_t(OutputFrameBytes(format)));           // block align
    w.U16(format.bits);
    w.Tag("data");
    w.U32(rf64 ? 0xFFFFFFFFu : uint32_t(dataBytes));
    return header;
}

} // namespace exporting

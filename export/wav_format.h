// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "setup/settings.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

// The WAV output formats and the pure rules of the conversion: which source frames a block
// contributes, how many bytes that makes, the sample conversion and the header. No files here.
//
// Rate reduction is plain decimation: the exported sound keeps the frames whose running index
// (counted from the first frame of the export, over all blocks) is a multiple of the stride. The
// phase carries from block to block, so 11025 Hz gives exactly 11025 frames per second of
// source (blocks of 1103 and 1102 frames in turn) and 22050 Hz exactly 22050.
namespace exporting {

// One of the twelve PCM formats: 44100, 22050 or 11025 Hz; 2 or 1 channels; 16 or 8 bits.
struct WavFormat {
    uint32_t sampleRate = 44100;
    uint16_t channels = 2;
    uint16_t bits = 16;
};

// The format the settings ask for, or nullopt for a value outside the twelve formats (only a
// hand-edited settings file holds one).
std::optional<WavFormat> WavFormatOf(const setup::Settings& settings);

// Source frames per exported frame: 1, 2 or 4.
uint32_t Stride(const WavFormat& format);
// Bytes of one exported frame: channels * bits / 8.
uint32_t OutputFrameBytes(const WavFormat& format);

// Frames (and bytes) the source block whose first frame has running index `firstFrame` in the
// exported sound contributes.
uint32_t FramesInBlock(const WavFormat& format, uint64_t firstFrame);
uint32_t BytesInBlock(const WavFormat& format, uint64_t firstFrame);
// Frames and data bytes of an export of `blocks` whole source blocks.
uint64_t ExportedFrames(const WavFormat& format, uint64_t blocks);
uint64_t DataBytes(const WavFormat& format, uint64_t blocks);

// 8-bit output of a 16-bit sample: its high byte made unsigned, 128 being silence
// ((high byte - 128) mod 256; no rounding, no dithering).
inline uint8_t To8Bit(int16_t sample) {
    return uint8_t((uint16_t(sample) >> 8) ^ 0x80);
}

// Converts one source block (base::BlockBytes bytes of the internal format) whose first frame
// has running index `firstFrame` into `out`, which must hold BytesInBlock bytes. Mono is the left
// channel alone (nothing is mixed). Returns the bytes written.
size_t ConvertBlock(const WavFormat& format, const uint8_t* block, uint64_t firstFrame,
                    uint8_t* out);

// The largest data size the 32-bit size fields of a plain RIFF header can describe (the RIFF
// size is data + 36). Anything larger is written as RF64 with a ds64 chunk.
constexpr uint64_t MaxRiffDataBytes = 0xFFFFFFFFull - 36; // 4,294,967,259
constexpr size_t RiffHeaderBytes = 44;
constexpr size_t Rf64HeaderBytes = 80;

// Size of the header written before `dataBytes` of data: 44, or 80 for RF64.
size_t HeaderBytes(uint64_t dataBytes);
// The header for `dataBytes` of data in `format` (HeaderBytes(dataBytes) bytes): a 44-byte
// RIFF/WAVE PCM header, or for more than MaxRiffDataBytes an RF64 header ("RF64", ds64 with the
// 64-bit sizes and sample count, fmt, data) whose 32-bit size fields hold 0xFFFFFFFF.
std::vector<uint8_t> BuildHeader(const WavFormat& format, uint64_t dataBytes);

} // namespace exporting

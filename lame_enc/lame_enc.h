// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>

// The interface of our MP3 encoder library lame_enc.so: a BladeEnc-style stream API over
// libmp3lame. The program never links it; export/encoder_library.h loads it at run time and
// looks the entry points up by their names, so the record layout and the signatures below are
// the whole contract between the two. All integers are little-endian; every entry point returns
// one of the BeErr codes, 0 meaning success.

using BeErr = uint32_t;
constexpr BeErr BeErrSuccessful = 0;
constexpr BeErr BeErrInvalidFormat = 1;           // unknown configuration kind or layout version
constexpr BeErr BeErrInvalidFormatParameters = 2; // a value the encoder cannot use (bit rate ...)
constexpr BeErr BeErrNoMoreHandles = 3;
constexpr BeErr BeErrInvalidHandle = 4;
constexpr BeErr BeErrBufferTooSmall = 5; // more values than one chunk, or no room for the tag
constexpr BeErr BeErrNoTagFrame = 6;     // beWriteVBRHeader before a flush
constexpr BeErr BeErrFileAccess = 7;     // beWriteVBRHeader could not rewrite the file

// A stream handle: a 32-bit number, not a pointer, so the record of every call stays 32-bit.
using BeStream = uint32_t;

constexpr uint32_t BeConfigLame = 256; // configuration kind: the LAME layout below
constexpr uint32_t BeConfigVersion = 1;

// Channel modes (BeConfig::mode).
constexpr int32_t BeModeStereo = 0;
constexpr int32_t BeModeJointStereo = 1;
constexpr int32_t BeModeDualChannel = 2;
constexpr int32_t BeModeMono = 3;

constexpr int32_t BeTrue = -1; // flags are 32-bit: true is all bits set, false 0
constexpr int32_t BeFalse = 0;

// VBR methods (BeConfig::vbrMethod).
constexpr int32_t BeVbrMethodDefault = 0;
constexpr int32_t BeVbrMethodOld = 1;
constexpr int32_t BeVbrMethodNew = 2;
constexpr int32_t BeVbrMethodMtrh = 3;
constexpr int32_t BeVbrMethodAbr = 4;

// quality holds the quality 0 (best) .. 9 in its low byte and that byte's complement in its
// high byte; any other value leaves the encoder's own default.
constexpr uint16_t BeQuality(uint8_t q) {
    return uint16_t(q | (uint8_t(~q) << 8));
}

#pragma pack(push, 1)
// The configuration record of beInitStream, LAME layout version 1: 331 bytes, packed.
struct BeConfig {
    uint32_t kind = BeConfigLame;
    uint32_t version = BeConfigVersion;
    uint32_t size = 331;
    uint32_t sampleRate = 44100; // input frames per second
    uint32_t reSampleRate = 0;   // output rate; 0: the encoder picks one for the bit rate
    int32_t mode = BeModeStereo;
    uint32_t bitRate = 128;       // kbps; with VBR one limit of the range, maxBitRate the other
    uint32_t maxBitRate = 320;    // kbps, VBR only
    int32_t preset = -1;          // -1: none (the only value accepted)
    uint32_t mpegVersion = 1;     // informational: the output rate decides the MPEG version
    uint32_t psyModel = 0;        // informational
    uint32_t emphasis = 0;        // 0 none, 1 50/15 us, 3 CCITT J.17
    int32_t privateBit = BeFalse; // the header's private (extension) bit
    int32_t crc = BeFalse;        // a CRC after every frame header
    int32_t copyright = BeFalse;
    int32_t original = BeFalse;
    int32_t writeVbrHeader = BeFalse; // ignored: a tag frame is written whenever one fits
    int32_t enableVbr = BeFalse;
    int32_t vbrQuality = 4;  // 0 best .. 9 worst
    uint32_t abrBitRate = 0; // kbps with BeVbrMethodAbr
    int32_t vbrMethod = BeVbrMethodDefault;
    int32_t noReservoir = BeFalse;
    int32_t strictIso = BeFalse;
    uint16_t quality = BeQuality(2);
    uint8_t reserved[237] = {};
};

// What beVersion reports.
struct BeVersion {
    uint8_t libraryMajor;
    uint8_t libraryMinor;
    uint8_t engineMajor; // libmp3lame's version
    uint8_t engineMinor;
    uint8_t day; // of this library's build
    uint8_t month;
    uint16_t year;
    char homepage[129];
};
#pragma pack(pop)

static_assert(sizeof(BeConfig) == 331);
static_assert(offsetof(BeConfig, mode) == 20);
static_assert(offsetof(BeConfig, privateBit) == 48);
static_assert(offsetof(BeConfig, enableVbr) == 68);
static_assert(offsetof(BeConfig, quality) == 92);

extern "C" {
// Opens a stream. *samplesPerChunk: the 16-bit values (both channels counted) each
// beEncodeChunk call takes at most; *outputBytes: the output buffer every call needs.
using BeInitStreamFn = BeErr (*)(const BeConfig* config, uint32_t* samplesPerChunk,
                                 uint32_t* outputBytes, BeStream* stream);
// Encodes `values` interleaved 16-bit values (two channels, also in mono mode) and puts the
// bytes of the stream that are ready into `output`, *outputUsed of them.
using BeEncodeChunkFn = BeErr (*)(BeStream stream, uint32_t values, const int16_t* samples,
                                  uint8_t* output, uint32_t* outputUsed);
// Flushes the stream: its last bytes go into `output`. Afterwards the tag frame is final.
using BeDeinitStreamFn = BeErr (*)(BeStream stream, uint8_t* output, uint32_t* outputUsed);
// Releases the stream.
using BeCloseStreamFn = BeErr (*)(BeStream stream);
using BeVersionFn = BeErr (*)(BeVersion* version);
// Overwrites the first frame of `fileName` (the blank one every stream starts with) with the
// tag frame of the stream flushed last and not yet closed: the Xing or Info frame that gives the
// frame count, byte count, seek table, encoder delay and padding.
using BeWriteVBRHeaderFn = BeErr (*)(const char* fileName);
}

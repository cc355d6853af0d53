// SPDX-License-Identifier: GPL-3.0-or-later
// The encoder library over libmp3lame. Each stream is one lame_global_flags; handles are small
// numbers into a table, so no pointer crosses the 32-bit interface.

#include "lame_enc/lame_enc.h"

#include <lame/lame.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <type_traits>
#include <unistd.h>
#include <vector>

#define BE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

struct Stream {
    lame_global_flags* gf = nullptr;
    uint32_t chunkValues = 0;
    uint32_t outputBytes = 0;
    bool flushed = false;
    // Filled by beDeinitStream. Empty when no tag frame fits a frame of the stream's bit rate
    // (CBR 32 kbps at 16000 Hz): libmp3lame then reserves none, and there is nothing to write.
    std::vector<uint8_t> tagFrame;
};

// The table of open streams. Streams are independent, but the table and "the stream flushed
// last" (what beWriteVBRHeader writes) are shared by every caller.
std::mutex tableMutex;
std::map<BeStream, Stream> streams;
BeStream nextHandle = 1;
BeStream lastFlushed = 0;

Stream* Find(BeStream handle) {
    auto it = streams.find(handle);
    return it == streams.end() ? nullptr : &it->second;
}

// Every bit rate some MPEG version allows for Layer III, kbps. Whether the output rate's version
// allows it is checked once libmp3lame has picked that rate.
bool IsLayer3BitRate(uint32_t kbps) {
    static constexpr uint32_t rates[] = {8,  16,  24,  32,  40,  48,  56,  64,  80,
                                         96, 112, 128, 144, 160, 192, 224, 256, 320};
    return std::find(std::begin(rates), std::end(rates), kbps) != std::end(rates);
}

// Applies the record to a fresh gf; false for a value the encoder cannot use.
bool Configure(lame_global_flags* gf, const BeConfig& c) {
    if (c.preset != -1 || c.emphasis > 3 || c.sampleRate == 0) {
        return false;
    }
    // Two interleaved channels always: in mono mode libmp3lame mixes them down itself.
    lame_set_num_channels(gf, 2);
    lame_set_in_samplerate(gf, int(c.sampleRate));
    lame_set_out_samplerate(gf, int(c.reSampleRate));
    switch (c.mode) {
    case BeModeStereo:
        lame_set_mode(gf, STEREO);
        break;
    case BeModeJointStereo:
        lame_set_mode(gf, JOINT_STEREO);
        break;
    case BeModeDualChannel:
        lame_set_mode(gf, DUAL_CHANNEL);
        break;
    case BeModeMono:
        lame_set_mode(gf, MONO);
        break;
    default:
        return false;
    }

    // Header bits come from the record only; libmp3lame's own defaults (original set) do not.
    lame_set_copyright(gf, c.copyright != 0);
    lame_set_original(gf, c.original != 0);
    lame_set_extension(gf, c.privateBit != 0);
    lame_set_error_protection(gf, c.crc != 0);
    lame_set_emphasis(gf, int(c.emphasis));
    lame_set_strict_ISO(gf, c.strictIso != 0 ? MDB_STRICT_ISO : MDB_DEFAULT);
    lame_set_disable_reservoir(gf, c.noReservoir != 0);
    // The first frame is reserved for the Xing/Info tag whatever the record says: without it a
    // VBR file's duration is guessed wrong, and a CBR file's delay and padding are unknown.
    lame_set_bWriteVbrTag(gf, 1);

    const uint8_t q = uint8_t(c.quality & 0xFF);
    if (uint8_t(c.quality >> 8) == uint8_t(~q) && q <= 9) {
        lame_set_quality(gf, q);
    }

    if (c.enableVbr == 0) {
        if (!IsLayer3BitRate(c.bitRate)) {
            return false;
        }
        lame_set_VBR(gf, vbr_off);
        lame_set_brate(gf, int(c.bitRate));
        return true;
    }
    // The two limits are a range whichever way round they come: a caller that lets the minimum
    // be chosen above the maximum (the save settings do) still gets a stream.
    const uint32_t minKbps = std::min(c.bitRate, c.maxBitRate);
    const uint32_t maxKbps = std::max(c.bitRate, c.maxBitRate);
    if (c.vbrQuality < 0 || c.vbrQuality > 9 || !IsLayer3BitRate(minKbps) ||
        !IsLayer3BitRate(maxKbps)) {
        return false;
    }
    switch (c.vbrMethod) {
    case BeVbrMethodDefault:
    case BeVbrMethodNew:
    case BeVbrMethodMtrh:
        lame_set_VBR(gf, vbr_mtrh);
        break;
    case BeVbrMethodOld:
        lame_set_VBR(gf, vbr_rh);
        break;
    case BeVbrMethodAbr:
        if (c.abrBitRate < minKbps || c.abrBitRate > maxKbps) {
            return false;
        }
        lame_set_VBR(gf, vbr_abr);
        lame_set_VBR_mean_bitrate_kbps(gf, int(c.abrBitRate));
        break;
    default:
        return false;
    }
    lame_set_VBR_q(gf, c.vbrQuality);
    lame_set_VBR_min_bitrate_kbps(gf, int(minKbps));
    lame_set_VBR_max_bitrate_kbps(gf, int(maxKbps));
    return true;
}

int MonthOf(const char* name) {
    static const char* const months = "JanFebMarAprMayJunJulAugSepOctNovDec";
    const char* at = std::strstr(months, name);
    return at ? int(at - months) / 3 + 1 : 0;
}

} // namespace

BE_EXPORT BeErr beInitStream(const BeConfig* config, uint32_t* samplesPerChunk,
                             uint32_t* outputBytes, BeStream* stream) {
    if (!config || !samplesPerChunk || !outputBytes || !stream) {
        return BeErrInvalidFormatParameters;
    }
    if (config->kind != BeConfigLame || config->version != BeConfigVersion ||
        config->size < sizeof(BeConfig)) {
        return BeErrInvalidFormat;
    }
    lame_global_flags* gf = lame_init();
    if (!gf) {
        return BeErrNoMoreHandles;
    }
    if (!Configure(gf, *config) || lame_init_params(gf) < 0 ||
        (config->enableVbr == 0 && lame_get_brate(gf) != int(config->bitRate))) {
        // The last test catches a bit rate the chosen rate's MPEG version lacks (320 kbps at
        // 22050 Hz), which libmp3lame would otherwise quietly replace.
        lame_close(gf);
        return BeErrInvalidFormatParameters;
    }
    Stream s;
    s.gf = gf;
    const uint32_t frames = uint32_t(lame_get_framesize(gf));
    s.chunkValues = 2 * frames;
    // libmp3lame's worst case for one call: 1.25 bytes per frame plus 7200; a flush needs 7200.
    s.outputBytes = frames + (frames + 3) / 4 + 7200;

    std::lock_guard lock(tableMutex);
    while (nextHandle == 0 || streams.count(nextHandle)) {
        ++nextHandle;
    }
    *stream = nextHandle++;
    *samplesPerChunk = s.chunkValues;
    *outputBytes = s.outputBytes;
    streams.emplace(*stream, std::move(s));
    return BeErrSuccessful;
}

BE_EXPORT BeErr beEncodeChunk(BeStream stream, uint32_t values, const int16_t* samples,
                              uint8_t* output, uint32_t* outputUsed) {
    if (outputUsed) {
        *outputUsed = 0;
    }
    Stream* s;
    {
        std::lock_guard lock(tableMutex);
        s = Find(stream);
    }
    if (!s) {
        return BeErrInvalidHandle;
    }
    if (!output || !outputUsed || (values > 0 && !samples)) {
        return BeErrInvalidFormatParameters;
    }
    if (values > s->chunkValues) {
        return BeErrBufferTooSmall;
    }
    // An odd last value would be half a frame; it is dropped.
    const int n = lame_encode_buffer_interleaved(s->gf, const_cast<short*>(samples),
                                                 int(values / 2), output, int(s->outputBytes));
    if (n < 0) {
        return n == -1 ? BeErrBufferTooSmall : BeErrInvalidFormatParameters;
    }
    *outputUsed = uint32_t(n);
    return BeErrSuccessful;
}

BE_EXPORT BeErr beDeinitStream(BeStream stream, uint8_t* output, uint32_t* outputUsed) {
    if (outputUsed) {
        *outputUsed = 0;
    }
    std::lock_guard lock(tableMutex);
    Stream* s = Find(stream);
    if (!s) {
        return BeErrInvalidHandle;
    }
    if (!output || !outputUsed) {
        return BeErrInvalidFormatParameters;
    }
    const int n = lame_encode_flush(s->gf, output, int(s->outputBytes));
    if (n < 0) {
        return BeErrBufferTooSmall;
    }
    *outputUsed = uint32_t(n);
    // The tag frame is final only now, after the last frame is known.
    s->tagFrame.resize(lame_get_lametag_frame(s->gf, nullptr, 0));
    const size_t got = lame_get_lametag_frame(s->gf, s->tagFrame.data(), s->tagFrame.size());
    s->tagFrame.resize(got <= s->tagFrame.size() ? got : 0);
    s->flushed = true;
    lastFlushed = stream;
    return BeErrSuccessful;
}

BE_EXPORT BeErr beCloseStream(BeStream stream) {
    std::lock_guard lock(tableMutex);
    Stream* s = Find(stream);
    if (!s) {
        return BeErrInvalidHandle;
    }
    lame_close(s->gf);
    streams.erase(stream);
    if (lastFlushed == stream) {
        lastFlushed = 0;
    }
    return BeErrSuccessful;
}

BE_EXPORT BeErr beVersion(BeVersion* version) {
    if (!version) {
        return BeErrInvalidFormatParameters;
    }
    *version = BeVersion{};
    version->libraryMajor = 1;
    version->libraryMinor = 0;
    lame_version_t engine;
    get_lame_version_numerical(&engine);
    version->engineMajor = uint8_t(engine.major);
    version->engineMinor = uint8_t(engine.minor);
    // __DATE__ reads "Mmm dd yyyy".
    char month[4] = {};
    int day = 0, year = 0;
    if (std::sscanf(__DATE__, "%3s %d %d", month, &day, &year) == 3) {
        version->day = uint8_t(day);
        version->month = uint8_t(MonthOf(month));
        version->year = uint16_t(year);
    }
    std::snprintf(version->homepage, sizeof version->homepage, "%s", get_lame_url());
    return BeErrSuccessful;
}

BE_EXPORT BeErr beWriteVBRHeader(const char* fileName) {
    std::vector<uint8_t> frame;
    {
        std::lock_guard lock(tableMutex);
        Stream* s = Find(lastFlushed);
        if (!s || !s->flushed) {
            return BeErrNoTagFrame;
        }
        frame = s->tagFrame;
    }
    if (frame.empty()) {
        return BeErrSuccessful;
    }
    if (!fileName) {
        return BeErrInvalidFormatParameters;
    }
    const int fd = ::open(fileName, O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        return BeErrFileAccess;
    }
    // The stream's first bytes must be the reserved frame: a frame sync where the tag goes.
    uint8_t head[2] = {};
    bool ok = ::pread(fd, head, 2, 0) == 2 && head[0] == 0xFF && (head[1] & 0xE0) == 0xE0 &&
              ::lseek(fd, 0, SEEK_END) >= off_t(frame.size());
    ok = ok && ::pwrite(fd, frame.data(), frame.size(), 0) == ssize_t(frame.size());
    ok = (::close(fd) == 0) && ok;
    return ok ? BeErrSuccessful : BeErrFileAccess;
}

// The loader's signatures and these definitions must agree.
static_assert(std::is_same_v<decltype(&beInitStream), BeInitStreamFn>);
static_assert(std::is_same_v<decltype(&beEncodeChunk), BeEncodeChunkFn>);
static_assert(std::is_same_v<decltype(&beDeinitStream), BeDeinitStreamFn>);
static_assert(std::is_same_v<decltype(&beCloseStream), BeCloseStreamFn>);
static_assert(std::is_same_v<decltype(&beVersion), BeVersionFn>);
static_assert(std::is_same_v<decltype(&beWriteVBRHeader), BeWriteVBRHeaderFn>);

// SPDX-License-Identifier: GPL-3.0-or-later
// Checks that a raw 16-bit stereo file is one unbroken run of the end-to-end test signal: every
// frame's left sample is the previous one plus 1 (mod 65536) and every right sample is the tone
// for its left sample. Prints what it found; exits 1 on the first broken frame or a length outside
// the limits given.
//
// --trim-silence drops the all-zero frames before and after the signal first (what a sound
// server's sink plays around a stream); --same-as REF then also wants exactly REF's bytes.
//
// usage: e2e_verify_raw FILE [--min-blocks N] [--max-blocks N] [--any-length] [--trim-silence]
//                      [--same-as REF]
#include "test_signal.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {
constexpr long long BlockBytes = 17640;
}

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE [--min-blocks N] [--max-blocks N] [--any-length]\n",
                     argv[0]);
        return 2;
    }
    long long minBlocks = 1, maxBlocks = -1;
    bool anyLength = false, trimSilence = false;
    const char* sameAs = nullptr;
    for (int i = 2; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--min-blocks" && i + 1 < argc)
            minBlocks = std::atoll(argv[++i]);
        else if (a == "--max-blocks" && i + 1 < argc)
            maxBlocks = std::atoll(argv[++i]);
        else if (a == "--any-length")
            anyLength = true;
        else if (a == "--trim-silence")
            trimSilence = true;
        else if (a == "--same-as" && i + 1 < argc)
            sameAs = argv[++i];
        else {
            std::fprintf(stderr, "unknown argument %s\n", a.c_str());
            return 2;
        }
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::printf("FAIL cannot open %s\n", argv[1]);
        return 1;
    }
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (trimSilence) {
        auto silent = [&](size_t f) {
            return bytes[4 * f] == 0 && bytes[4 * f + 1] == 0 && bytes[4 * f + 2] == 0 &&
                   bytes[4 * f + 3] == 0;
        };
        size_t first = 0, end = bytes.size() / 4;
        while (first < end && silent(first))
            ++first;
        while (end > first && silent(end - 1))
            --end;
        std::printf("trimmed %zu silent frames before, %zu after\n", first, bytes.size() / 4 - end);
        bytes = std::vector<char>(bytes.begin() + 4 * first, bytes.begin() + 4 * end);
    }
    if (sameAs) {
        std::ifstream ref(sameAs, std::ios::binary);
        std::vector<char> want((std::istreambuf_iterator<char>(ref)),
                               std::istreambuf_iterator<char>());
        size_t at = 0;
        while (at < bytes.size() && at < want.size() && bytes[at] == want[at])
            ++at;
        if (at != bytes.size() || at != want.size()) {
            std::printf("FAIL differs from %s at byte %zu (block %zu): %zu bytes here, %zu there\n",
                        sameAs, at, size_t(at / BlockBytes + 1), bytes.size(), want.size());
            return 1;
        }
        std::printf("same %zu bytes as %s\n", want.size(), sameAs);
    }
    const long long size = static_cast<long long>(bytes.size());
    const long long blocks = size / BlockBytes;
    std::printf("bytes %lld blocks %lld (%.1f s)\n", size, blocks, blocks * 0.1);
    if (!anyLength && size % BlockBytes != 0) {
        std::printf("FAIL size is not a whole number of blocks (%lld bytes left over)\n",
                    size % BlockBytes);
        return 1;
    }
    if (blocks < minBlocks || (maxBlocks >= 0 && blocks > maxBlocks)) {
        std::printf("FAIL expected %lld..%lld blocks\n", minBlocks, maxBlocks);
        return 1;
    }
    const long long frames = size / 4;
    const auto* s = reinterpret_cast<const int16_t*>(bytes.data());
    std::vector<int16_t> tone(65536);
    for (uint32_t c = 0; c < 65536; ++c)
        tone[c] = e2e::ToneSample(static_cast<uint16_t>(c));
    const uint16_t first = static_cast<uint16_t>(s[0]);
    for (long long f = 0; f < frames; ++f) {
        const uint16_t left = static_cast<uint16_t>(s[2 * f]);
        const uint16_t expected = static_cast<uint16_t>(first + f);
        if (left != expected) {
            std::printf("FAIL frame %lld (block %lld): left %u, expected %u (%+d frames)\n", f,
                        f / 4410 + 1, left, expected,
                        static_cast<int16_t>(static_cast<uint16_t>(left - expected)));
            return 1;
        }
        if (s[2 * f + 1] != tone[left]) {
            std::printf("FAIL frame %lld (block %lld): right %d, tone %d for counter %u\n", f,
                        f / 4410 + 1, s[2 * f + 1], tone[left], left);
            return 1;
        }
    }
    std::printf("OK %lld frames in one unbroken run from counter %u\n", frames, first);
    return 0;
}

// SPDX-License-Identifier: GPL-3.0-or-later
// Checks that a raw 16-bit stereo file is one unbroken run of the end-to-end test signal: every
// frame's left sample is the previous one plus 1 (mod 65536) and every right sample is the tone
// for its left sample. Prints what it found; exits 1 on the first broken frame or a length outside
// the limits given.
//
// --trim-silence drops the all-zero frames before and after the signal first (what a sound
// server's sink plays around a stream); --same-as REF then also wants exactly REF's bytes.
//
// --one-dropout TOLERANCE instead wants a take that lost sound once: an unbroken run, a stretch
// of silence (at least a block) standing in for what was lost, and the rest of the run. It prints
// where the silence sits, where the counter breaks, how many frames were lost (the counter's jump,
// whole 65536-frame turns taken from the silence's length) and fails when the break lies more
// than TOLERANCE frames from the silence or either side is broken anywhere else.
//
// usage: e2e_verify_raw FILE [--min-blocks N] [--max-blocks N] [--any-length] [--trim-silence]
//                      [--same-as REF] [--one-dropout TOLERANCE]
#include "test_signal.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {
constexpr long long BlockBytes = 17640;
constexpr long long BlockFrames = 4410;

// The take of --one-dropout: run, silence, run. Returns the exit status.
int CheckOneDropout(const int16_t* s, long long frames, long long tolerance) {
    auto silent = [&](long long f) { return s[2 * f] == 0 && s[2 * f + 1] == 0; };
    long long s0 = 0, s1 = 0; // the longest silent stretch
    for (long long f = 0; f < frames;) {
        long long e = f;
        while (e < frames && silent(e))
            ++e;
        if (e - f > s1 - s0)
            s0 = f, s1 = e;
        f = e + 1;
    }
    if (s1 - s0 < BlockFrames) {
        std::printf("FAIL no silence of a block or more (longest %lld frames)\n", s1 - s0);
        return 1;
    }
    // The frames without the silence, as they came: one break where the sound was lost.
    std::vector<long long> kept;
    kept.reserve(size_t(frames - (s1 - s0)));
    for (long long f = 0; f < frames; ++f)
        if (f < s0 || f >= s1)
            kept.push_back(f);
    // Where the sound broke off: the first frame that does not follow the one before, and the
    // first of the unbroken run to the end. Between them the server may leave a few hundred
    // frames out of step (it cuts its queue there mid-frame); more than a block is a second break.
    auto follows = [&](size_t i) {
        const uint16_t was = uint16_t(s[2 * kept[i - 1]]), now = uint16_t(s[2 * kept[i]]);
        return uint16_t(was + 1) == now && s[2 * kept[i] + 1] == e2e::ToneSample(now) &&
               s[2 * kept[i - 1] + 1] == e2e::ToneSample(was);
    };
    size_t first = kept.size(), resumed = kept.size();
    for (size_t i = 1; i < kept.size(); ++i) {
        if (!follows(i)) {
            first = i;
            break;
        }
    }
    for (size_t i = kept.size() - 1; i >= 1 && resumed > first; --i) {
        if (!follows(i)) {
            resumed = i;
            break;
        }
    }
    if (first < kept.size() && resumed < first)
        resumed = first;
    const long long silence = s1 - s0;
    long long lost = 0, breakAt = s0, outOfStep = 0;
    if (first < kept.size()) {
        outOfStep = (long long)(resumed - first);
        if (outOfStep > BlockFrames) {
            std::printf("FAIL the counter breaks at frame %lld and again at frame %lld\n",
                        kept[first], kept[resumed]);
            return 1;
        }
        breakAt = (long long)first;
        const uint16_t jump = uint16_t(uint16_t(s[2 * kept[resumed]]) -
                                       uint16_t(s[2 * kept[first - 1]] + 1) - outOfStep);
        const long long turns = (silence - jump + 32768) / 65536;
        lost = jump + 65536 * (turns < 0 ? 0 : turns);
    }
    // Positions counted without the silence: how far the silence sits from the break.
    const long long off = s0 - breakAt;
    std::printf("silence %lld frames (%.1f ms) from frame %lld (block %lld); the counter breaks "
                "%lld frames %s it, %lld frames out of step; lost %lld frames (%.1f ms)\n",
                silence, silence * 1000.0 / 44100, s0, s0 / BlockFrames + 1, off < 0 ? -off : off,
                off > 0 ? "before" : "after", outOfStep, lost, lost * 1000.0 / 44100);
    if (off > tolerance || off < -tolerance) {
        std::printf("FAIL the silence is %lld frames from where the sound broke off (tolerance "
                    "%lld)\n",
                    off, tolerance);
        return 1;
    }
    std::printf("OK one dropout; the runs on each side are unbroken\n");
    return 0;
}
} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE [--min-blocks N] [--max-blocks N] [--any-length]\n",
                     argv[0]);
        return 2;
    }
    long long minBlocks = 1, maxBlocks = -1;
    bool anyLength = false, trimSilence = false;
    const char* sameAs = nullptr;
    long long dropoutTolerance = -1;
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
        else if (a == "--one-dropout" && i + 1 < argc)
            dropoutTolerance = std::atoll(argv[++i]);
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
    if (dropoutTolerance >= 0)
        return CheckOneDropout(s, frames, dropoutTolerance);
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

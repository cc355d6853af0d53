// SPDX-License-Identifier: GPL-3.0-or-later
#include "operations/sample_scale.h"

#include "editing_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <tuple>
#include <vector>

namespace {

// The effects' rule one sample at a time, as the scalar code had it: rounded by llrint (nearest,
// halves to even), then limited to full scale.
int16_t Reference(int16_t sample, double factor) {
    const long long v = std::llrint(double(sample) * factor);
    return int16_t(std::clamp<long long>(v, INT16_MIN, INT16_MAX));
}

struct ScaleCase {
    const char* name;
    double factor;
};

class SampleScale : public ::testing::TestWithParam<ScaleCase> {};

// Every 16-bit value, at an odd byte address and an odd count so that the vector loop's edges
// are crossed, gives the scalar rule's result bit for bit.
TEST_P(SampleScale, EveryValueAsTheScalarRuleGivesIt) {
    const double factor = GetParam().factor;
    const size_t count = 65536 + 3;
    std::vector<unsigned char> bytes(2 * count + 1);
    for (size_t i = 0; i < count; ++i) {
        const auto s = int16_t(uint16_t(i));
        std::memcpy(bytes.data() + 1 + 2 * i, &s, 2);
    }
    operations::ScaleSamples(bytes.data() + 1, count, factor);
    std::vector<unsigned char> each(bytes.size());
    for (size_t i = 0; i < count; ++i) {
        const auto s = int16_t(uint16_t(i));
        std::memcpy(each.data() + 1 + 2 * i, &s, 2);
    }
    // A fade that stands still: every frame times the factor.
    operations::FadeFrames(each.data() + 1, count / 2, factor, 0.0, 12345);
    for (size_t i = 0; i < count; ++i) {
        const auto s = int16_t(uint16_t(i));
        int16_t got, gotEach;
        std::memcpy(&got, bytes.data() + 1 + 2 * i, 2);
        std::memcpy(&gotEach, each.data() + 1 + 2 * i, 2);
        ASSERT_EQ(got, Reference(s, factor)) << s << " times " << factor;
        if (i < count / 2 * 2) { // the fade takes whole frames: the odd last sample stays
            ASSERT_EQ(gotEach, Reference(s, factor)) << s << " times " << factor << " (fade)";
        } else {
            ASSERT_EQ(gotEach, s);
        }
        ASSERT_EQ(operations::ScaleSample(s, factor), Reference(s, factor));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Factors, SampleScale,
    ::testing::Values(ScaleCase{"Zero", 0.0}, ScaleCase{"Unity", 1.0},
                      ScaleCase{"Half", 0.5},        // halves everywhere: to even
                      ScaleCase{"OneAndAHalf", 1.5}, // and here
                      ScaleCase{"Double", 2.0},      // saturates both ways
                      ScaleCase{"Inverted", -1.0},   // -32768 has no positive twin
                      ScaleCase{"MinusHalf", -0.5},  //
                      ScaleCase{"Third", 1.0 / 3.0}, //
                      ScaleCase{"NormalizeOfAHalf", double(32767.0f / 16384)},
                      ScaleCase{"NormalizeOfSilence", double(32767.0f)},
                      ScaleCase{"TenTimes", 10.0}, ScaleCase{"Huge", 1e12},
                      ScaleCase{"HugeNegative", -1e12}, ScaleCase{"Tiny", 1e-9},
                      ScaleCase{"JustUnderOne", 0.9999999999}),
    [](const auto& info) { return std::string(info.param.name); });

// The effects over a selection that runs through the recording and the edit file (a pasted run),
// on blocks of edge samples, against the scalar rule applied frame by frame: the n-th frame of a
// fade (from 0) takes its start gain plus n + 1 steps.
enum class Effect { Amplify150, Invert, Normalize, FadeIn, FadeOut };

struct EffectCase {
    const char* name;
    Effect effect;
};

class EffectsBitExact : public testsupport::EditingTest,
                        public ::testing::WithParamInterface<EffectCase> {};

TEST_P(EffectsBitExact, SameSamplesAsTheScalarRule) {
    const int16_t edges[] = {32767, -32767, -32768, 0, 1, -1, 3, -3, 5, 21845, -21846, 16384};
    std::vector<unsigned char> block(base::BlockBytes);
    for (uint32_t k = 1; k <= RecordingBlocks; ++k) {
        for (int j = 0; j < base::BlockFrames; ++j) {
            const int16_t l = edges[(j + k) % std::size(edges)];
            const int16_t r = edges[(j * 7 + k) % std::size(edges)];
            std::memcpy(block.data() + 4 * j, &l, 2);
            std::memcpy(block.data() + 4 * j + 2, &r, 2);
        }
        take_.file.WriteBlock(k, block.data());
        SetRecordingPeaks(k, 32767, -32768, 32767, -32768);
    }
    Open(RecordingBlocks, RecordingBlocks, false);
    Select(1, 5);
    E().Copy();
    Select(20, 20);
    E().Paste(); // 5 blocks of the edit file at positions 21..25
    const uint32_t a = 10, b = 40;
    const uint32_t blocks = b - a + 1;
    std::vector<unsigned char> before(size_t(blocks) * base::BlockBytes);
    for (uint32_t p = a; p <= b; ++p) {
        E().ReadPosition(p, before.data() + size_t(p - a) * base::BlockBytes);
    }
    Select(a, b);
    double factor = 1.0;
    switch (GetParam().effect) {
    case Effect::Amplify150:
        E().Amplify(150);
        factor = 1.5;
        break;
    case Effect::Invert:
        E().Amplify(-100);
        factor = -1.0;
        break;
    case Effect::Normalize:
        factor = double(E().SelectionNormalizeFactor());
        E().Normalize();
        break;
    case Effect::FadeIn:
        E().FadeIn();
        break;
    case Effect::FadeOut:
        E().FadeOut();
        break;
    }
    const bool fade = GetParam().effect == Effect::FadeIn || GetParam().effect == Effect::FadeOut;
    const double step = 1.0 / (double(blocks) * base::BlockFrames);
    const double start = GetParam().effect == Effect::FadeIn ? 0.0 : 1.0;
    const double signedStep = GetParam().effect == Effect::FadeIn ? step : -step;
    std::vector<unsigned char> after(base::BlockBytes);
    for (uint32_t p = a; p <= b; ++p) {
        E().ReadPosition(p, after.data());
        // The block's peaks, from the recorder's start values.
        base::BlockPeaks peaks{-32767, 32767, -32768, 32767};
        for (int j = 0; j < base::BlockFrames; ++j) {
            int16_t l, r;
            std::memcpy(&l, after.data() + 4 * j, 2);
            std::memcpy(&r, after.data() + 4 * j + 2, 2);
            peaks = {std::max(peaks.maxL, l), std::min(peaks.minL, l), std::max(peaks.maxR, r),
                     std::min(peaks.minR, r)};
        }
        const base::BlockPeaks stored = *E().Peaks(p);
        EXPECT_EQ(std::tie(stored.maxL, stored.minL, stored.maxR, stored.minR),
                  std::tie(peaks.maxL, peaks.minL, peaks.maxR, peaks.minR))
            << "peaks of position " << p;
        for (int j = 0; j < base::BlockFrames; ++j) {
            if (fade) {
                const uint64_t n = uint64_t(p - a) * base::BlockFrames + uint64_t(j);
                factor = start + double(n + 1) * signedStep;
            }
            for (int c = 0; c < 2; ++c) {
                int16_t in, out;
                std::memcpy(&in, before.data() + size_t(p - a) * base::BlockBytes + 4 * j + 2 * c,
                            2);
                std::memcpy(&out, after.data() + 4 * j + 2 * c, 2);
                ASSERT_EQ(out, Reference(in, factor))
                    << "position " << p << " frame " << j << " channel " << c << ": " << in;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Effects, EffectsBitExact,
                         ::testing::Values(EffectCase{"Amplify150", Effect::Amplify150},
                                           EffectCase{"Invert", Effect::Invert},
                                           EffectCase{"Normalize", Effect::Normalize},
                                           EffectCase{"FadeIn", Effect::FadeIn},
                                           EffectCase{"FadeOut", Effect::FadeOut}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace

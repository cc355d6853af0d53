// SPDX-License-Identifier: GPL-3.0-or-later
#include "operations/sample_scale.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace operations {

namespace {

// 1.5 * 2^52: a double of this size has no fraction bits left, so adding it rounds in the
// processor's rounding mode (nearest, halves to even), and taking it away again is exact. The
// same as rint for every product below 2^51; larger ones are limited to full scale either way.
// Unlike rint it needs no rounding instruction the baseline processor lacks.
constexpr double RoundingShift = 6755399441055744.0;

inline int16_t Scaled(int16_t sample, double factor) {
    double v = double(sample) * factor;
    v = (v + RoundingShift) - RoundingShift;
    v = v < -32768.0 ? -32768.0 : v;
    v = v > 32767.0 ? 32767.0 : v;
    return int16_t(int(v));
}

#if defined(__SSE2__)

// Eight samples at p (any alignment), the pairs 0-1, 2-3, 4-5 and 6-7 times f0..f3. Limiting
// before rounding gives what rounding first would: the limits are whole numbers. The conversion
// rounds in the processor's mode (nearest, halves to even), as the rounding shift does.
inline void ScaleEight(unsigned char* p, __m128d f0, __m128d f1, __m128d f2, __m128d f3) {
    const __m128d lowest = _mm_set1_pd(-32768.0);
    const __m128d highest = _mm_set1_pd(32767.0);
    const auto scaled = [&](__m128i pair, __m128d f) {
        const __m128d v = _mm_mul_pd(_mm_cvtepi32_pd(pair), f);
        return _mm_cvtpd_epi32(_mm_min_pd(_mm_max_pd(v, lowest), highest));
    };
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i lo = _mm_srai_epi32(_mm_unpacklo_epi16(v, v), 16);
    const __m128i hi = _mm_srai_epi32(_mm_unpackhi_epi16(v, v), 16);
    const __m128i a = _mm_unpacklo_epi64(
        scaled(lo, f0), scaled(_mm_shuffle_epi32(lo, _MM_SHUFFLE(1, 0, 3, 2)), f1));
    const __m128i b = _mm_unpacklo_epi64(
        scaled(hi, f2), scaled(_mm_shuffle_epi32(hi, _MM_SHUFFLE(1, 0, 3, 2)), f3));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm_packs_epi32(a, b));
}

#endif

inline void ScaleOne(unsigned char* p, double factor) {
    int16_t s;
    std::memcpy(&s, p, 2);
    const int16_t r = Scaled(s, factor);
    std::memcpy(p, &r, 2);
}

} // namespace

int16_t ScaleSample(int16_t sample, double factor) {
    return Scaled(sample, factor);
}

void ScaleSamples(unsigned char* samples, size_t count, double factor) {
    size_t i = 0;
#if defined(__SSE2__)
    const __m128d f = _mm_set1_pd(factor);
    for (; i + 8 <= count; i += 8) {
        ScaleEight(samples + 2 * i, f, f, f, f);
    }
#endif
    for (; i < count; ++i) {
        ScaleOne(samples + 2 * i, factor);
    }
}

void FadeFrames(unsigned char* frames, size_t count, double start, double step, uint64_t first) {
    // Frame numbers are whole numbers far below 2^53, exact in a double.
    double k = double(first + 1);
    size_t i = 0;
#if defined(__SSE2__)
    const __m128d starts = _mm_set1_pd(start);
    const __m128d steps = _mm_set1_pd(step);
    const __m128d four = _mm_set1_pd(4.0);
    __m128d k01 = _mm_set_pd(k + 1, k);
    __m128d k23 = _mm_set_pd(k + 3, k + 2);
    for (; i + 4 <= count; i += 4) {
        const __m128d g01 = _mm_add_pd(starts, _mm_mul_pd(k01, steps));
        const __m128d g23 = _mm_add_pd(starts, _mm_mul_pd(k23, steps));
        ScaleEight(frames + 4 * i, _mm_unpacklo_pd(g01, g01), _mm_unpackhi_pd(g01, g01),
                   _mm_unpacklo_pd(g23, g23), _mm_unpackhi_pd(g23, g23));
        k01 = _mm_add_pd(k01, four);
        k23 = _mm_add_pd(k23, four);
    }
    k += double(i);
#endif
    for (; i < count; ++i, k += 1) {
        const double g = start + k * step;
        ScaleOne(frames + 4 * i, g);
        ScaleOne(frames + 4 * i + 2, g);
    }
}

base::BlockPeaks PeaksOfBlock(const unsigned char* block) {
    // Sixteen running peaks, even ones of the left channel and odd ones of the right, so that
    // the loop works on whole vectors of samples.
    constexpr size_t Lanes = 16;
    constexpr size_t Samples = size_t(base::BlockFrames) * 2;
    int16_t high[Lanes];
    int16_t low[Lanes];
    for (size_t k = 0; k < Lanes; ++k) {
        high[k] = k % 2 ? -32768 : -32767;
        low[k] = 32767;
    }
    size_t i = 0;
#if defined(__SSE2__)
    // Two vectors of eight lanes each, as the lanes above: signed 16-bit maximum and minimum
    // are single instructions.
    __m128i high0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(high));
    __m128i high1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(high + 8));
    __m128i low0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(low));
    __m128i low1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(low + 8));
    for (; i + Lanes <= Samples; i += Lanes) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 2 * i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 2 * i + 16));
        high0 = _mm_max_epi16(high0, a);
        low0 = _mm_min_epi16(low0, a);
        high1 = _mm_max_epi16(high1, b);
        low1 = _mm_min_epi16(low1, b);
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(high), high0);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(high + 8), high1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(low), low0);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(low + 8), low1);
#else
    for (; i + Lanes <= Samples; i += Lanes) {
        for (size_t k = 0; k < Lanes; ++k) {
            int16_t s;
            std::memcpy(&s, block + 2 * (i + k), 2);
            high[k] = s > high[k] ? s : high[k];
            low[k] = s < low[k] ? s : low[k];
        }
    }
#endif
    for (size_t k = 0; i < Samples; ++i, ++k) { // i is even here: lane k has the same channel
        int16_t s;
        std::memcpy(&s, block + 2 * i, 2);
        high[k] = s > high[k] ? s : high[k];
        low[k] = s < low[k] ? s : low[k];
    }
    base::BlockPeaks p{high[0], low[0], high[1], low[1]};
    for (size_t k = 2; k < Lanes; k += 2) {
        p.maxL = std::max(p.maxL, high[k]);
        p.minL = std::min(p.minL, low[k]);
        p.maxR = std::max(p.maxR, high[k + 1]);
        p.minR = std::min(p.minR, low[k + 1]);
    }
    return p;
}

} // namespace operations

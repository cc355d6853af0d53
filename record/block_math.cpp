// SPDX-License-Identifier: GPL-3.0-or-later
#include "record/block_math.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace record {

namespace {

int16_t LoadSample(const uint8_t* p) {
    int16_t s;
    std::memcpy(&s, p, 2);
    return s;
}

void StoreSample(uint8_t* p, int16_t s) {
    std::memcpy(p, &s, 2);
}

int16_t Corrected(int16_t sample, int offset) {
    // Clamped, not wrapped: a wrapped sample would be a full-scale click in the recording.
    return int16_t(std::clamp(int(sample) - offset, -32768, 32767));
}

} // namespace

int RoundEven(double v) {
    return int(std::nearbyint(v));
}

void CorrectBlock(uint8_t* block, int dcOffsetL, int dcOffsetR, int16_t* left, int16_t* right) {
    const uint8_t* end = block + base::BlockBytes;
    uint8_t* p = block;
    if (dcOffsetL == 0 && dcOffsetR == 0) {
        for (; p < end; p += base::FrameBytes) {
            *left++ = LoadSample(p);
            *right++ = LoadSample(p + 2);
        }
        return;
    }
    for (; p < end; p += base::FrameBytes) {
        int16_t l = Corrected(LoadSample(p), dcOffsetL);
        int16_t r = Corrected(LoadSample(p + 2), dcOffsetR);
        StoreSample(p, l);
        StoreSample(p + 2, r);
        *left++ = l;
        *right++ = r;
    }
}

base::BlockPeaks MeasureBlock(const int16_t* left, const int16_t* right) {
    int16_t maxL = -32767, maxR = -32768, minL = 32767, minR = 32767;
    for (int j = 0; j < base::BlockFrames; ++j) {
        maxL = std::max(maxL, left[j]);
        minL = std::min(minL, left[j]);
        maxR = std::max(maxR, right[j]);
        minR = std::min(minR, right[j]);
    }
    return {maxL, minL, maxR, minR};
}

BlockMeans MeanBlock(const int16_t* left, const int16_t* right) {
    int64_t sumL = 0, sumR = 0;
    for (int j = 0; j < base::BlockFrames; ++j) {
        sumL += left[j];
        sumR += right[j];
    }
    return {double(sumL) / base::BlockFrames, double(sumR) / base::BlockFrames};
}

std::optional<double> DcAverage(const DcHistory& history) {
    int64_t sum = 0;
    int count = 0;
    for (int i = 1; i <= DcHistoryLength; ++i) {
        if (history[size_t(i)] != 0) {
            sum += history[size_t(i)];
            ++count;
        }
    }
    if (count == 0) {
        return std::nullopt;
    }
    return double(sum) / count;
}

int LevelIconIndex(int16_t maxL, int16_t maxR) {
    const int m = maxL > maxR ? maxL : maxR;
    int index = RoundEven(std::abs(m) / 2048.0);
    if (index == 0 && maxL > 600) {
        index = 1;
    }
    return std::min(index, 16);
}

QString RecordedTimeText(uint32_t blocks) {
    uint32_t t = blocks;
    const uint32_t hours = t / 36000;
    t -= hours * 36000;
    const uint32_t minutes = t / 600;
    t -= minutes * 600;
    const uint32_t seconds = t / 10;
    auto two = [](uint32_t v) { return QString::number(v).rightJustified(2, '0').left(2); };
    return two(hours) + ":" + two(minutes) + ":" + two(seconds);
}

} // namespace record

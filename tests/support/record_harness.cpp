// SPDX-License-Identifier: GPL-3.0-or-later
#include "record_harness.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace testsupport {

RecordHarness::RecordHarness() : recorder(rig.Ports(), rig.events, {dir.file("Velmar.raw"), 0}) {
    events.Listen(driver);
}

void RecordHarness::SetUp() {
    driver.Run([this] { recorder.OpenDevice(); });
}

void RecordHarness::Run(int blocks, int perTick) {
    for (int b = 1; b <= blocks; ++b) {
        device.DeliverBlocks(1);
        if (b % perTick == 0 || b == blocks) {
            driver.RecordTick();
            if (++ticks % 5 == 0) {
                driver.StatusTick();
            }
        }
    }
}

void RecordHarness::StartRecording(int modeIndex) {
    recorder.DecodeRecordingMode(modeIndex);
    driver.Run([this] { recorder.StartRecording(); });
    firstRecorded = device.NextBlockIndex();
}

::testing::AssertionResult TakeIs(const record::Recorder& recorder, uint64_t firstIndex,
                                  uint64_t count, int base) {
    const base::RawFile& file = recorder.TakeFile();
    if (file.Blocks() != count || recorder.TakeBlocks() != count) {
        return ::testing::AssertionFailure()
               << "file has " << file.Blocks() << " blocks, FileBlocks " << recorder.TakeBlocks()
               << ", expected " << count;
    }
    std::vector<uint8_t> block(base::BlockBytes);
    const record::TakeOrder order = recorder.RecordedTakeOrder();
    uint64_t k = 0;
    for (int r = 0; r < order.runs; ++r) {
        for (uint32_t n = order.run[r].first; n < order.run[r].first + order.run[r].count;
             ++n, ++k) {
            file.ReadBlock(n, block.data());
            for (int j = 0; j < base::BlockFrames; ++j) {
                int16_t s[2];
                std::memcpy(s, block.data() + 4 * j, 4);
                const int64_t want =
                    int64_t(((firstIndex + k) * base::BlockFrames + uint64_t(j)) & 0xFFFFFFF);
                const int64_t got = ScriptedCapture::FrameOf(s[0], s[1], base);
                if (got != want) {
                    return ::testing::AssertionFailure()
                           << "chronological block " << k + 1 << " (file block " << n << ") frame "
                           << j << " holds frame " << got << " (samples " << s[0] << ", " << s[1]
                           << "), expected " << want;
                }
            }
        }
    }
    if (k != count) {
        return ::testing::AssertionFailure() << "the take order covers " << k << " blocks";
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult RecordHarness::PeaksMatchFile() {
    const base::RawFile& file = recorder.TakeFile();
    std::vector<uint8_t> block(base::BlockBytes);
    for (uint32_t n = 1; n <= file.Blocks(); ++n) {
        file.ReadBlock(n, block.data());
        int16_t maxL = -32767, minL = 32767, maxR = -32768, minR = 32767;
        for (int j = 0; j < base::BlockFrames; ++j) {
            int16_t s[2];
            std::memcpy(s, block.data() + 4 * j, 4);
            maxL = std::max(maxL, s[0]);
            minL = std::min(minL, s[0]);
            maxR = std::max(maxR, s[1]);
            minR = std::min(minR, s[1]);
        }
        const auto& st = state;
        if (st.PeakMaxL[n] != maxL || st.PeakMinL[n] != minL || st.PeakMaxR[n] != maxR ||
            st.PeakMinR[n] != minR) {
            return ::testing::AssertionFailure()
                   << "peaks of block " << n << " are " << st.PeakMaxL[n] << "/" << st.PeakMinL[n]
                   << "/" << st.PeakMaxR[n] << "/" << st.PeakMinR[n] << ", the file holds " << maxL
                   << "/" << minL << "/" << maxR << "/" << minR;
        }
    }
    return ::testing::AssertionSuccess();
}

} // namespace testsupport

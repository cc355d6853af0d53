// SPDX-License-Identifier: GPL-3.0-or-later
#include "record_harness.h"

#include "platform/services/file_system.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace testsupport {

void RecordHarness::SetUp() {
    record::state = record::State{};
    record::AllocateBuffers();
    record::SetCaptureDevice(&device);
    record::SetEvents(&events);
    platform::SetFreeSpaceProvider([](const std::string&) { return int64_t(1) << 40; });
    record::state.RecordingFilePath = dir.file("Velmar.raw");
    record::DecodeRecordingMode(0);
    record::OpenDevice();
}

void RecordHarness::TearDown() {
    record::CloseDevice();
    record::RawFile::SetWriteFault(nullptr);
    platform::SetFreeSpaceProvider(nullptr);
    record::SetEvents(nullptr);
    record::SetCaptureDevice(nullptr);
    record::state = record::State{};
}

void RecordHarness::Run(int blocks, int perTick) {
    for (int b = 1; b <= blocks; ++b) {
        device.DeliverBlocks(1);
        if (b % perTick == 0 || b == blocks) {
            record::RecordTimerTick();
            if (++ticks % 5 == 0) {
                record::StatusTimerTick();
            }
        }
    }
}

void RecordHarness::StartRecording(int modeIndex) {
    record::DecodeRecordingMode(modeIndex);
    record::StartRecording();
    firstRecorded = device.NextBlockIndex();
}

::testing::AssertionResult RecordHarness::TakeIs(uint64_t firstIndex, uint64_t count, int base) {
    const record::RawFile& file = record::state.RecordingStream;
    if (file.Blocks() != count || record::state.FileBlocks != count) {
        return ::testing::AssertionFailure()
               << "file has " << file.Blocks() << " blocks, FileBlocks " << record::state.FileBlocks
               << ", expected " << count;
    }
    std::vector<uint8_t> block(record::BlockBytes);
    const record::TakeOrder order = record::RecordedTakeOrder();
    uint64_t k = 0;
    for (int r = 0; r < order.runs; ++r) {
        for (uint32_t n = order.run[r].first; n < order.run[r].first + order.run[r].count;
             ++n, ++k) {
            file.ReadBlock(n, block.data());
            for (int j = 0; j < record::BlockFrames; ++j) {
                int16_t s[2];
                std::memcpy(s, block.data() + 4 * j, 4);
                const int64_t want =
                    int64_t(((firstIndex + k) * record::BlockFrames + uint64_t(j)) & 0xFFFFFFF);
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
    const record::RawFile& file = record::state.RecordingStream;
    std::vector<uint8_t> block(record::BlockBytes);
    for (uint32_t n = 1; n <= file.Blocks(); ++n) {
        file.ReadBlock(n, block.data());
        int16_t maxL = -32767, minL = 32767, maxR = -32768, minR = 32767;
        for (int j = 0; j < record::BlockFrames; ++j) {
            int16_t s[2];
            std::memcpy(s, block.data() + 4 * j, 4);
            maxL = std::max(maxL, s[0]);
            minL = std::min(minL, s[0]);
            maxR = std::max(maxR, s[1]);
            minR = std::min(minR, s[1]);
        }
        const auto& st = record::state;
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

// SPDX-License-Identifier: GPL-3.0-or-later
#include "scripted_capture.h"

#include <algorithm>
#include <cstring>

namespace testsupport {

ScriptedCapture::ScriptedCapture() : generator_(FrameCounter()), staging_(base::BlockBytes) {}

void ScriptedCapture::SetGenerator(Generator generator) {
    generator_ = std::move(generator);
    stagedIndex_ = UINT64_MAX;
}

ScriptedCapture::Generator ScriptedCapture::FrameCounter(int base) {
    return [base](uint64_t index, uint8_t* block) {
        uint64_t f = index * base::BlockFrames;
        for (int j = 0; j < base::BlockFrames; ++j, ++f) {
            int16_t s[2] = {int16_t((f & 0x3FFF) + uint64_t(base)),
                            int16_t(((f >> 14) & 0x3FFF) + uint64_t(base))};
            std::memcpy(block + 4 * j, s, 4);
        }
    };
}

int64_t ScriptedCapture::FrameOf(int16_t left, int16_t right, int base) {
    int lo = left - base;
    int hi = right - base;
    if (lo < 0 || lo > 0x3FFF || hi < 0 || hi > 0x3FFF) {
        return -1;
    }
    return int64_t(hi) << 14 | lo;
}

ScriptedCapture::Generator ScriptedCapture::Constant(int16_t left, int16_t right) {
    return [left, right](uint64_t, uint8_t* block) {
        for (int j = 0; j < base::BlockFrames; ++j) {
            int16_t s[2] = {left, right};
            std::memcpy(block + 4 * j, s, 4);
        }
    };
}

void ScriptedCapture::SetDevices(int count, const QString& firstName) {
    deviceCount_ = count;
    firstName_ = firstName;
}

record::CaptureError ScriptedCapture::Open() {
    ++openCalls_;
    Close();
    if (insideOpenClose_) {
        insideOpenClose_();
    }
    if (deviceCount_ == 0) {
        return record::CaptureError::NoDevice;
    }
    if (openFailure_ != record::CaptureError::Ok) {
        return openFailure_;
    }
    open_ = true;
    streamError_ = record::CaptureError::Ok;
    return record::CaptureError::Ok;
}

void ScriptedCapture::AddBuffer(record::SlotHeader* header) {
    if (open_) {
        queue_.Push(header);
    }
}

void ScriptedCapture::Reset() {
    running_ = false;
    queue_.Clear();
}

void ScriptedCapture::Close() {
    if (open_) {
        ++closeCalls_;
        if (insideOpenClose_) {
            insideOpenClose_();
        }
    }
    Reset();
    open_ = false;
}

int ScriptedCapture::DeliverBlocks(int blocks) {
    int landed = 0;
    for (int b = 0; b < blocks; ++b) {
        uint64_t dropped = droppedBytes_;
        DeliverBytes(base::BlockBytes);
        landed += droppedBytes_ == dropped ? 1 : 0;
    }
    return landed;
}

void ScriptedCapture::DeliverBytes(uint64_t bytes) {
    while (bytes > 0) {
        const uint64_t index = streamBytes_ / base::BlockBytes;
        const uint32_t offset = uint32_t(streamBytes_ % base::BlockBytes);
        if (index != stagedIndex_) {
            generator_(index, staging_.data());
            stagedIndex_ = index;
        }
        uint32_t take = uint32_t(std::min<uint64_t>(bytes, base::BlockBytes - offset));
        const record::HeaderQueue::Space space = queue_.FrontSpace();
        if (running_ && space.at && streamError_ == record::CaptureError::Ok) {
            take = std::min(take, space.bytes);
            std::memcpy(space.at, staging_.data() + offset, take);
            queue_.Filled(take);
        } else {
            droppedBytes_ += take;
        }
        streamBytes_ += take;
        bytes -= take;
    }
}

} // namespace testsupport

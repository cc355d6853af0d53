// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "record/capture_device.h"

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

namespace testsupport {

// A capture device driven by the test instead of a clock: the test hands over the stream block
// by block (or byte by byte), so hours of recording run in seconds. The stream is an endless
// run of blocks; stream block k (counted from 0 since the device was made) is filled by the
// generator. Bytes handed over while the device is not capturing, or with no buffer queued, are
// dropped and the stream still moves on, as a real source keeps producing.
class ScriptedCapture : public record::CaptureDevice {
  public:
    // Fills `block` (BlockBytes) with stream block `index`.
    using Generator = std::function<void(uint64_t index, uint8_t* block)>;

    ScriptedCapture();

    // Default content: FrameCounter.
    void SetGenerator(Generator generator);
    // Left sample of frame f = (f & 0x3FFF) + base, right = ((f >> 14) & 0x3FFF) + base, where
    // f counts frames of the stream: every frame tells where it came from.
    static Generator FrameCounter(int base = 0);
    // Inverse of FrameCounter for one frame; -1 when the samples are not of that form.
    static int64_t FrameOf(int16_t left, int16_t right, int base = 0);
    // Every sample of the left channel = left, of the right channel = right.
    static Generator Constant(int16_t left, int16_t right);

    // Devices the system reports, and the name of device 0.
    void SetDevices(int count, const QString& firstName);
    // Every Open fails with `code` until SetOpenFailure(CaptureError::Ok).
    void SetOpenFailure(record::CaptureError code) { openFailure_ = code; }
    // The open stream stops for good (StreamError() answers `code`), as when the device is
    // unplugged or the sound server fails: nothing more arrives, what the slots hold stays.
    void LoseStream(record::CaptureError code = record::CaptureError::StreamLost) {
        streamError_ = code;
    }
    // Collect calls made on a lost stream; a real backend may have freed it by then.
    int ReadsAfterLoss() const { return readsAfterLoss_; }

    // Runs inside every Open and Close, as a backend that spins the event loop there would run
    // the application's timers.
    void SetInsideOpenClose(std::function<void()> hook) { insideOpenClose_ = std::move(hook); }

    // Hands over `blocks` whole blocks of the stream. Returns how many landed in buffers.
    int DeliverBlocks(int blocks);
    // Hands over `bytes` bytes of the stream.
    void DeliverBytes(uint64_t bytes);
    // Index of the stream block the next byte belongs to.
    uint64_t NextBlockIndex() const { return streamBytes_ / base::BlockBytes; }
    int QueuedBuffers() const { return queue_.Count(); }
    bool Capturing() const { return running_; }
    int OpenCalls() const { return openCalls_; }
    int CloseCalls() const { return closeCalls_; }
    uint64_t DroppedBytes() const { return droppedBytes_; }

    int DeviceCount() override { return deviceCount_; }
    QString FirstDeviceName() override { return deviceCount_ > 0 ? firstName_ : QString(); }
    record::CaptureError Open() override;
    void AddBuffer(record::SlotHeader* header) override;
    void Start() override { running_ = open_; }
    void Reset() override;
    void Close() override;
    record::CaptureError StreamError() override {
        return open_ ? streamError_ : record::CaptureError::Ok;
    }
    void Collect() override {
        readsAfterLoss_ += open_ && streamError_ != record::CaptureError::Ok ? 1 : 0;
    }

  private:
    Generator generator_;
    std::function<void()> insideOpenClose_;
    std::vector<uint8_t> staging_; // the stream block being handed over
    uint64_t stagedIndex_ = UINT64_MAX;
    uint64_t streamBytes_ = 0;
    uint64_t droppedBytes_ = 0;
    int deviceCount_ = 1;
    QString firstName_ = "Scripted Input";
    record::CaptureError openFailure_ = record::CaptureError::Ok;
    record::CaptureError streamError_ = record::CaptureError::Ok;
    int readsAfterLoss_ = 0;
    bool open_ = false;
    bool running_ = false;
    int openCalls_ = 0;
    int closeCalls_ = 0;
    record::HeaderQueue queue_;
};

} // namespace testsupport

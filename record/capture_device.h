// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/blocks.h"

#include <QString>

#include <array>
#include <cstdint>

// The sound input as the recording pipeline sees it: a device that fills fixed one-block buffers
// strictly in the order they were queued and counts the bytes it put into each. The pipeline
// never takes a notification; it polls the headers from its timers.
//
// Thread context: every call, and every change the device makes to a queued header, happens on
// the thread that runs the application's event loop (the GUI thread). A backend that receives
// data elsewhere must hand it over through that event loop. Nothing is locked.
namespace record {

// One queued buffer. The pipeline owns the headers (a fixed array of SlotCount); the device
// refers to a header from AddBuffer until Reset or Close and writes only `bytesRecorded` and the
// device flags.
struct SlotHeader {
    uint8_t* data = nullptr;    // start of the slot in CaptureBuffer
    uint32_t bufferLength = 0;  // always BlockBytes
    uint32_t bytesRecorded = 0; // set to 0 when queued; the device raises it up to bufferLength
    uint32_t user = 0;          // the slot's block number; 0 once the pipeline processed it
    uint32_t flags = 0;         // SlotQueued while the device holds the header
};

constexpr uint32_t SlotQueued = 1;

// What Open (and a failed stream) answers; CaptureErrorText turns a code into the user's text.
enum class CaptureError {
    Ok,
    NoDevice,   // no input device (or it vanished while opening)
    DeviceBusy, // the device is held by someone else
    NoDriver,   // the sound service is not reachable
    NoMemory,
    BadFormat,  // the device does not take 44100 Hz, 2 channels, 16 bits
    OpenFailed, // any other failure to start the stream
    StreamLost, // an open stream stopped for good (device unplugged)
};

// Standard text of a capture error code (at most 128 characters).
QString CaptureErrorText(CaptureError code);

// The buffers a device holds, in the order they were queued: the ring every device backend keeps
// between AddBuffer and the moment a buffer is full (or Reset returns it).
class HeaderQueue {
  public:
    // Queues `header` behind the others and sets SlotQueued; ignored when SlotCount buffers are
    // queued already, which cannot happen with the pipeline's SlotCount headers.
    void Push(SlotHeader* header);
    // The buffer being filled; nullptr when none is queued.
    SlotHeader* Front() const { return count_ > 0 ? ring_[size_t(head_)] : nullptr; }
    // The front buffer's free part: where its next byte goes and how many bytes it still takes;
    // {nullptr, 0} when none is queued.
    struct Space {
        uint8_t* at = nullptr;
        uint32_t bytes = 0;
    };
    Space FrontSpace() const;
    // `bytes` more bytes were put at FrontSpace().at: the front buffer counts them and, once
    // full, leaves the queue (true), so the next bytes go to the next buffer, never reordered.
    bool Filled(uint32_t bytes);
    // The front buffer is full: it leaves the queue, SlotQueued cleared.
    void PopFront();
    // Every buffer leaves the queue, SlotQueued cleared; a partly filled one keeps its bytes.
    void Clear();
    int Count() const { return count_; }

  private:
    std::array<SlotHeader*, base::SlotCount> ring_{};
    int head_ = 0;
    int count_ = 0;
};

class CaptureDevice {
  public:
    virtual ~CaptureDevice() = default;

    // Number of input devices present now. Cheap enough to call every 500 ms.
    virtual int DeviceCount() = 0;
    // Product name of device 0, the system's default input; empty when there is none.
    virtual QString FirstDeviceName() = 0;

    // Opens device 0 at the one internal format (44100 Hz, 2 channels, 16-bit signed). Returns
    // CaptureError::Ok or an error code; on error the device stays closed. Capturing begins
    // only at Start; bytes that arrive before are dropped.
    virtual CaptureError Open() = 0;

    // Queues `header` behind the buffers already queued: sets SlotQueued. The device fills queued
    // buffers strictly in queue order; a buffer is full when bytesRecorded == bufferLength and
    // the device then moves on to the next one. A full buffer stays untouched until it is queued
    // again. bytesRecorded is 0 when the caller queues it (the caller clears it).
    virtual void AddBuffer(SlotHeader* header) = 0;
    // Starts or resumes capturing; harmless while running.
    virtual void Start() = 0;
    // Stops capturing and returns every queued buffer (clears SlotQueued). A buffer that was
    // partly filled keeps its bytesRecorded, so the caller can tell it is not full.
    virtual void Reset() = 0;
    // Releases the device; Reset first if buffers are still queued. Harmless when closed.
    virtual void Close() = 0;

    // Moves into the queued buffers whatever the backend has received but not yet handed over.
    // The pipeline calls it before it looks at the headers, and never once StreamError() is not
    // Ok: a failed stream may already be gone. A device that hands over bytes as they come needs
    // nothing here.
    virtual void Collect() {}
    // Not Ok when the open stream has stopped for good (the device went away under it, or the
    // sound server failed or quit); the device watch then treats the device as vanished. The
    // buffers filled before keep their bytes. Ok while closed.
    virtual CaptureError StreamError() { return CaptureError::Ok; }
};

} // namespace record

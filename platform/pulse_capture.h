// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/byte_ring.h"
#include "platform/pulse_connection.h"
#include "record/capture_device.h"

#include <pulse/pulseaudio.h>

// The capture device straight on the sound server (libpulse, asynchronous API). Device 0 is the
// server's default source when it is a real input, else the first real input; the sinks'
// monitors are not inputs. The stream asks for fragments of one block (0.1 s) and is never moved
// by the server: when its source goes away the server ends it, and the device counts as lost at
// once instead of recording whatever the server would fall back to.
//
// Bytes arrive on the connection's thread and wait in a ring until the pipeline's Collect() moves
// them into its queued buffers on the GUI thread, in order; the ring holds two seconds, and
// whatever does not fit waits in the server's own queue. When the stream is lost, the bytes that
// came before are still handed over (StreamError does it as it reports the loss), so a take ends
// with the last block the device delivered.
//
// DeviceCount and FirstDeviceName read the connection's device list, kept by the server's events.
// With no server they answer 0 and an empty name, and each call tries a new connection without
// waiting, so the device watch finds the server again when it comes back.

namespace platform {

class PulseCapture : public record::CaptureDevice {
  public:
    PulseCapture();
    ~PulseCapture() override;

    int DeviceCount() override;
    QString FirstDeviceName() override;
    record::CaptureError Open() override;
    void AddBuffer(record::SlotHeader* header) override;
    void Start() override;
    void Reset() override;
    void Close() override;
    void Collect() override;
    record::CaptureError StreamError() override;

  private:
    static void StreamState(pa_stream* stream, void* self);
    static void Readable(pa_stream* stream, size_t bytes, void* self);
    // Under the lock: moves what the stream holds into the ring, or drops it while not running.
    void Pull();
    bool StreamLost() const; // under the lock

    PulseConnection connection_{PulseConnection::Direction::Input};
    pa_stream* stream_ = nullptr;
    bool running_ = false; // guarded by the lock: the connection's thread reads it
    ByteRing ring_;        // guarded by the lock
    // Queued headers, oldest first; only the GUI thread touches them.
    record::HeaderQueue queue_;
};

} // namespace platform

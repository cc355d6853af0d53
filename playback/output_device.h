// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <cstdint>

// The sound output as the playback engine sees it: a stream of one fixed format (44100 Hz,
// 2 channels, 16-bit signed) that plays written buffers strictly in the order they were written
// and counts how many bytes it has played. The engine never takes a notification; it polls
// PlayedBytes from its 100 ms tick and works out which of its buffers are done from that count,
// since buffers play in queue order.
//
// Thread context: every call happens on the thread that runs the application's event loop (the
// GUI thread). A backend that feeds its stream from timers does so on that thread too. Nothing is
// locked.
namespace playback {

// What Open answers, as the sound driver's codes; OutputErrorText turns one into the user's text.
enum class OutputError : int {
    Ok = 0,
    NoDevice = 2,   // no output device
    DeviceBusy = 4, // the device is held by someone else
    NoDriver = 6,   // the sound service is not reachable
    NoMemory = 7,
    BadFormat = 32,   // the device does not take 44100 Hz, 2 channels, 16 bits
    OpenFailed = 100, // any other failure to start the stream
};

// Standard text of an output error code (at most 128 characters).
QString OutputErrorText(OutputError code);

class OutputDevice {
  public:
    virtual ~OutputDevice() = default;

    // Opens the system's default output at the one internal format. Returns OutputError::Ok or
    // an error code; on error the device stays closed. A new stream plays at full volume
    // (65535), so the bytes reach the sound server unchanged.
    virtual OutputError Open() = 0;

    // Queues `bytes` bytes (a whole number of frames) behind everything written before; they
    // play after it. The device refers to `data` until those bytes are played or until Reset
    // or Close, so the caller leaves them unchanged meanwhile.
    virtual void Write(const uint8_t* data, uint32_t bytes) = 0;
    // Bytes of the stream played since Open or the last Reset; never more than were written
    // since then, and it never goes back. A buffer whose last byte lies within this count has
    // been played.
    virtual uint64_t PlayedBytes() = 0;
    // Stops at once, drops everything written and not yet played and forgets every buffer;
    // PlayedBytes starts again from 0. Harmless when idle.
    virtual void Reset() = 0;
    // Releases the device; Reset first if anything is queued. Harmless when closed.
    virtual void Close() = 0;

    // Volume of the stream, the same on both channels: 0 silent .. 65535 full. Read while open.
    virtual uint16_t Volume() = 0;
    virtual void SetVolume(uint16_t value) = 0;
};

} // namespace playback

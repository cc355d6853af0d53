// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/pulse_connection.h"
#include "playback/output_device.h"

#include <pulse/pulseaudio.h>

#include <cstdint>
#include <vector>

// The output device straight on the sound server (libpulse, asynchronous API): the server's
// default sink. Open connects to the server and checks that there is a sink; a stream starts at
// the first Write after Open or Reset and lives until the next Reset, so the count of played
// bytes starts from 0 with it. Write hands the bytes to the server at once: the stream's buffer
// takes the playback engine's whole ring (40 blocks), so nothing needs feeding from timers, and
// playback starts as soon as one block is there.
//
// PlayedBytes is the stream's own playback time (the server's read position less the sink's
// latency), never more than was written. A Reset that comes when everything written has been
// counted as played (a playback that ran to its end) lets the server play out what it still
// holds (a drain) before the stream goes; Close waits for such a drain. A Reset in the middle of
// a playback drops the rest at once.
//
// Volume is the stream's volume, the same on both channels, 0..65535 linear; a new stream plays
// at 65535, where the server passes the bytes unchanged. A mixer's changes are not seen.
namespace platform {

class PulseOutput : public playback::OutputDevice {
  public:
    PulseOutput();
    ~PulseOutput() override;

    playback::OutputError Open() override;
    void Write(const uint8_t* data, uint32_t bytes) override;
    uint64_t PlayedBytes() override;
    void Reset() override;
    void Close() override;
    uint16_t Volume() override;
    void SetVolume(uint16_t value) override;

  private:
    static void StreamState(pa_stream* stream, void* self);
    static void Drained(pa_stream* stream, int success, void* self);

    bool StartStream(); // under the lock
    // Under the lock: takes a stream down (it must not be draining).
    static void DropStream(pa_stream* stream);
    pa_cvolume StreamVolume() const;

    PulseConnection connection_{PulseConnection::Direction::Output};
    bool open_ = false;
    pa_stream* stream_ = nullptr;      // the running stream; nullptr between Reset and Write
    bool streamFailed_ = false;        // this playback's stream could not start or was lost
    std::vector<pa_stream*> draining_; // streams playing out their last bytes; under the lock
    uint64_t written_ = 0;             // bytes written since the last Reset
    uint64_t played_ = 0;              // highest count PlayedBytes gave since the last Reset
    uint16_t volume_ = 65535;
};

} // namespace platform

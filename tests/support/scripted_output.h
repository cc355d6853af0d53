// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "playback/output_device.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace testsupport {

// An output device driven by the test instead of a clock: it keeps every byte written to it, in
// order and across resets, and plays only when the test says how many bytes have been played.
class ScriptedOutput : public playback::OutputDevice {
  public:
    // Every Open fails with `code` until SetOpenFailure(OutputError::Ok).
    void SetOpenFailure(playback::OutputError code) { openFailure_ = code; }
    // Runs inside every Reset and Close, as a backend that spins the event loop there would
    // run the application's timers.
    void SetInsideResetClose(std::function<void()> hook) { insideResetClose_ = std::move(hook); }

    // The device plays `bytes` more of what is queued (at most what is queued).
    void Play(uint64_t bytes);
    // Plays everything queued.
    void PlayQueued() { Play(Queued()); }
    // Bytes written since the last Reset and not yet played.
    uint64_t Queued() const { return written_ - played_; }

    // Every byte written since the device was made.
    const std::vector<uint8_t>& Sent() const { return sent_; }
    bool IsOpen() const { return open_; }
    int ResetCalls() const { return resetCalls_; }

    playback::OutputError Open() override;
    void Write(const uint8_t* data, uint32_t bytes) override;
    uint64_t PlayedBytes() override { return played_; }
    void Reset() override;
    void Close() override;
    uint16_t Volume() override { return volume_; }
    void SetVolume(uint16_t value) override { volume_ = value; }

  private:
    std::function<void()> insideResetClose_;
    std::vector<uint8_t> sent_;
    uint64_t written_ = 0; // since the last Reset
    uint64_t played_ = 0;
    playback::OutputError openFailure_ = playback::OutputError::Ok;
    int resetCalls_ = 0;
    bool open_ = false;
    uint16_t volume_ = 65535;
};

} // namespace testsupport

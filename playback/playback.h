// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/blocks.h"
#include "operations/selection.h"
#include "playback/output_device.h"

#include <array>
#include <cstdint>
#include <vector>

namespace base {
class EventPump;
}
namespace operations {
class SoundSource;
}

// The playback engine: plays a sound, or a stretch of it, block by block through an output
// device, keeping a ring of 40 one-block buffers in two halves queued. The editor window owns the
// buttons and the 100 ms timer that calls Tick; the player owns the output device while open and
// the play state the window reads to draw its play line. Everything runs on the GUI thread.
namespace playback {

constexpr int BufferCount = 40; // two halves of 20: 2 to 4 s of sound queued while playing
constexpr int HalfBuffers = 20; // a half is refilled only as a whole, once all of it has played

// Plays `sound` through `device`. Positions are 1-based blocks of the sound. The sound may change
// (an edit) only while nothing plays: every editing command calls StopForEdit first.
class Player {
  public:
    // The player keeps the references; `pump` runs pending messages where playback ends or
    // stops for an edit, so the window's timers and clicks are not held up.
    Player(OutputDevice& device, const operations::SoundSource& sound, base::EventPump& pump);
    // Releases the device if still open.
    ~Player();
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    // Opens the output device unless open. On failure throws base::UserError with the
    // device's text and stays closed; the editor then works without sound.
    void Open();
    // Stops playback first (Playing false, output reset), then releases the device. Harmless
    // when closed.
    void Close();

    // Output volume, 0..65535 on both channels; 0 and nothing done while the output is closed.
    uint16_t Volume() const;
    void SetVolume(uint16_t value);

    // Plays from..the sound's end and sets PlayAllMode. Restarts when already playing. Does
    // nothing while the output is closed.
    void PlayAll(uint32_t from);
    // Plays from..SelEnd, or ..the sound's end when nothing is selected; clears PlayAllMode. A
    // click inside the selection restarts it at the clicked block, although the cursor then
    // goes back to the selection's start. Play Selection's button starts at the cursor.
    void PlaySelection(uint32_t from, const operations::Selection& selection);
    // The Stop button: stops and leaves PlayFrom at the play line, PlayTo at the end.
    void Stop();
    // What every editing command does first: no queued buffer outlives the sound it came from.
    void StopForEdit();
    // The play timer's first step (100 ms): advances PlayBlock from what the device has
    // played, refills each half that has played completely, ends playback once PlayTo has
    // played.
    void Tick();

    bool OutputOpen() const { return outputOpen_; }
    bool Playing() const { return playing_; }
    bool PlayAllMode() const { return playAllMode_; } // started by PlayAll, not PlaySelection
    uint32_t PlayFrom() const { return playFrom_; }   // where the current playback began
    uint32_t PlayTo() const { return playTo_; }       // last position to play
    uint32_t PlayBlock() const { return playBlock_; } // highest position played: the play line

  private:
    uint8_t* BufferData(int n);
    void ResetOutput();
    void EndPlayback();
    void StartPlayback(bool playAll);
    void FillHalf(int half);
    bool HalfFree(int half) const;

    OutputDevice& device_;
    const operations::SoundSource& sound_;
    base::EventPump& pump_;

    bool outputOpen_ = false;
    bool playing_ = false;
    bool playAllMode_ = false;
    uint32_t playFrom_ = 1;
    uint32_t playTo_ = 0;
    uint32_t playBlock_ = 1;
    uint32_t nextBlock_ = 1; // next position to queue

    // Buffer n is the block at n * BlockBytes; sized once, never reallocated.
    std::vector<uint8_t> buffers_ = std::vector<uint8_t>(size_t(BufferCount) * base::BlockBytes);
    // Per buffer, what the current playback queued in it: the position it holds (0: nothing
    // queued since the last play command, Stop or reset) and where its last byte ends in the
    // output stream (bytes written since the device's last Reset). Every play command clears
    // both, so a buffer of an earlier playback never counts.
    std::array<uint32_t, BufferCount> bufferBlock_{};
    std::array<uint64_t, BufferCount> bufferEnd_{};
    // 1 when the device has played buffer n of the current playback; refreshed on every tick.
    std::array<uint32_t, BufferCount> playDone_{};
    uint64_t streamBytes_ = 0; // bytes written to the device since its last Reset
};

} // namespace playback

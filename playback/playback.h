// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "playback/output_device.h"
#include "record/blocks.h"

#include <QString>

#include <array>
#include <cstdint>
#include <vector>

// The playback engine: plays the edited sound of the current undo level, or a stretch of it,
// block by block through the output device, keeping a ring of 40 one-block buffers in two
// halves queued. The editor window owns the buttons and the 100 ms timer that calls PlayTick;
// the engine owns the output device and the play state the window reads to draw its play line.
// Everything runs on the GUI thread.
namespace playback {

constexpr int BufferCount = 40; // two halves of 20: 2 to 4 s of sound queued while playing
constexpr int HalfBuffers = 20; // a half is refilled only as a whole, once all of it has played

// One instance, playback::state. Positions are 1-based blocks of the edited sound. A test resets
// it by assigning a fresh State with the output closed. The window reads these fields and sets
// PlayFrom (before PlayAll) and nothing else.
struct State {
    bool OutputOpen = false;
    bool Playing = false;
    bool PlayAllMode = false; // started by PlayAll; clear for PlaySelection
    uint32_t PlayFrom = 1;    // where the current playback began
    uint32_t PlayTo = 0;      // last position to play
    uint32_t PlayBlock = 1;   // highest position the device has finished: the play line
    uint32_t NextBlock = 1;   // next position to queue

    // Buffer n is the block at n * BlockBytes; sized once, never reallocated.
    std::vector<uint8_t> Buffers = std::vector<uint8_t>(size_t(BufferCount) * record::BlockBytes);
    // Per buffer, what the current playback queued in it: the position it holds (0: nothing
    // queued since the last play command, Stop or reset) and where its last byte ends in the
    // output stream (bytes written since the device's last Reset). Every play command clears
    // both, so a buffer of an earlier playback never counts.
    std::array<uint32_t, BufferCount> BufferBlock{};
    std::array<uint64_t, BufferCount> BufferEnd{};
    // 1 when the device has played buffer n of the current playback; refreshed on every tick.
    std::array<uint32_t, BufferCount> PlayDone{};
    uint64_t StreamBytes = 0; // bytes written to the device since its last Reset
};
extern State state;

// Opens the output device installed with SetOutputDevice unless open. On failure returns false
// with the device's text in *error (when given); the editor then works without sound.
bool OpenOutput(QString* error);
// Stops playback first (Playing := false, output reset), then releases the device. Harmless
// when closed.
void CloseOutput();

// Output volume, 0..65535 on both channels; 0 and nothing done while the output is closed.
uint16_t GetVolume();
void SetVolume(uint16_t value);

// Plays PlayFrom..FileBlocks (the window sets PlayFrom first) and sets PlayAllMode. Restarts
// when already playing. Does nothing while the output is closed.
void PlayAll();
// Plays from..SelEnd, or ..FileBlocks when nothing is selected; clears PlayAllMode. A click
// inside the selection restarts it at the clicked block, although the cursor then goes back to
// the selection's start.
void PlaySelection(uint32_t from);
// Play Selection from the cursor.
void PlaySelection();
// Body of SBtnStopClick: stops and leaves PlayFrom at the play line, PlayTo at the end.
void StopPlay();
// What every editing command does first: no queued buffer outlives the edit list it came from.
void StopForEdit();
// First step of TimerPlayTimer (100 ms): advances PlayBlock from what the device has played,
// refills each half that has played completely, ends playback once PlayTo has played.
void PlayTick();

} // namespace playback

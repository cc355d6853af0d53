// SPDX-License-Identifier: GPL-3.0-or-later
#include "playback/playback.h"

#include "operations/editing_state.h"
#include "operations/undo_history.h"
#include "platform/services/process_messages.h"

#include <algorithm>
#include <cstring>

namespace playback {

State state;

namespace {

OutputDevice& Device() {
    return CurrentOutputDevice();
}

uint8_t* BufferData(int n) {
    return state.Buffers.data() + size_t(n) * record::BlockBytes;
}

// Drops everything the device holds and every trace of the buffers it held, so that only
// buffers queued from now on count as played.
void ResetOutput() {
    Device().Reset();
    state.BufferBlock.fill(0);
    state.BufferEnd.fill(0);
    state.PlayDone.fill(0);
    state.StreamBytes = 0;
}

void EndPlayback() {
    // Playing goes first: the pending messages below may run a tick.
    state.Playing = false;
    ResetOutput();
    platform::ProcessMessages();
    state.NextBlock = 0;
}

// Common start of both play commands once NextBlock, PlayFrom and PlayTo are set.
void StartPlayback(bool playAll) {
    ResetOutput();
    state.PlayTo = std::min(state.PlayTo, operations::state.FileBlocks);
    state.PlayBlock = state.PlayFrom;
    state.PlayAllMode = playAll;
    state.Playing = true;
    if (state.PlayFrom == 0 || state.PlayFrom > state.PlayTo) {
        EndPlayback(); // nothing to play: an empty sound, or a start after the end
    }
}

// Reads the next blocks, up to the half's 20 and up to PlayTo, into the half's buffers and
// queues them in order.
void FillHalf(int half) {
    const int first = half * HalfBuffers;
    const uint32_t count = std::min<uint32_t>(HalfBuffers, state.PlayTo - state.NextBlock + 1);
    uint8_t* base = BufferData(first);
    // A short read leaves the rest of its buffer alone: let that rest be silence, never an
    // older block.
    std::memset(base, 0, size_t(count) * record::BlockBytes);
    for (uint32_t k = 0; k < count;) {
        const uint32_t run = operations::ReadPositions(state.NextBlock + k, count - k,
                                                       base + size_t(k) * record::BlockBytes);
        k += std::max<uint32_t>(run, 1); // a position in no segment stays silent
    }
    Device().Write(base, count * uint32_t(record::BlockBytes));
    for (uint32_t k = 0; k < count; ++k) {
        state.StreamBytes += record::BlockBytes;
        state.BufferBlock[size_t(first) + k] = state.NextBlock++;
        state.BufferEnd[size_t(first) + k] = state.StreamBytes;
    }
}

// True when no buffer of the half holds a block still to be played.
bool HalfFree(int half) {
    for (int n = half * HalfBuffers; n < (half + 1) * HalfBuffers; ++n) {
        if (state.BufferBlock[size_t(n)] != 0 && state.PlayDone[size_t(n)] == 0) {
            return false;
        }
    }
    return true;
}

} // namespace

bool OpenOutput(QString* error) {
    if (state.OutputOpen) {
        return true;
    }
    const int code = Device().Open();
    if (code != OutputOk) {
        if (error) {
            *error = Device().ErrorText(code);
        }
        return false;
    }
    state.OutputOpen = true;
    return true;
}

void CloseOutput() {
    state.Playing = false;
    if (!state.OutputOpen) {
        return;
    }
    ResetOutput();
    state.OutputOpen = false;
    Device().Close();
}

uint16_t GetVolume() {
    return state.OutputOpen ? Device().Volume() : 0;
}

void SetVolume(uint16_t value) {
    if (state.OutputOpen) {
        Device().SetVolume(value);
    }
}

void PlayAll() {
    if (!state.OutputOpen) {
        return;
    }
    state.NextBlock = state.PlayFrom;
    state.PlayTo = operations::state.FileBlocks;
    StartPlayback(true);
}

void PlaySelection(uint32_t from) {
    if (!state.OutputOpen) {
        return;
    }
    const operations::State& e = operations::state;
    state.NextBlock = from;
    state.PlayFrom = from;
    state.PlayTo = e.SelStart == e.SelEnd ? e.FileBlocks : e.SelEnd;
    StartPlayback(false);
}

void PlaySelection() {
    PlaySelection(operations::state.CursorBlock);
}

void StopPlay() {
    state.Playing = false;
    if (state.OutputOpen) {
        ResetOutput();
    }
    state.PlayTo = operations::state.FileBlocks;
    state.PlayFrom = state.PlayBlock;
}

void StopForEdit() {
    state.Playing = false;
    if (state.OutputOpen) {
        ResetOutput();
    }
    platform::ProcessMessages();
}

void PlayTick() {
    if (!state.OutputOpen || !state.Playing) {
        return;
    }
    const uint64_t played = Device().PlayedBytes();
    uint32_t finished = 0; // highest position played in this playback
    for (size_t n = 0; n < BufferCount; ++n) {
        state.PlayDone[n] = state.BufferBlock[n] != 0 && played >= state.BufferEnd[n] ? 1 : 0;
        if (state.PlayDone[n]) {
            finished = std::max(finished, state.BufferBlock[n]);
        }
    }
    state.PlayBlock = std::max(state.PlayBlock, finished);
    if (finished >= state.PlayTo) {
        EndPlayback();
        return;
    }
    for (int half = 0; half < 2; ++half) {
        if (state.NextBlock <= state.PlayTo && HalfFree(half)) {
            FillHalf(half);
        }
    }
}

} // namespace playback

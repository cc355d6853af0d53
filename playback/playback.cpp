// SPDX-License-Identifier: GPL-3.0-or-later
#include "playback/playback.h"

#include "base/errors.h"
#include "base/event_pump.h"
#include "operations/sound_source.h"

#include <algorithm>
#include <cstring>

namespace playback {

Player::Player(OutputDevice& device, const operations::SoundSource& sound, base::EventPump& pump)
    : device_(device), sound_(sound), pump_(pump) {}

Player::~Player() {
    Close();
}

uint8_t* Player::BufferData(int n) {
    return buffers_.data() + size_t(n) * base::BlockBytes;
}

// Drops everything the device holds and every trace of the buffers it held, so that only
// buffers queued from now on count as played.
void Player::ResetOutput() {
    device_.Reset();
    bufferBlock_.fill(0);
    bufferEnd_.fill(0);
    playDone_.fill(0);
    streamBytes_ = 0;
}

void Player::EndPlayback() {
    // Playing goes first: the pending messages below may run a tick.
    playing_ = false;
    ResetOutput();
    pump_.ProcessMessages();
    nextBlock_ = 0;
}

// Common start of both play commands once nextBlock_, playFrom_ and playTo_ are set.
void Player::StartPlayback(bool playAll) {
    ResetOutput();
    playTo_ = std::min(playTo_, sound_.Blocks());
    playBlock_ = playFrom_;
    playAllMode_ = playAll;
    playing_ = true;
    if (playFrom_ == 0 || playFrom_ > playTo_) {
        EndPlayback(); // nothing to play: an empty sound, or a start after the end
    }
}

// Reads the next blocks, up to the half's 20 and up to playTo_, into the half's buffers and
// queues them in order.
void Player::FillHalf(int half) {
    const int first = half * HalfBuffers;
    const uint32_t count = std::min<uint32_t>(HalfBuffers, playTo_ - nextBlock_ + 1);
    uint8_t* base = BufferData(first);
    // A short read leaves the rest of its buffer alone: let that rest be silence, never an
    // older block.
    std::memset(base, 0, size_t(count) * base::BlockBytes);
    for (uint32_t k = 0; k < count;) {
        const uint32_t run =
            sound_.ReadPositions(nextBlock_ + k, count - k, base + size_t(k) * base::BlockBytes)
                .positions;
        k += std::max<uint32_t>(run, 1); // a position in no segment stays silent
    }
    device_.Write(base, count * uint32_t(base::BlockBytes));
    for (uint32_t k = 0; k < count; ++k) {
        streamBytes_ += base::BlockBytes;
        bufferBlock_[size_t(first) + k] = nextBlock_++;
        bufferEnd_[size_t(first) + k] = streamBytes_;
    }
}

// True when no buffer of the half holds a block still to be played.
bool Player::HalfFree(int half) const {
    for (int n = half * HalfBuffers; n < (half + 1) * HalfBuffers; ++n) {
        if (bufferBlock_[size_t(n)] != 0 && playDone_[size_t(n)] == 0) {
            return false;
        }
    }
    return true;
}

void Player::Open() {
    if (outputOpen_) {
        return;
    }
    const OutputError code = device_.Open();
    if (code != OutputError::Ok) {
        throw base::UserError(OutputErrorText(code).toStdString());
    }
    outputOpen_ = true;
}

void Player::Close() {
    playing_ = false;
    if (!outputOpen_) {
        return;
    }
    ResetOutput();
    outputOpen_ = false;
    device_.Close();
}

uint16_t Player::Volume() const {
    return outputOpen_ ? device_.Volume() : 0;
}

void Player::SetVolume(uint16_t value) {
    if (outputOpen_) {
        device_.SetVolume(value);
    }
}

void Player::PlayAll(uint32_t from) {
    if (!outputOpen_) {
        return;
    }
    nextBlock_ = from;
    playFrom_ = from;
    playTo_ = sound_.Blocks();
    StartPlayback(true);
}

void Player::PlaySelection(uint32_t from, const operations::Selection& selection) {
    if (!outputOpen_) {
        return;
    }
    nextBlock_ = from;
    playFrom_ = from;
    playTo_ = selection.SelStart == selection.SelEnd ? sound_.Blocks() : selection.SelEnd;
    StartPlayback(false);
}

void Player::Stop() {
    playing_ = false;
    if (outputOpen_) {
        ResetOutput();
    }
    playTo_ = sound_.Blocks();
    playFrom_ = playBlock_;
}

void Player::StopForEdit() {
    playing_ = false;
    if (outputOpen_) {
        ResetOutput();
    }
    pump_.ProcessMessages();
}

void Player::Tick() {
    if (!outputOpen_ || !playing_) {
        return;
    }
    const uint64_t played = device_.PlayedBytes();
    uint32_t finished = 0; // highest position played in this playback
    for (size_t n = 0; n < BufferCount; ++n) {
        playDone_[n] = bufferBlock_[n] != 0 && played >= bufferEnd_[n] ? 1 : 0;
        if (playDone_[n]) {
            finished = std::max(finished, bufferBlock_[n]);
        }
    }
    playBlock_ = std::max(playBlock_, finished);
    if (finished >= playTo_) {
        EndPlayback();
        return;
    }
    for (int half = 0; half < 2; ++half) {
        if (nextBlock_ <= playTo_ && HalfFree(half)) {
            FillHalf(half);
        }
    }
}

} // namespace playback

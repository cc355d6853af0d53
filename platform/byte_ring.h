// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "record/capture_device.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// Captured bytes between the thread that receives them and the GUI thread that hands them to the
// pipeline's buffers: a fixed ring, allocated once, so nothing is allocated while capturing. The
// owner guards it with its own lock.
namespace platform {

class ByteRing {
  public:
    explicit ByteRing(size_t capacity) : bytes_(capacity) {}

    size_t Size() const { return size_; }
    size_t Room() const { return bytes_.size() - size_; }
    // Appends `count` bytes (zeros when `data` is nullptr: a hole the server reported); the
    // caller keeps within Room().
    void Append(const uint8_t* data, size_t count);
    void Clear() { head_ = size_ = 0; }

    // Moves the oldest bytes into the queued buffers, filling each in turn, strictly in order,
    // until the ring is empty or no buffer is queued. Returns the bytes moved.
    size_t MoveInto(record::HeaderQueue& queue);

  private:
    std::vector<uint8_t> bytes_;
    size_t head_ = 0; // oldest byte
    size_t size_ = 0;
};

} // namespace platform

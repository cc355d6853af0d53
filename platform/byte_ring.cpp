// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/byte_ring.h"

#include <algorithm>
#include <cstring>

namespace platform {

void ByteRing::Append(const uint8_t* data, size_t count) {
    count = std::min(count, Room());
    size_t tail = (head_ + size_) % bytes_.size();
    while (count > 0) {
        const size_t run = std::min(count, bytes_.size() - tail);
        if (data) {
            std::memcpy(bytes_.data() + tail, data, run);
            data += run;
        } else {
            std::memset(bytes_.data() + tail, 0, run);
        }
        size_ += run;
        count -= run;
        tail = (tail + run) % bytes_.size();
    }
}

size_t ByteRing::MoveInto(record::HeaderQueue& queue) {
    size_t moved = 0;
    while (size_ > 0) {
        const record::HeaderQueue::Space space = queue.FrontSpace();
        if (!space.at) {
            break;
        }
        // The ring's oldest bytes up to its end or the buffer's free part, whichever is shorter.
        const size_t run = std::min({size_, bytes_.size() - head_, size_t(space.bytes)});
        std::memcpy(space.at, bytes_.data() + head_, run);
        head_ = (head_ + run) % bytes_.size();
        size_ -= run;
        moved += run;
        queue.Filled(uint32_t(run));
    }
    if (size_ == 0) {
        head_ = 0;
    }
    return moved;
}

} // namespace platform

// SPDX-License-Identifier: GPL-3.0-or-later
// The hand-over of captured bytes from the sound server's thread to the pipeline's buffers:
// fragments of any size, across buffer borders and the ring's end, must come out as one unbroken
// run, buffer after buffer, in queue order.
#include "platform/byte_ring.h"

#include "base/blocks.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

namespace {

struct HandOverCase {
    const char* name;
    std::vector<size_t> fragments; // bytes per arriving fragment; a Collect after each
    size_t ringBytes;
    int queued;      // buffers queued before the first fragment
    int queuedLater; // buffers queued after the last one, for the bytes that waited
};

class CaptureHandOver : public ::testing::TestWithParam<HandOverCase> {};

// Byte n of the captured run is n mod 251: a byte lost, doubled or reordered shows at once.
uint8_t RunByte(size_t n) {
    return uint8_t(n % 251);
}

TEST_P(CaptureHandOver, BytesArriveInOrderAcrossBufferBordersAndTheRingsEnd) {
    const HandOverCase& c = GetParam();
    std::vector<uint8_t> buffers(size_t(base::SlotCount) * base::BlockBytes, 0xEE);
    std::array<record::SlotHeader, base::SlotCount> headers{};
    record::HeaderQueue queue;
    for (int i = 0; i < base::SlotCount; ++i) {
        headers[size_t(i)].data = buffers.data() + size_t(i) * base::BlockBytes;
        headers[size_t(i)].bufferLength = base::BlockBytes;
    }
    for (int i = 0; i < c.queued; ++i) {
        queue.Push(&headers[size_t(i)]);
    }
    platform::ByteRing ring(c.ringBytes);
    size_t sent = 0;
    std::vector<uint8_t> fragment;
    for (const size_t bytes : c.fragments) {
        ASSERT_LE(bytes, ring.Room()) << "the case sends more than the ring holds";
        fragment.resize(bytes);
        for (size_t k = 0; k < bytes; ++k) {
            fragment[k] = RunByte(sent + k);
        }
        ring.Append(fragment.data(), bytes);
        sent += bytes;
        ring.MoveInto(queue);
    }
    for (int i = c.queued; i < c.queued + c.queuedLater; ++i) {
        queue.Push(&headers[size_t(i)]);
    }
    ring.MoveInto(queue);
    const int queued = c.queued + c.queuedLater;
    const size_t capacity = size_t(queued) * base::BlockBytes;
    const size_t handed = std::min(sent, capacity);
    EXPECT_EQ(ring.Size(), sent - handed) << "what found no buffer waits in the ring";
    for (size_t n = 0; n < handed; ++n) {
        ASSERT_EQ(buffers[n], RunByte(n)) << "byte " << n << " of buffer " << n / base::BlockBytes;
    }
    for (int i = 0; i < queued; ++i) {
        const record::SlotHeader& h = headers[size_t(i)];
        const size_t filled = std::min<size_t>(
            base::BlockBytes,
            handed > size_t(i) * base::BlockBytes ? handed - size_t(i) * base::BlockBytes : 0);
        EXPECT_EQ(h.bytesRecorded, filled) << "buffer " << i;
        EXPECT_EQ((h.flags & record::SlotQueued) != 0, filled < base::BlockBytes)
            << "only a full buffer leaves the queue; buffer " << i;
    }
    if (handed < buffers.size()) {
        EXPECT_EQ(buffers[handed], 0xEE) << "nothing written past the bytes handed over";
    }
}

constexpr size_t Block = base::BlockBytes;

INSTANTIATE_TEST_SUITE_P(
    Fragments, CaptureHandOver,
    ::testing::Values(
        HandOverCase{"WholeBlocks", {Block, Block, Block}, 20 * Block, 40, 0},
        // Odd sizes that end inside a buffer, and one that spans three buffers at once.
        HandOverCase{"OddSizes", {1, 4409, 13231, 3 * Block + 17, 2, 777}, 20 * Block, 40, 0},
        // One buffer queued: the second fragment's rest waits, the third wraps round the ring's
        // end behind it, and both come out in order once two more buffers are queued.
        HandOverCase{"RingWraps", {10000, 10000, 9000}, 12000, 1, 2},
        // Two buffers queued: the rest waits in the ring, the third buffer is never touched.
        HandOverCase{"QueueRunsOut", {Block - 1, Block + 2, 4000}, 20 * Block, 2, 0},
        HandOverCase{"NothingQueuedYet", {1234, 999}, 20 * Block, 0, 1}),
    [](const ::testing::TestParamInfo<HandOverCase>& info) { return info.param.name; });

TEST(CaptureHandOverRing, AHoleIsSilenceOfItsLengthAndWaitingBytesFollowALaterQueue) {
    std::vector<uint8_t> slot(base::BlockBytes, 0xEE);
    record::SlotHeader header{};
    header.data = slot.data();
    header.bufferLength = base::BlockBytes;
    platform::ByteRing ring(100);
    const std::array<uint8_t, 3> before{1, 2, 3};
    const std::array<uint8_t, 2> after{4, 5};
    ring.Append(before.data(), before.size());
    ring.Append(nullptr, 6); // a hole the server reported
    ring.Append(after.data(), after.size());
    record::HeaderQueue queue;
    EXPECT_EQ(ring.MoveInto(queue), 0u) << "no buffer queued: the bytes wait";
    queue.Push(&header);
    EXPECT_EQ(ring.MoveInto(queue), 11u);
    const std::vector<uint8_t> want{1, 2, 3, 0, 0, 0, 0, 0, 0, 4, 5, 0xEE};
    EXPECT_EQ(std::vector<uint8_t>(slot.begin(), slot.begin() + 12), want);
    EXPECT_EQ(header.bytesRecorded, 11u);
    // Appending more than the room keeps the room's worth and no more.
    std::vector<uint8_t> big(150, 7);
    ring.Append(big.data(), big.size());
    EXPECT_EQ(ring.Size(), 100u);
}

} // namespace

// SPDX-License-Identifier: GPL-3.0-or-later
// The capture and output adapters share one format check and one reading of a failed start;
// each must still answer in its own port's codes.
#include "platform/qt_audio_format.h"
#include "playback/output_device.h"
#include "record/capture_device.h"

#include <gtest/gtest.h>

#include <array>

namespace {

template <typename Code> class QtAudioFormat : public ::testing::Test {};
using PortCodes = ::testing::Types<record::CaptureError, playback::OutputError>;
TYPED_TEST_SUITE(QtAudioFormat, PortCodes);

TYPED_TEST(QtAudioFormat, NoDeviceIsRefusedBeforeAnyStreamIsMade) {
    EXPECT_EQ(platform::DeviceRefusal<TypeParam>(QAudioDevice()), TypeParam::NoDevice);
}

TYPED_TEST(QtAudioFormat, AStartThatFailedNeverReadsAsOk) {
    const std::pair<QAudio::Error, TypeParam> table[] = {
        {QAudio::NoError, TypeParam::OpenFailed}, // stopped at once without saying why
        {QAudio::OpenError, TypeParam::OpenFailed},
        {QAudio::IOError, TypeParam::OpenFailed},
        {QAudio::UnderrunError, TypeParam::OpenFailed},
        {QAudio::FatalError, TypeParam::NoDriver}, // the sound server is gone
    };
    for (const auto& [error, code] : table) {
        EXPECT_EQ(platform::StartFailure<TypeParam>(error), code) << int(error);
    }
}

TEST(QtAudioFormatInternal, IsTheOneInternalFormat) {
    const QAudioFormat format = platform::InternalFormat();
    EXPECT_EQ(format.sampleRate(), base::SampleRate);
    EXPECT_EQ(format.channelCount(), base::Channels);
    EXPECT_EQ(format.bytesPerFrame(), base::FrameBytes);
    EXPECT_EQ(format.sampleFormat(), QAudioFormat::Int16);
}

} // namespace

namespace {

// The fill step both capture backends share: bytes go into the oldest queued buffer, which
// leaves the queue once full, and the next bytes go to the next one.
TEST(HeaderQueueFill, FillsTheOldestBufferAndMovesOnOnlyWhenItIsFull) {
    std::array<uint8_t, 8> memory{};
    record::SlotHeader a{memory.data(), 4}, b{memory.data() + 4, 4};
    record::HeaderQueue queue;
    EXPECT_EQ(queue.FrontSpace().at, nullptr);
    EXPECT_FALSE(queue.Filled(3)) << "nothing queued takes nothing";
    queue.Push(&a);
    queue.Push(&b);
    EXPECT_EQ(queue.FrontSpace().at, a.data);
    EXPECT_FALSE(queue.Filled(3));
    EXPECT_EQ(queue.FrontSpace().at, a.data + 3);
    EXPECT_EQ(queue.FrontSpace().bytes, 1u);
    EXPECT_TRUE(queue.Filled(1));
    EXPECT_EQ(a.flags & record::SlotQueued, 0u);
    EXPECT_EQ(queue.FrontSpace().at, b.data);
    EXPECT_EQ(queue.FrontSpace().bytes, 4u);
    EXPECT_EQ(queue.Count(), 1);
}

} // namespace

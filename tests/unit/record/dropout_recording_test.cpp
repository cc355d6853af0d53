// SPDX-License-Identifier: GPL-3.0-or-later
// Recordings that lose sound: the recorder's clock and the scripted device move together, 100 ms
// and one block per tick, until the test holds the device back. The lost time comes back as
// silence at its place, and the dropout file lists it.
#include "support/record_harness.h"
#include "support/recorder_probe.h"
#include "support/scripted_clock.h"

#include <QFile>

#include <cstring>
#include <ostream>

using namespace testsupport;
using namespace std::chrono_literals;

namespace {

struct Loss {
    const char* name;
    int modeIndex;
    int before;      // blocks recorded before the device falls silent
    int silentTicks; // ticks with nothing delivered: the sound of that time is lost
    int after;       // blocks recorded after it
    int keptDropouts;
};

void PrintTo(const Loss& loss, std::ostream* os) {
    *os << loss.name;
}

class DropoutRecording : public ::testing::TestWithParam<Loss> {
  protected:
    DropoutRecording()
        : recorder({device, files, pump, clock}, events,
                   {dir.file("Velmar.raw"), 0, dir.file("Velmar.drp")}) {
        events.Listen(driver);
        driver.Run([this] { recorder.OpenDevice(); });
    }
    void Tick(int deliver) {
        clock.Advance(100ms);
        device.DeliverBlocks(deliver);
        driver.RecordTick();
        if (++ticks % 5 == 0) {
            driver.StatusTick();
        }
    }

    TempDir dir;
    ScriptedCapture device;
    ScriptedFileSystem files;
    base::IdleEventPump pump;
    ScriptedClock clock;
    EventLog events;
    record::Recorder recorder;
    record::RecorderDriver driver{recorder};
    const record::State& state = recorder.View();
    int ticks = 0;
};

// Frame-counter value of the take's block `k` (0-based, take order), frame `j`; -1 for silence.
int64_t FrameAt(const std::vector<uint8_t>& take, size_t k, int j) {
    int16_t s[2];
    std::memcpy(s, take.data() + k * base::BlockBytes + size_t(j) * 4, 4);
    if (s[0] == 0 && s[1] == 0) {
        return -1;
    }
    return ScriptedCapture::FrameOf(s[0], s[1], 1);
}

TEST_P(DropoutRecording, SilenceStandsInForTheLostTime) {
    const Loss& loss = GetParam();
    device.SetGenerator(ScriptedCapture::FrameCounter(1)); // no frame reads as silence
    recorder.DecodeRecordingMode(loss.modeIndex);
    driver.Run([&] { recorder.StartRecording(); });
    const uint64_t first = device.NextBlockIndex();
    for (int b = 0; b < loss.before; ++b) {
        Tick(1);
    }
    for (int t = 0; t < loss.silentTicks; ++t) {
        Tick(0);
    }
    for (int b = 0; b < loss.after; ++b) {
        Tick(1);
    }
    ASSERT_TRUE(events.errors.isEmpty()) << events.errors.join("; ").toStdString();
    driver.Run([&] { recorder.StopRecording(); });

    const auto& marks = state.Dropouts;
    ASSERT_EQ(int(marks.size()), loss.keptDropouts);
    // The file lists what the window shows.
    const auto listed = record::ReadDropoutFile(dir.file("Velmar.drp"));
    ASSERT_EQ(listed.size(), marks.size());
    if (marks.empty()) {
        EXPECT_FALSE(QFile::exists(QString::fromStdString(dir.file("Velmar.drp"))));
        if (loss.silentTicks == 0) {
            EXPECT_EQ(marks.capacity(), 0u) << "a take that lost nothing allocates nothing for it";
        }
    }
    if (loss.modeIndex != 0) {
        EXPECT_EQ(recorder.TakeBlocks(), 1800u);
        return; // the ring's order is covered by the recording tests; here only what it keeps
    }
    if (loss.silentTicks == 0) {
        return;
    }
    const uint32_t timePassed = uint32_t(loss.before + loss.silentTicks + loss.after);
    EXPECT_EQ(recorder.TakeBlocks(), timePassed)
        << "the take lasts as long as the time that passed";
    ASSERT_EQ(marks.size(), 1u);
    EXPECT_EQ(marks[0].block, uint32_t(loss.before + 1));
    EXPECT_NEAR(marks[0].ms, loss.silentTicks * 100, 10);
    EXPECT_EQ(listed[0].block, marks[0].block);
    EXPECT_EQ(listed[0].ms, marks[0].ms);

    std::vector<uint8_t> take(size_t(recorder.TakeBlocks()) * base::BlockBytes);
    recorder.TakeFile().ReadBlocks(1, take.data(), recorder.TakeBlocks());
    for (size_t k = 0; k < recorder.TakeBlocks(); ++k) {
        const bool silent = k >= size_t(loss.before) && k < size_t(loss.before + loss.silentTicks);
        const uint64_t block = first + (k < size_t(loss.before) ? k : k - size_t(loss.silentTicks));
        for (int j = 0; j < base::BlockFrames; j += 441) {
            const int64_t want =
                silent ? -1 : int64_t((block * base::BlockFrames + uint64_t(j)) & 0xFFFFFFF);
            ASSERT_EQ(FrameAt(take, k, j), want) << "take block " << k + 1 << " frame " << j;
        }
    }
    EXPECT_TRUE(recorder.TakeFile().Blocks() == recorder.TakeBlocks());
}

INSTANTIATE_TEST_SUITE_P(
    Takes, DropoutRecording,
    ::testing::Values(
        Loss{"NothingLost", 0, 600, 0, 0, 0}, Loss{"ContinuousFiveSeconds", 0, 600, 50, 300, 1},
        Loss{"ContinuousHalfASecondMidHalf", 0, 1234, 5, 200, 1},
        // A loop of 3 min: the first dropout is overwritten by the ring, the second stays.
        Loss{"LoopRingCameRound", 1, 300, 20, 1900, 0},
        Loss{"LoopStillHoldsIt", 1, 2000, 20, 600, 1}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace

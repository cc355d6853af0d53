// SPDX-License-Identifier: GPL-3.0-or-later
// Recordings that lose sound: the recorder's clock and the scripted device move together, 100 ms
// and one block per tick, until the test holds the device back. The lost time comes back as
// silence at its place, and the dropout file lists it.
#include "support/record_harness.h"
#include "support/recorder_probe.h"
#include "support/scripted_clock.h"

#include <QFile>

#include <algorithm>
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
    // Every block of the time that passed, in take order: the sound, the silence standing in
    // for what was lost, the sound; a loop keeps the newest 1800 of them.
    const uint32_t timePassed = uint32_t(loss.before + loss.silentTicks + loss.after);
    const uint32_t kept = loss.modeIndex == 0 ? timePassed : std::min(timePassed, 1800u);
    EXPECT_EQ(recorder.TakeBlocks(), kept) << "the take lasts as long as the time that passed";
    if (loss.keptDropouts == 1) {
        const uint32_t silenceAt = uint32_t(loss.before) + 1 - (timePassed - kept);
        const record::TakeOrder order = recorder.RecordedTakeOrder();
        const uint32_t inFirstRun = order.run[0].count;
        EXPECT_EQ(marks[0].block, silenceAt <= inFirstRun
                                      ? order.run[0].first + silenceAt - 1
                                      : order.run[1].first + silenceAt - inFirstRun - 1);
        EXPECT_NEAR(marks[0].ms, loss.silentTicks * 100, 10);
        EXPECT_EQ(listed[0].block, marks[0].block);
        EXPECT_EQ(listed[0].ms, marks[0].ms);
    }
    std::vector<uint8_t> take;
    const record::TakeOrder order = recorder.RecordedTakeOrder();
    for (int r = 0; r < order.runs; ++r) {
        const size_t at = take.size();
        take.resize(at + size_t(order.run[r].count) * base::BlockBytes);
        recorder.TakeFile().ReadBlocks(order.run[r].first, take.data() + at, order.run[r].count);
    }
    ASSERT_EQ(take.size(), size_t(kept) * base::BlockBytes);
    for (size_t k = 0; k < kept; ++k) {
        const size_t t = k + (timePassed - kept); // blocks since the recording started
        const bool silent = t >= size_t(loss.before) && t < size_t(loss.before + loss.silentTicks);
        const uint64_t block = first + (t < size_t(loss.before) ? t : t - size_t(loss.silentTicks));
        for (int j = 0; j < base::BlockFrames; j += 441) {
            const int64_t want =
                silent ? -1 : int64_t((block * base::BlockFrames + uint64_t(j)) & 0xFFFFFFF);
            ASSERT_EQ(FrameAt(take, k, j), want) << "take block " << k + 1 << " frame " << j;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Takes, DropoutRecording,
    ::testing::Values(
        Loss{"NothingLost", 0, 600, 0, 0, 0}, Loss{"ContinuousFiveSeconds", 0, 600, 50, 300, 1},
        Loss{"ContinuousHalfASecondMidHalf", 0, 1234, 5, 200, 1},
        // A loop of 3 min: the first dropout is overwritten by the ring, the second stays.
        Loss{"LoopRingCameRound", 1, 300, 15, 1900, 0},
        Loss{"LoopStillHoldsIt", 1, 2000, 25, 600, 1},
        Loss{"LoopSilenceAcrossThePassEnd", 1, 1790, 35, 200, 1}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace

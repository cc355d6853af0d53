// SPDX-License-Identifier: GPL-3.0-or-later
#include "unit/operations/editing_fixture.h"

#include "operations/clipboard.h"
#include "playback/playback.h"
#include "support/scripted_output.h"

#include <QFile>

#include <unistd.h>

#include <algorithm>
#include <ostream>
#include <string>

using testsupport::operator+;
using testsupport::Range;
using testsupport::ScriptedOutput;

namespace {

constexpr uint32_t B = record::BlockBytes;

// A 100-block recording (block k holds the left sample k) opened in the editor, with the
// scripted output installed and open.
class PlaybackTest : public testsupport::EditingTest {
  protected:
    static constexpr uint32_t Blocks = 100;

    void SetUp() override {
        EditingTest::SetUp();
        std::vector<unsigned char> block(B);
        for (uint32_t k = RecordingBlocks + 1; k <= Blocks; ++k) {
            FillBlock(block.data(), int16_t(k));
            recording_.WriteBlock(k, block.data());
        }
        Open(Blocks, Blocks, false);
        playback::state = playback::State{};
        playback::SetOutputDevice(&out_);
        ASSERT_TRUE(playback::OpenOutput(nullptr));
    }

    void TearDown() override {
        playback::CloseOutput();
        playback::SetOutputDevice(nullptr);
        EditingTest::TearDown();
    }

    // Ticks, letting the device play `perTick` bytes between ticks, until playback ends.
    // Checks on every tick that at most the ring's 40 blocks are queued.
    void RunToEnd(uint64_t perTick = 3 * B + 1000) {
        for (int tick = 0; tick < 1000 && playback::state.Playing; ++tick) {
            playback::PlayTick();
            ASSERT_LE(out_.Queued(), uint64_t(playback::BufferCount) * B) << "tick " << tick;
            out_.Play(perTick);
        }
        ASSERT_FALSE(playback::state.Playing) << "playback did not end";
    }

    // The recording file's bytes of blocks `blocks` (0: a silent block), each padded with
    // silence where the file ends early: what the output must receive for them.
    std::vector<uint8_t> RecordingBytes(const std::vector<int>& blocks) const {
        QFile f(QString::fromStdString(dir_.file("Velmar.raw")));
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray file = f.readAll();
        std::vector<uint8_t> out;
        for (int k : blocks) {
            const qsizetype from = qsizetype(k - 1) * B;
            const qsizetype n = k == 0 ? 0 : std::clamp<qsizetype>(file.size() - from, 0, B);
            out.insert(out.end(), file.begin() + from, file.begin() + from + n);
            out.insert(out.end(), size_t(B - n), 0);
        }
        return out;
    }

    // The sent bytes from `from` on, as the recording blocks they are (0: silence, -1: neither).
    std::vector<int> SentBlocks(size_t from = 0) const {
        std::vector<int> out;
        for (size_t at = from; at + B <= out_.Sent().size(); at += B) {
            const std::vector<uint8_t> block(out_.Sent().begin() + at,
                                             out_.Sent().begin() + at + B);
            const int16_t left = int16_t(block[0] | block[1] << 8);
            if (left >= 1 && left <= int(Blocks) && RecordingBytes({left}) == block) {
                out.push_back(left);
            } else {
                out.push_back(
                    std::all_of(block.begin(), block.end(), [](uint8_t b) { return !b; }) ? 0 : -1);
            }
        }
        return out;
    }

    ScriptedOutput out_;

  public:
    // For the cases' set-up: the editor reopened on the recording's first `fileBlocks` blocks
    // (a wrapped loop when `loop` and newest < fileBlocks), or the recording file cut short.
    void Reopen(uint32_t fileBlocks, uint32_t newest, bool loop) { Open(fileBlocks, newest, loop); }
    void TruncateRecording(off_t bytes) {
        ASSERT_EQ(::truncate(dir_.file("Velmar.raw").c_str(), bytes), 0);
    }
};

// One play command on one sound, and the recording blocks the output must receive for it.
struct PlayCase {
    std::string name;
    std::function<void(PlaybackTest&)> arrange; // shapes the sound and the selection
    bool playAll;
    uint32_t playFrom; // for Play All
    std::vector<int> expected;
};

void PrintTo(const PlayCase& c, std::ostream* os) {
    *os << c.name;
}

class PlayRanges : public PlaybackTest, public ::testing::WithParamInterface<PlayCase> {};

TEST_P(PlayRanges, SendsExactlyTheBlocksOfTheRangeInOrderAndEnds) {
    const PlayCase& c = GetParam();
    c.arrange(*this);
    if (c.playAll) {
        playback::state.PlayFrom = c.playFrom;
        playback::PlayAll();
    } else {
        playback::PlaySelection();
    }
    RunToEnd();
    EXPECT_EQ(SentBlocks(), c.expected);
    EXPECT_TRUE(out_.Sent() == RecordingBytes(c.expected)) << "bytes differ from the recording";
    if (!c.expected.empty()) {
        EXPECT_EQ(playback::state.PlayBlock, playback::state.PlayTo);
    }
}

void SelectAt(uint32_t start, uint32_t end, uint32_t cursor) {
    operations::state.SelStart = start;
    operations::state.SelEnd = end;
    operations::state.CursorBlock = cursor;
}

void DeleteBlocks(uint32_t a, uint32_t b) {
    SelectAt(a, b, a);
    operations::Delete();
}

const std::vector<int> Nothing;

const PlayCase playCases[] = {
    {"EditListWithBlocks11To20Deleted", [](PlaybackTest&) { DeleteBlocks(11, 20); }, true, 1,
     Range(1, 10) + Range(21, 100)},
    {"WrappedLoopFromItsOldestBlock", [](PlaybackTest& t) { t.Reopen(100, 30, true); }, true, 1,
     Range(31, 100) + Range(1, 30)},
    {"PlayAllFromAClickedBlock", [](PlaybackTest&) {}, true, 58, Range(58, 100)},
    {"OneBlockSound", [](PlaybackTest& t) { t.Reopen(1, 1, false); }, true, 1, {1}},
    {"SelectionAcrossBothHalves", [](PlaybackTest&) { SelectAt(40, 62, 40); }, false, 0,
     Range(40, 62)},
    {"NothingSelectedPlaysFromTheCursorToTheEnd", [](PlaybackTest&) { SelectAt(7, 7, 95); }, false,
     0, Range(95, 100)},
    {"OneBlockSelection", [](PlaybackTest&) { SelectAt(50, 51, 51); }, false, 0, {51}},
    {"CursorAfterTheSelectionEndsAtOnce", [](PlaybackTest&) { SelectAt(10, 20, 70); }, false, 0,
     Nothing},
    {"PlayFromAfterADeletedTailEndsAtOnce", [](PlaybackTest&) { DeleteBlocks(91, 100); }, true, 95,
     Nothing},
    {"EmptySoundPlaysNothing", [](PlaybackTest& t) { t.Reopen(0, 0, false); }, true, 1, Nothing},
    // The file ends 1000 bytes into block 81; blocks 81 and 82 reuse buffers that held blocks
    // 41 and 42, and must sound as the recording then silence.
    {"ShortReadPlaysSilenceNeverOldBuffers",
     [](PlaybackTest& t) {
         t.TruncateRecording(off_t(80) * B + 1000);
         t.Reopen(82, 82, false);
     },
     true, 1, Range(1, 81) + std::vector<int>{0}},
};

INSTANTIATE_TEST_SUITE_P(Playback, PlayRanges, ::testing::ValuesIn(playCases),
                         [](const auto& info) { return info.param.name; });

TEST_F(PlaybackTest, PlaySelectionAfterALongPlayAllCountsOnlyItsOwnBuffers) {
    playback::state.PlayFrom = 1;
    playback::PlayAll();
    for (int tick = 0; playback::state.PlayBlock < 90; ++tick) {
        ASSERT_LT(tick, 200);
        playback::PlayTick();
        out_.Play(2 * B);
    }
    const size_t before = out_.Sent().size();
    SelectAt(10, 29, 10);
    playback::PlaySelection();
    playback::PlayTick();
    out_.Play(B);
    playback::PlayTick();
    EXPECT_TRUE(playback::state.Playing) << "ended by buffers of the previous playback";
    EXPECT_EQ(playback::state.PlayBlock, 10u);
    RunToEnd(B);
    EXPECT_EQ(SentBlocks(before), Range(10, 29));
}

TEST_F(PlaybackTest, StopMidHalfDropsTheQueueAndPlayAllResumesAtThePlayLine) {
    playback::state.PlayFrom = 1;
    playback::PlayAll();
    playback::PlayTick();
    out_.Play(27 * B + 500);
    playback::PlayTick(); // the first half has played: it now holds blocks 41..60
    ASSERT_EQ(SentBlocks(), Range(1, 60));
    playback::StopPlay();
    EXPECT_FALSE(playback::state.Playing);
    EXPECT_EQ(out_.Queued(), 0u);
    EXPECT_EQ(playback::state.PlayFrom, 27u);
    EXPECT_EQ(playback::state.PlayTo, 100u);
    out_.Play(B);
    playback::PlayTick();
    EXPECT_EQ(out_.Sent().size(), size_t(60) * B) << "a stopped playback queued more";

    playback::PlayAll();
    RunToEnd();
    EXPECT_EQ(SentBlocks(size_t(60) * B), Range(27, 100));
}

TEST_F(PlaybackTest, ClosingDuringPlaybackStopsBeforeReleasingAndLaterTicksTouchNothing) {
    playback::PlayAll();
    playback::PlayTick();
    out_.Play(25 * B);
    std::vector<bool> playingInside;
    out_.SetInsideResetClose([&] {
        playingInside.push_back(playback::state.Playing);
        playback::PlayTick(); // a timer that fires while the device is taken down
    });
    const size_t sent = out_.Sent().size();
    playback::CloseOutput();
    operations::DeleteWorkFiles();
    playback::PlayTick();
    EXPECT_EQ(playingInside, std::vector<bool>({false, false, false}));
    EXPECT_FALSE(out_.IsOpen());
    EXPECT_FALSE(playback::state.OutputOpen);
    EXPECT_EQ(out_.Sent().size(), sent);
}

TEST_F(PlaybackTest, VolumeFollowsTheDeviceAndAFailedOpenLeavesTheEditorSilent) {
    EXPECT_EQ(playback::GetVolume(), 65535);
    playback::SetVolume(32768);
    EXPECT_EQ(out_.Volume(), 32768);
    EXPECT_EQ(playback::GetVolume(), 32768);

    playback::CloseOutput();
    out_.SetOpenFailure(playback::OutputNoDevice);
    QString error;
    EXPECT_FALSE(playback::OpenOutput(&error));
    EXPECT_EQ(error, "There is no sound output device.");
    EXPECT_EQ(playback::GetVolume(), 0);
    playback::SetVolume(100);
    playback::PlayAll();
    playback::PlayTick();
    EXPECT_FALSE(playback::state.Playing);
    EXPECT_TRUE(out_.Sent().empty());
}

} // namespace

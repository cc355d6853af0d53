// SPDX-License-Identifier: GPL-3.0-or-later
#include "unit/operations/editing_fixture.h"

#include "base/errors.h"
#include "base/event_pump.h"
#include "operations/sound_source.h"
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

constexpr uint32_t B = base::BlockBytes;

// A 100-block recording (block k holds the left sample k) opened in the editor, with a player
// over it and a scripted output, open.
class PlaybackTest : public testsupport::EditingTest {
  protected:
    static constexpr uint32_t Blocks = 100;

    void SetUp() override {
        EditingTest::SetUp();
        std::vector<unsigned char> block(B);
        for (uint32_t k = RecordingBlocks + 1; k <= Blocks; ++k) {
            testsupport::NumberedTake::FillBlock(block.data(), int16_t(k));
            take_.file.WriteBlock(k, block.data());
        }
        Open(Blocks, Blocks, false);
        player_.Open();
    }

    void TearDown() override {
        player_.Close();
        EditingTest::TearDown();
    }

    // Ticks, letting the device play `perTick` bytes between ticks, until playback ends.
    // Checks on every tick that at most the ring's 40 blocks are queued.
    void RunToEnd(uint64_t perTick = 3 * B + 1000) {
        for (int tick = 0; tick < 1000 && player_.Playing(); ++tick) {
            player_.Tick();
            ASSERT_LE(out_.Queued(), uint64_t(playback::BufferCount) * B) << "tick " << tick;
            out_.Play(perTick);
        }
        ASSERT_FALSE(player_.Playing()) << "playback did not end";
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
    testsupport::OpenEditorSound sound_{editor_};
    base::IdleEventPump pump_;
    playback::Player player_{out_, sound_, pump_};

  public:
    // For the cases' set-up: the editor reopened on the recording's first `fileBlocks` blocks
    // (a wrapped loop when `loop` and newest < fileBlocks), or the recording file cut short.
    void Reopen(uint32_t fileBlocks, uint32_t newest, bool loop) { Open(fileBlocks, newest, loop); }
    void TruncateRecording(off_t bytes) {
        ASSERT_EQ(::truncate(dir_.file("Velmar.raw").c_str(), bytes), 0);
    }
    // Play Selection from the cursor, as its button does.
    void SelectAt(uint32_t start, uint32_t end, uint32_t cursor) {
        E().Select({start, end, cursor});
    }
    void DeleteBlocks(uint32_t a, uint32_t b) {
        SelectAt(a, b, a);
        E().Delete();
    }
    void PlaySelection() {
        player_.PlaySelection(E().CurrentSelection().CursorBlock, E().CurrentSelection());
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
        player_.PlayAll(c.playFrom);
    } else {
        PlaySelection();
    }
    RunToEnd();
    EXPECT_EQ(SentBlocks(), c.expected);
    EXPECT_TRUE(out_.Sent() == RecordingBytes(c.expected)) << "bytes differ from the recording";
    if (!c.expected.empty()) {
        EXPECT_EQ(player_.PlayBlock(), player_.PlayTo());
    }
}

const std::vector<int> Nothing;

const PlayCase playCases[] = {
    {"EditListWithBlocks11To20Deleted", [](PlaybackTest& t) { t.DeleteBlocks(11, 20); }, true, 1,
     Range(1, 10) + Range(21, 100)},
    {"WrappedLoopFromItsOldestBlock", [](PlaybackTest& t) { t.Reopen(100, 30, true); }, true, 1,
     Range(31, 100) + Range(1, 30)},
    {"PlayAllFromAClickedBlock", [](PlaybackTest&) {}, true, 58, Range(58, 100)},
    {"OneBlockSound", [](PlaybackTest& t) { t.Reopen(1, 1, false); }, true, 1, {1}},
    {"SelectionAcrossBothHalves", [](PlaybackTest& t) { t.SelectAt(40, 62, 40); }, false, 0,
     Range(40, 62)},
    {"NothingSelectedPlaysFromTheCursorToTheEnd", [](PlaybackTest& t) { t.SelectAt(7, 7, 95); },
     false, 0, Range(95, 100)},
    {"OneBlockSelection", [](PlaybackTest& t) { t.SelectAt(50, 51, 51); }, false, 0, {51}},
    {"CursorAfterTheSelectionEndsAtOnce", [](PlaybackTest& t) { t.SelectAt(10, 20, 70); }, false, 0,
     Nothing},
    {"PlayFromAfterADeletedTailEndsAtOnce", [](PlaybackTest& t) { t.DeleteBlocks(91, 100); }, true,
     95, Nothing},
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
    player_.PlayAll(1);
    for (int tick = 0; player_.PlayBlock() < 90; ++tick) {
        ASSERT_LT(tick, 200);
        player_.Tick();
        out_.Play(2 * B);
    }
    const size_t before = out_.Sent().size();
    SelectAt(10, 29, 10);
    PlaySelection();
    player_.Tick();
    out_.Play(B);
    player_.Tick();
    EXPECT_TRUE(player_.Playing()) << "ended by buffers of the previous playback";
    EXPECT_EQ(player_.PlayBlock(), 10u);
    RunToEnd(B);
    EXPECT_EQ(SentBlocks(before), Range(10, 29));
}

TEST_F(PlaybackTest, StopMidHalfDropsTheQueueAndPlayAllResumesAtThePlayLine) {
    player_.PlayAll(1);
    player_.Tick();
    out_.Play(27 * B + 500);
    player_.Tick(); // the first half has played: it now holds blocks 41..60
    ASSERT_EQ(SentBlocks(), Range(1, 60));
    player_.Stop();
    EXPECT_FALSE(player_.Playing());
    EXPECT_EQ(out_.Queued(), 0u);
    EXPECT_EQ(player_.PlayFrom(), 27u);
    EXPECT_EQ(player_.PlayTo(), 100u);
    out_.Play(B);
    player_.Tick();
    EXPECT_EQ(out_.Sent().size(), size_t(60) * B) << "a stopped playback queued more";

    player_.PlayAll(player_.PlayFrom());
    RunToEnd();
    EXPECT_EQ(SentBlocks(size_t(60) * B), Range(27, 100));
}

TEST_F(PlaybackTest, ClosingDuringPlaybackStopsBeforeReleasingAndLaterTicksTouchNothing) {
    player_.PlayAll(1);
    player_.Tick();
    out_.Play(25 * B);
    std::vector<bool> playingInside;
    out_.SetInsideResetClose([&] {
        playingInside.push_back(player_.Playing());
        player_.Tick(); // a timer that fires while the device is taken down
    });
    const size_t sent = out_.Sent().size();
    player_.Close();
    editor_.reset();
    player_.Tick();
    EXPECT_EQ(playingInside, std::vector<bool>({false, false, false}));
    EXPECT_FALSE(out_.IsOpen());
    EXPECT_FALSE(player_.OutputOpen());
    EXPECT_EQ(out_.Sent().size(), sent);
}

TEST_F(PlaybackTest, VolumeFollowsTheDeviceAndAFailedOpenLeavesTheEditorSilent) {
    EXPECT_EQ(player_.Volume(), 65535);
    player_.SetVolume(32768);
    EXPECT_EQ(out_.Volume(), 32768);
    EXPECT_EQ(player_.Volume(), 32768);

    player_.Close();
    out_.SetOpenFailure(playback::OutputError::NoDevice);
    try {
        player_.Open();
        ADD_FAILURE() << "a failed open was not reported";
    } catch (const base::UserError& error) {
        EXPECT_STREQ(error.what(), "There is no sound output device.");
    }
    EXPECT_FALSE(player_.OutputOpen());
    EXPECT_EQ(player_.Volume(), 0);
    player_.SetVolume(100);
    player_.PlayAll(1);
    player_.Tick();
    EXPECT_FALSE(player_.Playing());
    EXPECT_TRUE(out_.Sent().empty());
}

// A sound held in memory: block k's samples all hold `mark` * 1000 + k.
class MemorySound final : public operations::SoundSource {
  public:
    MemorySound(uint32_t blocks, int16_t mark) : blocks_(blocks), mark_(mark) {}
    static int16_t Sample(int16_t mark, uint32_t position) {
        return int16_t(mark * 1000 + int(position));
    }
    uint32_t Blocks() const override { return blocks_; }
    size_t ReadPosition(uint32_t position, void* buf) const override {
        return ReadPositions(position, 1, buf).bytes;
    }
    operations::PositionsRead ReadPositions(uint32_t position, uint32_t count,
                                            void* buf) const override {
        if (position < 1 || position > blocks_) {
            return {};
        }
        count = std::min(count, blocks_ - position + 1);
        auto* samples = static_cast<int16_t*>(buf);
        for (uint32_t k = 0; k < count; ++k) {
            std::fill_n(samples + size_t(k) * B / 2, B / 2, Sample(mark_, position + k));
        }
        return {count, size_t(count) * B};
    }
    std::optional<base::BlockPeaks> Peaks(uint32_t) const override { return std::nullopt; }

  private:
    uint32_t blocks_;
    int16_t mark_;
};

// The positions of `mark`'s sound that `out` received, in order (-1: a block of anything else).
std::vector<int> BlocksOf(const ScriptedOutput& out, int16_t mark) {
    std::vector<int> blocks;
    for (size_t at = 0; at + B <= out.Sent().size(); at += B) {
        const auto* samples = reinterpret_cast<const int16_t*>(out.Sent().data() + at);
        const int position = samples[0] - mark * 1000;
        const bool whole =
            std::all_of(samples, samples + B / 2, [&](int16_t v) { return v == samples[0]; });
        blocks.push_back(whole && position >= 1 ? position : -1);
    }
    return blocks;
}

// Two players, each with its own sound and output, play at once at their own pace; stopping one
// leaves the other playing, and each output receives exactly its own sound's range.
TEST(Players, TwoPlayersOverTwoSoundsPlaySideBySideIndependently) {
    base::IdleEventPump pump;
    const MemorySound soundA(70, 1), soundB(50, 2);
    ScriptedOutput outA, outB;
    playback::Player a(outA, soundA, pump), b(outB, soundB, pump);
    a.Open();
    b.Open();
    a.PlayAll(1);
    b.PlaySelection(5, {5, 48, 5});
    b.SetVolume(1000);
    EXPECT_EQ(outA.Volume(), 65535);

    for (int tick = 0; tick < 1000 && (a.Playing() || b.Playing()); ++tick) {
        a.Tick();
        b.Tick();
        outA.Play(3 * B);
        outB.Play(B);
        if (b.PlayBlock() == 12 && b.Playing()) {
            b.Stop();
            EXPECT_TRUE(a.Playing()) << "stopping one player stopped the other";
            EXPECT_EQ(b.PlayFrom(), 12u);
        }
    }
    EXPECT_FALSE(a.Playing());
    EXPECT_FALSE(b.Playing());
    EXPECT_TRUE(a.PlayAllMode());
    EXPECT_FALSE(b.PlayAllMode());
    EXPECT_EQ(a.PlayBlock(), 70u);
    EXPECT_EQ(BlocksOf(outA, 1), Range(1, 70));
    // b queued both halves (5..44) on its first tick and nothing after its stop at 12.
    EXPECT_EQ(BlocksOf(outB, 2), Range(5, 44));
    EXPECT_EQ(b.PlayTo(), 50u);

    // Closing one releases only its own output.
    a.Close();
    EXPECT_FALSE(outA.IsOpen());
    EXPECT_TRUE(outB.IsOpen());
    EXPECT_EQ(b.Volume(), 1000);
}

} // namespace

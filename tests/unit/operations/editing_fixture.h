// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/event_pump.h"
#include "base/raw_file.h"
#include "operations/editor.h"
#include "support/scripted_file_system.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

// A pump that runs what the test gives it, to act in the middle of an operation.
struct FunctionPump : base::EventPump {
    void ProcessMessages() override {
        if (onPump) {
            onPump();
        }
    }
    std::function<void()> onPump;
};

// A take whose block k holds the left sample first + k - 1 and the right sample j (the frame
// number) in every frame j, so that reading a position back tells which recording block plays
// there; silence reads as 0. Its peak tables match.
struct NumberedTake {
    NumberedTake(const std::string& path, uint32_t blocks, int16_t first = 1) {
        for (auto* table : {&maxL, &minL, &maxR, &minR}) {
            table->assign(base::PeakArrayLength + 1, 0);
        }
        file.Create(path);
        std::vector<unsigned char> block(base::BlockBytes);
        for (uint32_t k = 1; k <= blocks; ++k) {
            const int16_t left = int16_t(first + int(k) - 1);
            FillBlock(block.data(), left);
            file.WriteBlock(k, block.data());
            SetPeaks(k, left, left, base::BlockFrames - 1, 0);
        }
    }

    static void FillBlock(unsigned char* block, int16_t left) {
        for (int16_t j = 0; j < base::BlockFrames; ++j) {
            std::memcpy(block + 4 * j, &left, 2);
            std::memcpy(block + 4 * j + 2, &j, 2);
        }
    }

    void SetPeaks(uint32_t k, int16_t maxL_, int16_t minL_, int16_t maxR_, int16_t minR_) {
        maxL[k] = maxL_;
        minL[k] = minL_;
        maxR[k] = maxR_;
        minR[k] = minR_;
    }

    operations::TakeView View(uint32_t blocks, uint32_t newestBlock, bool wrapped) {
        return {file,
                {maxL.data(), minL.data(), maxR.data(), minR.data()},
                blocks,
                newestBlock,
                wrapped};
    }

    base::RawFile file;
    std::vector<int16_t> maxL, minL, maxR, minR;
};

// Left and right sample of frame `frame` at a position of a sound.
inline std::pair<int16_t, int16_t> SampleOf(const operations::SoundSource& sound, uint32_t position,
                                            int frame = 0) {
    std::vector<unsigned char> block(base::BlockBytes);
    sound.ReadPosition(position, block.data());
    int16_t l, r;
    std::memcpy(&l, block.data() + 4 * frame, 2);
    std::memcpy(&r, block.data() + 4 * frame + 2, 2);
    return {l, r};
}

// The left sample of every position: the recording block each one plays, 0 for silence.
inline std::vector<int> SoundOf(const operations::SoundSource& sound) {
    std::vector<int> out;
    for (uint32_t p = 1; p <= sound.Blocks(); ++p) {
        out.push_back(SampleOf(sound, p).first);
    }
    return out;
}

// The sound of whichever editor the test has open now, for a reader built once (a player, an
// exporter) while the test reopens its editor.
class OpenEditorSound final : public operations::SoundSource {
  public:
    explicit OpenEditorSound(const std::unique_ptr<operations::Editor>& editor) : editor_(editor) {}
    uint32_t Blocks() const override { return editor_->Blocks(); }
    size_t ReadPosition(uint32_t position, void* buf) const override {
        return editor_->ReadPosition(position, buf);
    }
    operations::PositionsRead ReadPositions(uint32_t position, uint32_t count,
                                            void* buf) const override {
        return editor_->ReadPositions(position, count, buf);
    }
    operations::PositionsPlace PlacePositions(uint32_t position, uint32_t count) const override {
        return editor_->PlacePositions(position, count);
    }
    std::optional<base::BlockPeaks> Peaks(uint32_t position) const override {
        return editor_->Peaks(position);
    }
    void HoldStill() const override { editor_->HoldStill(); }
    void ReleaseHold() const override { editor_->ReleaseHold(); }

  private:
    const std::unique_ptr<operations::Editor>& editor_;
};

// An editor over a NumberedTake of RecordingBlocks blocks, its work files in the test's folder.
class EditingTest : public ::testing::Test {
  protected:
    static constexpr uint32_t RecordingBlocks = 60;

    void SetUp() override { Open(RecordingBlocks, RecordingBlocks, false); }

    void TearDown() override {
        files_.writeFault = nullptr;
        editor_.reset();
    }

    // A new editor over the take laid out so; the old one goes with its work files first. The
    // work files ask files_ before every write, so a test scripts a full disk there.
    void Open(uint32_t fileBlocks, uint32_t newestBlock, bool wrapped) {
        OpenOver(take_.View(fileBlocks, newestBlock, wrapped));
    }
    void OpenOver(const operations::TakeView& take) {
        editor_.reset();
        editor_ = std::make_unique<operations::Editor>(
            take, operations::WorkPaths{dir_.file("Edit.raw"), dir_.file("Clp.raw")}, files_,
            pump_);
    }

    operations::Editor& E() { return *editor_; }

    // Rewrites recording block k with the same two samples in every frame, peaks to match.
    void WriteConstantBlock(uint32_t k, int16_t left, int16_t right) {
        std::vector<unsigned char> block(base::BlockBytes);
        for (int j = 0; j < base::BlockFrames; ++j) {
            std::memcpy(block.data() + 4 * j, &left, 2);
            std::memcpy(block.data() + 4 * j + 2, &right, 2);
        }
        take_.file.WriteBlock(k, block.data());
        SetRecordingPeaks(k, left, left, right, right);
    }

    void SetRecordingPeaks(uint32_t k, int16_t maxL, int16_t minL, int16_t maxR, int16_t minR) {
        take_.SetPeaks(k, maxL, minL, maxR, minR);
    }

    std::pair<int16_t, int16_t> Sample(uint32_t position, int frame = 0) {
        return SampleOf(E(), position, frame);
    }
    std::vector<int> Sound() { return SoundOf(E()); }

    void Select(uint32_t start, uint32_t end) { E().Select({start, end, start}); }

    // Every later write for which `fails` answers true fails as on a full disk (ENOSPC).
    void FailWritesWhen(std::function<bool(const std::string& path, int64_t offset)> fails) {
        files_.writeFault = [fails = std::move(fails)](const std::string& path, int64_t offset,
                                                       int64_t) {
            return fails(path, offset) ? ENOSPC : 0;
        };
    }

    TempDir dir_;
    ScriptedFileSystem files_;
    FunctionPump pump_;
    NumberedTake take_{dir_.file("Velmar.raw"), RecordingBlocks};
    std::unique_ptr<operations::Editor> editor_;
};

// first, first + 1, ..., last.
inline std::vector<int> Range(int first, int last) {
    std::vector<int> out;
    for (int k = first; k <= last; ++k) {
        out.push_back(k);
    }
    return out;
}

inline std::vector<int> operator+(std::vector<int> a, const std::vector<int>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

} // namespace testsupport

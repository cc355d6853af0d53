// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "operations/editing_state.h"
#include "operations/undo_history.h"
#include "platform/services/process_messages.h"
#include "record/raw_file.h"
#include "support/scripted_file_system.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

// An editing session over a recording whose block k holds the left sample k and the right
// sample j (the frame number) in every frame j, so that reading a position back tells which
// recording block plays there; silence reads as 0. The recording's peak tables match.
class EditingTest : public ::testing::Test {
  protected:
    static constexpr uint32_t RecordingBlocks = 60;

    void SetUp() override {
        operations::state = operations::State{};
        for (auto* table : {&maxL_, &minL_, &maxR_, &minR_}) {
            table->assign(record::PeakArrayLength + 1, 0);
        }
        recording_.Create(dir_.file("Velmar.raw"));
        std::vector<unsigned char> block(record::BlockBytes);
        for (uint32_t k = 1; k <= RecordingBlocks; ++k) {
            FillBlock(block.data(), int16_t(k));
            recording_.WriteBlock(k, block.data());
            SetRecordingPeaks(k, int16_t(k), int16_t(k), record::BlockFrames - 1, 0);
        }
        Open(RecordingBlocks, RecordingBlocks, false);
        // The work files ask files_ before every write, so a test scripts a full disk there.
        operations::state.EditStream = record::RawFile(files_);
        operations::state.ClipStream = record::RawFile(files_);
        operations::CreateWorkFiles(dir_.file("Edit.raw"), dir_.file("Clp.raw"));
    }

    void TearDown() override {
        files_.writeFault = nullptr;
        operations::DeleteWorkFiles();
        // Nothing left in the process-wide state may point at this test's file system.
        operations::state.EditStream = record::RawFile();
        operations::state.ClipStream = record::RawFile();
        platform::SetProcessMessages(nullptr);
    }

    void Open(uint32_t fileBlocks, uint32_t newestBlock, bool loopMode) {
        operations::StartEditing(recording_,
                                 {maxL_.data(), minL_.data(), maxR_.data(), minR_.data()},
                                 fileBlocks, newestBlock, loopMode);
    }

    static void FillBlock(unsigned char* block, int16_t left) {
        for (int16_t j = 0; j < record::BlockFrames; ++j) {
            std::memcpy(block + 4 * j, &left, 2);
            std::memcpy(block + 4 * j + 2, &j, 2);
        }
    }

    // Rewrites recording block k with the same two samples in every frame, peaks to match.
    void WriteConstantBlock(uint32_t k, int16_t left, int16_t right) {
        std::vector<unsigned char> block(record::BlockBytes);
        for (int j = 0; j < record::BlockFrames; ++j) {
            std::memcpy(block.data() + 4 * j, &left, 2);
            std::memcpy(block.data() + 4 * j + 2, &right, 2);
        }
        recording_.WriteBlock(k, block.data());
        SetRecordingPeaks(k, left, left, right, right);
    }

    void SetRecordingPeaks(uint32_t k, int16_t maxL, int16_t minL, int16_t maxR, int16_t minR) {
        maxL_[k] = maxL;
        minL_[k] = minL;
        maxR_[k] = maxR;
        minR_[k] = minR;
    }

    // Left and right sample of frame `frame` at a position of the edited sound.
    static std::pair<int16_t, int16_t> Sample(uint32_t position, int frame = 0) {
        std::vector<unsigned char> block(record::BlockBytes);
        operations::ReadPosition(position, block.data());
        int16_t l, r;
        std::memcpy(&l, block.data() + 4 * frame, 2);
        std::memcpy(&r, block.data() + 4 * frame + 2, 2);
        return {l, r};
    }

    // The left sample of every position: the recording block each one plays, 0 for silence.
    static std::vector<int> Sound() {
        std::vector<int> out;
        for (uint32_t p = 1; p <= operations::state.FileBlocks; ++p) {
            out.push_back(Sample(p).first);
        }
        return out;
    }

    static void Select(uint32_t start, uint32_t end) {
        operations::state.SelStart = start;
        operations::state.SelEnd = end;
        operations::state.CursorBlock = start;
    }

    // Every later write for which `fails` answers true fails as on a full disk (ENOSPC).
    void FailWritesWhen(std::function<bool(const std::string& path, int64_t offset)> fails) {
        files_.writeFault = [fails = std::move(fails)](const std::string& path, int64_t offset,
                                                       int64_t) {
            return fails(path, offset) ? ENOSPC : 0;
        };
    }

    TempDir dir_;
    ScriptedFileSystem files_;
    record::RawFile recording_;
    std::vector<int16_t> maxL_, minL_, maxR_, minR_;
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

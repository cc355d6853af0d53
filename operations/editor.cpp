// SPDX-License-Identifier: GPL-3.0-or-later
#include "operations/editor.h"

#include "base/errors.h"
#include "base/event_pump.h"
#include "record/pipeline.h"

#include <algorithm>
#include <cstdio>

namespace operations {

const char* const HistoryTrimmedText =
    "The undo history keeps the last 50 edits; the oldest one can no longer be undone.";

TakeView TakeOf(record::Recorder& recorder) {
    return {recorder.TakeFile(), recorder.RecordingPeaks(), recorder.TakeBlocks(),
            recorder.View().NewestBlock, recorder.RecordedTakeOrder().runs == 2};
}

Editor::Editor(const TakeView& take, const WorkPaths& paths, const base::FileSystem& fileSystem,
               base::EventPump& pump)
    : pump_(pump) {
    state_.RecordingStream = &take.file;
    state_.RecordingPeaks = take.peaks;
    state_.FileBlocks = take.blocks;

    // Level 0 follows the take's real order: a ring that wrapped starts after its newest block.
    const uint32_t fileBlocks = take.blocks;
    const uint32_t newestBlock = take.newestBlock;
    Level& level = state_.Levels[0];
    level.SelStart = level.SelEnd = 1;
    if (take.wrapped && newestBlock < fileBlocks) {
        level.Segments[0] = Segment{1, fileBlocks - newestBlock, newestBlock + 1, 1};
        level.Segments[1] = Segment{fileBlocks - newestBlock + 1, newestBlock, 1, 1};
        level.SegmentCount = 2;
    } else {
        level.Segments[0] = Segment{1, fileBlocks, 1, 1};
        level.SegmentCount = 1;
    }
    level.FileBlocks = fileBlocks;

    state_.EditStream = base::RawFile(fileSystem);
    state_.ClipStream = base::RawFile(fileSystem);
    try {
        state_.EditStream.Create(paths.edit);
        state_.ClipStream.Create(paths.clip);
    } catch (...) {
        DeleteWorkFiles();
        throw;
    }
}

Editor::~Editor() {
    DeleteWorkFiles();
}

void Editor::DeleteWorkFiles() {
    for (base::RawFile* file : {&state_.EditStream, &state_.ClipStream}) {
        if (file->IsOpen()) {
            const std::string path = file->Path();
            file->Release();
            std::remove(path.c_str());
        }
    }
    state_.ClipBlocks = 0;
}

std::optional<SourceBlock> Editor::LookupPosition(uint32_t position) const {
    return Locate(CurrentList(), position);
}

size_t Editor::ReadPosition(uint32_t position, void* buf) const {
    const std::optional<SourceBlock> source = LookupPosition(position);
    if (!source) {
        return 0;
    }
    if (source->fromRecording) {
        return state_.RecordingStream->ReadBlock(source->block, buf);
    }
    return state_.EditStream.ReadBlock(source->block, buf);
}

PositionsRead Editor::ReadPositions(uint32_t position, uint32_t count, void* buf) const {
    const Level& level = CurrentList();
    for (int i = 0; i < level.SegmentCount; ++i) {
        const Segment& s = level.Segments[i];
        if (position >= s.start && position - s.start < s.length) {
            const uint32_t run = std::min(count, s.length - (position - s.start));
            const uint32_t block = s.offset + (position - s.start);
            const size_t bytes = s.fromRecording
                                     ? state_.RecordingStream->ReadBlocks(block, buf, run)
                                     : state_.EditStream.ReadBlocks(block, buf, run);
            return {run, bytes};
        }
    }
    return {};
}

PositionsPlace Editor::PlacePositions(uint32_t position, uint32_t count) const {
    const Level& level = CurrentList();
    for (int i = 0; i < level.SegmentCount; ++i) {
        const Segment& s = level.Segments[i];
        if (position >= s.start && position - s.start < s.length) {
            const base::RawFile& file =
                s.fromRecording ? *state_.RecordingStream : state_.EditStream;
            return {file.Descriptor(), base::BlockOffset(s.offset + (position - s.start)),
                    std::min(count, s.length - (position - s.start))};
        }
    }
    return {};
}

std::optional<base::BlockPeaks> Editor::Peaks(uint32_t position) const {
    const std::optional<SourceBlock> source = LookupPosition(position);
    if (!source) {
        return std::nullopt;
    }
    const uint32_t k = source->block;
    if (source->fromRecording) {
        const base::PeakTableRefs& t = state_.RecordingPeaks;
        if (!t.maxL || k > uint32_t(base::PeakArrayLength)) {
            return base::BlockPeaks{0, 0, 0, 0};
        }
        return base::BlockPeaks{t.maxL[k], t.minL[k], t.maxR[k], t.minR[k]};
    }
    if (k >= state_.EditPeakMaxL.size()) {
        return base::BlockPeaks{0, 0, 0, 0};
    }
    return base::BlockPeaks{state_.EditPeakMaxL[k], state_.EditPeakMinL[k], state_.EditPeakMaxR[k],
                            state_.EditPeakMinR[k]};
}

void Editor::HoldStill() const {
    if (running_) {
        throw base::UserError("An editing operation is running.");
    }
    running_ = true;
}

void Editor::ReleaseHold() const {
    running_ = false;
}

bool Editor::HasSelection() const {
    return selection_.SelStart < selection_.SelEnd && selection_.SelEnd <= state_.FileBlocks;
}

void Editor::SelectAll() {
    if (state_.FileBlocks < 1) {
        return;
    }
    selection_.SelStart = 1;
    selection_.SelEnd = state_.FileBlocks;
}

void Editor::Restore(const Level& level) {
    state_.FileBlocks = level.FileBlocks;
    selection_.SelStart = level.SelStart;
    selection_.SelEnd = level.SelEnd;
}

bool Editor::Undo() {
    OperationScope scope(running_);
    if (!scope.started() || state_.CurrentLevel == 0) {
        return false;
    }
    --state_.CurrentLevel;
    Restore(CurrentList());
    return true;
}

bool Editor::Redo() {
    OperationScope scope(running_);
    if (!scope.started() || state_.CurrentLevel >= state_.TopLevel) {
        return false;
    }
    ++state_.CurrentLevel;
    Restore(CurrentList());
    return true;
}

void Editor::PushLevel(const Level& built, uint32_t selStart, uint32_t selEnd) {
    Level& from = state_.Levels[state_.CurrentLevel];
    from.SelStart = selection_.SelStart;
    from.SelEnd = selection_.SelEnd;
    if (state_.CurrentLevel == MaxUndoLevel) {
        // Full: the oldest level goes so that editing can go on.
        std::move(state_.Levels.begin() + 1, state_.Levels.end(), state_.Levels.begin());
        --state_.CurrentLevel;
        state_.HistoryTrimmed = true;
    }
    Level& to = state_.Levels[state_.CurrentLevel + 1];
    to = built;
    to.SelStart = selStart;
    to.SelEnd = selEnd;
    Restore(to);
    ++state_.CurrentLevel;
    state_.TopLevel = state_.CurrentLevel;
}

bool Editor::TakeHistoryTrimmed() {
    const bool trimmed = state_.HistoryTrimmed;
    state_.HistoryTrimmed = false;
    return trimmed;
}

void Editor::GrowEditPeaks(uint32_t entries) {
    for (std::vector<int16_t>* table :
         {&state_.EditPeakMaxL, &state_.EditPeakMinL, &state_.EditPeakMaxR, &state_.EditPeakMinR}) {
        if (table->size() < entries) {
            table->resize(entries);
        }
    }
}

void Editor::StoreEditPeaks(uint32_t block) {
    state_.EditPeakMaxL[block] = state_.BlockPeaks.maxL;
    state_.EditPeakMinL[block] = state_.BlockPeaks.minL;
    state_.EditPeakMaxR[block] = state_.BlockPeaks.maxR;
    state_.EditPeakMinR[block] = state_.BlockPeaks.minR;
}

} // namespace operations

// SPDX-License-Identifier: GPL-3.0-or-later
#include "operations/undo_history.h"

#include "operations/editing_state.h"

#include <algorithm>
#include <cstdio>

namespace operations {

const char* const HistoryTrimmedText =
    "The undo history keeps the last 50 edits; the oldest one can no longer be undone.";

void StartEditing(const record::RawFile& recording, const record::PeakTableRefs& recordingPeaks,
                  uint32_t fileBlocks, uint32_t newestBlock, bool loopMode) {
    state.RecordingStream = &recording;
    state.RecordingPeaks = recordingPeaks;
    state.CurrentLevel = 0;
    state.TopLevel = 0;
    state.HistoryTrimmed = false;
    state.SelStart = state.SelEnd = 1;
    state.CursorBlock = 1;
    state.FileBlocks = fileBlocks;

    Level& level = state.Levels[0];
    level.SelStart = level.SelEnd = 1;
    if (loopMode && newestBlock < fileBlocks) {
        level.Segments[0] = Segment{1, fileBlocks - newestBlock, newestBlock + 1, 1};
        level.Segments[1] = Segment{fileBlocks - newestBlock + 1, newestBlock, 1, 1};
        level.SegmentCount = 2;
    } else {
        level.Segments[0] = Segment{1, fileBlocks, 1, 1};
        level.SegmentCount = 1;
    }
    level.FileBlocks = fileBlocks;
}

void CreateWorkFiles(const std::string& editPath, const std::string& clipPath) {
    state.EditStream.Create(editPath);
    state.ClipStream.Create(clipPath);
    state.ClipBlocks = 0;
    state.EditPeakMaxL.clear();
    state.EditPeakMinL.clear();
    state.EditPeakMaxR.clear();
    state.EditPeakMinR.clear();
}

void DeleteWorkFiles() {
    for (record::RawFile* file : {&state.EditStream, &state.ClipStream}) {
        if (file->IsOpen()) {
            const std::string path = file->Path();
            file->Release();
            std::remove(path.c_str());
        }
    }
    state.ClipBlocks = 0;
}

const Level& CurrentLevel() {
    return state.Levels[state.CurrentLevel];
}

std::optional<SourceBlock> LookupPosition(uint32_t position) {
    return Locate(CurrentLevel(), position);
}

size_t ReadPosition(uint32_t position, void* buf) {
    const std::optional<SourceBlock> source = LookupPosition(position);
    if (!source) {
        return 0;
    }
    if (source->fromRecording) {
        return state.RecordingStream ? state.RecordingStream->ReadBlock(source->block, buf) : 0;
    }
    return state.EditStream.ReadBlock(source->block, buf);
}

PositionsRead ReadPositions(uint32_t position, uint32_t count, void* buf) {
    const Level& level = CurrentLevel();
    for (int i = 0; i < level.SegmentCount; ++i) {
        const Segment& s = level.Segments[i];
        if (position >= s.start && position - s.start < s.length) {
            const uint32_t run = std::min(count, s.length - (position - s.start));
            const uint32_t block = s.offset + (position - s.start);
            size_t bytes = 0;
            if (s.fromRecording) {
                if (state.RecordingStream) {
                    bytes = state.RecordingStream->ReadBlocks(block, buf, run);
                }
            } else {
                bytes = state.EditStream.ReadBlocks(block, buf, run);
            }
            return {run, bytes};
        }
    }
    return {};
}

std::optional<record::BlockPeaks> LookupPeaks(uint32_t position) {
    const std::optional<SourceBlock> source = LookupPosition(position);
    if (!source) {
        return std::nullopt;
    }
    const uint32_t k = source->block;
    if (source->fromRecording) {
        const record::PeakTableRefs& t = state.RecordingPeaks;
        if (!t.maxL || k > uint32_t(record::PeakArrayLength)) {
            return record::BlockPeaks{0, 0, 0, 0};
        }
        return record::BlockPeaks{t.maxL[k], t.minL[k], t.maxR[k], t.minR[k]};
    }
    if (k >= state.EditPeakMaxL.size()) {
        return record::BlockPeaks{0, 0, 0, 0};
    }
    return record::BlockPeaks{state.EditPeakMaxL[k], state.EditPeakMinL[k], state.EditPeakMaxR[k],
                              state.EditPeakMinR[k]};
}

namespace {
void Restore(const Level& level) {
    state.FileBlocks = level.FileBlocks;
    state.SelStart = level.SelStart;
    state.SelEnd = level.SelEnd;
}
} // namespace

bool Undo() {
    OperationScope scope;
    if (!scope.started() || state.CurrentLevel == 0) {
        return false;
    }
    --state.CurrentLevel;
    Restore(CurrentLevel());
    return true;
}

bool Redo() {
    OperationScope scope;
    if (!scope.started() || state.CurrentLevel >= state.TopLevel) {
        return false;
    }
    ++state.CurrentLevel;
    Restore(CurrentLevel());
    return true;
}

void PushLevel(const Level& built, uint32_t selStart, uint32_t selEnd) {
    Level& from = state.Levels[state.CurrentLevel];
    from.SelStart = state.SelStart;
    from.SelEnd = state.SelEnd;
    if (state.CurrentLevel == MaxUndoLevel) {
        // Full: the oldest level goes so that editing can go on.
        std::move(state.Levels.begin() + 1, state.Levels.end(), state.Levels.begin());
        --state.CurrentLevel;
        state.HistoryTrimmed = true;
    }
    Level& to = state.Levels[state.CurrentLevel + 1];
    to = built;
    to.SelStart = selStart;
    to.SelEnd = selEnd;
    Restore(to);
    ++state.CurrentLevel;
    state.TopLevel = state.CurrentLevel;
}

bool TakeHistoryTrimmed() {
    const bool trimmed = state.HistoryTrimmed;
    state.HistoryTrimmed = false;
    return trimmed;
}

OperationScope::OperationScope() : started_(!state.Running) {
    state.Running = true;
}

OperationScope::~OperationScope() {
    if (started_) {
        state.Running = false;
    }
}

void GrowEditPeaks(uint32_t entries) {
    for (std::vector<int16_t>* table :
         {&state.EditPeakMaxL, &state.EditPeakMinL, &state.EditPeakMaxR, &state.EditPeakMinR}) {
        if (table->size() < entries) {
            table->resize(entries);
        }
    }
}

void StoreEditPeaks(uint32_t block) {
    state.EditPeakMaxL[block] = state.BlockPeaks.maxL;
    state.EditPeakMinL[block] = state.BlockPeaks.minL;
    state.EditPeakMaxR[block] = state.BlockPeaks.maxR;
    state.EditPeakMinR[block] = state.BlockPeaks.minR;
}

} // namespace operations

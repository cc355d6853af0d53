// SPDX-License-Identifier: GPL-3.0-or-later
#include "record/pipeline.h"

#include "base/errors.h"

#include "base/flag_scope.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>
#include <utility>

namespace record {

namespace {

struct ModeRow {
    const char* text;
    int loopMinutes; // 0: continuous, LoopMinutes left as it is
    int timeScaleMinutes;
};
constexpr ModeRow modeTable[ModeCount] = {
    {"Continuous", 0, 3},    {"Loop 3 min", 3, 3},    {"Loop 5 min", 5, 5},
    {"Loop10 min", 10, 10},  {"Loop15 min", 15, 15},  {"Loop 20 min", 20, 20},
    {"Loop 30 min", 30, 30}, {"Loop 60 min", 60, 60},
};

std::string FolderOf(const std::string& path) {
    auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

RecorderFailure::RecorderFailure(std::vector<Box> boxes)
    : base::UserError(boxes.empty() ? std::string() : boxes.front().text.toStdString()),
      boxes_(std::move(boxes)) {}

void Recorder::Step::ClearWriteFailure() {
    writeFailed = false;
    writeFailedNoSpace = false;
    writeFailureText.clear();
}

void Recorder::Step::Finish() {
    if (!boxes.empty()) {
        throw RecorderFailure(std::move(boxes));
    }
}

template <typename Body> void Recorder::RunStep(Body body) {
    Step step;
    body(step);
    step.Finish();
}

// The disk-space stop's message: what happened and where.
QString Recorder::NoSpaceText() const {
    return "There is no space on drive " +
           QString::fromStdString(files_.MountPointOf(FolderOf(state.RecordingFilePath)));
}

uint32_t Recorder::RingBlocks() const {
    return uint32_t(state.HalvesPerLoop) * base::HalfBlocks;
}

// File position of block number n of the running recording. In a loop the slots of the half
// after the last of a pass still carry numbers past the ring until that half is renumbered;
// they belong at the start of the ring.
uint32_t Recorder::RingPosition(uint32_t n) const {
    if (state.LoopMode && state.HalvesPerLoop > 0 && n > RingBlocks()) {
        return n - RingBlocks();
    }
    return n;
}

uint8_t* Recorder::SlotData(int slot) {
    return state.CaptureBuffer.data() + size_t(slot) * base::BlockBytes;
}

// The block arithmetic over slot CurrentSlot and the engine's measurements.
void Recorder::CorrectSlot() {
    CorrectBlock(SlotData(state.CurrentSlot), state.DcOffsetL, state.DcOffsetR,
                 state.BlockLeft.data(), state.BlockRight.data());
}

void Recorder::MeasureSlot() {
    if (state.ClipHoldL > 0) {
        state.ClipHoldL--;
    }
    if (state.ClipHoldR > 0) {
        state.ClipHoldR--;
    }
    const base::BlockPeaks peaks = MeasureBlock(state.BlockLeft.data(), state.BlockRight.data());
    state.BlockMaxL = peaks.maxL;
    state.BlockMinL = peaks.minL;
    state.BlockMaxR = peaks.maxR;
    state.BlockMinR = peaks.minR;
    if (Clipped(peaks.maxL, peaks.minL)) {
        state.ClipHoldL = ClipHoldBlocks;
    }
    if (Clipped(peaks.maxR, peaks.minR)) {
        state.ClipHoldR = ClipHoldBlocks;
    }
    // Peaks belong to the recording file; blocks only monitored must not overwrite those of the
    // take the editor is about to show.
    if (state.Recording && state.CurrentSlot >= 0) {
        const uint32_t n = RingPosition(state.SlotBlock[size_t(state.CurrentSlot)]);
        if (n >= 1 && n <= uint32_t(base::PeakArrayLength) && !state.PeakMaxL.empty()) {
            state.PeakMaxL[n] = peaks.maxL;
            state.PeakMinL[n] = peaks.minL;
            state.PeakMaxR[n] = peaks.maxR;
            state.PeakMinR[n] = peaks.minR;
        }
    }
}

void Recorder::MeanSlot() {
    const BlockMeans means = MeanBlock(state.BlockLeft.data(), state.BlockRight.data());
    state.BlockMeanL = means.left;
    state.BlockMeanR = means.right;
}

void Recorder::ApplyMode(int index) {
    const ModeRow& row = modeTable[index];
    state.ModeIndex = index;
    state.LoopMode = index != 0;
    if (index != 0) {
        state.LoopMinutes = row.loopMinutes;
    }
    state.TimeScaleMinutes = row.timeScaleMinutes;
    state.HalvesPerLoop = RoundEven(state.LoopMinutes * 60 / 2.0);
}

void Recorder::QueueSlot(int i) {
    SlotHeader& h = state.SlotHeaders[size_t(i)];
    state.BlockCounter++;
    h.data = SlotData(i);
    h.bufferLength = base::BlockBytes;
    h.bytesRecorded = 0;
    h.user = state.BlockCounter;
    h.flags = 0;
    state.SlotBlock[size_t(i)] = state.BlockCounter;
    state.SlotSequence[size_t(i)] = ++state.QueuedBlocks;
    device_.AddBuffer(&h);
}

void Recorder::RequeueHalf(int first) {
    CaptureDevice& device = device_;
    for (int i = first; i < first + base::HalfBlocks; ++i) {
        SlotHeader& h = state.SlotHeaders[size_t(i)];
        state.BlockCounter++;
        h.bytesRecorded = 0;
        h.user = state.BlockCounter;
        state.SlotBlock[size_t(i)] = state.BlockCounter;
        state.SlotSequence[size_t(i)] = ++state.QueuedBlocks;
        device.AddBuffer(&h);
    }
    device.Start();
}

// Writes `count` slots from `slot` on, which hold consecutive blocks, at file position `pos`.
// After a failed write whatever landed whole is kept: the blocks are tried one by one, a part-
// block past the old end of the file is cut off, and the recording is marked to stop.
void Recorder::WriteSlots(Step& step, int slot, uint32_t pos, int count) {
    if (step.writeFailed || !state.RecordingStream.IsOpen()) {
        return;
    }
    const uint32_t blocksBefore = state.RecordingStream.Blocks();
    MarkWrite(uint32_t(count));
    try {
        state.RecordingStream.WriteBlocks(pos, SlotData(slot), uint32_t(count));
        NoteWritten(state.SlotBlock[size_t(slot + count - 1)], pos + uint32_t(count) - 1);
        writtenBlocks_ += uint32_t(count);
        return;
    } catch (const base::StreamWriteError& error) {
        step.writeFailed = true;
        step.writeFailedNoSpace = error.errnoValue() == ENOSPC || error.errnoValue() == EDQUOT;
        step.writeFailureText =
            step.writeFailedNoSpace ? NoSpaceText() : QString::fromUtf8(error.what());
    }
    uint32_t failedAt = pos;
    for (int k = 0; k < count; ++k) {
        try {
            state.RecordingStream.WriteBlock(pos + uint32_t(k), SlotData(slot + k));
            NoteWritten(state.SlotBlock[size_t(slot + k)], pos + uint32_t(k));
            writtenBlocks_++;
            failedAt = pos + uint32_t(k) + 1;
        } catch (const base::StreamWriteError&) {
            break;
        }
    }
    if (failedAt > blocksBefore) {
        // Past the old end nothing after the last whole block belongs to the take.
        state.RecordingStream.TruncateBlocks(failedAt - 1);
    }
}

// Consumes a full half: the blocks the tick skipped are processed, the half written at its
// blocks' positions, the loop ring advanced, and the slots queued again.
void Recorder::HalfDone(Step& step, int half) {
    const int first = half * base::HalfBlocks;
    const int other = (1 - half) * base::HalfBlocks;
    if (state.Recording && !state.RecordingFilePath.empty()) {
        state.HalfCounter++;
        for (int i = first; i < first + base::HalfBlocks; ++i) {
            if (state.SlotHeaders[size_t(i)].user != 0) {
                state.CurrentSlot = i;
                CorrectSlot();
                MeasureSlot();
                state.SlotHeaders[size_t(i)].user = 0;
            }
        }
        // The pass ends with the half that holds the ring's last block: the twentieth half, or
        // an earlier one when silence for a dropout was inserted during the pass.
        const bool passEnds =
            state.LoopMode && state.SlotBlock[size_t(first + base::HalfBlocks - 1)] >= RingBlocks();
        if (state.LoopMode) {
            if (passEnds) {
                state.HalfCounter = state.HalvesPerLoop;
                // End of a pass: the half being filled now starts the next pass at block 1.
                // Slots the tick already processed keep their mark, so no block is corrected
                // twice; their peaks were stored under their ring positions already.
                state.BlockCounter -= RingBlocks();
                state.LastBlock = 0;
                state.LoopWrapped = true;
                for (int i = other; i < other + base::HalfBlocks; ++i) {
                    state.SlotBlock[size_t(i)] -= RingBlocks();
                    if (state.SlotHeaders[size_t(i)].user != 0) {
                        state.SlotHeaders[size_t(i)].user = state.SlotBlock[size_t(i)];
                    }
                }
                state.NewestBlock = RingPosition(state.NewestBlock);
            } else if (state.HalfCounter == state.HalvesPerLoop + 1) {
                state.HalfCounter = 1;
            }
        }
        // The half's blocks are consecutive; write each run of consecutive positions at once.
        int run = first;
        while (run < first + base::HalfBlocks && !step.writeFailed) {
            uint32_t pos = RingPosition(state.SlotBlock[size_t(run)]);
            int count = 1;
            while (run + count < first + base::HalfBlocks &&
                   RingPosition(state.SlotBlock[size_t(run + count)]) == pos + uint32_t(count)) {
                ++count;
            }
            WriteSlots(step, run, pos, count);
            run += count;
        }
        if (passEnds) {
            passBase_ += RingBlocks();
        }
        if (!state.Dropouts.empty()) {
            ForgetOverwrittenDropouts();
        }
    }
    RequeueHalf(first);
}

bool Recorder::HalfFull(int first) const {
    for (int i = first; i < first + base::HalfBlocks; ++i) {
        if (!state.SlotFull[size_t(i)]) {
            return false;
        }
    }
    return true;
}

// Hands over what the backend holds, unless its stream has failed: then only the bytes already
// in the slots count.
void Recorder::CollectFromDevice() {
    CaptureDevice& device = device_;
    if (device.StreamError() == CaptureError::Ok) {
        device.Collect();
    }
}

void Recorder::RecordTick(Step& step) {
    if (!state.DeviceOpen) {
        return;
    }
    CollectFromDevice();
    state.CurrentSlot = -1;
    bool found = false;
    for (int i = 0; i < base::SlotCount; ++i) {
        const SlotHeader& h = state.SlotHeaders[size_t(i)];
        state.SlotFull[size_t(i)] = h.bytesRecorded == base::BlockBytes;
        if (state.SlotFull[size_t(i)] && h.user > state.LastBlock) {
            state.LastBlock = h.user;
            state.CurrentSlot = i;
            found = true;
        }
    }
    if (found) {
        CorrectSlot();
        MeasureSlot();
        MeanSlot();
        if (state.Recording) {
            state.NewestBlock = RingPosition(state.LastBlock);
            events_.PushChartPoint();
            events_.DrawTimeMark();
        }
        state.SlotHeaders[size_t(state.CurrentSlot)].user = 0;
        if (!state.Minimized) {
            events_.MeterUpdate();
        }
    }
    // Counted before the full halves are queued again, which empties their slots.
    std::optional<Dropout> dropout;
    if (state.Recording) {
        dropout = detector_.Tick(clock_.Monotonic(), ReceivedFrames());
    }
    // After a stall both halves can be full; the older one goes first so the file and the ring
    // see the halves in capture order.
    const bool firstFull = HalfFull(0);
    const bool secondFull = HalfFull(base::HalfBlocks);
    if (firstFull && secondFull && state.SlotSequence[base::HalfBlocks] < state.SlotSequence[0]) {
        HalfDone(step, 1);
        HalfDone(step, 0);
    } else {
        if (firstFull) {
            HalfDone(step, 0);
        }
        if (secondFull) {
            HalfDone(step, 1);
        }
    }
    if (dropout && state.Recording) {
        InsertSilence(step, *dropout);
    }
}

// Frames the device has handed over since the recording started: every slot up to the newest
// full one (the device fills them strictly in queue order) and the bytes of the one after it.
uint64_t Recorder::ReceivedFrames() {
    for (int i = 0; i < base::SlotCount; ++i) {
        if (state.SlotHeaders[size_t(i)].bytesRecorded == base::BlockBytes) {
            fullSequence_ = std::max(fullSequence_, state.SlotSequence[size_t(i)]);
        }
    }
    uint64_t frames = (fullSequence_ - startSequence_) * base::BlockFrames;
    for (int i = 0; i < base::SlotCount; ++i) {
        if (state.SlotSequence[size_t(i)] == fullSequence_ + 1) {
            frames += state.SlotHeaders[size_t(i)].bytesRecorded / base::FrameBytes;
        }
    }
    return frames;
}

void Recorder::NoteWritten(uint32_t number, uint32_t pos) {
    const uint64_t take = passBase_ + number;
    if (take >= lastWrittenTake_) {
        lastWrittenTake_ = take;
        state.LastWritten = pos;
    }
}

// Ring position of the block `take` blocks into the recording (1: its first): a loop's ring
// holds block t at ((t - 1) mod ring) + 1, however its passes were numbered.
uint32_t Recorder::TakePosition(uint64_t take) const {
    if (state.LoopMode && RingBlocks() > 0) {
        return uint32_t((take - 1) % RingBlocks() + 1);
    }
    return uint32_t(take);
}

// Silence of the lost length (in whole blocks) goes in where the sound was lost: the blocks
// after that place, written or still in the slots, move on by as many blocks, so the take's time
// stays the time that passed.
void Recorder::InsertSilence(Step& step, const Dropout& dropout) {
    uint64_t blocks = (dropout.frames + base::BlockFrames / 2) / base::BlockFrames;
    blocks = std::max<uint64_t>(blocks, 1);
    uint64_t before = (dropout.at + insertedFrames_ + base::BlockFrames / 2) / base::BlockFrames;
    before = std::min<uint64_t>(before, passBase_ + state.BlockCounter);
    if (state.LoopMode) {
        // More than the ring holds would only overwrite the sound that came back, and a place
        // the ring has come round to since is no longer in the take.
        blocks = std::min<uint64_t>(blocks, RingBlocks() - base::SlotCount);
        const uint64_t reach = RingBlocks() / 2;
        before =
            std::max<uint64_t>(before, lastWrittenTake_ > reach ? lastWrittenTake_ - reach : 0);
    } else {
        // A night in suspend fills the take up to its ten hours at most; the ten-hour stop
        // follows at the next status tick.
        blocks = std::min<uint64_t>(
            blocks, uint64_t(base::PeakArrayLength) -
                        std::min<uint64_t>(state.BlockCounter, base::PeakArrayLength));
    }
    if (blocks == 0) {
        return;
    }
    const uint32_t count = uint32_t(blocks);
    insertedFrames_ += blocks * base::BlockFrames;

    ShiftPeaks(before, count);
    ShiftWrittenTail(step, before, count);
    for (int i = 0; i < base::SlotCount; ++i) {
        if (passBase_ + state.SlotBlock[size_t(i)] > before) {
            state.SlotBlock[size_t(i)] += count;
            if (state.SlotHeaders[size_t(i)].user != 0) {
                state.SlotHeaders[size_t(i)].user = state.SlotBlock[size_t(i)];
            }
        }
    }
    state.BlockCounter += count;
    if (state.LastBlock != 0 && passBase_ + state.LastBlock > before) {
        state.LastBlock += count;
        state.NewestBlock = RingPosition(state.LastBlock);
    }

    DropoutMark mark;
    mark.block = TakePosition(before + 1);
    mark.ms = uint32_t((dropout.frames * 1000 + base::SampleRate / 2) / base::SampleRate);
    mark.takeIndex = before + 1;
    state.Dropouts.push_back(mark);
    SaveDropouts();
    events_.DropoutsChanged();
}

// The blocks after the first `before` of the recording that are in the file already are written
// `blocks` later, and silence where they were.
void Recorder::ShiftWrittenTail(Step& step, uint64_t before, uint32_t blocks) {
    if (step.writeFailed || !state.RecordingStream.IsOpen()) {
        return;
    }
    const uint32_t tail = lastWrittenTake_ > before ? uint32_t(lastWrittenTake_ - before) : 0;
    std::vector<uint8_t> moved(size_t(tail) * base::BlockBytes);
    for (uint32_t k = 0; k < tail; ++k) {
        state.RecordingStream.ReadBlock(TakePosition(before + 1 + k),
                                        moved.data() + size_t(k) * base::BlockBytes);
    }
    tailMoves_.fetch_add(1, std::memory_order_seq_cst); // MarkWrite's fence publishes it
    MarkWrite(tail + blocks);
    try {
        if (state.LoopMode) {
            const std::vector<uint8_t> silence(base::BlockBytes, 0);
            for (uint32_t k = 0; k < blocks; ++k) {
                state.RecordingStream.WriteBlock(TakePosition(before + 1 + k), silence.data());
            }
        } else {
            // The tail ends the file: cut it off and extend the file by the silence, which the
            // file system keeps as a hole, so hours cost no more than a block.
            state.RecordingStream.TruncateBlocks(uint32_t(before));
            state.RecordingStream.TruncateBlocks(uint32_t(before) + blocks);
        }
        for (uint32_t k = 0; k < tail; ++k) {
            state.RecordingStream.WriteBlock(TakePosition(before + blocks + 1 + k),
                                             moved.data() + size_t(k) * base::BlockBytes);
        }
        lastWrittenTake_ = tail > 0 ? lastWrittenTake_ + blocks
                                    : std::max<uint64_t>(lastWrittenTake_, before + blocks);
        state.LastWritten = TakePosition(lastWrittenTake_);
        state.LoopWrapped =
            state.LoopWrapped || (state.LoopMode && lastWrittenTake_ > RingBlocks());
        writtenBlocks_ += blocks;
    } catch (const base::StreamWriteError& error) {
        step.writeFailed = true;
        step.writeFailedNoSpace = error.errnoValue() == ENOSPC || error.errnoValue() == EDQUOT;
        step.writeFailureText =
            step.writeFailedNoSpace ? NoSpaceText() : QString::fromUtf8(error.what());
    }
}

// Peaks are kept under ring positions: those of the blocks processed since the place move with
// them, and the silence has none.
void Recorder::ShiftPeaks(uint64_t before, uint32_t blocks) {
    uint64_t newest = std::max<uint64_t>(lastWrittenTake_, passBase_ + state.LastBlock);
    for (int i = 0; i < base::SlotCount; ++i) {
        const SlotHeader& h = state.SlotHeaders[size_t(i)];
        if (h.user == 0 && h.bytesRecorded == base::BlockBytes) {
            newest = std::max<uint64_t>(newest, passBase_ + state.SlotBlock[size_t(i)]);
        }
    }
    if (state.PeakMaxL.empty() || newest <= before) {
        return;
    }
    const std::array tables{&state.PeakMaxL, &state.PeakMinL, &state.PeakMaxR, &state.PeakMinR};
    auto inRange = [](uint32_t pos) { return pos >= 1 && pos <= uint32_t(base::PeakArrayLength); };
    for (auto* table : tables) {
        std::vector<int16_t> kept;
        kept.reserve(size_t(newest - before));
        for (uint64_t t = before + 1; t <= newest; ++t) {
            kept.push_back(inRange(TakePosition(t)) ? (*table)[TakePosition(t)] : int16_t(0));
        }
        for (uint64_t t = before + 1; t <= before + blocks; ++t) {
            if (inRange(TakePosition(t))) {
                (*table)[TakePosition(t)] = 0;
            }
        }
        for (uint64_t t = before + 1; t <= newest; ++t) {
            if (inRange(TakePosition(t + blocks))) {
                (*table)[TakePosition(t + blocks)] = kept[size_t(t - before - 1)];
            }
        }
    }
}

// In a loop the ring comes round to a dropout's silence: from then on it is no longer in the
// take.
void Recorder::ForgetOverwrittenDropouts() {
    if (!state.LoopMode || lastWrittenTake_ <= RingBlocks()) {
        return;
    }
    const uint64_t oldestKept = lastWrittenTake_ - RingBlocks() + 1;
    const auto gone = std::find_if(state.Dropouts.begin(), state.Dropouts.end(),
                                   [&](const DropoutMark& m) { return m.takeIndex >= oldestKept; });
    if (gone != state.Dropouts.begin()) {
        state.Dropouts.erase(state.Dropouts.begin(), gone);
        SaveDropouts();
        events_.DropoutsChanged();
    }
}

void Recorder::SaveDropouts() {
    if (dropoutFilePath_.empty()) {
        return;
    }
    if (state.Dropouts.empty()) {
        ::unlink(dropoutFilePath_.c_str());
        return;
    }
    WriteDropoutFile(dropoutFilePath_, state.Dropouts);
}

void Recorder::RemoveDropouts() {
    if (!state.Dropouts.empty()) {
        state.Dropouts.clear();
        events_.DropoutsChanged();
    }
    if (!dropoutFilePath_.empty()) {
        ::unlink(dropoutFilePath_.c_str());
    }
}

// After CloseDevice ended a recording by force: monitoring resumes where a device is present.
void Recorder::ResumeAfterForcedStop(Step& step) {
    pump_.ProcessMessages();
    if (!state.DeviceName.isEmpty() && device_.DeviceCount() > 0) {
        OpenDeviceIn(step);
    }
    events_.StatusPanelText(2, "End - " + TimeOfDay());
}

// A write that failed during the step stops the recording like Stop and says why: a full disk
// in the words of the disk-space stop (an information box), anything else as "Stream write
// error".
void Recorder::StopAfterWriteFailure(Step& step) {
    if (!step.writeFailed) {
        return;
    }
    if (state.Recording) {
        CloseDeviceIn(step);
        ResumeAfterForcedStop(step);
    }
    const bool noSpace = step.writeFailedNoSpace;
    const QString text = step.writeFailureText;
    step.ClearWriteFailure();
    step.Tell(text, !noSpace);
}

// Ends the recording and tells `message`. A write of the last blocks that failed for the same
// reason (the disk filling up under the disk-space stop) is not told a second time.
void Recorder::ForcedStop(Step& step, const QString& message) {
    CloseDeviceIn(step);
    ResumeAfterForcedStop(step);
    if (step.writeFailed && step.writeFailureText == message) {
        step.ClearWriteFailure();
    }
    step.Tell(message, false);
}

void Recorder::ShowRecordedTime() {
    FormatRecordedTime();
    events_.TimeTextChanged(state.TimeText);
    events_.StatusPanelText(2, "Current - " + TimeOfDay());
}

void Recorder::StepTimeScale() {
    switch (state.TimeScaleMinutes) {
    case 3:
        state.TimeScaleMinutes = 5;
        break;
    case 5:
        state.TimeScaleMinutes = 10;
        break;
    case 10:
        state.TimeScaleMinutes = 15;
        break;
    case 15:
        state.TimeScaleMinutes = 20;
        break;
    case 20:
        state.TimeScaleMinutes = 30;
        break;
    case 30:
        state.TimeScaleMinutes = 60;
        break;
    case 60:
        state.TimeScaleMinutes = 120;
        break;
    case 120:
        state.TimeScaleMinutes = 240;
        break;
    case 240:
        state.TimeScaleMinutes = 600;
        break;
    default:
        break;
    }
}

Recorder::Recorder(const RecorderPorts& ports, Events& events, RecorderConfig config)
    : device_(ports.capture), files_(ports.files), pump_(ports.pump), clock_(ports.clock),
      events_(events), dropoutFilePath_(std::move(config.dropoutFilePath)) {
    state.RecordingStream = base::RawFile(files_);
    AllocateBuffers();
    state.RecordingFilePath = std::move(config.recordingFilePath);
    DecodeRecordingMode(config.modeIndex);
}

Recorder::~Recorder() {
    Step closing; // the program or the test is done with the recorder: nothing is told
    CloseDeviceIn(closing);
}

void Recorder::CreateRecordingFile() {
    state.RecordingStream = base::RawFile(files_);
    state.RecordingStream.Create(state.RecordingFilePath);
}

void Recorder::ReleaseTake() {
    state.RecordingStream.Release();
}

QString ModeItemText(int index) {
    if (index < 0 || index >= ModeCount) {
        return {};
    }
    return QString::fromLatin1(modeTable[index].text);
}

void Recorder::MarkWrite(uint32_t count) {
    writeMark_.store(PackWriteMark(generation_, writtenBlocks_ + count), std::memory_order_seq_cst);
    // The mark must be visible before the bytes change under a reader that checks it afterwards.
    std::atomic_thread_fence(std::memory_order_seq_cst);
}

bool SnapshotBlockIntact(const SaveSnapshot& snapshot, uint64_t index, uint64_t mark) {
    if ((mark >> WriteMarkBlockBits) != (snapshot.generation & 0xFFFFFFu)) {
        return true; // a newer recording writes a new file; the save's descriptor reads the old one
    }
    if (snapshot.ringBlocks == 0) {
        return true;
    }
    const uint64_t begun = mark & ((uint64_t(1) << WriteMarkBlockBits) - 1);
    return begun < index + snapshot.ringBlocks;
}

// Full slots in capture order: the ones a stop would write next, in the order it writes them.
int Recorder::FullSlotsInCaptureOrder(std::array<int, base::SlotCount>& order) const {
    int full = 0;
    for (int i = 0; i < base::SlotCount; ++i) {
        if (state.SlotHeaders[size_t(i)].bytesRecorded == base::BlockBytes) {
            int at = full++;
            while (at > 0 && state.SlotSequence[size_t(order[size_t(at - 1)])] >
                                 state.SlotSequence[size_t(i)]) {
                order[size_t(at)] = order[size_t(at - 1)];
                --at;
            }
            order[size_t(at)] = i;
        }
    }
    return full;
}

SaveSnapshot Recorder::SnapshotForSave(uint32_t newest) const {
    if (!state.Recording) {
        throw base::UserError("No recording is running.");
    }
    // The slots filled since the last half was written: every full slot is unwritten (a written
    // half is queued again empty at once), and they run on from the file's newest block. The
    // device hands over what it holds first, as before every look at the headers; the next tick
    // finds those blocks in their slots as usual.
    if (state.DeviceOpen && device_.StreamError() == CaptureError::Ok) {
        device_.Collect();
    }
    std::array<int, base::SlotCount> held{};
    int waiting = state.DeviceOpen ? FullSlotsInCaptureOrder(held) : 0;
    for (int k = 1; k < waiting; ++k) {
        if (state.SlotSequence[size_t(held[size_t(k)])] !=
            state.SlotSequence[size_t(held[size_t(k - 1)])] + 1) {
            waiting = k; // a gap: what follows it is not the continuation of the take
            break;
        }
    }
    const uint64_t written = state.LastWritten == 0 ? 0 : writtenBlocks_;
    if (written + uint64_t(waiting) == 0) {
        throw base::UserError("Nothing has been recorded yet.");
    }
    SaveSnapshot snapshot;
    snapshot.path = state.RecordingFilePath;
    snapshot.generation = generation_;
    snapshot.tailMoves = tailMoves_.load(std::memory_order_seq_cst);
    snapshot.ringBlocks = state.LoopMode ? RingBlocks() : 0;
    uint64_t blocks = written + uint64_t(waiting);
    if (snapshot.ringBlocks > 0 && blocks > snapshot.ringBlocks) {
        blocks = snapshot.ringBlocks;
    }
    if (newest > 0 && blocks > newest) {
        blocks = newest;
    }
    snapshot.blocks = uint32_t(blocks);
    snapshot.firstIndex = written + uint64_t(waiting) - blocks + 1;

    // The newest of the waiting blocks, copied as the file will hold them: a block the ticks have
    // not processed yet is still without its DC correction.
    const int copied = int(std::min<uint64_t>(uint64_t(waiting), blocks));
    snapshot.unwritten.resize(size_t(copied) * base::BlockBytes);
    std::vector<int16_t> left(base::BlockFrames), right(base::BlockFrames);
    for (int k = 0; k < copied; ++k) {
        const int slot = held[size_t(waiting - copied + k)];
        uint8_t* to = snapshot.unwritten.data() + size_t(k) * base::BlockBytes;
        std::memcpy(to, state.CaptureBuffer.data() + size_t(slot) * base::BlockBytes,
                    base::BlockBytes);
        if (state.SlotHeaders[size_t(slot)].user != 0) {
            CorrectBlock(to, state.DcOffsetL, state.DcOffsetR, left.data(), right.data());
        }
    }

    // The file's part: its newest block sits at LastWritten; the ones before it run back round
    // the ring.
    const uint32_t fromFile = snapshot.blocks - uint32_t(copied);
    const uint32_t last = state.LastWritten;
    if (fromFile == 0) {
        snapshot.order.runs = 0;
    } else if (fromFile > last) {
        const uint32_t before = fromFile - last;
        snapshot.order.runs = 2;
        snapshot.order.run[0] = {snapshot.ringBlocks - before + 1, before};
        snapshot.order.run[1] = {1, last};
    } else {
        snapshot.order.runs = 1;
        snapshot.order.run[0] = {last - fromFile + 1, fromFile};
    }
    snapshot.firstSampleTime = recordingStart_.addMSecs(
        int64_t(snapshot.firstIndex - 1) * base::BlockFrames * 1000 / base::SampleRate);
    return snapshot;
}

TakeOrder Recorder::RecordedTakeOrder() const {
    TakeOrder order;
    if (state.LoopWrapped && state.NewestBlock > 0 && state.NewestBlock < state.FileBlocks) {
        order.runs = 2;
        order.run[0] = {state.NewestBlock + 1, state.FileBlocks - state.NewestBlock};
        order.run[1] = {1, state.NewestBlock};
    } else {
        order.runs = 1;
        order.run[0] = {1, state.FileBlocks};
    }
    return order;
}

void Recorder::AllocateBuffers() {
    state.CaptureBuffer.assign(size_t(base::SlotCount) * base::BlockBytes, 0);
    state.BlockLeft.assign(2 * base::BlockFrames, 0);
    state.BlockRight.assign(2 * base::BlockFrames, 0);
    for (auto* table : {&state.PeakMaxL, &state.PeakMinL, &state.PeakMaxR, &state.PeakMinR}) {
        table->assign(base::PeakArrayLength + 1, 0);
    }
}

base::PeakTableRefs Recorder::RecordingPeaks() {
    return {state.PeakMaxL.data(), state.PeakMinL.data(), state.PeakMaxR.data(),
            state.PeakMinR.data()};
}

void Recorder::AdoptRecording(base::RawFile&& file, uint32_t blocks,
                              std::vector<DropoutMark> dropouts) {
    state.RecordingStream = std::move(file);
    state.Dropouts = std::move(dropouts);
    events_.DropoutsChanged();
    state.FileBlocks = blocks;
    state.LastBlock = blocks;
    state.NewestBlock = blocks;
    state.LastWritten = 0;
    state.LoopWrapped = false;
}

void Recorder::DecodeRecordingMode(int index) {
    if (index < 0 || index >= ModeCount) {
        index = 0;
    }
    state.ChosenModeIndex = index;
    if (!state.Recording) {
        ApplyMode(index);
    }
}

void Recorder::OpenDevice() {
    RunStep([this](Step& step) { OpenDeviceIn(step); });
}

void Recorder::OpenDeviceIn(Step& step) {
    if (state.DeviceOpen) {
        return;
    }
    if (state.CaptureBuffer.empty()) {
        AllocateBuffers();
    }
    state.DeviceName.clear();
    state.BlockCounter = 0;
    state.LastBlock = 0;
    state.HalfCounter = 0;
    CaptureDevice& device = device_;
    const QString name = device.FirstDeviceName();
    CaptureError code;
    {
        const base::FlagScope call(inDeviceCall_);
        code = device.Open();
    }
    QString failure;
    if (code != CaptureError::Ok) {
        state.DeviceOpen = false;
        // No input at all is not an error: the name field stays empty, Record says so, and the
        // device watch opens one when it appears. A device that keeps failing the same way is
        // retried silently by the device watch.
        const bool nothingPresent = code == CaptureError::NoDevice && device.DeviceCount() == 0;
        if (!nothingPresent &&
            (code != state.ReportedOpenFailure || name != state.ReportedOpenFailureName)) {
            state.ReportedOpenFailure = code;
            state.ReportedOpenFailureName = name;
            failure = CaptureErrorText(code).left(128);
        }
    } else {
        state.DeviceOpen = true;
        state.ReportedOpenFailure = CaptureError::Ok;
        state.ReportedOpenFailureName.clear();
        state.DeviceName = name;
        for (int i = 0; i < base::SlotCount; ++i) {
            QueueSlot(i);
        }
        device.Start();
    }
    events_.DeviceNameChanged(state.DeviceName);
    if (!failure.isEmpty()) {
        step.Tell(failure, true);
    }
}

void Recorder::CloseDevice() {
    RunStep([this](Step& step) {
        CloseDeviceIn(step);
        StopAfterWriteFailure(step);
    });
}

void Recorder::CloseDeviceIn(Step& step) {
    if (!state.DeviceOpen) {
        return;
    }
    CaptureDevice& device = device_;
    CollectFromDevice();
    // Full slots in capture order, so that the file grows without holes and the last block
    // written is the newest one.
    std::array<int, base::SlotCount> order{};
    const int full = FullSlotsInCaptureOrder(order);
    for (int k = 0; k < full; ++k) {
        const int i = order[size_t(k)];
        SlotHeader& h = state.SlotHeaders[size_t(i)];
        if (h.user != 0) {
            state.CurrentSlot = i;
            CorrectSlot();
            MeasureSlot();
            if (h.user > state.LastBlock) {
                state.LastBlock = h.user;
            }
            h.user = 0;
        }
        if (state.Recording) {
            const uint32_t n = state.SlotBlock[size_t(i)];
            const uint32_t pos = RingPosition(n);
            if (pos != n) {
                state.LoopWrapped = true; // the first blocks of the next pass overwrite the ring
            }
            WriteSlots(step, i, pos, 1);
        }
    }
    {
        const base::FlagScope call(inDeviceCall_);
        device.Reset();
        device.Close();
    }
    for (auto& h : state.SlotHeaders) {
        h.flags = 0;
    }
    const bool wasRecording = state.Recording;
    state.Recording = false;
    state.DeviceOpen = false;
    state.CurrentSlot = -1;
    if (wasRecording) {
        // The stop is complete whatever ended it: the editor and Save As see the take.
        state.NewestBlock = state.LastWritten;
        state.LastBlock = state.LastWritten;
        state.FileBlocks = state.RecordingStream.Blocks();
        if (state.ChosenModeIndex != state.ModeIndex) {
            ApplyMode(state.ChosenModeIndex);
            events_.DrawTimeGauge();
        }
    }
}

void Recorder::RecordTimerTick() {
    RunStep([this](Step& step) { RecordTimerStep(step); });
}

void Recorder::RecordTimerStep(Step& step) {
    if (state.DeviceName.isEmpty() || inDeviceCall_) {
        return;
    }
    RecordTick(step);
    if (++state.DcHistoryPos > DcHistoryLength) {
        state.DcHistoryPos = 1;
    }
    state.DcHistoryL[size_t(state.DcHistoryPos)] = RoundEven(state.BlockMeanL);
    state.DcHistoryR[size_t(state.DcHistoryPos)] = RoundEven(state.BlockMeanR);

    state.LevelIconIndex = LevelIconIndex(state.BlockMaxL, state.BlockMaxR);
    if (state.Minimized) {
        events_.LevelIcon(state.LevelIconIndex);
    }
    StopAfterWriteFailure(step);
}

void Recorder::WatchDevice(Step& step) {
    CaptureDevice& device = device_;
    const int count = device.DeviceCount();
    if (state.DeviceOpen && (count == 0 || device.StreamError() != CaptureError::Ok)) {
        const bool wasRecording = state.Recording;
        CloseDeviceIn(step);
        state.DeviceName.clear();
        events_.DeviceNameChanged(state.DeviceName);
        if (wasRecording) {
            events_.StatusPanelText(2, "End - " + TimeOfDay());
        }
    }
    if (!state.Recording && count > 0) {
        const QString name = device.FirstDeviceName();
        if (name != state.DeviceName) {
            CloseDeviceIn(step);
            pump_.ProcessMessages();
            OpenDeviceIn(step);
        }
    }
    StopAfterWriteFailure(step);
}

void Recorder::StatusTimerTick() {
    RunStep([this](Step& step) { StatusTimerStep(step); });
}

void Recorder::StatusTimerStep(Step& step) {
    if (inDeviceCall_) {
        return;
    }
    WatchDevice(step);
    if (state.DeviceName.isEmpty() || inDeviceCall_) {
        events_.ClearGauges();
        return;
    }
    ShowDcAverages();
    if (!state.Recording) {
        return;
    }
    ComputeFreeTime();
    ShowRecordedTime();
    if (state.Minimized) {
        events_.Title(state.TimeText);
    }
    if (state.FreeSeconds < FreeSecondsLimit) {
        ForcedStop(step, NoSpaceText());
        StopAfterWriteFailure(step);
        return;
    }
    if (state.BlockCounter >= uint32_t(base::PeakArrayLength)) {
        ForcedStop(step, QStringLiteral("Recording was stopped"));
        StopAfterWriteFailure(step);
    }
    if (!state.LoopMode && state.Recording) {
        // Minutes recorded reach 90 % of the scale; in whole blocks to keep 2.7 min exact.
        if (state.NewestBlock >= uint32_t(state.TimeScaleMinutes) * 540) {
            StepTimeScale();
            events_.DrawTimeGauge();
        }
    }
    if (state.HalfCounter == state.HalvesPerLoop) {
        events_.DrawTimeBar();
    }
}

void Recorder::StartRecording() {
    RunStep([this](Step& step) { StartRecordingStep(step); });
}

void Recorder::StartRecordingStep(Step& step) {
    if (state.Recording) {
        return;
    }
    if (state.DeviceName.isEmpty() || inDeviceCall_) {
        step.Tell(QStringLiteral("No Audio Device Selected"), false);
        return;
    }
    if (state.RecordingFilePath.empty()) {
        return;
    }
    state.RecordingStream.Release();
    CloseDeviceIn(step); // not recording: nothing is written
    ::unlink(state.RecordingFilePath.c_str());
    state.NewestBlock = 0;
    state.LoopWrapped = false;
    state.LastWritten = 0;
    RemoveDropouts();
    events_.RecordingStarted();
    try {
        CreateRecordingFile();
    } catch (const base::FileOpenError& error) {
        OpenDeviceIn(step);
        step.Tell(QString::fromUtf8(error.what()), true);
        return;
    }
    if (state.ChosenModeIndex != state.ModeIndex) {
        ApplyMode(state.ChosenModeIndex);
    }
    OpenDeviceIn(step);
    if (!state.DeviceOpen) {
        return; // the open error was shown; nothing would be captured
    }
    state.Recording = true;
    detector_.Start(clock_.Monotonic());
    startSequence_ = fullSequence_ = state.QueuedBlocks - base::SlotCount;
    insertedFrames_ = 0;
    passBase_ = 0;
    lastWrittenTake_ = 0;
    // The device has just started: its first sample is this moment's, and every later block is
    // 100 ms of samples after it, so a save names its first sample's time from the block count
    // rather than from the command's time (which the unwritten half would put up to 2 s off).
    recordingStart_ = clock_.Now();
    generation_++;
    writtenBlocks_ = 0;
    writeMark_.store(PackWriteMark(generation_, 0), std::memory_order_seq_cst);
    events_.StatusPanelText(1, "Start - " + TimeOfDay());
}

void Recorder::StopRecording() {
    RunStep([this](Step& step) {
        if (!state.Recording) {
            return;
        }
        CloseDeviceIn(step);
        pump_.ProcessMessages();
        OpenDeviceIn(step);
        events_.StatusPanelText(2, "End - " + TimeOfDay());
        StopAfterWriteFailure(step);
    });
}

void Recorder::DiscardRecording() {
    if (state.Recording) {
        return;
    }
    // FileBlocks stays 0 over an empty file (a device open no longer lifts it to 1): an empty
    // take is opened by the editor as an empty sound and cannot be saved.
    state.FileBlocks = 0;
    state.NewestBlock = 0;
    state.LastBlock = 0;
    state.LastWritten = 0;
    state.LoopWrapped = false;
    state.RecordingStream.Release();
    RemoveDropouts();
    if (!state.RecordingFilePath.empty()) {
        // A new file rather than the old one emptied: a Save Now still reading the take keeps it
        // through its own descriptor.
        ::unlink(state.RecordingFilePath.c_str());
        CreateRecordingFile();
    }
}

void Recorder::SetDcReduction(bool checked) {
    if (checked) {
        ComputeDcOffsets();
    } else {
        state.DcOffsetL = 0;
        state.DcOffsetR = 0;
    }
}

void Recorder::ComputeDcOffsets() {
    if (const auto average = DcAverage(state.DcHistoryL)) {
        state.DcOffsetL = RoundEven(*average);
    }
    if (const auto average = DcAverage(state.DcHistoryR)) {
        state.DcOffsetR = RoundEven(*average);
    }
    state.DcHistoryL.fill(0);
    state.DcHistoryR.fill(0);
}

void Recorder::ShowDcAverages() {
    if (const auto average = DcAverage(state.DcHistoryL)) {
        state.ShownDcL = *average;
    }
    if (const auto average = DcAverage(state.DcHistoryR)) {
        state.ShownDcR = *average;
    }
}

void Recorder::FormatRecordedTime() {
    state.TimeText = RecordedTimeText(
        state.LoopWrapped ? uint32_t(state.HalvesPerLoop) * base::HalfBlocks : state.LastBlock);
}

QString Recorder::TimeOfDay() const {
    return clock_.TimeOfDay().toString(QStringLiteral("HH:mm:ss"));
}

void Recorder::ComputeFreeTime() {
    int64_t bytes = files_.FreeBytes(FolderOf(state.RecordingFilePath));
    // Unknown free space never stops a recording.
    state.FreeSeconds = bytes < 0
                            ? UINT32_MAX
                            : uint32_t(std::min<int64_t>(bytes / base::BytesPerSecond, UINT32_MAX));
}

void Recorder::SetMinimized(bool minimized) {
    state.Minimized = minimized;
}

} // namespace record

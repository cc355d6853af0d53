// SPDX-License-Identifier: GPL-3.0-or-later
#include "record/pipeline.h"

#include "platform/services/file_system.h"
#include "platform/services/process_messages.h"
#include "record/errors.h"

#include <QTime>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <unistd.h>
#include <utility>

namespace record {

State state;

namespace {

Events silentEvents;
Events* events = &silentEvents;

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

// Set when a write to the recording file failed; the recording is then stopped at the end of the
// timer step that hit it, and the text shown once everything is consistent again.
bool writeFailed = false;
bool writeFailedNoSpace = false; // the disk was full: told as the disk-space stop tells it
QString writeFailureText;

// True while the device is being opened or closed. A backend may run the event loop inside
// those calls; the timer steps that fire meanwhile are skipped rather than touching slots and
// the file halfway through.
bool inDeviceCall = false;

struct DeviceCall {
    DeviceCall() { inDeviceCall = true; }
    ~DeviceCall() { inDeviceCall = false; }
};

// Rounds to nearest, ties to even (the default floating-point rounding mode).
int RoundEven(double v) {
    return int(std::nearbyint(v));
}

int16_t LoadSample(const uint8_t* p) {
    int16_t s;
    std::memcpy(&s, p, 2);
    return s;
}

void StoreSample(uint8_t* p, int16_t s) {
    std::memcpy(p, &s, 2);
}

int16_t Corrected(int16_t sample, int offset) {
    // Clamped, not wrapped: a wrapped sample would be a full-scale click in the recording.
    return int16_t(std::clamp(int(sample) - offset, -32768, 32767));
}

std::string FolderOf(const std::string& path) {
    auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The disk-space stop's message: what happened and where.
QString NoSpaceText() {
    return "There is no space on drive " +
           QString::fromStdString(platform::MountPointOf(FolderOf(state.RecordingFilePath)));
}

uint32_t RingBlocks() {
    return uint32_t(state.HalvesPerLoop) * HalfBlocks;
}

// File position of block number n of the running recording. In a loop the slots of the half
// after the last of a pass still carry numbers past the ring until that half is renumbered;
// they belong at the start of the ring.
uint32_t RingPosition(uint32_t n) {
    if (state.LoopMode && state.HalvesPerLoop > 0 && n > RingBlocks()) {
        return n - RingBlocks();
    }
    return n;
}

uint8_t* SlotData(int slot) {
    return state.CaptureBuffer.data() + size_t(slot) * BlockBytes;
}

void ApplyMode(int index) {
    const ModeRow& row = modeTable[index];
    state.ModeIndex = index;
    state.LoopMode = index != 0;
    if (index != 0) {
        state.LoopMinutes = row.loopMinutes;
    }
    state.TimeScaleMinutes = row.timeScaleMinutes;
    state.HalvesPerLoop = RoundEven(state.LoopMinutes * 60 / 2.0);
}

void QueueSlot(int i) {
    SlotHeader& h = state.SlotHeaders[size_t(i)];
    state.BlockCounter++;
    h.data = SlotData(i);
    h.bufferLength = BlockBytes;
    h.bytesRecorded = 0;
    h.user = state.BlockCounter;
    h.flags = 0;
    state.SlotBlock[size_t(i)] = state.BlockCounter;
    state.SlotSequence[size_t(i)] = ++state.QueuedBlocks;
    CurrentCaptureDevice().AddBuffer(&h);
}

void RequeueHalf(int first) {
    CaptureDevice& device = CurrentCaptureDevice();
    for (int i = first; i < first + HalfBlocks; ++i) {
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
void WriteSlots(int slot, uint32_t pos, int count) {
    if (writeFailed || !state.RecordingStream.IsOpen()) {
        return;
    }
    const uint32_t blocksBefore = state.RecordingStream.Blocks();
    try {
        state.RecordingStream.WriteBlocks(pos, SlotData(slot), uint32_t(count));
        state.LastWritten = pos + uint32_t(count) - 1;
        return;
    } catch (const StreamWriteError& error) {
        writeFailed = true;
        writeFailedNoSpace = error.errnoValue() == ENOSPC || error.errnoValue() == EDQUOT;
        writeFailureText = writeFailedNoSpace ? NoSpaceText() : QString::fromUtf8(error.what());
    }
    uint32_t failedAt = pos;
    for (int k = 0; k < count; ++k) {
        try {
            state.RecordingStream.WriteBlock(pos + uint32_t(k), SlotData(slot + k));
            state.LastWritten = pos + uint32_t(k);
            failedAt = pos + uint32_t(k) + 1;
        } catch (const StreamWriteError&) {
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
void HalfDone(int half) {
    const int first = half * HalfBlocks;
    const int other = (1 - half) * HalfBlocks;
    if (state.Recording && !state.RecordingFilePath.empty()) {
        state.HalfCounter++;
        for (int i = first; i < first + HalfBlocks; ++i) {
            if (state.SlotHeaders[size_t(i)].user != 0) {
                state.CurrentSlot = i;
                CorrectBlock();
                MeasureBlock();
                state.SlotHeaders[size_t(i)].user = 0;
            }
        }
        if (state.LoopMode) {
            if (state.HalfCounter == state.HalvesPerLoop) {
                // End of a pass: the half being filled now starts the next pass at block 1.
                // Slots the tick already processed keep their mark, so no block is corrected
                // twice; their peaks were stored under their ring positions already.
                state.BlockCounter = 0;
                state.LastBlock = 0;
                state.LoopWrapped = true;
                for (int i = other; i < other + HalfBlocks; ++i) {
                    state.BlockCounter++;
                    state.SlotBlock[size_t(i)] = state.BlockCounter;
                    if (state.SlotHeaders[size_t(i)].user != 0) {
                        state.SlotHeaders[size_t(i)].user = state.BlockCounter;
                    }
                }
                state.NewestBlock = RingPosition(state.NewestBlock);
            } else if (state.HalfCounter == state.HalvesPerLoop + 1) {
                state.HalfCounter = 1;
            }
        }
        // The half's blocks are consecutive; write each run of consecutive positions at once.
        int run = first;
        while (run < first + HalfBlocks && !writeFailed) {
            uint32_t pos = RingPosition(state.SlotBlock[size_t(run)]);
            int count = 1;
            while (run + count < first + HalfBlocks &&
                   RingPosition(state.SlotBlock[size_t(run + count)]) == pos + uint32_t(count)) {
                ++count;
            }
            WriteSlots(run, pos, count);
            run += count;
        }
    }
    RequeueHalf(first);
}

bool HalfFull(int first) {
    for (int i = first; i < first + HalfBlocks; ++i) {
        if (!state.SlotFull[size_t(i)]) {
            return false;
        }
    }
    return true;
}

// Hands over what the backend holds, unless its stream has failed: then only the bytes already
// in the slots count.
void CollectFromDevice() {
    CaptureDevice& device = CurrentCaptureDevice();
    if (device.StreamError() == 0) {
        device.Collect();
    }
}

void RecordTick() {
    if (!state.DeviceOpen) {
        return;
    }
    CollectFromDevice();
    state.CurrentSlot = -1;
    bool found = false;
    for (int i = 0; i < SlotCount; ++i) {
        const SlotHeader& h = state.SlotHeaders[size_t(i)];
        state.SlotFull[size_t(i)] = h.bytesRecorded == BlockBytes;
        if (state.SlotFull[size_t(i)] && h.user > state.LastBlock) {
            state.LastBlock = h.user;
            state.CurrentSlot = i;
            found = true;
        }
    }
    if (found) {
        CorrectBlock();
        MeasureBlock();
        MeanBlock();
        if (state.Recording) {
            state.NewestBlock = RingPosition(state.LastBlock);
            events->PushChartPoint();
            events->DrawTimeMark();
        }
        state.SlotHeaders[size_t(state.CurrentSlot)].user = 0;
        if (!state.Minimized) {
            events->MeterUpdate();
        }
    }
    // After a stall both halves can be full; the older one goes first so the file and the ring
    // see the halves in capture order.
    const bool firstFull = HalfFull(0);
    const bool secondFull = HalfFull(HalfBlocks);
    if (firstFull && secondFull && state.SlotSequence[HalfBlocks] < state.SlotSequence[0]) {
        HalfDone(1);
        HalfDone(0);
        return;
    }
    if (firstFull) {
        HalfDone(0);
    }
    if (secondFull) {
        HalfDone(1);
    }
}

// After CloseDevice ended a recording by force: monitoring resumes where a device is present.
void ResumeAfterForcedStop() {
    platform::ProcessMessages();
    if (!state.DeviceName.isEmpty() && CurrentCaptureDevice().DeviceCount() > 0) {
        OpenDevice();
    }
    events->StatusPanelText(2, "End - " + TimeOfDay());
}

void ClearWriteFailure() {
    writeFailed = false;
    writeFailedNoSpace = false;
    writeFailureText.clear();
}

// A failed write marked during a timer step stops the recording like Stop and says why: a full
// disk in the words of the disk-space stop, anything else as "Stream write error".
void StopAfterWriteFailure() {
    if (!writeFailed) {
        return;
    }
    if (state.Recording) {
        CloseDevice();
        ResumeAfterForcedStop();
    }
    const bool noSpace = writeFailedNoSpace;
    const QString text = writeFailureText;
    ClearWriteFailure();
    if (noSpace) {
        events->ShowMessage(text);
    } else {
        events->ShowError(text);
    }
}

// Ends the recording and shows `message`. A write of the last blocks that failed for the same
// reason (the disk filling up under the disk-space stop) is not told a second time.
void ForcedStop(const QString& message) {
    CloseDevice();
    ResumeAfterForcedStop();
    if (writeFailed && writeFailureText == message) {
        ClearWriteFailure();
    }
    events->ShowMessage(message);
}

void ShowRecordedTime() {
    FormatRecordedTime();
    events->TimeTextChanged(state.TimeText);
    events->StatusPanelText(2, "Current - " + TimeOfDay());
}

void StepTimeScale() {
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

} // namespace

QString ModeItemText(int index) {
    if (index < 0 || index >= ModeCount) {
        return {};
    }
    return QString::fromLatin1(modeTable[index].text);
}

void SetEvents(Events* e) {
    events = e ? e : &silentEvents;
}
Events& CurrentEvents() {
    return *events;
}

TakeOrder RecordedTakeOrder() {
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

void AllocateBuffers() {
    state.CaptureBuffer.assign(size_t(SlotCount) * BlockBytes, 0);
    state.BlockLeft.assign(2 * BlockFrames, 0);
    state.BlockRight.assign(2 * BlockFrames, 0);
    for (auto* table : {&state.PeakMaxL, &state.PeakMinL, &state.PeakMaxR, &state.PeakMinR}) {
        table->assign(PeakArrayLength + 1, 0);
    }
}

PeakTableRefs RecordingPeaks() {
    return {state.PeakMaxL.data(), state.PeakMinL.data(), state.PeakMaxR.data(),
            state.PeakMinR.data()};
}

void AdoptRecording(RawFile&& file, uint32_t blocks) {
    state.RecordingStream = std::move(file);
    state.FileBlocks = blocks;
    state.LastBlock = blocks;
    state.NewestBlock = blocks;
    state.LastWritten = 0;
    state.LoopWrapped = false;
}

void DecodeRecordingMode(int index) {
    if (index < 0 || index >= ModeCount) {
        index = 0;
    }
    state.ChosenModeIndex = index;
    if (!state.Recording) {
        ApplyMode(index);
    }
}

void OpenDevice() {
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
    CaptureDevice& device = CurrentCaptureDevice();
    const QString name = device.FirstDeviceName();
    int code;
    {
        DeviceCall call;
        code = device.Open();
    }
    QString failure;
    if (code != CaptureOk) {
        state.DeviceOpen = false;
        // No input at all is not an error: the name field stays empty, Record says so, and the
        // device watch opens one when it appears. A device that keeps failing the same way is
        // retried silently by the device watch.
        const bool nothingPresent = code == CaptureNoDevice && device.DeviceCount() == 0;
        if (!nothingPresent &&
            (code != state.ReportedOpenFailure || name != state.ReportedOpenFailureName)) {
            state.ReportedOpenFailure = code;
            state.ReportedOpenFailureName = name;
            failure = device.ErrorText(code).left(128);
        }
    } else {
        state.DeviceOpen = true;
        state.ReportedOpenFailure = 0;
        state.ReportedOpenFailureName.clear();
        state.DeviceName = name;
        for (int i = 0; i < SlotCount; ++i) {
            QueueSlot(i);
        }
        device.Start();
    }
    events->DeviceNameChanged(state.DeviceName);
    if (!failure.isEmpty()) {
        events->ShowError(failure);
    }
}

void CloseDevice() {
    if (!state.DeviceOpen) {
        return;
    }
    CaptureDevice& device = CurrentCaptureDevice();
    CollectFromDevice();
    // Full slots in capture order, so that the file grows without holes and the last block
    // written is the newest one.
    std::array<int, SlotCount> order{};
    int full = 0;
    for (int i = 0; i < SlotCount; ++i) {
        if (state.SlotHeaders[size_t(i)].bytesRecorded == BlockBytes) {
            int at = full++;
            while (at > 0 && state.SlotSequence[size_t(order[size_t(at - 1)])] >
                                 state.SlotSequence[size_t(i)]) {
                order[size_t(at)] = order[size_t(at - 1)];
                --at;
            }
            order[size_t(at)] = i;
        }
    }
    for (int k = 0; k < full; ++k) {
        const int i = order[size_t(k)];
        SlotHeader& h = state.SlotHeaders[size_t(i)];
        if (h.user != 0) {
            state.CurrentSlot = i;
            CorrectBlock();
            MeasureBlock();
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
            WriteSlots(i, pos, 1);
        }
    }
    {
        DeviceCall call;
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
            events->DrawTimeGauge();
        }
    }
}

void RecordTimerTick() {
    if (state.DeviceName.isEmpty() || inDeviceCall) {
        return;
    }
    RecordTick();
    if (++state.DcHistoryPos > DcHistoryLength) {
        state.DcHistoryPos = 1;
    }
    state.DcHistoryL[size_t(state.DcHistoryPos)] = RoundEven(state.BlockMeanL);
    state.DcHistoryR[size_t(state.DcHistoryPos)] = RoundEven(state.BlockMeanR);

    const int m = state.BlockMaxL > state.BlockMaxR ? state.BlockMaxL : state.BlockMaxR;
    int index = RoundEven(std::abs(m) / 2048.0);
    if (index == 0 && state.BlockMaxL > 600) {
        index = 1;
    }
    state.LevelIconIndex = std::min(index, 16);
    if (state.Minimized) {
        events->LevelIcon(state.LevelIconIndex);
    }
    StopAfterWriteFailure();
}

void WatchDevice() {
    CaptureDevice& device = CurrentCaptureDevice();
    const int count = device.DeviceCount();
    if (state.DeviceOpen && (count == 0 || device.StreamError() != 0)) {
        const bool wasRecording = state.Recording;
        CloseDevice();
        state.DeviceName.clear();
        events->DeviceNameChanged(state.DeviceName);
        if (wasRecording) {
            events->StatusPanelText(2, "End - " + TimeOfDay());
        }
    }
    if (!state.Recording && count > 0) {
        const QString name = device.FirstDeviceName();
        if (name != state.DeviceName) {
            CloseDevice();
            platform::ProcessMessages();
            OpenDevice();
        }
    }
    StopAfterWriteFailure();
}

void StatusTimerTick() {
    if (inDeviceCall) {
        return;
    }
    WatchDevice();
    if (state.DeviceName.isEmpty() || inDeviceCall) {
        events->ClearGauges();
        return;
    }
    ShowDcAverages();
    if (!state.Recording) {
        return;
    }
    ComputeFreeTime();
    ShowRecordedTime();
    if (state.Minimized) {
        events->Title(state.TimeText);
    }
    if (state.FreeSeconds < FreeSecondsLimit) {
        ForcedStop(NoSpaceText());
        StopAfterWriteFailure();
        return;
    }
    if (state.BlockCounter >= uint32_t(PeakArrayLength)) {
        ForcedStop(QStringLiteral("Recording was stopped"));
        StopAfterWriteFailure();
    }
    if (!state.LoopMode && state.Recording) {
        // Minutes recorded reach 90 % of the scale; in whole blocks to keep 2.7 min exact.
        if (state.NewestBlock >= uint32_t(state.TimeScaleMinutes) * 540) {
            StepTimeScale();
            events->DrawTimeGauge();
        }
    }
    if (state.HalfCounter == state.HalvesPerLoop) {
        events->DrawTimeBar();
    }
}

void StartRecording() {
    if (state.Recording) {
        return;
    }
    if (state.DeviceName.isEmpty() || inDeviceCall) {
        events->ShowMessage(QStringLiteral("No Audio Device Selected"));
        return;
    }
    if (state.RecordingFilePath.empty()) {
        return;
    }
    state.RecordingStream.Release();
    CloseDevice();
    ::unlink(state.RecordingFilePath.c_str());
    state.NewestBlock = 0;
    state.LoopWrapped = false;
    state.LastWritten = 0;
    ClearWriteFailure();
    events->RecordingStarted();
    try {
        state.RecordingStream.Create(state.RecordingFilePath);
    } catch (const FileOpenError& error) {
        OpenDevice();
        events->ShowError(QString::fromUtf8(error.what()));
        return;
    }
    if (state.ChosenModeIndex != state.ModeIndex) {
        ApplyMode(state.ChosenModeIndex);
    }
    OpenDevice();
    if (!state.DeviceOpen) {
        return; // the open error was shown; nothing would be captured
    }
    state.Recording = true;
    events->StatusPanelText(1, "Start - " + TimeOfDay());
}

void StopRecording() {
    if (!state.Recording) {
        return;
    }
    CloseDevice();
    platform::ProcessMessages();
    OpenDevice();
    events->StatusPanelText(2, "End - " + TimeOfDay());
    StopAfterWriteFailure();
}

void DiscardRecording() {
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
    if (!state.RecordingFilePath.empty()) {
        state.RecordingStream.Create(state.RecordingFilePath);
    }
}

void SetDcReduction(bool checked) {
    if (checked) {
        ComputeDcOffsets();
    } else {
        state.DcOffsetL = 0;
        state.DcOffsetR = 0;
    }
}

void CorrectBlock() {
    const uint8_t* end = SlotData(state.CurrentSlot) + BlockBytes;
    uint8_t* p = SlotData(state.CurrentSlot);
    int16_t* left = state.BlockLeft.data();
    int16_t* right = state.BlockRight.data();
    const int dl = state.DcOffsetL;
    const int dr = state.DcOffsetR;
    if (dl == 0 && dr == 0) {
        for (; p < end; p += FrameBytes) {
            *left++ = LoadSample(p);
            *right++ = LoadSample(p + 2);
        }
        return;
    }
    for (; p < end; p += FrameBytes) {
        int16_t l = Corrected(LoadSample(p), dl);
        int16_t r = Corrected(LoadSample(p + 2), dr);
        StoreSample(p, l);
        StoreSample(p + 2, r);
        *left++ = l;
        *right++ = r;
    }
}

void MeasureBlock() {
    if (state.ClipHoldL > 0) {
        state.ClipHoldL--;
    }
    if (state.ClipHoldR > 0) {
        state.ClipHoldR--;
    }
    int16_t maxL = -32767, maxR = -32768, minL = 32767, minR = 32767;
    const int16_t* left = state.BlockLeft.data();
    const int16_t* right = state.BlockRight.data();
    for (int j = 0; j < BlockFrames; ++j) {
        maxL = std::max(maxL, left[j]);
        minL = std::min(minL, left[j]);
        maxR = std::max(maxR, right[j]);
        minR = std::min(minR, right[j]);
    }
    state.BlockMaxL = maxL;
    state.BlockMinL = minL;
    state.BlockMaxR = maxR;
    state.BlockMinR = minR;
    if (maxL > 32766 || minL == -32768) {
        state.ClipHoldL = ClipHoldBlocks;
    }
    if (maxR > 32766 || minR == -32768) {
        state.ClipHoldR = ClipHoldBlocks;
    }
    // Peaks belong to the recording file; blocks only monitored must not overwrite those of the
    // take the editor is about to show.
    if (state.Recording && state.CurrentSlot >= 0) {
        const uint32_t n = RingPosition(state.SlotBlock[size_t(state.CurrentSlot)]);
        if (n >= 1 && n <= uint32_t(PeakArrayLength) && !state.PeakMaxL.empty()) {
            state.PeakMaxL[n] = maxL;
            state.PeakMinL[n] = minL;
            state.PeakMaxR[n] = maxR;
            state.PeakMinR[n] = minR;
        }
    }
}

void MeanBlock() {
    int64_t sumL = 0, sumR = 0;
    for (int j = 0; j < BlockFrames; ++j) {
        sumL += state.BlockLeft[size_t(j)];
        sumR += state.BlockRight[size_t(j)];
    }
    state.BlockMeanL = double(sumL) / BlockFrames;
    state.BlockMeanR = double(sumR) / BlockFrames;
}

namespace {
// Sum and count of the history entries that are not 0 (0 counts as an empty entry).
void HistoryTotals(const std::array<int, DcHistoryLength + 1>& history, int64_t& sum, int& count) {
    sum = 0;
    count = 0;
    for (int i = 1; i <= DcHistoryLength; ++i) {
        if (history[size_t(i)] != 0) {
            sum += history[size_t(i)];
            ++count;
        }
    }
}
} // namespace

void ComputeDcOffsets() {
    int64_t sum;
    int count;
    HistoryTotals(state.DcHistoryL, sum, count);
    if (count > 0) {
        state.DcOffsetL = RoundEven(double(sum) / count);
    }
    HistoryTotals(state.DcHistoryR, sum, count);
    if (count > 0) {
        state.DcOffsetR = RoundEven(double(sum) / count);
    }
    state.DcHistoryL.fill(0);
    state.DcHistoryR.fill(0);
}

void ShowDcAverages() {
    int64_t sum;
    int count;
    HistoryTotals(state.DcHistoryL, sum, count);
    if (count > 0) {
        state.ShownDcL = double(sum) / count;
    }
    HistoryTotals(state.DcHistoryR, sum, count);
    if (count > 0) {
        state.ShownDcR = double(sum) / count;
    }
}

void FormatRecordedTime() {
    uint32_t t = state.LoopWrapped ? uint32_t(state.HalvesPerLoop) * HalfBlocks : state.LastBlock;
    const uint32_t hours = t / 36000;
    t -= hours * 36000;
    const uint32_t minutes = t / 600;
    t -= minutes * 600;
    const uint32_t seconds = t / 10;
    auto two = [](uint32_t v) { return QString::number(v).rightJustified(2, '0').left(2); };
    state.TimeText = two(hours) + ":" + two(minutes) + ":" + two(seconds);
}

QString TimeOfDay() {
    return QTime::currentTime().toString(QStringLiteral("HH:mm:ss"));
}

void ComputeFreeTime() {
    int64_t bytes = platform::FreeBytes(FolderOf(state.RecordingFilePath));
    // Unknown free space never stops a recording.
    state.FreeSeconds =
        bytes < 0 ? UINT32_MAX : uint32_t(std::min<int64_t>(bytes / BytesPerSecond, UINT32_MAX));
}

void SetMinimized(bool minimized) {
    state.Minimized = minimized;
}

} // namespace record

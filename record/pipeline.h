// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/blocks.h"
#include "base/errors.h"
#include "base/peak_file.h"
#include "base/raw_file.h"
#include "record/block_math.h"
#include "record/capture_device.h"
#include "record/dropout_detector.h"

#include "base/clock.h"
#include "base/event_pump.h"
#include "base/file_system.h"

#include <QDateTime>
#include <QString>

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

// The recording engine: capture slots, per-block processing (DC correction, peaks, means, clip
// holds), the recording file written two seconds at a time either without end or as a ring,
// recorded time and the forced stops, all owned by one Recorder. Everything runs on the thread of
// the event loop, from a RecorderDriver's two ticks and the window's buttons; the window calls
// the Recorder's methods in one line each and is told what to redraw through record::Events.
namespace record {

constexpr int ClipHoldBlocks = 30;
constexpr uint32_t FreeSecondsLimit = 100; // below this much audio space the recording stops
constexpr int ModeCount = 8;               // items of the recording-mode list

// Texts of the recording-mode list, by index: "Continuous", "Loop 3 min", ... "Loop 60 min".
QString ModeItemText(int index);

// What the recorder asks the main window to show or redraw. Every call comes from inside one of
// the Recorder's methods, on the GUI thread. The defaults do nothing, so a test installs only
// what it watches.
class Events {
  public:
    virtual ~Events() = default;
    // A block was measured and the window is not minimized: redraw the level and DC gauges and,
    // while Recording, refill the live chart from its history.
    virtual void MeterUpdate() {}
    // While recording, a new block was processed by the tick: push its chart point (from
    // BlockMaxL/R and BlockMeanL/R) into the chart history ...
    virtual void PushChartPoint() {}
    // ... and draw the time bar's column for NewestBlock.
    virtual void DrawTimeMark() {}
    // TimeScaleMinutes stepped, or the mode in force changed after a recording: redraw the time
    // gauge (scale and title) and the time bar.
    virtual void DrawTimeGauge() {}
    // Redraw the whole time bar (end of a loop pass).
    virtual void DrawTimeBar() {}
    // A recording starts: clear the chart history and both series, redraw the empty time bar.
    virtual void RecordingStarted() {}
    // No capture device: draw the level and DC gauges empty.
    virtual void ClearGauges() {}
    // DeviceName changed or was set again after an open attempt: EditInDev and panel 0.
    virtual void DeviceNameChanged(const QString& name) { (void)name; }
    // TimeText was refreshed while recording: LabTime0 and LabTime.
    virtual void TimeTextChanged(const QString& text) { (void)text; }
    // Status bar panel 1 ("Start - ...") or 2 ("Current - ...", "End - ...").
    virtual void StatusPanelText(int panel, const QString& text) { (void)panel, (void)text; }
    // While minimized: the application icon shows LevelIcons[index] ...
    virtual void LevelIcon(int index) { (void)index; }
    // ... and while minimized and recording the application title shows the recorded time.
    virtual void Title(const QString& text) { (void)text; }
    // The current take's dropouts (State::Dropouts) changed: a new one, one the ring overwrote,
    // a new take.
    virtual void DropoutsChanged() {}
};

// Chronological order of the recording file after a stop: blocks `first`..`first + count - 1`
// of `runs` runs (one, or two when a loop ring wrapped: NewestBlock+1..FileBlocks, then
// 1..NewestBlock). Built from LoopWrapped rather than LoopMode, so a mode chosen after the take
// cannot reorder it.
struct BlockRun {
    uint32_t first = 1;
    uint32_t count = 0;
};
struct TakeOrder {
    int runs = 0;
    BlockRun run[2];
};

// What Save Now saves: the blocks the recording file held at the command, oldest first, while the
// recording goes on writing. The save reads them through a descriptor of its own, so a new
// recording (which unlinks the file first) never changes them; in a loop the recorder comes
// round to them again, which the write mark tells (SnapshotBlockIntact).
struct SaveSnapshot {
    std::string path;    // the recording file
    TakeOrder order;     // ring positions, oldest first
    uint32_t blocks = 0; // blocks saved: those of `order`, then those of `unwritten`
    // Whole blocks captured but still in the capture slots at the command, oldest first, as the
    // file will hold them: they come after the file's newest block.
    std::vector<uint8_t> unwritten;
    uint64_t firstIndex = 0;   // number of the oldest block in the recording (1: its first)
    uint32_t ringBlocks = 0;   // the loop's ring; 0 in Continuous, where nothing is overwritten
    uint32_t generation = 0;   // which recording: counted up at every Record
    uint32_t tailMoves = 0;    // the recording's TailMoves() at the command
    QDateTime firstSampleTime; // wall-clock time of the oldest block's first sample
};

// The recorder's write mark, published before every write to the recording file and read by a
// save on another thread: the recording's generation (high 24 bits) and how many of its blocks
// have begun to be written (low 40 bits).
constexpr int WriteMarkBlockBits = 40;
constexpr uint64_t PackWriteMark(uint32_t generation, uint64_t begun) {
    return (uint64_t(generation & 0xFFFFFFu) << WriteMarkBlockBits) |
           (begun & ((uint64_t(1) << WriteMarkBlockBits) - 1));
}
// Whether the block numbered `index` in the recording of `snapshot` is still the one it was at the
// command, given a write mark read after the block was read: a ring position is written again
// only `ringBlocks` blocks later.
bool SnapshotBlockIntact(const SaveSnapshot& snapshot, uint64_t index, uint64_t mark);

// What went wrong during one of the Recorder's commands or ticks, thrown at its end once the
// recorder is consistent again (a stopped recording complete, monitoring resumed where it can).
// It carries the boxes the user is shown, in order: information boxes for "No Audio Device
// Selected" and the stops ("There is no space on drive ...", "Recording was stopped"), error boxes
// for a device that does not open, "Stream write error" and a recording file that cannot be
// created. what() is the first box's text. Caught where the command started: the window, or the
// RecorderDriver for the ticks.
class RecorderFailure : public base::UserError {
  public:
    struct Box {
        QString text;
        bool error = false; // an error box; else an information box
    };
    explicit RecorderFailure(std::vector<Box> boxes);
    const std::vector<Box>& Boxes() const { return boxes_; }

  private:
    std::vector<Box> boxes_;
};

// The recorder's state, owned by a Recorder and read through Recorder::View(). Arrays are sized
// when the Recorder is built and never reallocated.
struct State {
    // Capture buffers: the 40 slots, slot i at i * BlockBytes. Only the recorder uses them; the
    // editing operations, playback and export keep buffers of their own.
    std::vector<uint8_t> CaptureBuffer; // SlotCount * BlockBytes
    std::vector<int16_t> BlockLeft;     // 2 * BlockFrames entries, the first BlockFrames used
    std::vector<int16_t> BlockRight;
    // Peaks per block number from 1 (entry 0 unused): PeakArrayLength + 1 entries. Filled only
    // for recorded blocks, under the block's position in the recording file.
    std::vector<int16_t> PeakMaxL, PeakMinL, PeakMaxR, PeakMinR;

    // Measurements of the block processed last.
    int16_t BlockMaxL = 0, BlockMinL = 0, BlockMaxR = 0, BlockMinR = 0;
    double BlockMeanL = 0, BlockMeanR = 0; // set only for the block the tick chose
    int ClipHoldL = 0, ClipHoldR = 0;      // > 0: that channel clipped within 30 blocks

    // DC offset: histories of rounded block means (entries 1..50, a ring; 0 counts as empty).
    DcHistory DcHistoryL{}, DcHistoryR{};
    int DcHistoryPos = 0;              // entry written last, 1..50
    int DcOffsetL = 0, DcOffsetR = 0;  // subtracted from every sample; 0 with Reduce off
    double ShownDcL = 0, ShownDcR = 0; // what the DC gauge shows with Reduce on

    // Recording position.
    bool Recording = false;
    uint32_t LastBlock = 0;        // highest block number processed since the open or the wrap
    uint32_t NewestBlock = 0;      // recording: ring position of the newest block; after a stop: of
                                   // the last block written
    uint32_t FileBlocks = 0;       // recording file length in blocks, taken at every stop; also the
                                   // editor's sound length while it is open
    std::string RecordingFilePath; // from the Recorder's configuration
    base::RawFile RecordingStream;

    // Recording mode in force: used by the running recording and drawn by the gauges.
    int ModeIndex = 0; // item of the mode list these values come from
    bool LoopMode = false;
    int LoopMinutes = 0;
    int HalvesPerLoop = 0;    // two-second halves in a loop
    bool LoopWrapped = false; // the ring has been written round at least once
    int HalfCounter = 0;      // halves written in the current loop pass
    int TimeScaleMinutes = 3; // full scale of the time gauge
    // The item chosen in the list. A choice made during a recording waits here and comes into
    // force when that recording ends, so a running ring is never reshaped.
    int ChosenModeIndex = 0;

    uint32_t FreeSeconds = 0; // free space of the work folder's file system in seconds
    QString TimeText = "00:00:00";
    int LevelIconIndex = 0; // 0..16
    bool Minimized = false; // SetMinimized

    // Capture slots and device.
    int CurrentSlot = -1; // slot being processed; -1 when none
    std::array<bool, base::SlotCount> SlotFull{};
    std::array<SlotHeader, base::SlotCount> SlotHeaders{};
    // Block number each slot was queued with; unlike SlotHeaders[i].user it is kept after the
    // block is processed, so the slot can be written at its block's position.
    std::array<uint32_t, base::SlotCount> SlotBlock{};
    // Capture order of each slot's block (never restarts): tells the newest block at a stop.
    std::array<uint64_t, base::SlotCount> SlotSequence{};
    uint64_t QueuedBlocks = 0;
    uint32_t BlockCounter = 0; // block number given to the next slot queued
    bool DeviceOpen = false;
    QString DeviceName; // product name of the device last opened; empty = no device
    // Last open failure reported (device name and code), so a device that keeps failing is
    // reported once and retried silently.
    QString ReportedOpenFailureName;
    CaptureError ReportedOpenFailure = CaptureError::Ok;
    // Ring position of the block written last during this recording (0: none yet).
    uint32_t LastWritten = 0;
    // The take's dropouts, oldest first; in a loop only those whose silence is still in the ring.
    // Empty (and never allocated) for a take that lost nothing.
    std::vector<DropoutMark> Dropouts;
};

// The ports a Recorder works through; each must outlive it.
struct RecorderPorts {
    CaptureDevice& capture;
    const base::FileSystem& files; // free space, mount point, write faults of the recording file
    base::EventPump& pump;         // run between closing and reopening the device
    const base::Clock& clock;      // time of day of the status panels
};

// What a Recorder is built with: where the next recording goes (empty: nowhere, Record does
// nothing) and the recording-mode list item in force.
struct RecorderConfig {
    std::string recordingFilePath;
    int modeIndex = 0;
    // The take's dropout list beside it (written when one is found, removed with the take);
    // empty: none kept.
    std::string dropoutFilePath = {};
};

// The recording engine as one object: the capture slots and device, the recording file and
// the take it holds, the mode, the DC reduction and the measurements. Everything runs on the
// thread that calls it; a RecorderDriver (or a test) calls the ticks, the window the commands,
// and it tells its Events what to redraw.
class Recorder {
  public:
    Recorder(const RecorderPorts& ports, Events& events, RecorderConfig config);
    // Closes the device (writing what a running recording still holds in its slots).
    ~Recorder();
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    // Everything the recorder knows, read only: meter, recording, device name, time bar facts.
    const State& View() const { return state; }
    // The take: its file, length, peak tables and block order.
    const base::RawFile& TakeFile() const { return state.RecordingStream; }
    uint32_t TakeBlocks() const { return state.FileBlocks; }
    TakeOrder RecordedTakeOrder() const;
    // The four peak tables of the recording file (PeakArrayLength + 1 entries each, entry 0
    // unused), for a loader that fills them before it adopts its file.
    base::PeakTableRefs RecordingPeaks();

    // Save Now's view of the running recording: the blocks its file holds, oldest first, and a
    // copy of the whole blocks captured but not written yet (the device hands over what it holds
    // first), so the save ends at the command rather than up to a half (2 s) before it; or only
    // the newest `newest` of all these when `newest` > 0. Throws base::UserError when no recording
    // runs or no whole block is captured.
    SaveSnapshot SnapshotForSave(uint32_t newest = 0) const;
    // The write mark (PackWriteMark), safe to read from any thread.
    uint64_t WriteMark() const { return writeMark_.load(std::memory_order_seq_cst); }
    // How often written blocks were moved to make room for a dropout's silence, safe to read
    // from any thread: a save that sees it change was reading blocks that moved under it.
    uint32_t TailMoves() const { return tailMoves_.load(std::memory_order_seq_cst); }

    // Makes `file` (open) the take the editor works on, in place of the current recording, which
    // is released only now: FileBlocks, LastBlock and NewestBlock := blocks, and the take counts
    // as unwrapped, so it opens in file order whatever order the previous take had.
    // RecordingFilePath is kept: it names the file the next recording creates, which must never
    // be the adopted one.
    // `dropouts` are the adopted take's, read from its dropout file.
    void AdoptRecording(base::RawFile&& file, uint32_t blocks,
                        std::vector<DropoutMark> dropouts = {});
    // Takes list item `index` (0 "Continuous", 1..7 the loops). Out-of-range indexes are taken
    // as 0. While a recording runs, only ChosenModeIndex changes; the rest follows when it ends
    // (and Events::DrawTimeGauge is raised then).
    void DecodeRecordingMode(int index);

    // Opens the capture device unless open: block numbers restart at 1, slots 0..39 are queued
    // with 1..40 and capture starts. An open error is thrown once per distinct failure.
    void OpenDevice();
    // Closes the device unless closed. While recording it writes every full slot at its block's
    // position, ends the recording and completes the stop (NewestBlock, FileBlocks); a write that
    // failed on the way is thrown once the stop is complete.
    void CloseDevice();

    // The 100 ms tick: processes the newest full block, consumes full halves, keeps the DC
    // history, the level icon.
    void RecordTimerTick();
    // The 500 ms tick: follows a device that appears, changes or vanishes, DC display, recorded
    // time, disk-space and ten-hour stops, time scale.
    void StatusTimerTick();
    // Record: starts a recording into RecordingFilePath. Throws "No Audio Device Selected"
    // without a device, and the file's error when it cannot be created (monitoring goes on).
    void StartRecording();
    // Stop: writes the full slots, takes NewestBlock and FileBlocks, monitoring goes on.
    void StopRecording();
    // The editor closed: the take (or a recovered one adopted in its place) is released and
    // RecordingFilePath is created anew, empty, as RecordingStream; FileBlocks, NewestBlock and
    // LoopWrapped drop to nothing, so neither a later Edit nor Save As sees the old length over
    // the empty file. Nothing happens during a recording. Throws FileOpenError; the counts are
    // dropped first and the stream then stays released.
    void DiscardRecording();
    // The program ends: the take's file is closed (the work files are deleted next).
    void ReleaseTake();
    // Reduce checked measures the offsets from the history; unchecked clears them.
    void SetDcReduction(bool checked);
    // FreeSeconds from the free space of the recording file's folder; unknown space counts as
    // unlimited, so it never stops a recording.
    void ComputeFreeTime();
    // The main window was minimized (true) or restored: gauges rest, the icon and title take
    // over.
    void SetMinimized(bool minimized);

  private:
    friend struct RecorderProbe; // tests set up states that take hours to reach

    // What one command or tick has to tell, gathered as it runs and thrown at its end as one
    // RecorderFailure (Finish); and the write to the recording file that failed in it, if one
    // did: every later write of the step is skipped, the recording stops at the step's end and
    // the failure is told then.
    struct Step {
        std::vector<RecorderFailure::Box> boxes;
        bool writeFailed = false;
        bool writeFailedNoSpace = false; // the disk was full: told as the disk-space stop tells it
        QString writeFailureText;

        void Tell(const QString& text, bool error) { boxes.push_back({text, error}); }
        void ClearWriteFailure();
        void Finish();
    };
    // Runs `body` as one step and throws what it had to tell.
    template <typename Body> void RunStep(Body body);

    void OpenDeviceIn(Step& step);
    void CloseDeviceIn(Step& step);
    void RecordTimerStep(Step& step);
    void StatusTimerStep(Step& step);
    void StartRecordingStep(Step& step);
    void AllocateBuffers();
    void WatchDevice(Step& step);
    void ComputeDcOffsets();
    void ShowDcAverages();
    // TimeText from LastBlock, or the loop length once wrapped.
    void FormatRecordedTime();
    // "hh:mm:ss" of the current time of day, for the status panels.
    QString TimeOfDay() const;
    QString NoSpaceText() const;
    uint32_t RingBlocks() const;
    uint32_t RingPosition(uint32_t n) const;
    uint8_t* SlotData(int slot);
    void CorrectSlot();
    void MeasureSlot();
    void MeanSlot();
    void ApplyMode(int index);
    void QueueSlot(int i);
    void RequeueHalf(int first);
    void WriteSlots(Step& step, int slot, uint32_t pos, int count);
    // Fills `order` with the full slots, oldest capture first; returns how many there are.
    int FullSlotsInCaptureOrder(std::array<int, base::SlotCount>& order) const;
    void HalfDone(Step& step, int half);
    bool HalfFull(int first) const;
    void CollectFromDevice();
    void RecordTick(Step& step);
    void ResumeAfterForcedStop(Step& step);
    void StopAfterWriteFailure(Step& step);
    void ForcedStop(Step& step, const QString& message);
    void ShowRecordedTime();
    void StepTimeScale();
    // A fresh recording file over the file system port (an adopted take's file may not be).
    void CreateRecordingFile();

    CaptureDevice& device_;
    const base::FileSystem& files_;
    base::EventPump& pump_;
    const base::Clock& clock_;
    Events& events_;
    State state;

    // True while the device is being opened or closed. A backend may run the event loop inside
    // those calls; the timer steps that fire meanwhile are skipped rather than touching slots and
    // the file halfway through.
    bool inDeviceCall_ = false;

    // Save Now's bookkeeping of the running recording (GUI thread): its generation, when it
    // started and how many of its blocks were written; the write mark publishes them.
    uint32_t generation_ = 0;
    QDateTime recordingStart_;
    uint64_t writtenBlocks_ = 0;
    std::atomic<uint64_t> writeMark_{0};
    std::atomic<uint32_t> tailMoves_{0};
    // Publishes that `count` more blocks are about to be written.
    void MarkWrite(uint32_t count);

    // Dropouts of the running recording: the detector, the frames counted so far (capture order
    // of the newest full slot, and of the recording's first), silence inserted, and take indexes
    // (blocks counted from the recording's first, never renumbered by a loop pass).
    DropoutDetector detector_;
    std::string dropoutFilePath_;
    uint64_t startSequence_ = 0;
    uint64_t fullSequence_ = 0;
    uint64_t insertedFrames_ = 0;
    uint64_t passBase_ = 0;        // take index of block number 0 of the current loop pass
    uint64_t lastWrittenTake_ = 0; // take index of the newest block written
    uint64_t ReceivedFrames();
    // Notes that block number `number` was written at ring position `pos`.
    void NoteWritten(uint32_t number, uint32_t pos);
    void InsertSilence(Step& step, const Dropout& dropout);
    uint32_t TakePosition(uint64_t take) const;
    void ShiftWrittenTail(Step& step, uint64_t before, uint32_t blocks);
    void ShiftPeaks(uint64_t before, uint32_t blocks);
    void ForgetOverwrittenDropouts();
    void SaveDropouts();
    void RemoveDropouts();
};

} // namespace record

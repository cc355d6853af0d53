// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/clock.h"
#include "base/event_pump.h"
#include "base/file_system.h"
#include "record/pipeline.h"
#include "record/recorder_driver.h"
#include "recorder_probe.h"
#include "scripted_capture.h"
#include "scripted_file_system.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <cstdint>
#include <functional>
#include <map>

namespace testsupport {

// Everything the engine asked the window to do, counted.
struct EventLog : record::Events {
    int meterUpdates = 0, chartPoints = 0, timeMarks = 0, timeGauges = 0, timeBars = 0;
    int recordingsStarted = 0, gaugesCleared = 0;
    QStringList messages, errors;
    QString deviceName, timeText, title;
    int levelIcon = -1;
    std::map<int, QString> panels;

    void MeterUpdate() override { ++meterUpdates; }
    void PushChartPoint() override { ++chartPoints; }
    void DrawTimeMark() override { ++timeMarks; }
    void DrawTimeGauge() override { ++timeGauges; }
    void DrawTimeBar() override { ++timeBars; }
    void RecordingStarted() override { ++recordingsStarted; }
    void ClearGauges() override { ++gaugesCleared; }
    void DeviceNameChanged(const QString& name) override { deviceName = name; }
    void TimeTextChanged(const QString& text) override { timeText = text; }
    void StatusPanelText(int panel, const QString& text) override { panels[panel] = text; }
    void LevelIcon(int index) override { levelIcon = index; }
    void Title(const QString& text) override { title = text; }
    // What the recorder's driver told: error boxes and information boxes.
    void Told(const QString& text, bool error) { (error ? errors : messages) << text; }
    // Hears what `driver` tells.
    void Listen(record::RecorderDriver& driver) {
        QObject::connect(&driver, &record::RecorderDriver::Told,
                         [this](const QString& text, bool error) { Told(text, error); });
    }
};

// A recorder's ports, built by the test: a scripted device and file system, the real clock.
struct RecorderRig {
    ScriptedCapture device;
    ScriptedFileSystem files;
    base::IdleEventPump pump;
    base::SystemClock clock;
    EventLog events;

    record::RecorderPorts Ports() { return {device, files, pump, clock}; }
};

// The ports of a recorder a window test builds: the test's device, a scripted file system, and a
// message pump that runs the test's `step`; given to the window too, the step runs inside the
// recorder's waits and the window's alike.
struct WindowRecorderPorts {
    struct StepPump : base::EventPump {
        void ProcessMessages() override {
            if (step) {
                step();
            }
        }
        std::function<void()> step;
    };
    ScriptedFileSystem files;
    StepPump pump;
    base::SystemClock clock;

    record::RecorderPorts For(record::CaptureDevice& device) {
        return {device, files, pump, clock};
    }
};

// `recorder`'s take, read in its chronological order (RecordedTakeOrder), is exactly the `count`
// stream blocks from `firstIndex` on, as FrameCounter(base) made them.
::testing::AssertionResult TakeIs(const record::Recorder& recorder, uint64_t firstIndex,
                                  uint64_t count, int base = 0);

// A fresh engine over a scripted device and a temporary work folder, with the device open
// (monitoring) and plenty of free space. Time advances only through Run().
class RecordHarness : public ::testing::Test {
  protected:
    RecordHarness();
    void SetUp() override;

    // Hands over `blocks` blocks, `perTick` of them per recording tick (1 is real time; more
    // makes the tick late so that it skips blocks); the status tick runs every fifth tick.
    void Run(int blocks, int perTick = 1);
    // Chooses `modeIndex` in the list and presses Record; remembers the first stream block.
    void StartRecording(int modeIndex);

    // The recording file, read in its chronological order (RecordedTakeOrder), is exactly the
    // `count` stream blocks from `firstIndex` on, as FrameCounter(base) made them.
    ::testing::AssertionResult TakeIs(uint64_t firstIndex, uint64_t count, int base = 0) {
        return testsupport::TakeIs(recorder, firstIndex, count, base);
    }
    // Every block of the file has its peaks under its own block number.
    ::testing::AssertionResult PeaksMatchFile();

    TempDir dir;
    RecorderRig rig;
    ScriptedCapture& device = rig.device;
    ScriptedFileSystem& files = rig.files;
    EventLog& events = rig.events;
    record::Recorder recorder;
    // Where the recorder's failures are caught, as in the program: what it tells lands in
    // `events`. Ticks and commands that may fail go through it.
    record::RecorderDriver driver{recorder};
    const record::State& state = recorder.View();
    // What a test sets up by hand in the recorder's state.
    record::State& probe = record::RecorderProbe::Of(recorder);
    uint64_t firstRecorded = 0;
    int ticks = 0;
};

} // namespace testsupport

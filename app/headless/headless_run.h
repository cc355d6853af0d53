// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/headless/control_channel.h"
#include "base/file_system.h"
#include "export/encoder_library.h"
#include "export/save_now.h"
#include "record/pipeline.h"
#include "record/recorder_driver.h"
#include "setup/settings.h"
#include "setup/work_folder.h"

#include <QString>

#include <functional>
#include <memory>

namespace app {

// One line on standard error: "velmar-recorder: " + `line`.
void Say(const QString& line);

// Before a new recording replaces the recording file, the stopped take in it (if any) is put in
// time order and set aside as a start-up sets a left-over take aside: as the recovery file, else
// under a new unique name; the recorder lets go of it and drops its counts. Returns where the
// take went, or an empty text when there was none. Throws base::UserError when it cannot be set
// aside; the take then stays in the recording file and no recording may start. Not during a
// recording.
QString SetStoppedTakeAside(record::Recorder& recorder, const setup::WorkPaths& paths,
                            const QString& workFolder);

// What the recorder has to tell, one line per event on standard error.
class HeadlessEvents : public record::Events {
  public:
    void DeviceNameChanged(const QString& name) override;
    void RecordingStarted() override { started_ = true; }
    // The recorder has no state yet when it is told; the run reads it afterwards.
    bool TakeStarted() { return Consume(started_); }
    // Whether the input was lost since the last call.
    bool DeviceLost() { return Consume(lost_); }

  private:
    static bool Consume(bool& flag) {
        const bool was = flag;
        flag = false;
        return was;
    }
    QString shownDevice_;
    bool started_ = false;
    bool lost_ = false;
};

// The run without windows: the recorder, its driver, Save Now and what the control channel asks
// of them. A recording asked for at start begins as soon as an input is open (a service may
// start before the sound server has its devices), and one ended by a lost input begins again
// when an input is back, so an unattended loop never stays silent after a replug; one ended by
// a full disk, a write error, the length limit or --stop stays stopped. A new recording never
// overwrites a stopped take: it is put in time order and set aside first, as a start-up sets a
// left-over take aside, and the line says where.
class HeadlessRun : public ControlCommands {
  public:
    HeadlessRun(const record::RecorderPorts& ports, record::RecorderConfig config,
                setup::Settings settings, setup::WorkPaths paths, QString workFolder);

    // Opens the input and starts the ticks; the recording starts once an input is open.
    void Start();
    // One record tick and one status tick, as the timers run them, and what they changed said.
    void Tick();
    // Ends the recording with its last blocks written and lets the take's file go, in time order.
    void Finish();

    const record::Recorder& Recorder() const { return recorder_; }

    Reply Status() override;
    Reply Record() override;
    Reply Stop() override;
    void SaveNow(uint32_t newestBlocks, const QString& folder,
                 std::function<void(Reply)> done) override;
    // SIGUSR1: the whole take into the settings' output folder.
    void SaveNowOnSignal();

  private:
    // Says what the last tick or command changed and starts a recording that waits for an input.
    void AfterTick();
    // Sets a stopped take aside and starts a new recording. False when the take could not be
    // set aside: nothing is started then, so the take stays where it is.
    bool StartNewRecording();
    void SayStopped();

    const setup::Settings settings_;
    const setup::WorkPaths paths_;
    const QString workFolder_;
    base::SystemFileSystem files_;
    HeadlessEvents events_;
    record::Recorder recorder_;
    record::RecorderDriver driver_;
    exporting::SystemEncoderLoader encoders_;
    // Ended (a running save stopped, leaving no file) before the take's file is put in order.
    std::unique_ptr<exporting::SaveNow> saveNow_;
    SaveNowAnswers answers_;
    bool startPending_ = false;
    bool recording_ = false;
};

} // namespace app

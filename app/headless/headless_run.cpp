// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/headless/headless_run.h"

#include "base/errors.h"
#include "record/time_order.h"
#include "setup/startup.h"

#include <QDir>

#include <cstdio>

namespace app {

void Say(const QString& line) {
    std::fprintf(stderr, "velmar-recorder: %s\n", qPrintable(line));
    std::fflush(stderr);
}

void HeadlessEvents::DeviceNameChanged(const QString& name) {
    if (name == shownDevice_) {
        return; // set again after an open attempt
    }
    if (name.isEmpty()) {
        Say("Input device lost: " + shownDevice_);
        lost_ = true;
    } else {
        Say(QString(shownDevice_.isEmpty() ? "Input device opened: " : "Input device now: ") +
            name);
    }
    shownDevice_ = name;
}

QString SetStoppedTakeAside(record::Recorder& recorder, const setup::WorkPaths& paths,
                            const QString& workFolder) {
    const record::TakeOrder order = recorder.RecordedTakeOrder();
    recorder.ReleaseTake();
    record::WriteTakeInTimeOrder(paths.RecordingFilePath.toStdString(), order,
                                 base::SystemFileSystem());
    const QString kept = setup::SetAsideRecording(paths, workFolder);
    // The counts of the take set aside go with it, so neither an exit nor the editor before the
    // next recording sees them over an empty file.
    recorder.DiscardRecording();
    return kept;
}

HeadlessRun::HeadlessRun(const record::RecorderPorts& ports, record::RecorderConfig config,
                         setup::Settings settings, setup::WorkPaths paths, QString workFolder)
    : settings_(std::move(settings)), paths_(std::move(paths)), workFolder_(std::move(workFolder)),
      recorder_(ports, events_, std::move(config)), driver_(recorder_),
      saveNow_(std::make_unique<exporting::SaveNow>(recorder_, encoders_, files_)),
      answers_(*saveNow_) {
    QObject::connect(
        saveNow_.get(), &exporting::SaveNow::Finished, saveNow_.get(),
        [](const QString& path, quint32 blocks, const QString& error) {
            Say(error.isEmpty() ? "saved " + path + " (" + exporting::SavedLengthText(blocks) + ")"
                                : "Save Now failed: " + error);
        },
        Qt::QueuedConnection);
    QObject::connect(&driver_, &record::RecorderDriver::Told,
                     [](const QString& text, bool error) { Say(error ? "Error: " + text : text); });
    QObject::connect(&driver_.StatusTimer(), &QTimer::timeout, [this] { AfterTick(); });
    QObject::connect(&driver_.RecordTimer(), &QTimer::timeout, [this] { AfterTick(); });
}

void HeadlessRun::Start() {
    driver_.Start();
    startPending_ = true;
    AfterTick();
    if (startPending_) {
        Say("Waiting for an input device.");
    }
}

void HeadlessRun::Tick() {
    driver_.RecordTick();
    driver_.StatusTick();
    AfterTick();
}

void HeadlessRun::Finish() {
    saveNow_.reset();
    const bool wasRecording = recorder_.View().Recording;
    driver_.StopTimers();
    driver_.Run([this] { recorder_.CloseDevice(); });
    if (wasRecording) {
        SayStopped();
    }
    const record::TakeOrder order = recorder_.RecordedTakeOrder();
    recorder_.ReleaseTake();
    // The next start keeps the take as a found recording, which opens in file order.
    try {
        record::WriteTakeInTimeOrder(recorder_.View().RecordingFilePath, order, files_);
    } catch (const base::UserError& error) {
        Say(QString("The take could not be put in time order: ") + error.what());
    }
}

ControlCommands::Reply HeadlessRun::Status() {
    return {true, StatusLine(recorder_.View())};
}

ControlCommands::Reply HeadlessRun::Record() {
    if (recorder_.View().Recording) {
        return {true, "already recording"};
    }
    const bool started = StartNewRecording();
    AfterTick();
    if (!started || !recorder_.View().Recording) {
        return {false, "the recording did not start (see the recorder's messages)"};
    }
    startPending_ = false;
    return {true, "recording started"};
}

ControlCommands::Reply HeadlessRun::Stop() {
    startPending_ = false;
    if (!recorder_.View().Recording) {
        return {true, "not recording"};
    }
    driver_.Run([this] { recorder_.StopRecording(); });
    AfterTick();
    return {true, "recording stopped after " + recorder_.View().TimeText};
}

void HeadlessRun::SaveNow(uint32_t newestBlocks, const QString& folder,
                          std::function<void(Reply)> done) {
    answers_.Start(settings_, newestBlocks, folder, std::move(done));
}

void HeadlessRun::SaveNowOnSignal() {
    try {
        saveNow_->Start(settings_);
    } catch (const base::UserError& error) {
        Say(QString("Save Now failed: ") + error.what());
    }
}

void HeadlessRun::AfterTick() {
    const bool lost = events_.DeviceLost();
    if (recording_ && !recorder_.View().Recording) {
        SayStopped();
        if (lost) {
            startPending_ = true;
            Say("Recording again as soon as an input is back.");
        }
    }
    if (startPending_ && !recorder_.View().Recording && !recorder_.View().DeviceName.isEmpty()) {
        startPending_ = false;
        StartNewRecording();
    }
    if (events_.TakeStarted() && recorder_.View().Recording) {
        Say("Recording started: " + record::ModeItemText(recorder_.View().ModeIndex) + " into " +
            QString::fromStdString(recorder_.View().RecordingFilePath));
    }
    recording_ = recorder_.View().Recording;
}

bool HeadlessRun::StartNewRecording() {
    try {
        const QString kept = SetStoppedTakeAside(recorder_, paths_, workFolder_);
        if (!kept.isEmpty()) {
            Say("The stopped take was kept as " + QDir::toNativeSeparators(kept) + ".");
        }
    } catch (const base::UserError& error) {
        Say(QString("Not recording: ") + error.what() + " The stopped take stays in " +
            QDir::toNativeSeparators(paths_.RecordingFilePath) + ".");
        return false;
    }
    driver_.Run([this] { recorder_.StartRecording(); });
    return true;
}

void HeadlessRun::SayStopped() {
    recording_ = false;
    Say("Recording stopped after " + recorder_.View().TimeText + "; the take stays in " +
        QDir::toNativeSeparators(QString::fromStdString(recorder_.View().RecordingFilePath)));
}

} // namespace app

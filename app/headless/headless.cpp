// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/headless/headless.h"

#include "app/headless/control_channel.h"
#include "base/clock.h"
#include "base/errors.h"
#include "base/event_pump.h"
#include "base/file_system.h"
#include "export/encoder_library.h"
#include "export/save_now.h"
#include "platform/qt_capture.h"
#include "record/pipeline.h"
#include "record/recorder_driver.h"
#include "record/time_order.h"
#include "setup/settings.h"
#include "setup/startup.h"
#include "setup/work_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <limits>
#include <memory>
#include <sys/socket.h>
#include <unistd.h>

namespace app {

namespace {

void Say(const QString& line) {
    std::fprintf(stderr, "velmar-recorder: %s\n", qPrintable(line));
    std::fflush(stderr);
}

// The signals that end the run (and SIGUSR1, Save Now) arrive here. A handler may do next to
// nothing safely, so it only writes the signal's number into a socket pair; the event loop reads it
// from the other end. Process-wide by nature: there is one set of signal handlers per process.
int signalSockets[2] = {-1, -1};

void OnSignal(int number) {
    const int saved = errno;
    const char byte = char(number);
    [[maybe_unused]] const ssize_t written = ::write(signalSockets[0], &byte, 1);
    errno = saved;
}

bool CatchSignals() {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalSockets) != 0) {
        return false;
    }
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return ::sigaction(SIGINT, &action, nullptr) == 0 &&
           ::sigaction(SIGTERM, &action, nullptr) == 0 &&
           ::sigaction(SIGUSR1, &action, nullptr) == 0;
}

// What the recorder has to tell, one line per event on standard error.
class HeadlessEvents : public record::Events {
  public:
    void DeviceNameChanged(const QString& name) override {
        if (name == shownDevice_) {
            return; // set again after an open attempt
        }
        if (name.isEmpty()) {
            Say("Input device lost: " + shownDevice_);
        } else {
            Say(QString(shownDevice_.isEmpty() ? "Input device opened: " : "Input device now: ") +
                name);
        }
        shownDevice_ = name;
    }
    void RecordingStarted() override { started_ = true; }
    // The recorder has no state yet when it is told; the run reads it afterwards.
    bool TakeStarted() {
        const bool started = started_;
        started_ = false;
        return started;
    }

  private:
    QString shownDevice_;
    bool started_ = false;
};

// The run without windows: the recorder, its driver and what the control channel asks of them.
class HeadlessRun : public ControlCommands {
  public:
    HeadlessRun(const record::RecorderPorts& ports, record::RecorderConfig config,
                setup::Settings settings)
        : settings_(std::move(settings)), recorder_(ports, events_, std::move(config)),
          driver_(recorder_),
          saveNow_(std::make_unique<exporting::SaveNow>(recorder_, encoders_, files_)),
          answers_(*saveNow_) {
        QObject::connect(
            saveNow_.get(), &exporting::SaveNow::Finished, saveNow_.get(),
            [](const QString& path, quint32 blocks, const QString& error) {
                Say(error.isEmpty()
                        ? "saved " + path + " (" + exporting::SavedLengthText(blocks) + ")"
                        : "Save Now failed: " + error);
            },
            Qt::QueuedConnection);
        QObject::connect(
            &driver_, &record::RecorderDriver::Told,
            [](const QString& text, bool error) { Say(error ? "Error: " + text : text); });
        QObject::connect(&driver_.StatusTimer(), &QTimer::timeout, [this] { AfterTick(); });
        QObject::connect(&driver_.RecordTimer(), &QTimer::timeout, [this] { AfterTick(); });
    }

    void Start() {
        driver_.Start();
        startPending_ = true;
        AfterTick();
        if (startPending_) {
            Say("Waiting for an input device.");
        }
    }

    // Ends the recording with its last blocks written and lets the take's file go.
    void Finish() {
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

    Reply Status() override { return {true, StatusLine(recorder_.View())}; }
    Reply Record() override {
        if (recorder_.View().Recording) {
            return {true, "already recording"};
        }
        driver_.Run([this] { recorder_.StartRecording(); });
        AfterTick();
        if (!recorder_.View().Recording) {
            return {false, "the recording did not start (see the recorder's messages)"};
        }
        startPending_ = false;
        return {true, "recording started"};
    }
    Reply Stop() override {
        startPending_ = false;
        if (!recorder_.View().Recording) {
            return {true, "not recording"};
        }
        driver_.Run([this] { recorder_.StopRecording(); });
        AfterTick();
        return {true, "recording stopped after " + recorder_.View().TimeText};
    }

    void SaveNow(uint32_t newestBlocks, const QString& folder,
                 std::function<void(Reply)> done) override {
        answers_.Start(settings_, newestBlocks, folder, std::move(done));
    }
    // SIGUSR1: the whole take into the settings' output folder.
    void SaveNowOnSignal() {
        try {
            saveNow_->Start(settings_);
        } catch (const base::UserError& error) {
            Say(QString("Save Now failed: ") + error.what());
        }
    }

  private:
    // Says what the last tick or command changed: a recording that started or stopped. A
    // recording asked for at start begins as soon as an input is open (a service may start
    // before the sound server has its devices); once, so a take ended by a lost device or a full
    // disk is never overwritten by a new one.
    void AfterTick() {
        if (startPending_ && !recorder_.View().Recording &&
            !recorder_.View().DeviceName.isEmpty()) {
            startPending_ = false;
            driver_.Run([this] { recorder_.StartRecording(); });
        }
        if (events_.TakeStarted()) {
            Say("Recording started: " + record::ModeItemText(recorder_.View().ModeIndex) +
                " into " + QString::fromStdString(recorder_.View().RecordingFilePath));
        }
        if (recording_ && !recorder_.View().Recording) {
            SayStopped();
        }
        recording_ = recorder_.View().Recording;
    }
    void SayStopped() {
        recording_ = false;
        Say("Recording stopped after " + recorder_.View().TimeText + "; the take stays in " +
            QDir::toNativeSeparators(QString::fromStdString(recorder_.View().RecordingFilePath)));
    }

    const setup::Settings settings_;
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

} // namespace

int HeadlessEntry(int& argc, char** argv, const CommandLine& command) {
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName("Velmar Recorder");
    if (!CatchSignals()) {
        Say("Can not catch SIGINT, SIGTERM and SIGUSR1; not started.");
        return 1;
    }
    const QString executablePath = QCoreApplication::applicationFilePath();
    // One running program per work folder, claimed before start-up touches the folder.
    const QString workFolder = setup::WorkFolderFor(executablePath);
    setup::WorkFolderLock lock;
    if (setup::ClaimWorkFolder(workFolder, lock) == setup::WorkFolderLock::Result::HeldByAnother) {
        Say(QString(setup::AlreadyRunningMessage) + " Its work folder: " + workFolder);
        return 1;
    }
    setup::Started started;
    try {
        started = setup::StartUp(executablePath);
    } catch (const base::UserError& error) {
        Say(QString::fromUtf8(error.what()));
        return 1;
    }
    if (!started.notice.isEmpty()) {
        Say(started.notice);
    }
    Say("Work folder: " + started.environment.WorkFolder);

    platform::QtCapture capture;
    base::SystemFileSystem fileSystem;
    base::QtEventPump events;
    base::SystemClock clock;
    const record::RecorderPorts ports{capture, fileSystem, events, clock};
    const int modeIndex =
        command.modeIndex >= 0 ? command.modeIndex : started.settings.RecordingModeIndex;
    HeadlessRun run(ports,
                    {started.environment.paths.RecordingFilePath.toStdString(), modeIndex,
                     started.environment.paths.DropoutFilePath.toStdString()},
                    started.settings);

    int endSignal = 0;
    QSocketNotifier endSignals(signalSockets[1], QSocketNotifier::Read);
    QObject::connect(&endSignals, &QSocketNotifier::activated, [&endSignal, &run] {
        char byte = 0;
        if (::read(signalSockets[1], &byte, 1) != 1) {
            return;
        }
        if (byte == SIGUSR1) {
            if (endSignal == 0) {
                run.SaveNowOnSignal();
            }
        } else if (endSignal == 0) {
            endSignal = byte;
            QCoreApplication::quit();
        }
    });
    ControlChannel channel(workFolder, run);
    if (!channel.IsListening()) {
        Say("No control channel ($XDG_RUNTIME_DIR is not set or not usable): --status, --record, "
            "--stop and --save-now can not reach this recorder.");
    }
    run.Start();
    QCoreApplication::exec();
    Say(QString("Ending on ") + (endSignal == SIGINT ? "SIGINT" : "SIGTERM") + ".");
    run.Finish();
    Say("Exit.");
    return 0;
}

int CommandEntry(int& argc, char** argv, const CommandLine& command) {
    QCoreApplication application(argc, argv);
    const QString workFolder = setup::WorkFolderFor(QCoreApplication::applicationFilePath());
    QByteArray request = command.action == CommandLine::Action::Status   ? "status"
                         : command.action == CommandLine::Action::Record ? "record"
                                                                         : "stop";
    // A record or stop waits for the device to be opened or closed.
    int waitMs = 10000;
    if (command.action == CommandLine::Action::SaveNow) {
        // The folder as this start sees it: the running program may stand elsewhere.
        const QString folder = command.outputFolder.isEmpty()
                                   ? QString()
                                   : QFileInfo(command.outputFolder).absoluteFilePath();
        request = ControlChannel::SaveNowRequest(
            uint32_t(command.lastSeconds) * uint32_t(base::SampleRate / base::BlockFrames), folder);
        // The answer comes when the save has ended; a 10-hour take as MP3 on a slow machine
        // takes a while, and a running program that goes away closes the connection.
        waitMs = std::numeric_limits<int>::max();
    }
    const ControlChannel::Reply reply = ControlChannel::Send(workFolder, request, waitMs);
    switch (reply.outcome) {
    case ControlChannel::Reply::Outcome::NotRunning:
        std::fprintf(stderr, "%s\n", NotRunningMessage);
        return NotRunningExitStatus;
    case ControlChannel::Reply::Outcome::NoAnswer:
        std::fprintf(stderr, "Velmar Recorder did not answer.\n");
        return 1;
    case ControlChannel::Reply::Outcome::Ok:
        std::printf("%s\n", qPrintable(reply.text));
        return 0;
    case ControlChannel::Reply::Outcome::Error:
        std::fprintf(stderr, "%s\n", qPrintable(reply.text));
        return 1;
    }
    return 1;
}

} // namespace app

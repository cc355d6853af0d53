// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/headless/headless.h"

#include "app/headless/control_channel.h"
#include "app/headless/headless_run.h"
#include "base/clock.h"
#include "base/errors.h"
#include "base/event_pump.h"
#include "base/file_system.h"
#include "platform/pulse_capture.h"
#include "record/pipeline.h"
#include "setup/startup.h"
#include "setup/work_folder.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <limits>
#include <sys/socket.h>
#include <unistd.h>

namespace app {

namespace {

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

    platform::PulseCapture capture;
    base::SystemFileSystem fileSystem;
    base::QtEventPump events;
    base::SystemClock clock;
    const record::RecorderPorts ports{capture, fileSystem, events, clock};
    const int modeIndex =
        command.modeIndex >= 0 ? command.modeIndex : started.settings.RecordingModeIndex;
    HeadlessRun run(ports,
                    {started.environment.paths.RecordingFilePath.toStdString(), modeIndex,
                     started.environment.paths.DropoutFilePath.toStdString()},
                    started.settings, started.environment.paths, workFolder);

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

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>

namespace record {
struct State;
}
namespace exporting {
class SaveNow;
}
namespace setup {
struct Settings;
}

class QLocalSocket;

namespace app {

// What a running program does with the commands the channel brings it.
class ControlCommands {
  public:
    struct Reply {
        bool ok = true;
        QString text; // one line
    };
    virtual ~ControlCommands() = default;
    // A later start of the windowed program asks for the window the user should see.
    virtual void Raise() {}
    virtual Reply Status() = 0;
    virtual Reply Record() = 0;
    virtual Reply Stop() = 0;
    // Starts a Save Now of the newest `newestBlocks` of the take (0: all of it) into `folder`
    // (empty: the settings' output folder) and calls `done` once the save has ended: ok with the
    // file's path, or the failure. `done` may be called before this returns.
    virtual void SaveNow(uint32_t newestBlocks, const QString& folder,
                         std::function<void(Reply)> done) = 0;
};

// One line on what a recorder does: recording or not, the mode, the recorded time, the device.
// "recording, Loop 3 min, 00:01:12, device: Built-in Audio"
QString StatusLine(const record::State& state);

// How other starts of the program reach the running one, windowed or headless: a local socket in
// $XDG_RUNTIME_DIR named after the work folder, open to this user only. A caller sends one line,
// "raise", "status", "record", "stop" or "save-now BLOCKS [FOLDER]" (FOLDER percent-encoded), and
// gets one line back, "ok TEXT" or "error TEXT", and the connection is closed; a save-now is
// answered when the save has ended, however long that takes. Anything else (other text, a line
// longer than MaxRequestBytes, bytes that are not printable ASCII) is answered with an error line
// and the connection closed; a caller that sends nothing is dropped after a second. Without
// $XDG_RUNTIME_DIR there is no channel; the work-folder lock alone keeps a second start out.
class ControlChannel : public QObject {
    Q_OBJECT
  public:
    // Longer than any request: a caller that sends more is not one of ours.
    // Room for a save-now with a folder path of 4096 bytes, each percent-encoded.
    static constexpr qint64 MaxRequestBytes = 12400;

    // Listens on the work folder's name. Only the holder of the work folder's lock may create
    // one: a socket already there can only be a killed run's, and is replaced. `commands` must
    // outlive the channel.
    ControlChannel(const QString& workFolder, ControlCommands& commands, QObject* parent = nullptr);
    bool IsListening() const { return server_.isListening(); }

    // The socket's path for a work folder; empty without $XDG_RUNTIME_DIR.
    static QString NameFor(const QString& workFolder);

    // The answer line (with its line end) to one request line as read, line end included.
    // A save-now is answered through `reply` once the save has ended; every other request before
    // Answer returns.
    static void Answer(const QByteArray& request, ControlCommands& commands,
                       const std::function<void(QByteArray)>& reply);
    // The request line (without line end) for a save-now.
    static QByteArray SaveNowRequest(uint32_t newestBlocks, const QString& folder);

    // A caller's side: sends `request` (without line end) to the program running on
    // `workFolder` and waits up to `waitMs` for its answer.
    struct Reply {
        enum class Outcome {
            NotRunning, // nobody listens on the work folder's name
            NoAnswer,   // the program took the request but did not answer in time
            Ok,
            Error,
        };
        Outcome outcome = Outcome::NotRunning;
        QString text;
    };
    static Reply Send(const QString& workFolder, const QByteArray& request, int waitMs);
    // A later start asks the running program to come to the front; false when no running
    // program took the request.
    static bool AskToRaise(const QString& workFolder);

  private:
    void Accept();
    void Read(QLocalSocket* socket);

    QLocalServer server_;
    ControlCommands& commands_;
};

// Serves the channel's save-now with a program's Save Now: starts it and answers once it has
// ended. Saves started elsewhere (the main window's menu) end without an answer here.
class SaveNowAnswers : public QObject {
    Q_OBJECT
  public:
    explicit SaveNowAnswers(exporting::SaveNow& saveNow);
    // Saves into `folder` when it is given, else the output folder of `settings`.
    void Start(setup::Settings settings, uint32_t newestBlocks, const QString& folder,
               std::function<void(ControlCommands::Reply)> done);

  private:
    exporting::SaveNow& saveNow_;
    std::function<void(ControlCommands::Reply)> pending_;
};

// Said by a command when no program runs on the work folder; it then exits with
// NotRunningExitStatus.
inline constexpr char NotRunningMessage[] = "Velmar Recorder is not running.";
inline constexpr int NotRunningExitStatus = 3;

} // namespace app

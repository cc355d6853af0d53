// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/headless/control_channel.h"

#include "base/errors.h"
#include "export/save_now.h"
#include "record/pipeline.h"
#include "setup/settings.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalSocket>
#include <QPointer>
#include <QTimer>

namespace app {

namespace {
constexpr int WaitMs = 1000;

QByteArray Line(bool ok, const QString& text) {
    QByteArray line = ok ? "ok" : "error";
    if (!text.isEmpty()) {
        // One line each way: a text with a line break in it must not end the answer early.
        QString flat = text;
        flat.replace('\n', ' ').replace('\r', ' ');
        line += ' ' + flat.toUtf8();
    }
    return line + '\n';
}

bool PrintableAscii(const QByteArray& text) {
    for (const char c : text) {
        if (c < 0x20 || c > 0x7e) {
            return false;
        }
    }
    return true;
}
} // namespace

QString StatusLine(const record::State& state) {
    return QString("%1, %2, %3, device: %4")
        .arg(state.Recording ? "recording" : "not recording", record::ModeItemText(state.ModeIndex),
             state.TimeText, state.DeviceName.isEmpty() ? QString("none") : state.DeviceName);
}

QString ControlChannel::NameFor(const QString& workFolder) {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (runtime.isEmpty() || workFolder.isEmpty()) {
        return {};
    }
    // Hashed: a folder's path may be longer than a socket's path may be.
    QString folder = QFileInfo(workFolder).canonicalFilePath();
    if (folder.isEmpty()) {
        folder = QFileInfo(workFolder).absoluteFilePath();
    }
    const QByteArray hash =
        QCryptographicHash::hash(folder.toUtf8(), QCryptographicHash::Sha256).toHex().left(16);
    return runtime + "/velmar-recorder-" + QString::fromLatin1(hash);
}

QByteArray ControlChannel::SaveNowRequest(uint32_t newestBlocks, const QString& folder) {
    QByteArray request = "save-now " + QByteArray::number(newestBlocks);
    if (!folder.isEmpty()) {
        request += ' ' + folder.toUtf8().toPercentEncoding();
    }
    return request;
}

void ControlChannel::Answer(const QByteArray& request, ControlCommands& commands,
                            const std::function<void(QByteArray)>& reply) {
    if (request.size() > MaxRequestBytes) {
        return reply(Line(false, "request too long"));
    }
    if (!request.endsWith('\n')) {
        return reply(Line(false, "request without line end"));
    }
    const QByteArray command = request.chopped(1);
    if (!PrintableAscii(command)) {
        return reply(Line(false, "malformed request"));
    }
    if (command == "save-now" || command.startsWith("save-now ")) {
        const QList<QByteArray> words = command.split(' ');
        bool number = false;
        const uint newest = words.size() >= 2 ? words[1].toUInt(&number) : 0;
        // The most a 10-hour take holds; digits only, as SaveNowRequest writes them.
        const bool blocksOk = number && newest <= 360000 && !words[1].startsWith('+');
        const QString folder =
            words.size() == 3 ? QString::fromUtf8(QByteArray::fromPercentEncoding(words[2])) : "";
        if (words.size() < 2 || words.size() > 3 || !blocksOk ||
            (words.size() == 3 && folder.isEmpty())) {
            return reply(Line(false, "malformed save-now request"));
        }
        commands.SaveNow(newest, folder,
                         [reply](const ControlCommands::Reply& r) { reply(Line(r.ok, r.text)); });
        return;
    }
    ControlCommands::Reply answer;
    if (command == "raise") {
        commands.Raise();
    } else if (command == "status") {
        answer = commands.Status();
    } else if (command == "record") {
        answer = commands.Record();
    } else if (command == "stop") {
        answer = commands.Stop();
    } else {
        return reply(Line(false, "unknown request \"" + QString::fromLatin1(command.left(64)) +
                                     (command.size() > 64 ? "...\"" : "\"")));
    }
    reply(Line(answer.ok, answer.text));
}

ControlChannel::ControlChannel(const QString& workFolder, ControlCommands& commands,
                               QObject* parent)
    : QObject(parent), commands_(commands) {
    const QString name = NameFor(workFolder);
    if (name.isEmpty()) {
        return;
    }
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    QLocalServer::removeServer(name);
    // Without the channel no other start can reach this program; nothing else is lost.
    if (server_.listen(name)) {
        connect(&server_, &QLocalServer::newConnection, this, &ControlChannel::Accept);
    }
}

void ControlChannel::Accept() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        socket->setReadBufferSize(MaxRequestBytes);
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { Read(socket); });
        // A caller that never finishes its line is dropped.
        auto* idle = new QTimer(socket);
        idle->setObjectName("idle");
        idle->setSingleShot(true);
        connect(idle, &QTimer::timeout, socket, [socket] { socket->abort(); });
        idle->start(WaitMs);
        if (socket->bytesAvailable() > 0) {
            Read(socket);
        }
    }
}

void ControlChannel::Read(QLocalSocket* socket) {
    QByteArray request;
    if (socket->canReadLine()) {
        request = socket->readLine(MaxRequestBytes + 1);
    } else if (socket->bytesAvailable() >= MaxRequestBytes) {
        request = socket->read(MaxRequestBytes + 1); // a full buffer without a line end
        request += "..";                             // longer than any request
    } else {
        return; // the rest of the line is still to come
    }
    if (QTimer* idle = socket->findChild<QTimer*>("idle")) {
        idle->stop();
    }
    disconnect(socket, &QLocalSocket::readyRead, this, nullptr); // one request per connection
    // A command may show a window of its own (an error box of the windowed program) and run the
    // event loop meanwhile; the caller may be gone by then.
    // A save-now answers once the save has ended; the caller may have given up meanwhile.
    QPointer<QLocalSocket> caller(socket);
    Answer(request, commands_, [caller](const QByteArray& answer) {
        if (caller && caller->state() == QLocalSocket::ConnectedState) {
            caller->write(answer);
            caller->disconnectFromServer(); // sends the answer first
        }
    });
}

ControlChannel::Reply ControlChannel::Send(const QString& workFolder, const QByteArray& request,
                                           int waitMs) {
    Reply reply;
    const QString name = NameFor(workFolder);
    if (name.isEmpty()) {
        return reply;
    }
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(WaitMs)) {
        return reply;
    }
    reply.outcome = Reply::Outcome::NoAnswer;
    socket.write(request + '\n');
    if (!socket.waitForBytesWritten(WaitMs)) {
        return reply;
    }
    QElapsedTimer waited;
    waited.start();
    while (!socket.canReadLine() && socket.state() == QLocalSocket::ConnectedState &&
           waited.elapsed() < waitMs) {
        socket.waitForReadyRead(int(std::max<qint64>(1, waitMs - waited.elapsed())));
    }
    if (!socket.canReadLine()) {
        return reply;
    }
    const QString line = QString::fromUtf8(socket.readLine()).trimmed();
    if (line == "ok" || line.startsWith("ok ")) {
        reply.outcome = Reply::Outcome::Ok;
        reply.text = line.mid(3);
    } else {
        reply.outcome = Reply::Outcome::Error;
        reply.text = line.startsWith("error ") ? line.mid(6) : line;
    }
    return reply;
}

bool ControlChannel::AskToRaise(const QString& workFolder) {
    return Send(workFolder, "raise", WaitMs).outcome == Reply::Outcome::Ok;
}

SaveNowAnswers::SaveNowAnswers(exporting::SaveNow& saveNow) : saveNow_(saveNow) {
    // Queued: the save ends on its worker thread.
    connect(
        &saveNow_, &exporting::SaveNow::Finished, this,
        [this](const QString& path, quint32, const QString& error) {
            if (!pending_) {
                return;
            }
            const auto done = std::move(pending_);
            pending_ = nullptr;
            done(error.isEmpty() ? ControlCommands::Reply{true, path}
                                 : ControlCommands::Reply{false, error});
        },
        Qt::QueuedConnection);
}

void SaveNowAnswers::Start(setup::Settings settings, uint32_t newestBlocks, const QString& folder,
                           std::function<void(ControlCommands::Reply)> done) {
    if (!folder.isEmpty()) {
        settings.OutputFolder = folder;
    }
    try {
        saveNow_.Start(settings, newestBlocks);
    } catch (const base::UserError& error) {
        done({false, QString::fromUtf8(error.what())});
        return;
    }
    pending_ = std::move(done);
}

} // namespace app

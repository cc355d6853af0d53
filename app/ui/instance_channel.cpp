// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ui/instance_channel.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QLocalSocket>
#include <QTimer>

namespace app {

namespace {
const QByteArray RaiseRequest = "raise\n";
// Longer than any request: a caller that sends more is not one of ours.
constexpr qint64 MaxRequestBytes = 64;
constexpr int WaitMs = 1000;
} // namespace

QString InstanceChannel::NameFor(const QString& workFolder) {
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

InstanceChannel::InstanceChannel(const QString& workFolder, std::function<void()> raise,
                                 QObject* parent)
    : QObject(parent), raise_(std::move(raise)) {
    const QString name = NameFor(workFolder);
    if (name.isEmpty()) {
        return;
    }
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    QLocalServer::removeServer(name);
    // Without the channel a later start only cannot raise this window; nothing else is lost.
    if (server_.listen(name)) {
        connect(&server_, &QLocalServer::newConnection, this, &InstanceChannel::Accept);
    }
}

void InstanceChannel::Accept() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        socket->setReadBufferSize(MaxRequestBytes);
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { Read(socket); });
        QTimer::singleShot(WaitMs, socket, [socket] { socket->abort(); });
        if (socket->bytesAvailable() > 0) {
            Read(socket);
        }
    }
}

void InstanceChannel::Read(QLocalSocket* socket) {
    if (!socket->canReadLine()) {
        if (socket->bytesAvailable() >= MaxRequestBytes) {
            socket->abort(); // a full buffer without a line end
        }
        return;
    }
    const QByteArray line = socket->readLine(MaxRequestBytes);
    socket->disconnectFromServer(); // tells the caller its request was read
    if (line == RaiseRequest && raise_) {
        raise_();
    }
}

bool InstanceChannel::AskToRaise(const QString& workFolder) {
    const QString name = NameFor(workFolder);
    if (name.isEmpty()) {
        return false;
    }
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(WaitMs)) {
        return false;
    }
    socket.write(RaiseRequest);
    if (!socket.waitForBytesWritten(WaitMs)) {
        return false;
    }
    return socket.state() == QLocalSocket::UnconnectedState || socket.waitForDisconnected(WaitMs);
}

} // namespace app

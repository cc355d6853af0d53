// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

#include <functional>

class QLocalSocket;

namespace app {

// How a later start on the same work folder reaches the running program: a local socket in
// $XDG_RUNTIME_DIR named after the work folder, open to this user only. The later start sends
// one line, "raise", and the running program brings its front window forward. Anything else
// (other text, an overlong line, a caller that sends nothing) is dropped. Without
// $XDG_RUNTIME_DIR there is no channel; the work-folder lock alone keeps the second start out.
class InstanceChannel : public QObject {
    Q_OBJECT
  public:
    // Listens on the work folder's name. Only the holder of the work folder's lock may create
    // one: a socket already there can only be a killed run's, and is replaced.
    InstanceChannel(const QString& workFolder, std::function<void()> raise,
                    QObject* parent = nullptr);
    bool IsListening() const { return server_.isListening(); }

    // The socket's path for a work folder; empty without $XDG_RUNTIME_DIR.
    static QString NameFor(const QString& workFolder);
    // A later start asks the running program to come to the front. Waits at most about a
    // second per step; false when no running program took the request.
    static bool AskToRaise(const QString& workFolder);

  private:
    void Accept();
    void Read(QLocalSocket* socket);

    QLocalServer server_;
    std::function<void()> raise_;
};

} // namespace app

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

namespace testsupport {

// Standard output of a reference tool (soxi, ffprobe), trimmed; empty when it cannot run.
inline QString ToolOutput(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000)) {
        return {};
    }
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

} // namespace testsupport

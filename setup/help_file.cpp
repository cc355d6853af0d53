// SPDX-License-Identifier: GPL-3.0-or-later
#include "setup/help_file.h"

#include "base/folders.h"

#include <QDir>
#include <QFileInfo>

namespace setup {

QStringList HelpFileCandidates(const QString& executablePath) {
    QFileInfo executable(executablePath);
    const QString name = executable.completeBaseName() + ".html";
    // cleanPath turns "<prefix>/bin/../share" into "<prefix>/share", the path a viewer shows.
    return {executable.path() + "/" + name,
            QDir::cleanPath(executable.path() + "/../share/doc/velmar-recorder/" + name)};
}

QString HelpFilePath(const QString& executablePath) {
    for (const QString& candidate : HelpFileCandidates(executablePath)) {
        if (base::FileExists(candidate.toStdString())) {
            return candidate;
        }
    }
    return {};
}

QString HelpMissingMessage(const QString& executablePath) {
    return "The user guide was not found. It is looked for at:\n" +
           HelpFileCandidates(executablePath).join("\n");
}

} // namespace setup

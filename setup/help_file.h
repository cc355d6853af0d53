// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

namespace setup {

// The user guide that Help › Help Contents opens in both windows: an HTML page named after the
// executable with ".html". Looked for beside the executable first (a run from the build folder,
// where the build copies it), then in "<prefix>/share/doc/velmar-recorder/" of an installed
// program, the prefix being the parent of the executable's folder. The places, in that order.
QStringList HelpFileCandidates(const QString& executablePath);

// The first candidate that exists as a file; empty when there is none.
QString HelpFilePath(const QString& executablePath);

// What the windows say when HelpFilePath is empty: names every place that was looked in.
QString HelpMissingMessage(const QString& executablePath);

} // namespace setup

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

namespace setup {

// Where the program runs from, which decides where it keeps its files. In place (the build
// folder, a copy in the user's own files): the settings file and the Temp work folder lie beside
// the executable. Installed (a prefix such as /usr or /opt that only the administrator writes):
// nothing can be written beside the executable, so both go to the user's XDG folders.
enum class Placement { InPlace, Installed };

// Installed exactly when no file can be created in the executable's folder; probed once at
// start-up with a real file, because permission bits alone do not tell (root, read-only mounts,
// access lists).
Placement PlacementOf(const QString& executablePath);

} // namespace setup

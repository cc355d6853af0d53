// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "setup/settings.h"
#include "setup/startup.h"

#include <QString>

namespace platform {
class Dialogs;
}

namespace app {

// A run as the program entry starts it, before any window: where its files go and its
// settings, both lent to the windows that need them.
struct StartedRun {
    setup::Environment environment;
    setup::SettingsStore settings;
    // Why start-up found no work folder ("Can not create ..."); Record and Edit repeat it. Empty
    // when it found one.
    QString startupError;
};

// setup::StartUp, its notice or failure shown through `dialogs`. A failed start-up is not the end
// of the run: it goes on without a work folder and with the default settings, as the window
// still opens.
StartedRun StartRun(const QString& executablePath, platform::Dialogs& dialogs);

} // namespace app

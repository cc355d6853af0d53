// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ui/started_run.h"

#include "base/errors.h"
#include "platform/dialogs.h"

namespace app {

StartedRun StartRun(const QString& executablePath, platform::Dialogs& dialogs) {
    try {
        setup::Started started = setup::StartUp(executablePath);
        if (!started.notice.isEmpty()) {
            dialogs.ShowMessage(started.notice);
        }
        return {
            std::move(started.environment), setup::SettingsStore(std::move(started.settings)), {}};
    } catch (const base::UserError& error) {
        // Shown as an unhandled error would be; the window still opens, without work files,
        // settings or device.
        const QString text = QString::fromUtf8(error.what());
        dialogs.ShowError(text);
        return {setup::EnvironmentWithoutWorkFolder(executablePath), setup::SettingsStore(), text};
    }
}

} // namespace app

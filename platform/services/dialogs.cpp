// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/services/dialogs.h"

namespace platform {

namespace {
class SilentDialogs : public Dialogs {
public:
    void ShowMessage(const QString&) override {}
    void ShowError(const QString&) override {}
    bool Confirm(const QString&) override { return false; }
    QString InputBox(const QString&, const QString&, const QString& defaultText) override {
        return defaultText;
    }
};

SilentDialogs silent;
Dialogs* current = &silent;
} // namespace

Dialogs& CurrentDialogs() { return *current; }
void SetDialogs(Dialogs* dialogs) { current = dialogs ? dialogs : &silent; }

} // namespace platform

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/dialogs.h"

namespace platform {

// Message and input boxes shown with Qt Widgets, parented to the active window.
class WidgetDialogs : public Dialogs {
public:
    void ShowMessage(const QString& text) override;
    void ShowError(const QString& text) override;
    bool Confirm(const QString& text) override;
    QString InputBox(const QString& caption, const QString& prompt,
                     const QString& defaultText) override;
    QString SaveFileName(const QString& caption, const QString& filter, const QString& folder,
                         const QString& defaultSuffix) override;
};

} // namespace platform

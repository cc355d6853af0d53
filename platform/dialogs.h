// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace platform {

// Message and input boxes. Windows show every user-facing text through this one port, which the
// program entry builds once (platform::WidgetDialogs) and passes to the windows' constructors;
// tests pass their own and answer it without a screen. The engine never calls it.
class Dialogs {
public:
    virtual ~Dialogs() = default;
    // An information box with an OK button.
    virtual void ShowMessage(const QString& text) = 0;
    // An error box, as the application's default error handler shows an unhandled error.
    virtual void ShowError(const QString& text) = 0;
    // A confirmation with Yes and No; true for Yes.
    virtual bool Confirm(const QString& text) = 0;
    // An input box: returns the entered text, or defaultText when the user cancels.
    virtual QString InputBox(const QString& caption, const QString& prompt,
                             const QString& defaultText) = 0;
    // A file-save dialog opened in `folder` with an empty file name. `filter` is one entry,
    // description and mask joined by a bar ("44100Hz 16bit stereo (*.wav)|*.WAV");
    // `defaultSuffix` ("wav") is appended to a name typed without one. The dialog asks before
    // replacing an existing file. Returns the chosen full path, or an empty text when the user
    // cancels.
    virtual QString SaveFileName(const QString& caption, const QString& filter,
                                 const QString& folder, const QString& defaultSuffix) {
        (void)caption, (void)filter, (void)folder, (void)defaultSuffix;
        return {};
    }
};

} // namespace platform

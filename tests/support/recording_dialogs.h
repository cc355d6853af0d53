// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/dialogs.h"
#include "platform/shell.h"

#include <QString>
#include <QStringList>
#include <deque>

namespace testsupport {

// Answers message and input boxes without a screen and remembers what was shown.
class RecordingDialogs : public platform::Dialogs {
public:
    void ShowMessage(const QString& text) override { messages << text; }
    void ShowError(const QString& text) override { errors << text; }
    bool Confirm(const QString& text) override {
        confirmations << text;
        if (confirmAnswers.empty()) {
            return false;
        }
        bool answer = confirmAnswers.front();
        confirmAnswers.pop_front();
        return answer;
    }
    QString InputBox(const QString& caption, const QString& prompt,
                     const QString& defaultText) override {
        inputs << caption + "|" + prompt;
        if (inputAnswers.empty()) {
            return defaultText;  // as a cancelled box answers
        }
        QString answer = inputAnswers.front();
        inputAnswers.pop_front();
        return answer;
    }

    // Each request as "caption|filter|folder|suffix"; answers are full paths, an empty one (or
    // none left) cancels.
    QString SaveFileName(const QString& caption, const QString& filter, const QString& folder,
                         const QString& defaultSuffix) override {
        saveRequests << QStringList{caption, filter, folder, defaultSuffix}.join("|");
        if (saveAnswers.empty()) {
            return {};
        }
        QString answer = saveAnswers.front();
        saveAnswers.pop_front();
        return answer;
    }

    QStringList messages, errors, confirmations, inputs, saveRequests;
    std::deque<bool> confirmAnswers;
    std::deque<QString> inputAnswers, saveAnswers;
};

// Starts nothing: remembers each program it was asked to start as "program arguments...".
class RecordingLauncher : public platform::Launcher {
  public:
    bool Start(const QString& program, const QStringList& arguments) override {
        launches << (QStringList{program} + arguments).join(' ');
        return succeeds;
    }
    QStringList launches;
    bool succeeds = true; // what every start answers
};

} // namespace testsupport

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

namespace app {

// What the program was asked to do by its arguments (the program's name not included).
struct CommandLine {
    enum class Action {
        Windows,  // no arguments: the windowed program
        Headless, // --headless: record without windows
        Status,   // --status, --record, --stop: a command to the running program
        Record,
        Stop,
        SaveNow, // --save-now [--last DURATION] [--output DIR]
        Usage,   // the arguments make no sense: `error` says why, then the usage text
    };
    Action action = Action::Windows;
    // For --headless: the recording-mode list item asked for (0 "Continuous", 1..7 the loops),
    // or -1 for the one in the settings file.
    int modeIndex = -1;
    // For --save-now: the newest seconds to save (0: the whole take) and the folder to save
    // into (empty: the settings' output folder).
    int lastSeconds = 0;
    QString outputFolder;
    QString error;
};

// Exit status of a usage error.
inline constexpr int UsageExitStatus = 2;

// "90s", "5m" or "90" as seconds; 0 when the text is no such duration.
int ParseDuration(const QString& text);

CommandLine ParseCommandLine(const QStringList& arguments);

// What the program accepts, for standard error after a usage error.
QString UsageText(const QString& programName);

} // namespace app

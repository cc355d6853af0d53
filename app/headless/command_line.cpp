// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/headless/command_line.h"

namespace app {

namespace {
// The loop lengths of the recording-mode list, items 1..7.
constexpr int LoopMinutes[] = {3, 5, 10, 15, 20, 30, 60};

CommandLine Usage(const QString& error) {
    CommandLine line;
    line.action = CommandLine::Action::Usage;
    line.error = error;
    return line;
}

// The item of the mode list for a loop of `text` minutes; 0 when there is no such loop.
int LoopItem(const QString& text) {
    bool number = false;
    const int minutes = text.toInt(&number);
    if (!number) {
        return 0;
    }
    for (int i = 0; i < int(std::size(LoopMinutes)); ++i) {
        if (LoopMinutes[i] == minutes) {
            return i + 1;
        }
    }
    return 0;
}
} // namespace

CommandLine ParseCommandLine(const QStringList& arguments) {
    if (arguments.isEmpty()) {
        return {};
    }
    const QString& first = arguments.first();
    if (first == "--status" || first == "--record" || first == "--stop") {
        if (arguments.size() > 1) {
            return Usage(first + " takes no further arguments.");
        }
        CommandLine line;
        line.action = first == "--status"   ? CommandLine::Action::Status
                      : first == "--record" ? CommandLine::Action::Record
                                            : CommandLine::Action::Stop;
        return line;
    }
    if (first != "--headless") {
        return Usage("Unknown argument: " + first);
    }
    CommandLine line;
    line.action = CommandLine::Action::Headless;
    bool modeGiven = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument != "--loop" && argument != "--continuous") {
            return Usage("Unknown argument: " + argument);
        }
        if (modeGiven) {
            return Usage("Give one of --loop MINUTES and --continuous, once.");
        }
        modeGiven = true;
        if (argument == "--continuous") {
            line.modeIndex = 0;
            continue;
        }
        if (i + 1 >= arguments.size()) {
            return Usage("--loop needs the loop's length in minutes: 3, 5, 10, 15, 20, 30 or 60.");
        }
        line.modeIndex = LoopItem(arguments[++i]);
        if (line.modeIndex == 0) {
            return Usage("A loop is 3, 5, 10, 15, 20, 30 or 60 minutes long, not \"" +
                         arguments[i] + "\".");
        }
    }
    return line;
}

QString UsageText(const QString& programName) {
    return QString("Usage:\n"
                   "  %1                 the recorder with its window\n"
                   "  %1 --headless [--loop MINUTES | --continuous]\n"
                   "      record without windows: a loop of 3, 5, 10, 15, 20, 30 or 60 minutes,\n"
                   "      or without end; with neither option, the mode of the settings file\n"
                   "  %1 --status        say what the running recorder does\n"
                   "  %1 --record        start a recording in the running recorder\n"
                   "  %1 --stop          stop the running recorder's recording\n")
        .arg(programName);
}

} // namespace app

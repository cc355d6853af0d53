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
CommandLine ParseSaveNow(const QStringList& arguments) {
    CommandLine line;
    line.action = CommandLine::Action::SaveNow;
    bool lastGiven = false;
    bool outputGiven = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument != "--last" && argument != "--output") {
            return Usage("Unknown argument: " + argument);
        }
        bool& given = argument == "--last" ? lastGiven : outputGiven;
        if (given) {
            return Usage(argument + " is given twice.");
        }
        given = true;
        if (i + 1 >= arguments.size()) {
            return Usage(argument == "--last" ? "--last needs a duration such as 90s or 5m."
                                              : "--output needs a folder.");
        }
        const QString& value = arguments[++i];
        if (argument == "--output") {
            if (value.isEmpty()) {
                return Usage("--output needs a folder.");
            }
            line.outputFolder = value;
            continue;
        }
        line.lastSeconds = ParseDuration(value);
        if (line.lastSeconds == 0) {
            return Usage("--last takes a duration such as 90s or 5m, not \"" + value + "\".");
        }
    }
    return line;
}
} // namespace

int ParseDuration(const QString& text) {
    // Ten hours, the longest take, in seconds: anything longer is a typing error.
    constexpr int Longest = 10 * 3600;
    int unit = 1;
    QString number = text;
    if (text.endsWith('s')) {
        number.chop(1);
    } else if (text.endsWith('m')) {
        number.chop(1);
        unit = 60;
    }
    for (const QChar c : number) {
        if (c < '0' || c > '9') {
            return 0; // no sign, space or fraction
        }
    }
    bool ok = false;
    const int value = number.toInt(&ok);
    if (!ok || value <= 0 || value > Longest / unit) {
        return 0;
    }
    return value * unit;
}

CommandLine ParseCommandLine(const QStringList& arguments) {
    if (arguments.isEmpty()) {
        return {};
    }
    const QString& first = arguments.first();
    if (first == "--save-now") {
        return ParseSaveNow(arguments);
    }
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
                   "  %1 --stop          stop the running recorder's recording\n"
                   "  %1 --save-now [--last DURATION] [--output DIR]\n"
                   "      the running recorder saves its take now (the newest DURATION of it,\n"
                   "      such as 90s or 5m) into DIR or its output folder, and says where\n")
        .arg(programName);
}

} // namespace app

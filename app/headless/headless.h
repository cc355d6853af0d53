// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/headless/command_line.h"

namespace app {

// The recorder without windows (--headless): a QCoreApplication, the windowed program's settings
// file, work folder, lock and left-over rule, and a recording from the default input in the mode
// `command` asks for (else the settings file's) that starts as soon as an input is there. One
// line per event goes to standard error. SIGINT and SIGTERM stop the recording and end the run
// with 0; the take stays in the work folder in time order, where the next start keeps it as a
// found recording. Another program running on the work folder, or no usable work folder: said
// on standard error, and 1.
int HeadlessEntry(int& argc, char** argv, const CommandLine& command);

// --status, --record and --stop: sends the command to the program running on this program's
// work folder and prints its answer (standard output when it did it, standard error when not).
// Returns 0 when done, 1 when refused or unanswered, NotRunningExitStatus when nothing runs.
int CommandEntry(int& argc, char** argv, const CommandLine& command);

} // namespace app

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

class TFormMain;

namespace app {

// The program entry: initialises the application, titles it "Velmar Recorder", creates the six
// windows in their fixed order and runs the message loop until the main window closes.
// `started` (for tests) runs once the main window is shown, before the loop.
int ProgramEntry(int& argc, char** argv, const std::function<void(TFormMain&)>& started = {});

} // namespace app

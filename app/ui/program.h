// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <functional>

class TFormMain;
namespace platform {
class Dialogs;
}
namespace playback {
class OutputDevice;
}

namespace record {
class CaptureDevice;
}

namespace app {

// The program entry: initialises the application, titles it "Velmar Recorder", creates the six
// windows in their fixed order and runs the message loop until the main window closes. First it
// takes the work folder's lock; when another running program holds it, it asks that one to come
// to the front, says "Velmar Recorder is already running." and returns 0 without a window or a
// change in the work folder.
struct EntryHooks {
    // Runs once the main window is shown, before the message loop.
    std::function<void(TFormMain&)> started;
    // Message and input boxes to use instead of the widget ones (not owned).
    platform::Dialogs* dialogs = nullptr;
    // The capture device to record from instead of the sound server's default one (not owned).
    record::CaptureDevice* captureDevice = nullptr;
    // The editor's output device instead of the sound server's default one (not owned).
    playback::OutputDevice* output = nullptr;
    // The program's own path when empty; a test gives a path in a folder of its own, so its
    // settings file and Temp folder are its own.
    QString executablePath;
};
// Without a display to open the windows on it says so on standard error, and that --headless
// records without windows, and returns 1.
int ProgramEntry(int& argc, char** argv, const EntryHooks& hooks = {});

// Whether the windows have a screen: DISPLAY or WAYLAND_DISPLAY is set, or QT_QPA_PLATFORM names
// a platform that needs neither (offscreen, minimal, ...).
bool DisplayAvailable();

} // namespace app

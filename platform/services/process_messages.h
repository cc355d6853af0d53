// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

namespace platform {

// Lets the window system process pending messages once. Long operations call it after every
// block so timers repaint and Cancel is heard. The application installs
// QCoreApplication::processEvents; tests install their own (for example to press Cancel midway).
// With nothing installed it does nothing.
void ProcessMessages();
void SetProcessMessages(std::function<void()> handler);

} // namespace platform

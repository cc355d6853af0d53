// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace base {

// Lets the window system process pending messages once. Long operations (editing, export, the
// found-recording load) call it after every block or chunk, so timers repaint and Cancel is
// heard. Passed by reference to whatever runs long; a test gives its own, for example one that
// presses Cancel midway.
class EventPump {
  public:
    virtual ~EventPump() = default;
    virtual void ProcessMessages() = 0;
};

// The program's pump: QCoreApplication::processEvents.
class QtEventPump final : public EventPump {
  public:
    void ProcessMessages() override;
};

// A pump that does nothing: for a run without an event loop.
class IdleEventPump final : public EventPump {
  public:
    void ProcessMessages() override {}
};

} // namespace base

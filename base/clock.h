// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QTime>

#include <chrono>

namespace base {

// Time as the engine reads it: the time of day for what the user is shown (status panels, file
// names) and a monotonic clock for measuring how long something took. A test gives a clock it
// moves itself.
class Clock {
  public:
    virtual ~Clock() = default;
    virtual QTime TimeOfDay() const = 0;
    // Date and time of day, local: what a saved file is named after.
    virtual QDateTime Now() const = 0;
    // Never goes back; its origin means nothing.
    virtual std::chrono::nanoseconds Monotonic() const = 0;
};

class SystemClock final : public Clock {
  public:
    QTime TimeOfDay() const override;
    QDateTime Now() const override;
    std::chrono::nanoseconds Monotonic() const override;
};

} // namespace base

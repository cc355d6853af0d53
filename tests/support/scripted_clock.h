// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/clock.h"

#include <chrono>

namespace testsupport {

// A clock the test moves: monotonic time starts at an hour and only Advance changes it; the
// time of day follows it from noon.
class ScriptedClock : public base::Clock {
  public:
    void Advance(std::chrono::nanoseconds by) { now_ += by; }
    QTime TimeOfDay() const override { return Now().time(); }
    QDateTime Now() const override {
        return QDateTime(QDate(2026, 1, 1), QTime(12, 0))
            .addMSecs(std::chrono::duration_cast<std::chrono::milliseconds>(now_).count());
    }
    std::chrono::nanoseconds Monotonic() const override { return now_ + std::chrono::hours(1); }

  private:
    std::chrono::nanoseconds now_{0};
};

} // namespace testsupport

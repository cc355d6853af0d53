// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/clock.h"

namespace base {

QTime SystemClock::TimeOfDay() const {
    return QTime::currentTime();
}

QDateTime SystemClock::Now() const {
    return QDateTime::currentDateTime();
}

std::chrono::nanoseconds SystemClock::Monotonic() const {
    return std::chrono::steady_clock::now().time_since_epoch();
}

} // namespace base

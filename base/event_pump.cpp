// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/event_pump.h"

#include <QCoreApplication>

namespace base {

void QtEventPump::ProcessMessages() {
    QCoreApplication::processEvents();
}

} // namespace base

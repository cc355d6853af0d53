// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/services/process_messages.h"

#include <utility>

namespace platform {

namespace {
std::function<void()>& Handler() {
    static std::function<void()> handler;
    return handler;
}
} // namespace

void ProcessMessages() {
    if (Handler()) {
        Handler()();
    }
}

void SetProcessMessages(std::function<void()> handler) { Handler() = std::move(handler); }

} // namespace platform

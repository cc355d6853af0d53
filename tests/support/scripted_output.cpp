// SPDX-License-Identifier: GPL-3.0-or-later
#include "scripted_output.h"

#include <algorithm>

namespace testsupport {

playback::OutputError ScriptedOutput::Open() {
    Close();
    if (openFailure_ != playback::OutputError::Ok) {
        return openFailure_;
    }
    open_ = true;
    volume_ = 65535;
    return playback::OutputError::Ok;
}

void ScriptedOutput::Write(const uint8_t* data, uint32_t bytes) {
    if (!open_) {
        return;
    }
    sent_.insert(sent_.end(), data, data + bytes);
    written_ += bytes;
}

void ScriptedOutput::Play(uint64_t bytes) {
    played_ += std::min(bytes, Queued());
}

void ScriptedOutput::Reset() {
    ++resetCalls_;
    written_ = 0;
    played_ = 0;
    if (insideResetClose_) {
        insideResetClose_();
    }
}

void ScriptedOutput::Close() {
    if (!open_) {
        return;
    }
    Reset();
    open_ = false;
    if (insideResetClose_) {
        insideResetClose_();
    }
}

} // namespace testsupport

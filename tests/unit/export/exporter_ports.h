// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/errors.h"
#include "base/event_pump.h"
#include "base/file_system.h"
#include "export/encoder_library.h"
#include "export/exporter.h"
#include "operations/sound_source.h"

#include <QString>

#include <cerrno>
#include <functional>
#include <optional>
#include <string>

namespace testsupport {

// The real file system, whose writes fail with `error` where `fault` says so, and whose kernel
// copies are refused with the error number `copyRefusal` gives for the nth copy (0 lets it run).
class FaultyFileSystem final : public base::SystemFileSystem {
  public:
    std::function<bool(int64_t offset, int64_t bytes)> fault;
    int error = ENOSPC;
    std::function<int(int copy)> copyRefusal;
    mutable int copies = 0; // kernel copies asked for
    int WriteFault(const std::string&, int64_t offset, int64_t bytes) const override {
        return fault && fault(offset, bytes) ? error : 0;
    }
    int64_t CopyRange(int in, int64_t from, int out, int64_t to, int64_t bytes) const override {
        if (const int refused = copyRefusal ? copyRefusal(++copies) : (++copies, 0)) {
            errno = refused;
            return -1;
        }
        return SystemFileSystem::CopyRange(in, from, out, to, bytes);
    }
};

// A pump that runs `step` at every call.
class StepPump final : public base::EventPump {
  public:
    std::function<void()> step;
    void ProcessMessages() override {
        if (step) {
            step();
        }
    }
};

// An Exporter over one sound with ports of the test's own: the encoder library built beside
// the tests unless `encoders` is replaced.
struct ExporterPorts {
    FaultyFileSystem files;
    StepPump pump;
    exporting::PathEncoderLoader encoders{VELMAR_BINARY_DIR "/lame_enc.so"};
};

// How an export ended: its outcome, or nullopt and the user's text of what it threw.
struct Ended {
    std::optional<exporting::Outcome> outcome;
    QString error;
};
template <typename Export> Ended Ending(Export run) {
    try {
        return {run(), {}};
    } catch (const base::UserError& e) {
        return {std::nullopt, QString::fromStdString(e.what())};
    }
}

} // namespace testsupport

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "record/pipeline.h"

namespace record {

// A test's (or a benchmark's) way into a recorder's private state, for states that take hours
// of capture to reach (the tenth hour's block numbers), a DC offset set without measuring it, or
// a take recorded in another run. Program code never includes this.
struct RecorderProbe {
    static State& Of(Recorder& recorder) { return recorder.state; }
};

} // namespace record

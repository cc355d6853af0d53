// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "operations/editor.h"

namespace operations {

// A test's way into an editor's private state, for edit lists that take a hundred edits to
// reach. Program code never includes this.
struct EditorProbe {
    static State& Of(Editor& editor) { return editor.state_; }
};

} // namespace operations

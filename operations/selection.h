// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace operations {

// Where the user has marked the sound: 1-based block positions. SelStart == SelEnd means
// nothing is selected; the cursor is where Paste and Insert Silence insert after, and where
// Play Selection starts.
struct Selection {
    uint32_t SelStart = 1;
    uint32_t SelEnd = 1;
    uint32_t CursorBlock = 1;

    bool operator==(const Selection&) const = default;
};

} // namespace operations

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace operations {

// Appends `blocks` blocks of digital silence to the edit file and makes a level with them
// inserted after the block at CursorBlock (at the end when the cursor lies past it), the silence
// selected and the cursor unchanged. Fewer than one block, or another operation running: nothing
// happens. A failing append throws record::StreamWriteError and publishes no level.
void InsertSilence(int32_t blocks);

} // namespace operations

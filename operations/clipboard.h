// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Copy, Cut, Delete and Paste over the program's own clip file. Each works on
// operations::state and does nothing while another operation runs. A failing write to the clip
// or edit file throws record::StreamWriteError and publishes no undo level.
namespace operations {

// Copies the selected blocks to the start of the clip file; ClipBlocks becomes their count.
// Nothing selected: nothing happens. When the copy fails midway the clip is emptied, since its
// first blocks are already overwritten.
void Copy();
// Makes a level without the selected blocks; nothing is left selected and the cursor stands
// on the block that followed them.
void Delete();
// Copy, then Delete.
void Cut();
// Appends the clip to the edit file and makes a level with it inserted after the block at
// CursorBlock (at the end when the cursor lies past it). The pasted blocks are left selected.
void Paste();

} // namespace operations

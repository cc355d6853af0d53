// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

// The editor's four save commands belong to the save flow, which installs them here when it is
// built into the program. Until then each of them does nothing.
namespace editor {

struct ExportHooks {
    std::function<void()> SaveAll;       // "Save All As...": export the whole edit
    std::function<void()> SaveSelection; // "Save Selection As...": export the selection
    std::function<void()> SaveSettings;  // "Save Settings...": the save-format window
    std::function<void()> OutputFolder;  // "Output Folder": show the output folder
};

// The hooks in use; assign members to install them.
ExportHooks& Exports();

} // namespace editor

// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/export_hooks.h"

namespace editor {

ExportHooks& Exports() {
    static ExportHooks hooks;
    return hooks;
}

} // namespace editor

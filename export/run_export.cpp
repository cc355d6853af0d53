// SPDX-License-Identifier: GPL-3.0-or-later
// The dispatcher alone in its file: it is the one piece that needs both exporters linked.
#include "export/save_flow.h"

#include "operations/undo_history.h"

namespace exporting {

namespace {
// Clears state.Exporting however the export ends.
class ExportingScope {
  public:
    ExportingScope() { state.Exporting = true; }
    ~ExportingScope() { state.Exporting = false; }
    ExportingScope(const ExportingScope&) = delete;
    ExportingScope& operator=(const ExportingScope&) = delete;
};
} // namespace

Result Export(const QString& target, const app::Settings& settings, uint32_t first, uint32_t last) {
    if (state.Exporting) {
        return {Outcome::Failed, "An export is already running."};
    }
    // The exporters let pending messages run after every block; holding the operations' scope
    // makes Cut, Paste, the effects, Undo and Redo refuse until the export is over.
    operations::OperationScope editing;
    if (!editing.started()) {
        return {Outcome::Failed, "An editing operation is running."};
    }
    PrepareExport(target);
    ExportingScope exporting;
    return ExportsWav(settings) ? ExportWav(target, settings, first, last)
                                : ExportMp3(target, settings, first, last);
}

} // namespace exporting

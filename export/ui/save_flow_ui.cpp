// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/ui/save_flow_ui.h"

#include "app/startup.h"
#include "export/save_flow.h"
#include "export/ui/form_progress.h"
#include "export/ui/form_save_settings.h"
#include "operations/editing_state.h"
#include "platform/services/dialogs.h"

#include <QApplication>
#include <QFileInfo>

#include <memory>

namespace SaveFlow {

namespace {

// The window of type Form the program entry created, or one of our own when none exists (a
// window tested on its own).
template <typename Form> Form& Window(std::unique_ptr<Form>& own) {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* form = qobject_cast<Form*>(widget)) {
            return *form;
        }
    }
    own = std::make_unique<Form>();
    return *own;
}

} // namespace

bool Run(QWidget* owner, bool selectionOnly) {
    if (exporting::state.Exporting) {
        return false;
    }
    const operations::State& edit = operations::state;
    exporting::ExportRange range = exporting::SaveAllRange(edit.FileBlocks);
    if (selectionOnly) {
        const auto selection =
            exporting::SaveSelectionRange(edit.SelStart, edit.SelEnd, edit.FileBlocks);
        if (!selection) {
            platform::CurrentDialogs().ShowMessage(exporting::PleaseSelectWaveformText);
            return false;
        }
        range = *selection;
    }

    app::Settings& settings = app::state.settings;
    const exporting::SaveFilter filter = exporting::SaveFilterFor(settings);
    const QString chosen = platform::CurrentDialogs().SaveFileName(
        "Save As", filter.Text(), exporting::SaveDialogFolder(settings.OutputFolder),
        filter.defaultSuffix);
    if (chosen.isEmpty()) {
        return false;
    }
    const exporting::SaveTarget target = exporting::SaveTargetFor(chosen, settings);
    // The dialog asked about the name it returned; an extension added since names another file.
    if (target.path != chosen && QFileInfo::exists(target.path) &&
        !platform::CurrentDialogs().Confirm(
            QString("%1 already exists.\nDo you want to replace it?").arg(target.path))) {
        return false;
    }

    std::unique_ptr<TFormProgress> own;
    TFormProgress& progress = Window(own);
    exporting::PrepareExport(target.path);
    progress.Start(owner);
    const exporting::Result result =
        exporting::Export(target.path, target.settings, range.first, range.last);
    progress.Finish();
    if (result.outcome == exporting::Outcome::Failed) {
        platform::CurrentDialogs().ShowError(result.error);
        return false;
    }
    // Only a folder a save could write in becomes the next dialog's folder.
    settings.OutputFolder = QFileInfo(target.path).absolutePath();
    return result.outcome == exporting::Outcome::Done;
}

void ShowSaveSettings() {
    std::unique_ptr<TFormSaveSettings> own;
    Window(own).exec();
}

} // namespace SaveFlow

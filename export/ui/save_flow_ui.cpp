// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/ui/save_flow_ui.h"

#include "base/errors.h"
#include "export/exporter.h"
#include "export/recorded_take.h"
#include "export/save_flow.h"
#include "export/ui/form_progress.h"
#include "export/ui/form_save_settings.h"
#include "operations/editor.h"
#include "platform/dialogs.h"
#include "setup/settings.h"

#include <QApplication>
#include <QFileInfo>

#include <memory>

namespace SaveFlow {

namespace {

// The window of type Form the program entry created, or one of our own, built with `args`, when
// none exists (a window tested on its own).
template <typename Form, typename... Args> Form& Window(std::unique_ptr<Form>& own, Args&... args) {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* form = qobject_cast<Form*>(widget)) {
            return *form;
        }
    }
    own = std::make_unique<Form>(args...);
    return *own;
}

// Hides the progress window however the export ends.
class ShownProgress {
  public:
    ShownProgress(TFormProgress& form, QWidget* owner, exporting::Exporter& exporter)
        : form_(form) {
        form_.Start(owner, exporter);
    }
    ~ShownProgress() { form_.Finish(); }
    ShownProgress(const ShownProgress&) = delete;
    ShownProgress& operator=(const ShownProgress&) = delete;

  private:
    TFormProgress& form_;
};

// Asks for the target and exports `range` of `sound` to it with the progress window showing.
bool Save(QWidget* owner, const operations::SoundSource& sound, exporting::ExportRange range,
          const Context& context) {
    const setup::Settings& settings = context.settings.Values();
    const exporting::SaveFilter filter = exporting::SaveFilterFor(settings);
    const QString chosen = context.dialogs.SaveFileName(
        "Save As", filter.Text(), exporting::SaveDialogFolder(settings.OutputFolder),
        filter.defaultSuffix);
    if (chosen.isEmpty()) {
        return false;
    }
    const exporting::SaveTarget target = exporting::SaveTargetFor(chosen, settings);
    // The dialog asked about the name it returned; an extension added since names another file.
    if (target.path != chosen && QFileInfo::exists(target.path) &&
        !context.dialogs.Confirm(
            QString("%1 already exists.\nDo you want to replace it?").arg(target.path))) {
        return false;
    }

    std::unique_ptr<TFormProgress> own;
    TFormProgress& progress = Window(own, context.events);
    exporting::Exporter exporter(sound, progress.Encoders(), progress.Files(), progress.Pump());
    exporter.Prepare(target.path);
    exporting::Outcome outcome;
    try {
        const ShownProgress shown(progress, owner, exporter);
        outcome = exporter.Export(target.path, target.settings, range.first, range.last);
    } catch (const base::UserError& error) {
        context.dialogs.ShowError(QString::fromUtf8(error.what()));
        return false;
    }
    // Only a folder a save could write in becomes the next dialog's folder.
    context.settings.SetOutputFolder(QFileInfo(target.path).absolutePath());
    return outcome == exporting::Outcome::Done;
}

} // namespace

bool Exporting() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* form = qobject_cast<TFormProgress*>(widget); form && form->Shown()) {
            return true;
        }
    }
    return false;
}

bool Run(QWidget* owner, const operations::Editor& editor, bool selectionOnly,
         const Context& context) {
    if (Exporting()) {
        return false;
    }
    const operations::Selection& marked = editor.CurrentSelection();
    exporting::ExportRange range = exporting::SaveAllRange(editor.Blocks());
    if (selectionOnly) {
        const auto selection =
            exporting::SaveSelectionRange(marked.SelStart, marked.SelEnd, editor.Blocks());
        if (!selection) {
            context.dialogs.ShowMessage(exporting::PleaseSelectWaveformText);
            return false;
        }
        range = *selection;
    }
    return Save(owner, editor, range, context);
}

bool SaveRecordedTake(QWidget* owner, record::Recorder& recorder, const Context& context) {
    if (Exporting()) {
        return false;
    }
    const exporting::RecordedTake take = exporting::RecordedTake::OfRecorder(recorder);
    return Save(owner, take, exporting::SaveAllRange(take.Blocks()), context);
}

void ShowSaveSettings(setup::SettingsStore& settings) {
    std::unique_ptr<TFormSaveSettings> own;
    Window(own, settings).exec();
}

} // namespace SaveFlow

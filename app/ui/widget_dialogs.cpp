// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ui/widget_dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace platform {

namespace {
QString Title() {
    return QApplication::applicationDisplayName();
}
} // namespace

void WidgetDialogs::ShowMessage(const QString& text) {
    QMessageBox::information(QApplication::activeWindow(), Title(), text);
}

void WidgetDialogs::ShowError(const QString& text) {
    QMessageBox::critical(QApplication::activeWindow(), Title(), text);
}

bool WidgetDialogs::Confirm(const QString& text) {
    return QMessageBox::question(QApplication::activeWindow(), Title(), text,
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

QString WidgetDialogs::InputBox(const QString& caption, const QString& prompt,
                                const QString& defaultText) {
    bool ok = false;
    QString text = QInputDialog::getText(QApplication::activeWindow(), caption, prompt,
                                         QLineEdit::Normal, defaultText, &ok);
    return ok ? text : defaultText;
}

QString WidgetDialogs::SaveFileName(const QString& caption, const QString& filter,
                                    const QString& folder, const QString& defaultSuffix) {
    // Qt reads the mask from the last parentheses of an entry: the description carries it
    // already ("(*.wav)"), else the mask after the bar is added in parentheses.
    QString description = filter.section('|', 0, 0).trimmed();
    const QString mask = filter.section('|', 1);
    if (!description.endsWith(')') && !mask.isEmpty()) {
        description += " (" + mask + ")";
    }
    QFileDialog dialog(QApplication::activeWindow(), caption, folder);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(description);
    dialog.setDefaultSuffix(defaultSuffix);
    dialog.selectFile(QString());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().constFirst();
}

} // namespace platform

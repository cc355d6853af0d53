// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ui/widget_dialogs.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>

namespace platform {

namespace {
QString Title() { return QApplication::applicationDisplayName(); }
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

} // namespace platform

// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/form_edit.h"

TFormEdit::TFormEdit(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Velmar Recorder - Editor");
    setModal(true);
}

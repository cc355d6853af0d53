// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/ui/form_progress.h"

TFormProgress::TFormProgress(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Progress");
    setModal(true);
}

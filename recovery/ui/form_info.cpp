// SPDX-License-Identifier: GPL-3.0-or-later
#include "recovery/ui/form_info.h"

TFormInfo::TFormInfo(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Found Recording");
    setModal(true);
}

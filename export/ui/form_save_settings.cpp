// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/ui/form_save_settings.h"

TFormSaveSettings::TFormSaveSettings(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Save Settings");
    setModal(true);
}

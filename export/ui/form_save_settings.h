// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

// The save-format settings window.
class TFormSaveSettings : public QDialog {
    Q_OBJECT
public:
    explicit TFormSaveSettings(QWidget* parent = nullptr);
};

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

// The editor window; its commands are built over the editing engine.
class TFormEdit : public QDialog {
    Q_OBJECT
public:
    explicit TFormEdit(QWidget* parent = nullptr);
};

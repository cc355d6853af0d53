// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

// The progress window shown during an export, with Cancel.
class TFormProgress : public QDialog {
    Q_OBJECT
public:
    explicit TFormProgress(QWidget* parent = nullptr);
};

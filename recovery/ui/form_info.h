// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

// The window that offers and loads a recording found in the work folder.
class TFormInfo : public QDialog {
    Q_OBJECT
public:
    explicit TFormInfo(QWidget* parent = nullptr);
};

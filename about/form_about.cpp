// SPDX-License-Identifier: GPL-3.0-or-later
#include "about/form_about.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TFormAbout::TFormAbout(QWidget* parent) : QDialog(parent) {
    setWindowTitle("About");
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    auto* name = new QLabel("Velmar Recorder 2.1", this);
    name->setObjectName("LabName");
    QFont font = name->font();
    font.setPointSize(font.pointSize() + 4);
    font.setBold(true);
    name->setFont(font);
    name->setAlignment(Qt::AlignCenter);
    layout->addWidget(name);
    BtnOK = new QPushButton("OK", this);
    BtnOK->setObjectName("BtnOK");
    layout->addWidget(BtnOK, 0, Qt::AlignCenter);
    connect(BtnOK, &QPushButton::clicked, this, &QDialog::accept);
    setFixedSize(sizeHint().expandedTo(QSize(260, 120)));
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/ui/form_progress.h"

#include "export/exporter.h"
#include "gauges/window_font.h"

#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace {
// A percentage in 0..100; not a number counts as 0.
float Bounded(float percent) {
    return std::isnan(percent) ? 0.0f : std::clamp(percent, 0.0f, 100.0f);
}
} // namespace

QString ProgressPercentText(float percent) {
    return QLocale::system().toString(double(Bounded(percent)), 'f', 1);
}

int ProgressPosition(float percent) {
    return int(std::nearbyint(Bounded(percent))); // the default rounding mode: halves to even
}

TFormProgress::TFormProgress(base::EventPump& pump, QWidget* parent)
    : QDialog(parent), encoders_(ownEncoders_), files_(ownFiles_), pump_(pump) {
    Build();
}

TFormProgress::TFormProgress(const exporting::EncoderLoader& encoders,
                             const base::FileSystem& files, base::EventPump& pump, QWidget* parent)
    : QDialog(parent), encoders_(encoders), files_(files), pump_(pump) {
    Build();
}

void TFormProgress::Build() {
    setObjectName("FormProgress");
    setWindowTitle("Saving");
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);
    // Blocks every other window while it shows: a command started during an export would
    // change the sound or the files under it.
    setWindowModality(Qt::ApplicationModal);
    setFont(gauges::WindowFont());
    setFixedSize(321, 139);

    Label1 = new QLabel("Saving... ", this);
    Label1->setObjectName("Label1");
    Label1->setGeometry(16, 16, 289, 17);
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName("ProgressBar1");
    ProgressBar1->setGeometry(16, 44, 289, 17);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    BtnCancel = new QPushButton("Cancel", this);
    BtnCancel->setObjectName("BtnCancel");
    BtnCancel->setGeometry(120, 92, 81, 25);
    connect(BtnCancel, &QPushButton::clicked, this, &TFormProgress::BtnCancelClick);

    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(100);
    connect(Timer1, &QTimer::timeout, this, &TFormProgress::Timer1Timer);
    Timer1->start();
}

void TFormProgress::FormShow() {
    setWindowTitle("Saving..." + (exporter_ ? exporter_->TargetName() : QString()));
}

void TFormProgress::Timer1Timer() {
    if (!exporter_) {
        return;
    }
    const float percent = exporter_->ProgressPercent();
    ProgressBar1->setValue(ProgressPosition(percent));
    Label1->setText("Saving..." + exporter_->TargetName() + "   " + ProgressPercentText(percent) +
                    "%");
}

void TFormProgress::CancelShown() {
    if (exporter_) {
        exporter_->Cancel();
    }
}

void TFormProgress::BtnCancelClick() {
    CancelShown();
    close();
}

void TFormProgress::reject() {
    CancelShown();
    QDialog::reject();
}

void TFormProgress::Start(QWidget* owner, exporting::Exporter& exporter) {
    exporter_ = &exporter;
    owner_ = owner ? owner->window() : nullptr;
    show();
}

void TFormProgress::Finish() {
    hide();
    exporter_ = nullptr;
}

void TFormProgress::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (owner_ && owner_ != this && owner_->isVisible()) {
        QRect frame = frameGeometry();
        frame.moveCenter(owner_->frameGeometry().center());
        move(frame.topLeft());
    } else if (QScreen* screen = this->screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    FormShow();
    Timer1Timer();
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "recovery/ui/form_info.h"

#include "base/errors.h"
#include "gauges/window_font.h"
#include "gauges/window_parts.h"
#include "platform/dialogs.h"
#include "recovery/found_recording.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTimer>

#include <cmath>

namespace {

using gauges::Make;

} // namespace

TFormInfo::TFormInfo(recovery::Recovery& recovery, platform::Dialogs& dialogs, QWidget* parent)
    : QDialog(parent), recovery_(recovery), dialogs_(dialogs) {
    setObjectName("FormInfo");
    setWindowTitle("Velmar Recorder");
    setModal(true);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(341, 179);
    setFont(gauges::WindowFont());

    LabMessage = Make<QLabel>(this, "LabMessage", 16, 16, 309, 16);
    LabMessage->setText("Velmar Recorder has found the recorded waveform:");
    LabQuestion = Make<QLabel>(this, "LabQuestion", 16, 44, 309, 16);
    LabQuestion->setText("What do you want to do with the recorded waveform?");

    BtnLoad = Make<QPushButton>(this, "BtnLoad", 56, 80, 97, 29);
    BtnLoad->setText("Load");
    BtnLoad->setIcon(style()->standardIcon(QStyle::SP_DialogOpenButton));
    connect(BtnLoad, &QPushButton::clicked, this, &TFormInfo::BtnLoadClick);
    BtnDiscard = Make<QPushButton>(this, "BtnDiscard", 188, 80, 97, 29);
    BtnDiscard->setText("Discard");
    BtnDiscard->setIcon(style()->standardIcon(QStyle::SP_DialogDiscardButton));
    connect(BtnDiscard, &QPushButton::clicked, this, &TFormInfo::BtnDiscardClick);

    ProgressBar1 = Make<QProgressBar>(this, "ProgressBar1", 16, 124, 309, 17);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->hide();
    LabProgress = Make<QLabel>(this, "LabProgress", 16, 148, 309, 16);
    LabProgress->hide();

    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(100);
    connect(Timer1, &QTimer::timeout, this, &TFormInfo::Timer1Timer);
}

void TFormInfo::showEvent(QShowEvent* event) {
    // Every offer starts without progress; the scan shows it.
    ProgressBar1->hide();
    LabProgress->hide();
    LabProgress->clear();
    ProgressBar1->setValue(0);
    if (const QScreen* screen = QApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
    // Ticks only while shown: the window lives as long as the editor or the main window, hidden
    // nearly all that time, and a hidden progress needs no updating.
    Timer1->start();
    QDialog::showEvent(event);
}

void TFormInfo::hideEvent(QHideEvent* event) {
    Timer1->stop();
    QDialog::hideEvent(event);
}

void TFormInfo::BtnLoadClick() {
    // The load lets pending messages run: no second click may start another one meanwhile.
    BtnLoad->setEnabled(false);
    BtnDiscard->setEnabled(false);
    QString error, notice;
    try {
        notice = recovery_.Load().value_or(QString());
    } catch (const base::UserError& failure) {
        error = QString::fromUtf8(failure.what());
    }
    BtnLoad->setEnabled(true);
    BtnDiscard->setEnabled(true);
    if (!error.isEmpty()) {
        dialogs_.ShowError(error);
    } else if (!notice.isEmpty()) {
        dialogs_.ShowMessage(notice);
    }
    accept();
}

void TFormInfo::Offer() {
    if (recovery_.ShouldOffer()) {
        exec();
    }
}

void TFormInfo::BtnDiscardClick() {
    accept();
}

void TFormInfo::Timer1Timer() {
    const float percent = recovery_.ProgressPercent();
    if (recovery_.Scanning()) {
        ProgressBar1->show();
        LabProgress->show();
    }
    ProgressBar1->setValue(int(std::nearbyint(percent))); // halves to even
    LabProgress->setText("Loading..." + QLocale().toString(double(percent), 'f', 1) + "%");
}

void TFormInfo::closeEvent(QCloseEvent* event) {
    if (recovery_.Loading()) {
        event->ignore(); // the close box waits for the load
        return;
    }
    QDialog::closeEvent(event);
}

void TFormInfo::reject() {
    if (!recovery_.Loading()) {
        QDialog::reject();
    }
}

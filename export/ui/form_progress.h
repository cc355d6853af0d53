// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QPointer>
#include <QString>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

// The progress window of an export: the target's name, the percentage written and Cancel.
// Shown application-modal while an export runs, so no other command of any window can start
// meanwhile; Cancel, the close box and Escape all cancel the export.
class TFormProgress : public QDialog {
    Q_OBJECT
  public:
    explicit TFormProgress(QWidget* parent = nullptr);

    // Caption "Saving..." and the target name.
    void FormShow();
    // Every 100 ms: the label and the bar from the published percentage.
    void Timer1Timer();
    // Clears the continue flag and closes the window; the export stops at its next test.
    void BtnCancelClick();
    // Shows the window centred on `owner` (the window that started the export; none: the
    // screen) ...
    void Start(QWidget* owner);
    // ... and hides it when the export has ended, without cancelling anything.
    void Finish();

    QLabel* Label1 = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QPushButton* BtnCancel = nullptr;
    QTimer* Timer1 = nullptr;

    // The close box and Escape arrive here.
    void reject() override;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    QPointer<QWidget> owner_;
};

// The percentage as the label shows it: one decimal, the system's decimal separator
// ("0.0", "12.3", "100.0"); values outside 0..100 (or not a number, as a one-block export may
// publish) are shown as the nearest end.
QString ProgressPercentText(float percent);
// The bar's position: the shown percentage rounded to the nearest integer, halves to even.
int ProgressPosition(float percent);

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace platform {
class Dialogs;
}
namespace recovery {
class Recovery;
} // namespace recovery

// The window that offers a recording found in the work folder and loads it. The load and its
// rules are recovery::Recovery's; this window only starts it, shows its progress and says through
// `dialogs` how it ended. Both must outlive the window.
class TFormInfo : public QDialog {
    Q_OBJECT
  public:
    TFormInfo(recovery::Recovery& recovery, platform::Dialogs& dialogs, QWidget* parent = nullptr);

    // Loads the recovery file (its errors and notices shown as boxes), then closes.
    void BtnLoadClick();
    // The editor's opening calls this first: when the recovery should be offered
    // (Recovery::ShouldOffer), the window is shown modally; otherwise nothing happens.
    void Offer();
    // Closes; nothing changes.
    void BtnDiscardClick();
    // Every 100 ms: the scan's percentage on ProgressBar1 and LabProgress.
    void Timer1Timer();

    QLabel* LabMessage = nullptr;
    QLabel* LabQuestion = nullptr;
    QPushButton* BtnLoad = nullptr;
    QPushButton* BtnDiscard = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QLabel* LabProgress = nullptr;
    QTimer* Timer1 = nullptr;

  protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

  private:
    recovery::Recovery& recovery_;
    platform::Dialogs& dialogs_;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/event_pump.h"
#include "base/file_system.h"
#include "export/encoder_library.h"

#include <QDialog>
#include <QPointer>
#include <QString>

namespace exporting {
class Exporter;
}

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

// The progress window of an export: the target's name, the percentage written and Cancel.
// Shown application-modal while an export runs, so no other command of any window can start
// meanwhile; Cancel, the close box and Escape all cancel the export. It reads the running
// Exporter and holds the ports the save commands build their Exporters with: those the program
// entry passes, or for a window made with only an event pump, the system's encoder loader and
// file system.
class TFormProgress : public QDialog {
    Q_OBJECT
  public:
    explicit TFormProgress(base::EventPump& pump, QWidget* parent = nullptr);
    TFormProgress(const exporting::EncoderLoader& encoders, const base::FileSystem& files,
                  base::EventPump& pump, QWidget* parent = nullptr);

    const exporting::EncoderLoader& Encoders() const { return encoders_; }
    const base::FileSystem& Files() const { return files_; }
    base::EventPump& Pump() const { return pump_; }

    // Caption "Saving..." and the target name.
    void FormShow();
    // Every 100 ms: the label and the bar from the published percentage.
    void Timer1Timer();
    // Cancels the export and closes the window; the export stops at its next test.
    void BtnCancelClick();
    // Shows the progress of `exporter` in a window centred on `owner` (the window that started
    // the export; none: the screen) ...
    void Start(QWidget* owner, exporting::Exporter& exporter);
    // ... and hides it when the export has ended, without cancelling anything.
    void Finish();
    // The export whose progress shows, or none.
    const exporting::Exporter* Shown() const { return exporter_; }

    QLabel* Label1 = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QPushButton* BtnCancel = nullptr;
    QTimer* Timer1 = nullptr;

    // The close box and Escape arrive here.
    void reject() override;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void Build();
    void CancelShown();

    exporting::SystemEncoderLoader ownEncoders_;
    base::SystemFileSystem ownFiles_;
    const exporting::EncoderLoader& encoders_;
    const base::FileSystem& files_;
    base::EventPump& pump_;
    exporting::Exporter* exporter_ = nullptr;
    QPointer<QWidget> owner_;
};

// The percentage as the label shows it: one decimal, the system's decimal separator
// ("0.0", "12.3", "100.0"); values outside 0..100 (or not a number, as a one-block export may
// publish) are shown as the nearest end.
QString ProgressPercentText(float percent);
// The bar's position: the shown percentage rounded to the nearest integer, halves to even.
int ProgressPosition(float percent);

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMainWindow>

// The main window: the recorder's face and the application's main form; closing it ends the
// program. Handlers keep the names of the controls and events they serve and stay thin.
class TFormMain : public QMainWindow {
    Q_OBJECT
public:
    explicit TFormMain(QWidget* parent = nullptr);
    ~TFormMain() override;

    // Start-up: work folder, settings, left-over work files, then the device.
    void FormCreate();
    // Asked before the window closes; false keeps it open. On true the shutdown has run.
    bool FormCloseQuery();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    bool shutDown_ = false;
};

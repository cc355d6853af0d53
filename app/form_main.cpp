// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/form_main.h"

#include "app/startup.h"
#include "platform/dialogs.h"
#include "platform/process_messages.h"

#include <QCloseEvent>
#include <QCoreApplication>

TFormMain::TFormMain(QWidget* parent) : QMainWindow(parent) {
    setObjectName("FormMain");
    setWindowTitle("Velmar Recorder");
    FormCreate();
}

TFormMain::~TFormMain() = default;

void TFormMain::FormCreate() {
    app::StartupResult started = app::StartUp(QCoreApplication::applicationFilePath());
    if (!started.ok) {
        // Shown as an unhandled error would be; the window still opens, without work files,
        // settings or device.
        platform::CurrentDialogs().ShowError(started.error);
        return;
    }
    if (!started.notice.isEmpty()) {
        platform::CurrentDialogs().ShowMessage(started.notice);
    }
    platform::ProcessMessages();
}

bool TFormMain::FormCloseQuery() {
    QString error = app::ShutDown();
    if (!error.isEmpty()) {
        platform::CurrentDialogs().ShowError(error);
    }
    return true;
}

void TFormMain::closeEvent(QCloseEvent* event) {
    if (!shutDown_ && !FormCloseQuery()) {
        event->ignore();
        return;
    }
    shutDown_ = true;
    event->accept();
    QCoreApplication::quit();  // the message loop runs until the main window closes
}

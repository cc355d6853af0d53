// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QApplication>
#include <QRect>
#include <QScreen>
#include <QWidget>

// What every window of the program builds its fixed layout and its modal windows with.
namespace gauges {

// A control placed at fixed pixels, named as the window's tests and handlers know it.
template <typename Control>
Control* Make(QWidget* parent, const char* name, int left, int top, int width, int height) {
    auto* control = new Control(parent);
    control->setObjectName(name);
    control->setGeometry(left, top, width, height);
    return control;
}

// Runs the window of type Form that the program entry created, modally; a temporary one, made
// from `args` (its devices and ports), when none exists (a window tested on its own).
template <typename Form, typename... Args> void ShowModal(Args&... args) {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* form = qobject_cast<Form*>(widget)) {
            form->exec();
            return;
        }
    }
    Form form(args...);
    form.exec();
}

// Moves a window, frame included, to the middle of its screen's free area (task bars left out).
inline void CentreOnScreen(QWidget& window) {
    if (QScreen* screen = window.screen()) {
        QRect frame = window.frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        window.move(frame.topLeft());
    }
}

} // namespace gauges

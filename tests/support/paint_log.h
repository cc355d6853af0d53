// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QApplication>
#include <QEvent>
#include <QPaintEvent>
#include <QRegion>
#include <QWidget>

#include <utility>
#include <vector>

namespace testsupport {

// Notes every paint event of a window and the widgets in it, with the region painted.
class PaintLog : public QObject {
  public:
    explicit PaintLog(QWidget* window) : window_(window) { qApp->installEventFilter(this); }
    ~PaintLog() override { qApp->removeEventFilter(this); }
    // Lets every pending repaint happen, then forgets it.
    void Settle() {
        QApplication::processEvents();
        paints.clear();
    }
    std::vector<std::pair<const QWidget*, QRegion>> paints;

  protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        const auto* widget = qobject_cast<const QWidget*>(object);
        if (event->type() == QEvent::Paint && widget &&
            (widget == window_ || window_->isAncestorOf(widget))) {
            paints.emplace_back(widget, static_cast<QPaintEvent*>(event)->region());
        }
        return false;
    }

  private:
    const QWidget* window_;
};

} // namespace testsupport

// SPDX-License-Identifier: GPL-3.0-or-later
// The least a window showing a live level costs: a bare Qt window whose one 430x16 bar (the
// size of the main window's level gauge) is repainted every 100 ms, as the gauges are, and
// nothing else. Run beside the recorder on the same display, it tells how much of the
// recorder's processor time any window refreshed ten times a second takes.
//   window_floor
#include <QApplication>
#include <QPainter>
#include <QTimer>
#include <QWidget>

namespace {

class Bar : public QWidget {
  public:
    using QWidget::QWidget;
    void Next() {
        length_ = 100 + (length_ * 37 + 11) % 330; // a new reading each tick
        update();
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), Qt::black);
        p.fillRect(0, 0, length_, height(), Qt::green);
    }

  private:
    int length_ = 100;
};

} // namespace

int main(int argc, char** argv) {
    // The same X transport as the recorder's windows use.
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM")) {
        qputenv("QT_XCB_NO_MITSHM", "1");
    }
    QApplication application(argc, argv);
    QWidget window;
    window.resize(460, 40);
    Bar bar(&window);
    bar.setGeometry(15, 12, 430, 16);
    window.show();
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &bar, &Bar::Next);
    tick.start(100);
    return QApplication::exec();
}

// SPDX-License-Identifier: GPL-3.0-or-later
// The engine must stay testable without a screen: no engine source may include a QtWidgets or
// QtGui header.
#include <gtest/gtest.h>

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QStringList>

namespace {

bool IsWindowCode(const QString& path) {
    QString name = path.section('/', -1);
    return name.startsWith("form_") || name.startsWith("widget_") || name == "program.cpp" ||
           name == "main.cpp";
}

TEST(Layering, EngineSourcesIncludeNoWidgetOrGuiHeaders) {
    const QRegularExpression forbidden(
        R"(#\s*include\s*[<"](QtWidgets|QtGui|QWidget|QMainWindow|QDialog|QMessageBox|QInputDialog|QApplication|QPainter|QImage|QPixmap|QColor|QIcon)\b)");
    QStringList offenders;
    int checked = 0;
    for (const char* folder : {"record", "operations", "playback", "platform", "app", "recovery", "export"}) {
        QDirIterator it(QString(VELMAR_SOURCE_DIR) + "/" + folder, {"*.h", "*.cpp"}, QDir::Files);
        while (it.hasNext()) {
            QString path = it.next();
            if (IsWindowCode(path)) {
                continue;
            }
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
            ++checked;
            if (forbidden.match(QString::fromUtf8(f.readAll())).hasMatch()) {
                offenders << path;
            }
        }
    }
    EXPECT_GT(checked, 5);
    EXPECT_TRUE(offenders.isEmpty()) << offenders.join(", ").toStdString();
}

} // namespace

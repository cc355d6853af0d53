// SPDX-License-Identifier: GPL-3.0-or-later
// The engine must stay testable without a screen: no engine source may include a QtWidgets or
// QtGui header.
#include <gtest/gtest.h>

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QStringList>

namespace {

// Windows of a folder that also holds engine code live in its ui/ folder.
bool IsWindowCode(const QString& path) {
    return path.contains("/ui/");
}

TEST(Layering, EngineSourcesIncludeNoWidgetOrGuiHeaders) {
    const QRegularExpression forbidden(
        R"(#\s*include\s*[<"](QtWidgets|QtGui|QWidget|QMainWindow|QDialog|QMessageBox|QInputDialog|QApplication|QPainter|QImage|QPixmap|QColor|QIcon)\b)");
    QStringList offenders;
    int checked = 0;
    for (const char* folder : {"base", "record", "operations", "platform", "app", "setup",
                               "recovery", "export", "playback"}) {
        QDirIterator it(QString(VELMAR_SOURCE_DIR) + "/" + folder, {"*.h", "*.cpp"}, QDir::Files,
                        QDirIterator::Subdirectories);
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

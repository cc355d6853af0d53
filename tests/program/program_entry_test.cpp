// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ui/form_main.h"
#include "app/ui/program.h"
#include "support/recording_dialogs.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <cstdlib>

namespace {

// Starts the real program entry offscreen, closes the main window as a user would, and finds
// a complete settings file beside the executable.
TEST(ProgramEntry, RunsUntilTheMainWindowClosesAndLeavesTheSettingsFile) {
    testsupport::TempDir data;
    setenv("XDG_DATA_HOME", data.path().c_str(), 1);
    QDir().mkdir(QString::fromStdString(data.file("Velmar Recorder")));

    QString ini = QString::fromStdString(data.file("velmar-recorder.INI"));

    testsupport::RecordingDialogs dialogs;
    QString title, caption;
    QStringList windows;
    bool closedByHand = false;
    qsizetype iconSizes = 0;
    app::EntryHooks hooks;
    hooks.dialogs = &dialogs;
    hooks.executablePath = QString::fromStdString(data.file("velmar-recorder"));
    hooks.started = [&](TFormMain& main) {
        QTimer::singleShot(300, [&] {
            title = QApplication::applicationDisplayName();
            // Windows without an icon of their own show the program's.
            iconSizes = QApplication::windowIcon().availableSizes().size();
            caption = main.windowTitle();
            for (QWidget* w : QApplication::topLevelWidgets()) {
                windows << w->metaObject()->className();
            }
            closedByHand = main.close();
        });
    };
    int argc = 1;
    char arg0[] = "test_program";
    char* argv[] = {arg0, nullptr};
    int rc = app::ProgramEntry(argc, argv, hooks);
    unsetenv("XDG_DATA_HOME");

    EXPECT_EQ(rc, 0);
    EXPECT_TRUE(closedByHand);
    EXPECT_EQ(title, "Velmar Recorder");
    EXPECT_EQ(caption, "Velmar Recorder");
    EXPECT_EQ(iconSizes, 4);
    for (const char* cls : {"TFormMain", "TFormEdit", "TFormSaveSettings", "TFormProgress",
                            "TFormAbout", "TFormInfo"}) {
        EXPECT_TRUE(windows.contains(cls)) << cls;
    }
    EXPECT_TRUE(dialogs.errors.isEmpty()) << dialogs.errors.join("; ").toStdString();

    QFile file(ini);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << ini.toStdString();
    QString text = QString::fromUtf8(file.readAll());
    int keys = 0;
    for (const char* key : {"Wav=", "SamplePerSecond=", "BitPerSample=", "Channels=", "MP3=",
                            "BitRate=", "Mode=", "VBR=", "MinBitRate=", "MaxBitRate=",
                            "VBRQuality=", "Copyright=", "Original=", "Private=", "Name=",
                            "Index="}) {
        keys += text.contains("\n" + QString(key)) ? 1 : 0;
    }
    EXPECT_EQ(keys, 16) << text.toStdString();
    EXPECT_TRUE(text.startsWith("[Save Format]\n"));
    EXPECT_TRUE(text.contains("[Output Folder]\nName="));
    EXPECT_TRUE(text.contains("[Recording Mode]\nIndex=0\n"));
    // The work files are gone at exit; the work folder stays.
    EXPECT_EQ(QDir(QString::fromStdString(data.file("Velmar Recorder"))).entryList(QDir::Files),
              QStringList{});
}

} // namespace

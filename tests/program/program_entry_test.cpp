// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ui/form_main.h"
#include "app/headless/control_channel.h"
#include "app/ui/program.h"
#include "setup/startup.h"
#include "support/recording_dialogs.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QTimer>
#include <cstdlib>
#include <future>
#include <sys/stat.h>

namespace {

// Lets the program's events run for `ms` milliseconds, or until `done` says so.
void Spin(int ms, const std::function<bool()>& done = [] { return false; }) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms && !done()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
}

// Starts the real program entry offscreen, closes the main window as a user would, and finds
// a complete settings file beside the executable.
TEST(ProgramEntry, RunsUntilTheMainWindowClosesAndLeavesTheSettingsFile) {
    testsupport::TempDir data;
    setenv("XDG_DATA_HOME", data.path().c_str(), 1);
    const QString work = QString::fromStdString(data.file("Velmar Recorder"));
    QDir().mkdir(work);
    testsupport::TempDir runtime;
    setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
    bool lockedByTheProgram = false, channelPrivate = false, raised = false;

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
            // A second start would find the work folder taken.
            setup::WorkFolderLock second;
            lockedByTheProgram =
                second.Acquire(work) == setup::WorkFolderLock::Result::HeldByAnother;
            struct stat socket {};
            const QString name = app::ControlChannel::NameFor(work);
            channelPrivate = ::stat(QFile::encodeName(name).constData(), &socket) == 0 &&
                             S_ISSOCK(socket.st_mode) && (socket.st_mode & 077) == 0;
            // What no later start sends is dropped, and the program runs on.
            for (const QByteArray& junk : {QByteArray(100000, 'x'), QByteArray("rais"),
                                           QByteArray("\xff\0raise\n"), QByteArray()}) {
                QLocalSocket caller;
                caller.connectToServer(name);
                caller.write(junk);
                caller.waitForBytesWritten(100);
                Spin(50);
            }
            main.showMinimized();
            Spin(100);
            auto asked = std::async(std::launch::async,
                                    [&] { return app::ControlChannel::AskToRaise(work); });
            Spin(3000, [&] {
                return asked.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
            });
            raised = asked.get() && !main.isMinimized();
            closedByHand = main.close();
        });
    };
    int argc = 1;
    char arg0[] = "test_program";
    char* argv[] = {arg0, nullptr};
    int rc = app::ProgramEntry(argc, argv, hooks);
    unsetenv("XDG_DATA_HOME");
    unsetenv("XDG_RUNTIME_DIR");

    EXPECT_EQ(rc, 0);
    EXPECT_TRUE(closedByHand);
    EXPECT_TRUE(lockedByTheProgram);
    EXPECT_TRUE(channelPrivate) << "a socket only its user may use";
    EXPECT_TRUE(raised) << "a later start brings the minimized window back";
    EXPECT_EQ(QDir(runtime.path().c_str()).entryList(QDir::System | QDir::Files), QStringList{});
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
    // The work files and the lock are gone at exit; the work folder stays.
    EXPECT_EQ(QDir(work).entryList(QDir::Files | QDir::Hidden), QStringList{});
}

// A second start while a program runs on the work folder (recording, or with its editor open)
// touches nothing there: it says so and ends with status 0, before any window exists.
TEST(ProgramEntry, ASecondStartOnTheSameWorkFolderOnlySaysSo) {
    testsupport::TempDir data;
    setenv("XDG_DATA_HOME", data.path().c_str(), 1);
    const QString work = QString::fromStdString(data.file("Velmar Recorder"));
    QDir().mkdir(work);
    setup::WorkFolderLock first;
    ASSERT_EQ(first.Acquire(work), setup::WorkFolderLock::Result::Held);
    const QStringList files = {"Clp.raw", "Edit.raw", setup::LockFileName, "Velmar.raw"};
    for (const QString& name : files) {
        QFile file(work + "/" + name);
        ASSERT_TRUE(file.open(QIODevice::Append));
        file.write(QByteArray(2 * 17640, 'r'));
    }

    testsupport::RecordingDialogs dialogs;
    bool started = false;
    app::EntryHooks hooks;
    hooks.dialogs = &dialogs;
    hooks.executablePath = QString::fromStdString(data.file("velmar-recorder"));
    hooks.started = [&](TFormMain& main) {
        started = true;
        QTimer::singleShot(0, &main, &QWidget::close);
    };
    int argc = 1;
    char arg0[] = "test_program";
    char* argv[] = {arg0, nullptr};
    const int rc = app::ProgramEntry(argc, argv, hooks);
    unsetenv("XDG_DATA_HOME");

    EXPECT_EQ(rc, 0);
    EXPECT_FALSE(started);
    EXPECT_EQ(dialogs.messages, QStringList{"Velmar Recorder is already running."});
    EXPECT_TRUE(dialogs.errors.isEmpty()) << dialogs.errors.join("; ").toStdString();
    EXPECT_EQ(QDir(work).entryList(QDir::Files | QDir::Hidden), files);
    for (const QString& name : files) {
        EXPECT_EQ(QFileInfo(work + "/" + name).size(), 2 * 17640) << name.toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(hooks.executablePath + ".INI")) << "nor its settings file";
}

} // namespace

// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/blocks.h"
#include "base/errors.h"
#include "setup/settings.h"
#include "setup/startup.h"
#include "setup/work_folder.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <cstdlib>
#include <fstream>
#include <tuple>
#include <unistd.h>

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

void WriteBytes(const QString& path, size_t n, char fill = 'x') {
    std::ofstream(path.toStdString(), std::ios::binary) << std::string(n, fill);
}

std::string ReadFile(const QString& path) {
    std::ifstream in(path.toStdString(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The text StartUp fails with for `exe`; empty when it starts.
QString FailureOf(const QString& exe) {
    try {
        setup::StartUp(exe);
    } catch (const base::UserError& error) {
        return QString::fromUtf8(error.what());
    }
    return {};
}

// A run of the program laid out in a temporary folder: the executable's folder and an
// application-data folder of its own.
class StartupTest : public ::testing::Test {
  protected:
    void SetUp() override {
        QDir().mkpath(Q(root.file("bin")));
        QDir().mkpath(Q(root.file("data")));
        exe = Q(root.file("bin/velmar-recorder"));
        setenv("XDG_DATA_HOME", root.file("data").c_str(), 1);
        // An installed run writes its settings there: never the real ~/.config.
        setenv("XDG_CONFIG_HOME", root.file("config").c_str(), 1);
    }
    void TearDown() override {
        unsetenv("XDG_DATA_HOME");
        unsetenv("XDG_CONFIG_HOME");
    }
    testsupport::TempDir root;
    QString exe;
};

TEST_F(StartupTest, WorkFolderIsTempBesideTheExecutableUnlessTheDataFolderHasOurs) {
    const setup::Environment e = setup::StartUp(exe).environment;
    EXPECT_EQ(e.WorkFolder, Q(root.file("bin/Temp")));
    EXPECT_TRUE(QFileInfo(Q(root.file("bin/Temp"))).isDir());
    EXPECT_FALSE(QFileInfo::exists(Q(root.file("data/Velmar Recorder")))); // never created
    EXPECT_EQ(e.paths.RecordingFilePath, Q(root.file("bin/Temp/Velmar.raw")));
    EXPECT_EQ(e.paths.EditFilePath, Q(root.file("bin/Temp/Edit.raw")));
    EXPECT_EQ(e.paths.ClipFilePath, Q(root.file("bin/Temp/Clp.raw")));
    EXPECT_EQ(e.paths.PeakFilePath, Q(root.file("bin/Temp/Velmar.spv")));
    EXPECT_EQ(e.SettingsFilePath, Q(root.file("bin/velmar-recorder.INI")));
    EXPECT_FALSE(e.ExeDrive.isEmpty());

    QDir().mkdir(Q(root.file("data/Velmar Recorder")));
    EXPECT_EQ(setup::StartUp(exe).environment.WorkFolder, Q(root.file("data/Velmar Recorder")));

    // Without XDG_DATA_HOME the data folder is ~/.local/share.
    unsetenv("XDG_DATA_HOME");
    const char* oldHome = std::getenv("HOME");
    std::string savedHome = oldHome ? oldHome : "";
    setenv("HOME", root.file("home").c_str(), 1);
    QDir().mkpath(Q(root.file("home/.local/share/Velmar Recorder")));
    EXPECT_EQ(setup::StartUp(exe).environment.WorkFolder,
              Q(root.file("home/.local/share/Velmar Recorder")));
    setenv("HOME", savedHome.c_str(), 1);
}

TEST_F(StartupTest, AFolderThatCannotBeMadeOrWrittenIsAClearErrorAndNothingIsSet) {
    // An installed run (no file can be made beside the executable) whose data folder cannot
    // be made: here it would have to be made inside a plain file.
    WriteBytes(Q(root.file("plain")), 1);
    setenv("XDG_DATA_HOME", root.file("plain/share").c_str(), 1);
    const QString missing = Q(root.file("missing/bin/velmar-recorder"));
    EXPECT_EQ(FailureOf(missing), "Can not create " + Q(root.file("plain/share/Velmar Recorder")));
    // What the run goes on with: no work folder, no work files.
    const setup::Environment without = setup::EnvironmentWithoutWorkFolder(missing);
    EXPECT_TRUE(without.paths.RecordingFilePath.isEmpty());
    EXPECT_TRUE(without.WorkFolder.isEmpty());
    EXPECT_EQ(without.ExecutablePath, missing);

    // A folder that exists but takes no files gets the same error. Made immutable rather than
    // read-only, because the tests may run as root.
    setenv("XDG_DATA_HOME", root.file("data").c_str(), 1);
    QString own = Q(root.file("data/Velmar Recorder"));
    QDir().mkdir(own);
    if (std::system(("chattr +i '" + own.toStdString() + "' 2>/dev/null").c_str()) != 0) {
        ASSERT_EQ(::chmod(own.toLocal8Bit().constData(), 0555), 0);
        if (::geteuid() == 0) {
            GTEST_SKIP() << "cannot make a folder unwritable for root here";
        }
    }
    const QString failure = FailureOf(exe);
    std::system(("chattr -i '" + own.toStdString() + "' 2>/dev/null").c_str());
    ::chmod(own.toLocal8Bit().constData(), 0755);
    EXPECT_EQ(failure, "Can not create " + own);
}

TEST_F(StartupTest, LeftOverRecordingIsKeptAsTheRecoveryFileAndOtherWorkFilesGo) {
    QString work = Q(root.file("bin/Temp"));
    QDir().mkdir(work);
    WriteBytes(work + "/Velmar.raw", 3 * base::BlockBytes + 10, 'r');
    WriteBytes(work + "/Edit.raw", base::BlockBytes);
    WriteBytes(work + "/Clp.raw", base::BlockBytes);
    WriteBytes(work + "/Velmar.spv", 24);
    WriteBytes(work + "/Velmar.drp", 7, 'd');

    const setup::Started r = setup::StartUp(exe);
    EXPECT_FALSE(QFileInfo::exists(work + "/Velmar.raw"));
    EXPECT_FALSE(QFileInfo::exists(work + "/Velmar.drp"));
    EXPECT_EQ(ReadFile(work + "/test.drp"), std::string(7, 'd')) << "its dropouts go with it";
    EXPECT_FALSE(QFileInfo::exists(work + "/Edit.raw"));
    EXPECT_FALSE(QFileInfo::exists(work + "/Clp.raw"));
    EXPECT_TRUE(QFileInfo::exists(work + "/Velmar.spv"));
    EXPECT_EQ(ReadFile(work + "/test"), std::string(3 * base::BlockBytes + 10, 'r'));
    EXPECT_TRUE(r.notice.contains(work + "/test")) << r.notice.toStdString();
}

TEST_F(StartupTest, LeftOverRecordingNeverReplacesAnExistingRecoveryFile) {
    QString work = Q(root.file("bin/Temp"));
    QDir().mkdir(work);
    WriteBytes(work + "/test", base::BlockBytes, 't');
    WriteBytes(work + "/Velmar.raw", base::BlockBytes, 'a');
    setup::StartUp(exe);
    WriteBytes(work + "/Velmar.raw", base::BlockBytes, 'b');
    const setup::Started r = setup::StartUp(exe); // a second crash in the same second

    EXPECT_EQ(ReadFile(work + "/test"), std::string(base::BlockBytes, 't'));
    QStringList kept = QDir(work).entryList({"Velmar-kept-*.raw"}, QDir::Files, QDir::Name);
    ASSERT_EQ(kept.size(), 2);
    QString contents =
        QString::fromStdString(ReadFile(work + "/" + kept[0]) + ReadFile(work + "/" + kept[1]));
    EXPECT_EQ(contents.count('a'), base::BlockBytes);
    EXPECT_EQ(contents.count('b'), base::BlockBytes);
    EXPECT_TRUE(r.notice.contains("Velmar-kept-"));
}

TEST_F(StartupTest, EmptyOrPartBlockLeftOverIsDeletedSilently) {
    QString work = Q(root.file("bin/Temp"));
    QDir().mkdir(work);
    WriteBytes(work + "/Velmar.raw", base::BlockBytes - 1);
    WriteBytes(work + "/Velmar.drp", 7);
    const setup::Started r = setup::StartUp(exe);
    EXPECT_FALSE(QFileInfo::exists(work + "/Velmar.raw"));
    EXPECT_FALSE(QFileInfo::exists(work + "/Velmar.drp"));
    EXPECT_FALSE(QFileInfo::exists(work + "/test"));
    EXPECT_TRUE(r.notice.isEmpty());
}

TEST_F(StartupTest, ShutDownWritesTheSettingsEvenUnchangedAndDeletesTheWorkFiles) {
    const setup::Started started = setup::StartUp(exe);
    const setup::Environment& e = started.environment;
    setup::SettingsStore settings(started.settings);
    const QString work = e.WorkFolder;
    const auto writeWorkFiles = [&] {
        for (const char* name : {"Velmar.raw", "Edit.raw", "Clp.raw"}) {
            WriteBytes(work + "/" + name, base::BlockBytes);
        }
    };
    writeWorkFiles();
    WriteBytes(work + "/test", base::BlockBytes);
    EXPECT_NO_THROW(setup::ShutDown(e, settings));
    EXPECT_TRUE(QFileInfo::exists(e.SettingsFilePath));
    EXPECT_EQ(QDir(work).entryList(QDir::Files), QStringList{"test"});

    // What the setters change reaches the file at exit.
    setup::Settings format = settings.Values();
    format.BitRate = 192, format.OutputFolder = "/elsewhere";
    settings.SetSaveFormat(format); // the save format only
    settings.SetOutputFormat(true);
    settings.SetOutputFolder(Q(root.file("out")));
    settings.SetRecordingModeIndex(5);
    setup::ShutDown(e, settings);
    const setup::Settings back = setup::StartUp(exe).settings;
    EXPECT_EQ(
        std::tuple(back.BitRate, back.Wav, back.MP3, back.OutputFolder, back.RecordingModeIndex),
        std::tuple(192, true, false, Q(root.file("out")), 5));

    // A settings file that cannot be written: the work files still go, then the failure says
    // where the settings were not saved.
    QFile::remove(e.SettingsFilePath);
    QDir().mkdir(e.SettingsFilePath);
    writeWorkFiles();
    try {
        setup::ShutDown(e, settings);
        ADD_FAILURE() << "no failure";
    } catch (const base::UserError& error) {
        EXPECT_TRUE(QString::fromUtf8(error.what())
                        .startsWith("The settings could not be saved to " + e.SettingsFilePath))
            << error.what();
    }
    EXPECT_EQ(QDir(work).entryList(QDir::Files), QStringList{"test"});
}

TEST_F(StartupTest, ShutDownWithoutAWorkFolderLeavesTheUsersSettingsAlone) {
    std::string ini = root.file("config/velmar-recorder/velmar-recorder.INI");
    WriteBytes(Q(root.file("plain")), 1);
    setenv("XDG_DATA_HOME", root.file("plain").c_str(), 1);
    const QString missing = Q(root.file("missing/bin/velmar-recorder"));
    ASSERT_FALSE(FailureOf(missing).isEmpty());
    // The settings were never read, so writing them would replace the file with defaults.
    EXPECT_NO_THROW(
        setup::ShutDown(setup::EnvironmentWithoutWorkFolder(missing), setup::SettingsStore()));
    EXPECT_FALSE(QFileInfo::exists(Q(ini)));
}

// One running program per work folder. Another holder here is flock(1) in a shell that then
// becomes `sleep`, so killing it is killing the holding process, as a crash would.
TEST_F(StartupTest, TheWorkFolderLockKeepsASecondStartOutAndAKilledHoldersTakeIsKept) {
    const QString work = setup::WorkFolderFor(exe);
    ASSERT_EQ(work, Q(root.file("bin/Temp")));
    const QString lockPath = work + "/" + setup::LockFileName;
    setup::WorkFolderLock first, second;
    ASSERT_EQ(setup::ClaimWorkFolder(work, first), setup::WorkFolderLock::Result::Held);
    EXPECT_TRUE(QFileInfo(work).isDir()) << "made on the first start";
    EXPECT_EQ(second.Acquire(work), setup::WorkFolderLock::Result::HeldByAnother);
    // The holder's own start-up and shutdown leave its lock file alone.
    setup::ShutDown(setup::StartUp(exe).environment, setup::SettingsStore());
    EXPECT_EQ(QDir(work).entryList(QDir::Files), QStringList{setup::LockFileName});
    EXPECT_EQ(second.Acquire(work), setup::WorkFolderLock::Result::HeldByAnother);
    first.Release();
    EXPECT_FALSE(QFileInfo::exists(lockPath));
    EXPECT_EQ(second.Acquire(work), setup::WorkFolderLock::Result::Held);
    second.Release();

    QProcess holder;
    holder.start("bash", {"-c", "exec 9>>\"$1\" && flock -n 9 && echo held && exec sleep 60", "-",
                          lockPath});
    ASSERT_TRUE(holder.waitForReadyRead(5000));
    ASSERT_EQ(holder.readAll(), "held\n");
    EXPECT_EQ(first.Acquire(work), setup::WorkFolderLock::Result::HeldByAnother);
    WriteBytes(work + "/Velmar.raw", 2 * base::BlockBytes, 'k');
    holder.kill();
    holder.waitForFinished();
    EXPECT_EQ(setup::ClaimWorkFolder(work, first), setup::WorkFolderLock::Result::Held);
    const setup::Started r = setup::StartUp(exe);
    EXPECT_EQ(ReadFile(work + "/test"), std::string(2 * base::BlockBytes, 'k'));
    EXPECT_TRUE(r.notice.contains(work + "/test")) << r.notice.toStdString();
    EXPECT_TRUE(QFileInfo::exists(lockPath));

    // No lock can be had where no file can be made.
    WriteBytes(Q(root.file("plain")), 1);
    setup::WorkFolderLock none;
    EXPECT_EQ(setup::ClaimWorkFolder(Q(root.file("plain/Temp")), none),
              setup::WorkFolderLock::Result::Unavailable);
    EXPECT_FALSE(none.IsHeld());
}

} // namespace

// SPDX-License-Identifier: GPL-3.0-or-later
#include "setup/help_file.h"
#include "setup/placement.h"
#include "setup/settings.h"
#include "setup/startup.h"
#include "setup/work_folder.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdlib>

namespace {

using setup::Placement;

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

// Where one run keeps its files, from where it runs and what the user's folders hold.
struct LocationCase {
    const char* name;
    Placement placement;
    QString appData;      // "" when neither $XDG_DATA_HOME nor $HOME is set
    bool ownFolderExists; // "<appData>/Velmar Recorder" is already there
    QString config;
    QString workFolder;
    QString settingsFile;
};

void PrintTo(const LocationCase& c, std::ostream* os) {
    *os << c.name;
}

class FileLocations : public ::testing::TestWithParam<LocationCase> {};

TEST_P(FileLocations, FollowThePlacement) {
    const LocationCase& c = GetParam();
    const QString exe = "/home/ann/velmar/velmar-recorder";
    EXPECT_EQ(
        setup::ChooseWorkFolder(c.placement, c.appData, c.ownFolderExists, "/home/ann/velmar"),
        c.workFolder);
    EXPECT_EQ(setup::SettingsFilePathFor(c.placement, exe, c.config), c.settingsFile);
}

INSTANTIATE_TEST_SUITE_P(
    Runs, FileLocations,
    ::testing::Values(LocationCase{"InPlaceFirstRun", Placement::InPlace, "/d", false, "/c",
                                   "/home/ann/velmar/Temp", "/home/ann/velmar/velmar-recorder.INI"},
                      LocationCase{"InPlaceWithOwnDataFolder", Placement::InPlace, "/d", true, "/c",
                                   "/d/Velmar Recorder", "/home/ann/velmar/velmar-recorder.INI"},
                      LocationCase{"InPlaceWithoutHome", Placement::InPlace, "", false, "",
                                   "/home/ann/velmar/Temp", "/home/ann/velmar/velmar-recorder.INI"},
                      LocationCase{"InstalledFirstRun", Placement::Installed, "/d", false, "/c",
                                   "/d/Velmar Recorder", "/c/velmar-recorder/velmar-recorder.INI"},
                      LocationCase{"InstalledLaterRun", Placement::Installed, "/d", true, "/c",
                                   "/d/Velmar Recorder", "/c/velmar-recorder/velmar-recorder.INI"},
                      LocationCase{"InstalledWithoutHome", Placement::Installed, "", false, "", "",
                                   ""}),
    [](const ::testing::TestParamInfo<LocationCase>& info) { return info.param.name; });

TEST(Placement, InstalledExactlyWhenNothingCanBeWrittenBesideTheExecutable) {
    testsupport::TempDir dir;
    EXPECT_EQ(setup::PlacementOf(Q(dir.file("velmar-recorder"))), Placement::InPlace);
    EXPECT_EQ(setup::PlacementOf(Q(dir.file("gone/velmar-recorder"))), Placement::Installed);
    // Not even root can create a file in /proc.
    EXPECT_EQ(setup::PlacementOf("/proc/velmar-recorder"), Placement::Installed);
}

// A whole installed start and exit: the work folder is made with its missing parents, the
// settings go to the config folder, and nothing is written beside the executable.
TEST(Placement, InstalledStartUpAndShutDownUseTheXdgFolders) {
    testsupport::TempDir root;
    struct Restore {
        ~Restore() {
            unsetenv("XDG_DATA_HOME");
            unsetenv("XDG_CONFIG_HOME");
        }
    } restore;
    setenv("XDG_DATA_HOME", root.file("home/.local/share").c_str(), 1);
    setenv("XDG_CONFIG_HOME", root.file("home/.config").c_str(), 1);
    const QString exe = Q(root.file("usr/bin/velmar-recorder")); // folder missing: not writable

    const setup::Started started = setup::StartUp(exe);
    const setup::Environment& e = started.environment;
    EXPECT_EQ(e.placement, Placement::Installed);
    EXPECT_EQ(e.WorkFolder, Q(root.file("home/.local/share/Velmar Recorder")));
    EXPECT_TRUE(QFileInfo(e.WorkFolder).isDir());
    EXPECT_EQ(e.paths.RecordingFilePath, e.WorkFolder + "/Velmar.raw");
    const QString ini = Q(root.file("home/.config/velmar-recorder/velmar-recorder.INI"));
    EXPECT_EQ(e.SettingsFilePath, ini);

    setup::SettingsStore settings(started.settings);
    settings.SetRecordingModeIndex(3);
    EXPECT_NO_THROW(setup::ShutDown(e, settings));
    EXPECT_EQ(setup::StartUp(exe).settings.RecordingModeIndex, 3);
    EXPECT_FALSE(QFileInfo::exists(Q(root.file("usr"))));
}

// The user guide in a fake prefix tree: which files exist, and what Help opens.
struct HelpCase {
    const char* name;
    bool beside;          // <prefix>/bin/velmar-recorder.html
    bool installed;       // <prefix>/share/doc/velmar-recorder/velmar-recorder.html
    const char* expected; // relative to the prefix; "" for none
};

void PrintTo(const HelpCase& c, std::ostream* os) {
    *os << c.name;
}

class HelpFile : public ::testing::TestWithParam<HelpCase> {};

TEST_P(HelpFile, IsFoundBesideTheExecutableFirstThenUnderThePrefix) {
    const HelpCase& c = GetParam();
    testsupport::TempDir prefix;
    QDir().mkpath(Q(prefix.file("bin")));
    QDir().mkpath(Q(prefix.file("share/doc/velmar-recorder")));
    if (c.beside) {
        QFile(Q(prefix.file("bin/velmar-recorder.html"))).open(QIODevice::WriteOnly);
    }
    if (c.installed) {
        QFile(Q(prefix.file("share/doc/velmar-recorder/velmar-recorder.html")))
            .open(QIODevice::WriteOnly);
    }
    if (!c.beside) {
        QDir().mkpath(Q(prefix.file("bin/velmar-recorder.html"))); // a folder is not a guide
    }
    const QString exe = Q(prefix.file("bin/velmar-recorder"));
    const QString expected = *c.expected ? Q(prefix.file(c.expected)) : QString();
    EXPECT_EQ(setup::HelpFilePath(exe), expected);
    if (expected.isEmpty()) {
        const QString message = setup::HelpMissingMessage(exe);
        EXPECT_TRUE(message.contains(Q(prefix.file("bin/velmar-recorder.html"))))
            << message.toStdString();
        EXPECT_TRUE(
            message.contains(Q(prefix.file("share/doc/velmar-recorder/velmar-recorder.html"))))
            << message.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Trees, HelpFile,
    ::testing::Values(HelpCase{"BuildFolder", true, false, "bin/velmar-recorder.html"},
                      HelpCase{"Installed", false, true,
                               "share/doc/velmar-recorder/velmar-recorder.html"},
                      HelpCase{"BothBesideWins", true, true, "bin/velmar-recorder.html"},
                      HelpCase{"Missing", false, false, ""}),
    [](const ::testing::TestParamInfo<HelpCase>& info) { return info.param.name; });

} // namespace

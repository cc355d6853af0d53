// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/file_system.h"
#include "support/scripted_file_system.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace {

// The mount point names the "drive" of the disk-space message, so it must be the file system
// that really holds the folder.
TEST(FileSystem, MountPointIsTheTopOfTheFileSystemHoldingThePath) {
    base::SystemFileSystem files;
    EXPECT_EQ(files.MountPointOf("/"), "/");
    EXPECT_EQ(files.MountPointOf("/proc/self/fd"), "/proc");
    EXPECT_EQ(files.MountPointOf("/no/such/folder"), "/");
    testsupport::TempDir dir;
    std::string mount = files.MountPointOf(dir.path());
    EXPECT_EQ(dir.path().rfind(mount, 0), 0u) << mount << " is not above " << dir.path();
}

TEST(FileSystem, FreeSpaceComesFromTheFileSystemTheCallerHolds) {
    testsupport::TempDir dir;
    base::SystemFileSystem system;
    const base::FileSystem& real = system;
    EXPECT_GT(real.FreeBytes(dir.path()), 0);
    EXPECT_EQ(real.FreeBytes("/no/such/folder"), -1);
    testsupport::ScriptedFileSystem scripted;
    scripted.freeBytes = [](const std::string&) { return int64_t(1234); };
    const base::FileSystem& chosen = scripted;
    EXPECT_EQ(chosen.FreeBytes(dir.path()), 1234);
    // The real one is not touched by the scripted answer.
    EXPECT_GT(real.FreeBytes(dir.path()), 1234);
}

} // namespace

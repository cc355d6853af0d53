// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/services/file_system.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace {

// The mount point names the "drive" of the disk-space message, so it must be the file system
// that really holds the folder.
TEST(FileSystem, MountPointIsTheTopOfTheFileSystemHoldingThePath) {
    EXPECT_EQ(platform::MountPointOf("/"), "/");
    EXPECT_EQ(platform::MountPointOf("/proc/self/fd"), "/proc");
    EXPECT_EQ(platform::MountPointOf("/no/such/folder"), "/");
    testsupport::TempDir dir;
    std::string mount = platform::MountPointOf(dir.path());
    EXPECT_EQ(dir.path().rfind(mount, 0), 0u) << mount << " is not above " << dir.path();
}

TEST(FileSystem, FreeSpaceComesFromTheProviderWhenOneIsSet) {
    testsupport::TempDir dir;
    EXPECT_GT(platform::FreeBytes(dir.path()), 0);
    EXPECT_EQ(platform::FreeBytes("/no/such/folder"), -1);
    platform::SetFreeSpaceProvider([](const std::string&) { return int64_t(1234); });
    EXPECT_EQ(platform::FreeBytes(dir.path()), 1234);
    platform::SetFreeSpaceProvider(nullptr);
}

} // namespace

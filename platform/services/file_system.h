// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace platform {

// Free bytes available to this user on the file system that holds `path`; -1 when unknown.
// Tests replace the answer with SetFreeSpaceProvider.
int64_t FreeBytes(const std::string& path);
void SetFreeSpaceProvider(std::function<int64_t(const std::string& path)> provider);

// Mount point of the file system that holds `path` ("/" when it cannot be told). It names the
// "drive" in the disk-space message, since on Linux there are no drive letters.
std::string MountPointOf(const std::string& path);

// The user's application-data folder: $XDG_DATA_HOME, else ~/.local/share; empty when neither
// can be told.
std::string AppDataFolder();
// The user's configuration folder: $XDG_CONFIG_HOME, else ~/.config; empty when neither can be
// told.
std::string ConfigFolder();

bool DirectoryExists(const std::string& path);
bool FileExists(const std::string& path);
// True when a file can actually be created in the folder (a probe file is made and removed).
bool DirectoryWritable(const std::string& path);

} // namespace platform

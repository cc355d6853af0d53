// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace base {

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

} // namespace base

// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/folders.h"

#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace base {

namespace {
// An XDG base folder: the variable when set and not empty, else its default below $HOME.
std::string XdgFolder(const char* variable, const char* belowHome) {
    const char* xdg = std::getenv(variable);
    if (xdg && *xdg) {
        return xdg;
    }
    const char* home = std::getenv("HOME");
    if (home && *home) {
        return std::string(home) + belowHome;
    }
    return {};
}
} // namespace

std::string AppDataFolder() {
    return XdgFolder("XDG_DATA_HOME", "/.local/share");
}

std::string ConfigFolder() {
    return XdgFolder("XDG_CONFIG_HOME", "/.config");
}

bool DirectoryExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryWritable(const std::string& path) {
    std::string probe = path + "/.velmar-write-probe-XXXXXX";
    int fd = ::mkstemp(probe.data());
    if (fd < 0) {
        return false;
    }
    ::close(fd);
    ::unlink(probe.c_str());
    return true;
}

} // namespace base

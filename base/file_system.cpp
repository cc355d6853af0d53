// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/file_system.h"

#include <cstdlib>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace base {

int64_t FileSystem::CopyRange(int in, int64_t from, int out, int64_t to, int64_t bytes) const {
    loff_t inOffset = from;
    loff_t outOffset = to;
    return ::copy_file_range(in, &inOffset, out, &outOffset, size_t(bytes), 0);
}

int64_t SystemFileSystem::FreeBytes(const std::string& path) const {
    struct statvfs vfs {};
    if (::statvfs(path.c_str(), &vfs) != 0) {
        return -1;
    }
    return int64_t(vfs.f_bavail) * int64_t(vfs.f_frsize);
}

std::string SystemFileSystem::MountPointOf(const std::string& path) const {
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real) {
        return "/";
    }
    std::string p(real);
    std::free(real);
    struct stat st {};
    if (::stat(p.c_str(), &st) != 0) {
        return "/";
    }
    const dev_t dev = st.st_dev;
    // Walk up while the parent still lies on the same device.
    while (p != "/") {
        const size_t cut = p.find_last_of('/');
        const std::string parent = cut == 0 ? std::string("/") : std::string(p, 0, cut);
        struct stat pst {};
        if (::stat(parent.c_str(), &pst) != 0 || pst.st_dev != dev) {
            break;
        }
        p.resize(cut == 0 ? 1 : cut);
    }
    return p;
}

} // namespace base

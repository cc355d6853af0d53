// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/file_system.h"

#include <cstdint>
#include <functional>
#include <string>

namespace testsupport {

// A file system whose free space and write faults the test decides; the mount point is the real
// one. Unset, it has 1 TiB free and every write goes through.
struct ScriptedFileSystem : base::FileSystem {
    std::function<int64_t(const std::string& path)> freeBytes;
    // The error number a write of `bytes` at `offset` of `path` fails with; 0 lets it through.
    std::function<int(const std::string& path, int64_t offset, int64_t bytes)> writeFault;

    int64_t FreeBytes(const std::string& path) const override {
        return freeBytes ? freeBytes(path) : int64_t(1) << 40;
    }
    std::string MountPointOf(const std::string& path) const override {
        return base::SystemFileSystem().MountPointOf(path);
    }
    int WriteFault(const std::string& path, int64_t offset, int64_t bytes) const override {
        return writeFault ? writeFault(path, offset, bytes) : 0;
    }
};

} // namespace testsupport

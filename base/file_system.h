// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

namespace base {

// What the engine asks of the file system beyond reading and writing its files, and the one
// seam through which tests make writes fail. Passed by reference to the objects that write
// (the recorder, the editor, the exporter, the found-recording load).
class FileSystem {
  public:
    virtual ~FileSystem() = default;
    // Free bytes available to this user on the file system that holds `path`; -1 when unknown.
    virtual int64_t FreeBytes(const std::string& path) const = 0;
    // Mount point of the file system that holds `path` ("/" when it cannot be told). It names the
    // "drive" in the disk-space message, since on Linux there are no drive letters.
    virtual std::string MountPointOf(const std::string& path) const = 0;
    // Asked before every write of `bytes` bytes at byte `offset` of `path`: an error number
    // (ENOSPC for a full disk, EIO, ...) makes that write fail as the system would; 0 lets it
    // go through. Only tests answer anything but 0.
    virtual int WriteFault(const std::string& path, int64_t offset, int64_t bytes) const {
        (void)path, (void)offset, (void)bytes;
        return 0;
    }
    // One kernel copy (copy_file_range) of up to `bytes` bytes from byte `from` of the open file
    // `in` to byte `to` of the open file `out`: the bytes copied (0 at the end of `in`), or -1 with
    // errno set. Tests make the kernel refuse here.
    virtual int64_t CopyRange(int in, int64_t from, int out, int64_t to, int64_t bytes) const;
};

// The real file system: statvfs for the free space, the mount table walk for the mount point.
class SystemFileSystem : public FileSystem {
  public:
    int64_t FreeBytes(const std::string& path) const override;
    std::string MountPointOf(const std::string& path) const override;
};

} // namespace base

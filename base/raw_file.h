// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/blocks.h"
#include "base/file_system.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace base {

// A raw block file (recording, edit or clip file) over a POSIX file descriptor. Every access
// moves whole blocks at 64-bit offsets; the length is always counted in whole blocks, so a
// trailing part-block is ignored. Writes either complete or throw StreamWriteError; reads never
// throw: a short read leaves the rest of the caller's buffer as it was.
class RawFile {
  public:
    RawFile() = default;
    // A file whose writes ask `fileSystem` first (its WriteFault seam); it must outlive the file.
    explicit RawFile(const base::FileSystem& fileSystem) : fileSystem_(&fileSystem) {}
    ~RawFile();
    RawFile(const RawFile&) = delete;
    RawFile& operator=(const RawFile&) = delete;
    RawFile(RawFile&& other) noexcept;
    RawFile& operator=(RawFile&& other) noexcept;

    // Creates the file empty (an existing one is emptied) for reading and writing.
    // Throws FileOpenError with the system's reason.
    void Create(const std::string& path);
    // Opens an existing file for reading and writing without changing it.
    void OpenExisting(const std::string& path);
    // Opens an existing file for reading only: every write to it throws StreamWriteError, so a
    // file the program must never change stays as it is. Throws FileOpenError, also for a folder.
    void OpenReadOnly(const std::string& path);
    // Closes the descriptor; harmless when not open.
    void Release();

    bool IsOpen() const { return fd_ >= 0; }
    // The open file's descriptor (-1 when closed), for a kernel copy out of it; reads only.
    int Descriptor() const { return fd_; }
    const std::string& Path() const { return path_; }

    int64_t SizeBytes() const { return size_; }
    // Length in whole blocks (size / 17640, truncated).
    uint32_t Blocks() const { return uint32_t(size_ / BlockBytes); }

    // Reads block n (1-based) into buf (BlockBytes bytes). Returns the bytes read: fewer at or
    // past the end of the file.
    size_t ReadBlock(uint32_t n, void* buf) const;
    // Reads count consecutive blocks starting at block n; returns the bytes read.
    size_t ReadBlocks(uint32_t n, void* buf, uint32_t count) const;

    // Writes count blocks starting at block n (1-based), growing the file as needed.
    void WriteBlocks(uint32_t n, const void* buf, uint32_t count);
    void WriteBlock(uint32_t n, const void* buf) { WriteBlocks(n, buf, 1); }
    // Appends one block after the last whole block; returns its block number.
    uint32_t AppendBlock(const void* buf);

    // Cuts the file to count whole blocks (used to drop a part-block left by a failed write).
    void TruncateBlocks(uint32_t count);

  private:
    void Open(const std::string& path, int flags);
    void WriteAt(int64_t offset, const void* buf, size_t bytes);

    const base::FileSystem* fileSystem_ = nullptr;
    int fd_ = -1;
    int64_t size_ = 0;
    std::string path_;
};

} // namespace base

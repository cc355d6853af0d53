// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/raw_file.h"

#include "base/errors.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace base {

RawFile::~RawFile() {
    Release();
}

RawFile::RawFile(RawFile&& other) noexcept
    : fileSystem_(other.fileSystem_), fd_(std::exchange(other.fd_, -1)),
      size_(std::exchange(other.size_, 0)), path_(std::move(other.path_)) {}

RawFile& RawFile::operator=(RawFile&& other) noexcept {
    if (this != &other) {
        Release();
        fileSystem_ = other.fileSystem_;
        fd_ = std::exchange(other.fd_, -1);
        size_ = std::exchange(other.size_, 0);
        path_ = std::move(other.path_);
    }
    return *this;
}

void RawFile::Create(const std::string& path) {
    Open(path, O_RDWR | O_CREAT | O_TRUNC);
}
void RawFile::OpenExisting(const std::string& path) {
    Open(path, O_RDWR);
}
void RawFile::OpenReadOnly(const std::string& path) {
    Open(path, O_RDONLY);
}

void RawFile::Open(const std::string& path, int flags) {
    Release();
    const bool creating = (flags & O_CREAT) != 0;
    const std::string failure =
        std::string(creating ? "Cannot create file \"" : "Cannot open file \"") + path + "\". ";
    int fd = ::open(path.c_str(), flags | O_CLOEXEC, 0644);
    if (fd < 0) {
        throw FileOpenError(failure + std::strerror(errno));
    }
    struct stat st {};
    // A folder opens for reading, but holds no blocks.
    int err = ::fstat(fd, &st) != 0 ? errno : S_ISDIR(st.st_mode) ? EISDIR : 0;
    if (err != 0) {
        ::close(fd);
        throw FileOpenError(failure + std::strerror(err));
    }
    fd_ = fd;
    size_ = st.st_size;
    path_ = path;
}

void RawFile::Release() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
    fd_ = -1;
    size_ = 0;
    path_.clear();
}

size_t RawFile::ReadBlock(uint32_t n, void* buf) const {
    return ReadBlocks(n, buf, 1);
}

size_t RawFile::ReadBlocks(uint32_t n, void* buf, uint32_t count) const {
    if (fd_ < 0 || n == 0) {
        return 0;
    }
    size_t want = size_t(count) * BlockBytes;
    int64_t offset = BlockOffset(n);
    size_t done = 0;
    auto* out = static_cast<char*>(buf);
    while (done < want) {
        ssize_t got = ::pread(fd_, out + done, want - done, offset + int64_t(done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        done += size_t(got);
    }
    return done;
}

void RawFile::WriteAt(int64_t offset, const void* buf, size_t bytes) {
    if (fd_ < 0) {
        throw StreamWriteError(EBADF);
    }
    if (fileSystem_) {
        if (const int error = fileSystem_->WriteFault(path_, offset, int64_t(bytes))) {
            throw StreamWriteError(error);
        }
    }
    size_t done = 0;
    const auto* in = static_cast<const char*>(buf);
    while (done < bytes) {
        ssize_t put = ::pwrite(fd_, in + done, bytes - done, offset + int64_t(done));
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            int err = put < 0 ? errno : ENOSPC;
            // Whatever part did land still counts towards the size the file now has.
            size_ = std::max(size_, offset + int64_t(done));
            throw StreamWriteError(err);
        }
        done += size_t(put);
    }
    size_ = std::max(size_, offset + int64_t(bytes));
}

void RawFile::WriteBlocks(uint32_t n, const void* buf, uint32_t count) {
    WriteAt(BlockOffset(n), buf, size_t(count) * BlockBytes);
}

uint32_t RawFile::AppendBlock(const void* buf) {
    uint32_t n = Blocks() + 1;
    WriteAt(BlockOffset(n), buf, BlockBytes);
    return n;
}

void RawFile::TruncateBlocks(uint32_t count) {
    if (fd_ < 0) {
        return;
    }
    int64_t bytes = int64_t(count) * BlockBytes;
    if (::ftruncate(fd_, bytes) == 0) {
        size_ = bytes;
    }
}

} // namespace base

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/file_system.h"

#include <QString>
#include <QtGlobal>

// The temporary file beside the target.
namespace exporting {

// Created in the target's folder under a short unique hidden name (".velmar-" and six
// characters); Commit() renames it over the target (atomic on one file system); the destructor
// deletes it unless committed. So a cancelled or failed export leaves the user's earlier file
// exactly as it was. Every failure throws base::UserError with the file's name and the
// system's reason. Each write asks `files` first (WriteFault: the tests' full disk).
class TargetFile {
  public:
    TargetFile(const QString& target, const base::FileSystem& files);
    ~TargetFile();
    TargetFile(const TargetFile&) = delete;
    TargetFile& operator=(const TargetFile&) = delete;

    void Open();                                // creates the temporary file
    void Write(const void* data, qint64 bytes); // appends
    void WriteAt(qint64 offset, const void* data, qint64 bytes);
    // Copies `bytes` bytes from byte `from` of the open file `in` to byte `offset` in the kernel,
    // without passing them through the program. Returns the bytes copied: all of them, fewer
    // when `in` ends first, or fewer (0 at once) when the kernel will not make such a copy (file
    // systems it cannot copy between, no support: EXDEV, ENOSYS, EINVAL, EOPNOTSUPP); the caller
    // then writes the rest itself. Any other failure throws as a write does.
    qint64 CopyAt(qint64 offset, int in, qint64 from, qint64 bytes);
    void Commit(); // fsync + rename over the target
    QString TemporaryPath() const;

  private:
    [[noreturn]] void Fail(const char* what, int err) const;

    const base::FileSystem& files_;
    QString target_;
    QString temporary_;
    int fd_ = -1;
    qint64 size_ = 0; // where Write appends
    bool committed_ = false;
};

} // namespace exporting

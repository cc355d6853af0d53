// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>

#include <functional>

// The temporary file beside the target.
namespace exporting {

// Created in the target's folder under a short unique hidden name (".velmar-" and six
// characters); Commit() renames it over the target (atomic on one file system); the destructor
// deletes it unless committed. So a cancelled or failed export leaves the user's earlier file
// exactly as it was.
class TargetFile {
  public:
    explicit TargetFile(const QString& target);
    ~TargetFile();
    TargetFile(const TargetFile&) = delete;
    TargetFile& operator=(const TargetFile&) = delete;

    bool Open(QString* error); // creates the temporary file
    bool Write(const void* data, qint64 bytes,
               QString* error); // appends; false on a short/failed write
    bool WriteAt(qint64 offset, const void* data, qint64 bytes, QString* error);
    bool Commit(QString* error); // fsync + rename over the target
    QString TemporaryPath() const;

    // Test hook: when set, it is asked before every write (byte offset, byte count) and a true
    // answer makes the write fail as a full disk would (ENOSPC).
    using WriteFault = std::function<bool(qint64 offset, qint64 bytes)>;
    static void SetWriteFault(WriteFault fault);

  private:
    bool Fail(QString* error, const char* what, int err);

    QString target_;
    QString temporary_;
    int fd_ = -1;
    qint64 size_ = 0; // where Write appends
    bool committed_ = false;
};

} // namespace exporting

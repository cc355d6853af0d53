// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/target_file.h"

#include "base/errors.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace exporting {

TargetFile::TargetFile(const QString& target, const base::FileSystem& files)
    : files_(files), target_(target) {}

TargetFile::~TargetFile() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
    if (!committed_ && !temporary_.isEmpty()) {
        ::unlink(QFile::encodeName(temporary_).constData());
    }
}

QString TargetFile::TemporaryPath() const {
    return temporary_;
}

void TargetFile::Fail(const char* what, int err) const {
    throw base::UserError(QString("%1 \"%2\". %3")
                              .arg(what, target_, QString::fromLocal8Bit(std::strerror(err)))
                              .toStdString());
}

void TargetFile::Open() {
    const QFileInfo info(target_);
    // Hidden, and in the target's own folder so that the final rename stays on one file system.
    // The name is short and not made from the target's: a target name of the longest length the
    // file system allows must still leave room for the temporary one.
    QByteArray pattern = QFile::encodeName(info.absolutePath() + "/.velmar-XXXXXX");
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        Fail("Cannot create file", errno);
    }
    // mkstemp makes the file private (0600); the export should get the mode a new file gets.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    fd_ = fd;
    size_ = 0;
    temporary_ = QFile::decodeName(pattern);
}

void TargetFile::WriteAt(qint64 offset, const void* data, qint64 bytes) {
    if (fd_ < 0) {
        Fail("Cannot write file", EBADF);
    }
    if (const int fault =
            files_.WriteFault(QFile::encodeName(temporary_).toStdString(), offset, bytes)) {
        Fail("Cannot write file", fault);
    }
    const auto* in = static_cast<const char*>(data);
    qint64 done = 0;
    while (done < bytes) {
        const ssize_t put = ::pwrite(fd_, in + done, size_t(bytes - done), off_t(offset + done));
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            Fail("Cannot write file", put < 0 ? errno : ENOSPC);
        }
        done += put;
    }
    size_ = std::max(size_, offset + bytes);
}

qint64 TargetFile::CopyAt(qint64 offset, int in, qint64 from, qint64 bytes) {
    if (fd_ < 0) {
        Fail("Cannot write file", EBADF);
    }
    if (const int fault =
            files_.WriteFault(QFile::encodeName(temporary_).toStdString(), offset, bytes)) {
        Fail("Cannot write file", fault);
    }
    qint64 done = 0;
    while (done < bytes) {
        const int64_t put = files_.CopyRange(in, from + done, fd_, offset + done, bytes - done);
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put < 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL ||
                        errno == EOPNOTSUPP || errno == EBADF || errno == EPERM)) {
            break; // refused: the caller reads and writes the rest
        }
        if (put < 0) {
            Fail("Cannot write file", errno);
        }
        if (put == 0) {
            break; // the source ended
        }
        done += put;
    }
    size_ = std::max(size_, offset + done);
    return done;
}

void TargetFile::Write(const void* data, qint64 bytes) {
    WriteAt(size_, data, bytes);
}

void TargetFile::Commit() {
    if (fd_ < 0) {
        Fail("Cannot write file", EBADF);
    }
    // The data must be on disk before the rename makes it the target, or a crash could leave an
    // empty file where the user's earlier one was.
    if (::fsync(fd_) != 0) {
        Fail("Cannot write file", errno);
    }
    const int closed = ::close(fd_);
    fd_ = -1;
    if (closed != 0) {
        Fail("Cannot write file", errno);
    }
    if (::rename(QFile::encodeName(temporary_).constData(),
                 QFile::encodeName(target_).constData()) != 0) {
        Fail("Cannot create file", errno);
    }
    committed_ = true;
}

} // namespace exporting

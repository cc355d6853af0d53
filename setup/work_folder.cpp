// SPDX-License-Identifier: GPL-3.0-or-later
#include "setup/work_folder.h"

#include "base/folders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace setup {

QString OwnDataFolder(const QString& appDataFolder) {
    return appDataFolder.isEmpty() ? QString() : appDataFolder + "/Velmar Recorder";
}

QString ChooseWorkFolder(Placement placement, const QString& appDataFolder, bool ownFolderExists,
                         const QString& executableDir) {
    if (placement == Placement::Installed || ownFolderExists) {
        return OwnDataFolder(appDataFolder);
    }
    return executableDir + "/Temp";
}

bool PrepareWorkFolder(const QString& workFolder) {
    std::string path = workFolder.toStdString();
    if (workFolder.isEmpty() || (!base::DirectoryExists(path) && !QDir().mkpath(workFolder))) {
        return false;
    }
    return base::DirectoryWritable(path);
}

WorkPaths WorkPathsFor(const QString& workFolder) {
    return WorkPaths{workFolder + "/Velmar.raw", workFolder + "/Edit.raw",
                     workFolder + "/Clp.raw",    workFolder + "/Velmar.spv",
                     workFolder + "/test",       workFolder + "/Velmar.drp"};
}

QString DropoutFileOf(const QString& recordingFile) {
    QString stem = recordingFile;
    if (stem.endsWith(".raw")) {
        stem.chop(4);
    }
    return stem + ".drp";
}

QString WorkFolderFor(const QString& executablePath) {
    const QString appData = QString::fromStdString(base::AppDataFolder());
    const QString own = OwnDataFolder(appData);
    return ChooseWorkFolder(PlacementOf(executablePath), appData,
                            !own.isEmpty() && base::DirectoryExists(own.toStdString()),
                            QFileInfo(executablePath).path());
}

WorkFolderLock::Result WorkFolderLock::Acquire(const QString& workFolder) {
    Release();
    const QByteArray path = QFile::encodeName(workFolder + "/" + LockFileName);
    // A holder deletes the file as it exits; a lock taken on the file it just deleted would let
    // a third start run beside the next one, so the lock counts only on the file still named so.
    for (int attempt = 0; attempt < 3; ++attempt) {
        // Close-on-exec: a program started from here (the help viewer) must not keep the lock.
        const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0) {
            return Result::Unavailable;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            ::close(fd);
            return error == EWOULDBLOCK ? Result::HeldByAnother : Result::Unavailable;
        }
        struct stat held {
        }, named{};
        if (::fstat(fd, &held) == 0 && ::stat(path.constData(), &named) == 0 &&
            held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
            fd_ = fd;
            path_ = QFile::decodeName(path);
            return Result::Held;
        }
        ::close(fd);
    }
    return Result::Unavailable;
}

void WorkFolderLock::Release() {
    if (fd_ < 0) {
        return;
    }
    // Deleted while still held, so no other start can take a lock on it meanwhile.
    ::unlink(QFile::encodeName(path_).constData());
    ::close(fd_);
    fd_ = -1;
    path_.clear();
}

WorkFolderLock::Result ClaimWorkFolder(const QString& workFolder, WorkFolderLock& lock) {
    if (!PrepareWorkFolder(workFolder)) {
        return WorkFolderLock::Result::Unavailable;
    }
    return lock.Acquire(workFolder);
}

} // namespace setup

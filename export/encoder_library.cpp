// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/encoder_library.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <dlfcn.h>

namespace exporting {

namespace {

QString ExecutablePath() {
    if (QCoreApplication::instance()) {
        return QCoreApplication::applicationFilePath();
    }
    // Engine tests and tools run without an application object.
    return QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
}

template <typename Fn> bool Lookup(void* handle, const char* name, Fn& out) {
    out = reinterpret_cast<Fn>(::dlsym(handle, name));
    return out != nullptr;
}

} // namespace

QStringList EncoderLibraryCandidates(const QString& executablePath) {
    const QString name = QString::fromLatin1(EncoderLibraryFileName);
    QStringList out;
    if (!executablePath.isEmpty()) {
        const QDir folder = QFileInfo(executablePath).absoluteDir();
        out << folder.filePath(name);
        out << QDir::cleanPath(folder.filePath(QStringLiteral("../lib/velmar-recorder/") + name));
    }
    out << name;
    return out;
}

std::unique_ptr<EncoderLibrary> SystemEncoderLoader::Load() const {
    return std::make_unique<EncoderLibrary>(EncoderLibraryCandidates(ExecutablePath()));
}

std::unique_ptr<EncoderLibrary> PathEncoderLoader::Load() const {
    return std::make_unique<EncoderLibrary>(QStringList{path_});
}

EncoderLibrary::EncoderLibrary(const QStringList& places) {
    for (const QString& path : places) {
        if (Open(path)) {
            return;
        }
    }
}

EncoderLibrary::~EncoderLibrary() {
    Release();
}

bool EncoderLibrary::Open(const QString& path) {
    handle_ = ::dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        return false;
    }
    // A file without all six is not our library; the next place may hold the right one.
    if (!Lookup(handle_, "beInitStream", beInitStream) ||
        !Lookup(handle_, "beEncodeChunk", beEncodeChunk) ||
        !Lookup(handle_, "beDeinitStream", beDeinitStream) ||
        !Lookup(handle_, "beCloseStream", beCloseStream) ||
        !Lookup(handle_, "beVersion", beVersion) ||
        !Lookup(handle_, "beWriteVBRHeader", beWriteVBRHeader)) {
        Release();
        return false;
    }
    path_ = path;
    return true;
}

void EncoderLibrary::Release() {
    if (handle_) {
        ::dlclose(handle_);
    }
    handle_ = nullptr;
    path_.clear();
    beInitStream = nullptr;
    beEncodeChunk = nullptr;
    beDeinitStream = nullptr;
    beCloseStream = nullptr;
    beVersion = nullptr;
    beWriteVBRHeader = nullptr;
}

} // namespace exporting

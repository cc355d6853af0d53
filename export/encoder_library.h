// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "lame_enc/lame_enc.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <utility>

// The MP3 encoder library, lame_enc.so, opened at run time. The program runs without it; only
// the MP3 export needs it, and it loads the library for each export and releases it after.
namespace exporting {

constexpr const char* EncoderLibraryFileName = "lame_enc.so";

// Where the library is looked for, in order, for a program at `executablePath`: beside the
// executable; in <prefix>/lib/velmar-recorder of an installed program, the prefix being the
// executable's folder's parent; then by bare name in the system's library path.
QStringList EncoderLibraryCandidates(const QString& executablePath);

// One loaded copy of the library and its six entry points. The constructor tries `places` in
// order and keeps the first file that opens and has every entry point; the destructor releases
// it. When IsLoaded() is false every pointer is null.
class EncoderLibrary {
  public:
    explicit EncoderLibrary(const QStringList& places);
    ~EncoderLibrary();
    EncoderLibrary(const EncoderLibrary&) = delete;
    EncoderLibrary& operator=(const EncoderLibrary&) = delete;

    bool IsLoaded() const { return handle_ != nullptr; }
    // The file that was loaded, empty when none was.
    const QString& Path() const { return path_; }

    BeInitStreamFn beInitStream = nullptr;
    BeEncodeChunkFn beEncodeChunk = nullptr;
    BeDeinitStreamFn beDeinitStream = nullptr;
    BeCloseStreamFn beCloseStream = nullptr;
    BeVersionFn beVersion = nullptr;
    BeWriteVBRHeaderFn beWriteVBRHeader = nullptr;

  private:
    bool Open(const QString& path);
    void Release();

    void* handle_ = nullptr;
    QString path_;
};

// Loads the library for one export; the export releases it when done. The program's loader
// searches the places above; a test gives one that loads the file it names.
class EncoderLoader {
  public:
    virtual ~EncoderLoader() = default;
    // A library that may not be loaded (IsLoaded() false) when no place holds a usable one.
    virtual std::unique_ptr<EncoderLibrary> Load() const = 0;
};

// The places EncoderLibraryCandidates gives for the running executable.
class SystemEncoderLoader final : public EncoderLoader {
  public:
    std::unique_ptr<EncoderLibrary> Load() const override;
};

// The one file at `path` and nowhere else: a missing file makes the library missing.
class PathEncoderLoader final : public EncoderLoader {
  public:
    explicit PathEncoderLoader(QString path) : path_(std::move(path)) {}
    std::unique_ptr<EncoderLibrary> Load() const override;

  private:
    QString path_;
};

} // namespace exporting

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "lame_enc/lame_enc.h"

#include <QString>
#include <QStringList>

// The MP3 encoder library, lame_enc.so, opened at run time. The program runs without it; only
// the MP3 export needs it, and it loads the library for each export and releases it after.
namespace platform {

constexpr const char* EncoderLibraryFileName = "lame_enc.so";

// Where the library is looked for, in order, for a program at `executablePath`: beside the
// executable; in <prefix>/lib/velmar-recorder of an installed program, the prefix being the
// executable's folder's parent; then by bare name in the system's library path.
QStringList EncoderLibraryCandidates(const QString& executablePath);

// Test seam: a non-empty path is the only place looked at from then on (a missing file makes
// the library missing); an empty one returns to the candidates above.
void SetEncoderLibraryPath(const QString& path);

// One loaded copy of the library and its six entry points. The constructor tries the places in
// order and keeps the first file that opens and has every entry point; the destructor releases
// it. When IsLoaded() is false every pointer is null.
class EncoderLibrary {
  public:
    EncoderLibrary();
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

} // namespace platform

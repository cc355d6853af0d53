// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/file_system.h"
#include "export/encoder_library.h"
#include "record/pipeline.h"
#include "setup/settings.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <atomic>
#include <cstdint>
#include <thread>

namespace exporting {

// "Velmar 2026-12-08 14-03-12.wav": the name of a save whose first sample is at `firstSample`.
QString SaveNowName(const QDateTime& firstSample, const QString& suffix);
// That name in `folder`, with " (2)", " (3)", ... before the suffix while the name exists.
QString FreeSaveNowPath(const QString& folder, const QDateTime& firstSample, const QString& suffix);
// A saved length as the status bar shows it: "3:00", "59:59", "1:00:00".
QString SavedLengthText(uint32_t blocks);

// Save Now: writes what the running recording holds at the command (Recorder::SnapshotForSave)
// in the save format of the settings into their output folder, while the recording goes on. The
// file is written on a worker thread of its own through its own descriptor of the recording file,
// so the recording ticks on the GUI thread never wait for it; the recorder's write mark tells the
// worker when a loop has come round to a block it has not read yet, and the save then fails
// rather than write a block from after the command (the exporter's temporary file keeps a failed
// save from leaving a file). One save at a time. The recorder must outlive this object.
class SaveNow : public QObject {
    Q_OBJECT

  public:
    SaveNow(const record::Recorder& recorder, const EncoderLoader& encoders,
            const base::FileSystem& files);
    // A running save is stopped (leaving no file) and waited for.
    ~SaveNow() override;
    SaveNow(const SaveNow&) = delete;
    SaveNow& operator=(const SaveNow&) = delete;

    // Starts a save of the take as it is now, or of its newest `newest` blocks when `newest` > 0,
    // and returns the path it will write at once. Throws base::UserError, starting nothing, when
    // a save is already running, no recording runs or the output folder is missing.
    QString Start(const setup::Settings& settings, uint32_t newest = 0);
    bool Running() const { return running_.load(); }

  signals:
    // From the worker thread when the save has ended: the file written and its length in
    // blocks, or the failure's text with an empty path. Connect queued.
    void Finished(const QString& path, quint32 blocks, const QString& error);

  private:
    const record::Recorder& recorder_;
    const EncoderLoader& encoders_;
    const base::FileSystem& files_;
    std::atomic<bool> running_{false};
    std::atomic<bool> abort_{false};
    std::thread worker_;
};

} // namespace exporting

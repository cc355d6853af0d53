// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/save_now.h"

#include "base/errors.h"
#include "base/event_pump.h"
#include "base/raw_file.h"
#include "export/exporter.h"
#include "export/save_flow.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cstring>
#include <memory>

namespace exporting {

QString SaveNowName(const QDateTime& firstSample, const QString& suffix) {
    return "Velmar " + firstSample.toString("yyyy-MM-dd HH-mm-ss") + "." + suffix;
}

QString FreeSaveNowPath(const QString& folder, const QDateTime& firstSample,
                        const QString& suffix) {
    const QDir dir(folder);
    const QString stem = "Velmar " + firstSample.toString("yyyy-MM-dd HH-mm-ss");
    QString path = dir.filePath(stem + "." + suffix);
    for (int n = 2; QFileInfo::exists(path); ++n) {
        path = dir.filePath(QString("%1 (%2).%3").arg(stem).arg(n).arg(suffix));
    }
    return path;
}

QString SavedLengthText(uint32_t blocks) {
    const uint64_t seconds = uint64_t(blocks) * base::BlockFrames / base::SampleRate;
    const auto two = [](uint64_t v) { return QString("%1").arg(v, 2, 10, QChar('0')); };
    if (seconds >= 3600) {
        return QString::number(seconds / 3600) + ":" + two(seconds / 60 % 60) + ":" +
               two(seconds % 60);
    }
    return QString::number(seconds / 60) + ":" + two(seconds % 60);
}

namespace {

const char* const OvertakenText =
    "Save Now could not keep up: the loop came round to blocks it had not saved yet. No file "
    "was written; the recording goes on.";

const char* const MovedText =
    "Save Now stopped: the recording filled in a dropout with silence while the save read it, "
    "moving blocks it had not saved yet. No file was written; the recording goes on.";

// The snapshot as a sound for the exporter: the file's part read through its own descriptor, then
// the blocks copied from the capture slots at the command. After every read of the file
// it checks the recorder's write mark: a block whose ring position has begun to be written again
// may hold sound from after the command, so the save stops there with OvertakenText and the
// exporter drops its temporary file.
class SnapshotSource final : public operations::SoundSource {
  public:
    SnapshotSource(record::SaveSnapshot snapshot, const record::Recorder& recorder,
                   const std::atomic<bool>& abort)
        : snapshot_(std::move(snapshot)), recorder_(recorder), abort_(abort) {
        file_.OpenReadOnly(snapshot_.path);
    }

    uint32_t Blocks() const override { return snapshot_.blocks; }

    size_t ReadPosition(uint32_t position, void* buf) const override {
        return ReadPositions(position, 1, buf).bytes;
    }

    operations::PositionsRead ReadPositions(uint32_t position, uint32_t count,
                                            void* buf) const override {
        if (abort_.load()) {
            throw base::UserError("Save Now was stopped; no file was written.");
        }
        uint32_t p = position;
        for (int r = 0; r < snapshot_.order.runs && position > 0; ++r) {
            const record::BlockRun& run = snapshot_.order.run[r];
            if (p <= run.count) {
                const uint32_t n = std::min(count, run.count - (p - 1));
                const size_t bytes = file_.ReadBlocks(run.first + p - 1, buf, n);
                std::atomic_thread_fence(std::memory_order_seq_cst);
                // The oldest block of the read is the first one the recorder reaches.
                if (!record::SnapshotBlockIntact(snapshot_, snapshot_.firstIndex + position - 1,
                                                 recorder_.WriteMark())) {
                    throw base::UserError(OvertakenText);
                }
                if (recorder_.TailMoves() != snapshot_.tailMoves) {
                    throw base::UserError(MovedText);
                }
                return {n, bytes};
            }
            p -= run.count;
        }
        // The blocks that were still in the capture slots at the command, copied then.
        const uint32_t held = uint32_t(snapshot_.unwritten.size() / base::BlockBytes);
        if (position > 0 && p <= held) {
            const uint32_t n = std::min(count, held - (p - 1));
            std::memcpy(buf, snapshot_.unwritten.data() + size_t(p - 1) * base::BlockBytes,
                        size_t(n) * base::BlockBytes);
            return {n, size_t(n) * base::BlockBytes};
        }
        return {0, 0};
    }

    std::optional<base::BlockPeaks> Peaks(uint32_t position) const override {
        if (position == 0 || position > snapshot_.blocks) {
            return std::nullopt;
        }
        return base::BlockPeaks{0, 0, 0, 0};
    }

  private:
    record::SaveSnapshot snapshot_;
    const record::Recorder& recorder_;
    const std::atomic<bool>& abort_;
    base::RawFile file_;
};

} // namespace

SaveNow::SaveNow(const record::Recorder& recorder, const EncoderLoader& encoders,
                 const base::FileSystem& files)
    : recorder_(recorder), encoders_(encoders), files_(files) {}

SaveNow::~SaveNow() {
    abort_ = true;
    if (worker_.joinable()) {
        worker_.join();
    }
}

QString SaveNow::Start(const setup::Settings& settings, uint32_t newest) {
    if (running_.load()) {
        throw base::UserError("A save is already running; Save Now waits until it has ended.");
    }
    if (worker_.joinable()) {
        worker_.join(); // the previous save has ended; only its thread is left
    }
    record::SaveSnapshot snapshot = recorder_.SnapshotForSave(newest);
    if (settings.OutputFolder.isEmpty() || !QFileInfo(settings.OutputFolder).isDir()) {
        throw base::UserError("The output folder " + settings.OutputFolder.toStdString() +
                              " does not exist. Choose one with File › Save As... first.");
    }
    const QString suffix = ExportsWav(settings) ? "wav" : "mp3";
    const QString target = FreeSaveNowPath(settings.OutputFolder, snapshot.firstSampleTime, suffix);
    // Opened here, at the command: a recording started later unlinks the file and makes a new
    // one, which this descriptor never sees.
    auto source = std::make_shared<SnapshotSource>(std::move(snapshot), recorder_, abort_);
    abort_ = false;
    running_ = true;
    worker_ = std::thread([this, source, target, settings] {
        QString error;
        uint32_t blocks = 0;
        try {
            base::IdleEventPump pump; // nothing to pump off the GUI thread
            Exporter exporter(*source, encoders_, files_, pump);
            exporter.Export(target, settings, 1, source->Blocks());
            blocks = source->Blocks();
        } catch (const base::UserError& failure) {
            error = QString::fromUtf8(failure.what());
        } catch (const std::exception& failure) {
            error = QString("Save Now failed: %1").arg(QString::fromUtf8(failure.what()));
        }
        running_ = false;
        emit Finished(error.isEmpty() ? target : QString(), blocks, error);
    });
    return target;
}

} // namespace exporting

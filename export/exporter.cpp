// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/exporter.h"

#include "base/errors.h"
#include "base/flag_scope.h"
#include "export/save_flow.h"

#include <QFileInfo>

namespace exporting {

namespace {
// Holds the sound still for the export, however it ends.
class HeldSound {
  public:
    explicit HeldSound(const operations::SoundSource& sound) : sound_(sound) { sound_.HoldStill(); }
    ~HeldSound() { sound_.ReleaseHold(); }
    HeldSound(const HeldSound&) = delete;
    HeldSound& operator=(const HeldSound&) = delete;

  private:
    const operations::SoundSource& sound_;
};
} // namespace

float ExportPercent(uint64_t done, uint64_t total) {
    return total == 0 ? 100.0f : float(double(done) * 100.0 / double(total));
}

Exporter::Exporter(const operations::SoundSource& sound, const exporting::EncoderLoader& encoders,
                   const base::FileSystem& files, base::EventPump& pump)
    : sound_(sound), encoders_(encoders), files_(files), pump_(pump) {}

void Exporter::Prepare(const QString& target) {
    targetName_ = QFileInfo(target).fileName();
    continueExport_ = true;
    progressPercent_ = 0;
}

bool Exporter::Step(float percent) {
    progressPercent_ = percent;
    pump_.ProcessMessages();
    return continueExport_;
}

Outcome Exporter::Export(const QString& target, const setup::Settings& settings, uint32_t first,
                         uint32_t last) {
    if (exporting_) {
        throw base::UserError("An export is already running.");
    }
    // The exporters let pending messages run after every block; over the editor's sound,
    // holding it makes Cut, Paste, the effects, Undo and Redo refuse until the export is over.
    // A recorded take read on its own has no editing to hold off.
    const HeldSound held(sound_);
    Prepare(target);
    const base::FlagScope scope(exporting_); // cleared however the export ends
    return ExportsWav(settings) ? ExportWav(target, settings, first, last)
                                : ExportMp3(target, settings, first, last);
}

} // namespace exporting

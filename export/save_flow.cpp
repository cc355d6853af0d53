// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/save_flow.h"

#include <QDir>
#include <QFileInfo>

namespace exporting {

const char* const PleaseSelectWaveformText = "Please Select Waveform!";

bool ExportsWav(const setup::Settings& settings) {
    return settings.Wav;
}

namespace {
QString ModeWord(int32_t mode) {
    switch (mode) {
    case 0:
        return "stereo ";
    case 1:
        return "joint stereo ";
    case 3:
        return "mono ";
    default:
        return "";
    }
}
} // namespace

SaveFilter SaveFilterFor(const setup::Settings& s) {
    if (ExportsWav(s)) {
        const QString channels = s.Channels == 1 ? "mono " : "stereo ";
        return {QString("%1Hz %2bit %3(*.wav)")
                    .arg(s.SamplePerSecond)
                    .arg(s.BitPerSample)
                    .arg(channels),
                "*.WAV", "wav"};
    }
    if (s.VBR) {
        return {QString("VBR %1-%2 kbps %3(*.mp3)")
                    .arg(s.MinBitRate)
                    .arg(s.MaxBitRate)
                    .arg(ModeWord(s.Mode)),
                "*.MP3", "mp3"};
    }
    return {QString("%1 kbps %2(*.mp3)").arg(s.BitRate).arg(ModeWord(s.Mode)), "*.MP3", "mp3"};
}

SaveTarget SaveTargetFor(const QString& chosen, const setup::Settings& settings) {
    SaveTarget target{chosen, settings};
    const bool typedWav = chosen.endsWith(".wav", Qt::CaseInsensitive);
    const bool typedMp3 = chosen.endsWith(".mp3", Qt::CaseInsensitive);
    if (!typedWav && !typedMp3) {
        target.path += "." + SaveFilterFor(settings).defaultSuffix;
    }
    const bool wav = typedWav || (!typedMp3 && ExportsWav(settings));
    target.settings.Wav = wav;
    target.settings.MP3 = !wav;
    return target;
}

QString SaveDialogFolder(const QString& outputFolder) {
    return !outputFolder.isEmpty() && QFileInfo(outputFolder).isDir() ? outputFolder
                                                                      : QDir::homePath();
}

bool IsExportRange(uint32_t first, uint32_t last, uint32_t fileBlocks) {
    const bool inside = first >= 1 && first <= last && last <= fileBlocks;
    return inside || (fileBlocks == 0 && first == 1 && last == 0);
}

ExportRange SaveAllRange(uint32_t fileBlocks) {
    return {1, fileBlocks};
}

std::optional<ExportRange> SaveSelectionRange(uint32_t selStart, uint32_t selEnd,
                                              uint32_t fileBlocks) {
    if (selStart >= selEnd || !IsExportRange(selStart, selEnd, fileBlocks)) {
        return std::nullopt;
    }
    return ExportRange{selStart, selEnd};
}

} // namespace exporting

// SPDX-License-Identifier: GPL-3.0-or-later
#include "recovery/found_recording.h"

#include "base/flag_scope.h"
#include "base/peak_file.h"
#include "base/raw_file.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace recovery {

namespace {

int16_t SampleAt(const uint8_t* p) {
    return int16_t(uint16_t(p[0] | (p[1] << 8)));
}

// Reads per scan step. Reads of single blocks (17640 bytes, not a whole number of pages) run
// several times slower than runs of 40 blocks, and the scan's results are the same.
constexpr uint32_t ScanRunBlocks = 40;

QString TruncationNotice(const std::string& path) {
    return QString("The found recording %1 is longer than %2 hours; only its first %2 hours were "
                   "loaded. The file itself is unchanged.")
        .arg(QString::fromStdString(path))
        .arg(base::PeakArrayLength / (10 * 3600));
}

} // namespace

Recovery::Recovery(TakeHolder& take, const base::FileSystem& fileSystem, base::EventPump& events,
                   FoundRecordingPaths paths)
    : take_(take), fileSystem_(fileSystem), events_(events), paths_(std::move(paths)) {}

bool Recovery::ShouldOffer() {
    if (!take_.ContinuousModeChosen() || active_) {
        return false;
    }
    const std::string& path = paths_.RecoveryFile;
    struct stat found {};
    if (::stat(path.c_str(), &found) != 0) {
        return false;
    }
    if (S_ISREG(found.st_mode) && found.st_size < base::BlockBytes) {
        ::unlink(path.c_str()); // a failed deletion only means the same answer next time
        return false;
    }
    return true;
}

uint32_t LoadableBlocks(int64_t sizeBytes) {
    return uint32_t(std::clamp<int64_t>(sizeBytes / base::BlockBytes, 0, base::PeakArrayLength));
}

base::BlockPeaks ScanBlockPeaks(const uint8_t* block) {
    base::BlockPeaks p{-32767, 32767, -32768, 32767};
    for (int f = 0; f < base::BlockFrames; ++f) {
        const int16_t left = SampleAt(block + f * base::FrameBytes);
        const int16_t right = SampleAt(block + f * base::FrameBytes + 2);
        p.maxL = std::max(p.maxL, left);
        p.minL = std::min(p.minL, left);
        p.maxR = std::max(p.maxR, right);
        p.minR = std::min(p.minR, right);
    }
    return p;
}

bool PeakFileBelongsTo(const std::string& peakPath, const std::string& recoveryPath) {
    struct stat peak {
    }, found{};
    return ::stat(peakPath.c_str(), &peak) == 0 && ::stat(recoveryPath.c_str(), &found) == 0 &&
           peak.st_mtim.tv_sec == found.st_mtim.tv_sec &&
           peak.st_mtim.tv_nsec == found.st_mtim.tv_nsec;
}

bool MarkPeakFileAs(const std::string& peakPath, const std::string& recoveryPath) {
    struct stat found {};
    if (::stat(recoveryPath.c_str(), &found) != 0) {
        return false;
    }
    const struct timespec times[2] = {{0, UTIME_OMIT}, found.st_mtim};
    return ::utimensat(AT_FDCWD, peakPath.c_str(), times, 0) == 0;
}

// Fills entries 1..blocks of the tables from the file, block by block, in runs of
// ScanRunBlocks blocks per read.
void Recovery::ScanPeaks(const base::RawFile& file, uint32_t blocks,
                         const base::PeakTableRefs& peaks) {
    const base::FlagScope scanning(scanning_);
    if (scratchBuffer_.empty()) {
        scratchBuffer_.resize(size_t(ScanRunBlocks) * base::BlockBytes);
    }
    uint8_t* buf = scratchBuffer_.data();
    for (uint32_t first = 1; first <= blocks; first += ScanRunBlocks) {
        const uint32_t count = std::min(ScanRunBlocks, blocks - first + 1);
        const size_t want = size_t(count) * base::BlockBytes;
        const size_t got = file.ReadBlocks(first, buf, count);
        if (got < want) {
            // The file shrank under us: the rest counts as silence, not as earlier samples.
            std::memset(buf + got, 0, want - got);
        }
        for (uint32_t k = 0; k < count; ++k) {
            const uint32_t i = first + k;
            const base::BlockPeaks p = ScanBlockPeaks(buf + size_t(k) * base::BlockBytes);
            peaks.maxL[i] = p.maxL;
            peaks.minL[i] = p.minL;
            peaks.maxR[i] = p.maxR;
            peaks.minR[i] = p.minR;
            progressPercent_ = float(i) / float(blocks) * 100.0f;
            events_.ProcessMessages();
        }
    }
}

std::optional<QString> Recovery::Load() {
    if (loading_) {
        return std::nullopt;
    }
    const std::string& recoveryPath = paths_.RecoveryFile;
    const std::string& peakPath = paths_.PeakFile;

    // Open first: when it fails (FileOpenError) the current take must still be there to edit.
    base::RawFile file(fileSystem_);
    file.OpenReadOnly(recoveryPath);

    const base::FlagScope loading(loading_);
    progressPercent_ = 0;
    foundBlocks_ = uint32_t(std::min<int64_t>(file.SizeBytes() / base::BlockBytes, UINT32_MAX));
    const uint32_t blocks = LoadableBlocks(file.SizeBytes());
    const base::PeakTableRefs peaks = take_.TakePeaks();

    peaksFromFile_ =
        PeakFileBelongsTo(peakPath, recoveryPath) && base::ReadPeakFile(peakPath, peaks, blocks);
    if (!peaksFromFile_) {
        ScanPeaks(file, blocks, peaks);
        // A cache that cannot be written only costs a scan next time.
        if (base::WritePeakFile(peakPath, peaks, blocks)) {
            MarkPeakFileAs(peakPath, recoveryPath);
        }
    }

    // Its dropouts show in the editor; a list that is missing or names blocks past what was
    // loaded only loses marks.
    std::vector<record::DropoutMark> dropouts;
    if (!paths_.DropoutFile.empty()) {
        dropouts = record::ReadDropoutFile(paths_.DropoutFile);
        std::erase_if(dropouts, [&](const record::DropoutMark& m) { return m.block > blocks; });
    }
    take_.AdoptTake(std::move(file), blocks, std::move(dropouts));
    loadedBlocks_ = blocks;
    active_ = true;
    if (blocks < foundBlocks_) {
        return TruncationNotice(recoveryPath);
    }
    return std::nullopt;
}

void Recovery::EndRecovery() {
    if (!active_) {
        return;
    }
    active_ = false;
    take_.DiscardTake();
}

} // namespace recovery

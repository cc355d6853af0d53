// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/peak_file.h"

#include <cstdio>
#include <memory>
#include <vector>

namespace base {

namespace {
void Put16(unsigned char* p, int16_t v) {
    auto u = uint16_t(v);
    p[0] = uint8_t(u & 0xff);
    p[1] = uint8_t(u >> 8);
}
int16_t Get16(const unsigned char* p) { return int16_t(uint16_t(p[0] | (p[1] << 8))); }

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;
} // namespace

void EncodePeakRecord(const BlockPeaks& peaks, unsigned char out[PeakRecordBytes]) {
    Put16(out + 0, peaks.maxL);
    Put16(out + 2, peaks.minL);
    Put16(out + 4, peaks.maxR);
    Put16(out + 6, peaks.minR);
}

BlockPeaks DecodePeakRecord(const unsigned char in[PeakRecordBytes]) {
    return BlockPeaks{Get16(in + 0), Get16(in + 2), Get16(in + 4), Get16(in + 6)};
}

bool WritePeakFile(const std::string& path, const PeakTableRefs& t, uint32_t blocks) {
    FilePtr f(std::fopen(path.c_str(), "wb"));
    if (!f) {
        return false;
    }
    std::vector<unsigned char> buf(size_t(blocks) * PeakRecordBytes);
    for (uint32_t n = 1; n <= blocks; ++n) {
        EncodePeakRecord(BlockPeaks{t.maxL[n], t.minL[n], t.maxR[n], t.minR[n]},
                         buf.data() + size_t(n - 1) * PeakRecordBytes);
    }
    bool ok = std::fwrite(buf.data(), 1, buf.size(), f.get()) == buf.size();
    ok = (std::fclose(f.release()) == 0) && ok;
    if (!ok) {
        std::remove(path.c_str()); // a short cache would later pass for a shorter recording's
    }
    return ok;
}

bool ReadPeakFile(const std::string& path, const PeakTableRefs& t, uint32_t blocks) {
    FilePtr f(std::fopen(path.c_str(), "rb"));
    if (!f || std::fseek(f.get(), 0, SEEK_END) != 0) {
        return false;
    }
    long size = std::ftell(f.get());
    if (size < 0 || !PeakFileValidFor(size, blocks) || std::fseek(f.get(), 0, SEEK_SET) != 0) {
        return false;
    }
    std::vector<unsigned char> buf(size_t(blocks) * PeakRecordBytes);
    if (std::fread(buf.data(), 1, buf.size(), f.get()) != buf.size()) {
        return false;
    }
    for (uint32_t n = 1; n <= blocks; ++n) {
        BlockPeaks p = DecodePeakRecord(buf.data() + size_t(n - 1) * PeakRecordBytes);
        t.maxL[n] = p.maxL;
        t.minL[n] = p.minL;
        t.maxR[n] = p.maxR;
        t.minR[n] = p.minR;
    }
    return true;
}

} // namespace base

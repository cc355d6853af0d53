// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/peak_file.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <vector>

namespace {

struct Tables {
    explicit Tables(size_t n) : maxL(n + 1), minL(n + 1), maxR(n + 1), minR(n + 1) {}
    base::PeakTableRefs refs() { return {maxL.data(), minL.data(), maxR.data(), minR.data()}; }
    std::vector<int16_t> maxL, minL, maxR, minR;
};

TEST(PeakFile, RecordIsFourLittleEndianSignedValues) {
    unsigned char rec[8];
    base::EncodePeakRecord({32767, -32768, 258, -2}, rec);
    const unsigned char expected[8] = {0xFF, 0x7F, 0x00, 0x80, 0x02, 0x01, 0xFE, 0xFF};
    EXPECT_TRUE(std::equal(rec, rec + 8, expected));
    base::BlockPeaks back = base::DecodePeakRecord(rec);
    EXPECT_EQ(back.maxL, 32767);
    EXPECT_EQ(back.minL, -32768);
    EXPECT_EQ(back.maxR, 258);
    EXPECT_EQ(back.minR, -2);
}

TEST(PeakFile, ValidityCountsWholeRecords) {
    struct Case {
        int64_t size;
        uint32_t blocks;
        bool valid;
    } cases[] = {
        {8 * 100, 100, true}, {8 * 100 + 6, 100, true}, {8 * 101, 100, false},
        {8 * 99 + 7, 100, false}, {0, 0, true}, {5, 0, true}, {8, 0, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(base::PeakFileValidFor(c.size, c.blocks), c.valid)
            << "size " << c.size << " blocks " << c.blocks;
    }
}

TEST(PeakFile, RoundTripAndRejectionOfAFileForAnotherLength) {
    testsupport::TempDir dir;
    const uint32_t n = 50;
    Tables out(n);
    for (uint32_t b = 1; b <= n; ++b) {
        out.maxL[b] = int16_t(b * 600);
        out.minL[b] = int16_t(-int(b) * 600);
        out.maxR[b] = int16_t(b);
        out.minR[b] = int16_t(-int(b));
    }
    std::string path = dir.file("Velmar.spv");
    ASSERT_TRUE(base::WritePeakFile(path, out.refs(), n));

    Tables in(n);
    ASSERT_TRUE(base::ReadPeakFile(path, in.refs(), n));
    EXPECT_EQ(in.maxL, out.maxL);
    EXPECT_EQ(in.minL, out.minL);
    EXPECT_EQ(in.maxR, out.maxR);
    EXPECT_EQ(in.minR, out.minR);

    Tables other(n + 1);
    EXPECT_FALSE(base::ReadPeakFile(path, other.refs(), n + 1));
    EXPECT_EQ(other.maxL[1], 0);  // left alone

    // Six stray bytes at the end do not make the file describe another recording.
    std::ofstream(path, std::ios::binary | std::ios::app).write("abcdef", 6);
    Tables again(n);
    EXPECT_TRUE(base::ReadPeakFile(path, again.refs(), n));
    EXPECT_EQ(again.maxL, out.maxL);
    EXPECT_FALSE(base::ReadPeakFile(dir.file("missing.spv"), again.refs(), n));
}

} // namespace

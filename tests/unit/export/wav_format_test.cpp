// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/wav_format.h"

#include "base/blocks.h"
#include "support/temp_dir.h"
#include "tool_output.h"

#include <gtest/gtest.h>

#include <QFile>

#include <cstring>
#include <sstream>
#include <unistd.h>
#include <vector>

namespace {

using exporting::WavFormat;

TEST(WavHeader, ExactBytesOfTenBlocks) {
    const std::vector<uint8_t> stereo16 = {
        'R', 'I',  'F',  'F', 0x34, 0xB1, 0x02, 0x00, 'W',  'A',  'V',  'E',  'f',  'm',  't',
        ' ', 0x10, 0x00, 0,   0,    0x01, 0x00, 0x02, 0x00, 0x44, 0xAC, 0x00, 0x00, 0x10, 0xB1,
        2,   0,    0x04, 0,   0x10, 0x00, 'd',  'a',  't',  'a',  0x10, 0xB1, 0x02, 0x00};
    const std::vector<uint8_t> mono8 = {
        'R', 'I',  'F',  'F', 0x46, 0x56, 0x00, 0x00, 'W',  'A',  'V',  'E',  'f',  'm',  't',
        ' ', 0x10, 0x00, 0,   0,    0x01, 0x00, 0x01, 0x00, 0x22, 0x56, 0x00, 0x00, 0x22, 0x56,
        0,   0,    0x01, 0,   0x08, 0x00, 'd',  'a',  't',  'a',  0x22, 0x56, 0x00, 0x00};
    EXPECT_EQ(exporting::BuildHeader({44100, 2, 16}, exporting::DataBytes({44100, 2, 16}, 10)),
              stereo16);
    EXPECT_EQ(exporting::BuildHeader({22050, 1, 8}, exporting::DataBytes({22050, 1, 8}, 10)),
              mono8);
}

struct BlockSizes {
    WavFormat format;
    uint32_t block0Bytes, block1Bytes; // first and second block of an export
    uint64_t fourBlockFrames, hourFrames;
};

void PrintTo(const BlockSizes& c, std::ostream* os) {
    *os << c.format.sampleRate << "Hz_" << c.format.channels << "ch_" << c.format.bits << "bit";
}

class BytesPerBlock : public ::testing::TestWithParam<BlockSizes> {};

TEST_P(BytesPerBlock, PhaseCarriesAcrossBlocks) {
    const BlockSizes& c = GetParam();
    EXPECT_EQ(exporting::BytesInBlock(c.format, 0), c.block0Bytes);
    EXPECT_EQ(exporting::BytesInBlock(c.format, base::BlockFrames), c.block1Bytes);
    EXPECT_EQ(exporting::ExportedFrames(c.format, 4), c.fourBlockFrames);
    EXPECT_EQ(exporting::ExportedFrames(c.format, 36000), c.hourFrames);
    uint64_t sum = 0;
    for (uint64_t b = 0; b < 36000; ++b) {
        sum += exporting::BytesInBlock(c.format, b * base::BlockFrames);
    }
    EXPECT_EQ(sum, exporting::DataBytes(c.format, 36000));
    EXPECT_EQ(sum, c.hourFrames * c.format.channels * c.format.bits / 8);
}

INSTANTIATE_TEST_SUITE_P(
    TwelveFormats, BytesPerBlock,
    ::testing::Values(BlockSizes{{44100, 2, 16}, 17640, 17640, 17640, 158760000},
                      BlockSizes{{44100, 1, 16}, 8820, 8820, 17640, 158760000},
                      BlockSizes{{44100, 2, 8}, 8820, 8820, 17640, 158760000},
                      BlockSizes{{44100, 1, 8}, 4410, 4410, 17640, 158760000},
                      BlockSizes{{22050, 2, 16}, 8820, 8820, 8820, 79380000},
                      BlockSizes{{22050, 1, 16}, 4410, 4410, 8820, 79380000},
                      BlockSizes{{22050, 2, 8}, 4410, 4410, 8820, 79380000},
                      BlockSizes{{22050, 1, 8}, 2205, 2205, 8820, 79380000},
                      BlockSizes{{11025, 2, 16}, 4412, 4408, 4410, 39690000},
                      BlockSizes{{11025, 1, 16}, 2206, 2204, 4410, 39690000},
                      BlockSizes{{11025, 2, 8}, 2206, 2204, 4410, 39690000},
                      BlockSizes{{11025, 1, 8}, 1103, 1102, 4410, 39690000}),
    [](const ::testing::TestParamInfo<BlockSizes>& info) {
        std::ostringstream name;
        PrintTo(info.param, &name);
        return name.str();
    });

// A block whose every frame holds `left`, and `right` (or, with right < -40000, the frame number).
std::vector<uint8_t> Block(int16_t left, int right) {
    std::vector<uint8_t> b(base::BlockBytes);
    for (int16_t j = 0; j < base::BlockFrames; ++j) {
        const int16_t r = right < -40000 ? j : int16_t(right);
        std::memcpy(&b[4 * j], &left, 2);
        std::memcpy(&b[4 * j + 2], &r, 2);
    }
    return b;
}

TEST(SampleConversion, EightBitIsTheHighByteMadeUnsignedAndMonoIsLeft) {
    const std::pair<int16_t, uint8_t> table[] = {{-32768, 0}, {-256, 127}, {-1, 127},
                                                 {0, 128},    {255, 128},  {256, 129},
                                                 {1000, 131}, {32767, 255}};
    std::vector<uint8_t> out(base::BlockBytes);
    for (const auto& [sample, expected] : table) {
        EXPECT_EQ(exporting::To8Bit(sample), expected) << sample;
        ASSERT_EQ(exporting::ConvertBlock({44100, 2, 8}, Block(sample, 0).data(), 0, out.data()),
                  8820u);
        EXPECT_EQ(out[0], expected) << sample;
        EXPECT_EQ(out[1], 128) << sample;
    }
    // Mono drops the right channel; nothing is mixed.
    const std::vector<uint8_t> frame = Block(1000, -1000);
    ASSERT_EQ(exporting::ConvertBlock({22050, 1, 16}, frame.data(), 0, out.data()), 4410u);
    int16_t mono;
    std::memcpy(&mono, &out[2], 2);
    EXPECT_EQ(mono, 1000);
    ASSERT_EQ(exporting::ConvertBlock({11025, 1, 8}, frame.data(), 0, out.data()), 1103u);
    EXPECT_EQ(out[1102], 131);
}

TEST(SampleConversion, DecimationTakesFramesByRunningIndex) {
    // In the second block of an export at 11025 Hz the first frame taken is frame 2 (running
    // index 4412), then every fourth.
    std::vector<uint8_t> out(base::BlockBytes);
    ASSERT_EQ(exporting::ConvertBlock({11025, 2, 16}, Block(7, -50000).data(), 4410, out.data()),
              4408u);
    for (int k = 0; k < 1102; ++k) {
        int16_t right;
        std::memcpy(&right, &out[4 * k + 2], 2);
        ASSERT_EQ(right, 2 + 4 * k) << k;
    }
}

uint64_t Le(const std::vector<uint8_t>& h, size_t at, int bytes) {
    uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) {
        v = v << 8 | h[at + i];
    }
    return v;
}

TEST(WavHeader, PastFourGiBIsRf64AndReadsBackWithFfprobe) {
    const WavFormat format{44100, 2, 16};
    EXPECT_EQ(exporting::BuildHeader(format, exporting::MaxRiffDataBytes - 3).size(), 44u);
    const uint64_t blocks = 250000; // 6 h 56 min: 4,410,000,000 bytes of data
    const uint64_t data = exporting::DataBytes(format, blocks);
    const std::vector<uint8_t> h = exporting::BuildHeader(format, data);
    ASSERT_EQ(h.size(), exporting::Rf64HeaderBytes);
    EXPECT_EQ(std::string(h.begin(), h.begin() + 4), "RF64");
    EXPECT_EQ(Le(h, 4, 4), 0xFFFFFFFFu);
    EXPECT_EQ(std::string(h.begin() + 12, h.begin() + 16), "ds64");
    EXPECT_EQ(Le(h, 20, 8), data + 72);
    EXPECT_EQ(Le(h, 28, 8), 4410000000u);
    EXPECT_EQ(Le(h, 36, 8), blocks * base::BlockFrames);
    EXPECT_EQ(std::string(h.begin() + 72, h.begin() + 76), "data");

    // A file of that header and a sparse data part, read back by ffprobe.
    testsupport::TempDir dir;
    const QString path = QString::fromStdString(dir.file("long.wav"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(reinterpret_cast<const char*>(h.data()), qint64(h.size()));
    f.close();
    ASSERT_EQ(::truncate(path.toLocal8Bit().constData(), off_t(h.size() + data)), 0);
    const QString probe = testsupport::ToolOutput(
        "ffprobe", {"-v", "error", "-show_entries", "stream=sample_rate,channels,duration_ts",
                    "-of", "default=noprint_wrappers=1", path});
    EXPECT_EQ(probe, "sample_rate=44100\nchannels=2\nduration_ts=1102500000");
}

} // namespace

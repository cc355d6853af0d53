// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/errors.h"
#include "base/raw_file.h"
#include "support/scripted_file_system.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <vector>

using base::BlockBytes;
using base::RawFile;

namespace {

// A block whose every byte tells its block number, so a misplaced block shows at once.
std::vector<unsigned char> Block(unsigned char tag) { return std::vector<unsigned char>(BlockBytes, tag); }

class RawFileTest : public ::testing::Test {
protected:
    testsupport::TempDir dir;
};

TEST_F(RawFileTest, BlocksLandAtTheirOffsetsAndReadBack) {
    RawFile f;
    f.Create(dir.file("a.raw"));
    EXPECT_EQ(f.Blocks(), 0u);
    auto b3 = Block(3);
    f.WriteBlock(3, b3.data());  // writing past the end grows the file
    EXPECT_EQ(f.SizeBytes(), 3 * BlockBytes);
    EXPECT_EQ(f.AppendBlock(Block(4).data()), 4u);
    auto b1 = Block(1);
    f.WriteBlock(1, b1.data());

    std::vector<unsigned char> got(BlockBytes, 0xEE);
    ASSERT_EQ(f.ReadBlock(3, got.data()), size_t(BlockBytes));
    EXPECT_EQ(got, b3);
    ASSERT_EQ(f.ReadBlock(1, got.data()), size_t(BlockBytes));
    EXPECT_EQ(got, b1);
    ASSERT_EQ(f.ReadBlock(4, got.data()), size_t(BlockBytes));
    EXPECT_EQ(got, Block(4));

    // Read through a second handle, to see what reached the file itself.
    std::ifstream raw(dir.file("a.raw"), std::ios::binary);
    raw.seekg(2 * BlockBytes);
    std::vector<unsigned char> direct(BlockBytes);
    raw.read(reinterpret_cast<char*>(direct.data()), BlockBytes);
    EXPECT_EQ(direct, b3);
}

TEST_F(RawFileTest, LengthIgnoresATrailingPartBlockAndShortReadsKeepTheBuffer) {
    {
        std::ofstream out(dir.file("p.raw"), std::ios::binary);
        std::vector<char> bytes(2 * BlockBytes + 100, 7);
        out.write(bytes.data(), std::streamsize(bytes.size()));
    }
    RawFile f;
    f.OpenExisting(dir.file("p.raw"));
    EXPECT_EQ(f.Blocks(), 2u);
    EXPECT_EQ(f.SizeBytes(), 2 * BlockBytes + 100);

    std::vector<unsigned char> buf(BlockBytes, 0xAB);
    EXPECT_EQ(f.ReadBlock(3, buf.data()), 100u);
    EXPECT_EQ(buf[99], 7);
    EXPECT_EQ(buf[100], 0xAB);  // the rest of the buffer is left as it was
    EXPECT_EQ(f.ReadBlock(9, buf.data()), 0u);
    // The next append starts after the last whole block, overwriting the part-block.
    EXPECT_EQ(f.AppendBlock(Block(9).data()), 3u);
    EXPECT_EQ(f.Blocks(), 3u);
}

TEST_F(RawFileTest, CreateEmptiesAnExistingFile) {
    RawFile f;
    f.Create(dir.file("c.raw"));
    f.AppendBlock(Block(1).data());
    f.Release();
    EXPECT_FALSE(f.IsOpen());
    f.Create(dir.file("c.raw"));
    EXPECT_EQ(f.Blocks(), 0u);
}

TEST_F(RawFileTest, OffsetsBeyondFourGigabytesAreAddressed) {
    RawFile f;
    f.Create(dir.file("big.raw"));
    // Block 300000 starts at 5.29 GB; a 32-bit offset would wrap. The file stays sparse.
    const uint32_t n = 300000;
    EXPECT_EQ(base::BlockOffset(n), int64_t(n - 1) * 17640);
    f.WriteBlock(n, Block(5).data());
    EXPECT_EQ(f.Blocks(), n);
    std::vector<unsigned char> got(BlockBytes);
    ASSERT_EQ(f.ReadBlock(n, got.data()), size_t(BlockBytes));
    EXPECT_EQ(got, Block(5));
}

TEST_F(RawFileTest, FailedWriteThrowsAndKeepsEarlierBlocks) {
    testsupport::ScriptedFileSystem files;
    RawFile f(files);
    f.Create(dir.file("w.raw"));
    f.AppendBlock(Block(1).data());
    files.writeFault = [](const std::string&, int64_t offset, int64_t) { return offset > 0 ? ENOSPC : 0; };
    try {
        f.AppendBlock(Block(2).data());
        FAIL() << "the write should have failed";
    } catch (const base::StreamWriteError& e) {
        EXPECT_STREQ(e.what(), "Stream write error");
    }
    EXPECT_EQ(f.Blocks(), 1u);
    std::vector<unsigned char> got(BlockBytes);
    f.ReadBlock(1, got.data());
    EXPECT_EQ(got, Block(1));
}

TEST_F(RawFileTest, RealFullDiskIsAStreamWriteError) {
    RawFile f;
    f.OpenExisting("/dev/full");
    EXPECT_THROW(f.WriteBlock(1, Block(1).data()), base::StreamWriteError);
}

TEST_F(RawFileTest, OpeningAMissingFileNamesIt) {
    RawFile f;
    try {
        f.OpenExisting(dir.file("absent.raw"));
        FAIL();
    } catch (const base::FileOpenError& e) {
        EXPECT_NE(std::string(e.what()).find("absent.raw"), std::string::npos);
    }
    EXPECT_THROW(f.Create(dir.file("no-such-dir/x.raw")), base::FileOpenError);
}

} // namespace

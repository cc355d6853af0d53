// SPDX-License-Identifier: GPL-3.0-or-later
#include "record/time_order.h"

#include "support/scripted_file_system.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <vector>

namespace {

// A ring file of `blocks` blocks whose every byte of block n is n (mod 256).
void WriteRing(const std::string& path, uint32_t blocks) {
    base::RawFile file;
    file.Create(path);
    std::vector<uint8_t> block(base::BlockBytes);
    for (uint32_t n = 1; n <= blocks; ++n) {
        std::fill(block.begin(), block.end(), uint8_t(n));
        file.WriteBlock(n, block.data());
    }
}

// The first byte of every block, in file order.
std::vector<int> Marks(const std::string& path) {
    base::RawFile file;
    file.OpenReadOnly(path);
    std::vector<int> marks;
    std::vector<uint8_t> block(base::BlockBytes);
    for (uint32_t n = 1; n <= file.Blocks(); ++n) {
        file.ReadBlock(n, block.data());
        marks.push_back(block.front());
    }
    return marks;
}

struct Case {
    uint32_t blocks;
    record::TakeOrder order;
    std::vector<int> marks; // after the rewrite
};

class WriteTakeInTimeOrder : public ::testing::TestWithParam<Case> {};

TEST_P(WriteTakeInTimeOrder, PutsTheOldestBlockFirst) {
    const Case& c = GetParam();
    testsupport::TempDir dir;
    const std::string path = dir.file("Velmar.raw");
    WriteRing(path, c.blocks);
    testsupport::ScriptedFileSystem files;
    record::WriteTakeInTimeOrder(path, c.order, files);
    EXPECT_EQ(Marks(path), c.marks);
    EXPECT_FALSE(std::filesystem::exists(path + ".ordered"));
}

std::vector<int> Range(int first, int last) {
    std::vector<int> marks;
    for (int n = first; n <= last; ++n) {
        marks.push_back(n % 256);
    }
    return marks;
}

std::vector<int> Concat(std::vector<int> a, const std::vector<int>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const Case cases[] = {
    // One run: left as it is.
    {5, {1, {{1, 5}, {}}}, Range(1, 5)},
    // Wrapped after block 2 of 5: 3, 4, 5, then 1, 2.
    {5, {2, {{3, 3}, {1, 2}}}, {3, 4, 5, 1, 2}},
    // Runs longer than one copied chunk (100 blocks).
    {250, {2, {{118, 133}, {1, 117}}}, Concat(Range(118, 250), Range(1, 117))},
    {250, {2, {{250, 1}, {1, 249}}}, Concat({250}, Range(1, 249))},
};
INSTANTIATE_TEST_SUITE_P(Rings, WriteTakeInTimeOrder, ::testing::ValuesIn(cases));

TEST(WriteTakeInTimeOrderFailure, KeepsTheRingWhenTheCopyCannotBeWritten) {
    testsupport::TempDir dir;
    const std::string path = dir.file("Velmar.raw");
    WriteRing(path, 150);
    testsupport::ScriptedFileSystem files;
    files.writeFault = [](const std::string&, int64_t offset, int64_t) {
        return offset > 0 ? ENOSPC : 0; // the disk fills after the first chunk
    };
    EXPECT_THROW(record::WriteTakeInTimeOrder(path, {2, {{51, 100}, {1, 50}}}, files),
                 base::UserError);
    EXPECT_EQ(Marks(path), Range(1, 150));
    EXPECT_FALSE(std::filesystem::exists(path + ".ordered"));
}

} // namespace

// SPDX-License-Identifier: GPL-3.0-or-later
#include "operations/edit_list.h"

#include <gtest/gtest.h>

#include <ostream>
#include <random>
#include <tuple>
#include <vector>

using operations::Level;
using operations::Segment;

namespace {

// (source flag, source block) of every position, in order.
using Blocks = std::vector<std::pair<bool, uint32_t>>;

Blocks Expand(const Level& level) {
    Blocks out;
    for (int i = 0; i < level.SegmentCount; ++i) {
        const Segment& s = level.Segments[i];
        for (uint32_t k = 0; k < s.length; ++k) {
            out.emplace_back(s.fromRecording != 0, s.offset + k);
        }
    }
    return out;
}

void ExpectWellFormed(const Level& level) {
    uint32_t next = 1;
    for (int i = 0; i < level.SegmentCount; ++i) {
        ASSERT_EQ(level.Segments[i].start, next) << "segment " << i;
        next += level.Segments[i].length;
    }
    EXPECT_EQ(level.FileBlocks, next - 1);
}

Level MakeLevel(std::initializer_list<Segment> segments) {
    Level level;
    for (const Segment& s : segments) {
        level.Segments[level.SegmentCount++] = s;
    }
    operations::RenumberStarts(level);
    return level;
}

// Segment fields without the start, which RenumberStarts derives.
using Piece = std::tuple<uint32_t, uint32_t, int>; // length, offset, fromRecording
std::vector<Piece> Pieces(const Level& level) {
    std::vector<Piece> out;
    for (int i = 0; i < level.SegmentCount; ++i) {
        const Segment& s = level.Segments[i];
        out.emplace_back(s.length, s.offset, s.fromRecording);
    }
    return out;
}

TEST(EditList, LocateMapsPositionsAcrossAWrappedLoopJunction) {
    // A loop of 30 blocks whose newest block is 10: positions 1..20 play 11..30, then 1..10.
    const Level level = MakeLevel({{0, 20, 11, 1}, {0, 10, 1, 1}});
    EXPECT_EQ(operations::Locate(level, 1)->block, 11u);
    EXPECT_EQ(operations::Locate(level, 20)->block, 30u);
    EXPECT_EQ(operations::Locate(level, 21)->block, 1u);
    EXPECT_EQ(operations::Locate(level, 30)->block, 10u);
    EXPECT_FALSE(operations::Locate(level, 31));
    EXPECT_FALSE(operations::Locate(level, 0));
    EXPECT_FALSE(operations::Locate(Level{}, 1));
}

struct DeletionCase {
    const char* name;
    uint32_t a, b;
    std::vector<Piece> expected;
};

std::ostream& operator<<(std::ostream& os, const DeletionCase& c) {
    return os << c.name;
}

class Deletion : public ::testing::TestWithParam<DeletionCase> {};

TEST_P(Deletion, LeavesTheRightPieces) {
    // Recording blocks 1..20, then edit blocks 1..10.
    const Level in = MakeLevel({{0, 20, 1, 1}, {0, 10, 1, 0}});
    Level out;
    ASSERT_TRUE(operations::BuildDeletion(in, GetParam().a, GetParam().b, out));
    ExpectWellFormed(out);
    EXPECT_EQ(Pieces(out), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    EditList, Deletion,
    ::testing::Values(
        DeletionCase{"InsideOneSegmentSplitsIt", 5, 9, {{4, 1, 1}, {11, 10, 1}, {10, 1, 0}}},
        DeletionCase{"FromTheStart", 1, 5, {{15, 6, 1}, {10, 1, 0}}},
        DeletionCase{"UpToTheEnd", 26, 30, {{20, 1, 1}, {5, 1, 0}}},
        DeletionCase{"AcrossTheJunction", 18, 23, {{17, 1, 1}, {7, 4, 0}}},
        DeletionCase{"AWholeSegment", 21, 30, {{20, 1, 1}}}, DeletionCase{"Everything", 1, 30, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EditList, DeletingEverythingLeavesNoSegmentAndNoBlocks) {
    Level out;
    ASSERT_TRUE(operations::BuildDeletion(MakeLevel({{0, 20, 1, 1}}), 1, 20, out));
    EXPECT_EQ(out.SegmentCount, 0);
    EXPECT_EQ(out.FileBlocks, 0u);
}

TEST(EditList, InsertionAfterTheLastBlockOfASegmentAddsNoTail) {
    const Level in = MakeLevel({{0, 20, 1, 1}, {0, 10, 1, 0}});
    Level out;
    uint32_t runStart = 0;
    ASSERT_TRUE(operations::BuildInsertion(in, 20, 50, 3, out, &runStart));
    EXPECT_EQ(runStart, 21u);
    EXPECT_EQ(Pieces(out), (std::vector<Piece>{{20, 1, 1}, {3, 50, 0}, {10, 1, 0}}));
    EXPECT_EQ(out.FileBlocks, 33u);
}

TEST(EditList, InsertionWithTheCursorPastTheEndAppends) {
    const Level in = MakeLevel({{0, 20, 1, 1}});
    for (uint32_t cursor : {21u, 0u, 500u}) {
        Level out;
        uint32_t runStart = 0;
        ASSERT_TRUE(operations::BuildInsertion(in, cursor, 7, 4, out, &runStart));
        EXPECT_EQ(runStart, 21u);
        EXPECT_EQ(Pieces(out), (std::vector<Piece>{{20, 1, 1}, {4, 7, 0}}));
    }
    Level fromEmpty;
    uint32_t runStart = 0;
    ASSERT_TRUE(operations::BuildInsertion(Level{}, 1, 1, 5, fromEmpty, &runStart));
    EXPECT_EQ(runStart, 1u);
    EXPECT_EQ(fromEmpty.FileBlocks, 5u);
}

TEST(EditList, ReplacementInsideOneSegmentMakesThreeSegments) {
    Level out;
    ASSERT_TRUE(operations::BuildReplacement(MakeLevel({{0, 20, 1, 1}}), 5, 8, 3, out));
    EXPECT_EQ(Pieces(out), (std::vector<Piece>{{4, 1, 1}, {4, 3, 0}, {12, 9, 1}}));
    EXPECT_EQ(out.FileBlocks, 20u);
}

// A full list of two-block segments; `continuing` makes each continue the previous one.
Level FullList(bool continuing) {
    Level level;
    for (int i = 0; i < operations::MaxSegments; ++i) {
        const uint32_t offset = continuing ? 1 + 2 * i : 1 + 3 * i;
        level.Segments[level.SegmentCount++] = Segment{0, 2, offset, 1};
    }
    operations::RenumberStarts(level);
    return level;
}

TEST(EditList, AFullListMergesContinuingNeighboursToMakeRoom) {
    Level out;
    uint32_t runStart = 0;
    ASSERT_TRUE(operations::BuildInsertion(FullList(true), 99, 1, 2, out, &runStart));
    EXPECT_EQ(Pieces(out), (std::vector<Piece>{{99, 1, 1}, {2, 1, 0}, {101, 100, 1}}));
    ASSERT_TRUE(operations::BuildReplacement(FullList(true), 10, 19, 1, out));
    EXPECT_EQ(Pieces(out), (std::vector<Piece>{{9, 1, 1}, {10, 1, 0}, {181, 20, 1}}));
}

TEST(EditList, AFullListThatCannotMergeRefusesToGrow) {
    const Level full = FullList(false);
    Level out;
    uint32_t runStart = 0;
    EXPECT_FALSE(operations::BuildInsertion(full, 99, 1, 2, out, &runStart));
    // The processed blocks of an effect continue each other, so its pieces merge into one.
    ASSERT_TRUE(operations::BuildReplacement(full, 10, 19, 1, out));
    EXPECT_EQ(out.SegmentCount, 97);
    ExpectWellFormed(out);
    // A deletion never needs more than one segment more than it removes here.
    ASSERT_TRUE(operations::BuildDeletion(full, 10, 19, out));
    EXPECT_EQ(out.SegmentCount, 96);
}

// Every builder checked against the same edit done on a plain list of blocks, over a long run of
// random edits that splits, merges and fills the list.
TEST(EditList, BuildersAgreeWithAPlainBlockList) {
    std::mt19937 rng(4410);
    auto pick = [&](uint32_t lo, uint32_t hi) {
        return std::uniform_int_distribution<uint32_t>(lo, hi)(rng);
    };
    Level level = MakeLevel({{0, 400, 1, 1}});
    Blocks model = Expand(level);
    uint32_t nextEdit = 1;
    int refused = 0;
    for (int step = 0; step < 3000; ++step) {
        const uint32_t n = level.FileBlocks;
        // Few deletions, so that the list fills up and the limit is met.
        const int kind = n < 2 ? 1 : int(pick(0, 9)) < 2 ? 0 : int(pick(1, 2));
        Level out;
        Blocks expected = model;
        bool built = false;
        if (kind == 0) {
            const uint32_t a = pick(1, n - 1), b = pick(a + 1, std::min(n, a + 6));
            built = operations::BuildDeletion(level, a, b, out);
            expected.erase(expected.begin() + (a - 1), expected.begin() + b);
        } else if (kind == 1) {
            const uint32_t cursor = pick(1, n + 1), length = pick(0, 12);
            uint32_t runStart = 0;
            built = operations::BuildInsertion(level, cursor, nextEdit, length, out, &runStart);
            const uint32_t at = std::min(cursor, n);
            for (uint32_t k = 0; k < length; ++k) {
                expected.insert(expected.begin() + at + k, {false, nextEdit + k});
            }
            if (built) {
                EXPECT_EQ(runStart, at + 1);
            }
            nextEdit += length;
        } else {
            const uint32_t a = pick(1, n - 1), b = pick(a + 1, std::min(n, a + 30));
            built = operations::BuildReplacement(level, a, b, nextEdit, out);
            for (uint32_t p = a; p <= b; ++p) {
                expected[p - 1] = {false, nextEdit + (p - a)};
            }
            nextEdit += b - a + 1;
        }
        if (!built) {
            // Only a list already at (or next to) the limit may refuse.
            EXPECT_GE(level.SegmentCount, operations::MaxSegments - 1);
            ++refused;
            continue;
        }
        ExpectWellFormed(out);
        ASSERT_LE(out.SegmentCount, operations::MaxSegments);
        ASSERT_EQ(Expand(out), expected) << "step " << step << " kind " << kind;
        level = out;
        model = expected;
    }
    EXPECT_GT(refused, 0) << "the run never reached the segment limit";
}

} // namespace

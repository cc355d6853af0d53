// SPDX-License-Identifier: GPL-3.0-or-later
// Two editors over two takes in one process: each edits its own sound with its own history,
// clip and work files, and neither is held off by the other's running operation.
#include "editing_fixture.h"

#include <filesystem>
#include <ostream>

using testsupport::NumberedTake;
using testsupport::operator+;
using testsupport::Range;
using testsupport::SoundOf;

namespace {

constexpr uint32_t Blocks = 30;

// Take A's blocks play 1..30, take B's 101..130.
std::vector<int> B(int first, int last) {
    return Range(100 + first, 100 + last);
}

std::vector<int> Doubled(std::vector<int> v) {
    for (int& x : v) {
        x *= 2;
    }
    return v;
}

struct Step {
    int editor; // 0: A, 1: B
    std::function<void(operations::Editor&)> run;
};

struct TwoEditorsCase {
    const char* name;
    std::vector<Step> steps;
    std::vector<int> soundA, soundB;
    uint16_t levelA, levelB;
};

void PrintTo(const TwoEditorsCase& c, std::ostream* os) {
    *os << c.name;
}

void Select(operations::Editor& e, uint32_t start, uint32_t end) {
    e.Select({start, end, start});
}

class TwoEditors : public ::testing::TestWithParam<TwoEditorsCase> {
  protected:
    operations::WorkPaths Paths(const char* tag) const {
        return {dir_.file(std::string("Edit-") + tag + ".raw"),
                dir_.file(std::string("Clp-") + tag + ".raw")};
    }

    testsupport::TempDir dir_;
    testsupport::ScriptedFileSystem files_;
    testsupport::FunctionPump pumpA_, pumpB_;
    NumberedTake takeA_{dir_.file("A.raw"), Blocks, 1};
    NumberedTake takeB_{dir_.file("B.raw"), Blocks, 101};
};

TEST_P(TwoEditors, EachEditsItsOwnSound) {
    const TwoEditorsCase& c = GetParam();
    operations::Editor a(takeA_.View(Blocks, Blocks, false), Paths("A"), files_, pumpA_);
    operations::Editor b(takeB_.View(Blocks, Blocks, false), Paths("B"), files_, pumpB_);
    operations::Editor* editors[] = {&a, &b};
    for (const Step& step : c.steps) {
        step.run(*editors[step.editor]);
    }
    EXPECT_EQ(SoundOf(a), c.soundA);
    EXPECT_EQ(SoundOf(b), c.soundB);
    EXPECT_EQ(a.UndoLevel(), c.levelA);
    EXPECT_EQ(b.UndoLevel(), c.levelB);
    for (const char* tag : {"A", "B"}) {
        EXPECT_TRUE(std::filesystem::exists(Paths(tag).edit)) << tag;
        EXPECT_TRUE(std::filesystem::exists(Paths(tag).clip)) << tag;
    }
}

const TwoEditorsCase Cases[] = {
    {"CutInOneAmplifyInTheOther",
     {{0, [](operations::Editor& e) { Select(e, 11, 20), e.Cut(); }},
      {1, [](operations::Editor& e) { Select(e, 1, 10), e.Amplify(200); }}},
     Range(1, 10) + Range(21, 30),
     Doubled(B(1, 10)) + B(11, 30),
     1,
     1},
    {"UndoInOneLeavesTheOthersEdit",
     {{0, [](operations::Editor& e) { Select(e, 11, 20), e.Delete(); }},
      {1, [](operations::Editor& e) { Select(e, 11, 20), e.Delete(); }},
      {0, [](operations::Editor& e) { EXPECT_TRUE(e.Undo()); }},
      {1, [](operations::Editor& e) { EXPECT_FALSE(e.Redo()); }}},
     Range(1, 30),
     B(1, 10) + B(21, 30),
     0,
     1},
    {"EachPastesItsOwnClip",
     {{0, [](operations::Editor& e) { Select(e, 1, 2), e.Copy(); }},
      {1, [](operations::Editor& e) { Select(e, 5, 7), e.Copy(); }},
      {0, [](operations::Editor& e) { e.PlaceCursor(30), e.Paste(); }},
      {1, [](operations::Editor& e) { e.PlaceCursor(30), e.Paste(); }}},
     Range(1, 30) + Range(1, 2),
     B(1, 30) + B(5, 7),
     1,
     1},
    {"SilenceInOneAnUndoneFadeInTheOther",
     {{0, [](operations::Editor& e) { e.PlaceCursor(5), e.InsertSilence(2); }},
      {1, [](operations::Editor& e) { Select(e, 1, 30), e.FadeIn(), e.Undo(); }}},
     Range(1, 5) + std::vector<int>{0, 0} + Range(6, 30),
     B(1, 30),
     1,
     0},
};

INSTANTIATE_TEST_SUITE_P(Operations, TwoEditors, ::testing::ValuesIn(Cases),
                         [](const auto& info) { return std::string(info.param.name); });

// A's operation lets pending messages run; B's commands run there, untouched by A's running
// operation, and A's own commands are held off. Each editor's work files go with it alone.
TEST_F(TwoEditors, OneRunsInsideTheOthersOperationAndEachDeletesOnlyItsOwnFiles) {
    auto a = std::make_unique<operations::Editor>(takeA_.View(Blocks, Blocks, false), Paths("A"),
                                                  files_, pumpA_);
    operations::Editor b(takeB_.View(Blocks, Blocks, false), Paths("B"), files_, pumpB_);
    Select(*a, 1, 30);
    int pumps = 0;
    pumpA_.onPump = [&] {
        if (pumps++ == 0) {
            EXPECT_TRUE(a->Running());
            EXPECT_FALSE(b.Running());
            EXPECT_FALSE(a->Undo()); // held off
            Select(b, 21, 30);
            b.Delete();
        }
    };
    a->Amplify(200);
    EXPECT_GT(pumps, 0);
    EXPECT_EQ(SoundOf(*a), Doubled(Range(1, 30)));
    EXPECT_EQ(SoundOf(b), B(1, 20));
    EXPECT_EQ(a->EditFileBlocks(), 30u);
    EXPECT_EQ(b.EditFileBlocks(), 0u);

    a.reset();
    EXPECT_FALSE(std::filesystem::exists(Paths("A").edit));
    EXPECT_FALSE(std::filesystem::exists(Paths("A").clip));
    EXPECT_TRUE(std::filesystem::exists(Paths("B").edit));
    EXPECT_TRUE(b.Undo());
    EXPECT_EQ(SoundOf(b), B(1, 30));
}

} // namespace

// SPDX-License-Identifier: GPL-3.0-or-later
#include "editing_fixture.h"

#include "operations/command_input.h"
#include "operations/insert_silence.h"
#include "record/errors.h"

#include <ostream>

using operations::state;
using testsupport::EditingTest;
using testsupport::operator+;
using testsupport::Range;

namespace {

TEST_F(EditingTest, SilenceGoesAfterTheCursorSelectedAndFlat) {
    Select(10, 10);
    operations::InsertSilence(5);
    EXPECT_EQ(Sound(), Range(1, 10) + std::vector<int>(5, 0) + Range(11, 60));
    EXPECT_EQ(state.SelStart, 11u);
    EXPECT_EQ(state.SelEnd, 15u);
    EXPECT_EQ(state.CursorBlock, 10u);
    EXPECT_EQ(state.EditStream.Blocks(), 5u);
    for (uint32_t p = 11; p <= 15; ++p) {
        const record::BlockPeaks peaks = *operations::LookupPeaks(p);
        EXPECT_EQ(std::vector<int>({peaks.maxL, peaks.minL, peaks.maxR, peaks.minR}),
                  std::vector<int>({0, 0, 0, 0}));
        EXPECT_EQ(Sample(p, 100).second, 0);
    }
    operations::Undo();
    EXPECT_EQ(Sound(), Range(1, 60));
}

TEST_F(EditingTest, SilenceAtTheLastBlockIsAddedAtTheEnd) {
    Select(60, 60);
    operations::InsertSilence(2);
    EXPECT_EQ(Sound(), Range(1, 60) + std::vector<int>(2, 0));
    operations::InsertSilence(0);
    operations::InsertSilence(-3);
    EXPECT_EQ(state.CurrentLevel, 1);
}

struct SilenceAnswer {
    const char* text;
    int32_t blocks;         // -1: rejected
    const char* error = ""; // the message of a rejected answer
};

std::ostream& operator<<(std::ostream& os, const SilenceAnswer& c) {
    return os << '"' << c.text << '"';
}

constexpr const char* kOutOfRange = "Enter a length of silence from 0 to 36000 seconds.";

class SilenceAnswers : public ::testing::TestWithParam<SilenceAnswer> {};

TEST_P(SilenceAnswers, BecomeWholeBlocks) {
    const QString text = QString::fromUtf8(GetParam().text);
    if (GetParam().blocks >= 0) {
        EXPECT_EQ(operations::ParseSilenceBlocks(text), GetParam().blocks);
    } else {
        try {
            operations::ParseSilenceBlocks(text);
            ADD_FAILURE() << "accepted";
        } catch (const record::UserError& e) {
            EXPECT_STREQ(e.what(), GetParam().error);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    CommandInput, SilenceAnswers,
    ::testing::Values(SilenceAnswer{"0.5", 5}, SilenceAnswer{"2", 20},
                      SilenceAnswer{"0.25", 2}, // 2.5 to even
                      SilenceAnswer{"0.35", 3}, // just below 0.35
                      SilenceAnswer{"0.04", 0}, SilenceAnswer{"", 0},
                      SilenceAnswer{"36000", 360000}, SilenceAnswer{"36000.1", -1, kOutOfRange},
                      SilenceAnswer{"-1", -1, kOutOfRange}, SilenceAnswer{"1e30", -1, kOutOfRange},
                      SilenceAnswer{"inf", -1, "'inf' is not a valid floating point value"},
                      SilenceAnswer{"abc", -1, "'abc' is not a valid floating point value"}));

TEST(CommandInput, RejectedAnswersSayWhy) {
    auto message = [](auto parse, const char* text) {
        try {
            parse(QString::fromUtf8(text));
        } catch (const record::UserError& e) {
            return std::string(e.what());
        }
        return std::string("accepted");
    };
    EXPECT_EQ(message(operations::ParseSilenceBlocks, "half"),
              "'half' is not a valid floating point value");
    EXPECT_EQ(message(operations::ParseAmplifyPercent, ""), "'' is not a valid integer value");
    EXPECT_EQ(message(operations::ParseAmplifyPercent, "1.5"),
              "'1.5' is not a valid integer value");
    EXPECT_EQ(operations::ParseAmplifyPercent("-100"), -100);
    EXPECT_EQ(operations::ParseAmplifyPercent("2500"), 2500);
}

TEST(CommandInput, AmplifyPromptEndsWithTheClippingLevel) {
    EXPECT_EQ(operations::AmplifyPrompt(200),
              "Input Amplification Factor (1-1000%)\rOriginal Level - 100%\r"
              "Sound Clipping Level - 200");
}

} // namespace

// SPDX-License-Identifier: GPL-3.0-or-later
#include "editing_fixture.h"

#include "base/errors.h"
#include "operations/command_input.h"

#include <QLocale>

#include <ostream>
#include <string>
#include <tuple>

using testsupport::EditingTest;
using testsupport::operator+;
using testsupport::Range;

namespace {

TEST_F(EditingTest, SilenceGoesAfterTheCursorSelectedAndFlat) {
    Select(10, 10);
    E().InsertSilence(5);
    EXPECT_EQ(Sound(), Range(1, 10) + std::vector<int>(5, 0) + Range(11, 60));
    EXPECT_EQ(E().CurrentSelection().SelStart, 11u);
    EXPECT_EQ(E().CurrentSelection().SelEnd, 15u);
    EXPECT_EQ(E().CurrentSelection().CursorBlock, 10u);
    EXPECT_EQ(E().EditFileBlocks(), 5u);
    for (uint32_t p = 11; p <= 15; ++p) {
        const base::BlockPeaks peaks = *E().Peaks(p);
        EXPECT_EQ(std::vector<int>({peaks.maxL, peaks.minL, peaks.maxR, peaks.minR}),
                  std::vector<int>({0, 0, 0, 0}));
        EXPECT_EQ(Sample(p, 100).second, 0);
    }
    E().Undo();
    EXPECT_EQ(Sound(), Range(1, 60));
}

TEST_F(EditingTest, SilenceAtTheLastBlockIsAddedAtTheEnd) {
    Select(60, 60);
    E().InsertSilence(2);
    EXPECT_EQ(Sound(), Range(1, 60) + std::vector<int>(2, 0));
    E().InsertSilence(0);
    E().InsertSilence(-3);
    EXPECT_EQ(E().UndoLevel(), 1);
}

// Sets the default locale for the test's life and puts the earlier one back.
class DefaultLocale {
  public:
    explicit DefaultLocale(const char* name) { QLocale::setDefault(QLocale(name)); }
    ~DefaultLocale() { QLocale::setDefault(saved_); }
    DefaultLocale(const DefaultLocale&) = delete;
    DefaultLocale& operator=(const DefaultLocale&) = delete;

  private:
    QLocale saved_;
};

constexpr int32_t NotANumber = -1; // "'<text>' is not a valid floating point value"
constexpr int32_t OutOfRange = -2;

// An answer and the blocks it gives under the C locale and under German, whose decimal
// separator is a comma and whose group separator is a point.
struct SilenceAnswer {
    const char* text;
    int32_t inC, inGerman;
};

std::ostream& operator<<(std::ostream& os, const SilenceAnswer& c) {
    return os << '"' << c.text << '"';
}

class SilenceAnswers : public ::testing::TestWithParam<std::tuple<const char*, SilenceAnswer>> {};

TEST_P(SilenceAnswers, BecomeWholeBlocksWithAPointOrTheLocalesSeparator) {
    const auto& [localeName, answer] = GetParam();
    const DefaultLocale locale(localeName);
    const QString text = QString::fromUtf8(answer.text);
    const int32_t expected = QString(localeName) == "C" ? answer.inC : answer.inGerman;
    std::string result;
    try {
        result = std::to_string(operations::ParseSilenceBlocks(text));
    } catch (const base::UserError& e) {
        result = e.what();
    }
    EXPECT_EQ(result, expected == NotANumber
                          ? "'" + text.toStdString() + "' is not a valid floating point value"
                      : expected == OutOfRange
                          ? "Enter a length of silence from 0 to 36000 seconds."
                          : std::to_string(expected));
}

INSTANTIATE_TEST_SUITE_P(
    CommandInput, SilenceAnswers,
    ::testing::Combine(
        ::testing::Values("C", "de_DE"),
        ::testing::Values(SilenceAnswer{"0.5", 5, 5}, // the offered default, also after Cancel
                          SilenceAnswer{"0,5", NotANumber, 5}, SilenceAnswer{"2", 20, 20},
                          SilenceAnswer{"0.25", 2, 2}, // 2.5 to even
                          SilenceAnswer{"0,25", NotANumber, 2},
                          SilenceAnswer{"0.35", 3, 3}, // just below 0.35
                          SilenceAnswer{"0.04", 0, 0}, SilenceAnswer{"", 0, 0},
                          SilenceAnswer{"1.000", 10, 10}, // a point is always the decimal one
                          SilenceAnswer{"1,000", NotANumber, 10},
                          SilenceAnswer{"1.000,5", NotANumber, NotANumber},
                          SilenceAnswer{"1,000.5", NotANumber, NotANumber},
                          SilenceAnswer{"36000", 360000, 360000},
                          SilenceAnswer{"36000.1", OutOfRange, OutOfRange},
                          SilenceAnswer{"36000,1", NotANumber, OutOfRange},
                          SilenceAnswer{"-1", OutOfRange, OutOfRange},
                          SilenceAnswer{"-0,5", NotANumber, OutOfRange},
                          SilenceAnswer{"1e30", OutOfRange, OutOfRange},
                          SilenceAnswer{"inf", NotANumber, NotANumber},
                          SilenceAnswer{"nan", NotANumber, NotANumber},
                          SilenceAnswer{"abc", NotANumber, NotANumber},
                          SilenceAnswer{"0.5s", NotANumber, NotANumber})));

TEST(CommandInput, RejectedAnswersSayWhy) {
    auto message = [](auto parse, const char* text) {
        try {
            parse(QString::fromUtf8(text));
        } catch (const base::UserError& e) {
            return std::string(e.what());
        }
        return std::string("accepted");
    };
    EXPECT_EQ(message(operations::ParseSilenceBlocks, "half"),
              "'half' is not a valid floating point value");
    // Whole numbers read the same in every locale.
    for (const char* name : {"C", "de_DE"}) {
        const DefaultLocale locale(name);
        EXPECT_EQ(message(operations::ParseAmplifyPercent, ""), "'' is not a valid integer value");
        EXPECT_EQ(message(operations::ParseAmplifyPercent, "1.5"),
                  "'1.5' is not a valid integer value");
        EXPECT_EQ(message(operations::ParseAmplifyPercent, "1,5"),
                  "'1,5' is not a valid integer value");
        EXPECT_EQ(operations::ParseAmplifyPercent("100"), 100);
        EXPECT_EQ(operations::ParseAmplifyPercent("-100"), -100);
        EXPECT_EQ(operations::ParseAmplifyPercent("2500"), 2500);
    }
}

TEST(CommandInput, AmplifyPromptEndsWithTheClippingLevel) {
    EXPECT_EQ(operations::AmplifyPrompt(200),
              "Input Amplification Factor (1-1000%)\rOriginal Level - 100%\r"
              "Sound Clipping Level - 200");
}

} // namespace

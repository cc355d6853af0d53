// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/headless/command_line.h"

#include <gtest/gtest.h>

namespace {

using Action = app::CommandLine::Action;

struct Case {
    QStringList arguments;
    Action action;
    int modeIndex;              // -1: the settings file's
    const char* errorPart = ""; // a usage error's message contains it
    int lastSeconds = 0;        // --save-now's
    QString output = {};
};

class ParseCommandLine : public ::testing::TestWithParam<Case> {};

TEST_P(ParseCommandLine, GivesTheActionModeOrUsageError) {
    const Case& c = GetParam();
    const app::CommandLine line = app::ParseCommandLine(c.arguments);
    EXPECT_EQ(line.action, c.action) << c.arguments.join(' ').toStdString();
    EXPECT_EQ(line.modeIndex, c.modeIndex);
    EXPECT_EQ(line.error.isEmpty(), c.action != Action::Usage);
    EXPECT_TRUE(line.error.contains(c.errorPart)) << line.error.toStdString();
    EXPECT_EQ(line.lastSeconds, c.lastSeconds);
    EXPECT_EQ(line.outputFolder, c.output);
}

const Case cases[] = {
    {{}, Action::Windows, -1},
    {{"--headless"}, Action::Headless, -1},
    {{"--headless", "--continuous"}, Action::Headless, 0},
    {{"--headless", "--loop", "3"}, Action::Headless, 1},
    {{"--headless", "--loop", "5"}, Action::Headless, 2},
    {{"--headless", "--loop", "10"}, Action::Headless, 3},
    {{"--headless", "--loop", "15"}, Action::Headless, 4},
    {{"--headless", "--loop", "20"}, Action::Headless, 5},
    {{"--headless", "--loop", "30"}, Action::Headless, 6},
    {{"--headless", "--loop", "60"}, Action::Headless, 7},
    {{"--status"}, Action::Status, -1},
    {{"--record"}, Action::Record, -1},
    {{"--stop"}, Action::Stop, -1},
    // Loops the mode list does not have.
    {{"--headless", "--loop", "4"}, Action::Usage, -1, "3, 5, 10, 15, 20, 30 or 60"},
    {{"--headless", "--loop", "0"}, Action::Usage, -1, "not \"0\""},
    {{"--headless", "--loop", "-10"}, Action::Usage, -1, "not \"-10\""},
    {{"--headless", "--loop", "10m"}, Action::Usage, -1, "not \"10m\""},
    {{"--headless", "--loop", ""}, Action::Usage, -1, "not \"\""},
    {{"--headless", "--loop", "99999999999999999999"}, Action::Usage, -1, "minutes long"},
    {{"--headless", "--loop"}, Action::Usage, -1, "needs the loop's length"},
    // One mode, once.
    {{"--headless", "--loop", "3", "--continuous"}, Action::Usage, -1, "once"},
    {{"--headless", "--continuous", "--continuous"}, Action::Usage, -1, "once"},
    {{"--headless", "--loop", "3", "--loop", "5"}, Action::Usage, -1, "once"},
    // Options out of place or unknown; saving from outside is not offered.
    {{"--loop", "3"}, Action::Usage, -1, "Unknown argument: --loop"},
    {{"--continuous"}, Action::Usage, -1, "Unknown argument"},
    {{"--headless", "--status"}, Action::Usage, -1, "Unknown argument: --status"},
    {{"--status", "--headless"}, Action::Usage, -1, "no further arguments"},
    {{"--stop", "now"}, Action::Usage, -1, "no further arguments"},
    {{"--save-now"}, Action::SaveNow, -1},
    {{"--save-now", "--last", "90s"}, Action::SaveNow, -1, "", 90},
    {{"--save-now", "--last", "5m", "--output", "/tmp/a b"},
     Action::SaveNow,
     -1,
     "",
     300,
     "/tmp/a b"},
    {{"--save-now", "--output", "takes", "--last", "45"}, Action::SaveNow, -1, "", 45, "takes"},
    {{"--save-now", "--last", "600m"}, Action::SaveNow, -1, "", 36000},
    {{"--save-now", "--last", "601m"}, Action::Usage, -1, "not \"601m\""},
    {{"--save-now", "--last", "1h"}, Action::Usage, -1, "such as 90s or 5m"},
    {{"--save-now", "--last", "0s"}, Action::Usage, -1, "not \"0s\""},
    {{"--save-now", "--last", "-5s"}, Action::Usage, -1, "not \"-5s\""},
    {{"--save-now", "--last", "+5"}, Action::Usage, -1, "not \"+5\""},
    {{"--save-now", "--last", "1.5m"}, Action::Usage, -1, "not \"1.5m\""},
    {{"--save-now", "--last", "s"}, Action::Usage, -1, "not \"s\""},
    {{"--save-now", "--last", "99999999999s"}, Action::Usage, -1, "such as"},
    {{"--save-now", "--last"}, Action::Usage, -1, "needs a duration"},
    {{"--save-now", "--output"}, Action::Usage, -1, "needs a folder"},
    {{"--save-now", "--output", ""}, Action::Usage, -1, "needs a folder"},
    {{"--save-now", "--last", "5s", "--last", "6s"}, Action::Usage, -1, "twice"},
    {{"--save-now", "--loop", "3"}, Action::Usage, -1, "Unknown argument: --loop"},
    {{"--last", "5s"}, Action::Usage, -1, "Unknown argument: --last"},
    {{"--headless", "--save-now"}, Action::Usage, -1, "Unknown argument"},
    {{"-headless"}, Action::Usage, -1, "Unknown argument"},
    {{"--HEADLESS"}, Action::Usage, -1, "Unknown argument"},
    {{"file.raw"}, Action::Usage, -1, "Unknown argument: file.raw"},
    {{""}, Action::Usage, -1, "Unknown argument"},
};
INSTANTIATE_TEST_SUITE_P(Arguments, ParseCommandLine, ::testing::ValuesIn(cases));

TEST(UsageText, NamesEveryCommand) {
    const QString text = app::UsageText("velmar-recorder");
    for (const char* option :
         {"--headless", "--loop MINUTES", "--continuous", "--status", "--record", "--stop",
          "--save-now", "--last DURATION", "--output DIR"}) {
        EXPECT_TRUE(text.contains(option)) << option;
    }
}

} // namespace

// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ui/program.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

struct Case {
    const char* display; // nullptr: unset
    const char* wayland;
    const char* platform;
    bool available;
};

class DisplayAvailable : public ::testing::TestWithParam<Case> {};

void Set(const char* name, const char* value) {
    value ? setenv(name, value, 1) : unsetenv(name);
}

// Each test case runs in a process of its own, so changing the environment touches no other.
TEST_P(DisplayAvailable, FollowsTheEnvironment) {
    const Case& c = GetParam();
    Set("DISPLAY", c.display);
    Set("WAYLAND_DISPLAY", c.wayland);
    Set("QT_QPA_PLATFORM", c.platform);
    EXPECT_EQ(app::DisplayAvailable(), c.available);
    unsetenv("DISPLAY"), unsetenv("WAYLAND_DISPLAY"), setenv("QT_QPA_PLATFORM", "offscreen", 1);
}

const Case cases[] = {
    {nullptr, nullptr, nullptr, false},
    {"", "", nullptr, false},
    {":0", nullptr, nullptr, true},
    {nullptr, "wayland-0", nullptr, true},
    {nullptr, nullptr, "xcb", false},
    {nullptr, nullptr, "wayland", false},
    {nullptr, nullptr, "wayland-egl", false},
    {nullptr, nullptr, "offscreen", true},
    {nullptr, nullptr, "minimal", true},
    {nullptr, nullptr, "vnc:size=800x600", true},
    {":1", nullptr, "xcb", true},
};
INSTANTIATE_TEST_SUITE_P(Environments, DisplayAvailable, ::testing::ValuesIn(cases));

} // namespace

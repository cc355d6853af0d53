// SPDX-License-Identifier: GPL-3.0-or-later
// The control channel's tests run a local server and socket, which want an event loop's
// application object.
#include <QCoreApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

// SPDX-License-Identifier: GPL-3.0-or-later
// The window tests need a QApplication on a real X server (the test command runs under xvfb-run),
// and each test case records and settings folders of its own.

#include <gtest/gtest.h>
#include <QApplication>

#include "../support/TestFolders.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    halvik::testing::PerTestFolders::Install();
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName("Temperature Recorder Card");
    return RUN_ALL_TESTS();
}

// SPDX-License-Identifier: GPL-3.0-or-later
// The export tests run the window on a real X server (the test command goes through xvfb-run).
// Before anything opens a file, a stand-in for the desktop's xdg-open goes first on PATH, so the
// viewer calls of the window are recorded instead of starting a viewer. Each test case gets
// records and settings folders of its own.

#include <gtest/gtest.h>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstring>

#include "../support/RunAllTests.h"
#include "../support/TestFolders.h"

namespace halvik::testing {

int printFromWindowChild(int argc, char** argv);

namespace {
QString& viewerLog() {
    static QString path;
    return path;
}
}  // namespace

QString viewerLogPath() {
    return viewerLog();
}

}  // namespace halvik::testing

int main(int argc, char** argv) {
    QTemporaryDir stand_in(QDir::tempPath() + "/halvik-viewer-XXXXXX");
    if (!stand_in.isValid()) {
        return 2;
    }
    const QString log = stand_in.filePath("calls.log");
    halvik::testing::viewerLog() = log;
    QFile script(stand_in.filePath("xdg-open"));
    if (!script.open(QIODevice::WriteOnly)) {
        return 2;
    }
    // With HALVIK_TEST_VIEWER_FAILS set it answers as xdg-open does when no program takes the
    // file (exit status 3).
    script.write(
        "#!/bin/sh\nprintf '%s\\n' \"$*\" >> \"$HALVIK_TEST_VIEWER_LOG\"\n"
        "[ -z \"$HALVIK_TEST_VIEWER_FAILS\" ] || exit 3\n");
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("HALVIK_TEST_VIEWER_LOG", log.toUtf8());
    qputenv("PATH", stand_in.path().toUtf8() + ":" + qgetenv("PATH"));

    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName("Temperature Recorder Card");
    if (argc > 1 && std::strcmp(argv[1], "--print-from-window") == 0) {
        return halvik::testing::printFromWindowChild(argc, argv);
    }
    ::testing::InitGoogleTest(&argc, argv);
    halvik::testing::PerTestFolders::Install();
    return halvik::testing::RunAllTestsReportingSkips();
}

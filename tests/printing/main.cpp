// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <cstring>

#include "../support/RunAllTests.h"

namespace halvik::testing {
int printToQueueChild(int argc, char** argv);
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        const QString dir = QDir::tempPath() + "/halvik-test-runtime";
        QDir().mkpath(dir);
        QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", dir.toUtf8());
    }
    QApplication app(argc, argv);
    if (argc > 1 && std::strcmp(argv[1], "--print-to-queue") == 0) {
        return halvik::testing::printToQueueChild(argc, argv);
    }
    ::testing::InitGoogleTest(&argc, argv);
    return halvik::testing::RunAllTestsReportingSkips();
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <cstring>

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
    const int rc = RUN_ALL_TESTS();
    const auto* unit = ::testing::UnitTest::GetInstance();
    // Skipped everything that ran (the print queue where CUPS cannot start): tell CTest so.
    if (rc == 0 && unit->test_to_run_count() > 0 &&
        unit->skipped_test_count() == unit->test_to_run_count()) {
        return 77;
    }
    return rc;
}

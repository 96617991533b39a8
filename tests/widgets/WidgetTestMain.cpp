// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "XServer.h"

// LeakSanitizer: libdbus, which Qt's platform services load, keeps one buffer to the end.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libdbus-1.so\n";
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(list_tests))
        return RUN_ALL_TESTS();

    halvik::test::XServer server;
    QString error;
    if (!server.start(&error)) {
        std::fprintf(stderr, "cannot start Xvfb: %s\n", qPrintable(error));
        return 1;
    }
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    char runtimeDir[] = "/tmp/halvik-widgets-XXXXXX";
    if (::mkdtemp(runtimeDir) != nullptr)
        ::setenv("XDG_RUNTIME_DIR", runtimeDir, 1);
    int result = 0;
    {
        QApplication app(argc, argv);
        QApplication::setStyle(QStringLiteral("Fusion"));
        result = RUN_ALL_TESTS();
    }
    std::filesystem::remove_all(runtimeDir);
    return result;
}

// SPDX-License-Identifier: GPL-3.0-or-later
// Test entry shared by the protocol, statistics and grid tests. It takes the process locale
// from the environment, so the suite can run under a comma-decimal C locale; with
// HALVIK_EXPECT_COMMA_LOCALE set it first checks that the locale really uses a comma (exit 77,
// skipped, when that locale is not installed; a failure under CI=true).
#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <locale>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (std::getenv("HALVIK_EXPECT_COMMA_LOCALE") != nullptr) {
        if (std::setlocale(LC_ALL, "") == nullptr ||
            std::strcmp(std::localeconv()->decimal_point, ",") != 0) {
            // localedef compiles it at build time from Debian's `locales` package: under CI,
            // where scripts/install-deps installed that, its absence is a failure.
            const char* ci = std::getenv("CI");
            if (ci != nullptr && std::strcmp(ci, "true") == 0) {
                std::printf(
                    "comma-decimal locale not available: the Debian package locales is "
                    "missing (scripts/install-deps installs it)\n");
                return 1;
            }
            std::printf(
                "comma-decimal locale not available (install the Debian package "
                "locales); skipped\n");
            return 77;
        }
        std::locale::global(std::locale(""));
    }
    return RUN_ALL_TESTS();
}

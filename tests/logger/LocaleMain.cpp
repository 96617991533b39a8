// Test entry shared by the protocol, statistics and grid tests. It takes the process locale
// from the environment, so the suite can run under a comma-decimal C locale; with
// HALVIK_EXPECT_COMMA_LOCALE set it first checks that the locale really uses a comma (exit 77,
// skipped, when that locale is not installed).
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
            std::printf("comma-decimal locale not available; skipped\n");
            return 77;
        }
        std::locale::global(std::locale(""));
    }
    return RUN_ALL_TESTS();
}

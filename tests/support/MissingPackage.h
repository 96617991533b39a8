// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A test that cannot run because a Debian package is missing skips on a developer's machine and
// fails under CI (CI=true), where scripts/install-deps must have installed the package. Skips
// that the machine itself forces (no /dev/uhid, not root) use GTEST_SKIP directly.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

namespace halvik::testing {

inline bool RunningUnderCi() {
    const char* ci = std::getenv("CI");
    return ci != nullptr && std::strcmp(ci, "true") == 0;
}

}  // namespace halvik::testing

#define HALVIK_SKIP_FOR_PACKAGE(package, why)                             \
    do {                                                                  \
        if (::halvik::testing::RunningUnderCi())                          \
            FAIL() << why << "; the Debian package " << package           \
                   << " is missing (scripts/install-deps installs it)";   \
        GTEST_SKIP() << why << "; install the Debian package " << package \
                     << " (scripts/install-deps does)";                   \
    } while (false)

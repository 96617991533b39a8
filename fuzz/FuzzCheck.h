// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What a fuzz target uses to report a broken rule: a message on stderr and abort(), which
// libFuzzer turns into a crash file.

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                                  \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (false)

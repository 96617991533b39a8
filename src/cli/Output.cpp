// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/Output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace halvik::cli {

void Problem(const std::string& message) {
    std::fprintf(stderr, "halvik-cli: %s\n", message.c_str());
}

void WriteStdout(std::string_view text) {
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0)
        throw std::runtime_error(std::string("standard output could not be written: ") +
                                 std::strerror(errno));
}

}  // namespace halvik::cli

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace halvik::cli {

// A command line that names something impossible (exit status 2, like CLI11's own errors).
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// "halvik-cli: <message>" on standard error.
void Problem(const std::string& message);

// Writes all of `text` to standard output; throws std::runtime_error when it cannot.
void WriteStdout(std::string_view text);

}  // namespace halvik::cli

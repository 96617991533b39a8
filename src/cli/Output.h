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

// Makes sure descriptors 0, 1 and 2 are open, so that no file this program opens takes the place
// of a closed standard stream and receives what was meant for it. A closed one is opened on
// /dev/null for reading only: writes to it then fail, and say so.
void GuardStandardStreams();

// `status`, or 2 after saying "standard output could not be written" when anything written to
// standard output was lost (a full disk, a closed stream).
int CheckedExit(int status);

// Writes all of `text` to standard output; throws std::runtime_error when it cannot.
void WriteStdout(std::string_view text);

}  // namespace halvik::cli

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <stdexcept>
#include <string>

namespace halvik {

// The error raised by the card's protocol, the texts' conversions, the statistics and the
// clipboard texts. what() is the message the user sees in the error box, for example
// "'' is not a valid integer value" when DOWNLOAD is pressed before any header arrived.
class LoggerError : public std::runtime_error {
  public:
    explicit LoggerError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace halvik

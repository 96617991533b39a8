// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <stdexcept>

namespace halvik {

// A general error of the PDF writer; the two kinds below derive from it.
class EPdfError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};
class EPdfInvalidValue : public EPdfError {
  public:
    using EPdfError::EPdfError;
};
class EPdfInvalidOperation : public EPdfError {
  public:
    using EPdfError::EPdfError;
};

}  // namespace halvik

// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/ClipboardError.h"

namespace halvik {

ClipboardError::ClipboardError(const std::string& reason)
    : std::runtime_error("Cannot open clipboard: " + reason), reason_(reason) {}

}  // namespace halvik

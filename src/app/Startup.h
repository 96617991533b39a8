// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace halvik {

// Halvik is a desktop program: without a display Qt would abort. When the environment names
// no display (DISPLAY, WAYLAND_DISPLAY) and no Qt platform (QT_QPA_PLATFORM), this returns a
// plain explanation with the way to run it under a virtual display; otherwise an empty text.
std::string MissingDisplayMessage(const std::string& program);

}  // namespace halvik

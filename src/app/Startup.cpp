// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Startup.h"

#include <cstdlib>

namespace halvik {

namespace {

bool isSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

}  // namespace

std::string MissingDisplayMessage(const std::string& program) {
    if (isSet("DISPLAY") || isSet("WAYLAND_DISPLAY") || isSet("QT_QPA_PLATFORM")) {
        return {};
    }
    return program +
           ": no display found (neither DISPLAY nor WAYLAND_DISPLAY is set).\n"
           "Halvik is a desktop program: start it from a desktop session, or under a virtual\n"
           "display with\n"
           "    xvfb-run -a " +
           program + "\n";
}

}  // namespace halvik

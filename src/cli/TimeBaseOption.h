// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <CLI/CLI.hpp>
#include <string>

#include "timebase/TimeBase.h"

namespace halvik::cli {

// --tz ZONE of a command. Times are shown and exported in the card's clock (UTC) unless a call
// asks for a zone, with --tz or, for scripts, the environment variable HALVIK_TZ.
struct TimeBaseOption {
    std::string zone;
    CLI::Option* option = nullptr;
};

void AddTimeBaseOption(CLI::App& command, TimeBaseOption& tz);

// The time base of this call: --tz when given, else HALVIK_TZ when set and not empty, else the
// card's clock. Throws TimeBaseError (exit status 2) for a name that is no zone, saying where it
// came from, and when the computer has no zone data.
TimeBase CallTimeBase(const TimeBaseOption& tz);

}  // namespace halvik::cli

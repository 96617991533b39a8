// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/TimeBaseOption.h"

#include <cstdlib>

namespace halvik::cli {

void AddTimeBaseOption(CLI::App& command, TimeBaseOption& tz) {
    tz.option = command
                    .add_option("--tz", tz.zone,
                                "Show times in this zone beside UTC, the card's clock: a name "
                                "from 'timedatectl list-timezones' (Europe/Berlin) or 'local' for "
                                "this computer's zone (default: $HALVIK_TZ, else UTC only)")
                    ->type_name("ZONE");
}

TimeBase CallTimeBase(const TimeBaseOption& tz) {
    try {
        if (tz.option && tz.option->count() > 0)
            return ParseTimeBase(tz.zone);
    } catch (const TimeBaseError& e) {
        throw TimeBaseError(std::string("--tz: ") + e.what());
    }
    const char* environment = std::getenv("HALVIK_TZ");
    if (!environment || !*environment)
        return TimeBase();
    try {
        return ParseTimeBase(environment);
    } catch (const TimeBaseError& e) {
        throw TimeBaseError(std::string("HALVIK_TZ: ") + e.what());
    }
}

}  // namespace halvik::cli

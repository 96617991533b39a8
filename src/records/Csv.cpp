// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/Csv.h"

#include "logger/Conversions.h"
#include "logger/Header.h"
#include "logger/LocaleSettings.h"
#include "logger/Reading.h"

namespace halvik {

std::string RecordCsv(const Record& record, const TimeBase& base) {
    const LocaleSettings point;  // "." whatever the process or user locale
    const std::optional<std::chrono::sys_seconds> first = RecordFirstReading(record);
    const int received = RecordReadingsReceived(record);

    const bool local = !base.IsCardClock();
    TimeConverter converter(base);

    std::string csv = local ? "point,time_utc,time_local,celsius,fahrenheit\n"
                            : "point,time_utc,celsius,fahrenheit\n";
    csv.reserve(csv.size() + static_cast<std::size_t>(received) * (local ? 66 : 40));
    for (int q = 1; q <= received; ++q) {
        const auto at = static_cast<std::size_t>(2 * q - 2);
        const long double celsius = DecodeReading(record.readings[at], record.readings[at + 1]);
        csv += IntText(q);
        csv += ',';
        std::optional<std::chrono::sys_seconds> moment;
        if (first)
            moment = *first + std::chrono::minutes(kLogIntervalMinutes * (q - 1));
        if (moment)
            csv += UtcTimeText(*moment);
        csv += ',';
        if (local) {
            if (moment)
                csv += IsoLocalText(converter.Convert(*moment));
            csv += ',';
        }
        csv += TemperatureText(celsius, point);
        csv += ',';
        csv += TemperatureText(FahrenheitReading(celsius), point);
        csv += '\n';
    }
    return csv;
}

}  // namespace halvik

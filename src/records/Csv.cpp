// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/Csv.h"

#include "logger/Conversions.h"
#include "logger/Header.h"
#include "logger/LocaleSettings.h"
#include "logger/Reading.h"

namespace halvik {

std::string RecordCsv(const Record& record) {
    const LocaleSettings point;  // "." whatever the process or user locale
    const std::optional<std::chrono::sys_seconds> first = RecordFirstReading(record);
    const int received = RecordReadingsReceived(record);

    std::string csv = "point,time_utc,celsius,fahrenheit\n";
    csv.reserve(csv.size() + static_cast<std::size_t>(received) * 40);
    for (int q = 1; q <= received; ++q) {
        const auto at = static_cast<std::size_t>(2 * q - 2);
        const long double celsius = DecodeReading(record.readings[at], record.readings[at + 1]);
        csv += IntText(q);
        csv += ',';
        if (first)
            csv += UtcTimeText(*first + std::chrono::minutes(kLogIntervalMinutes * (q - 1)));
        csv += ',';
        csv += TemperatureText(celsius, point);
        csv += ',';
        csv += TemperatureText(FahrenheitReading(celsius), point);
        csv += '\n';
    }
    return csv;
}

}  // namespace halvik

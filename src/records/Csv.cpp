#include "records/Csv.h"

#include <cstdio>

#include "logger/Conversions.h"
#include "logger/Header.h"
#include "logger/LocaleSettings.h"
#include "logger/Reading.h"

namespace halvik {

namespace {

std::string UtcMinuteText(std::chrono::sys_seconds time) {
    using namespace std::chrono;
    const sys_days day = floor<days>(time);
    const year_month_day date(day);
    const hh_mm_ss<seconds> clock(time - day);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:00Z", int(date.year()),
                  unsigned(date.month()), unsigned(date.day()), int(clock.hours().count()),
                  int(clock.minutes().count()));
    return text;
}

}  // namespace

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
            csv += UtcMinuteText(*first + std::chrono::minutes(kLogIntervalMinutes * (q - 1)));
        csv += ',';
        csv += TemperatureText(celsius, point);
        csv += ',';
        csv += TemperatureText(FahrenheitReading(celsius), point);
        csv += '\n';
    }
    return csv;
}

}  // namespace halvik

// SPDX-License-Identifier: GPL-3.0-or-later
#include "recordreport/RecordReport.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <vector>

#include "analysis/Limits.h"
#include "analysis/Statistics.h"
#include "logger/Conversions.h"
#include "logger/Header.h"
#include "pdf/PdfDocument.h"
#include "records/Csv.h"
#include "report/Captions.h"
#include "views/ChangedRecord.h"

namespace halvik {
namespace {

constexpr const char* kChangedWarning = kChangedRecordWarning;
constexpr float kMargin = 40;
constexpr float kFooterHeight = 30;
constexpr float kRowHeight = 8.6f;
constexpr float kGroupWidth = 128;
constexpr int kExcursionsOnFirstPage = 20;
constexpr float kExcursionRowHeight = 9;
// Page 1's chart keeps at least this height; when the lines above it leave less room, page 1
// lists fewer excursions and the pages after it the rest.
constexpr float kChartMinHeight = 140;
constexpr int kExcursionsPerPage = 60;
// Colours: red in the lowest byte.
constexpr TColor Rgb(int r, int g, int b) {
    return r | (g << 8) | (b << 16);
}
constexpr TColor kBlack = 0;
constexpr TColor kRed = Rgb(200, 0, 0);
constexpr TColor kSeries = Rgb(0, 70, 200);
constexpr TColor kOutside = Rgb(230, 120, 0);
constexpr TColor kLimitLine = Rgb(200, 0, 0);
constexpr TColor kRuleLine = Rgb(120, 0, 170);
constexpr TColor kGrid = Rgb(210, 210, 210);

float PageWidthOf(PaperSize paper) {
    return paper == PaperSize::Letter ? 612 : 595;
}
float PageHeightOf(PaperSize paper) {
    return paper == PaperSize::Letter ? 792 : 842;
}

// One reading as the report uses it: the value in the report's unit as the grid shows it, read
// back as a number, and whether it can be a real temperature at all.
struct Point {
    long double value = 0;
    bool possible = false;
    std::string text;  // with the locale's decimal separator
};

// A run of readings outside the range, by reading index.
struct Run {
    bool above = false;
    int first = 0, last = 0;
    int minutes() const { return kLogIntervalMinutes * (last - first + 1); }
};

// What the readings are judged by, in the report's unit: a bare range, or a limit profile's
// review (whose range may be open at either end and whose verdict comes from its rules).
struct Judgement {
    std::optional<double> low, high;
    std::vector<Run> runs;
    bool alarm = false;
    int inRangeMinutes = 0, aboveMinutes = 0, belowMinutes = 0;
    double inRangePercent = 0, abovePercent = 0, belowPercent = 0;
    const ReviewResult* review = nullptr;
};

double InUnit(double celsius, TemperatureUnit unit) {
    if (unit != TemperatureUnit::Fahrenheit)
        return celsius;
    // Kept to 0.01 as profiles keep their thresholds, so 2.25 °C reads 36.05 °F.
    return std::round((celsius * 1.8 + 32) * 100) / 100;
}

struct Data {
    std::vector<Point> points;
    std::optional<std::chrono::sys_seconds> first;
    int announced = 0;
    std::optional<Judgement> judged;
    std::vector<int> side;  // per reading: +1 above, -1 below, 0 in range (or no limits)
    // With a zone: the local time of every reading and of the moment after the last one.
    TimeBase base;
    std::vector<LocalTime> local;
    // The record's SHA-256, worked out once for the pages and for measuring page 1.
    std::string digest;
    // The summary's numbers, worked out once for the same two uses; empty for no readings.
    std::optional<StatisticsNumbers> numbers;
};

// The locale's separators as the report's fonts can draw them: one the code page lacks (the
// Persian decimal separator) is written as "." or ":" rather than as "?".
RecordReportOptions Drawable(RecordReportOptions options) {
    LocaleSettings& locale = options.locale;
    locale.decimalSeparator =
        WithSeparatorForCodePage(locale.decimalSeparator, locale.decimalSeparator, ".");
    locale.timeSeparator =
        WithSeparatorForCodePage(locale.timeSeparator, locale.timeSeparator, ":");
    return options;
}

Data Gather(const LoadedRecord& loaded, const RecordReportOptions& options) {
    const Record& record = loaded.record;
    const LocaleSettings point;
    Data data;
    data.first = RecordFirstReading(record);
    data.announced = RecordReadingCount(record);
    const int received = RecordReadingsReceived(record);
    data.points.reserve(static_cast<std::size_t>(received));
    std::vector<double> shown;
    shown.reserve(static_cast<std::size_t>(received));
    // A card repeats a few hundred values over its readings: each pair of bytes is worked out
    // once, by its place in `known` (0 for not yet seen, else its point's index + 1).
    std::vector<std::uint32_t> known(1 << 16, 0);
    for (int q = 0; q < received; ++q) {
        const auto at = 2 * static_cast<std::size_t>(q);
        const std::uint8_t exponent = record.readings[at], mantissa = record.readings[at + 1];
        std::uint32_t& seen = known[static_cast<std::size_t>(exponent << 8 | mantissa)];
        if (seen != 0) {
            data.points.push_back(data.points[seen - 1]);
            shown.push_back(shown[seen - 1]);
            continue;
        }
        long double value = DecodeReading(exponent, mantissa);
        if (options.unit == TemperatureUnit::Fahrenheit)
            value = FahrenheitReading(value);
        Point p;
        p.text = TemperatureText(value, point);
        p.value = std::strtold(p.text.c_str(), nullptr);
        p.possible = IsPossibleTemperature(p.value, options.unit);
        if (options.locale.decimalSeparator != ".") {
            const std::size_t dot = p.text.find('.');
            if (dot != std::string::npos)
                p.text.replace(dot, 1, options.locale.decimalSeparator);
        }
        shown.push_back(static_cast<double>(p.value));
        data.points.push_back(std::move(p));
        seen = static_cast<std::uint32_t>(data.points.size());
    }
    if (!data.points.empty()) {
        std::vector<long double> values;
        values.reserve(data.points.size());
        for (const Point& p : data.points)
            values.push_back(p.value);
        data.numbers = ComputeStatistics(values, options.unit);
    }
    data.side.assign(data.points.size(), 0);
    data.base = options.timeBase;
    if (data.first && !data.base.IsCardClock()) {
        TimeConverter converter(data.base);
        data.local.reserve(static_cast<std::size_t>(received) + 1);
        for (int q = 0; q <= received; ++q)
            data.local.push_back(
                converter.Convert(*data.first + std::chrono::minutes(kLogIntervalMinutes * q)));
    }
    if (options.limits && options.review)
        throw std::invalid_argument(
            "a record report is judged by a bare range or by a limit profile, not both");
    if (options.limits) {
        const LimitAnalysis a = AnalyseLimits(shown, options.limits->low, options.limits->high);
        Judgement& j = data.judged.emplace();
        j.low = a.low;
        j.high = a.high;
        for (const Excursion& e : a.excursions)
            j.runs.push_back({e.above, e.first, e.last});
        j.alarm = !j.runs.empty();
        j.inRangeMinutes = a.inRangeMinutes;
        j.aboveMinutes = a.aboveMinutes;
        j.belowMinutes = a.belowMinutes;
        const int total = a.inRangeMinutes + a.aboveMinutes + a.belowMinutes;
        const auto share = [total](int minutes) { return total > 0 ? 100.0 * minutes / total : 0; };
        j.inRangePercent = share(a.inRangeMinutes);
        j.abovePercent = share(a.aboveMinutes);
        j.belowPercent = share(a.belowMinutes);
    } else if (options.review) {
        const ReviewResult& r = *options.review;
        // A review of other readings would mark and count the wrong ones.
        if (r.readingCount != received)
            throw std::invalid_argument("the review covers " + std::to_string(r.readingCount) +
                                        " readings, the record " + std::to_string(received));
        for (const ReviewExcursion& e : r.excursions)
            if (e.first < 0 || e.first > e.last || e.last >= received)
                throw std::invalid_argument("the review names readings the record does not hold");
        for (const RuleStatus& s : r.rules)
            if (s.triggerIndex >= received)
                throw std::invalid_argument("the review names readings the record does not hold");
        if (r.firstTriggered >= static_cast<int>(r.rules.size()))
            throw std::invalid_argument("the review names a rule its profile does not hold");
        Judgement& j = data.judged.emplace();
        j.review = &r;
        if (r.profile.low)
            j.low = InUnit(*r.profile.low, options.unit);
        if (r.profile.high)
            j.high = InUnit(*r.profile.high, options.unit);
        for (const ReviewExcursion& e : r.excursions)
            j.runs.push_back({e.above, e.first, e.last});
        j.alarm = r.verdict == Verdict::Alarm;
        j.inRangeMinutes = r.inRangeMinutes;
        j.aboveMinutes = r.aboveMinutes;
        j.belowMinutes = r.belowMinutes;
        j.inRangePercent = r.inRangePercent;
        j.abovePercent = r.abovePercent;
        j.belowPercent = r.belowPercent;
    }
    if (data.judged)
        for (const Run& run : data.judged->runs)
            for (int i = run.first; i <= run.last; ++i)
                data.side[static_cast<std::size_t>(i)] = run.above ? 1 : -1;
    return data;
}

void AppendDigits(std::string& out, int value, int width) {
    char digits[12];
    for (int i = width - 1; i >= 0; --i, value /= 10)
        digits[i] = static_cast<char>('0' + value % 10);
    out.append(digits, static_cast<std::size_t>(width));
}

std::string Two(int v) {
    std::string out;
    AppendDigits(out, v, 2);
    return out;
}

// "2026-01-12"; the card's clock keeps years from 2000 to 2255.
std::string DateOf(std::chrono::sys_seconds t) {
    const std::chrono::year_month_day ymd{std::chrono::floor<std::chrono::days>(t)};
    std::string out;
    AppendDigits(out, static_cast<int>(ymd.year()), 4);
    out += '-';
    AppendDigits(out, static_cast<int>(static_cast<unsigned>(ymd.month())), 2);
    out += '-';
    AppendDigits(out, static_cast<int>(static_cast<unsigned>(ymd.day())), 2);
    return out;
}

std::string TimeOf(std::chrono::sys_seconds t, const LocaleSettings& locale) {
    const auto day = std::chrono::floor<std::chrono::days>(t);
    const std::chrono::hh_mm_ss hms{t - day};
    std::string out;
    AppendDigits(out, static_cast<int>(hms.hours().count()), 2);
    out += locale.timeSeparator;
    AppendDigits(out, static_cast<int>(hms.minutes().count()), 2);
    return out;
}

std::optional<std::chrono::sys_seconds> TimeOfReading(const Data& data, int index) {
    if (!data.first)
        return std::nullopt;
    return *data.first + std::chrono::minutes(kLogIntervalMinutes * index);
}

// The date, time and (with a zone) offset texts of reading `index`: "2026-10-25", "02:30",
// "+01:00".
struct Stamp {
    std::string date, time, offset;
};

std::optional<Stamp> StampOf(const Data& data, int index, const LocaleSettings& locale) {
    const auto t = TimeOfReading(data, index);
    if (!t)
        return std::nullopt;
    if (data.base.IsCardClock())
        return Stamp{DateOf(*t), TimeOf(*t, locale), {}};
    const LocalTime local = index >= 0 && static_cast<std::size_t>(index) < data.local.size()
                                ? data.local[static_cast<std::size_t>(index)]
                                : TimeConverter(data.base).Convert(*t);
    Stamp stamp;
    AppendDigits(stamp.date, local.year, 4);
    stamp.date += '-';
    AppendDigits(stamp.date, local.month, 2);
    stamp.date += '-';
    AppendDigits(stamp.date, local.day, 2);
    stamp.time = Two(local.hour) + locale.timeSeparator + Two(local.minute);
    stamp.offset = OffsetText(local.offsetSeconds);
    return stamp;
}

// "2026-01-12 08:00", with a zone "2026-10-25 02:30 +01:00"; "-" when the clock is not a date.
std::string DateTimeOf(const Data& data, int index, const LocaleSettings& locale) {
    const auto stamp = StampOf(data, index, locale);
    if (!stamp)
        return "-";
    return stamp->date + " " + stamp->time + (stamp->offset.empty() ? "" : " " + stamp->offset);
}

// 14400 as "14,400"; with a decimal comma the groups are set apart by a space instead.
std::string CountText(long long n, const LocaleSettings& locale) {
    std::string digits = IntText(n < 0 ? -n : n);
    const char* group = locale.decimalSeparator == "," ? " " : ",";
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out += group;
        out += digits[i];
    }
    return n < 0 ? "-" + out : out;
}

std::string Decimal(double v, int decimals, const LocaleSettings& locale) {
    char b[64];
    std::snprintf(b, sizeof b, "%.*f", decimals, v);
    std::string s = b;
    if (s == "-0.0" || s == "-0")
        s.erase(0, 1);
    const std::size_t dot = s.find('.');
    if (dot != std::string::npos)
        s.replace(dot, 1, locale.decimalSeparator);
    return s;
}

// The readings table's rows, made one after the other as the pages are written rather than all
// at once. On the card's clock a day's date text serves its 240 rows.
class RowMaker {
  public:
    RowMaker(const Data& data, const LocaleSettings& locale) : FData(data), FLocale(locale) {}

    // Fills `row` with reading `i`.
    void Fill(std::size_t i, RecordReportRow& row) {
        row.point = static_cast<int>(i) + 1;
        const auto t = TimeOfReading(FData, static_cast<int>(i));
        if (t && FData.base.IsCardClock()) {
            if (const auto today = std::chrono::floor<std::chrono::days>(*t); today != FDay) {
                FDay = today;
                FDate = DateOf(*t);
            }
            row.date = FDate;
            row.time = TimeOf(*t, FLocale);
        } else {
            const auto stamp = StampOf(FData, static_cast<int>(i), FLocale);
            row.date = stamp ? stamp->date : "-";
            row.time = stamp ? stamp->time : "-";
            if (stamp && !stamp->offset.empty())
                row.time += " " + stamp->offset;
        }
        row.value = FData.points[i].text;
        if (FData.side[i] > 0)
            row.value += " H";
        else if (FData.side[i] < 0)
            row.value += " L";
    }

  private:
    const Data& FData;
    const LocaleSettings& FLocale;
    std::optional<std::chrono::sys_days> FDay;
    std::string FDate;
};

std::vector<RecordReportRow> RowsOf(const Data& data, const RecordReportOptions& options) {
    std::vector<RecordReportRow> rows(data.points.size());
    RowMaker maker(data, options.locale);
    for (std::size_t i = 0; i < rows.size(); ++i)
        maker.Fill(i, rows[i]);
    return rows;
}

class Writer {
  public:
    Writer(const LoadedRecord& loaded, const RecordReportOptions& options, const Data& data,
           RecordReportLayout& layout, TPdfDocument& doc)
        : FLoaded(loaded),
          FOptions(options),
          FData(data),
          FLayout(layout),
          FDoc(doc),
          FCanvas(doc.Canvas()),
          FWidth(PageWidthOf(options.paper)),
          FHeight(PageHeightOf(options.paper)),
          FDigest(data.digest),
          FUnit(UnitText(options.unit)) {}

    void Write() {
        Chart(ExcursionList(FirstPageHead()) - 6);
        ExcursionPages();
        ReadingPages();
        ReviewPage();
    }

    // Where page 1's excursion list would begin, measured by writing what stands above it.
    float ExcursionListTop() { return FirstPageHead(); }

  private:
    void NewPage() {
        FDoc.AddPage();
        // A new page has no font resource yet, whatever the canvas remembers.
        FCanvas.Attribute().SetFont(nullptr);
        ++FPage;
        Footer();
    }

    void Font(bool bold, float size, TColor color = kBlack) {
        FCanvas.SetFont(bold ? "Arial-Bold" : "Arial", size);
        FCanvas.SetRGBFillColor(color);
    }

    void Text(float x, float y, const std::string& text) { FCanvas.TextOut(x, y, text); }
    void TextRight(float right, float y, const std::string& text) {
        FCanvas.TextOut(right - FCanvas.TextWidth(text), y, text);
    }

    void Footer() {
        const float y = kMargin - 14;
        FCanvas.SetLineWidth(0.5f);
        FCanvas.SetRGBStrokeColor(kBlack);
        FCanvas.MoveTo(kMargin, kMargin - 4);
        FCanvas.LineTo(FWidth - kMargin, kMargin - 4);
        FCanvas.Stroke();
        Font(false, 7);
        Text(kMargin, y,
             FOptions.recordName + "   SHA-256 " + FDigest.substr(0, 12) + "   generated " +
                 UtcTimeText(FOptions.generatedAt));
        TextRight(FWidth - kMargin, y,
                  "page " + IntText(FPage) + " of " + IntText(FLayout.TotalPages()));
        if (!FLoaded.intact) {
            Font(true, 7, kRed);
            Text(kMargin, y - 9, kChangedWarning);
        }
    }

    float Line(float y, const std::string& label, const std::string& value, float size = 9) {
        Font(true, size);
        Text(kMargin, y, label);
        Font(false, size);
        Text(kMargin + 120, y, value);
        return y - size * 1.3f;
    }

    // One decimal whatever the size, so a maximum never reads below the reading it is.
    std::string Stat(long double v) const {
        return OneDecimalText(v, FOptions.locale) + " " + FUnit;
    }

    // Page 1 down to its excursion list.
    float FirstPageHead() {
        NewPage();
        float y = FHeight - kMargin - 14;
        if (!FLoaded.intact) {
            Font(true, 11, kRed);
            Text(kMargin, y, kChangedWarning);
            y -= 18;
        }
        Font(true, 16);
        Text(kMargin, y, "Record Report");
        y -= 22;
        const Record& record = FLoaded.record;
        const std::string pid = HeaderPidOf(record);
        y = Line(y, "PID", pid.empty() ? "-" : pid);
        y = Line(y, "Record", FOptions.recordName);
        y = Line(y, "SHA-256", FDigest, 8.5f);
        y = Line(y, "Downloaded at", UtcTimeText(record.downloadedAt) + " (UTC)");
        y = Line(y, "Host", record.host);
        y = Line(y, "Program version", record.programVersion);
        const int received = static_cast<int>(FData.points.size());
        const std::string counts = CountText(received, FOptions.locale) + " of " +
                                   CountText(FData.announced, FOptions.locale) + " readings";
        if (record.complete && received == FData.announced) {
            y = Line(y, "Completeness", counts);
        } else {
            Font(true, 9);
            Text(kMargin, y, "Completeness");
            Font(true, 9, kRed);
            Text(kMargin + 120, y, "INCOMPLETE: " + counts);
            y -= 9 * 1.3f;
        }
        if (FData.base.IsCardClock())
            y = Line(y, "Time base", "All times are the card's clock, UTC");
        else
            y = Line(y, "Time base",
                     ZoneName() + ": local times with their offset from UTC (the card's clock)");
        y -= 6;
        y = Summary(y);
        y -= 6;
        if (FData.judged)
            y = LimitsSection(y);
        return y;
    }

    // "Europe/Berlin (CET/CEST)", the abbreviations of the first reading's year.
    std::string ZoneName() const {
        return TimeBaseName(FData.base, FData.first.value_or(FOptions.generatedAt));
    }

    static std::string HeaderPidOf(const Record& record) {
        DownloadState state;
        if (!ReadHeader(state, record.header.data(), record.header.size()).accepted)
            return {};
        std::string pid = state.PidText;
        const std::size_t begin = pid.find_first_not_of(' ');
        const std::size_t end = pid.find_last_not_of(' ');
        return begin == std::string::npos ? std::string() : pid.substr(begin, end - begin + 1);
    }

    float Summary(float y) {
        Font(true, 11);
        Text(kMargin, y, "Summary");
        y -= 15;
        const int n = static_cast<int>(FData.points.size());
        if (n == 0)
            return Line(y, "Readings", "none arrived");
        y = Line(y, "First reading", DateTimeOf(FData, 0, FOptions.locale));
        y = Line(y, "Last reading", DateTimeOf(FData, n - 1, FOptions.locale));
        y = Line(y, "Interval", IntText(kLogIntervalMinutes) + " minutes");
        y = Line(y, "Points", CountText(n, FOptions.locale));
        y = Line(y, "Elapsed", ElapsedText(n));
        const StatisticsNumbers& numbers = *FData.numbers;
        const int possible = numbers.used;
        if (possible == 0) {
            y = Line(y, "Statistics", "n/a: no reading is a real temperature");
        } else {
            y = Line(y, "Maximum",
                     Stat(*numbers.maximum) + "   first at " +
                         DateTimeOf(FData, numbers.maximumAt, FOptions.locale));
            y = Line(y, "Minimum",
                     Stat(*numbers.minimum) + "   first at " +
                         DateTimeOf(FData, numbers.minimumAt, FOptions.locale));
            y = Line(y, "Arithmetic mean", Stat(*numbers.mean));
            y = Line(y, "MKT", numbers.mkt ? Stat(*numbers.mkt) : std::string("n/a"));
        }
        if (possible < n) {
            Font(true, 9, kRed);
            Text(kMargin, y,
                 CountText(n - possible, FOptions.locale) +
                     " readings are not real temperatures: listed as received, left out of the "
                     "statistics and the chart");
            y -= 9 * 1.3f;
            std::vector<ImpossibleReading> impossible;
            for (int i = 0; i < n && impossible.size() < 4; ++i)
                if (!FData.points[static_cast<std::size_t>(i)].possible)
                    impossible.push_back({i + 1, FData.points[static_cast<std::size_t>(i)].text});
            Font(false, 7.5f);
            for (const ImpossibleReading& r : impossible) {
                Text(kMargin + 120, y, "reading " + IntText(r.number) + ": " + r.text);
                y -= 9.5f;
            }
        }
        return y;
    }

    // A temperature of the profile (°C, kept to 0.01) in the report's unit, as rules write it.
    std::string Threshold(double celsius) const {
        std::string text = ThresholdText(InUnit(celsius, FOptions.unit));
        const std::size_t dot = text.find('.');
        if (dot != std::string::npos)
            text.replace(dot, 1, FOptions.locale.decimalSeparator);
        return text;
    }

    // A rule as people read it, with the locale's decimal separator.
    std::string Label(const AlarmRule& rule) const {
        std::string text = RuleLabel(rule);
        if (FOptions.locale.decimalSeparator != ".")
            for (std::size_t at = text.find('.'); at != std::string::npos;
                 at = text.find('.', at + FOptions.locale.decimalSeparator.size()))
                text.replace(at, 1, FOptions.locale.decimalSeparator);
        return text;
    }

    std::string RangeText() const {
        const Judgement& j = *FData.judged;
        if (!j.review)
            return Decimal(*j.low, 1, FOptions.locale) + " to " +
                   Decimal(*j.high, 1, FOptions.locale) + " " + FUnit;
        const LimitProfile& p = j.review->profile;
        std::string text;
        if (p.low && p.high)
            text = Threshold(*p.low) + " to " + Threshold(*p.high);
        else if (p.low)
            text = "from " + Threshold(*p.low);
        else if (p.high)
            text = "up to " + Threshold(*p.high);
        else
            return "none";
        return text + " " + FUnit;
    }

    // When rule `s` triggered: the end of its triggering reading's interval.
    std::string TriggerTime(const RuleStatus& s) const {
        return DateTimeOf(FData, s.triggerIndex + 1, FOptions.locale);
    }

    std::string VerdictLine() const {
        const Judgement& j = *FData.judged;
        if (!j.review)
            return j.alarm ? "ALARM: readings outside the range" : "OK: every reading in range";
        const ReviewResult& r = *j.review;
        if (r.firstTriggered < 0)
            return r.verdict == Verdict::Alarm ? "ALARM" : "OK: no alarm rule triggered";
        const RuleStatus& first = r.rules[static_cast<std::size_t>(r.firstTriggered)];
        return "ALARM: " + Label(first.rule) + ", triggered " + TriggerTime(first);
    }

    float LimitsSection(float y) {
        const Judgement& j = *FData.judged;
        Font(true, 11);
        Text(kMargin, y, j.review ? "Limit profile" : "Limits");
        y -= 15;
        if (j.review)
            y = Line(y, "Profile", j.review->profile.name);
        y = Line(y, "Range", RangeText());
        if (j.review && j.review->rules.empty())
            y = Line(y, "Rules", "none");
        // The verdict in a box.
        const std::string verdict = VerdictLine();
        y -= 4;
        Font(true, 11, j.alarm ? kRed : kBlack);
        const float w = FCanvas.TextWidth(verdict) + 12;
        FCanvas.SetLineWidth(1);
        FCanvas.SetRGBStrokeColor(j.alarm ? kRed : kBlack);
        FCanvas.Rectangle(kMargin, y - 5, w, 17);
        FCanvas.Stroke();
        Text(kMargin + 6, y, verdict);
        y -= 22;
        auto share = [&](int minutes, double percent) {
            return IntText(minutes) + " min (" + Decimal(percent, 1, FOptions.locale) + " %)";
        };
        y = Line(y, "In range", share(j.inRangeMinutes, j.inRangePercent));
        y = Line(y, "Above", share(j.aboveMinutes, j.abovePercent));
        y = Line(y, "Below", share(j.belowMinutes, j.belowPercent));
        if (j.review && !j.review->rules.empty())
            y = RuleTable(y - 3);
        return y;
    }

    // Page 1's part of the excursion list, from `y` down.
    float ExcursionList(float y) {
        if (!FData.judged || FData.judged->runs.empty())
            return y;
        const Judgement& j = *FData.judged;
        y -= 3;
        Font(true, 9);
        Text(kMargin, y,
             "Excursions (" + CountText(static_cast<long long>(j.runs.size()), FOptions.locale) +
                 ")");
        y -= 11;
        const int shown = FLayout.firstPageExcursions;
        y = ExcursionHeading(y);
        for (int i = 0; i < shown; ++i)
            y = ExcursionRow(y, i);
        if (shown < static_cast<int>(j.runs.size())) {
            Font(false, 7.5f);
            Text(kMargin, y, "continued on the next page");
            y -= 9;
        }
        return y;
    }

    // Each rule of the profile: when it triggered, and how long the readings met it.
    float RuleTable(float y) {
        const float x[] = {kMargin, kMargin + 120, kMargin + 300, kMargin + 360, kMargin + 420};
        Font(true, 7.5f);
        Text(x[0], y, "Rule");
        Text(x[1], y, "Status");
        Text(x[2], y, "Total min");
        Text(x[3], y, "Longest min");
        Text(x[4], y, "Runs");
        y -= 9;
        for (const RuleStatus& s : FData.judged->review->rules) {
            Font(false, 7.5f, s.triggered ? kRed : kBlack);
            Text(x[0], y, Label(s.rule));
            std::string status = s.triggered ? "triggered " + TriggerTime(s) : "not triggered";
            if (s.rule.kind == RuleKind::Mkt)
                status += s.mkt ? "   MKT " + Threshold(*s.mkt) + " " + FUnit : "   no MKT";
            Text(x[1], y, status);
            if (s.rule.kind != RuleKind::Mkt) {
                Text(x[2], y, IntText(s.totalMinutes));
                Text(x[3], y, IntText(s.longestMinutes));
                Text(x[4], y, IntText(s.runs));
            }
            y -= 9;
        }
        return y;
    }

    float ExcursionHeading(float y) {
        Font(true, 7.5f);
        const float x[] = {kMargin, kMargin + 30, kMargin + 140, kMargin + 250, kMargin + 300};
        Text(x[0], y, "No.");
        Text(x[1], y, "Start");
        Text(x[2], y, "End");
        Text(x[3], y, "Minutes");
        Text(x[4], y, "Peak");
        return y - 9;
    }

    float ExcursionRow(float y, int i) {
        const Run& e = FData.judged->runs[static_cast<std::size_t>(i)];
        Font(false, 7.5f);
        Text(kMargin, y, IntText(i + 1));
        Text(kMargin + 30, y, DateTimeOf(FData, e.first, FOptions.locale));
        // Each reading stands for its six minutes: an excursion ends six minutes after its last.
        Text(kMargin + 140, y, DateTimeOf(FData, e.last + 1, FOptions.locale));
        Text(kMargin + 250, y, IntText(e.minutes()));
        const int peak = PeakIndex(e);
        Text(kMargin + 300, y,
             peak < 0 ? std::string("no real temperature")
                      : FData.points[static_cast<std::size_t>(peak)].text + " " + FUnit +
                            (e.above ? " H" : " L"));
        return y - kExcursionRowHeight;
    }

    // The highest reading of a run above, the lowest of one below, of those that are real
    // temperatures; -1 when none is.
    int PeakIndex(const Run& e) const {
        int at = -1;
        for (int i = e.first; i <= e.last; ++i) {
            const Point& p = FData.points[static_cast<std::size_t>(i)];
            if (!p.possible)
                continue;
            if (at < 0 || (e.above ? p.value > FData.points[static_cast<std::size_t>(at)].value
                                   : p.value < FData.points[static_cast<std::size_t>(at)].value))
                at = i;
        }
        return at;
    }

    static double NiceStep(double span) {
        const double raw = span / 6;
        const double power = std::pow(10.0, std::floor(std::log10(raw)));
        for (double m : {1.0, 2.0, 5.0, 10.0})
            if (m * power >= raw)
                return m * power;
        return 10 * power;
    }

    // A line's label on a white ground, so that the readings under it do not hide it.
    void ChartLabel(float x, float y, const std::string& text, TColor color) {
        Font(false, 6.5f);
        FCanvas.SetRGBFillColor(Rgb(255, 255, 255));
        FCanvas.Rectangle(x - 1, y - 1.5f, FCanvas.TextWidth(text) + 2, 7.5f);
        FCanvas.Fill();
        Font(false, 6.5f, color);
        Text(x, y, text);
    }

    // The temperatures the chart draws lines at, in the report's unit.
    std::vector<double> ChartLevels() const {
        std::vector<double> levels;
        if (!FData.judged)
            return levels;
        for (const std::optional<double>& v : {FData.judged->low, FData.judged->high})
            if (v)
                levels.push_back(*v);
        if (FData.judged->review)
            for (const AlarmRule& rule : FData.judged->review->profile.rules)
                levels.push_back(InUnit(rule.threshold, FOptions.unit));
        return levels;
    }

    void Chart(float top) {
        const float left = kMargin + 34, right = FWidth - kMargin - 4;
        const float bottom = kMargin + 34;
        if (top - bottom < 80)
            top = bottom + 80;
        Font(true, 11);
        Text(kMargin, top - 11, "Chart (" + FUnit + ")");
        top -= 20;
        const float height = top - bottom, width = right - left;
        const int n = static_cast<int>(FData.points.size());
        double lo = 0, hi = 0;
        bool any = false;
        for (const Point& p : FData.points) {
            if (!p.possible)
                continue;
            const double v = static_cast<double>(p.value);
            lo = any ? std::min(lo, v) : v;
            hi = any ? std::max(hi, v) : v;
            any = true;
        }
        // The range's ends and the rules' thresholds are always on the chart.
        for (const double v : ChartLevels()) {
            lo = any ? std::min(lo, v) : v;
            hi = any ? std::max(hi, v) : v;
            any = true;
        }
        if (!any) {
            lo = 0;
            hi = 10;
        }
        if (hi - lo < 1) {
            lo -= 0.5;
            hi += 0.5;
        }
        const double step = NiceStep(hi - lo);
        lo = std::floor(lo / step) * step;
        hi = std::ceil(hi / step) * step;
        FLayout.chartLeft = left;
        FLayout.chartBottom = bottom;
        FLayout.chartWidth = width;
        FLayout.chartHeight = height;
        FLayout.chartLow = lo;
        FLayout.chartHigh = hi;
        auto yOf = [&](double v) {
            return static_cast<float>(bottom + (v - lo) / (hi - lo) * height);
        };
        auto xOf = [&](int i) {
            return static_cast<float>(n > 1 ? left + width * i / (n - 1.0) : left + width / 2);
        };

        // Grid and labels.
        FCanvas.SetLineWidth(0.3f);
        FCanvas.SetRGBStrokeColor(kGrid);
        Font(false, 6.5f);
        for (double v = lo; v <= hi + step / 2; v += step) {
            FCanvas.MoveTo(left, yOf(v));
            FCanvas.LineTo(right, yOf(v));
            TextRight(left - 3, yOf(v) - 2, Decimal(v, step < 1 ? 1 : 0, FOptions.locale));
        }
        const int ticks = 6;
        for (int t = 0; t <= ticks; ++t) {
            const float x = left + width * t / ticks;
            FCanvas.MoveTo(x, bottom);
            FCanvas.LineTo(x, top);
            if (n > 0) {
                const int index = static_cast<int>(std::lround((n - 1) * t / double(ticks)));
                const auto stamp = StampOf(FData, index, FOptions.locale);
                const std::string label =
                    stamp ? stamp->date.substr(5) + " " + stamp->time : "#" + IntText(index + 1);
                FCanvas.TextOut(x - FCanvas.TextWidth(label) / 2, bottom - 10, label);
            }
        }
        FCanvas.Stroke();
        FCanvas.SetLineWidth(0.8f);
        FCanvas.SetRGBStrokeColor(kBlack);
        FCanvas.Rectangle(left, bottom, width, height);
        FCanvas.Stroke();

        // Every reading, one vertex each: the stretch that leads to a reading takes its colour
        // (readings outside the range in their own, drawn a little wider). A reading that is
        // not a real temperature breaks the line.
        for (const bool outside : {false, true}) {
            FCanvas.SetLineWidth(outside ? 1.0f : 0.6f);
            FCanvas.SetRGBStrokeColor(outside ? kOutside : kSeries);
            bool drawing = false, any = false;
            for (int i = 0; i < n; ++i) {
                const Point& p = FData.points[static_cast<std::size_t>(i)];
                if (!p.possible || (FData.side[static_cast<std::size_t>(i)] != 0) != outside) {
                    drawing = false;
                    continue;
                }
                const float x = xOf(i), y = yOf(static_cast<double>(p.value));
                if (!drawing) {
                    const Point* before =
                        i > 0 ? &FData.points[static_cast<std::size_t>(i - 1)] : nullptr;
                    if (before != nullptr && before->possible) {
                        FCanvas.MoveTo(xOf(i - 1), yOf(static_cast<double>(before->value)));
                    } else {
                        FCanvas.MoveTo(x, y);
                        FCanvas.LineTo(x + 0.01f, y);  // a lone point still shows
                    }
                }
                FCanvas.LineTo(x, y);
                drawing = any = true;
            }
            if (any)
                FCanvas.Stroke();
        }
        // Limit lines, labelled, over the readings.
        if (!FData.judged)
            return;
        const Judgement& j = *FData.judged;
        if (j.review && !j.review->rules.empty()) {
            // The rules' thresholds dashed under the range's lines (a rule often shares its
            // threshold with a range end), labelled at the right; rules at one threshold share
            // a label.
            std::vector<std::pair<double, std::string>> levels;
            for (const AlarmRule& rule : j.review->profile.rules) {
                const double v = InUnit(rule.threshold, FOptions.unit);
                auto same = std::find_if(levels.begin(), levels.end(),
                                         [v](const auto& level) { return level.first == v; });
                if (same == levels.end())
                    levels.emplace_back(v, Label(rule));
                else
                    same->second += "; " + Label(rule);
            }
            FCanvas.SetLineWidth(0.8f);
            FCanvas.SetRGBStrokeColor(kRuleLine);
            FCanvas.SetDash({4, 2}, 0);
            for (const auto& level : levels) {
                FCanvas.MoveTo(left, yOf(level.first));
                FCanvas.LineTo(right, yOf(level.first));
            }
            FCanvas.Stroke();
            FCanvas.SetDash({}, 0);
            for (const auto& level : levels) {
                Font(false, 6.5f);
                const float w = FCanvas.TextWidth(level.second);
                ChartLabel(right - 2 - w, yOf(level.first) + 2, level.second, kRuleLine);
            }
        }
        FCanvas.SetLineWidth(1);
        FCanvas.SetRGBStrokeColor(kLimitLine);
        for (const std::optional<double>& v : {j.low, j.high})
            if (v) {
                FCanvas.MoveTo(left, yOf(*v));
                FCanvas.LineTo(right, yOf(*v));
            }
        if (j.low || j.high)
            FCanvas.Stroke();
        // A profile's range keeps its two decimals where it has them.
        if (j.high)
            ChartLabel(left + 2, yOf(*j.high) + 2,
                       "high " + (j.review ? Threshold(*j.review->profile.high)
                                           : Decimal(*j.high, 1, FOptions.locale)),
                       kLimitLine);
        if (j.low)
            ChartLabel(left + 2, yOf(*j.low) - 8,
                       "low " + (j.review ? Threshold(*j.review->profile.low)
                                          : Decimal(*j.low, 1, FOptions.locale)),
                       kLimitLine);
    }

    void ExcursionPages() {
        if (FLayout.excursionPages == 0)
            return;
        const int count = static_cast<int>(FData.judged->runs.size());
        int i = FLayout.firstPageExcursions;
        for (int page = 0; page < FLayout.excursionPages; ++page) {
            NewPage();
            float y = FHeight - kMargin - 14;
            Font(true, 11);
            Text(kMargin, y, "Excursions (continued)");
            y = ExcursionHeading(y - 16);
            for (int k = 0; k < kExcursionsPerPage && i < count; ++k, ++i)
                y = ExcursionRow(y, i);
        }
    }

    // Text placed within one text object by moves relative to the previous line start: the
    // readings pages are mostly text, and short, repetitive moves keep them small.
    class TextRun {
      public:
        explicit TextRun(TPdfCanvas& canvas) : FCanvas(canvas) { FCanvas.BeginText(); }
        ~TextRun() { FCanvas.EndText(); }
        TextRun(const TextRun&) = delete;
        TextRun& operator=(const TextRun&) = delete;
        void Put(float x, float y, std::string_view text) {
            FCanvas.MoveTextPoint(x - FX, y - FY);
            FX = x;
            FY = y;
            FCanvas.ShowText(text);
        }

      private:
        TPdfCanvas& FCanvas;
        float FX = 0, FY = 0;
    };

    void ReadingPages() {
        const std::size_t count = FData.points.size();
        RowMaker maker(FData, FOptions.locale);
        RecordReportRow row;
        std::size_t next = 0;
        for (int page = 0; page < FLayout.readingPages; ++page) {
            NewPage();
            float top = FHeight - kMargin - 14;
            Font(true, 11);
            Text(kMargin, top,
                 "Readings (" + FUnit + ")" +
                     (FData.judged && (FData.judged->low || FData.judged->high)
                          ? "   H above the range, L below"
                          : "") +
                     (FData.base.IsCardClock() ? "" : "   times: " + ZoneName()));
            top -= 18;
            for (int g = 0; g < FLayout.columnGroups && next < count; ++g) {
                const float x = kMargin + g * kGroupWidth;
                Font(true, 7);
                TextRight(x + 24, top, "Point");
                Text(x + 30, top, "Date");
                Text(x + 68, top, "Time");
                TextRight(x + 110, top, "Value");
                Font(false, 7);
                TextRun run(FCanvas);
                float y = top - kRowHeight - 2;
                for (int r = 0; r < FLayout.rowsPerColumn && next < count; ++r, ++next) {
                    maker.Fill(next, row);
                    const std::string point = IntText(row.point);
                    run.Put(x + 24 - FCanvas.TextWidth(point), y, point);
                    run.Put(x + 30, y, row.date);
                    // A time with its offset is squeezed into its column as a wide value is.
                    const float timeWidth = FCanvas.TextWidth(row.time);
                    const float timeRoom = 91 - 68;
                    if (timeWidth > timeRoom && !FData.base.IsCardClock()) {
                        FCanvas.SetHorizontalScaling(static_cast<std::uint16_t>(
                            std::max(1.0f, std::floor(100 * timeRoom / timeWidth))));
                        run.Put(x + 68, y, row.time);
                        FCanvas.SetHorizontalScaling(100);
                    } else {
                        run.Put(x + 68, y, row.time);
                    }
                    // The mark stands beyond the value's right edge, so values stay aligned.
                    const bool marked = row.value.ends_with(" H") || row.value.ends_with(" L");
                    const std::string_view value =
                        std::string_view(row.value).substr(0, row.value.size() - (marked ? 2 : 0));
                    // A value too wide for its column (a reading that is no temperature, shown
                    // as received) is squeezed, never drawn over its neighbours.
                    const float width = FCanvas.TextWidth(value);
                    const float room = 110 - 92;
                    if (width > room) {
                        FCanvas.SetHorizontalScaling(static_cast<std::uint16_t>(
                            std::max(1.0f, std::floor(100 * room / width))));
                        run.Put(x + 92, y, value);
                        FCanvas.SetHorizontalScaling(100);
                    } else {
                        run.Put(x + 110 - width, y, value);
                    }
                    if (marked)
                        run.Put(x + 112, y,
                                std::string_view(row.value).substr(row.value.size() - 1));
                    y -= kRowHeight;
                }
            }
        }
    }

    void ReviewPage() {
        NewPage();
        float y = FHeight - kMargin - 14;
        Font(true, 11);
        Text(kMargin, y, "Review");
        y -= 40;
        auto field = [&](const std::string& label) {
            Font(false, 10);
            Text(kMargin, y, label);
            FCanvas.SetLineWidth(0.5f);
            FCanvas.SetRGBStrokeColor(kBlack);
            FCanvas.MoveTo(kMargin + 110, y - 2);
            FCanvas.LineTo(FWidth - kMargin, y - 2);
            FCanvas.Stroke();
            y -= 36;
        };
        field("Reviewed by");
        field("Date");
        field("Signature");
        if (FData.judged && FData.judged->alarm) {
            field("Action taken");
            field("");
        }
    }

    const LoadedRecord& FLoaded;
    const RecordReportOptions& FOptions;
    const Data& FData;
    RecordReportLayout& FLayout;
    TPdfDocument& FDoc;
    TPdfCanvas& FCanvas;
    float FWidth, FHeight;
    std::string FDigest;
    std::string FUnit;
    int FPage = 0;
};

RecordReportLayout Plan(const LoadedRecord& record, const Data& data,
                        const RecordReportOptions& options) {
    RecordReportLayout layout;
    const float height = PageHeightOf(options.paper);
    const float width = PageWidthOf(options.paper);
    layout.columnGroups = std::max(1, static_cast<int>((width - 2 * kMargin) / kGroupWidth));
    layout.rowsPerColumn = static_cast<int>(
        (height - 2 * kMargin - 14 - 18 - kRowHeight - 2 - kFooterHeight) / kRowHeight);
    const int perPage = layout.rowsPerColumn * layout.columnGroups;
    const int n = static_cast<int>(data.points.size());
    layout.readingPages = (n + perPage - 1) / perPage;
    if (data.judged && !data.judged->runs.empty()) {
        // Page 1's lines above the list are written once to a scratch document to learn where
        // the list begins: they grow with a changed record, readings that are no temperature and
        // a profile's rules.
        TPdfDocument scratch;
        scratch.SetDefaultPageWidth(static_cast<int>(width));
        scratch.SetDefaultPageHeight(static_cast<int>(height));
        scratch.NewDoc();
        const float top = Writer(record, options, data, layout, scratch).ExcursionListTop();
        // The list's title and column heading, the "continued" line, and the chart's title.
        const float room = top - 3 - 11 - kExcursionRowHeight - kExcursionRowHeight - 6 - 20 -
                           (kMargin + 34) - kChartMinHeight;
        const int runs = static_cast<int>(data.judged->runs.size());
        layout.firstPageExcursions =
            std::min({runs, kExcursionsOnFirstPage,
                      std::max(0, static_cast<int>(std::floor(room / kExcursionRowHeight)))});
        const int rest = runs - layout.firstPageExcursions;
        if (rest > 0)
            layout.excursionPages = (rest + kExcursionsPerPage - 1) / kExcursionsPerPage;
    }
    return layout;
}

}  // namespace

ReviewResult ReviewForRecordReport(const Record& record, const LimitProfile& profile) {
    return Review(CelsiusGridValues(record.readings, RecordReadingsReceived(record)), profile);
}

RecordReportLayout PlanRecordReport(const LoadedRecord& record,
                                    const RecordReportOptions& options) {
    const RecordReportOptions drawable = Drawable(options);
    Data data = Gather(record, drawable);
    data.digest = RecordDigest(record.record);
    return Plan(record, data, drawable);
}

std::vector<RecordReportRow> RecordReportRows(const LoadedRecord& record,
                                              const RecordReportOptions& given) {
    const RecordReportOptions options = Drawable(given);
    return RowsOf(Gather(record, options), options);
}

RecordReportLayout SaveRecordReport(const LoadedRecord& record, const RecordReportOptions& given,
                                    TPdfOutputStream& out, bool compress) {
    const RecordReportOptions options = Drawable(given);
    Data data = Gather(record, options);
    data.digest = RecordDigest(record.record);
    RecordReportLayout layout = Plan(record, data, options);
    TPdfDocument doc;
    doc.SetCompressionMethod(compress ? TPdfCompressionMethod::cmFlateDecode
                                      : TPdfCompressionMethod::cmNone);
    doc.SetDefaultPageWidth(static_cast<int>(PageWidthOf(options.paper)));
    doc.SetDefaultPageHeight(static_cast<int>(PageHeightOf(options.paper)));
    doc.NewDoc();
    doc.Info().SetTitle("Record Report " + options.recordName);
    doc.Info().SetCreator("Halvik");
    Writer(record, options, data, layout, doc).Write();
    doc.SaveToStream(out);
    return layout;
}

void WriteRecordReport(const LoadedRecord& record, const RecordReportOptions& options,
                       const std::string& fileName) {
    // Built in memory first: nothing touches the file system until the report is whole.
    TPdfMemoryStream memory;
    SaveRecordReport(record, options, memory);
    ReplaceFile(fileName, [&](TPdfOutputStream& stream) {
        stream.Write(memory.Buffer().Data(), memory.Buffer().Size());
    });
}

}  // namespace halvik

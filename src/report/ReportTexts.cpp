// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/ReportTexts.h"

#include "logger/Conversions.h"
#include "report/Captions.h"
#include "views/ChangedRecord.h"

namespace halvik {

namespace {

std::string WithDecimals(const std::string& caption, const LocaleSettings& locale) {
    return WithSeparatorForCodePage(caption, locale.decimalSeparator, ".");
}

std::string WithTimes(const std::string& caption, const LocaleSettings& locale) {
    return WithSeparatorForCodePage(caption, locale.timeSeparator, ":");
}

// The length of the UTF-8 sequence led by `lead`, and how many UTF-16 units its character
// takes; a byte that leads no sequence counts as one character (the toolkit shows it as one).
std::size_t SequenceLength(unsigned char lead, int& units) {
    units = 1;
    if (lead >= 0xF0 && lead <= 0xF4) {
        units = 2;
        return 4;
    }
    if (lead >= 0xE0)
        return lead <= 0xEF ? 3 : 1;
    if (lead >= 0xC2)
        return 2;
    return 1;
}

}  // namespace

std::string LeadingCharacters(const std::string& utf8, int count) {
    std::size_t at = 0;
    int taken = 0;
    while (at < utf8.size()) {
        int units = 0;
        std::size_t length = SequenceLength(static_cast<unsigned char>(utf8[at]), units);
        if (at + length > utf8.size())
            length = utf8.size() - at;
        if (taken + units > count)
            break;
        taken += units;
        at += length;
    }
    return utf8.substr(0, at);
}

void FillDataReportTexts(TRpPage1& page, const DownloadState& download, const CellStore& cells,
                         const ShownTexts& shown, TemperatureUnit unit,
                         const LocaleSettings& locale) {
    const StatisticsCaptions& s = shown.statistics;
    const int last = TextToInt(download.RecordCountText);
    page.RpLabel7->SetCaption(shown.pid);
    page.RpLabel5->SetCaption(LeadingCharacters(cells.cell(1, 1), 8));
    page.RpLabel10->SetCaption(WithTimes(download.StartYearText + "," + cells.cell(2, 1), locale));
    page.RpLabel6->SetCaption(LeadingCharacters(cells.cell(1, last), 8));
    page.RpLabel11->SetCaption(
        WithTimes(download.StopYearText + "," + cells.cell(2, last), locale));
    page.RpLabel16->SetCaption(WithDecimals(s.maximum, locale));
    page.RpLabel17->SetCaption(WithDecimals(s.minimum, locale));
    page.RpLabel19->SetCaption(shown.dataPoints);
    page.RpLabel28->SetCaption(s.elapsed);
    page.RpLabel18->SetCaption(WithDecimals(s.mkt, locale));
    page.RpLabel30->SetCaption(s.leftOut);
    const std::string unitText = UnitText(unit);
    page.RpLabel24->SetCaption(unitText);
    page.RpLabel25->SetCaption(unitText);
    page.RpLabel29->SetCaption(unitText);
    page.PlaceUnitCaptions();
}

void FillChartReportTexts(TRpPage2& page, const ShownTexts& shown) {
    page.RpLabel21->SetCaption(shown.pid);
}

void MarkChangedRecord(TRpPage1& page, bool intact) {
    page.RpLabel31->SetCaption(ChangedRecordWarning(intact));
}

void MarkChangedRecord(TRpPage2& page, bool intact) {
    page.RpLabel32->SetCaption(ChangedRecordWarning(intact));
}

}  // namespace halvik

// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/ReportPages.h"

#include <string>

#include "report/Captions.h"

namespace halvik {

namespace {

// A caption padded with blanks to `width` characters, then a colon, as the page shows them.
std::string Caption(const char* text, std::size_t width) {
    std::string caption = text;
    caption.resize(width, ' ');
    return caption + ":";
}

TRpLabel* AddLabel(TRpPanel& panel, const char* name, int left, int top, int width, int height,
                   float size, std::string caption) {
    TRpLabel* label = panel.Add<TRpLabel>(name);
    label->SetBounds(left, top, width, height);
    label->SetFontName(TRpFontName::fnArial);
    label->SetFontBold(true);
    label->SetFontColor(0);
    label->SetFontSize(size);
    label->SetAlignment(TPdfAlignment::paLeftJustify);
    label->SetClipping(false);
    label->SetCaption(std::move(caption));
    return label;
}

TRpImage* AddImage(TRpPanel& panel, const char* name, int left, int top, int width, int height) {
    TRpImage* image = panel.Add<TRpImage>(name);
    image->SetBounds(left, top, width, height);
    image->SetStretch(true);
    image->SetSharedImage(true);
    return image;
}

constexpr const char* kDegreesCelsius = "\u00B0C";
constexpr TColor kRed = 0x0000FF;  // blue, green, red from the high byte down

}  // namespace

TRpPage1::TRpPage1(std::string_view webAddress) : TRpPage("RpPage1") {
    SetBounds(0, 0, 809, 891);
    SetMarginTop(1);
    SetMarginLeft(32);
    SetMarginRight(32);
    SetMarginBottom(32);

    TRpLayoutPanel& p = *(RpLayoutPanel1 = Add<TRpLayoutPanel>("RpLayoutPanel1"));
    p.SetBounds(11, 12, 783, 1004);

    // In the order they stand on the panel, which is the order they print in.
    RpImage1 = AddImage(p, "RpImage1", 608, 4, 153, 125);
    RpImage2 = AddImage(p, "RpImage2", 11, 348, 762, 475);
    RpLabel1 = AddLabel(p, "RpLabel1", 85, 189, 140, 30, 14, Caption("Start Date&Time", 20));
    RpLabel2 = AddLabel(p, "RpLabel2", 85, 220, 140, 30, 14, Caption("Stop Date&Time", 19));
    RpLabel3 = AddLabel(p, "RpLabel3", 85, 153, 140, 30, 14, Caption("PID", 30));
    RpLabel4 = AddLabel(p, "RpLabel4", 85, 252, 140, 30, 14, Caption("Log Interval", 24));
    RpLabel5 = AddLabel(p, "RpLabel5", 224, 189, 55, 30, 14, "");
    RpLabel6 = AddLabel(p, "RpLabel6", 224, 220, 66, 30, 14, "");
    RpLabel7 = AddLabel(p, "RpLabel7", 231, 153, 106, 30, 14, "");
    RpLabel8 = AddLabel(p, "RpLabel8", 232, 252, 100, 30, 14, "6 min");
    RpLabel10 = AddLabel(p, "RpLabel10", 285, 189, 82, 30, 14, "");
    RpLabel11 = AddLabel(p, "RpLabel11", 286, 220, 82, 30, 14, "");
    RpLabel12 = AddLabel(p, "RpLabel12", 464, 153, 153, 30, 14, Caption("Max. Temperature", 19));
    RpLabel13 = AddLabel(p, "RpLabel13", 464, 189, 153, 30, 14, Caption("Min. Temperature", 20));
    RpLabel14 = AddLabel(p, "RpLabel14", 464, 220, 151, 30, 14, Caption("MKT(DH:83.144)", 20));
    RpLabel15 = AddLabel(p, "RpLabel15", 464, 252, 159, 30, 14, Caption("Data Points", 25));
    RpLabel16 = AddLabel(p, "RpLabel16", 612, 153, 34, 30, 14, "");
    RpLabel17 = AddLabel(p, "RpLabel17", 612, 189, 34, 30, 14, "");
    RpLabel18 = AddLabel(p, "RpLabel18", 624, 220, 24, 30, 14, "");
    RpLabel19 = AddLabel(p, "RpLabel19", 612, 252, 100, 30, 14, "");
    RpLabel20 = AddLabel(p, "RpLabel20", 341, 61, 147, 30, 24, "Data Report");
    RpLabel23 = AddLabel(p, "RpLabel23", 654, 822, 121, 30, 12, std::string(webAddress));
    RpLabel24 = AddLabel(p, "RpLabel24", kUnitLeft, 153, 100, 30, 14, kDegreesCelsius);
    RpLabel25 = AddLabel(p, "RpLabel25", kUnitLeft, 189, 100, 30, 14, kDegreesCelsius);
    RpLabel26 = AddLabel(p, "RpLabel26", 317, 102, 206, 30, 18, "Temperature Statistics");
    RpLabel27 = AddLabel(p, "RpLabel27", 85, 284, 148, 30, 14, Caption("Elapsed Time", 21));
    RpLabel28 = AddLabel(p, "RpLabel28", 231, 288, 100, 30, 14, "");
    RpLabel29 = AddLabel(p, "RpLabel29", kUnitLeft, 220, 100, 30, 14, kDegreesCelsius);
    RpImage5 = AddImage(p, "RpImage5", 21, 9, 153, 73);
    // Between the statistics and the chart; an empty caption prints nothing.
    RpLabel30 = AddLabel(p, "RpLabel30", 464, 316, 300, 30, 12, "");
    // Above the title, clear of the logo; an empty caption prints nothing.
    RpLabel31 = AddLabel(p, "RpLabel31", 85, 24, 500, 30, 14, "");
    RpLabel31->SetFontColor(kRed);
}

void TRpPage1::PlaceUnitCaptions() {
    const std::pair<TRpLabel*, TRpLabel*> pairs[] = {
        {RpLabel16, RpLabel24}, {RpLabel17, RpLabel25}, {RpLabel18, RpLabel29}};
    for (auto [value, unit] : pairs)
        unit->SetLeft(
            FollowingCaptionLeft(kUnitLeft, value->Left(), value->GetTextWidth(), kUnitGap));
}

TRpPage2::TRpPage2(std::string_view webAddress) : TRpPage("RpPage2") {
    SetBounds(0, 0, 788, 841);
    SetMarginTop(32);
    SetMarginLeft(32);
    SetMarginRight(32);
    SetMarginBottom(32);

    TRpLayoutPanel& p = *(RpLayoutPanel2 = Add<TRpLayoutPanel>("RpLayoutPanel2"));
    p.SetBounds(16, 18, 761, 784);

    RpImage3 = AddImage(p, "RpImage3", 16, 204, 729, 385);
    RpImage4 = AddImage(p, "RpImage4", 594, 16, 153, 125);
    RpLabel9 = AddLabel(p, "RpLabel9", 38, 166, 100, 30, 14, "PID :");
    RpLabel21 = AddLabel(p, "RpLabel21", 88, 166, 100, 30, 14, "");
    RpLabel22 = AddLabel(p, "RpLabel22", 610, 0, 122, 784, 12, std::string(webAddress));
    RpImage6 = AddImage(p, "RpImage6", 24, 16, 153, 73);
    // Above the PID, clear of the logo; an empty caption prints nothing.
    RpLabel32 = AddLabel(p, "RpLabel32", 38, 130, 540, 30, 14, "");
    RpLabel32->SetFontColor(kRed);
}

namespace {
std::unique_ptr<TRpReport> MakeReport(const char* fileName, double creationDate) {
    auto report = std::make_unique<TRpReport>();
    report->SetFileName(fileName);
    report->SetCreator(kReportCreator);
    report->SetCreationDate(creationDate);
    report->SetUseOutlines(false);
    report->SetViewerPreference(0);
    return report;
}
}  // namespace

std::unique_ptr<TRpReport> CreateRpReport1() {
    return MakeReport(kDataReportFileName, kDataReportCreationDate);
}

std::unique_ptr<TRpReport> CreateRpReport2() {
    return MakeReport(kChartReportFileName, kChartReportCreationDate);
}

}  // namespace halvik

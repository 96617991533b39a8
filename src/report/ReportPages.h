// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The program's two report pages as the window holds them: every label and image at its place,
// with its font and static caption. The window fills the data captions and the pictures, then
// calls BeginDoc, Print and EndDoc of the matching report.

#include <memory>
#include <string_view>

#include "report/ReportComponents.h"

namespace halvik {

// The data report page (RpPage1): statistics, chart and logo; 809 x 891 points.
class TRpPage1 final : public TRpPage {
  public:
    // webAddress: the distributor's address printed by RpLabel23.
    explicit TRpPage1(std::string_view webAddress);

    TRpLayoutPanel* RpLayoutPanel1;
    TRpImage* RpImage1;   // logo
    TRpImage* RpImage2;   // chart, unzoomed
    TRpLabel* RpLabel1;   // "Start Date&Time     :"
    TRpLabel* RpLabel2;   // "Stop Date&Time     :"
    TRpLabel* RpLabel3;   // "PID                           :"
    TRpLabel* RpLabel4;   // "Log Interval            :"
    TRpLabel* RpLabel5;   // start day and month
    TRpLabel* RpLabel6;   // stop day and month
    TRpLabel* RpLabel7;   // PID
    TRpLabel* RpLabel8;   // "6 min"
    TRpLabel* RpLabel10;  // start year, time
    TRpLabel* RpLabel11;  // stop year, time
    TRpLabel* RpLabel12;  // "Max. Temperature   :"
    TRpLabel* RpLabel13;  // "Min. Temperature    :"
    TRpLabel* RpLabel14;  // "MKT(DH:83.144)      :"
    TRpLabel* RpLabel15;  // "Data Points              :"
    TRpLabel* RpLabel16;  // maximum
    TRpLabel* RpLabel17;  // minimum
    TRpLabel* RpLabel18;  // mean kinetic temperature
    TRpLabel* RpLabel19;  // data points
    TRpLabel* RpLabel20;  // "Data Report"
    TRpLabel* RpLabel23;  // web address
    TRpLabel* RpLabel24;  // unit after the maximum, "°C" until the unit switch changes it
    TRpLabel* RpLabel25;  // unit after the minimum
    TRpLabel* RpLabel26;  // "Temperature Statistics"
    TRpLabel* RpLabel27;  // "Elapsed Time         :"
    TRpLabel* RpLabel28;  // elapsed time
    TRpLabel* RpLabel29;  // unit after the mean kinetic temperature
    TRpImage* RpImage5;   // holds no picture
    TRpLabel* RpLabel30;  // readings left out of the statistics; empty for most cards
    TRpLabel* RpLabel31;  // red warning over a record changed after its download; else empty

    // Moves each unit caption (RpLabel24, 25, 29) right to follow its value (RpLabel16, 17, 18)
    // where the value, in its font, would reach it; back to its designed place otherwise. Call
    // after setting the captions.
    void PlaceUnitCaptions();
    static constexpr int kUnitLeft = 654;  // the unit captions' designed left edge
    static constexpr double kUnitGap = 2;  // points between a value and its unit at least
};

// The chart report page (RpPage2): chart, PID and logo; 788 x 841 points.
class TRpPage2 final : public TRpPage {
  public:
    explicit TRpPage2(std::string_view webAddress);

    TRpLayoutPanel* RpLayoutPanel2;
    TRpImage* RpImage3;   // chart as zoomed
    TRpImage* RpImage4;   // logo
    TRpLabel* RpLabel9;   // "PID :"
    TRpLabel* RpLabel21;  // PID
    TRpLabel* RpLabel22;  // web address
    TRpImage* RpImage6;   // holds no picture
    TRpLabel* RpLabel32;  // red warning over a record changed after its download; else empty
};

inline constexpr const char* kDataReportFileName = "Brisko.pdf";
inline constexpr const char* kChartReportFileName = "Brisko_C.pdf";
inline constexpr const char* kReportCreator = "BRISKO";
inline constexpr double kDataReportCreationDate = 41337.007460486115;  // 2013-03-04 00:10:44
inline constexpr double kChartReportCreationDate = 41337.55539822917;  // 2013-03-04 13:19:46

// RpReport1: writes "Brisko.pdf"; RpReport2: writes "Brisko_C.pdf". Creator "BRISKO", the fixed
// creation dates, no outlines, no viewer preferences.
std::unique_ptr<TRpReport> CreateRpReport1();
std::unique_ptr<TRpReport> CreateRpReport2();

}  // namespace halvik

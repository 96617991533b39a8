// SPDX-License-Identifier: GPL-3.0-or-later
// Where the unit captions stand after their values, and how the report writes the locale's
// separators.

#include "report/Captions.h"

#include <gtest/gtest.h>

#include <limits>

#include "ReportFixtures.h"
#include "report/ReportPages.h"

namespace halvik {
namespace {

TEST(FollowingCaptionLeft, StaysWhereTheValueEndsInTimeElseFollowsIt) {
    struct Case {
        int designed;
        double left, width, gap;
        int expected;
    };
    const Case cases[] = {
        {654, 612, 38.9, 2, 654},  // "   30.0" at 14 points: ends 3 points before the unit
        {654, 612, 40.0, 2, 654},  // exactly the gap
        {654, 612, 40.1, 2, 655},  // rounded up, never into the gap
        {654, 612, 43.6, 2, 658},  // "   -25.0"
        {654, 624, 31.9, 2, 658},  // "-25.0" as the MKT
        {967, 922, 60.0, 3, 985},  // a window label
        {654, 612, 0, 2, 654},     // no value
        {654, 612, std::numeric_limits<double>::quiet_NaN(), 2, 654},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FollowingCaptionLeft(c.designed, c.left, c.width, c.gap), c.expected) << c.width;
}

TEST(WithSeparatorForCodePage, OnlyASeparatorTheCodePageLacksIsReplaced) {
    struct Case {
        const char* caption;
        const char* separator;
        const char* replacement;
        const char* expected;
    };
    const Case cases[] = {
        {"   8.0", ".", ".", "   8.0"},
        {"   8,0", ",", ".", "   8,0"},  // German: the code page has it
        {"   8\xD9\xAB"
         "0",
         "\xD9\xAB", ".", "   8.0"},  // Persian momayyez U+066B
        {"   -25\xD9\xAB"
         "0",
         "\xD9\xAB", ".", "   -25.0"},
        {"2013,    00\xD9\xAB"
         "10",
         "\xD9\xAB", ":", "2013,    00:10"},  // as a time separator
        {"12\xC2\xB7"
         "30",
         "\xC2\xB7", ":",
         "12\xC2\xB7"
         "30"},  // middle dot: in the code page
        {"1\xE2\x80\xA4"
         "5 and 2\xE2\x80\xA4"
         "5",
         "\xE2\x80\xA4", ".", "1.5 and 2.5"},
        {"8\xF0\x9F\x99\x82"
         "0",
         "\xF0\x9F\x99\x82", ".", "8.0"},  // beyond the BMP
        {"\xD8\xA8 8\xD9\xAB"
         "0",
         "\xD9\xAB", ".", "\xD8\xA8 8.0"},  // other characters stay
        {"n/a", "\xD9\xAB", ".", "n/a"},
        {"8.0", "", ".", "8.0"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WithSeparatorForCodePage(c.caption, c.separator, c.replacement), c.expected)
            << c.caption;
}

TEST(DataReportUnitCaptions, FollowValuesThatWouldReachThem) {
    struct Case {
        const char* maximum;
        const char* minimum;
        const char* mkt;
        int maximumUnit, minimumUnit, mktUnit;
    };
    const Case cases[] = {
        {"8.4", "2.1", "5.3", 654, 654, 654},  // the fixture
        {"   30.0", "   20.0", "25.9", 654, 654, 654},
        {"   99.9", "   -9.9", "99.9", 654, 654, 654},
        {"   -18.0", "   -25.0", "-21.3", 658, 658, 658},
        {"   255.0", "   113.0", "-9.9", 661, 661, 654},
    };
    for (const Case& c : cases) {
        TRpPage1 page(testing::kWebAddress);
        page.RpLabel16->SetCaption(c.maximum);
        page.RpLabel17->SetCaption(c.minimum);
        page.RpLabel18->SetCaption(c.mkt);
        page.PlaceUnitCaptions();
        EXPECT_EQ(page.RpLabel24->Left(), c.maximumUnit) << c.maximum;
        EXPECT_EQ(page.RpLabel25->Left(), c.minimumUnit) << c.minimum;
        EXPECT_EQ(page.RpLabel29->Left(), c.mktUnit) << c.mkt;
        // The unit never starts before its value ends.
        const std::pair<TRpLabel*, TRpLabel*> pairs[] = {{page.RpLabel16, page.RpLabel24},
                                                         {page.RpLabel17, page.RpLabel25},
                                                         {page.RpLabel18, page.RpLabel29}};
        for (auto [value, unit] : pairs)
            EXPECT_GE(unit->Left(), value->Left() + value->GetTextWidth()) << value->Caption();
    }
    // Back to the design when the values are short again.
    TRpPage1 page(testing::kWebAddress);
    page.RpLabel17->SetCaption("   -25.0");
    page.PlaceUnitCaptions();
    page.RpLabel17->SetCaption("   2.1");
    page.PlaceUnitCaptions();
    EXPECT_EQ(page.RpLabel25->Left(), TRpPage1::kUnitLeft);
}

}  // namespace
}  // namespace halvik

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <map>
#include <string>

#include "pdf/Bitmap.h"
#include "report/ReportPages.h"

namespace halvik::testing {

// Short enough to fit between the label's left edge and the page's right edge at 12 points.
constexpr const char* kWebAddress = "www.halvik.test";

// A synthetic picture of one colour with a darker diagonal, 24 bits per pixel.
inline Bitmap SolidBitmap(int width, int height, BitmapColor colour) {
    Bitmap b = Bitmap::Create(width, height, 24);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = b.Row(y);
        for (int x = 0; x < width; ++x) {
            const bool diagonal = x == y * width / height;
            row[x * 3] = diagonal ? colour.blue / 2 : colour.blue;
            row[x * 3 + 1] = diagonal ? colour.green / 2 : colour.green;
            row[x * 3 + 2] = diagonal ? colour.red / 2 : colour.red;
        }
    }
    return b;
}

inline constexpr BitmapColor kLogoColour{255, 128, 0};
inline constexpr BitmapColor kChartColour{0, 96, 255};

// The data page as the window fills it after a download.
inline void FillDataPage(TRpPage1& page) {
    page.RpImage1->SetPicture(SolidBitmap(397, 376, kLogoColour));
    page.RpImage2->SetPicture(SolidBitmap(762, 475, kChartColour));
    page.RpLabel7->SetCaption("HK0012345");
    page.RpLabel5->SetCaption("  04 Mar");
    page.RpLabel10->SetCaption("2013,    00:10");
    page.RpLabel6->SetCaption("  05 Mar");
    page.RpLabel11->SetCaption("2013,    04:16");
    page.RpLabel16->SetCaption("8.4");
    page.RpLabel17->SetCaption("2.1");
    page.RpLabel19->SetCaption("42");
    page.RpLabel28->SetCaption("1 Days 4 Hours 6 Min");
    page.RpLabel18->SetCaption("5.3");
}

inline void FillChartPage(TRpPage2& page) {
    page.RpImage3->SetPicture(SolidBitmap(762, 475, kChartColour));
    page.RpImage4->SetPicture(SolidBitmap(397, 376, kLogoColour));
    page.RpLabel21->SetCaption("HK0012345");
}

// The bodies of a saved file by object number, found through its cross-reference section.
inline std::map<int, std::string> ObjectBodies(const std::string& file) {
    std::map<int, std::string> bodies;
    const std::size_t xref = std::stoul(file.substr(file.rfind("startxref\r\n") + 11));
    const std::size_t countAt = xref + 8;  // after "xref\r\n0 "
    const int count = std::stoi(file.substr(countAt));
    const std::size_t firstEntry = file.find("\r\n", countAt) + 2;
    for (int i = 1; i < count; ++i) {
        const std::size_t offset = std::stoul(file.substr(firstEntry + i * 20, 10));
        const std::size_t end = file.find("endobj\r\n", offset);
        bodies[i] = file.substr(offset, end - offset);
    }
    return bodies;
}

// The bytes of the content stream inside an object body.
inline std::string StreamOf(const std::string& body) {
    const std::size_t start = body.find("stream\r\n") + 8;
    const std::size_t end = body.rfind("\nendstream");
    return body.substr(start, end - start);
}

}  // namespace halvik::testing

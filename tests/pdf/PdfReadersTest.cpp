// SPDX-License-Identifier: GPL-3.0-or-later
// Documents written by the writer, read back by real PDF tools.

#include <gtest/gtest.h>

#include "PdfTools.h"
#include "pdf/PdfClock.h"
#include "pdf/PdfDocument.h"
#include "pdf/PdfImages.h"

namespace halvik {
namespace {

using testing::Quote;

class PdfReaders : public ::testing::Test {
  protected:
    void SetUp() override {
        HALVIK_REQUIRE_TOOL("qpdf", "qpdf");
        HALVIK_REQUIRE_TOOL("pdftotext", "poppler-utils");
        HALVIK_REQUIRE_TOOL("pdftoppm", "poppler-utils");
        dir = testing::MakeTempDir();
        ASSERT_FALSE(dir.empty());
    }
    void TearDown() override {
        if (dir.empty())
            return;
        testing::ExpectEveryPdfInFolderClean(dir);
        testing::RunTool("rm -rf " + Quote(dir));
    }
    std::string Save(TPdfDocument& doc, const std::string& name) {
        TPdfMemoryStream s;
        doc.SaveToStream(s);
        const std::string path = dir + "/" + name;
        testing::WriteFile(path, s.ToString());
        return path;
    }
    std::string dir;
};

TEST_F(PdfReaders, TheGoldenOnePageFileIsValid) {
    testing::ExpectQpdfClean(HALVIK_PDF_GOLDEN_DIR "/one-page.pdf");
}

TEST_F(PdfReaders, TextInEveryFontReadsBack) {
    ScopedPdfClock clock(41337.5);
    TPdfDocument doc;
    doc.NewDoc();
    doc.AddPage();
    TPdfCanvas& c = doc.Canvas();
    const char* fonts[] = {"Arial", "Arial-Bold", "Times-Italic", "FixedWidth-Bold"};
    float y = 780;
    for (const char* font : fonts) {
        c.SetFont(font, 14);
        c.TextOut(40, y,
                  std::string(font) +
                      " 12.5 \xC2\xB0"
                      "C (max) 5\xE2\x82\xAC");
        y -= 30;
    }
    c.SetFont("Arial", 12);
    c.TextRect(TPdfRect(40, 600, 300, 580),
               "Clipped \xC2\xB0"
               "F",
               TPdfAlignment::paCenter, true);
    const std::string path = Save(doc, "fonts.pdf");
    testing::ExpectQpdfClean(path);
    const std::string text = testing::PdfText(path);
    for (const char* font : fonts) {
        EXPECT_NE(text.find(std::string(font) + " 12.5 \xC2\xB0"
                                                "C (max) 5\xE2\x82\xAC"),
                  std::string::npos)
            << font << " in:\n"
            << text;
    }
    EXPECT_NE(text.find("Clipped \xC2\xB0"
                        "F"),
              std::string::npos)
        << text;
}

TEST_F(PdfReaders, ImagesRenderWhereTheyAreDrawn) {
    ScopedPdfClock clock(41337.5);
    TPdfDocument doc;
    doc.NewDoc();
    doc.AddPage();
    TPdfCanvas& c = doc.Canvas();
    c.SetPageWidth(200);
    c.SetPageHeight(100);
    // A red 24-bit picture on the left half, a blue indexed one on the right.
    Bitmap red = Bitmap::Create(10, 10, 24);
    for (std::size_t i = 0; i < red.pixels.size(); i += 3)
        red.pixels[i + 2] = 0xFF;
    Bitmap blue = Bitmap::Create(10, 10, 8);
    blue.palette = {{0, 0, 0xFF}};
    Bitmap green = Bitmap::Create(3, 3, 32);
    for (std::size_t i = 0; i < green.pixels.size(); i += 4)
        green.pixels[i + 1] = 0xFF;
    doc.AddXObject("Red", MakeImage(red, "Pdf-Bitmap"));
    doc.AddXObject("Blue", MakeImage(blue, "Pdf-Bitmap"));
    doc.AddXObject("Green", MakeImage(green, "Pdf-Bitmap"));
    c.DrawXObject(0, 0, 100, 100, "Red");
    c.DrawXObject(100, 0, 100, 100, "Blue");
    c.DrawXObjectEx(80, 40, 40, 40, 90, 50, 20, 20, "Green");  // clipped to 20 x 20
    const std::string path = Save(doc, "images.pdf");
    testing::ExpectQpdfClean(path);
    testing::Ppm ppm;
    ASSERT_TRUE(ppm.Parse(testing::RenderPpm(path, dir + "/images", 72)));
    ASSERT_EQ(ppm.width, 200);
    ASSERT_EQ(ppm.height, 100);
    auto rgb = [&](int x, int y) {
        return std::tuple(ppm.At(x, y, 0), ppm.At(x, y, 1), ppm.At(x, y, 2));
    };
    EXPECT_EQ(rgb(20, 20), std::tuple(255, 0, 0));
    EXPECT_EQ(rgb(180, 80), std::tuple(0, 0, 255));
    EXPECT_EQ(rgb(100, 40), std::tuple(0, 255, 0));
    EXPECT_EQ(rgb(85, 40), std::tuple(255, 0, 0));  // outside the clip
    EXPECT_EQ(rgb(105, 25), std::tuple(0, 0, 255));
}

}  // namespace
}  // namespace halvik

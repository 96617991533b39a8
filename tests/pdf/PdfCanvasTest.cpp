// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <typeinfo>

#include "pdf/PdfClock.h"
#include "pdf/PdfDocument.h"
#include "pdf/PdfImages.h"

namespace halvik {
namespace {

class CanvasTest : public ::testing::Test {
  protected:
    void SetUp() override {
        doc.NewDoc();
        doc.AddPage();
        mark = Written().size();
    }
    std::string Written() { return std::string(doc.Canvas().Contents()->Stream().View()); }
    // What was written since the last call.
    std::string Fresh() {
        std::string all = Written();
        std::string fresh = all.substr(mark);
        mark = all.size();
        return fresh;
    }
    TPdfCanvas& canvas() { return doc.Canvas(); }

    ScopedPdfClock clock{41337.0};
    TPdfDocument doc;
    std::size_t mark = 0;
};

TEST_F(CanvasTest, ANewPageStartsWithTheDefaultFont) {
    EXPECT_EQ(Written(), "/F0 10 Tf\n");
    EXPECT_EQ(canvas().Attribute().Font()->Name(), "Arial");
    EXPECT_EQ(canvas().Attribute().FontSize(), 10);
}

TEST_F(CanvasTest, FontAndSpacingOperatorsAreWrittenOnlyOnChange) {
    canvas().SetFont("Arial-Bold", 14);
    canvas().SetFont("Arial-Bold", 14);
    EXPECT_EQ(Fresh(), "/F1 14 Tf\n");
    canvas().SetFont("Arial-Bold", 24);
    EXPECT_EQ(Fresh(), "/F1 24 Tf\n");
    canvas().SetWordSpace(0);
    canvas().SetCharSpace(0);
    canvas().SetHorizontalScaling(100);
    canvas().SetLeading(0);
    EXPECT_EQ(Fresh(), "");
    canvas().SetCharSpace(1.5);
    canvas().SetCharSpace(1.5);
    canvas().SetWordSpace(2.25);
    canvas().SetHorizontalScaling(80);
    canvas().SetLeading(14.4f);
    EXPECT_EQ(Fresh(), "1.5 Tc\n2.25 Tw\n80 Tz\n14.4 TL\n");
    TPdfDictionary* fonts =
        canvas().Page()->PdfDictionaryByName("Resources")->PdfDictionaryByName("Font");
    EXPECT_EQ(fonts->ItemCount(), 2);
}

TEST_F(CanvasTest, ColoursAreWrittenEveryTime) {
    const std::pair<TColor, const char*> cases[] = {
        {0, "0 0 0 rg\n"},
        {0x000000FF, "1 0 0 rg\n"},
        {0x00C08040, "0.25 0.5 0.75 rg\n"},
        {static_cast<TColor>(0xFF00000F), "0 0 0 rg\n"},  // a system colour
    };
    for (const auto& [colour, line] : cases) {
        canvas().SetRGBFillColor(colour);
        EXPECT_EQ(Fresh(), line);
    }
    canvas().SetRGBFillColor(0);
    canvas().SetRGBFillColor(0);
    EXPECT_EQ(Fresh(), "0 0 0 rg\n0 0 0 rg\n");
    canvas().SetRGBStrokeColor(0x0000FF00);
    EXPECT_EQ(Fresh(), "0 1 0 RG\n");
}

TEST_F(CanvasTest, PathOperators) {
    canvas().GSave();
    canvas().Concat(153, 0, 0, 125, 619, 750);
    canvas().SetLineWidth(0.5);
    canvas().SetLineCap(TLineCapStyle::lcRound_End);
    canvas().SetLineJoin(TLineJoinStyle::ljBevelJoin);
    canvas().SetDash({3, 2}, 1);
    canvas().SetMiterLimit(10);
    canvas().SetFlat(5);
    canvas().MoveTo(1, 2);
    canvas().LineTo(3.333f, -4);
    canvas().Rectangle(10, 20, 30, 40);
    canvas().Closepath();
    canvas().ClosePathStroke();
    canvas().Stroke();
    canvas().Fill();
    canvas().Eofill();
    canvas().FillStroke();
    canvas().ClosepathFillStroke();
    canvas().EofillStroke();
    canvas().ClosepathEofillStroke();
    canvas().Clip();
    canvas().Eoclip();
    canvas().NewPath();
    canvas().GRestore();
    EXPECT_EQ(Fresh(),
              "q\n153 0 0 125 619 750 cm\n0.5 w\n1 J\n2 j\n[3 2 ] 1 d\n10 M\n5 i\n1 2 m\n"
              "3.33 -4 l\n10 20 30 40 re\nh\ns\nS\nf\nf*\n"
              "B\nb\nB*\nb*\nW\nW*\nn\nQ\n");
}

TEST_F(CanvasTest, TextOperators) {
    canvas().BeginText();
    canvas().MoveTextPoint(352, 797.6f);
    canvas().ShowText("Data (Report)");
    canvas().ShowTextNextLine("next");
    canvas().ShowText("A\xF0\x9F\x98\x80");
    canvas().MoveToNextLine();
    canvas().SetTextMatrix(1, 0, 0, 1, 72, 700);
    canvas().SetTextRenderingMode(TTextRenderingMode::trInvisible);
    canvas().SetTextRise(3);
    canvas().ExecuteXObject("RpImage1");
    canvas().EndText();
    EXPECT_EQ(Fresh(),
              "BT\n352 797.6 Td\n(Data \\(Report\\)) Tj\n(next) '\n<41D83DDE00> Tj\nT*\n"
              "1 0 0 1 72 700 Tm\n3 Tr\n3 Ts\n/RpImage1 Do\nET\n");
}

// ASCII texts are escaped straight into the page, others through UTF-16: both give one form.
TEST_F(CanvasTest, EveryTextIsEscapedAlike) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"a(b)c", "a\\(b\\)c"},
        {"back\\slash", "back\\\\slash"},
        {"cr\rlf\ntab\tbs\bff\f", "cr\\rlf\\ntab\\tbs\\bff\\f"},
        {"))((", "\\)\\)\\(\\("},
    };
    for (const auto& [text, escaped] : cases) {
        canvas().ShowText(text);
        EXPECT_EQ(Fresh(), "(" + escaped + ") Tj\n") << text;
        canvas().ShowTextNextLine(text + "\xC2\xB0");
        EXPECT_EQ(Fresh(), "(" + escaped + "\xB0) '\n") << text;
    }
}

// Operator lines hold the same numbers however large: those beyond the short form included.
TEST_F(CanvasTest, OperatorNumbersOfEverySize) {
    const float values[] = {0,     -0.004f, 797.6f,   1e12f,     9.9e12f, 1.1e13f,
                            1e20f, -3e38f,  INFINITY, -INFINITY, NAN};
    for (float v : values) {
        canvas().MoveTo(v, 2.5f);
        canvas().Concat(1, 0, 0, 1, 7, v);
        EXPECT_EQ(Fresh(), FormatReal(v) + " 2.5 m\n1 0 0 1 7 " + FormatReal(v) + " cm\n") << v;
    }
}

TEST_F(CanvasTest, TextRectPlacesTheBaselineBelowTheTop) {
    canvas().SetFont("Arial-Bold", 24);
    Fresh();
    const TPdfRect rect(352, 818, 499, 788);
    canvas().TextRect(rect, "Data Report", TPdfAlignment::paLeftJustify, false);
    EXPECT_EQ(Fresh(), "BT\n352 797.6 Td\n(Data Report) Tj\nET\n");
    canvas().TextRect(rect, "Data Report", TPdfAlignment::paCenter, false);
    EXPECT_EQ(Fresh(), "BT\n357 797.6 Td\n(Data Report) Tj\nET\n");
    canvas().TextRect(rect, "Data Report", TPdfAlignment::paRightJustify, false);
    EXPECT_EQ(Fresh(), "BT\n363 797.6 Td\n(Data Report) Tj\nET\n");
    canvas().TextRect(rect, "Data Report", TPdfAlignment::paLeftJustify, true);
    EXPECT_EQ(Fresh(),
              "q\n352 818 m\n352 788 l\n499 788 l\n499 818 l\nh\nW\nn\n"
              "BT\n352 797.6 Td\n(Data Report) Tj\nET\nQ\n");
    canvas().TextOut(10, 20,
                     "12.5 \xC2\xB0"
                     "C");
    EXPECT_EQ(Fresh(),
              "BT\n10 20 Td\n(12.5 \xB0"
              "C) Tj\nET\n");
}

TEST_F(CanvasTest, TextWidthFollowsTheWidthTables) {
    canvas().SetFont("Arial-Bold", 24);
    EXPECT_NEAR(canvas().TextWidth("Data Report"), 136.008, 1e-4);
    EXPECT_EQ(canvas().TextWidth(""), 0);
    canvas().SetCharSpace(2);
    EXPECT_EQ(canvas().TextWidth(""), -2);
    EXPECT_NEAR(canvas().TextWidth("ab"), (556 + 611) * 24 / 1000.0 + 2, 1e-4);
    canvas().SetCharSpace(0);
    canvas().SetWordSpace(5);
    // The word space counts after inner spaces only.
    EXPECT_NEAR(canvas().TextWidth("a b "), (556 + 278 + 611 + 278) * 24 / 1000.0 + 5, 1e-4);
    canvas().SetWordSpace(0);
    canvas().SetHorizontalScaling(50);
    EXPECT_NEAR(canvas().TextWidth("M"), 833 * 24 / 1000.0 / 2, 1e-4);
    canvas().SetHorizontalScaling(100);
    // Beyond Latin-1 the width is that of the code page byte: the euro sign is code 128.
    EXPECT_NEAR(canvas().TextWidth("\xE2\x82\xAC"), 556 * 24 / 1000.0, 1e-4);
    // Short and long texts alike (the short ones are measured without a copy on the heap), to
    // the sum's float rounding.
    for (std::size_t n : {63, 64, 65, 300})
        EXPECT_NEAR(canvas().TextWidth(std::string(n, 'a')), n * 556 * 24 / 1000.0, 0.01) << n;
    // Widths follow every change of font and size, there and back.
    canvas().SetFont("Arial", 24);
    EXPECT_NEAR(canvas().TextWidth("ab"), (556 + 556) * 24 / 1000.0, 1e-4);
    canvas().SetFont("Arial-Bold", 12);
    EXPECT_NEAR(canvas().TextWidth("ab"), (556 + 611) * 12 / 1000.0, 1e-4);
    canvas().SetFont("Arial-Bold", 24);
    EXPECT_NEAR(canvas().TextWidth("ab"), (556 + 611) * 24 / 1000.0, 1e-4);
    EXPECT_EQ(canvas().MeasureText("Data Report", 1000), 11);
    EXPECT_EQ(canvas().MeasureText("Data Report", 40), 3);  // "Dat" is 38.664, "Data" 52.008
    EXPECT_EQ(canvas().MeasureText("Data Report", 38), 2);
    EXPECT_EQ(canvas().MeasureText("Data", 0), 0);
}

TEST(PdfFonts, WidthTablesHoldTheStandardMetrics) {
    ScopedPdfClock clock(41337.0);
    TPdfDocument doc;
    doc.NewDoc();
    // Code: Helvetica, Helvetica-Bold, Times-Roman, Times-Bold, Times-Italic, Times-BoldItalic.
    const std::array<int, 7> rows[] = {
        {32, 278, 278, 250, 250, 250, 250},  {33, 278, 333, 333, 333, 333, 389},
        {48, 556, 556, 500, 500, 500, 500},  {58, 278, 333, 278, 333, 333, 333},
        {64, 1015, 975, 921, 930, 920, 832}, {65, 667, 722, 722, 722, 611, 667},
        {77, 833, 833, 889, 944, 833, 889},  {97, 556, 556, 444, 500, 500, 500},
        {109, 833, 889, 778, 833, 722, 778}, {176, 400, 400, 400, 400, 400, 400},
    };
    const char* names[] = {"Arial",      "Arial-Bold",   "Times-Roman",
                           "Times-Bold", "Times-Italic", "Times-BoldItalic"};
    for (const auto& row : rows) {
        for (int f = 0; f < 6; ++f) {
            auto* font = static_cast<TPdfType1Font*>(doc.GetFont(names[f]));
            EXPECT_EQ(font->Width(static_cast<std::uint8_t>(row[0])), row[f + 1])
                << names[f] << " code " << row[0];
        }
    }
    const char* all[] = {"Arial",       "Arial-Bold", "Arial-Italic", "Arial-BoldItalic",
                         "Times-Roman", "Times-Bold", "Times-Italic", "Times-BoldItalic"};
    for (const char* name : all) {
        auto* font = static_cast<TPdfType1Font*>(doc.GetFont(name));
        for (int code : {127, 129, 141, 143, 144, 157, 160, 173, 0, 31}) {
            EXPECT_EQ(font->Width(static_cast<std::uint8_t>(code)), 0) << name << " " << code;
        }
        EXPECT_GT(font->Width(128), 0) << name;  // the euro sign
        EXPECT_GT(font->Width(255), 0) << name;
    }
    EXPECT_EQ(static_cast<TPdfType1Font*>(doc.GetFont("Arial-Italic"))->Width('m'), 833);
    for (const char* mono : {"FixedWidth", "FixedWidth-BoldItalic"}) {
        auto* font = static_cast<TPdfType1Font*>(doc.GetFont(mono));
        EXPECT_EQ(font->Width(' '), 600);
        EXPECT_EQ(font->Width(255), 600);
        EXPECT_EQ(font->Width(31), 0);
    }
}

TEST_F(CanvasTest, MultilineTextWrapsAtWordsAndLineBreaks) {
    canvas().SetFont("FixedWidth", 10);  // every character 6 wide
    canvas().SetLeading(12);
    Fresh();
    // 60 wide: ten characters a line.
    canvas().MultilineTextRect(TPdfRect(0, 100, 60, 0), "aaaa bbbb cccc\r\ndd", true);
    EXPECT_EQ(Fresh(), "BT\n0 91.5 Td\n(aaaa bbbb ) Tj\nT*\n(cccc) Tj\nT*\n(dd) Tj\nT*\nET\n");
    // Without wrapping a long line is cut to what fits.
    canvas().MultilineTextRect(TPdfRect(0, 100, 30, 0), "abcdefghij", false);
    EXPECT_EQ(Fresh(), "BT\n0 91.5 Td\n(abcde) Tj\nT*\nET\n");
    // It stops once the next line would fall below the rectangle.
    canvas().MultilineTextRect(TPdfRect(0, 30, 60, 0), "a\r\nb\r\nc\r\nd", true);
    EXPECT_EQ(Fresh(), "BT\n0 21.5 Td\n(a) Tj\nT*\n(b) Tj\nT*\nET\n");
    std::size_t index = 0;
    EXPECT_EQ(TPdfCanvas::GetNextWord(u"ab cd\r\nef", index), u"ab ");
    EXPECT_EQ(TPdfCanvas::GetNextWord(u"ab cd\r\nef", index), u"cd\r\n");
    EXPECT_EQ(TPdfCanvas::GetNextWord(u"ab cd\r\nef", index), u"ef");
    EXPECT_EQ(index, 9u);
}

TEST_F(CanvasTest, AnXObjectDrawnTwiceIsOneResource) {
    doc.AddXObject("RpImage1", MakeImage(Bitmap::Create(3, 2, 24), "Pdf-Bitmap"));
    canvas().DrawXObject(619, 750, 153, 125, "RpImage1");
    canvas().DrawXObject(0, 0, 10, 10, "RpImage1");
    EXPECT_EQ(Fresh(),
              "q\n153 0 0 125 619 750 cm\n/RpImage1 Do\nQ\nq\n10 0 0 10 0 0 cm\n/RpImage1 Do\nQ\n");
    canvas().DrawXObjectEx(5, 6, 30, 20, 1, 2, 3, 4, "RpImage1");
    EXPECT_EQ(Fresh(), "q\n1 2 3 4 re\nW\nn\n30 0 0 20 5 6 cm\n/RpImage1 Do\nQ\n");
    TPdfDictionary* xObjects =
        canvas().Page()->PdfDictionaryByName("Resources")->PdfDictionaryByName("XObject");
    EXPECT_EQ(xObjects->ItemCount(), 1);
}

TEST_F(CanvasTest, PageSizeIsTheMediaBox) {
    EXPECT_EQ(canvas().PageWidth(), 596);
    EXPECT_EQ(canvas().PageHeight(), 842);
    canvas().SetPageHeight(891);
    canvas().SetPageWidth(809);
    EXPECT_EQ(canvas().PageWidth(), 809);
    EXPECT_EQ(canvas().PageHeight(), 891);
    canvas().Page()->RemoveItem("MediaBox");
    doc.SetDefaultPageWidth(100);
    EXPECT_EQ(canvas().PageWidth(), 100);
}

TEST_F(CanvasTest, TextStateTravelsWithItsPage) {
    canvas().SetFont("Times-Bold", 18);
    canvas().SetCharSpace(1);
    TPdfDictionary* first = canvas().Page();
    doc.AddPage();
    EXPECT_EQ(Written(), "/F0 10 Tf\n");  // a new page starts afresh
    EXPECT_EQ(canvas().Attribute().CharSpace(), 0);
    TPdfDictionary* second = canvas().Page();
    canvas().SetPage(first);  // returns to the first page's state, writing nothing
    EXPECT_EQ(canvas().Attribute().Font()->Name(), "Times-Bold");
    EXPECT_EQ(canvas().Attribute().FontSize(), 18);
    EXPECT_EQ(canvas().Attribute().CharSpace(), 1);
    canvas().SetPage(second);
    EXPECT_EQ(canvas().Attribute().Font()->Name(), "Arial");
}

TEST(PdfCanvasErrors, KindsAndMessages) {
    ScopedPdfClock clock(41337.0);
    struct Case {
        std::function<void(TPdfCanvas&)> action;
        const std::type_info& kind;
        std::string message;
    };
    const Case cases[] = {
        {[](TPdfCanvas& c) { c.SetWordSpace(-1); }, typeid(EPdfInvalidValue),
         "SetWordSpace --invalid word space"},
        {[](TPdfCanvas& c) { c.SetWordSpace(std::nanf("")); }, typeid(EPdfInvalidValue),
         "SetWordSpace --invalid word space"},
        {[](TPdfCanvas& c) { c.SetCharSpace(-31); }, typeid(EPdfInvalidValue),
         "SetCharSpace --invalid char space"},
        {[](TPdfCanvas& c) { c.SetCharSpace(301); }, typeid(EPdfInvalidValue),
         "SetCharSpace --invalid char space"},
        {[](TPdfCanvas& c) { c.SetFont("Arial", 301); }, typeid(EPdfInvalidValue),
         "SetCharSpace --invalid font size"},
        {[](TPdfCanvas& c) { c.SetFont("Arial", -1); }, typeid(EPdfInvalidValue),
         "SetCharSpace --invalid font size"},
        {[](TPdfCanvas& c) { c.SetHorizontalScaling(9); }, typeid(EPdfInvalidValue),
         "SetHorizontalScaling --invalid font size"},
        {[](TPdfCanvas& c) { c.SetHorizontalScaling(301); }, typeid(EPdfInvalidValue),
         "SetHorizontalScaling --invalid font size"},
        {[](TPdfCanvas& c) { c.SetLeading(300.5f); }, typeid(EPdfInvalidValue),
         "SetLeading --invalid font size"},
        {[](TPdfCanvas& c) { c.DrawXObject(0, 0, 1, 1, "Nope"); }, typeid(EPdfInvalidValue),
         "DrawXObject --XObject not found: Nope"},
        {[](TPdfCanvas& c) { c.DrawXObjectEx(0, 0, 1, 1, 0, 0, 1, 1, "Nope"); },
         typeid(EPdfInvalidValue), "DrawXObjectEx --XObject not found: Nope"},
    };
    for (const Case& c : cases) {
        TPdfDocument doc;
        doc.NewDoc();
        doc.AddPage();
        try {
            c.action(doc.Canvas());
            ADD_FAILURE() << "no error for " << c.message;
        } catch (const std::exception& e) {
            EXPECT_EQ(typeid(e), c.kind) << c.message;
            EXPECT_EQ(std::string(e.what()), c.message);
        }
    }
    // Without a page.
    const std::function<void(TPdfCanvas&)> pageless[] = {
        [](TPdfCanvas& c) { c.PageWidth(); },     [](TPdfCanvas& c) { c.PageHeight(); },
        [](TPdfCanvas& c) { c.SetPageWidth(1); }, [](TPdfCanvas& c) { c.SetPageHeight(1); },
        [](TPdfCanvas& c) { c.Page(); },          [](TPdfCanvas& c) { c.SetFont("Arial", 10); },
    };
    for (const auto& action : pageless) {
        TPdfDocument doc;
        doc.NewDoc();
        try {
            action(doc.Canvas());
            ADD_FAILURE() << "no error without a page";
        } catch (const EPdfInvalidOperation& e) {
            EXPECT_STREQ(e.what(), "GetPage --the Page is nil");
        }
    }
}

TEST_F(CanvasTest, AFailedFontSizeKeepsTheOldSize) {
    EXPECT_THROW(canvas().SetFont("Arial", 400), EPdfInvalidValue);
    EXPECT_EQ(canvas().Attribute().FontSize(), 10);
}

}  // namespace
}  // namespace halvik

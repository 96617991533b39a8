// SPDX-License-Identifier: GPL-3.0-or-later
#include "pdf/PdfDocument.h"

#include <gtest/gtest.h>

#include <functional>
#include <typeinfo>

#include "PdfTools.h"
#include "pdf/PdfClock.h"
#include "pdf/PdfImages.h"

namespace halvik {
namespace {

constexpr double kFixedNow = 41337.007460486115;  // 2013-03-04 00:10:44

std::string Saved(TPdfDocument& doc) {
    TPdfMemoryStream stream;
    doc.SaveToStream(stream);
    return stream.ToString();
}

std::string Contents(TPdfDocument& doc) {
    return std::string(doc.Canvas().Contents()->Stream().View());
}

TEST(PdfDocument, OnePageDocumentMatchesTheGoldenFileByteForByte) {
    ScopedPdfClock clock(kFixedNow);
    TPdfDocument doc;
    doc.NewDoc();
    doc.AddPage();
    const std::string bytes = Saved(doc);
    const std::string golden = testing::ReadFile(HALVIK_PDF_GOLDEN_DIR "/one-page.pdf");
    ASSERT_EQ(golden.size(), 893u);
    EXPECT_EQ(bytes, golden);
    // The offsets the cross-reference section lists are where the bodies are.
    for (auto [number, offset] :
         {std::pair{1, 11}, {2, 66}, {3, 188}, {4, 253}, {5, 442}, {6, 521}}) {
        const std::string head = std::to_string(number) + " 0 obj\r\n";
        EXPECT_EQ(bytes.compare(offset, head.size(), head), 0) << number;
    }
    EXPECT_EQ(bytes.compare(667, 4, "xref"), 0);
}

TEST(PdfDocument, ObjectNumbersFollowTheOrderOfCreation) {
    ScopedPdfClock clock(kFixedNow);
    TPdfDocument doc;
    doc.SetUseOutlines(true);
    doc.NewDoc();
    EXPECT_EQ(doc.Root().Data()->ObjectNumber(), 1);
    EXPECT_EQ(doc.OutlineRoot().Data()->ObjectNumber(), 2);
    EXPECT_EQ(doc.Info().Data()->ObjectNumber(), 3);
    EXPECT_EQ(doc.Root().Pages()->ObjectNumber(), 4);
    doc.AddPage();
    EXPECT_EQ(doc.Canvas().Page()->ObjectNumber(), 5);
    EXPECT_EQ(doc.Canvas().Contents()->ObjectNumber(), 6);
    EXPECT_EQ(doc.GetFont("Arial")->Data()->ObjectNumber(), 7);
    const std::string bytes = Saved(doc);
    EXPECT_NE(bytes.find("/Type /Catalog\r\n/Outlines 2 0 R\r\n/Pages 4 0 R"), std::string::npos);
    EXPECT_NE(bytes.find("/Type /Outlines\r\n/Count 0"), std::string::npos);
}

TEST(PdfDocument, FontsAreNamedInOrderOfFirstUseAndShared) {
    ScopedPdfClock clock(kFixedNow);
    TPdfDocument doc;
    doc.NewDoc();
    doc.AddPage();
    const int before = doc.Xref().ItemCount();
    TPdfFont* times = doc.GetFont("Times-Italic");
    EXPECT_EQ(times->Data()->PdfNameByName("Name")->Value(), "F1");
    EXPECT_EQ(doc.Xref().ItemCount(), before + 1);
    EXPECT_EQ(doc.GetFont("Times-Italic"), times);
    EXPECT_EQ(doc.GetFont("Arial")->Data()->PdfNameByName("Name")->Value(), "F0");
    EXPECT_EQ(doc.Xref().ItemCount(), before + 1);
    EXPECT_EQ(doc.GetFont("FixedWidth-Bold")->Data()->PdfNameByName("Name")->Value(), "F2");
}

TEST(PdfDocument, EveryRegisteredFontBuildsItsDictionary) {
    ScopedPdfClock clock(kFixedNow);
    const std::pair<const char*, const char*> fonts[] = {
        {"FixedWidth", "Courier"},
        {"FixedWidth-Bold", "Courier-Bold"},
        {"FixedWidth-Italic", "Courier-Oblique"},
        {"FixedWidth-BoldItalic", "Courier-BoldOblique"},
        {"Arial", "Helvetica"},
        {"Arial-Bold", "Helvetica-Bold"},
        {"Arial-Italic", "Helvetica-Oblique"},
        {"Arial-BoldItalic", "Helvetica-BoldOblique"},
        {"Times-Roman", "Times-Roman"},
        {"Times-Bold", "Times-Bold"},
        {"Times-Italic", "Times-Italic"},
        {"Times-BoldItalic", "Times-BoldItalic"},
    };
    EXPECT_EQ(RegisteredFontNames().size(), 12u);
    TPdfDocument doc;
    doc.NewDoc();
    for (const auto& [name, base] : fonts) {
        TPdfFont* font = doc.GetFont(name);
        TPdfMemoryStream s;
        font->Data()->WriteValue(s);
        const std::string expected =
            std::string(
                "<<\r\n/Type /Font\r\n/Subtype /Type1\r\n/Encoding /WinAnsiEncoding\r\n"
                "/FirstChar 32\r\n/LastChar 255\r\n/BaseFont /") +
            base + "\r\n/Name /" + font->Data()->PdfNameByName("Name")->Value() + "\r\n>>";
        EXPECT_EQ(s.ToString(), expected) << name;
    }
}

TEST(PdfDocument, InformationEntriesKeepTheOrderTheyWereLastSetIn) {
    ScopedPdfClock clock(kFixedNow);
    TPdfDocument doc;
    doc.NewDoc();
    doc.AddPage();
    doc.Info().SetTitle("First");
    doc.Info().SetAuthor("");
    doc.Info().SetTitle("Second");
    EXPECT_EQ(doc.Info().Title(), "Second");
    EXPECT_EQ(doc.Info().CreationDate(), ParsePdfDate("D:20130304001044"));
    EXPECT_EQ(doc.Info().ModDate(), 0);  // not saved yet
    const std::string bytes = Saved(doc);
    EXPECT_NE(bytes.find("/Producer (Halvik PDF version 1)\r\n/CreationDate (D:20130304001044)"
                         "\r\n/Author ()\r\n/Title (Second)\r\n/ModDate (D:20130304001044)\r\n>>"),
              std::string::npos);
}

TEST(PdfDocument, SavingAgainChangesOnlyTheModificationDate) {
    double now = kFixedNow;
    ScopedPdfClock clock([&] { return now; });
    TPdfDocument doc;
    doc.NewDoc();
    doc.AddPage();
    doc.Canvas().TextOut(10, 10, "x");
    const std::string first = Saved(doc);
    now = 41337.55539822917;
    const std::string second = Saved(doc);
    ASSERT_EQ(first.size(), second.size());
    std::string patched = first;
    const std::size_t at = patched.find("/ModDate (D:20130304001044)");
    ASSERT_NE(at, std::string::npos);
    patched.replace(at, 27, "/ModDate (D:20130304131946)");
    EXPECT_EQ(patched, second);
}

TEST(PdfDocument, CatalogSettingsAreWrittenInTheOrderFirstSet) {
    ScopedPdfClock clock(kFixedNow);
    TPdfDocument doc;
    doc.NewDoc();
    doc.AddPage();
    TPdfCatalog& root = doc.Root();
    root.SetPageMode(TPdfPageMode::pmUseNone);
    root.SetPageLayout(TPdfPageLayout::plSinglePage);
    root.SetPageMode(TPdfPageMode::pmUseThumbs);  // changed in place
    root.SetViewerPreference(ViewerPreferenceBit(TPdfViewerPreference::vpFitWindow) |
                             ViewerPreferenceBit(TPdfViewerPreference::vpHideToolbar));
    root.SetNonFullScreenPageMode(TPdfPageMode::pmUseOutlines);
    EXPECT_EQ(root.PageMode(), TPdfPageMode::pmUseThumbs);
    EXPECT_EQ(root.NonFullScreenPageMode(), TPdfPageMode::pmUseOutlines);
    EXPECT_EQ(root.ViewerPreference(),
              ViewerPreferenceBit(TPdfViewerPreference::vpFitWindow) |
                  ViewerPreferenceBit(TPdfViewerPreference::vpHideToolbar));
    root.SetNonFullScreenPageMode(TPdfPageMode::pmFullScreen);  // removes the element
    root.SetOpenAction(doc.CreateDestination());
    const std::string bytes = Saved(doc);
    EXPECT_NE(bytes.find("/Type /Catalog\r\n/Pages 3 0 R\r\n/PageMode /UseThumbs\r\n"
                         "/PageLayout /SinglePage\r\n/ViewerPreferences <<\r\n/HideToolbar true\r\n"
                         "/FitWindow true\r\n>>\r\n/OpenAction [4 0 R /XYZ 0 0 1 ]\r\n>>"),
              std::string::npos)
        << bytes.substr(0, 400);
}

TEST(PdfDocument, ImagesAreRegisteredByName) {
    ScopedPdfClock clock(kFixedNow);
    TPdfDocument doc;
    doc.NewDoc();
    doc.AddPage();
    Bitmap bitmap = Bitmap::Create(2, 2, 24);
    doc.AddXObject("Logo", MakeImage(bitmap, "Pdf-Bitmap"));
    TPdfStream* logo = doc.GetXObject("Logo");
    ASSERT_NE(logo, nullptr);
    EXPECT_EQ(logo->ObjectNumber(), 7);
    EXPECT_EQ(logo->Attributes().PdfNameByName("Name")->Value(), "Logo");
    EXPECT_EQ(doc.GetXObject("logo"), nullptr);
}

TEST(PdfDocument, OutlinesFormATree) {
    ScopedPdfClock clock(kFixedNow);
    TPdfDocument doc;
    doc.SetUseOutlines(true);
    doc.NewDoc();
    doc.AddPage();
    TPdfOutlineEntry* first = doc.OutlineRoot().AddChild();
    first->SetTitle("Statistics");
    first->SetDest(doc.CreateDestination());
    TPdfOutlineEntry* second = doc.OutlineRoot().AddChild();
    second->SetTitle("Chart");
    second->AddChild()->SetTitle("Zoomed");
    second->SetOpened(true);
    const std::string dir = testing::MakeTempDir();
    const std::string path = dir + "/outlines.pdf";
    {
        TPdfMemoryStream s;
        doc.SaveToStream(s);
        testing::WriteFile(path, s.ToString());
    }
    HALVIK_REQUIRE_TOOL("qpdf", "qpdf");
    testing::ExpectQpdfClean(path);
    const testing::ToolResult json =
        testing::RunTool("qpdf --json --json-key=outlines " + testing::Quote(path));
    EXPECT_NE(json.output.find("Statistics"), std::string::npos) << json.output;
    EXPECT_NE(json.output.find("Zoomed"), std::string::npos) << json.output;
    testing::RunTool("rm -rf " + testing::Quote(dir));
}

TEST(PdfDocumentErrors, KindsAndMessages) {
    ScopedPdfClock clock(kFixedNow);
    struct Case {
        std::function<void(TPdfDocument&)> action;
        bool open;
        const std::type_info& kind;
        std::string message;
    };
    Bitmap tiny = Bitmap::Create(1, 1, 24);
    const Case cases[] = {
        {[](TPdfDocument& d) { d.Canvas(); }, false, typeid(EPdfInvalidOperation),
         "GetCanvas --Document is null"},
        {[](TPdfDocument& d) { d.Info(); }, false, typeid(EPdfInvalidOperation),
         "GetInfo --this method can not use this state.."},
        {[](TPdfDocument& d) { d.Root(); }, false, typeid(EPdfInvalidOperation),
         "GetRoot --this method can not use this state.."},
        {[](TPdfDocument& d) { d.OutlineRoot(); }, false, typeid(EPdfInvalidOperation),
         "GetOutlineRoot --document is null.."},
        {[](TPdfDocument& d) { d.OutlineRoot(); }, true, typeid(EPdfInvalidOperation),
         "GetOutlineRoot --not use outline mode.."},
        {[](TPdfDocument& d) { d.AddPage(); }, false, typeid(EPdfInvalidOperation),
         "AddPage --current pages null."},
        {[](TPdfDocument& d) { d.GetFont("Arial"); }, false, typeid(EPdfInvalidOperation),
         "GetFont --document is null."},
        {[](TPdfDocument& d) { d.GetFont("Wingdings"); }, true, typeid(EPdfError),
         "Class Wingdings not found"},
        {[](TPdfDocument& d) { d.GetFont("Pdf-Bitmap"); }, true, typeid(EPdfError),
         "Class Pdf-Bitmap not found"},
        {[](TPdfDocument& d) { d.Root().Data()->RemoveItem("Pages"), d.Root().Pages(); }, true,
         typeid(EPdfInvalidOperation), "GetPages --page object is null.."},
        {[](TPdfDocument& d) { d.CreateDestination(); }, false, typeid(EPdfInvalidOperation),
         "TPdfDestination --cannot destination object."},
        {[](TPdfDocument& d) { d.CreateDestination()->SetZoom(11); }, true,
         typeid(EPdfInvalidValue), "Zoom property cannot set to over 10."},
        {[](TPdfDocument& d) { d.CreateDestination()->SetZoom(-1); }, true,
         typeid(EPdfInvalidValue), "Zoom property cannot set to under 0."},
        {[](TPdfDocument& d) {
             TPdfOutlineEntry orphan(&d, nullptr);
             orphan.Save();
         },
         true, typeid(EPdfError), "CreateEntry --invalid parent."},
        {[](TPdfDocument& d) {
             TPdfMemoryStream s;
             d.SaveToStream(s);
         },
         false, typeid(EPdfInvalidOperation), "SaveToStream --there is no document to save."},
        {[&](TPdfDocument& d) {
             d.AddXObject("Img", MakeImage(tiny, "Pdf-Bitmap"));
             d.AddXObject("Img", MakeImage(tiny, "Pdf-Bitmap"));
         },
         true, typeid(EPdfError), "AddImage --the image named Img is already exists.."},
        {[](TPdfDocument& d) { d.AddXObject("Img", CreateStream(nullptr)); }, true,
         typeid(EPdfError), "AddImage --the image is not valid TPdfImage.."},
        {[](TPdfDocument& d) { d.AddXObject("Img", nullptr); }, true, typeid(EPdfError),
         "AddImage --the image is not valid TPdfImage.."},
        {[](TPdfDocument& d) { d.RegisterXObject(nullptr, "Img"); }, true, typeid(EPdfInvalidValue),
         "RegisterXObject --AObject is null"},
        {[](TPdfDocument& d) { d.RegisterXObject(d.Canvas().Contents(), "Img"); }, true,
         typeid(EPdfInvalidValue), "RegisterXObject --not XObject"},
        {[&](TPdfDocument& d) {
             d.AddXObject("Img", MakeImage(tiny, "Pdf-Bitmap"));
             auto other = MakeImage(tiny, "Pdf-Bitmap");
             TPdfImage* numbered = d.Xref().Add(std::move(other));
             d.RegisterXObject(numbered, "Img");
         },
         true, typeid(EPdfInvalidValue), "RegisterXObject --dupulicate name: Img"},
    };
    for (const Case& c : cases) {
        TPdfDocument doc;
        if (c.open) {
            doc.NewDoc();
            doc.AddPage();
        }
        try {
            c.action(doc);
            ADD_FAILURE() << "no error for " << c.message;
        } catch (const std::exception& e) {
            EXPECT_EQ(typeid(e), c.kind) << c.message;
            EXPECT_EQ(std::string(e.what()), c.message);
        }
    }
}

TEST(PdfDocumentErrors, SavingWithoutAPageFailsAndLeavesTheDocumentOpen) {
    TPdfDocument doc;
    doc.NewDoc();
    TPdfMemoryStream s;
    try {
        doc.SaveToStream(s);
        FAIL();
    } catch (const EPdfInvalidOperation& e) {
        EXPECT_STREQ(e.what(), "GetPage --the Page is nil");
    }
    EXPECT_TRUE(doc.HasDoc());
    doc.AddPage();
    EXPECT_NO_THROW(doc.SaveToStream(s));
}

TEST(PdfDocument, MeasuringModeWritesNothing) {
    TPdfDocument doc;
    doc.SetVirtualMode();
    const std::string before = Contents(doc);
    doc.Canvas().SetFont("Arial-Bold", 24);
    doc.Canvas().TextOut(1, 2, "Data Report");
    doc.Canvas().SetCharSpace(2);
    EXPECT_EQ(Contents(doc), before);
    EXPECT_EQ(doc.Canvas().Attribute().CharSpace(), 2);
    EXPECT_NE(doc.Canvas()
                  .Page()
                  ->PdfDictionaryByName("Resources")
                  ->PdfDictionaryByName("Font")
                  ->ValueByName("F1"),
              nullptr);
}

}  // namespace
}  // namespace halvik

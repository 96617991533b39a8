// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/ReportComponents.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <functional>
#include <regex>
#include <typeinfo>

#include "PdfTools.h"
#include "ReportFixtures.h"
#include "pdf/PdfClock.h"
#include "pdf/PdfImages.h"

namespace halvik {
namespace {

using testing::Quote;

// The data report's geometry: an 809 x 891 page, a layout panel at 11, 12.
struct PageFixture {
    PageFixture() : page("RpPage1") {
        page.SetBounds(0, 0, 809, 891);
        panel = page.Add<TRpLayoutPanel>("RpLayoutPanel1");
        panel->SetBounds(11, 12, 783, 1004);
    }
    TRpLabel* Label(const std::string& name, int left, int top, int width, float size,
                    std::string caption) {
        TRpLabel* label = panel->Add<TRpLabel>(name);
        label->SetBounds(left, top, width, 30);
        label->SetFontBold(true);
        label->SetFontSize(size);
        label->SetCaption(std::move(caption));
        return label;
    }
    // Prints the page into a fresh document and returns the page's content.
    std::string Print() {
        report.BeginDoc();
        report.Print(page);
        return std::string(report.GetPdfDocument()->Canvas().Contents()->Stream().View());
    }
    ScopedPdfClock clock{41337.0};
    TRpPage page;
    TRpLayoutPanel* panel;
    TRpReport report;
};

constexpr const char* kStart = "/F0 10 Tf\n";

TEST(RpLabel, TheWorkedExampleLabel) {
    PageFixture f;
    f.Label("RpLabel19", 612, 252, 100, 14, "42");
    TRpLabel* label = f.Label("RpLabel20", 341, 61, 147, 24, "Data Report");
    EXPECT_EQ(f.Print(), std::string(kStart) +
                             "/F1 14 Tf\n0 0 0 rg\nBT\n623 615.1 Td\n(42) Tj\nET\n"
                             "/F1 24 Tf\n0 0 0 rg\nBT\n352 797.6 Td\n(Data Report) Tj\nET\n");
    const std::string lines = "BT\n352 797.6 Td\n(Data Report) Tj\nET\n";
    struct Case {
        std::function<void(TRpLabel&)> set;
        std::string expected;
    };
    const Case cases[] = {
        {[](TRpLabel& l) { l.SetClipping(true); },
         "q\n352 818 m\n352 788 l\n499 788 l\n499 818 l\nh\nW\nn\n" + lines + "Q\n"},
        {[](TRpLabel& l) { l.SetAlignment(TPdfAlignment::paRightJustify); },
         "BT\n363 797.6 Td\n(Data Report) Tj\nET\n"},
        {[](TRpLabel& l) { l.SetAlignment(TPdfAlignment::paCenter); },
         "BT\n357 797.6 Td\n(Data Report) Tj\nET\n"},
        {[](TRpLabel& l) { l.SetFontColor(0x000000FF); }, "1 0 0 rg\n" + lines},
        {[](TRpLabel& l) { l.SetCharSpace(1); }, "1 Tc\n" + lines},
        {[](TRpLabel& l) { l.SetWordSpace(2); }, "2 Tw\n" + lines},
        {[](TRpLabel& l) { l.SetAlignJustified(true); },  // (147 - 136.008) / 10
         "1.1 Tc\n" + lines},
    };
    for (const Case& c : cases) {
        PageFixture g;
        TRpLabel* l = g.Label("RpLabel20", 341, 61, 147, 24, "Data Report");
        c.set(*l);
        const std::string content = g.Print();
        const std::string head = std::string(kStart) + "/F1 24 Tf\n";
        ASSERT_EQ(content.substr(0, head.size()), head);
        std::string rest = content.substr(head.size());
        if (rest.rfind("0 0 0 rg\n", 0) == 0)
            rest = rest.substr(9);
        EXPECT_EQ(rest, c.expected);
    }
    EXPECT_NEAR(label->GetTextWidth(), 136.008, 1e-4);
}

TEST(RpLabel, LabelsWriteOnlyWhatChanges) {
    PageFixture f;
    f.Label("A", 0, 0, 100, 14, "one");
    f.Label("Empty", 0, 40, 100, 18, "");
    f.Label("B", 0, 80, 100, 14, "two");
    TRpLabel* italic = f.Label("C", 0, 120, 100, 14, "three");
    italic->SetFontBold(false);
    italic->SetFontItalic(true);
    italic->SetFontName(TRpFontName::fnTimesRoman);
    // The empty label writes nothing, not even its colour; the second label needs no Tf.
    EXPECT_EQ(f.Print(), std::string(kStart) +
                             "/F1 14 Tf\n0 0 0 rg\nBT\n11 867.1 Td\n(one) Tj\nET\n"
                             "0 0 0 rg\nBT\n11 787.1 Td\n(two) Tj\nET\n"
                             "/F2 14 Tf\n0 0 0 rg\nBT\n11 747.1 Td\n(three) Tj\nET\n");
    EXPECT_EQ(italic->RegisteredFontName(), "Times-Italic");
}

TEST(RpLabel, RegisteredFontNames) {
    const std::tuple<TRpFontName, bool, bool, const char*> cases[] = {
        {TRpFontName::fnFixedWidth, false, false, "FixedWidth"},
        {TRpFontName::fnFixedWidth, true, true, "FixedWidth-BoldItalic"},
        {TRpFontName::fnArial, false, true, "Arial-Italic"},
        {TRpFontName::fnArial, true, false, "Arial-Bold"},
        {TRpFontName::fnTimesRoman, false, false, "Times-Roman"},
        {TRpFontName::fnTimesRoman, true, false, "Times-Bold"},
        {TRpFontName::fnTimesRoman, true, true, "Times-BoldItalic"},
    };
    TRpLabel label("L");
    for (const auto& [font, bold, italic, expected] : cases) {
        label.SetFontName(font);
        label.SetFontBold(bold);
        label.SetFontItalic(italic);
        EXPECT_EQ(label.RegisteredFontName(), expected);
    }
    label.SetFontSize(0);
    label.SetFontSize(-3);
    EXPECT_EQ(label.FontSize(), 12);
    label.SetWordSpace(-1);
    EXPECT_EQ(label.WordSpace(), 0);
    label.SetFontColor(static_cast<TColor>(0xFF00000F));  // a system colour is allowed
    label.SetFontColor(0x0FFFFFFF);
}

TEST(RpImage, ImagesAreSharedByNameAndSkippedWithoutAPicture) {
    PageFixture f;
    TRpImage* logo = f.panel->Add<TRpImage>("RpImage1");
    logo->SetBounds(608, 4, 153, 125);
    logo->SetPicture(testing::SolidBitmap(4, 3, testing::kLogoColour));
    TRpImage* none = f.panel->Add<TRpImage>("RpImage5");
    none->SetBounds(21, 9, 153, 73);
    TRpImage* empty = f.panel->Add<TRpImage>("RpImage6");
    empty->SetPicture(Bitmap::Create(0, 5, 24));
    TRpImage* hidden = f.panel->Add<TRpImage>("Hidden");
    hidden->SetPicture(testing::SolidBitmap(2, 2, testing::kLogoColour));
    hidden->SetPrintable(false);
    const std::string first = f.Print();
    EXPECT_EQ(first, std::string(kStart) + "q\n153 0 0 125 619 750 cm\n/RpImage1 Do\nQ\n");
    TPdfDocument* doc = f.report.GetPdfDocument();
    EXPECT_EQ(doc->Xref().ItemCount(), 8);  // 1-6 as always, then only the logo
    // The same page again: a second PDF page sharing the image.
    f.report.Print(f.page);
    EXPECT_EQ(doc->Xref().ItemCount(), 10);
    EXPECT_EQ(std::string(doc->Canvas().Contents()->Stream().View()), first);
    EXPECT_EQ(f.report.PageNumber(), 2);
}

TEST(RpImage, UnsharedImagesGetNumberedNamesAndNaturalSizeWithoutStretch) {
    PageFixture f;
    TRpImage* image = f.panel->Add<TRpImage>("Pic");
    image->SetBounds(100, 100, 50, 40);
    image->SetPicture(testing::SolidBitmap(30, 20, testing::kLogoColour));
    image->SetSharedImage(false);
    image->SetStretch(false);
    const std::string content = f.Print();
    f.report.Print(f.page);
    const std::regex expected(
        "/F0 10 Tf\nq\n111 739 50 40 re\nW\nn\n30 0 0 20 111 759 cm\n/Pic([0-9]+) Do\nQ\n");
    std::smatch match;
    ASSERT_TRUE(std::regex_match(content, match, expected)) << content;
    const int number = std::stoi(match[1]);
    EXPECT_LE(number, 65533);
    const std::string second(f.report.GetPdfDocument()->Canvas().Contents()->Stream().View());
    // The second page draws a second image under another free name.
    ASSERT_TRUE(std::regex_match(second, match, expected)) << second;
    EXPECT_NE(std::stoi(match[1]), number);
    EXPECT_EQ(f.report.GetPdfDocument()->Xref().ItemCount(), 11);
}

TEST(RpPanel, PanelsNestAndSkipWhatTheyCannotPrint) {
    class Other : public TRpControl {
      public:
        using TRpControl::TRpControl;
        std::string_view ClassName() const override { return "Other"; }
    };
    PageFixture f;
    TRpPanel* inner = f.panel->Add<TRpPanel>("Inner");
    inner->SetBounds(100, 200, 300, 100);
    TRpLabel* label = inner->Add<TRpLabel>("Deep");
    label->SetBounds(5, 6, 100, 30);
    label->SetCaption("deep");
    TRpLabel* skipped = inner->Add<TRpLabel>("Skipped");
    skipped->SetCaption("never");
    skipped->SetPrintable(false);
    inner->Add<Other>("Other");
    std::vector<std::string> events;
    f.panel->SetBeforePrint([&](TRpLayoutPanel&, TRpCanvas&, const TRpRect& r) {
        events.push_back("before " + std::to_string(r.Left) + "," + std::to_string(r.Top));
    });
    f.panel->SetAfterPrint(
        [&](TRpLayoutPanel&, TRpCanvas&, const TRpRect&) { events.push_back("after"); });
    f.page.SetOnPrintPage(
        [&](TRpPage&, TRpCanvas& c) { events.push_back("page " + std::to_string(c.PageWidth())); });
    // Page 891 high: the label's top is 12 + 200 + 6 = 218, its baseline 891 - 218 - 10.2.
    EXPECT_EQ(f.Print(),
              std::string(kStart) + "/F0 12 Tf\n0 0 0 rg\nBT\n116 662.8 Td\n(deep) Tj\nET\n");
    EXPECT_EQ(events, (std::vector<std::string>{"page 809", "before 11,12", "after"}));
    EXPECT_EQ(label->Page(), &f.page);
}

TEST(RpPanel, AlignedPanelsFillThePageInsideItsMargins) {
    PageFixture f;
    f.panel->SetAlign(TRpAlign::alTop);
    f.panel->SetHeight(100);
    TRpLabel* label = f.panel->Add<TRpLabel>("L");
    label->SetBounds(0, 0, 100, 30);
    label->SetCaption("x");
    TRpLayoutPanel* bottom = f.page.Add<TRpLayoutPanel>("Bottom");
    bottom->SetAlign(TRpAlign::alBottom);
    bottom->SetHeight(50);
    TRpLabel* footer = bottom->Add<TRpLabel>("Footer");
    footer->SetAlign(TRpAlign::alClient);
    footer->SetCaption("y");
    f.page.SetMarginLeft(40);
    f.page.SetMarginTop(20);
    // Top panel at 40, 20; bottom panel from 891 - 32 - 50 = 809, its label filling it.
    EXPECT_EQ(f.Print(), std::string(kStart) +
                             "/F0 12 Tf\n0 0 0 rg\nBT\n40 860.8 Td\n(x) Tj\nET\n"
                             "0 0 0 rg\nBT\n40 71.8 Td\n(y) Tj\nET\n");
}

TEST(RpPage, MarginSettersIgnoreUnusableValues) {
    TRpPage page("P");
    EXPECT_EQ(page.Width(), 596);
    EXPECT_EQ(page.Height(), 842);
    EXPECT_EQ(page.MarginTop(), 32);
    page.SetMarginTop(-1);
    page.SetMarginLeft(298);  // half the width
    page.SetMarginRight(297);
    page.SetMarginBottom(0);
    EXPECT_EQ(page.MarginTop(), 32);
    EXPECT_EQ(page.MarginLeft(), 32);
    EXPECT_EQ(page.MarginRight(), 297);
    EXPECT_EQ(page.MarginBottom(), 0);
}

TEST(RpReport, ThePageSizeIsThePdfPageSizeWhateverThePanels) {
    PageFixture f;
    f.panel->SetBounds(0, 0, 2000, 3000);
    f.Print();
    TPdfMemoryStream s;
    f.report.EndDoc(s);
    EXPECT_NE(s.ToString().find("/MediaBox [0 0 809 891 ]"), std::string::npos);
    EXPECT_EQ(f.report.GetPdfDocument(), nullptr);
}

TEST(RpReport, SettingsReachTheCatalogAndInformation) {
    ScopedPdfClock clock(41337.0);
    TRpReport report;
    EXPECT_EQ(report.FileName(), "default.pdf");
    EXPECT_EQ(report.CreationDate(), 41337.0);
    report.SetAuthor("Cold room 3");
    report.SetTitle(
        "Data \xC2\xB0"
        "C");
    report.SetPageMode(TPdfPageMode::pmUseThumbs);
    report.SetNonFullScreenPageMode(TPdfPageMode::pmFullScreen);
    EXPECT_EQ(report.NonFullScreenPageMode(), TPdfPageMode::pmUseNone);
    report.SetNonFullScreenPageMode(TPdfPageMode::pmUseOutlines);
    report.SetViewerPreference(ViewerPreferenceBit(TPdfViewerPreference::vpCenterWindow));
    report.SetUseOutlines(true);
    report.BeginDoc();
    TRpPage page("P");
    report.Print(page);
    report.OutlineRoot()->AddChild()->SetTitle("Page 1");
    report.SetOpenAction(report.CreateDestination());
    TPdfMemoryStream s;
    report.EndDoc(s);
    const std::string file = s.ToString();
    EXPECT_NE(file.find("/Type /Catalog\r\n/Outlines 2 0 R\r\n/Pages 4 0 R\r\n/PageMode /UseThumbs"
                        "\r\n/PageLayout /SinglePage\r\n/ViewerPreferences <<\r\n"
                        "/NonFullScreenPageMode /UseOutlines\r\n/CenterWindow true\r\n>>\r\n"
                        "/OpenAction [5 0 R /XYZ 0 0 1 ]"),
              std::string::npos)
        << file.substr(0, 500);
    EXPECT_NE(file.find("/Author (Cold room 3)\r\n/CreationDate (D:20130304000000)"),
              std::string::npos);
    EXPECT_NE(file.find("/Title (Data \xB0"
                        "C)"),
              std::string::npos);
}

TEST(RpReportErrors, KindsAndMessages) {
    ScopedPdfClock clock(41337.0);
    struct Case {
        std::function<void(TRpReport&)> action;
        bool open;
        const std::type_info& kind;
        std::string message;
    };
    const Case cases[] = {
        {[](TRpReport& r) { r.SetAuthor("a"); }, true, typeid(EPdfInvalidOperation),
         "SetAuthor --invalid operation."},
        {[](TRpReport& r) { r.SetCreationDate(1); }, true, typeid(EPdfInvalidOperation),
         "SetCreationDate --invalid operation."},
        {[](TRpReport& r) { r.SetCreator("a"); }, true, typeid(EPdfInvalidOperation),
         "SetCreator --invalid operation."},
        {[](TRpReport& r) { r.SetKeywords("a"); }, true, typeid(EPdfInvalidOperation),
         "SetKeyWords --invalid operation."},
        {[](TRpReport& r) { r.SetModDate(1); }, true, typeid(EPdfInvalidOperation),
         "SetModDate --invalid operation."},
        {[](TRpReport& r) { r.SetSubject("a"); }, true, typeid(EPdfInvalidOperation),
         "SetSubject --invalid operation."},
        {[](TRpReport& r) { r.SetTitle("a"); }, true, typeid(EPdfInvalidOperation),
         "SetTitle --invalid operation."},
        {[](TRpReport& r) { r.SetPageLayout(TPdfPageLayout::plOneColumn); }, true,
         typeid(EPdfInvalidOperation), "SetPageLayout --invalid operation."},
        {[](TRpReport& r) { r.SetPageMode(TPdfPageMode::pmUseNone); }, true,
         typeid(EPdfInvalidOperation), "SetPageMode --invalid operation."},
        {[](TRpReport& r) { r.SetNonFullScreenPageMode(TPdfPageMode::pmUseNone); }, true,
         typeid(EPdfInvalidOperation), "SetNonFullScreenPageMode --invalid operation."},
        {[](TRpReport& r) { r.SetUseOutlines(true); }, true, typeid(EPdfInvalidOperation),
         "SetUseOutlines --invalid operation."},
        {[](TRpReport& r) { r.SetViewerPreference(0); }, true, typeid(EPdfInvalidOperation),
         "SetViewerPreference --invalid operation."},
        {[](TRpReport& r) { r.SetOpenAction(nullptr); }, false, typeid(EPdfInvalidOperation),
         "SetOpenAction --invalid operation."},
        {[](TRpReport& r) { r.OpenAction(); }, false, typeid(EPdfInvalidOperation),
         "GetOpenAction --invalid operation."},
        {[](TRpReport& r) { r.CreateDestination(); }, false, typeid(EPdfInvalidOperation),
         "CreateDestination --invalid operation."},
        {[](TRpReport& r) { r.OutlineRoot(); }, true, typeid(EPdfInvalidOperation),
         "GetOutlineRoot --invalid operation."},
        {[](TRpReport& r) { r.EndDoc(); }, false, typeid(EInvalidOperation), "document is null.."},
        {[](TRpReport& r) {
             TRpPage page("P");
             r.Print(page);
         },
         false, typeid(EInvalidOperation), "document is null.."},
        {[](TRpReport&) {
             TRpPage page("P");
             TRpPanel* panel = page.Add<TRpPanel>("Panel");
             panel->Add<TRpLabel>("Label")->Add<TRpLayoutPanel>("Layout");
         },
         false, typeid(EReportError), "TRpPage can not set on TRpLabel"},
        {[](TRpReport&) {
             TRpPage page("P");
             page.Add<TRpLabel>("Label");
         },
         false, typeid(EReportError), "this component must set on TRpPanel"},
        {[](TRpReport&) {
             TRpLabel label("L");
             label.SetFontColor(0x10000000);
         },
         false, typeid(EPdfInvalidValue), "the color you selected is not allowed."},
        {[](TRpReport& r) {
             TRpPage page("P");
             TRpLabel* label = page.Add<TRpPanel>("Panel")->Add<TRpLabel>("L");
             label->SetCaption("big");
             label->SetFontSize(301);
             r.Print(page);
         },
         true, typeid(EPdfInvalidValue), "SetCharSpace --invalid font size"},
    };
    for (const Case& c : cases) {
        TRpReport report;
        if (c.open)
            report.BeginDoc();
        try {
            c.action(report);
            ADD_FAILURE() << "no error for " << c.message;
        } catch (const std::exception& e) {
            EXPECT_EQ(typeid(e), c.kind) << c.message;
            EXPECT_EQ(std::string(e.what()), c.message);
        }
        EXPECT_EQ(report.GetPdfDocument() != nullptr, c.open) << c.message;  // stays open
    }
}

TEST(RpImage, NoFreeNameLeftFails) {
    ScopedPdfClock clock(41337.0);
    TRpReport report;
    report.BeginDoc();
    TRpPage page("P");
    report.Print(page);
    TPdfDocument& doc = *report.GetPdfDocument();
    const Bitmap pixel = Bitmap::Create(1, 1, 24);
    for (int n = 0; n <= 65534; ++n) {
        doc.AddXObject("Pic" + std::to_string(n), MakeImage(pixel, "Pdf-Bitmap"));
    }
    TRpImage* image = page.Add<TRpPanel>("Panel")->Add<TRpImage>("Pic");
    image->SetSharedImage(false);
    image->SetPicture(pixel);
    try {
        report.Print(page);
        FAIL();
    } catch (const EReportError& e) {
        EXPECT_STREQ(e.what(), "image count over max value..");
    }
}

// ---- EndDoc and the file ----------------------------------------------------------------------

class EndDocFile : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = testing::MakeTempDir();
        ASSERT_FALSE(dir.empty());
        page.Add<TRpPanel>("Panel")->Add<TRpLabel>("L")->SetCaption(
            "12.5 \xC2\xB0"
            "C");
    }
    void TearDown() override {
        if (testing::HaveTool("qpdf"))
            testing::ExpectEveryPdfInFolderClean(dir);
        testing::RunTool("rm -rf " + Quote(dir));
    }
    void Build(const std::string& fileName) {
        report.SetFileName(fileName);
        report.BeginDoc();
        report.Print(page);
    }
    std::vector<std::string> Listing() {
        std::vector<std::string> names;
        if (DIR* d = opendir(dir.c_str())) {
            while (dirent* e = readdir(d)) {
                if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") {
                    names.push_back(e->d_name);
                }
            }
            closedir(d);
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    ScopedPdfClock clock{41337.0};
    std::string dir;
    TRpPage page{"P"};
    TRpReport report;
};

TEST_F(EndDocFile, ReplacesTheOldFileWhole) {
    const std::string path = dir + "/Brisko.pdf";
    testing::WriteFile(path, std::string(100000, 'x'));  // longer than the report
    ::chmod(path.c_str(), 0640);
    Build(path);
    report.EndDoc();
    const std::string file = testing::ReadFile(path);
    EXPECT_EQ(file.rfind("%PDF-1.2 \r\n", 0), 0u);
    EXPECT_EQ(file.substr(file.size() - 7), "%%EOF\r\n");
    EXPECT_EQ(Listing(), std::vector<std::string>{"Brisko.pdf"});
    struct stat st {};
    ::stat(path.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0640u);  // the replaced file keeps its permissions
    EXPECT_EQ(report.GetPdfDocument(), nullptr);
    HALVIK_REQUIRE_TOOL("qpdf", "qpdf");
    testing::ExpectQpdfClean(path);
}

TEST_F(EndDocFile, ARelativeNameIsTakenInTheCurrentFolder) {
    char previous[4096];
    ASSERT_NE(::getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(::chdir(dir.c_str()), 0);
    Build("Brisko_C.pdf");
    report.EndDoc();
    ASSERT_EQ(::chdir(previous), 0);
    EXPECT_EQ(Listing(), std::vector<std::string>{"Brisko_C.pdf"});
}

TEST_F(EndDocFile, FailuresLeaveTheOldFileAndTheDocument) {
    const std::string existing = dir + "/Brisko.pdf";
    testing::WriteFile(existing, "the previous report");
    ::mkdir((dir + "/folder.pdf").c_str(), 0755);
    struct Case {
        std::string fileName;
        std::string reason;
    };
    const Case cases[] = {
        {dir + "/missing/Brisko.pdf", "No such file or directory"},
        {dir + "/folder.pdf", "Is a directory"},
        {existing + "/x.pdf", "Not a directory"},
        {"", "No such file or directory"},
    };
    for (const Case& c : cases) {
        Build(c.fileName);
        try {
            report.EndDoc();
            ADD_FAILURE() << c.fileName;
        } catch (const EFileCreateError& e) {
            EXPECT_EQ(std::string(e.what()),
                      "Cannot create file \"" + c.fileName + "\". " + c.reason);
        }
        EXPECT_NE(report.GetPdfDocument(), nullptr);  // still open until the next BeginDoc
    }
    // A write that fails part-way (the file size limit stands in for a full disk).
    Build(existing);
    struct rlimit saved {};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 4096;
    ::setrlimit(RLIMIT_FSIZE, &small);
    report.GetPdfDocument()->Canvas().TextOut(0, 0, std::string(10000, 'x'));
    try {
        report.EndDoc();
        ADD_FAILURE() << "the write did not fail";
    } catch (const EFileCreateError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot create file \"" + existing + "\". File too large");
    }
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(testing::ReadFile(existing), "the previous report");
    EXPECT_EQ(Listing(), (std::vector<std::string>{"Brisko.pdf", "folder.pdf"}));
    // The same document can still be written once the cause is gone.
    report.EndDoc();
    EXPECT_EQ(testing::ReadFile(existing).rfind("%PDF-1.2", 0), 0u);
}

TEST_F(EndDocFile, EndDocTwiceFailsTheSecondTime) {
    Build(dir + "/twice.pdf");
    report.EndDoc();
    try {
        report.EndDoc();
        FAIL();
    } catch (const EInvalidOperation& e) {
        EXPECT_STREQ(e.what(), "document is null..");
    }
}

TEST_F(EndDocFile, BeginDocDiscardsAnUnwrittenDocument) {
    Build(dir + "/a.pdf");
    report.BeginDoc();
    EXPECT_EQ(report.PageNumber(), 0);
    EXPECT_EQ(report.GetPdfDocument()->Xref().ItemCount(), 4);
    report.Abort();
    EXPECT_EQ(report.GetPdfDocument(), nullptr);
    EXPECT_TRUE(Listing().empty());
}

}  // namespace
}  // namespace halvik

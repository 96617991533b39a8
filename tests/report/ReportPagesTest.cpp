// SPDX-License-Identifier: GPL-3.0-or-later
// The program's two report pages written as files and read back.

#include "report/ReportPages.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <regex>
#include <vector>

#include "PdfTools.h"
#include "ReportFixtures.h"
#include "pdf/PdfClock.h"
#include "report/ReportTexts.h"
#include "views/ChangedRecord.h"

namespace halvik {
namespace {

using testing::ObjectBodies;
using testing::Quote;
using testing::StreamOf;

constexpr double kSaveTime = 45000.5;  // 2023-03-15 12:00:00

class ReportPages : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = testing::MakeTempDir();
        ASSERT_FALSE(dir.empty());
    }
    void TearDown() override {
        if (testing::HaveTool("qpdf"))
            testing::ExpectEveryPdfInFolderClean(dir);
        testing::RunTool("rm -rf " + Quote(dir));
    }

    std::string Write(TRpReport& report, TRpPage& page) {
        report.SetFileName(dir + "/" + report.FileName());
        report.BeginDoc();
        report.Print(page);
        report.EndDoc();
        return testing::ReadFile(report.FileName());
    }

    ScopedPdfClock clock{kSaveTime};
    std::string dir;
};

TEST_F(ReportPages, DataReportHasTheObjectsOfTheWorkedExample) {
    TRpPage1 page(testing::kWebAddress);
    testing::FillDataPage(page);
    auto report = CreateRpReport1();
    EXPECT_EQ(report->FileName(), "Brisko.pdf");
    const std::string file = Write(*report, page);
    auto bodies = ObjectBodies(file);
    ASSERT_EQ(bodies.size(), 9u);
    EXPECT_NE(file.find("trailer\r\n<<\r\n/Size 10\r\n/Root 1 0 R\r\n/Info 2 0 R\r\n>>"),
              std::string::npos);
    EXPECT_EQ(bodies[1],
              "1 0 obj\r\n<<\r\n/Type /Catalog\r\n/Pages 3 0 R\r\n/PageMode /UseNone\r\n"
              "/PageLayout /SinglePage\r\n>>\r\n");
    EXPECT_EQ(bodies[2],
              "2 0 obj\r\n<<\r\n/Producer (Halvik PDF version 1)\r\n/Author ()\r\n"
              "/CreationDate (D:20130304001044)\r\n/Creator (BRISKO)\r\n/Keywords ()\r\n"
              "/Subject ()\r\n/Title ()\r\n/ModDate (D:20230315120000)\r\n>>\r\n");
    EXPECT_NE(bodies[3].find("/Kids [4 0 R ]\r\n/Count 1"), std::string::npos);
    EXPECT_EQ(bodies[4],
              "4 0 obj\r\n<<\r\n/Type /Page\r\n/Parent 3 0 R\r\n/MediaBox [0 0 809 891 ]\r\n"
              "/Resources <<\r\n/Font <<\r\n/F0 6 0 R\r\n/F1 9 0 R\r\n>>\r\n/XObject <<\r\n"
              "/RpImage1 7 0 R\r\n/RpImage2 8 0 R\r\n>>\r\n/ProcSet [/PDF /Text /ImageC ]\r\n>>"
              "\r\n/Contents 5 0 R\r\n>>\r\n");
    EXPECT_NE(bodies[6].find("/BaseFont /Helvetica\r\n/Name /F0"), std::string::npos);
    EXPECT_NE(bodies[7].find("/Width 397\r\n/Height 376\r\n/BitsPerComponent 8\r\n/Name /RpImage1"),
              std::string::npos);
    EXPECT_NE(bodies[7].find("/Length 447816\r\n"), std::string::npos);
    EXPECT_NE(bodies[8].find("/Width 762\r\n/Height 475\r\n/BitsPerComponent 8\r\n/Name /RpImage2"),
              std::string::npos);
    EXPECT_NE(bodies[8].find("/Length 1085850\r\n"), std::string::npos);
    EXPECT_NE(bodies[9].find("/BaseFont /Helvetica-Bold\r\n/Name /F1"), std::string::npos);

    const std::string content = StreamOf(bodies[5]);
    EXPECT_EQ(content.substr(0, content.find("ET\n") + 3),
              "/F0 10 Tf\nq\n153 0 0 125 619 750 cm\n/RpImage1 Do\nQ\nq\n762 0 0 475 22 56 cm\n"
              "/RpImage2 Do\nQ\n/F1 14 Tf\n0 0 0 rg\nBT\n96 678.1 Td\n(Start Date&Time     :) Tj\n"
              "ET\n");
    EXPECT_NE(content.find("/F1 24 Tf\n0 0 0 rg\nBT\n352 797.6 Td\n(Data Report) Tj\nET\n"),
              std::string::npos);
    EXPECT_NE(content.find("(\xB0"
                           "C) Tj"),
              std::string::npos);
    EXPECT_NE(content.find("(PID                           :) Tj"), std::string::npos);
    EXPECT_NE(content.find("(  04 Mar) Tj"), std::string::npos);
    EXPECT_NE(content.find("(2013,    00:10) Tj"), std::string::npos);
}

TEST_F(ReportPages, ChartReportHasItsOwnFrame) {
    TRpPage2 page(testing::kWebAddress);
    testing::FillChartPage(page);
    auto report = CreateRpReport2();
    EXPECT_EQ(report->FileName(), "Brisko_C.pdf");
    const std::string file = Write(*report, page);
    auto bodies = ObjectBodies(file);
    ASSERT_EQ(bodies.size(), 9u);
    EXPECT_NE(bodies[2].find("/CreationDate (D:20130304131946)"), std::string::npos);
    EXPECT_NE(bodies[4].find("/MediaBox [0 0 788 841 ]"), std::string::npos);
    EXPECT_NE(bodies[4].find("/XObject <<\r\n/RpImage3 7 0 R\r\n/RpImage4 8 0 R\r\n>>"),
              std::string::npos);
    EXPECT_NE(bodies[7].find("/Width 762"), std::string::npos);
    EXPECT_NE(bodies[8].find("/Width 397"), std::string::npos);
    EXPECT_NE(bodies[9].find("/BaseFont /Helvetica-Bold\r\n/Name /F1"), std::string::npos);
    EXPECT_EQ(StreamOf(bodies[5]),
              "/F0 10 Tf\nq\n729 0 0 385 32 234 cm\n/RpImage3 Do\nQ\nq\n153 0 0 125 610 682 cm\n"
              "/RpImage4 Do\nQ\n/F1 14 Tf\n0 0 0 rg\nBT\n54 645.1 Td\n(PID :) Tj\nET\n"
              "0 0 0 rg\nBT\n104 645.1 Td\n(HK0012345) Tj\nET\n/F1 12 Tf\n0 0 0 rg\nBT\n"
              "626 812.8 Td\n(www.halvik.test) Tj\nET\n");
}

TEST_F(ReportPages, RealReadersAcceptBothReports) {
    HALVIK_REQUIRE_TOOL("qpdf", "qpdf");
    HALVIK_REQUIRE_TOOL("pdftotext", "poppler-utils");
    HALVIK_REQUIRE_TOOL("pdftoppm", "poppler-utils");
    TRpPage1 dataPage(testing::kWebAddress);
    testing::FillDataPage(dataPage);
    dataPage.RpLabel25->SetCaption(
        "\xC2\xB0"
        "F");
    auto dataReport = CreateRpReport1();
    Write(*dataReport, dataPage);
    const std::string dataPath = dataReport->FileName();
    testing::ExpectQpdfClean(dataPath);
    const std::string text = testing::PdfText(dataPath);
    for (const char* caption : {"Data Report",
                                "Temperature Statistics",
                                "Start Date&Time",
                                "Stop Date&Time",
                                "Log Interval",
                                "6 min",
                                "Max. Temperature",
                                "Min. Temperature",
                                "MKT(DH:83.144)",
                                "Data Points",
                                "Elapsed Time",
                                "HK0012345",
                                "04 Mar",
                                "2013,",
                                "00:10",
                                "8.4",
                                "2.1",
                                "5.3",
                                "42",
                                "1 Days 4 Hours 6 Min",
                                "\xC2\xB0"
                                "C",
                                "\xC2\xB0"
                                "F",
                                "www.halvik.test"}) {
        EXPECT_NE(text.find(caption), std::string::npos) << caption << " in:\n" << text;
    }
    testing::Ppm ppm;
    ASSERT_TRUE(ppm.Parse(testing::RenderPpm(dataPath, dir + "/data", 72)));
    EXPECT_EQ(ppm.width, 809);
    EXPECT_EQ(ppm.height, 891);
    // The renderer may be off by one or two in a channel.
    auto near = [&](int x, int y, BitmapColor c) {
        return std::abs(ppm.At(x, y, 0) - c.red) <= 2 && std::abs(ppm.At(x, y, 1) - c.green) <= 2 &&
               std::abs(ppm.At(x, y, 2) - c.blue) <= 2;
    };
    EXPECT_TRUE(near(700, 60, testing::kLogoColour));    // the logo, top right
    EXPECT_TRUE(near(100, 700, testing::kChartColour));  // the chart, lower half
    EXPECT_TRUE(near(5, 5, BitmapColor{255, 255, 255}));
    EXPECT_FALSE(near(300, 60, testing::kLogoColour));

    TRpPage2 chartPage(testing::kWebAddress);
    testing::FillChartPage(chartPage);
    auto chartReport = CreateRpReport2();
    Write(*chartReport, chartPage);
    testing::ExpectQpdfClean(chartReport->FileName());
    const std::string chartText = testing::PdfText(chartReport->FileName());
    EXPECT_NE(chartText.find("PID :"), std::string::npos) << chartText;
    EXPECT_NE(chartText.find("HK0012345"), std::string::npos) << chartText;
    ASSERT_TRUE(ppm.Parse(testing::RenderPpm(chartReport->FileName(), dir + "/chart", 72)));
    EXPECT_EQ(ppm.width, 788);
    EXPECT_EQ(ppm.height, 841);
    EXPECT_TRUE(near(300, 400, testing::kChartColour));
    EXPECT_TRUE(near(680, 100, testing::kLogoColour));
}

TEST_F(ReportPages, TheFileHoldsTheSameBytesAsAMemorySave) {
    // Pictures big enough to need many file buffers; the chart's rows padded as Qt pads them.
    TRpPage1 page(testing::kWebAddress);
    testing::FillDataPage(page);
    Bitmap chart = testing::SolidBitmap(762, 475, testing::kChartColour);
    Bitmap padded = chart;
    padded.stride = chart.stride + 2;
    padded.pixels.assign(padded.stride * 475, 0xAB);
    for (int y = 0; y < 475; ++y)
        std::copy_n(chart.Row(y), chart.stride, padded.Row(y));
    page.RpImage2->SetPicture(padded);
    auto toMemory = CreateRpReport1();
    toMemory->BeginDoc();
    toMemory->Print(page);
    TPdfMemoryStream memory;
    toMemory->EndDoc(memory);
    auto toFile = CreateRpReport1();
    const std::string file = Write(*toFile, page);
    EXPECT_EQ(file.size(), memory.Buffer().Size());
    EXPECT_TRUE(file == memory.ToString());
    EXPECT_EQ(file.find("\xAB\xAB"), std::string::npos);  // no padding reached the file
}

TEST_F(ReportPages, EveryItemIsFoundByItsName) {
    TRpPage1 page1(testing::kWebAddress);
    int labels = 0, images = 0;
    for (int i = 1; i <= 31; ++i) {
        if (page1.Find<TRpLabel>("RpLabel" + std::to_string(i)))
            ++labels;
    }
    for (int i = 1; i <= 6; ++i) {
        if (page1.Find<TRpImage>("RpImage" + std::to_string(i)))
            ++images;
    }
    EXPECT_EQ(labels, 28);  // RpLabel1 to 31 without 9, 21 and 22
    EXPECT_EQ(images, 3);
    EXPECT_EQ(page1.Find<TRpLabel>("RpLabel24"), page1.RpLabel24);
    EXPECT_EQ(page1.RpLabel24->Caption(),
              "\xC2\xB0"
              "C");
    EXPECT_EQ(page1.RpLabel23->Caption(), testing::kWebAddress);
    EXPECT_EQ(page1.RpLayoutPanel1->ControlCount(), 31);
    EXPECT_EQ(page1.MarginTop(), 1);
    TRpPage2 page2(testing::kWebAddress);
    EXPECT_EQ(page2.Find<TRpLabel>("RpLabel22")->Height(), 784);
    EXPECT_EQ(page2.Find<TRpImage>("RpImage6"), page2.RpImage6);
    EXPECT_EQ(page2.Find<TRpLabel>("RpImage6"), nullptr);
}

// A word of `pdftotext -bbox`, in points from the page's top-left corner.
struct Word {
    std::string text;
    double xMin, yMin, xMax, yMax;
};

std::vector<Word> WordsOf(const std::string& pdf) {
    const testing::ToolResult r = testing::RunTool("pdftotext -bbox " + Quote(pdf) + " -");
    std::vector<Word> words;
    static const std::regex word(
        R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re");
    for (auto it = std::sregex_iterator(r.output.begin(), r.output.end(), word);
         it != std::sregex_iterator(); ++it) {
        const std::smatch& m = *it;
        words.push_back({m[5], std::stod(m[1]), std::stod(m[2]), std::stod(m[3]), std::stod(m[4])});
    }
    return words;
}

// A record changed after its download: both pages say so first, in red, clear of every other
// text and of the logo; marked as intact again, the page writes the bytes it always did (the
// window keeps its pages from one press to the next).
TEST_F(ReportPages, AChangedRecordIsMarkedInRedOnBothPagesAndTheMarkComesOffAgain) {
    HALVIK_REQUIRE_TOOL("pdftotext", "poppler-utils");
    HALVIK_REQUIRE_TOOL("pdftoppm", "poppler-utils");
    TRpPage1 dataPage(testing::kWebAddress);
    testing::FillDataPage(dataPage);
    TRpPage2 chartPage(testing::kWebAddress);
    testing::FillChartPage(chartPage);
    struct Case {
        const char* name;
        TRpPage& page;
        std::function<void(bool intact)> mark;
        std::function<std::unique_ptr<TRpReport>()> report;
        double logoLeft;  // points from the page's left edge
    };
    const Case cases[] = {
        {"Data Report", dataPage, [&](bool intact) { MarkChangedRecord(dataPage, intact); },
         CreateRpReport1, 619},
        {"Chart Print", chartPage, [&](bool intact) { MarkChangedRecord(chartPage, intact); },
         CreateRpReport2, 610},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto plainReport = c.report();
        plainReport->SetFileName(std::string("plain-") + plainReport->FileName());
        const std::string plain = Write(*plainReport, c.page);

        c.mark(false);
        auto markedReport = c.report();
        const std::string marked = Write(*markedReport, c.page);
        const std::string path = markedReport->FileName();
        testing::ExpectQpdfClean(path);
        const std::string text = "\n" + testing::PdfText(path);
        // On a line of its own, above the values.
        const std::size_t at = text.find(std::string("\n") + kChangedRecordWarning + "\n");
        ASSERT_NE(at, std::string::npos) << text;
        EXPECT_LT(at, text.find("HK0012345")) << text;

        std::vector<Word> warning, others;
        const std::string spaced = std::string(" ") + kChangedRecordWarning + " ";
        for (const Word& w : WordsOf(path)) {
            if (spaced.find(" " + w.text + " ") != std::string::npos)
                warning.push_back(w);
            else
                others.push_back(w);
        }
        ASSERT_EQ(warning.size(), 8u);
        for (const Word& w : warning) {
            EXPECT_LT(w.xMax, c.logoLeft) << w.text;
            for (const Word& o : others) {
                const bool apart =
                    w.xMax <= o.xMin || o.xMax <= w.xMin || w.yMax <= o.yMin || o.yMax <= w.yMin;
                EXPECT_TRUE(apart) << w.text << " overlaps " << o.text;
            }
        }
        // Red where the warning stands, at 72 dots per inch one pixel a point.
        testing::Ppm ppm;
        ASSERT_TRUE(ppm.Parse(testing::RenderPpm(path, path + "-page", 72)));
        int red = 0;
        for (int y = static_cast<int>(warning[0].yMin); y < warning[0].yMax; ++y)
            for (int x = static_cast<int>(warning[0].xMin); x < warning.back().xMax; ++x)
                red += ppm.At(x, y, 0) > 200 && ppm.At(x, y, 1) < 60 && ppm.At(x, y, 2) < 60;
        EXPECT_GT(red, 100);

        c.mark(true);
        auto againReport = c.report();
        againReport->SetFileName(std::string("again-") + againReport->FileName());
        EXPECT_TRUE(Write(*againReport, c.page) == plain);
        EXPECT_FALSE(marked == plain);
    }
}

}  // namespace
}  // namespace halvik

// SPDX-License-Identifier: GPL-3.0-or-later
// The layouts drawn by the Qt step on a QPrinter writing a PDF, read back with poppler.
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QPrinter>
#include <QTemporaryDir>

#include "PdfTools.h"
#include "PrintFixtures.h"
#include "printing/TableLayouts.h"
#include "printing/qt/PrintJobs.h"
#include "printing/qt/PrinterCanvas.h"

namespace halvik {
namespace {

using namespace halvik::testing;

constexpr double kPointsPerPixel = 72.0 / 600.0;
constexpr double kTolerance = 0.5;  // points

class PdfOutput : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        file_ = dir_.filePath("out.pdf");
        useA4PdfFile(printer_, file_);
        const QRectF page = printer_.pageRect(QPrinter::DevicePixel);
        offsetX_ = page.left();
        offsetY_ = page.top();
    }

    // Device pixels of the printable area to PDF points from the sheet's corner.
    double ptX(double px) const { return (offsetX_ + px) * kPointsPerPixel; }
    double ptY(double px) const { return (offsetY_ + px) * kPointsPerPixel; }
    // Tenths of a millimetre (y upward) to the same.
    double ptXmm(int v) const { return ptX(v * 600.0 / 254.0); }
    double ptYmm(int v) const { return ptY(-v * 600.0 / 254.0); }

    void expectAt(const std::vector<PdfWord>& words, const QString& text, int page, double x,
                  double y) {
        const auto w = findWord(words, text, page);
        ASSERT_TRUE(w.has_value()) << text.toStdString() << " on page " << page;
        EXPECT_NEAR(w->xMin, x, kTolerance) << text.toStdString();
        EXPECT_NEAR(w->yMin, y, kTolerance) << text.toStdString();
    }

    // Page `page` rendered at 60 dpi: one image pixel per 10 device pixels.
    QImage render(int page) {
        const QString prefix = dir_.filePath("page");
        const CommandResult r =
            runCommand("pdftoppm", {"-r", "60", "-f", QString::number(page), "-l",
                                    QString::number(page), "-singlefile", file_, prefix});
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        return QImage(prefix + ".ppm");
    }

    QTemporaryDir dir_;
    QString file_;
    QPrinter printer_{QPrinter::HighResolution};
    double offsetX_ = 0;
    double offsetY_ = 0;
};

TEST_F(PdfOutput, SelectedRowsLandWhereTheLayoutPutsThem) {
    const CellStore cells = downloadedGrid(60);
    const QImage logo = logoPicture();
    const PrinterMetrics metrics = printerMetrics(printer_);
    ASSERT_EQ(metrics.dpiY, 600);
    const int perPage = selectedRowsPerPage(metrics.printableHeight);
    ASSERT_GT(perPage, 30);
    ASSERT_LT(perPage, 58);  // 58 rows need two pages on A4
    const PrintLayout layout =
        layoutSelectedRows({cells, "( PID :12 34 56 78 9A)"}, kSelectedRowsTitle, 0, 58, metrics);
    printLayout(printer_, layout, logo);

    EXPECT_EQ(pdfPages(file_), 2);
    EXPECT_EQ(pdfInfo(file_, "Title"), "SELECTED TEMPERATURE DETAILS");
    const auto words = pdfWords(file_);
    for (int page : {1, 2}) {
        expectAt(words, "SELECTED", page, ptX(150), ptY(550));
        expectAt(words, "(", page, ptX(2050), ptY(550));
        expectAt(words, "Temperature", page, ptX(1250), ptY(750));  // the caption heading
    }
    // The caption row printed again as the first line, then the readings 130 px apart.
    const auto points = findWord(words, "Points", 1);
    ASSERT_TRUE(points);
    EXPECT_GT(points->xMin, ptX(150) + 1);  // after its leading blank
    expectAt(words, "1", 1, ptX(200), ptY(900 + 130));
    expectAt(words, "D1", 1, ptX(475), ptY(900 + 130));
    expectAt(words, "T1", 1, ptX(875), ptY(900 + 130));
    const auto temperature = findWord(words, "1.5", 1);
    ASSERT_TRUE(temperature);
    EXPECT_NEAR(temperature->yMin, ptY(1030), kTolerance);
    EXPECT_GT(temperature->xMin, ptX(1200) + 12);  // twelve blanks before the value
    const QString firstOnPage2 = QString::number(perPage);
    expectAt(words, firstOnPage2, 2, ptX(200), ptY(900));
    expectAt(words, "58", 2, ptX(200), ptY(900 + 130 * (58 - perPage)));

    // The logo is stretched into 3000,50 - 3597,526.
    const QImage page1 = render(1);
    ASSERT_FALSE(page1.isNull());
    int left = page1.width(), top = page1.height(), right = -1, bottom = -1;
    for (int y = 0; y < page1.height(); ++y) {
        for (int x = 0; x < page1.width(); ++x) {
            const QColor c = page1.pixelColor(x, y);
            if (c.red() > 180 && c.green() < 80 && c.blue() < 80) {  // the logo's red
                left = std::min(left, x), right = std::max(right, x);
                top = std::min(top, y), bottom = std::max(bottom, y);
            }
        }
    }
    EXPECT_NEAR(left, (offsetX_ + 3000) / 10, 1.5);
    EXPECT_NEAR(right + 1, (offsetX_ + 3597) / 10, 1.5);
    EXPECT_NEAR(top, (offsetY_ + 50) / 10, 1.5);
    EXPECT_NEAR(bottom + 1, (offsetY_ + 526) / 10, 1.5);
}

TEST_F(PdfOutput, AllRowsPagesTitleFooterRulesAndRows) {
    const CellStore cells = downloadedGrid(1000);
    const PrinterMetrics metrics = printerMetrics(printer_);
    const PrinterTextMeasurer measurer(printer_);
    const PrintLayout layout =
        layoutAllRows({cells, "( PID :12 34 56 78 9A)"}, kAllRowsTitle, metrics, measurer);
    const AllRowsGeometry g = allRowsGeometry(metrics, cells.rowCount());
    ASSERT_EQ(g.rowsPerPage, 71);
    ASSERT_EQ(g.pageCount, 15);
    printLayout(printer_, layout, logoPicture());

    ASSERT_EQ(pdfPages(file_), 15);
    EXPECT_EQ(pdfInfo(file_, "Title"), "TEMPERATURE DETAILS");
    const auto words = pdfWords(file_);

    expectAt(words, "(", 1, ptX(1897), ptY(150));
    ASSERT_TRUE(findWord(words, "PID", 1).has_value());
    EXPECT_FALSE(findWord(words, "PID", 2).has_value());

    const FontSpec titleFont{"Sakkal majalla", 48, FontSpec::Size::CellHeight, false};
    const int titleWidth = measurer.widthTenthMm(titleFont, "TEMPERATURE DETAILS");
    const int titleX = g.pageWidth / 2 - titleWidth / 2 - 100;
    for (int page : {1, 8, 15}) {
        SCOPED_TRACE(page);
        expectAt(words, "TEMPERATURE", page, ptXmm(titleX), ptYmm(-20));
        const auto details = findWord(words, "DETAILS", page);
        ASSERT_TRUE(details);
        // The measured width is the drawn width, so the centring holds on paper.
        EXPECT_NEAR(details->xMax - ptXmm(titleX), titleWidth * 72.0 / 254.0, 1.0);
        const QString total = "Total:15";
        const auto footerEnd = findWord(words, total, page);
        const auto footerStart = findWord(words, "Page", page);
        ASSERT_TRUE(footerEnd && footerStart);
        EXPECT_NEAR(footerStart->yMin, ptYmm(80 - g.pageHeight), kTolerance);
        EXPECT_NEAR((footerStart->xMin + footerEnd->xMax) / 2, ptXmm(g.pageWidth / 2), 1.0);
    }
    // The caption row first, then the readings 36 apart; 71 rows a page, 7 on the last.
    const auto points = findWord(words, "Points", 1);
    ASSERT_TRUE(points);
    EXPECT_NEAR(points->yMin, ptYmm(-180), kTolerance);
    expectAt(words, "1", 1, ptXmm(100), ptYmm(-216));
    expectAt(words, "D1", 1, ptXmm(265), ptYmm(-216));
    expectAt(words, "T1", 1, ptXmm(505), ptYmm(-216));
    expectAt(words, "71", 2, ptXmm(100), ptYmm(-180));
    expectAt(words, "994", 15, ptXmm(100), ptYmm(-180));
    expectAt(words, "1000", 15, ptXmm(100), ptYmm(-180 - 36 * 6));
    // A cell height of 36 tenths of a millimetre.
    const auto d1 = findWord(words, "D1", 1);
    EXPECT_NEAR(d1->yMax - d1->yMin, 36 * 72.0 / 254.0, 0.6);

    // The two rules: 0.3 mm across the page width at 170 and H - 85 below the top.
    const QImage last = render(15);
    ASSERT_FALSE(last.isNull());
    const auto darkShare = [&](int row) {
        int dark = 0;
        const int x0 = static_cast<int>((offsetX_ + 100) / 10);
        const int x1 = static_cast<int>((offsetX_ + 4800) / 10);
        for (int x = x0; x < x1; ++x)
            dark += qGray(last.pixel(x, row)) < 160;
        return static_cast<double>(dark) / (x1 - x0);
    };
    const auto ruleNear = [&](double yPixels) {
        const int row = static_cast<int>(std::lround((offsetY_ + yPixels) / 10));
        return std::max({darkShare(row - 1), darkShare(row), darkShare(row + 1)});
    };
    EXPECT_GT(ruleNear(170 * 600.0 / 254.0), 0.95);
    EXPECT_GT(ruleNear((g.pageHeight - 85) * 600.0 / 254.0), 0.95);
    EXPECT_LT(ruleNear(1000 * 600.0 / 254.0), 0.05);  // no rule between the two
}

}  // namespace
}  // namespace halvik

// SPDX-License-Identifier: GPL-3.0-or-later
// The data report of cards beyond the ordinary: a freezer (readings below the chart's fixed
// scale, five-character statistics), a parse run twice, readings that cannot be temperatures and
// a decimal separator the report's code page lacks.

#include <QChart>
#include <QLabel>
#include <QLineSeries>
#include <QRegularExpression>

#include "ExportTestSupport.h"
#include "report/ReportPages.h"
#include "views/widgets/DataGrid.h"
#include "views/widgets/TemperatureChart.h"

namespace halvik::testing {
namespace {

// A freezer holding -25.0 to -18.0 °C, sixty readings.
std::vector<double> freezerReadings() {
    std::vector<double> values;
    for (int i = 0; i < 60; ++i)
        values.push_back(-25.0 + (i * 7) % 29 / 4.0);
    return values;
}

// A word of `pdftotext -bbox` output: its text and box in points.
struct Word {
    QString text;
    double xMin = 0, yMin = 0, xMax = 0, yMax = 0;
};

std::vector<Word> pdfWords(const QString& file) {
    const ProcessResult result = runWhileServing("pdftotext", {"-bbox", file, "-"});
    std::vector<Word> words;
    static const QRegularExpression word(
        R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re");
    for (auto it = word.globalMatch(QString::fromUtf8(result.out)); it.hasNext();) {
        const auto m = it.next();
        words.push_back({m.captured(5), m.captured(1).toDouble(), m.captured(2).toDouble(),
                         m.captured(3).toDouble(), m.captured(4).toDouble()});
    }
    return words;
}

// Pixels of a coloured line (the readings series) in a part of a chart image: the background
// and the grid are greys.
int colouredPixels(const QImage& image, const QRect& area) {
    int count = 0;
    if (area.width() <= 0 || area.height() <= 0)
        return 0;
    const QRect inside = area.intersected(image.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x) {
            if (image.pixelColor(x, y).saturation() > 80)
                ++count;
        }
    }
    return count;
}

TEST_F(ExportWindow, FreezerReportShowsEveryReadingAndKeepsUnitsClearOfValues) {
    const std::vector<double> readings = freezerReadings();
    ASSERT_NO_FATAL_FAILURE(download(cardWith(readings)));
    TForm3& w = *window;
    ASSERT_EQ(w.Label13->text(), "   -25.0");
    ASSERT_EQ(w.Label12->text(), "   -18.0");

    // The readings shown again (here: the download's record opened, as a second download of the
    // same card would) leave one download's readings across the whole width.
    const QString kept = keptRecordPath(w, "0102030405_20140107T0900Z_60.halvik");
    ASSERT_FALSE(kept.isEmpty());
    ASSERT_TRUE(w.openRecord(kept));
    ASSERT_TRUE(recorder.messages.empty()) << recorder.messages.front().second.toStdString();
    EXPECT_EQ(w.Chart1->series2()->count(), 60);
    EXPECT_EQ(w.Chart1->readingSeries()->count(), 60);
    EXPECT_EQ(w.Chart1->xRange(), (AxisRange{0, 59}));

    // In the window each unit caption starts after its value.
    for (auto [value, unit] : {std::pair{w.Label12, w.Label4}, std::pair{w.Label13, w.Label5},
                               std::pair{w.Label14, w.Label20}}) {
        const int end = value->x() + QFontMetrics(value->font()).horizontalAdvance(value->text());
        EXPECT_GT(unit->x(), end) << value->text().toStdString();
    }

    w.BitBtn4->click();  // zoomed in: the report shows the full view all the same
    w.BitBtn9->click();
    ASSERT_TRUE(recorder.messages.empty()) << recorder.messages.front().second.toStdString();
    EXPECT_EQ(w.Chart1->yRange(), (AxisRange{-30, 70}));
    const QString file = path("Brisko.pdf");
    EXPECT_EQ(qpdfCheck(file).exitCode, 0);

    // The chart image holds the series below the old -20 line, and in its right half.
    const std::vector<QImage> images = pdfImages(file, folder.path());
    ASSERT_EQ(images.size(), 2u);
    const QImage& chart = images[1];
    ASSERT_EQ(chart.size(), w.Chart1->size());
    const QRectF plot = w.Chart1->chart()->plotArea();
    const QPointF minus20 = w.Chart1->chart()->mapToPosition(QPointF(0, -20), w.Chart1->series2());
    const QRect belowMinus20(
        QPoint(static_cast<int>(plot.left()) + 1, static_cast<int>(minus20.y()) + 2),
        QPoint(static_cast<int>(plot.right()) - 1, static_cast<int>(plot.bottom()) - 1));
    EXPECT_GT(colouredPixels(chart, belowMinus20), 100) << belowMinus20.height() << " rows";
    const QRect rightHalf(
        QPoint(static_cast<int>(plot.center().x()), static_cast<int>(plot.top())),
        QPoint(static_cast<int>(plot.right()) - 1, static_cast<int>(plot.bottom()) - 1));
    EXPECT_GT(colouredPixels(chart, rightHalf), 50);

    // On the page the unit after "-25.0" (and after every other value) starts where its value
    // has ended.
    const std::vector<Word> words = pdfWords(file);
    int checked = 0;
    for (const Word& value : words) {
        if (!value.text.contains(QRegularExpression(R"(^-?\d+\.\d$)")))
            continue;
        for (const Word& unit : words) {
            if (unit.text == QString::fromUtf8("°C") && std::abs(unit.yMin - value.yMin) < 1 &&
                unit.xMin > value.xMin) {
                EXPECT_GE(unit.xMin, value.xMax) << value.text.toStdString();
                ++checked;
            }
        }
    }
    EXPECT_EQ(checked, 3);
    const QString text = pdfText(file);
    EXPECT_TRUE(text.contains(QString::fromUtf8("-25.0 °C"))) << text.toStdString();
}

TEST_F(ExportWindow, ReadingsThatCannotBeTemperaturesAreToldOnceAndNotedInTheReport) {
    // Six days of readings, so that the elapsed time is long.
    std::vector<CardReading> readings;
    for (int i = 0; i < 1441; ++i)
        readings.push_back(EncodeReading(4.0 + i % 3));
    readings.insert(readings.begin() + 1, CardReading{0x87, 0x89});  // -274.0 °C
    readings.push_back(CardReading{0xFF, 0x00});                     // 3.4 * 10^38
    ASSERT_NO_FATAL_FAILURE(
        download(LoggerCardImage::Make({1, 2, 3, 4, 5}, {2014, 1, 7, 9, 0, 0}, readings)));
    TForm3& w = *window;
    ASSERT_TRUE(waitFor([&] { return !recorder.errors().empty(); }));  // shown after the handler
    ASSERT_EQ(recorder.errors().size(), 1u);
    const std::string message = recorder.errors()[0].toStdString();
    EXPECT_NE(message.find("2 readings cannot be real temperatures"), std::string::npos);
    EXPECT_NE(message.find("reading 2 (-274.0 °C)"), std::string::npos) << message;
    EXPECT_NE(message.find("reading 1443 (3403"), std::string::npos) << message;
    EXPECT_EQ(w.StringGrid1->cells().cell(3, 2), "            -274.0");
    EXPECT_EQ(w.Label12->text(), "   6.0");
    EXPECT_EQ(w.Label13->text(), "   4.0");
    EXPECT_EQ(w.Label23->text(), "2 readings left out (not real temperatures)");
    // On the elapsed time's line, after it.
    EXPECT_EQ(w.Label19->text(), "6 Day(s),  0 Hour(s),  12 Minute(s)");
    EXPECT_GT(
        w.Label23->x(),
        w.Label19->x() + QFontMetrics(w.Label19->font()).horizontalAdvance(w.Label19->text()));

    recorder.messages.clear();
    w.BitBtn9->click();
    ASSERT_TRUE(recorder.messages.empty()) << recorder.messages.front().second.toStdString();
    const QString text = pdfText(path("Brisko.pdf")).simplified();
    EXPECT_TRUE(text.contains("2 readings left out (not real temperatures)")) << text.toStdString();
    for (const char* bad : {"INF", "NAN", "e+"})
        EXPECT_FALSE(text.contains(bad)) << bad;
}

TEST_F(ExportWindow, ASeparatorTheReportCannotHoldIsWrittenAsAFullStop) {
    SimHidPlatform& p = platform;
    card = std::make_unique<SimLoggerCard>(p, cardWith({8.0, 2.5, 4.25}));
    card->Plug();
    window = std::make_unique<TForm3>(p);
    window->locale = LocaleSettings{};
    window->locale.decimalSeparator = "\u066B";  // Persian
    window->show();
    ASSERT_TRUE(waitFor([&] { return window->BitBtn1->isEnabled(); }));
    ASSERT_TRUE(waitFor([&] { return !window->download.PidText.empty(); }));
    window->BitBtn1->click();
    window->Timer1->stop();
    ASSERT_TRUE(waitFor([&] { return window->download.DownloadText.size() >= 18; }));
    for (int tick = 0; tick < 10; ++tick)
        runHandler(window.get(), [&] { window->Timer1Timer(); });
    ASSERT_TRUE(window->isDownloaded());
    EXPECT_EQ(window->Label12->text(), QString::fromUtf8("   8\u066B0"));

    window->BitBtn9->click();
    ASSERT_TRUE(recorder.messages.empty()) << recorder.messages.front().second.toStdString();
    const QString text = pdfText(path("Brisko.pdf"));
    EXPECT_TRUE(text.contains(QString::fromUtf8("8.0 °C"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QString::fromUtf8("2.5 °C"))) << text.toStdString();
    EXPECT_FALSE(text.contains("?")) << text.toStdString();
}

TEST(ReportFileErrorText, NamesTheFullPathAndWhatToDoInAFolderThatCannotBeWritten) {
    struct Case {
        const char* error;
        bool folderWritable;
        const char* expected;
    };
    const Case cases[] = {
        {"Cannot create file \"Brisko.pdf\". Is a directory", true,
         "Cannot create file \"/home/ana/Brisko.pdf\". Is a directory"},
        {"Cannot create file \"Brisko.pdf\". Permission denied", false,
         "Cannot create file \"/home/ana/Brisko.pdf\". Permission denied. Halvik writes its "
         "reports into the folder it was started from, and this user may not write to /home/ana: "
         "start Halvik from a folder you can write to and press the button again, or write the "
         "report with halvik-cli report."},
        {"Cannot create file \"Brisko.pdf\". Read-only file system", false,
         "Cannot create file \"/home/ana/Brisko.pdf\". Read-only file system. Halvik writes its "
         "reports into the folder it was started from, and this user may not write to /home/ana: "
         "start Halvik from a folder you can write to and press the button again, or write the "
         "report with halvik-cli report."},
    };
    for (const Case& c : cases)
        EXPECT_EQ(reportFileErrorText(c.error, "Brisko.pdf", "/home/ana/Brisko.pdf", "/home/ana",
                                      c.folderWritable),
                  c.expected);
}

}  // namespace
}  // namespace halvik::testing

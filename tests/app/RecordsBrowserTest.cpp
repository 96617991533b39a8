// SPDX-License-Identifier: GPL-3.0-or-later
// The records browser on a real X server: the list from the index, sorting, filtering, opening a
// record with a double click and a compare of three records on one chart.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLegendMarker>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QRadioButton>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <filesystem>
#include <fstream>

#include "../support/ScopedEnvironment.h"
#include "AppTestSupport.h"
#include "RecordSamples.h"
#include "app/RecordsBrowser.h"
#include "app/TimeBaseChooser.h"
#include "app/WindowRecords.h"
#include "records/RecordStore.h"

namespace halvik::testing {
namespace {

namespace fs = std::filesystem;

class RecordsBrowserTest : public ::testing::Test {
  protected:
    static fs::path TemporaryFolder() {
        char pattern[] = "/tmp/halvik-browser-test-XXXXXX";
        return ::mkdtemp(pattern);
    }
    void TearDown() override {
        window.reset();
        fs::remove_all(dir_);
    }
    // Card `pid`'s download of `count` readings, all starting on 12 January 2026 at 08:00.
    std::string Keep(std::uint8_t pid, int count) {
        Record record = test::CardSample(count, pid, 12);
        for (std::size_t i = 1; i < record.readings.size(); i += 2)
            record.readings[i] = static_cast<std::uint8_t>(record.readings[i] + 16 * pid);
        return KeepRecord(record, records_).path.filename().string();
    }
    QString Cell(RecordsBrowser& browser, int row, int column) {
        return browser.table->model()->index(row, column).data().toString();
    }

    fs::path dir_ = TemporaryFolder();
    fs::path records_ = dir_ / "records";
    ScopedEnvironment recordsDir{"HALVIK_RECORDS_DIR", records_.string()};
    ScopedEnvironment cache{"XDG_CACHE_HOME", (dir_ / "cache").string()};
    ScopedEnvironment config{"XDG_CONFIG_HOME", (dir_ / "config").string()};
    SimHidPlatform platform;
    MessageRecorder recorder;
    std::unique_ptr<TForm3> window;
};

TEST_F(RecordsBrowserTest, ListsSortsFiltersOpensAndComparesThree) {
    fs::create_directories(records_);
    Keep(1, 240);
    const std::string second = Keep(2, 200);
    Keep(3, 180);
    std::ofstream(records_ / "broken.halvik") << "{";
    window = std::make_unique<TForm3>(platform);
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));

    QTest::keyClick(window.get(), Qt::Key_L, Qt::ControlModifier);
    auto* browser = window->findChild<RecordsBrowser*>("RecordsBrowser");
    ASSERT_NE(browser, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(browser));
    QAbstractItemModel* rows = browser->table->model();
    ASSERT_EQ(rows->rowCount(), 4);
    EXPECT_TRUE(browser->status->text().contains(
        "4 records in " + QString::fromStdString(records_.string()) + ", 1 cannot be read"))
        << browser->status->text().toStdString();

    // Sorted by the number of readings (a number, not a text): the unreadable file first.
    browser->table->sortByColumn(3, Qt::AscendingOrder);
    EXPECT_TRUE(Cell(*browser, 0, 9).startsWith("broken.halvik: Cannot open the record "));
    EXPECT_EQ(Cell(*browser, 1, 3), "180");
    EXPECT_EQ(Cell(*browser, 2, 3), "200");
    EXPECT_EQ(Cell(*browser, 3, 3), "240");
    EXPECT_EQ(Cell(*browser, 3, 2), "01 02 03 04 01");

    browser->filter->setText("04 02");
    ASSERT_EQ(rows->rowCount(), 1);
    EXPECT_EQ(Cell(*browser, 0, 9), QString::fromStdString(second));

    // A double click opens the record in the window.
    const QRect cell = browser->table->visualRect(rows->index(0, 0));
    QTest::mouseClick(browser->table->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(browser->table->viewport(), Qt::LeftButton, {}, cell.center());
    ASSERT_TRUE(window->records->shown().has_value());
    EXPECT_EQ(window->records->shown()->header[4], 2);
    EXPECT_EQ(recorder.errors(), std::vector<QString>{});

    // The three records (the one shown among them, drawn once) on one chart with a legend.
    browser->filter->clear();
    browser->table->sortByColumn(3, Qt::AscendingOrder);
    browser->table->selectRow(1);
    for (int row : {2, 3})
        browser->table->selectionModel()->select(
            rows->index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QDialog* compare = browser->compareSelected();
    ASSERT_NE(compare, nullptr) << browser->status->text().toStdString();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(compare));
    auto* view = compare->findChild<QChartView*>();
    ASSERT_NE(view, nullptr);
    const QList<QAbstractSeries*> series = view->chart()->series();
    ASSERT_EQ(series.size(), 3);
    QStringList names;
    for (QAbstractSeries* s : series) {
        names << s->name();
        EXPECT_EQ(view->chart()->legend()->markers(s).size(), 1);
    }
    names.sort();
    EXPECT_EQ(names,
              QStringList({"01 02 03 04 01  2026-01-12 08:00", "01 02 03 04 02  2026-01-12 08:00",
                           "01 02 03 04 03  2026-01-12 08:00"}));
    EXPECT_EQ(static_cast<QLineSeries*>(series[0])->count() +
                  static_cast<QLineSeries*>(series[1])->count() +
                  static_cast<QLineSeries*>(series[2])->count(),
              180 + 200 + 240);
    EXPECT_TRUE(view->chart()->legend()->isVisible());
    // The grid still shows the record opened.
    EXPECT_EQ(window->records->shown()->header[4], 2);
    // In the window's unit (°C) and time base (the card's clock).
    auto* timeAxis = qobject_cast<QCategoryAxis*>(view->chart()->axes(Qt::Horizontal).value(0));
    ASSERT_NE(timeAxis, nullptr);
    EXPECT_EQ(timeAxis->titleText(), "Time, UTC (card clock)");
    EXPECT_EQ(timeAxis->categoriesLabels().value(0), "12 Jan 08:00");
    EXPECT_EQ(view->chart()->axes(Qt::Vertical).value(0)->titleText(), "°C");
    const QList<QPointF> celsius = static_cast<QLineSeries*>(series[0])->points();
    const QString firstName = series[0]->name();

    // The window switched to °F and Tokyo's time: the next compare follows it.
    window->RadioButton2->setChecked(true);  // as when a °F record is shown
    ASSERT_TRUE(window->timeBase->choose("Asia/Tokyo"));
    QDialog* again = browser->compareSelected();
    ASSERT_NE(again, nullptr) << browser->status->text().toStdString();
    QChart* local = again->findChild<QChartView*>()->chart();
    auto* localAxis = qobject_cast<QCategoryAxis*>(local->axes(Qt::Horizontal).value(0));
    ASSERT_NE(localAxis, nullptr);
    EXPECT_TRUE(localAxis->titleText().startsWith("Time, Asia/Tokyo"))
        << localAxis->titleText().toStdString();
    EXPECT_EQ(localAxis->categoriesLabels().value(0), "12 Jan 17:00");
    EXPECT_EQ(local->axes(Qt::Vertical).value(0)->titleText(), "°F");
    QLineSeries* same = nullptr;
    for (QAbstractSeries* s : local->series())
        if (s->name() == QString(firstName).replace("08:00", "17:00"))
            same = static_cast<QLineSeries*>(s);
    ASSERT_NE(same, nullptr) << firstName.toStdString();
    ASSERT_EQ(same->count(), celsius.size());
    for (qsizetype i = 0; i < celsius.size(); ++i) {
        EXPECT_EQ(same->at(i).x(), celsius[i].x());
        EXPECT_NEAR(same->at(i).y(), celsius[i].y() * 1.8 + 32, 0.15)
            << i;  // both rounded to tenths
    }
    again->close();
    window->RadioButton1->setChecked(true);
    ASSERT_TRUE(window->timeBase->choose("UTC (card clock)"));

    const std::string artifacts = HALVIK_ARTIFACT_DIR;
    EXPECT_TRUE(browser->grab().save(QString::fromStdString(artifacts + "/records-browser.png")));
    EXPECT_TRUE(compare->grab().save(QString::fromStdString(artifacts + "/records-compare.png")));

    // Fewer than two: nothing drawn, the reason said.
    browser->table->clearSelection();
    EXPECT_EQ(browser->compareSelected(), nullptr);
    EXPECT_TRUE(browser->status->text().startsWith("Select at least two records"));

    // The Records button in the window opens the browser too.
    browser->close();
    auto* button = window->findChild<QPushButton*>("RecordsButton");
    ASSERT_NE(button, nullptr);
    EXPECT_TRUE(button->isVisible());
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_TRUE(browser->isVisible());
    EXPECT_TRUE(window->grab().save(QString::fromStdString(artifacts + "/records-button.png")));
}

}  // namespace
}  // namespace halvik::testing

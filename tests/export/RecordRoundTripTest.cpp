// SPDX-License-Identifier: GPL-3.0-or-later
// Every download is kept as a record; the record opened again in a window without the card shows
// what the download showed: the rows Copy All gives, the statistics, the Data Report's text. The
// CSV of the record holds the grid's texts. Opening a changed, foreign or missing file.

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QProcess>
#include <QProcessEnvironment>
#include <QShortcut>
#include <QStatusBar>
#include <QUrl>

#include "ExportTestSupport.h"
#include "app/ErrorBox.h"
#include "app/RecordReportButton.h"
#include "app/WindowRecords.h"
#include "records/Csv.h"
#include "records/RecordStore.h"
#include "views/widgets/DataGrid.h"
#include "views/widgets/TemperatureChart.h"

namespace halvik::testing {
namespace {

struct Shown {
    QString copyAll;
    std::vector<QString> captions;
    QString dataReport;
    QString status;
};

// What the window shows of its download: Copy All, the statistics captions, the Data Report's
// text as pdftotext reads it, Label10.
Shown shownBy(TForm3& w, const QString& reportFolder) {
    Shown shown;
    w.BitBtn11->click();
    shown.copyAll = QApplication::clipboard()->text();
    for (QLabel* label : {w.Label6, w.Label9, w.Label12, w.Label13, w.Label14, w.Label7, w.Label8,
                          w.Label1, w.Label11, w.Label19, w.Label4, w.Label5, w.Label20}) {
        shown.captions.push_back(label->text());
    }
    QFile::remove(reportFolder + "/Brisko.pdf");
    w.BitBtn9->click();
    shown.dataReport = pdfText(reportFolder + "/Brisko.pdf");
    shown.status = w.Label10->text();
    return shown;
}

// A PDF file's bytes with the time it was written (its /ModDate) blanked out.
QByteArray withoutModDate(const QString& file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) {
        return "cannot read " + file.toUtf8();
    }
    QByteArray bytes = f.readAll();
    const qsizetype at = bytes.indexOf("/ModDate (D:");
    if (at >= 0) {
        bytes.replace(at, bytes.indexOf(')', at) - at, "/ModDate");
    }
    return bytes;
}

// The grid's Date and Time texts ("  29 FEB  24", "    00:06") as the CSV writes the time.
QString isoTime(const std::string& date, const std::string& time) {
    const QStringList parts = QString::fromStdString(date).simplified().split(' ');
    const QStringList months = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
    if (parts.size() != 3 || !months.contains(parts[1])) {
        return "bad date " + QString::fromStdString(date);
    }
    return QString("%1-%2-%3T%4:00Z")
        .arg(2000 + parts[2].toInt())
        .arg(months.indexOf(parts[1]) + 1, 2, 10, QChar('0'))
        .arg(parts[0].toInt(), 2, 10, QChar('0'))
        .arg(QString::fromStdString(time).trimmed());
}

struct RoundTripCase {
    const char* name;
    std::vector<double> values;
    bool fahrenheit;
    CardDateTime first;
    std::size_t reportLimit;  // the card stops after this many reading reports
    const char* status;
};

class RecordRoundTrip : public ExportWindow, public ::testing::WithParamInterface<RoundTripCase> {};

TEST_P(RecordRoundTrip, TheRecordShowsWhatTheDownloadShowed) {
    const RoundTripCase& c = GetParam();
    std::vector<CardReading> readings;
    for (double value : c.values) {
        readings.push_back(EncodeReading(value));
    }
    LoggerCardImage image = LoggerCardImage::Make({7, 1, 2, 3, 4}, c.first, readings);
    card = std::make_unique<SimLoggerCard>(platform, image);
    card->SetReadingReportLimit(c.reportLimit);
    card->Plug();
    window = std::make_unique<TForm3>(platform);
    window->locale = LocaleSettings{};
    window->show();
    ASSERT_TRUE(waitFor([&] { return !window->download.PidText.empty(); }));
    if (c.fahrenheit) {
        window->RadioButton2->click();
    }
    window->BitBtn1->click();
    ASSERT_TRUE(waitFor([&] { return !window->isStaging(); }, 10000));
    const QString name = QString::asprintf("0701020304_%04d%02d%02dT%02d%02dZ_%zu.halvik",
                                           c.first.year, c.first.month, c.first.day, c.first.hour,
                                           c.first.minute, c.values.size());
    const QString recordPath = keptRecordPath(*window, name);
    ASSERT_FALSE(recordPath.isEmpty()) << window->StatusMessage->text().toStdString();
    ASSERT_TRUE(QFile::exists(recordPath)) << recordPath.toStdString();
    // The application's name once, at the end, where the window system looks for it.
    EXPECT_EQ(window->windowTitle(),
              QFileInfo(recordPath).fileName() + " \u2014 Temperature Recorder Card");
    const Shown original = shownBy(*window, folder.path());
    EXPECT_EQ(original.status, c.status);
    recorder.messages.clear();

    // The CSV holds the grid's texts, without blanks and with "." for the decimal separator.
    const LoadedRecord loaded = LoadRecord(recordPath.toStdString());
    EXPECT_TRUE(loaded.intact);
    const QStringList csv = QString::fromStdString(RecordCsv(loaded.record)).split('\n');
    const CellStore& grid = window->StringGrid1->cells();
    const int rows = grid.rowCount() - 1;
    ASSERT_EQ(csv.size(), rows + 2);  // header line, one line a reading, the final LF
    for (int row = 1; row <= rows; ++row) {
        const QStringList fields = csv[row].split(',');
        ASSERT_EQ(fields.size(), 4) << row;
        EXPECT_EQ(fields[0].toStdString(), grid.cell(0, row));
        EXPECT_EQ(fields[1], isoTime(grid.cell(1, row), grid.cell(2, row))) << row;
        const QString shownValue = QString::fromStdString(grid.cell(3, row)).trimmed();
        EXPECT_EQ(c.fahrenheit ? fields[3] : fields[2], shownValue) << row;
    }

    window.reset();
    card->Unplug();
    card.reset();
    window = std::make_unique<TForm3>(platform);
    window->locale = LocaleSettings{};
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    ASSERT_TRUE(window->openRecord(recordPath));
    EXPECT_TRUE(window->windowTitle().contains(QFileInfo(recordPath).fileName()));
    EXPECT_FALSE(window->windowTitle().contains("changed"));
    const Shown reopened = shownBy(*window, folder.path());
    EXPECT_EQ(reopened.copyAll, original.copyAll);
    EXPECT_EQ(reopened.captions, original.captions);
    EXPECT_EQ(reopened.dataReport, original.dataReport);
    EXPECT_EQ(reopened.status, original.status);
    EXPECT_EQ(window->RadioButton2->isChecked(), c.fahrenheit);
    EXPECT_FALSE(window->BitBtn1->isEnabled());  // no card
    EXPECT_TRUE(recorder.messages.empty());

    // halvik-cli report writes the window's two reports of the record, byte for byte but for the
    // time they were written, in its own process: run alone from a folder of its own with an
    // empty PATH and no display, it has no halvik to start and no screen to use.
    window->BitBtn6->click();
    const QString cliFolder = path("cli-alone");
    ASSERT_TRUE(QDir().mkpath(cliFolder));
    const QString cliAlone = cliFolder + "/halvik-cli";
    QFile::remove(cliAlone);
    ASSERT_TRUE(QFile::copy(HALVIK_CLI, cliAlone));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("DISPLAY");
    environment.remove("WAYLAND_DISPLAY");
    environment.insert("PATH", cliFolder + "/no-programs-here");
    QProcess cli;
    cli.setProcessEnvironment(environment);
    cli.start(cliAlone, {"report", recordPath, "--data", path("cli-data.pdf"), "--chart",
                         path("cli-chart.pdf")});
    ASSERT_TRUE(cli.waitForFinished(60000));
    EXPECT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
    EXPECT_EQ(qpdfCheck(path("cli-data.pdf")).exitCode, 0);
    EXPECT_EQ(qpdfCheck(path("cli-chart.pdf")).exitCode, 0);
    EXPECT_EQ(pdfText(path("cli-data.pdf")), original.dataReport);
    EXPECT_TRUE(withoutModDate(path("cli-data.pdf")) == withoutModDate(path(kDataReportFileName)))
        << "the Data Report differs from the window's";
    EXPECT_TRUE(withoutModDate(path("cli-chart.pdf")) == withoutModDate(path(kChartReportFileName)))
        << "the Chart Print differs from the window's";
}

std::vector<double> ramp(int count, double start, double step) {
    std::vector<double> values;
    for (int i = 0; i < count; ++i) {
        values.push_back(start + step * (i % 60));
    }
    return values;
}

INSTANTIATE_TEST_SUITE_P(Cases, RecordRoundTrip,
                         ::testing::Values(RoundTripCase{"ThreeReadings",
                                                         {20.0, 25.0, 30.0},
                                                         false,
                                                         {2014, 1, 7, 9, 0, 0},
                                                         SIZE_MAX,
                                                         "Downloaded"},
                                           RoundTripCase{"FahrenheitOverTheLeapDay",
                                                         ramp(500, 2.0, 0.25),
                                                         true,
                                                         {2024, 2, 28, 22, 0, 0},
                                                         SIZE_MAX,
                                                         "Downloaded"},
                                           RoundTripCase{"IncompleteAfterTwoReports",
                                                         ramp(300, -3.0, 0.5),
                                                         false,
                                                         {2026, 1, 12, 8, 0, 0},
                                                         2,
                                                         "Incomplete: 64 of 300"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ExportWindow, TheSameDownloadTwiceIsKeptOnceAndACsvCanBeExported) {
    download(cardWith({4.0, 5.0}));
    const QString name = "0102030405_20140107T0900Z_2.halvik";
    const QString first = keptRecordPath(*window, name);
    ASSERT_FALSE(first.isEmpty());
    window.reset();
    card->Unplug();
    card.reset();
    download(cardWith({4.0, 5.0}));
    ASSERT_EQ(keptRecordPath(*window, name, true), first);

    const QString csvPath = path("out.csv");
    window->records->chooseCsvFile = [&](const QString& proposed) {
        EXPECT_TRUE(proposed.endsWith(QFileInfo(first).completeBaseName() + ".csv"));
        return csvPath;
    };
    // Ctrl+E (the shortcut's signal: the test's window need not be the active one).
    int shortcuts = 0;
    for (QShortcut* shortcut : window->findChildren<QShortcut*>()) {
        if (shortcut->keys().contains(QKeySequence(Qt::CTRL | Qt::Key_E))) {
            ++shortcuts;
            Q_EMIT shortcut->activated();
        }
    }
    ASSERT_EQ(shortcuts, 1);
    QFile csv(csvPath);
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    EXPECT_EQ(csv.readAll(),
              "point,time_utc,celsius,fahrenheit\n"
              "1,2014-01-07T09:00:00Z,4.0,39.2\n"
              "2,2014-01-07T09:06:00Z,5.0,41.0\n");
    EXPECT_TRUE(window->StatusMessage->text().contains("Exported"));
}

TEST_F(ExportWindow, AChangedRecordOpensWithAWarningAndABadFileChangesNothing) {
    download(cardWith({4.0, 5.0, 6.0}));
    const QString kept = keptRecordPath(*window, "0102030405_20140107T0900Z_3.halvik");
    ASSERT_FALSE(kept.isEmpty());
    const QString before = window->windowTitle();
    const std::string copyAll = window->StringGrid1->cells().cell(3, 3);

    // Files that are not records: refused with the file's name, the window as it was.
    QFile foreign(path("notes.halvik"));
    ASSERT_TRUE(foreign.open(QIODevice::WriteOnly));
    foreign.write("{\"format\":\"something else\"}\n");
    foreign.close();
    for (const QString& bad : {path("notes.halvik"), path("missing.halvik"), folder.path()}) {
        recorder.messages.clear();
        EXPECT_FALSE(window->openRecord(bad));
        ASSERT_EQ(recorder.errors().size(), 1u) << bad.toStdString();
        EXPECT_TRUE(recorder.errors()[0].contains(QFileInfo(bad).fileName()))
            << recorder.errors()[0].toStdString();
        EXPECT_EQ(window->windowTitle(), before);
        EXPECT_EQ(window->StringGrid1->cells().cell(3, 3), copyAll);
    }
    recorder.messages.clear();

    // A reading changed after the download (one byte of its hex): shown, with the warning.
    const QString changed = changedCopy(kept, path("changed.halvik"));
    ASSERT_FALSE(changed.isEmpty());
    ASSERT_TRUE(window->openRecord(changed));
    EXPECT_EQ(window->windowTitle(),
              "changed.halvik (changed after download) \u2014 Temperature Recorder Card")
        << window->windowTitle().toStdString();
    EXPECT_TRUE(window->StatusMessage->text().contains("Changed after download"));
    EXPECT_TRUE(recorder.messages.empty());
}

// The window's own saves (the CSV export, the Data Report, the Chart Print and the Record Report)
// never write over a record: not the one shown, under any name, and not another one, found by
// its name or its first bytes. Each is refused with the file's name and the record is unchanged.
TEST_F(ExportWindow, NoSaveOfTheWindowWritesOverARecord) {
    download(cardWith({4.0, 5.0}));
    const QString kept = keptRecordPath(*window, "0102030405_20140107T0900Z_2.halvik");
    ASSERT_FALSE(kept.isEmpty());
    QFile keptFile(kept);
    ASSERT_TRUE(keptFile.open(QIODevice::ReadOnly));
    const QByteArray record = keptFile.readAll();
    keptFile.close();
    const auto place = [&](const QString& name, const QByteArray& bytes) {
        QFile::remove(path(name));
        QFile f(path(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path(name);
    };
    // The same record with a blank first: still a record to the loader, not by its first bytes.
    const QString shownJson = place("shown.json", " " + record);
    ASSERT_TRUE(QFile::link(kept, path("link.csv")));
    // The Record Report of a download is named after the record's usual name.
    ASSERT_TRUE(window->records->shown().has_value());
    const QString reportOfKept =
        QFileInfo(QString::fromStdString(RecordFileName(*window->records->shown())))
            .completeBaseName() +
        ".pdf";

    struct Case {
        const char* name;
        QString shown;   // the record open in the window: the download's own when empty
        QString target;  // the file the save would write
        std::function<void()> save;
    };
    const auto exportCsvTo = [&](const QString& target) {
        return [this, target] {
            window->records->chooseCsvFile = [target](const QString&) { return target; };
            window->records->exportCsv();  // as Ctrl+E calls it, through the error wrapper
        };
    };
    const auto press = [](QPushButton* button) { return [button] { button->click(); }; };
    const Case cases[] = {
        {"CSV over the record shown", {}, kept, {}},
        {"CSV over a link to it", {}, path("link.csv"), {}},
        {"CSV over another record", {}, place("other.halvik", record), {}},
        {"CSV over a record by its first bytes", {}, place("renamed.csv", record), {}},
        {"Data Report over a record", {}, place("Brisko.pdf", record), press(window->BitBtn9)},
        {"Chart Print over a record", {}, place("Brisko_C.pdf", record), press(window->BitBtn6)},
        {"Record Report over a record",
         {},
         place(QFileInfo(reportOfKept).fileName(), record),
         press(window->recordReport->button())},
        {"CSV over the record shown, renamed", shownJson, shownJson, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.shown.isEmpty()) {
            ASSERT_TRUE(window->openRecord(c.shown));
        }
        QFile target(c.target);
        ASSERT_TRUE(target.open(QIODevice::ReadOnly));
        const QByteArray before = target.readAll();
        target.close();
        recorder.messages.clear();
        if (c.save) {
            c.save();
        } else {
            runHandler(window.get(), exportCsvTo(c.target));
        }
        ASSERT_EQ(recorder.errors().size(), 1u);
        EXPECT_TRUE(recorder.errors()[0].contains("a record is never overwritten"))
            << recorder.errors()[0].toStdString();
        EXPECT_TRUE(recorder.errors()[0].contains(QFileInfo(c.target).fileName()))
            << recorder.errors()[0].toStdString();
        ASSERT_TRUE(target.open(QIODevice::ReadOnly));
        EXPECT_EQ(target.readAll(), before);
        target.close();
        EXPECT_FALSE(window->StatusMessage->text().contains("Exported"));
    }
    EXPECT_TRUE(viewerCalls().isEmpty());
    EXPECT_EQ(LoadRecord(kept.toStdString()).intact, true);
}

// A record's file name is bytes, and need not be UTF-8. Dropped on the window (a file URL with
// the name's bytes percent-escaped, as file managers send it) or chosen in the open dialog, the
// window opens that very file. A dialog that gives the name back as text (each byte that is not
// UTF-8 turned into U+FFFD) still opens it when one file of the folder reads so, and says why
// not when several do.
TEST_F(ExportWindow, RecordsWhoseNamesAreNotUtf8OpenFromADropAndTheDialog) {
    download(cardWith({4.0, 5.0}));
    const QString kept = keptRecordPath(*window, "0102030405_20140107T0900Z_2.halvik");
    ASSERT_FALSE(kept.isEmpty());
    const QByteArray dir = QFile::encodeName(folder.path());
    const QByteArray latin1 = dir + "/caf\xe9.halvik", twin = dir + "/caf\xe8.halvik",
                     alone = dir + "/\xff-alone.halvik";
    for (const QByteArray& name : {latin1, twin, alone})
        ASSERT_TRUE(std::filesystem::copy_file(kept.toStdString(), name.toStdString()));
    const auto exact = [](const QByteArray& name) {  // the name's bytes, percent-escaped
        return QUrl::fromEncoded("file://" + name.toPercentEncoding("/"));
    };
    const auto asText = [](const QByteArray& name) {  // through a name held as text
        return QUrl::fromLocalFile(QFile::decodeName(name));
    };
    const auto drop = [this](const QUrl& url) {
        QMimeData mime;
        mime.setData("text/uri-list", url.toEncoded() + "\r\n");  // as another program sends it
        QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &mime, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(window.get(), &enter);
        EXPECT_TRUE(enter.isAccepted());
        QDropEvent event(QPointF(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window.get(), &event);
    };
    const auto choose = [this](const QUrl& url) {
        window->records->chooseRecordFile = [url](const QString&) { return url; };
        runHandler(window.get(), [this] { window->records->openDialog(); });
    };
    struct Case {
        const char* name;
        std::function<void()> act;
        QByteArray opened;  // the file shown afterwards; empty: refused, nothing changed
    };
    const Case cases[] = {
        {"dropped", [&] { drop(exact(latin1)); }, latin1},
        {"dropped, another", [&] { drop(exact(alone)); }, alone},
        {"chosen as a URL", [&] { choose(exact(twin)); }, twin},
        {"chosen as text, one file reads so", [&] { choose(asText(alone)); }, alone},
        {"chosen as text, two files read so", [&] { choose(asText(latin1)); }, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(window->openRecord(kept));
        recorder.messages.clear();
        c.act();
        if (c.opened.isEmpty()) {
            ASSERT_EQ(recorder.errors().size(), 1u);
            EXPECT_TRUE(recorder.errors()[0].contains("2 files in"))
                << recorder.errors()[0].toStdString();
            EXPECT_EQ(window->records->shownPath(), kept.toStdString());
        } else {
            EXPECT_TRUE(recorder.messages.empty())
                << recorder.messages.front().second.toStdString();
            EXPECT_EQ(window->records->shownPath(), c.opened.toStdString());
            EXPECT_TRUE(
                window->windowTitle().startsWith(QFile::decodeName(c.opened.mid(dir.size() + 1))));
        }
    }
}

TEST_F(ExportWindow, ARecordThatCannotBeKeptIsSaidInAnErrorBoxAndTheDownloadIsShown) {
    const QString blocked = path("not-a-folder");
    QFile file(blocked);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    const QByteArray before = qgetenv("HALVIK_RECORDS_DIR");
    qputenv("HALVIK_RECORDS_DIR", blocked.toUtf8());
    download(cardWith({4.0, 5.0}));
    const bool said = waitFor([&] { return window->StatusMessage->text().contains("Not kept"); });
    qputenv("HALVIK_RECORDS_DIR", before);
    ASSERT_TRUE(said) << window->StatusMessage->text().toStdString();
    EXPECT_TRUE(window->StatusMessage->text().contains("not-a-folder"));
    // Not only a status-bar line: the error box says it too.
    ASSERT_TRUE(waitFor([&] { return !recorder.errors().empty(); }));
    EXPECT_EQ(recorder.errors().size(), 1u);
    EXPECT_TRUE(recorder.errors()[0].startsWith("Not kept: "))
        << recorder.errors()[0].toStdString();
    EXPECT_TRUE(recorder.errors()[0].contains("not-a-folder"));
    EXPECT_EQ(window->Label10->text(), "Downloaded");
    EXPECT_EQ(window->StringGrid1->cells().cell(3, 2), "            5.0");
}

}  // namespace
}  // namespace halvik::testing

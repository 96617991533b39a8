// SPDX-License-Identifier: GPL-3.0-or-later
// Select & Print and Print All from the window after a download of the demo card: printed to a
// PDF file through a dialog that the test answers, and end to end through a real CUPS queue
// with a cups-pdf printer and no dialog at all.

#include <QClipboard>
#include <QGuiApplication>
#include <QPrinter>
#include <iostream>

#include "../printing/CupsQueue.h"
#include "ExportTestSupport.h"
#include "app/DemoCard.h"
#include "printing/TableLayouts.h"
#include "printing/qt/PrinterCanvas.h"
#include "report/qt/Logo.h"
#include "views/widgets/DataGrid.h"

namespace halvik::testing {

namespace {

const QString kQueue = QStringLiteral("HalvikExportPDF");

// Answers the print dialogs: records which one was asked, may change the orientation as a user
// would, sends the job to a PDF file or a named printer, and confirms or cancels.
class AnsweringDialogs : public PrintDialogs {
  public:
    bool confirm(QPrinter& printer, PrintDialogName dialog) override {
        asked.push_back(dialog);
        if (chooseLandscape) {
            printer.setPageOrientation(QPageLayout::Landscape);
        }
        if (pageRange.first > 0) {
            printer.setPrintRange(QPrinter::PageRange);
            printer.setFromTo(pageRange.first, pageRange.second);
        }
        if (!printerName.isEmpty()) {
            printer.setPrinterName(printerName);
        } else if (!outputFile.isEmpty()) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(outputFile);
        }
        return answer;
    }

    bool answer = true;
    bool chooseLandscape = false;
    std::pair<int, int> pageRange{0, 0};  // "Pages from … to …", when first is not 0
    QString outputFile;
    QString printerName;
    std::vector<PrintDialogName> asked;
};

QString pdfInfo(const QString& pdf, const QString& field) {
    const QString out = QString::fromUtf8(runWhileServing("pdfinfo", {pdf}).out);
    for (const QString& line : out.split('\n')) {
        if (line.startsWith(field + ":")) {
            return line.mid(field.size() + 1).trimmed();
        }
    }
    return {};
}

// The words of one page, blanks collapsed.
QString pageText(const QString& pdf, int page) {
    const QString n = QString::number(page);
    return QString::fromUtf8(runWhileServing("pdftotext", {"-f", n, "-l", n, pdf, "-"}).out)
        .simplified();
}

// Words of `pdftotext -bbox` that start less than `points` from the page's left edge.
int wordsLeftOf(const QString& pdf, double points) {
    const QString boxes = QString::fromUtf8(runWhileServing("pdftotext", {"-bbox", pdf, "-"}).out);
    static const QRegularExpression word(R"re(<word xMin="([\d.]+)")re");
    int count = 0;
    for (auto it = word.globalMatch(boxes); it.hasNext();) {
        count += it.next().captured(1).toDouble() < points;
    }
    return count;
}

bool portrait(const QString& pdf) {
    // "595.276 x 841.89 pts (A4)"
    const QStringList size = pdfInfo(pdf, "Page size").split(' ');
    return size.size() >= 3 && size[0].toDouble() < size[2].toDouble();
}

class PrintFromWindow : public ExportWindow {
  protected:
    void SetUp() override {
        ExportWindow::SetUp();
        ASSERT_NO_FATAL_FAILURE(download(MakeDemoCardImage()));
        dialogs.outputFile = path("printed.pdf");
        window->exports().dialogs = &dialogs;
    }

    QPrinter& printer() { return *window->exports().printer; }

    AnsweringDialogs dialogs;
};

TEST_F(PrintFromWindow, SelectAndPrintPrintsTheSelectedRowsUnderItsTitle) {
    TForm3& w = *window;
    w.StringGrid1->selectRowRange(5, 8);
    w.BitBtn2->click();
    ASSERT_TRUE(recorder.messages.empty()) << recorder.messages.front().second.toStdString();
    EXPECT_EQ(dialogs.asked, std::vector<PrintDialogName>{PrintDialogName::PrintDialog1});
    EXPECT_EQ(w.download.PrintRowFirst, 5);
    EXPECT_EQ(w.download.PrintRowLast, 8);

    const QString file = dialogs.outputFile;
    EXPECT_EQ(pdfInfo(file, "Title"), "SELECTED TEMPERATURE DETAILS");
    EXPECT_EQ(pdfInfo(file, "Pages"), "1");
    const QString text = pageText(file, 1);
    EXPECT_TRUE(text.contains("SELECTED TEMPERATURE DETAILS")) << text.toStdString();
    EXPECT_TRUE(text.contains("PID :20 26 01 12 07")) << text.toStdString();
    EXPECT_TRUE(text.contains("Points")) << text.toStdString();
    // Rows 5 to 8 are 08:24 to 08:42; their neighbours are not printed.
    for (const char* time : {"08:24", "08:30", "08:36", "08:42"}) {
        EXPECT_TRUE(text.contains(time)) << time << "\n" << text.toStdString();
    }
    EXPECT_FALSE(text.contains("08:18"));
    EXPECT_FALSE(text.contains("08:48"));

    // The print logo went through the clipboard and stays there.
    EXPECT_TRUE(samePixels(w.exports().PrintLogo, toQImage(logoPicture())));
    EXPECT_TRUE(samePixels(clipboardImageSeenByXclip(), toQImage(logoPicture())));
    EXPECT_TRUE(viewerCalls().isEmpty());
}

TEST_F(PrintFromWindow, PrintAllPrintsEveryRowOnNumberedPortraitPages) {
    TForm3& w = *window;
    dialogs.chooseLandscape = true;  // Print All prints portrait whatever the dialog chose
    w.BitBtn10->click();
    ASSERT_TRUE(recorder.messages.empty()) << recorder.messages.front().second.toStdString();
    EXPECT_EQ(dialogs.asked, std::vector<PrintDialogName>{PrintDialogName::PrintDialog2});
    EXPECT_EQ(printer().pageLayout().orientation(), QPageLayout::Portrait);

    const AllRowsGeometry geometry = allRowsGeometry(printerMetrics(printer()), 1441);
    ASSERT_GT(geometry.pageCount, 1);
    const QString file = dialogs.outputFile;
    EXPECT_EQ(pdfInfo(file, "Title"), "TEMPERATURE DETAILS");
    EXPECT_EQ(pdfInfo(file, "Pages").toInt(), geometry.pageCount);
    EXPECT_TRUE(portrait(file));

    const QString total = QString::number(geometry.pageCount);
    const QString first = pageText(file, 1);
    EXPECT_TRUE(first.contains("TEMPERATURE DETAILS")) << first.toStdString();
    EXPECT_TRUE(first.contains("PID :20 26 01 12 07")) << first.toStdString();
    EXPECT_TRUE(first.contains("Page : 1 Total:" + total)) << first.toStdString();
    EXPECT_TRUE(first.contains("Points")) << first.toStdString();
    const QString last = pageText(file, geometry.pageCount);
    EXPECT_TRUE(last.contains("Page : " + total + " Total:" + total)) << last.toStdString();
    EXPECT_TRUE(last.contains("1440")) << last.toStdString();
    EXPECT_TRUE(last.contains("07:54")) << last.toStdString();
    EXPECT_FALSE(last.contains("PID")) << last.toStdString();
}

TEST_F(PrintFromWindow, APageRangeFromTheDialogPrintsThosePagesOnly) {
    TForm3& w = *window;
    const int total = allRowsGeometry(printerMetrics(printer()), 1441).pageCount;
    ASSERT_GE(total, 4);
    dialogs.pageRange = {2, 3};
    w.BitBtn10->click();
    ASSERT_TRUE(recorder.messages.empty()) << recorder.messages.front().second.toStdString();
    const QString file = dialogs.outputFile;
    EXPECT_EQ(pdfInfo(file, "Pages"), "2");
    // Each printed page is the page of the whole printout, numbered as there.
    const QString of = " Total:" + QString::number(total);
    EXPECT_TRUE(pageText(file, 1).contains("Page : 2" + of)) << pageText(file, 1).toStdString();
    EXPECT_TRUE(pageText(file, 2).contains("Page : 3" + of)) << pageText(file, 2).toStdString();
    EXPECT_FALSE(pageText(file, 1).contains("PID")) << "the PID caption is on page 1 only";

    // Select & Print honours a range too; one past its last page is an error, not a blank sheet.
    w.StringGrid1->selectRowRange(1, 100);
    dialogs.pageRange = {2, 2};
    w.BitBtn2->click();
    ASSERT_TRUE(recorder.messages.empty()) << recorder.messages.front().second.toStdString();
    EXPECT_EQ(pdfInfo(file, "Pages"), "1");
    EXPECT_TRUE(pageText(file, 1).contains("SELECTED TEMPERATURE DETAILS"));
    dialogs.pageRange = {4, 9};
    w.BitBtn2->click();
    EXPECT_EQ(recorder.errors(),
              std::vector<QString>{"The chosen pages are not in \"SELECTED TEMPERATURE DETAILS\", "
                                   "which has 3 pages."});
}

TEST_F(PrintFromWindow, CancelledDialogsPrintNothingButLeaveTheLogoOnTheClipboard) {
    TForm3& w = *window;
    dialogs.answer = false;
    w.StringGrid1->selectRowRange(2, 3);
    for (QPushButton* button : {w.BitBtn2, w.BitBtn10}) {
        SCOPED_TRACE(button->objectName().toStdString());
        QGuiApplication::clipboard()->setText("what the user had copied");
        button->click();
        EXPECT_TRUE(recorder.messages.empty());
        EXPECT_FALSE(QFile::exists(dialogs.outputFile));
        EXPECT_TRUE(samePixels(clipboardImageSeenByXclip(), toQImage(logoPicture())));
    }
    EXPECT_EQ(dialogs.asked, (std::vector<PrintDialogName>{PrintDialogName::PrintDialog1,
                                                           PrintDialogName::PrintDialog2}));
    EXPECT_EQ(w.download.PrintRowFirst, 0);
    EXPECT_EQ(w.download.PrintRowLast, 0);
}

TEST_F(PrintFromWindow, AJobThePrintingSystemRefusesShowsWhy) {
    TForm3& w = *window;
    dialogs.outputFile = path("missing/printed.pdf");
    w.BitBtn10->click();
    EXPECT_EQ(recorder.errors(),
              std::vector<QString>{"Cannot print \"TEMPERATURE DETAILS\" to the file " +
                                   dialogs.outputFile + ": its folder " + path("missing") +
                                   " does not exist."});
    // The window goes on: the next job prints.
    recorder.messages.clear();
    dialogs.outputFile = path("printed.pdf");
    w.BitBtn2->click();
    EXPECT_TRUE(recorder.messages.empty());
    EXPECT_EQ(pdfInfo(dialogs.outputFile, "Pages"), "1");
}

// A record changed after its download opens as it is, and everything that carries its values out
// of the window says so first: Copy All and Select & Copy on their first line, every page of
// Print All and Select & Print, and the Data Report and Chart Print files, in red. The intact
// record opened afterwards, and a live download, print as they always did.
TEST_F(PrintFromWindow, AChangedRecordIsMarkedOnEveryCopyPrintAndReport) {
    TForm3& w = *window;
    const QString kept = keptRecordPath(w, "141a010c07_20260112T0800Z_1440.halvik");
    ASSERT_FALSE(kept.isEmpty());
    const QString changed = changedCopy(kept, path("changed.halvik"));
    ASSERT_FALSE(changed.isEmpty());

    const QString warning = "CHANGED AFTER DOWNLOAD: do not trust these values";
    struct Shown {
        QString name;
        QString text;  // the clipboard, or every page's text
        int pages = 1;
    };
    // Everything the window lets out of the record shown.
    const auto everyOutput = [&] {
        std::vector<Shown> shown;
        w.BitBtn11->click();
        shown.push_back({"Copy All", QGuiApplication::clipboard()->text()});
        w.StringGrid1->selectRowRange(3, 4);
        w.BitBtn12->click();
        shown.push_back({"Select & Copy", QGuiApplication::clipboard()->text()});
        for (QPushButton* button : {w.BitBtn10, w.BitBtn2}) {
            if (button == w.BitBtn2)
                w.StringGrid1->selectRowRange(1, 200);  // two pages
            QFile::remove(dialogs.outputFile);
            button->click();
            const int pages = pdfInfo(dialogs.outputFile, "Pages").toInt();
            for (int page = 1; page <= pages; ++page)
                shown.push_back({button->text() + " page " + QString::number(page),
                                 pageText(dialogs.outputFile, page), pages});
        }
        w.BitBtn9->click();
        shown.push_back({"Data Report", pdfText(path("Brisko.pdf"))});
        w.BitBtn6->click();
        shown.push_back({"Chart Print", pdfText(path("Brisko_C.pdf"))});
        return shown;
    };

    ASSERT_TRUE(w.openRecord(changed));
    for (const Shown& s : everyOutput()) {
        SCOPED_TRACE(s.name.toStdString());
        if (s.name.contains("Copy")) {
            EXPECT_TRUE(s.text.startsWith(warning + "\r\n")) << s.text.left(200).toStdString();
        } else {
            EXPECT_TRUE(s.text.contains(warning)) << s.text.left(400).toStdString();
        }
        EXPECT_EQ(s.text.count(warning), 1);
        if (s.name == "Select & Copy") {  // the warning, then both rows
            EXPECT_EQ(s.text.split("\r\n").size(), 3);
        }
        EXPECT_GE(s.pages, s.name.contains("Print") && !s.name.contains("Chart") ? 2 : 1);
    }

    ASSERT_TRUE(w.openRecord(kept));
    for (const Shown& s : everyOutput()) {
        SCOPED_TRACE(s.name.toStdString());
        EXPECT_FALSE(s.text.contains("CHANGED")) << s.text.left(200).toStdString();
    }
    EXPECT_TRUE(recorder.messages.empty()) << recorder.messages.front().second.toStdString();
}

// ---- Through a real print queue ----

struct QueueJob {
    int exitCode = -1;
    int expectedPages = 0;
    QString output;
};

// Prints from a child process (this program with --print-from-window), so that its CUPS client
// talks to the private daemon only.
QueueJob printInChild(const PrivateCups& cups, const QString& kind) {
    QProcess child;
    QProcessEnvironment env = cups.env();
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {"--print-from-window", kQueue, kind});
    QueueJob job;
    if (!child.waitForFinished(180000)) {
        child.kill();
        child.waitForFinished(5000);
    }
    job.exitCode = child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1;
    job.output = QString::fromUtf8(child.readAllStandardOutput() + child.readAllStandardError());
    for (const QString& line : job.output.split('\n')) {
        if (line.startsWith("pages=")) {
            job.expectedPages = line.mid(6).toInt();
        }
    }
    return job;
}

TEST(PrintQueue, BothPrintButtonsPrintThroughACupsPdfQueueWithoutADialog) {
    PrivateCups cups;
    const QString why = cups.start();
    if (!why.isEmpty() && cups.missingPackage() != nullptr)
        HALVIK_SKIP_FOR_PACKAGE(cups.missingPackage(), why.toStdString());
    if (!why.isEmpty()) {
        GTEST_SKIP() << "CUPS cannot start here: " << why.toStdString();
    }
    const CupsCommand added = cupsCommand(
        "lpadmin", {"-p", kQueue, "-E", "-v", "cups-pdf:/", "-P", PrivateCups::ppd()}, cups.env());
    ASSERT_EQ(added.exitCode, 0) << added.err.toStdString();
    const QString folder = cupsPdfOutputFolder();

    struct Job {
        QString kind;
        QString title;  // cups-pdf names its file after the job title
        int minPages;
    };
    for (const Job& job : {Job{"all", "TEMPERATURE_DETAILS", 14},
                           Job{"selected", "SELECTED_TEMPERATURE_DETAILS", 2}}) {
        SCOPED_TRACE(job.kind.toStdString());
        const QStringList before = cups.completedJobs(kQueue);
        const QueueJob child = printInChild(cups, job.kind);
        ASSERT_EQ(child.exitCode, 0) << child.output.toStdString();
        EXPECT_TRUE(child.output.contains("printer=" + kQueue)) << child.output.toStdString();
        EXPECT_GE(child.expectedPages, job.minPages) << child.output.toStdString();

        const QStringList ids = cups.waitForCompletedJob(kQueue, before);
        ASSERT_EQ(ids.size(), before.size() + 1) << "the job did not complete\n"
                                                 << cups.log().toStdString();
        const QString pdf = waitForJobPdf(
            folder, ids.last(), [](const QString& file) { return pdfInfo(file, "Pages").toInt(); });
        ASSERT_FALSE(pdf.isEmpty()) << "no cups-pdf file for job " << ids.last().toStdString()
                                    << " in " << folder.toStdString() << "\n"
                                    << cups.log().toStdString();
        EXPECT_TRUE(QFileInfo(pdf).fileName().startsWith(job.title)) << pdf.toStdString();
        EXPECT_EQ(pdfInfo(pdf, "Pages").toInt(), child.expectedPages) << child.output.toStdString();
        EXPECT_TRUE(portrait(pdf));
        if (job.kind == "all") {
            // Ghostscript's rewrite keeps no readable text, but every word keeps its box: the
            // Points cells are the only words near the left edge, one per printed grid row.
            EXPECT_EQ(wordsLeftOf(pdf, 60), 1441) << "the caption row and 1,440 readings";
        }
        QFile::remove(pdf);
    }
}

}  // namespace

// The child of the queue test: downloads the demo card into a window, answers the print dialog
// with the queue's name, presses Print All or (with rows 1 to 100 selected) Select & Print, and
// says how many pages the job should have.
int printFromWindowChild(int argc, char** argv) {
    if (argc < 4) {
        std::cerr << "usage: --print-from-window QUEUE all|selected\n";
        return 2;
    }
    const QString queue = QString::fromLocal8Bit(argv[2]);
    const bool all = std::string(argv[3]) == "all";
    MessageRecorder recorder;
    SimHidPlatform platform;
    std::unique_ptr<SimLoggerCard> card;
    std::unique_ptr<TForm3> window;
    const QString problem = downloadCard(platform, MakeDemoCardImage(), false, card, window);
    if (!problem.isEmpty()) {
        std::cerr << problem.toStdString() << "\n";
        return 1;
    }
    AnsweringDialogs dialogs;
    dialogs.printerName = queue;
    window->exports().dialogs = &dialogs;
    if (all) {
        window->BitBtn10->click();
    } else {
        window->StringGrid1->selectRowRange(1, 100);
        window->BitBtn2->click();
    }
    for (const QString& error : recorder.errors()) {
        std::cerr << "error box: " << error.toStdString() << "\n";
    }
    QPrinter& printer = *window->exports().printer;
    const PrinterMetrics metrics = printerMetrics(printer);
    const CellStore& cells = window->StringGrid1->cells();
    const int pages =
        all ? allRowsGeometry(metrics, cells.rowCount()).pageCount
            : layoutSelectedRows({cells, ""}, kSelectedRowsTitle, 1, 100, metrics).pageCount;
    std::cout << "printer=" << printer.printerName().toStdString() << "\n"
              << "pages=" << pages << std::endl;
    const bool ok = recorder.errors().empty() && dialogs.asked.size() == 1;
    window.reset();
    card.reset();
    return ok ? 0 : 1;
}

}  // namespace halvik::testing

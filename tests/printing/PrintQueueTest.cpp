// SPDX-License-Identifier: GPL-3.0-or-later
// End to end through a real print queue: a private CUPS daemon with a cups-pdf printer. The jobs
// are printed by a child process (this binary with --print-to-queue) so that its CUPS client
// talks to the private daemon only.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTextStream>
#include <QThread>
#include <charconv>
#include <iostream>
#include <string_view>
#include <system_error>

#include "CupsQueue.h"
#include "PdfTools.h"
#include "PrintFixtures.h"
#include "printing/TableLayouts.h"
#include "printing/qt/PrintJobs.h"
#include "printing/qt/PrinterCanvas.h"

namespace halvik::testing {

namespace {

const QString kQueue = QStringLiteral("HalvikPDF");

struct ChildJob {
    int expectedPages = 0;
    int exitCode = -1;
    QString output;
};

ChildJob printInChild(const PrivateCups& cups, const QString& kind, int readings) {
    QProcess child;
    child.setProcessEnvironment(cups.env());
    child.start(QCoreApplication::applicationFilePath(),
                {"--print-to-queue", kQueue, kind, QString::number(readings)});
    child.waitForFinished(120000);
    ChildJob job;
    job.exitCode = child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1;
    job.output = QString::fromUtf8(child.readAllStandardOutput() + child.readAllStandardError());
    for (const QString& line : job.output.split('\n')) {
        if (line.startsWith("pages="))
            job.expectedPages = line.mid(6).toInt();
    }
    return job;
}

}  // namespace

int printToQueueChild(int argc, char** argv) {
    if (argc < 5) {
        std::cerr << "usage: --print-to-queue QUEUE selected|all READINGS\n";
        return 2;
    }
    const QString queue = QString::fromLocal8Bit(argv[2]);
    const std::string kind = argv[3];
    int readings = 0;
    const std::string_view count = argv[4];
    const auto parsed = std::from_chars(count.data(), count.data() + count.size(), readings);
    if (parsed.ec != std::errc() || parsed.ptr != count.data() + count.size() || readings < 0) {
        std::cerr << "--print-to-queue: READINGS is a count, not " << count << "\n";
        return 2;
    }

    class QueueDialogs : public PrintDialogs {
      public:
        explicit QueueDialogs(QString queue) : queue_(std::move(queue)) {}
        bool confirm(QPrinter& printer, PrintDialogName) override {
            printer.setPrinterName(queue_);
            return true;
        }

      private:
        QString queue_;
    } dialogs(queue);
    SystemPictureClipboard clipboard;

    const CellStore cells = downloadedGrid(readings);
    const PrintSources sources{cells, "( PID :12 34 56 78 9A)", logoPicture()};
    QPrinter printer(QPrinter::HighResolution);
    TablePrinter tables(printer, dialogs, clipboard);
    QImage printLogo;
    int first = 0, last = 0;
    PrintOutcome outcome = PrintOutcome::Cancelled;
    try {
        outcome = kind == "all"
                      ? tables.printAll(sources, printLogo)
                      : tables.printSelected(sources, 1, readings, first, last, printLogo);
    } catch (const std::exception& e) {
        std::cerr << "error box: " << e.what() << "\n";
    }
    const PrinterMetrics metrics = printerMetrics(printer);
    const int pages =
        kind == "all"
            ? allRowsGeometry(metrics, cells.rowCount()).pageCount
            : layoutSelectedRows({cells, ""}, kSelectedRowsTitle, 1, readings, metrics).pageCount;
    std::cout << "printer=" << printer.printerName().toStdString() << "\n"
              << "dpi=" << metrics.dpiY << " printable=" << metrics.printableWidth << "x"
              << metrics.printableHeight << "\n"
              << "pages=" << pages << std::endl;
    return outcome == PrintOutcome::Printed ? 0 : 1;
}

TEST(PrintQueue, BothTablesComeOutOfACupsPdfPrinter) {
    PrivateCups cups;
    const QString why = cups.start();
    if (!why.isEmpty() && cups.missingPackage() != nullptr)
        HALVIK_SKIP_FOR_PACKAGE(cups.missingPackage(), why.toStdString());
    if (!why.isEmpty())
        GTEST_SKIP() << "CUPS cannot start here: " << why.toStdString();

    const CupsCommand added = cupsCommand(
        "lpadmin", {"-p", kQueue, "-E", "-v", "cups-pdf:/", "-P", PrivateCups::ppd()}, cups.env());
    ASSERT_EQ(added.exitCode, 0) << added.err.toStdString();
    const QString folder = cupsPdfOutputFolder();

    struct Job {
        QString kind;
        int readings;
        int minPages;
    };
    const std::vector<Job> jobs{{"all", 1000, 14}, {"selected", 100, 2}};
    for (const Job& job : jobs) {
        SCOPED_TRACE(job.kind.toStdString());
        const QStringList before = cups.completedJobs(kQueue);
        const ChildJob child = printInChild(cups, job.kind, job.readings);
        ASSERT_EQ(child.exitCode, 0) << child.output.toStdString();
        EXPECT_TRUE(child.output.contains("printer=" + kQueue)) << child.output.toStdString();
        EXPECT_TRUE(child.output.contains("dpi=600")) << child.output.toStdString();
        EXPECT_GE(child.expectedPages, job.minPages) << child.output.toStdString();

        const QStringList ids = cups.waitForCompletedJob(kQueue, before);
        ASSERT_EQ(ids.size(), before.size() + 1) << "the job did not complete\n"
                                                 << cups.log().toStdString();
        const QString pdf = waitForJobPdf(folder, ids.last(), pdfPages);
        ASSERT_FALSE(pdf.isEmpty()) << "no cups-pdf file for job " << ids.last().toStdString()
                                    << " in " << folder.toStdString() << "\n"
                                    << cups.log().toStdString();
        EXPECT_EQ(pdfPages(pdf), child.expectedPages) << child.output.toStdString();
        const QStringList size = pdfInfo(pdf, "Page size").split(' ');
        ASSERT_GE(size.size(), 3);
        EXPECT_LT(size[0].toDouble(), size[2].toDouble()) << "portrait";
        QFile::remove(pdf);
    }
}

}  // namespace halvik::testing

// End to end through a real print queue: a private CUPS daemon with a cups-pdf printer. The jobs
// are printed by a child process (this binary with --print-to-queue) so that its CUPS client
// talks to the private daemon only.
#include <gtest/gtest.h>

#include <pwd.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <iostream>

#include "PdfTools.h"
#include "PrintFixtures.h"
#include "printing/TableLayouts.h"
#include "printing/qt/PrintJobs.h"
#include "printing/qt/PrinterCanvas.h"

namespace halvik::testing {

namespace {

const QString kQueue = QStringLiteral("HalvikPDF");
const QString kCupsd = QStringLiteral("/usr/sbin/cupsd");
const QString kPpd = QStringLiteral("/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd");
const QString kBackend = QStringLiteral("/usr/lib/cups/backend/cups-pdf");

bool writeFile(const QString& path, const QString& text) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    f.write(text.toUtf8());
    return true;
}

// A CUPS daemon of the test's own: configuration, spool and socket in a temporary folder, job
// numbers starting at a random value so that its cups-pdf files cannot be mistaken for another
// daemon's.
class PrivateCups {
  public:
    ~PrivateCups() {
        if (daemon_.state() != QProcess::NotRunning) {
            daemon_.terminate();
            if (!daemon_.waitForFinished(10000)) {
                daemon_.kill();
                daemon_.waitForFinished(5000);
            }
        }
    }

    // Empty on success, else why CUPS cannot run here.
    QString start() {
        if (geteuid() != 0)
            return "cupsd runs the cups-pdf backend only as root";
        if (!QFileInfo::exists(kCupsd))
            return "cupsd is not installed";
        if (!QFileInfo::exists(kPpd) || !QFileInfo::exists(kBackend)) {
            return "the cups-pdf printer driver is not installed";
        }
        if (!dir_.isValid())
            return "no temporary folder";
        const QString d = dir_.path();
        QFile::setPermissions(d, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                     QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                     QFile::ExeOther);
        for (const char* sub : {"etc", "spool/tmp", "cache", "run", "log"}) {
            QDir().mkpath(d + "/" + sub);
        }
        socket_ = d + "/cups.sock";
        const bool written =
            writeFile(d + "/etc/cups-files.conf",
                      QString("ServerRoot %1/etc\nRequestRoot %1/spool\nTempDir %1/spool/tmp\n"
                              "CacheDir %1/cache\nStateDir %1/run\nErrorLog %1/log/error_log\n"
                              "AccessLog %1/log/access_log\nPageLog %1/log/page_log\n"
                              "Printcap %1/printcap\nSystemGroup root\n")
                          .arg(d)) &&
            writeFile(d + "/etc/cupsd.conf",
                      QString("LogLevel info\nListen %1\nBrowsing Off\nWebInterface No\n"
                              "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
                              "<Policy default>\n  <Limit All>\n    Order deny,allow\n"
                              "  </Limit>\n</Policy>\n")
                          .arg(socket_)) &&
            writeFile(
                d + "/cache/job.cache",
                QString("NextJobId %1\n").arg(QRandomGenerator::global()->bounded(10000, 2000000)));
        if (!written)
            return "cannot write the daemon's configuration";

        daemon_.setProcessChannelMode(QProcess::MergedChannels);
        daemon_.start(kCupsd,
                      {"-f", "-c", d + "/etc/cupsd.conf", "-s", d + "/etc/cups-files.conf"});
        if (!daemon_.waitForStarted(10000))
            return "cupsd did not start: " + daemon_.errorString();
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 15000) {
            if (daemon_.state() == QProcess::NotRunning) {
                return "cupsd stopped at once: " + QString::fromUtf8(daemon_.readAll()).trimmed();
            }
            if (QFileInfo::exists(socket_) &&
                runCommand("lpstat", {"-r"}, env()).out.contains("is running")) {
                return {};
            }
            QThread::msleep(100);
        }
        return "cupsd did not answer within 15 s: " + log();
    }

    QProcessEnvironment env() const {
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert("CUPS_SERVER", socket_);
        return e;
    }

    QString log() const {
        QFile f(dir_.path() + "/log/error_log");
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(f.readAll()).right(3000);
    }

  private:
    QTemporaryDir dir_{QDir::tempPath() + "/halvik-cups-XXXXXX"};
    QString socket_;
    QProcess daemon_;
};

// Where cups-pdf puts the jobs of the user running the tests.
QString cupsPdfOutputFolder() {
    QString out = "${HOME}/PDF";
    QFile conf("/etc/cups/cups-pdf.conf");
    if (conf.open(QIODevice::ReadOnly)) {
        for (const QString& line : QString::fromUtf8(conf.readAll()).split('\n')) {
            const QString l = line.trimmed();
            if (l.startsWith("Out "))
                out = l.mid(4).trimmed();
        }
    }
    const passwd* pw = getpwuid(geteuid());
    out.replace("${HOME}", pw ? QString::fromLocal8Bit(pw->pw_dir) : QDir::homePath());
    out.replace("${USER}", pw ? QString::fromLocal8Bit(pw->pw_name) : QString());
    return out;
}

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

// The completed jobs of the queue, oldest first.
QStringList completedJobIds(const PrivateCups& cups) {
    QStringList ids;
    const CommandResult r = runCommand("lpstat", {"-W", "completed", "-o", kQueue}, cups.env());
    for (const QString& line : r.out.split('\n')) {
        const QString first = line.section(' ', 0, 0);
        if (first.startsWith(kQueue + "-"))
            ids << first.mid(kQueue.size() + 1);
    }
    std::sort(ids.begin(), ids.end(),
              [](const QString& a, const QString& b) { return a.toLongLong() < b.toLongLong(); });
    return ids;
}

QString waitForPdf(const QString& folder, const QString& jobId) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 60000) {
        const QStringList found = QDir(folder).entryList({"*-job_" + jobId + ".pdf"}, QDir::Files);
        if (!found.isEmpty()) {
            const QString path = folder + "/" + found.first();
            if (pdfPages(path) > 0)
                return path;
        }
        QThread::msleep(200);
    }
    return {};
}

}  // namespace

int printToQueueChild(int argc, char** argv) {
    if (argc < 5) {
        std::cerr << "usage: --print-to-queue QUEUE selected|all READINGS\n";
        return 2;
    }
    const QString queue = QString::fromLocal8Bit(argv[2]);
    const std::string kind = argv[3];
    const int readings = std::atoi(argv[4]);

    class QueueUi : public PrintUi {
      public:
        explicit QueueUi(QString queue) : queue_(std::move(queue)) {}
        bool confirm(QPrinter& printer, PrintDialogKind) override {
            printer.setPrinterName(queue_);
            return true;
        }
        void showError(const QString& message) override {
            std::cerr << "error box: " << message.toStdString() << "\n";
        }

      private:
        QString queue_;
    } ui(queue);

    const CellStore cells = downloadedGrid(readings);
    const PrintSources sources{cells, "( PID :12 34 56 78 9A)", logoPicture()};
    TablePrinter printer(ui);
    QImage printLogo;
    int first = 0, last = 0;
    const PrintOutcome outcome =
        kind == "all" ? printer.printAll(sources, printLogo)
                      : printer.printSelected(sources, 1, readings, first, last, printLogo);
    const PrinterMetrics metrics = printerMetrics(printer.printer());
    const int pages =
        kind == "all"
            ? allRowsGeometry(metrics, cells.rowCount()).pageCount
            : layoutSelectedRows({cells, ""}, kSelectedRowsTitle, 1, readings, metrics).pageCount;
    std::cout << "printer=" << printer.printer().printerName().toStdString() << "\n"
              << "dpi=" << metrics.dpiY << " printable=" << metrics.printableWidth << "x"
              << metrics.printableHeight << "\n"
              << "pages=" << pages << std::endl;
    return outcome == PrintOutcome::Printed ? 0 : 1;
}

TEST(PrintQueue, BothTablesComeOutOfACupsPdfPrinter) {
    PrivateCups cups;
    const QString why = cups.start();
    if (!why.isEmpty())
        GTEST_SKIP() << "CUPS cannot start here: " << why.toStdString();

    const CommandResult added =
        runCommand("lpadmin", {"-p", kQueue, "-E", "-v", "cups-pdf:/", "-P", kPpd}, cups.env());
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
        const QStringList before = completedJobIds(cups);
        const ChildJob child = printInChild(cups, job.kind, job.readings);
        ASSERT_EQ(child.exitCode, 0) << child.output.toStdString();
        EXPECT_TRUE(child.output.contains("printer=" + kQueue)) << child.output.toStdString();
        EXPECT_TRUE(child.output.contains("dpi=600")) << child.output.toStdString();
        EXPECT_GE(child.expectedPages, job.minPages) << child.output.toStdString();

        QStringList ids;
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 60000 && (ids = completedJobIds(cups)).size() == before.size()) {
            QThread::msleep(200);
        }
        ASSERT_EQ(ids.size(), before.size() + 1) << "the job did not complete\n"
                                                 << cups.log().toStdString();
        const QString pdf = waitForPdf(folder, ids.last());
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

// SPDX-License-Identifier: GPL-3.0-or-later
// Data Report and Chart Print through the window after a download of the demo card: the files
// as qpdf, pdftotext and pdfimages read them, the chart on screen and on the clipboard
// afterwards, the viewer call, and the failures (a file that cannot be written, a clipboard that
// refuses the pictures).

#include <sys/resource.h>
#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QStatusBar>
#include <QUrl>
#include <csignal>

#include "ExportTestSupport.h"
#include "ViewerRequests.h"
#include "app/DemoCard.h"
#include "report/qt/Logo.h"
#include "views/widgets/Clipboard.h"
#include "views/widgets/DataGrid.h"
#include "views/widgets/TemperatureChart.h"

namespace halvik::testing {
namespace {

QImage logoImage() {
    return toQImage(logoPicture());
}

// The PDF string of a caption as the report writer puts it in the content: (text) Tj.
QByteArray shown(const std::string& caption) {
    QByteArray escaped = QByteArray::fromStdString(caption);
    escaped.replace("\\", "\\\\").replace("(", "\\(").replace(")", "\\)");
    return "(" + escaped + ") Tj";
}

bool waitForViewerCalls(int count) {
    return waitFor([&] { return viewerCalls().size() >= count; }, 10000);
}

struct UnitCase {
    bool fahrenheit;
    QString unit;
};

void PrintTo(const UnitCase& c, std::ostream* out) {
    *out << (c.fahrenheit ? "Fahrenheit" : "Celsius");
}

class DataReport : public ExportWindow, public ::testing::WithParamInterface<UnitCase> {};

TEST_P(DataReport, WritesStatisticsAndTheUnzoomedChartThenOpensTheViewer) {
    const UnitCase& c = GetParam();
    ASSERT_NO_FATAL_FAILURE(download(MakeDemoCardImage(), c.fahrenheit));
    TForm3& w = *window;
    const QImage unzoomed = w.Chart1->renderImage();
    w.BitBtn4->click();
    w.BitBtn4->click();
    ASSERT_TRUE(w.Chart1->isZoomed());
    ASSERT_FALSE(samePixels(w.Chart1->renderImage(), unzoomed));
    QGuiApplication::clipboard()->setText("what the user had copied");

    w.BitBtn9->click();
    ASSERT_TRUE(recorder.messages.empty()) << recorder.messages.front().second.toStdString();

    // The chart on screen is unzoomed, as by the undo-zoom button.
    EXPECT_FALSE(w.Chart1->isZoomed());
    EXPECT_TRUE(samePixels(w.Chart1->renderImage(), unzoomed));

    const QString file = path("Brisko.pdf");
    ASSERT_TRUE(QFile::exists(file));
    const ProcessResult check = qpdfCheck(file);
    EXPECT_EQ(check.exitCode, 0) << check.out.toStdString() << check.err.toStdString();

    // Objects in the order the report writer makes them.
    const PdfObjects pdf = readPdfObjects(file);
    ASSERT_EQ(pdf.objects.size(), 9u);
    const std::vector<std::pair<int, QList<QByteArray>>> order{
        {1, {"/Type /Catalog", "/Pages 3 0 R", "/PageMode /UseNone", "/PageLayout /SinglePage"}},
        {2, {"/Creator (BRISKO)", "/CreationDate (D:20130304001044)", "/Author ()"}},
        {3, {"/Type /Pages", "/Kids [4 0 R ]"}},
        {4,
         {"/Type /Page", "/MediaBox [0 0 809 891 ]", "/RpImage1 7 0 R", "/RpImage2 8 0 R",
          "/F0 6 0 R", "/F1 9 0 R", "/Contents 5 0 R"}},
        {5, {"/Length"}},
        {6, {"/BaseFont /Helvetica", "/Name /F0"}},
        {7, {"/Subtype /Image", "/Width 397", "/Height 376"}},
        {8, {"/Subtype /Image", "/Width 850", "/Height 401"}},
        {9, {"/BaseFont /Helvetica-Bold", "/Name /F1"}},
    };
    for (const auto& [number, parts] : order) {
        for (const QByteArray& part : parts) {
            EXPECT_TRUE(pdf.objects.at(number).contains(part))
                << "object " << number << " lacks " << part.toStdString() << ":\n"
                << pdf.objects.at(number).toStdString();
        }
    }
    EXPECT_FALSE(pdf.objects.at(6).contains("Helvetica-"));
    EXPECT_TRUE(pdf.trailer.contains("/Size 10")) << pdf.trailer.toStdString();

    // The texts as the window shows them, with all their blanks.
    const QByteArray content = contentStream(file, 5);
    const CellStore& cells = w.StringGrid1->cells();
    const std::string pid = w.Label6->text().toStdString();
    for (const std::string& caption :
         {pid, std::string("  12 JAN"), "2026," + cells.cell(2, 1), std::string("  18 JAN"),
          "2026," + cells.cell(2, 1440), w.Label12->text().toStdString(),
          w.Label13->text().toStdString(), w.Label14->text().toStdString(),
          w.Label9->text().toStdString(), w.Label19->text().toStdString(),
          std::string("Start Date&Time     :"), std::string("6 min")}) {
        EXPECT_TRUE(content.contains(shown(caption))) << caption;
    }
    EXPECT_EQ(cells.cell(2, 1), "    08:00");
    EXPECT_EQ(cells.cell(2, 1440), "    07:54");

    // What a reader extracts: captions, values, and the unit three times.
    const QString text = pdfText(file);
    for (const QString& expected :
         {QString("Data Report"), QString("Temperature Statistics"), QString("Max. Temperature"),
          QString("Min. Temperature"), QString("MKT(DH:83.144)"), QString("Data Points"),
          QString("Elapsed Time"), QString("Log Interval"), QString("6 min"),
          w.Label12->text().trimmed(), w.Label13->text().trimmed(), w.Label14->text().trimmed(),
          w.Label9->text().trimmed(), w.Label19->text().simplified(), w.Label6->text().trimmed(),
          QString("12 JAN 2026, 08:00"), QString("18 JAN 2026, 07:54")}) {
        EXPECT_TRUE(text.simplified().contains(expected)) << expected.toStdString() << "\n"
                                                          << text.toStdString();
    }
    EXPECT_EQ(text.count(c.unit), 3) << text.toStdString();
    EXPECT_EQ(text.count(c.fahrenheit ? "°C" : "°F"), 0);

    // The logo and the unzoomed chart, pixel for pixel.
    const std::vector<QImage> images = pdfImages(file, folder.path());
    ASSERT_EQ(images.size(), 2u);
    EXPECT_TRUE(samePixels(images[0], logoImage()));
    EXPECT_TRUE(samePixels(images[1], unzoomed));

    // The clipboard holds the unzoomed chart for other programs; the print logo was rebuilt.
    EXPECT_TRUE(samePixels(clipboardImageSeenByXclip(), unzoomed));
    EXPECT_TRUE(samePixels(w.exports().PrintLogo, logoImage()));

    ASSERT_TRUE(waitForViewerCalls(1));
    EXPECT_EQ(viewerCalls(), QStringList{QUrl::fromLocalFile(file).toString()});

    if (!c.fahrenheit) {
        // The rendered page, for a person to look at.
        const QString artifact = QStringLiteral(HALVIK_ARTIFACT_DIR) + "/export-data-report";
        const ProcessResult rendered =
            runWhileServing("pdftoppm", {"-png", "-r", "100", "-singlefile", file, artifact});
        EXPECT_EQ(rendered.exitCode, 0) << rendered.err.toStdString();
        const QImage page(artifact + ".png");
        // 809 x 891 points at 100 dpi.
        EXPECT_NEAR(page.width(), 809 * 100 / 72.0, 1);
        EXPECT_NEAR(page.height(), 891 * 100 / 72.0, 1);
    }
}

INSTANTIATE_TEST_SUITE_P(Units, DataReport,
                         ::testing::Values(UnitCase{false, QString::fromUtf8("°C")},
                                           UnitCase{true, QString::fromUtf8("°F")}),
                         [](const auto& info) {
                             return std::string(info.param.fahrenheit ? "Fahrenheit" : "Celsius");
                         });

TEST_F(ExportWindow, ChartPrintKeepsTheZoomAndLeavesTheLogoOnTheClipboard) {
    ASSERT_NO_FATAL_FAILURE(download(MakeDemoCardImage()));
    TForm3& w = *window;
    for (int i = 0; i < 3; ++i) {
        w.BitBtn4->click();
    }
    const AxisRange x = w.Chart1->xRange();
    const AxisRange y = w.Chart1->yRange();
    const QImage zoomed = w.Chart1->renderImage();

    w.BitBtn6->click();
    ASSERT_TRUE(recorder.messages.empty()) << recorder.messages.front().second.toStdString();
    EXPECT_TRUE(w.Chart1->isZoomed());
    EXPECT_EQ(w.Chart1->xRange(), x);
    EXPECT_EQ(w.Chart1->yRange(), y);

    const QString file = path("Brisko_C.pdf");
    ASSERT_TRUE(QFile::exists(file));
    EXPECT_FALSE(QFile::exists(path("Brisko.pdf")));
    const ProcessResult check = qpdfCheck(file);
    EXPECT_EQ(check.exitCode, 0) << check.out.toStdString() << check.err.toStdString();

    const PdfObjects pdf = readPdfObjects(file);
    ASSERT_EQ(pdf.objects.size(), 9u);
    const std::vector<std::pair<int, QList<QByteArray>>> order{
        {1, {"/Type /Catalog", "/Pages 3 0 R"}},
        {2, {"/Creator (BRISKO)", "/CreationDate (D:20130304131946)"}},
        {3, {"/Type /Pages"}},
        {4, {"/MediaBox [0 0 788 841 ]", "/RpImage3 7 0 R", "/RpImage4 8 0 R", "/F1 9 0 R"}},
        {5, {"/Length"}},
        {6, {"/BaseFont /Helvetica"}},
        {7, {"/Subtype /Image", "/Width 850", "/Height 401"}},
        {8, {"/Subtype /Image", "/Width 397", "/Height 376"}},
        {9, {"/BaseFont /Helvetica-Bold"}},
    };
    for (const auto& [number, parts] : order) {
        for (const QByteArray& part : parts) {
            EXPECT_TRUE(pdf.objects.at(number).contains(part))
                << "object " << number << " lacks " << part.toStdString();
        }
    }
    EXPECT_TRUE(pdf.trailer.contains("/Size 10"));

    const QByteArray content = contentStream(file, 5);
    EXPECT_TRUE(content.contains(shown("PID :")));
    EXPECT_TRUE(content.contains(shown("20 26 01 12 07 "))) << content.toStdString();
    EXPECT_EQ(w.Label6->text(), "20 26 01 12 07 ");

    const std::vector<QImage> images = pdfImages(file, folder.path());
    ASSERT_EQ(images.size(), 2u);
    EXPECT_TRUE(samePixels(images[0], zoomed));
    EXPECT_TRUE(samePixels(images[1], logoImage()));

    EXPECT_TRUE(samePixels(clipboardImageSeenByXclip(), logoImage()));
    ASSERT_TRUE(waitForViewerCalls(1));
    EXPECT_EQ(viewerCalls(), QStringList{QUrl::fromLocalFile(file).toString()});

    const QString artifact = QStringLiteral(HALVIK_ARTIFACT_DIR) + "/export-chart-report";
    EXPECT_EQ(
        runWhileServing("pdftoppm", {"-png", "-r", "100", "-singlefile", file, artifact}).exitCode,
        0);
}

// When no program opens the written file, the status bar says where it is; the file is fine, so
// no error box.
TEST_F(ExportWindow, NoViewerSaysInTheStatusBarWhereTheReportWasWritten) {
    ASSERT_NO_FATAL_FAILURE(download(MakeDemoCardImage()));
    TForm3& w = *window;
    w.BitBtn6->click();
    ASSERT_TRUE(waitForViewerCalls(1));
    QTest::qWait(300);
    EXPECT_FALSE(w.StatusMessage->text().contains("No program opened"))
        << "a viewer that opened says nothing";

    qputenv("HALVIK_TEST_VIEWER_FAILS", "1");
    struct Restore {
        ~Restore() { qunsetenv("HALVIK_TEST_VIEWER_FAILS"); }
    } restore;
    struct Press {
        QPushButton* button;
        const char* file;
    };
    int calls = 1;
    for (const Press& press : {Press{w.BitBtn9, "Brisko.pdf"}, Press{w.BitBtn6, "Brisko_C.pdf"}}) {
        SCOPED_TRACE(press.file);
        w.showStatusMessage({});
        press.button->click();
        ASSERT_TRUE(waitForViewerCalls(++calls));
        EXPECT_TRUE(waitFor([&] { return !w.StatusMessage->text().trimmed().isEmpty(); }, 10000));
        EXPECT_EQ(w.StatusMessage->text().trimmed(),
                  "No program opened the report. It was written to " + path(press.file));
        EXPECT_TRUE(recorder.messages.empty());
        EXPECT_EQ(qpdfCheck(path(press.file)).exitCode, 0);
    }
}

// The date and time labels of the data report, copied from the grid with their blanks.
struct LabelCase {
    const char* name;
    std::vector<double> readings;
    CardDateTime first;
    std::string start5, start10, stop6, stop11;
};

void PrintTo(const LabelCase& c, std::ostream* out) {
    *out << c.name;
}

class ReportLabels : public ExportWindow, public ::testing::WithParamInterface<LabelCase> {};

TEST_P(ReportLabels, StartAndStopLinesComeFromTheFirstAndLastRows) {
    const LabelCase& c = GetParam();
    ASSERT_NO_FATAL_FAILURE(download(cardWith(c.readings, {1, 2, 3, 4, 5}, c.first)));
    TForm3& w = *window;
    w.BitBtn9->click();
    ASSERT_TRUE(recorder.messages.empty()) << recorder.messages.front().second.toStdString();
    const TRpPage1& page = w.exports().RpPage1;
    EXPECT_EQ(page.RpLabel5->Caption(), c.start5);
    EXPECT_EQ(page.RpLabel10->Caption(), c.start10);
    EXPECT_EQ(page.RpLabel6->Caption(), c.stop6);
    EXPECT_EQ(page.RpLabel11->Caption(), c.stop11);
    EXPECT_EQ(page.RpLabel7->Caption(), "01 02 03 04 05 ");
    const std::vector<std::pair<const TRpLabel*, const QLabel*>> copied{
        {page.RpLabel16, w.Label12}, {page.RpLabel17, w.Label13}, {page.RpLabel18, w.Label14},
        {page.RpLabel19, w.Label9},  {page.RpLabel28, w.Label19}, {page.RpLabel7, w.Label6}};
    for (const auto& [label, shownLabel] : copied) {
        EXPECT_EQ(label->Caption(), shownLabel->text().toStdString()) << label->Name();
    }
    const QByteArray content = contentStream(path("Brisko.pdf"), 5);
    for (const std::string& caption : {c.start5, c.start10, c.stop6, c.stop11}) {
        EXPECT_TRUE(content.contains(shown(caption))) << caption;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ReportLabels,
                         ::testing::Values(LabelCase{"OneReading",
                                                     {4.5},
                                                     {2014, 1, 7, 9, 0, 0},
                                                     "  07 JAN",
                                                     "2014,    09:00",
                                                     "  07 JAN",
                                                     "2014,    09:00"},
                                           LabelCase{"ThreeReadings",
                                                     {20.0, 25.0, 30.0},
                                                     {2014, 1, 7, 9, 0, 0},
                                                     "  07 JAN",
                                                     "2014,    09:00",
                                                     "  07 JAN",
                                                     "2014,    09:12"},
                                           LabelCase{"OverNewYear",
                                                     {3.0, 4.0, 5.0},
                                                     {2014, 12, 31, 23, 54, 0},
                                                     "  31 DEC",
                                                     "2014,    23:54",
                                                     "  01 JAN",
                                                     "2015,    00:06"}),
                         [](const auto& info) { return std::string(info.param.name); });

// A report file that cannot be written: the file-creation error, no viewer, the old file kept.
enum class Button { DataReport, ChartPrint };

struct WriteCase {
    const char* name;
    Button button;
    bool folderInTheWay;  // else an existing file and a size limit that stops the new one
};

void PrintTo(const WriteCase& c, std::ostream* out) {
    *out << c.name;
}

class ReportWriteFailure : public ExportWindow, public ::testing::WithParamInterface<WriteCase> {};

TEST_P(ReportWriteFailure, ShowsTheFileCreationErrorAndOpensNoViewer) {
    const WriteCase& c = GetParam();
    ASSERT_NO_FATAL_FAILURE(download(MakeDemoCardImage()));
    TForm3& w = *window;
    QPushButton* button = c.button == Button::DataReport ? w.BitBtn9 : w.BitBtn6;
    const QString name = c.button == Button::DataReport ? "Brisko.pdf" : "Brisko_C.pdf";

    QByteArray before;
    if (c.folderInTheWay) {
        ASSERT_TRUE(QDir(folder.path()).mkdir(name));
    } else {
        button->click();
        ASSERT_TRUE(recorder.messages.empty());
        ASSERT_TRUE(waitForViewerCalls(1));
        QFile old(path(name));
        ASSERT_TRUE(old.open(QIODevice::ReadOnly));
        before = old.readAll();
    }
    const int callsBefore = static_cast<int>(viewerCalls().size());

    {
        ViewerRequests viewer(w);
        // Writes beyond 64 KiB fail with EFBIG instead of ending the process.
        rlimit previous{};
        getrlimit(RLIMIT_FSIZE, &previous);
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        if (!c.folderInTheWay) {
            rlimit small = previous;
            small.rlim_cur = 64 * 1024;
            setrlimit(RLIMIT_FSIZE, &small);
        }
        button->click();
        setrlimit(RLIMIT_FSIZE, &previous);
        std::signal(SIGXFSZ, previousHandler);
        EXPECT_FALSE(viewer.asked()) << "the press asked for a viewer";
    }

    const QString reason = c.folderInTheWay ? "Is a directory" : "File too large";
    EXPECT_EQ(recorder.errors(),
              std::vector<QString>{"Cannot create file \"" + path(name) + "\". " + reason});
    EXPECT_EQ(viewerCalls().size(), callsBefore);
    if (c.folderInTheWay) {
        EXPECT_TRUE(QFileInfo(path(name)).isDir());
    } else {
        QFile kept(path(name));
        ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
        EXPECT_TRUE(kept.readAll() == before) << "the previous report changed";
        // The next press writes the file again.
        recorder.messages.clear();
        button->click();
        EXPECT_TRUE(recorder.messages.empty());
        EXPECT_TRUE(waitForViewerCalls(callsBefore + 1));
        EXPECT_EQ(qpdfCheck(path(name)).exitCode, 0);
    }
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).filter(".pdf").size(),
              c.folderInTheWay ? 0 : 1)
        << "a temporary file was left behind";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReportWriteFailure,
    ::testing::Values(WriteCase{"DataReportOverAFolder", Button::DataReport, true},
                      WriteCase{"ChartPrintOverAFolder", Button::ChartPrint, true},
                      WriteCase{"DataReportOverTheFileSizeLimit", Button::DataReport, false},
                      WriteCase{"ChartPrintOverTheFileSizeLimit", Button::ChartPrint, false}),
    [](const auto& info) { return std::string(info.param.name); });

// A clipboard that refuses the pictures stops every print and report press before anything is
// written or printed.
class RefusingClipboard : public PictureClipboard {
  public:
    QImage passThrough(const QImage&) override {
        ++calls;
        throw ClipboardError(QStringLiteral("another program holds it"));
    }
    int calls = 0;
};

class CountingDialogs : public PrintDialogs {
  public:
    bool confirm(QPrinter&, PrintDialogName) override {
        ++calls;
        return false;
    }
    int calls = 0;
};

TEST_F(ExportWindow, ClipboardThatCannotBeOpenedStopsEveryPress) {
    ASSERT_NO_FATAL_FAILURE(download(MakeDemoCardImage()));
    TForm3& w = *window;
    RefusingClipboard clipboard;
    CountingDialogs dialogs;
    w.exports().clipboard = &clipboard;
    w.exports().dialogs = &dialogs;
    w.BitBtn4->click();

    ViewerRequests viewer(w);
    for (QPushButton* button : {w.BitBtn9, w.BitBtn6, w.BitBtn2, w.BitBtn10}) {
        SCOPED_TRACE(button->objectName().toStdString());
        recorder.messages.clear();
        button->click();
        EXPECT_EQ(recorder.errors(),
                  std::vector<QString>{"Cannot open clipboard: another program holds it"});
    }
    EXPECT_EQ(clipboard.calls, 4);
    EXPECT_EQ(dialogs.calls, 0);
    EXPECT_FALSE(QFile::exists(path("Brisko.pdf")));
    EXPECT_FALSE(QFile::exists(path("Brisko_C.pdf")));
    EXPECT_FALSE(viewer.asked());
}

}  // namespace
}  // namespace halvik::testing

// The print jobs behind Select & Print and Print All, with the dialog and error box replaced.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QPrinter>
#include <QTemporaryDir>
#include <functional>

#include "PdfTools.h"
#include "PrintFixtures.h"
#include "printing/qt/PrintJobs.h"

namespace halvik {
namespace {

using namespace halvik::testing;

// Answers the print dialogs like a user would and records what the window would show.
class RecordingUi : public PrintUi {
  public:
    std::function<bool(QPrinter&)> answer = [](QPrinter&) { return true; };
    std::vector<PrintDialogKind> dialogs;
    QStringList errors;

    bool confirm(QPrinter& printer, PrintDialogKind dialog) override {
        dialogs.push_back(dialog);
        return answer(printer);
    }
    void showError(const QString& message) override { errors << message; }
};

class PrintJobs : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        file_ = dir_.filePath("job.pdf");
        QGuiApplication::clipboard()->setText("what the user had copied");
    }
    void choosePdfFile(QPageLayout::Orientation orientation = QPageLayout::Portrait) {
        ui_.answer = [this, orientation](QPrinter& printer) {
            useA4PdfFile(printer, file_);
            printer.setPageOrientation(orientation);
            return true;
        };
    }

    QTemporaryDir dir_;
    QString file_;
    RecordingUi ui_;
    const CellStore cells_ = downloadedGrid(100);
    PrintSources sources_{cells_, "( PID :12 34 56 78 9A)", logoPicture()};
    int rowFirst_ = -1;
    int rowLast_ = -1;
    QImage printLogo_;
};

TEST_F(PrintJobs, CancelPrintsNothingButLeavesTheLogoOnTheClipboard) {
    ui_.answer = [](QPrinter&) { return false; };
    TablePrinter printer(ui_);
    EXPECT_EQ(printer.printSelected(sources_, 3, 7, rowFirst_, rowLast_, printLogo_),
              PrintOutcome::Cancelled);
    EXPECT_EQ(printer.printAll(sources_, printLogo_), PrintOutcome::Cancelled);

    EXPECT_EQ(ui_.dialogs, (std::vector<PrintDialogKind>{PrintDialogKind::SelectedRows,
                                                         PrintDialogKind::AllRows}));
    EXPECT_EQ(rowFirst_, -1);
    EXPECT_EQ(rowLast_, -1);
    EXPECT_FALSE(QFile::exists(file_));
    EXPECT_TRUE(ui_.errors.isEmpty());
    EXPECT_EQ(printLogo_.size(), QSize(397, 376));
    const QImage onClipboard = QGuiApplication::clipboard()->image();
    EXPECT_EQ(onClipboard.size(), QSize(397, 376));
    EXPECT_EQ(QColor(onClipboard.pixel(200, 200)), QColor(220, 20, 20));
}

TEST_F(PrintJobs, SelectAndPrintSetsTheRowRangeAndContinuesLongSelections) {
    ui_.answer = [this](QPrinter& printer) {
        useA4PdfFile(printer, file_);
        printer.setResolution(1200);  // what Qt's PDF printer offers by default
        return true;
    };
    TablePrinter printer(ui_);
    EXPECT_EQ(printer.printSelected(sources_, 1, 100, rowFirst_, rowLast_, printLogo_),
              PrintOutcome::Printed);
    EXPECT_TRUE(ui_.errors.isEmpty()) << ui_.errors.join("\n").toStdString();
    EXPECT_EQ(rowFirst_, 1);
    EXPECT_EQ(rowLast_, 100);
    EXPECT_EQ(pdfInfo(file_, "Title"), "SELECTED TEMPERATURE DETAILS");
    EXPECT_EQ(pdfPages(file_), 3);  // 46 rows a page on A4 at 600 dpi
    // Drawn at the 600 dpi the layout is made for, whatever the dialog's resolution.
    EXPECT_EQ(printer.printer().resolution(), 600);
    const QPointF corner = printer.printer().pageRect(QPrinter::DevicePixel).topLeft();
    const auto words = pdfWords(file_);
    const auto d1 = findWord(words, "D1", 1);
    ASSERT_TRUE(d1);
    EXPECT_NEAR(d1->xMin, (corner.x() + 475) * 72 / 600, 0.5);
    EXPECT_NEAR(d1->yMin, (corner.y() + 900) * 72 / 600, 0.5);
    // Every selected reading reached paper.
    for (int r = 1; r <= 100; ++r) {
        EXPECT_TRUE(findWord(words, QString("D%1").arg(r)).has_value()) << r;
    }
}

TEST_F(PrintJobs, PrintAllIsPortraitWhateverTheDialogChose) {
    choosePdfFile(QPageLayout::Landscape);
    TablePrinter printer(ui_);
    EXPECT_EQ(printer.printAll(sources_, printLogo_), PrintOutcome::Printed);
    EXPECT_TRUE(ui_.errors.isEmpty()) << ui_.errors.join("\n").toStdString();
    EXPECT_EQ(pdfInfo(file_, "Title"), "TEMPERATURE DETAILS");
    EXPECT_TRUE(pdfInfo(file_, "Page size").startsWith("595"))
        << pdfInfo(file_, "Page size").toStdString();
    EXPECT_EQ(pdfPages(file_), 2);  // 101 grid rows, 71 a page
    // The printer stays portrait for the next job.
    EXPECT_EQ(printer.printer().pageLayout().orientation(), QPageLayout::Portrait);
}

TEST_F(PrintJobs, PrintingSystemErrorsGoToTheErrorBox) {
    struct Case {
        const char* name;
        std::function<void(QPrinter&)> setup;
        const char* expect;
    };
    const QString missing = dir_.filePath("no-such-folder/job.pdf");
    const std::vector<Case> cases{
        {"unwritable file", [&](QPrinter& p) { useA4PdfFile(p, missing); }, "does not exist"},
        {"page too short",
         [&](QPrinter& p) {
             useA4PdfFile(p, file_);
             p.setPageSize(QPageSize(QSizeF(60, 12), QPageSize::Millimeter, "strip"));
         },
         "too short"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingUi ui;
        ui.answer = [&](QPrinter& p) {
            c.setup(p);
            return true;
        };
        TablePrinter printer(ui);
        EXPECT_EQ(printer.printAll(sources_, printLogo_), PrintOutcome::Failed);
        EXPECT_EQ(printer.printSelected(sources_, 1, 2, rowFirst_, rowLast_, printLogo_),
                  PrintOutcome::Failed);
        ASSERT_EQ(ui.errors.size(), 2);
        for (const QString& e : ui.errors)
            EXPECT_TRUE(e.contains(c.expect)) << e.toStdString();
        EXPECT_FALSE(QFile::exists(file_));
    }
}

TEST_F(PrintJobs, NoClipboardMeansNoDialogAndNoPrint) {
    choosePdfFile();
    TablePrinter printer(ui_);
    printer.setClipboard(nullptr);
    EXPECT_EQ(printer.printAll(sources_, printLogo_), PrintOutcome::Failed);
    EXPECT_EQ(printer.printSelected(sources_, 1, 1, rowFirst_, rowLast_, printLogo_),
              PrintOutcome::Failed);
    EXPECT_TRUE(ui_.dialogs.empty());
    ASSERT_EQ(ui_.errors.size(), 2);
    EXPECT_TRUE(ui_.errors[0].startsWith("Cannot open clipboard: ")) << ui_.errors[0].toStdString();
    EXPECT_FALSE(QFile::exists(file_));
    EXPECT_EQ(rowFirst_, -1);
}

}  // namespace
}  // namespace halvik

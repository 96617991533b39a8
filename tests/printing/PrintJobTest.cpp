// SPDX-License-Identifier: GPL-3.0-or-later
// The print jobs behind Select & Print and Print All (TablePrinter, what the window's buttons
// run), with the dialog and the clipboard replaced where a test needs it.
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

// Answers the print dialogs like a user would.
class AnsweringDialogs : public PrintDialogs {
  public:
    std::function<bool(QPrinter&)> answer = [](QPrinter&) { return true; };
    std::vector<PrintDialogName> dialogs;

    bool confirm(QPrinter& printer, PrintDialogName dialog) override {
        dialogs.push_back(dialog);
        return answer(printer);
    }
};

class RefusingClipboard : public PictureClipboard {
  public:
    QImage passThrough(const QImage&) override {
        throw ClipboardError(std::string("another program holds it"));
    }
};

// What the window's error box would show for one press.
template <class Press>
QString errorOf(Press&& press) {
    try {
        press();
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    }
    return {};
}

class PrintJobs : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        file_ = dir_.filePath("job.pdf");
        QGuiApplication::clipboard()->setText("what the user had copied");
    }
    void choosePdfFile(QPageLayout::Orientation orientation = QPageLayout::Portrait) {
        dialogs_.answer = [this, orientation](QPrinter& printer) {
            useA4PdfFile(printer, file_);
            printer.setPageOrientation(orientation);
            return true;
        };
    }

    QTemporaryDir dir_;
    QString file_;
    AnsweringDialogs dialogs_;
    SystemPictureClipboard clipboard_;
    QPrinter printer_{QPrinter::HighResolution};
    TablePrinter tables_{printer_, dialogs_, clipboard_};
    const CellStore cells_ = downloadedGrid(100);
    PrintSources sources_{cells_, "( PID :12 34 56 78 9A)", logoPicture()};
    int rowFirst_ = -1;
    int rowLast_ = -1;
    QImage printLogo_;
};

TEST_F(PrintJobs, CancelPrintsNothingButLeavesTheLogoOnTheClipboard) {
    dialogs_.answer = [](QPrinter&) { return false; };
    EXPECT_EQ(tables_.printSelected(sources_, 3, 7, rowFirst_, rowLast_, printLogo_),
              PrintOutcome::Cancelled);
    EXPECT_EQ(tables_.printAll(sources_, printLogo_), PrintOutcome::Cancelled);

    EXPECT_EQ(dialogs_.dialogs, (std::vector<PrintDialogName>{PrintDialogName::PrintDialog1,
                                                              PrintDialogName::PrintDialog2}));
    EXPECT_EQ(rowFirst_, -1);
    EXPECT_EQ(rowLast_, -1);
    EXPECT_FALSE(QFile::exists(file_));
    EXPECT_EQ(printLogo_.size(), QSize(397, 376));
    const QImage onClipboard = QGuiApplication::clipboard()->image();
    EXPECT_EQ(onClipboard.size(), QSize(397, 376));
    EXPECT_EQ(QColor(onClipboard.pixel(200, 200)), QColor(220, 20, 20));
}

TEST_F(PrintJobs, SelectAndPrintSetsTheRowRangeAndContinuesLongSelections) {
    dialogs_.answer = [this](QPrinter& printer) {
        useA4PdfFile(printer, file_);
        printer.setResolution(1200);  // what Qt's PDF printer offers by default
        return true;
    };
    EXPECT_EQ(tables_.printSelected(sources_, 1, 100, rowFirst_, rowLast_, printLogo_),
              PrintOutcome::Printed);
    EXPECT_EQ(rowFirst_, 1);
    EXPECT_EQ(rowLast_, 100);
    EXPECT_EQ(pdfInfo(file_, "Title"), "SELECTED TEMPERATURE DETAILS");
    EXPECT_EQ(pdfPages(file_), 3);  // 46 rows a page on A4 at 600 dpi
    // Drawn at the 600 dpi the layout is made for, whatever the dialog's resolution.
    EXPECT_EQ(printer_.resolution(), 600);
    const QPointF corner = printer_.pageRect(QPrinter::DevicePixel).topLeft();
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
    EXPECT_EQ(tables_.printAll(sources_, printLogo_), PrintOutcome::Printed);
    EXPECT_EQ(pdfInfo(file_, "Title"), "TEMPERATURE DETAILS");
    EXPECT_TRUE(pdfInfo(file_, "Page size").startsWith("595"))
        << pdfInfo(file_, "Page size").toStdString();
    EXPECT_EQ(pdfPages(file_), 2);  // 101 grid rows, 71 a page
    // The printer stays portrait for the next job.
    EXPECT_EQ(printer_.pageLayout().orientation(), QPageLayout::Portrait);
}

TEST_F(PrintJobs, PrintingSystemErrorsReachTheCaller) {
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
        {"range past the last page",
         [&](QPrinter& p) {
             useA4PdfFile(p, file_);
             p.setPrintRange(QPrinter::PageRange);
             p.setFromTo(5, 9);
         },
         "are not in"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AnsweringDialogs dialogs;
        dialogs.answer = [&](QPrinter& p) {
            c.setup(p);
            return true;
        };
        QPrinter printer(QPrinter::HighResolution);
        TablePrinter tables(printer, dialogs, clipboard_);
        for (const QString& error :
             {errorOf([&] { tables.printAll(sources_, printLogo_); }), errorOf([&] {
                  tables.printSelected(sources_, 1, 2, rowFirst_, rowLast_, printLogo_);
              })}) {
            EXPECT_TRUE(error.contains(c.expect)) << error.toStdString();
        }
        EXPECT_FALSE(QFile::exists(file_));
    }
}

TEST_F(PrintJobs, AClipboardThatRefusesTheLogoMeansNoDialogAndNoPrint) {
    choosePdfFile();
    RefusingClipboard refusing;
    TablePrinter tables(printer_, dialogs_, refusing);
    EXPECT_EQ(errorOf([&] { tables.printAll(sources_, printLogo_); }),
              "Cannot open clipboard: another program holds it");
    EXPECT_EQ(
        errorOf([&] { tables.printSelected(sources_, 1, 1, rowFirst_, rowLast_, printLogo_); }),
        "Cannot open clipboard: another program holds it");
    EXPECT_TRUE(dialogs_.dialogs.empty());
    EXPECT_FALSE(QFile::exists(file_));
    EXPECT_EQ(rowFirst_, -1);
    // Without a clipboard at all, the same error with its own reason.
    EXPECT_EQ(errorOf([] { pictureThroughClipboard(logoPicture(), nullptr); }),
              "Cannot open clipboard: no clipboard is available");
}

}  // namespace
}  // namespace halvik

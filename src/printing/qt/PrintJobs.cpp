#include "printing/qt/PrintJobs.h"

#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>

#include "printing/qt/PrinterCanvas.h"

namespace halvik {

namespace {

// Both layouts place things in device pixels drawn for a 600 dpi printer (at 1200 dpi the 7 pt
// cells overflow their columns; at 300 dpi the logo lands off an A4 sheet). Qt hands every job to
// the printing system as vector PDF, so its device resolution is a coordinate system only: fix it
// at the one the layouts were made for.
constexpr int kLayoutDotsPerInch = 600;

// Why QPainter::begin refused the printer, in words a user can act on.
std::string whyJobDidNotStart(const QPrinter& printer, const std::string& title) {
    const QString file = printer.outputFileName();
    if (!file.isEmpty()) {
        const QFileInfo info(file);
        QString reason = QStringLiteral("it cannot be written");
        if (!info.absoluteDir().exists()) {
            reason = QStringLiteral("its folder %1 does not exist").arg(info.absolutePath());
        } else if (info.isDir()) {
            reason = QStringLiteral("it is a folder");
        } else if (info.exists() && !info.isWritable()) {
            reason = QStringLiteral("it is read-only");
        }
        return "Cannot print \"" + title + "\" to the file " + file.toStdString() + ": " +
               reason.toStdString() + ".";
    }
    QString name = printer.printerName();
    if (name.isEmpty())
        name = QStringLiteral("(no printer)");
    return "The printer " + name.toStdString() + " could not start the job \"" + title + "\".";
}

}  // namespace

bool DialogPrintUi::confirm(QPrinter& printer, PrintDialogKind dialog) {
    QPrintDialog box(&printer, parent_);
    box.setObjectName(dialog == PrintDialogKind::SelectedRows ? QStringLiteral("PrintDialog1")
                                                              : QStringLiteral("PrintDialog2"));
    return box.exec() == QDialog::Accepted;
}

void DialogPrintUi::showError(const QString& message) {
    QMessageBox::critical(parent_, QGuiApplication::applicationDisplayName(), message);
}

QImage logoThroughClipboard(const QImage& picture, QClipboard* clipboard) {
    if (clipboard == nullptr) {
        throw ClipboardError(QStringLiteral("no clipboard is available"));
    }
    if (picture.isNull()) {
        throw ClipboardError(QStringLiteral("there is no picture to put on it"));
    }
    clipboard->setImage(picture);
    QImage back = clipboard->image();
    if (back.isNull()) {
        throw ClipboardError(QStringLiteral("the clipboard did not give the picture back"));
    }
    return back;
}

void printLayout(QPrinter& printer, const PrintLayout& layout, const QImage& logo) {
    printer.setDocName(QString::fromStdString(layout.title));
    QPainter painter;
    if (!painter.begin(&printer)) {
        throw PrintSystemError(whyJobDidNotStart(printer, layout.title));
    }
    try {
        drawLayout(layout, painter, printer, logo);
    } catch (...) {
        printer.abort();
        painter.end();
        throw;
    }
    if (!painter.end() || printer.printerState() == QPrinter::Error) {
        throw PrintSystemError("The printing system reported an error while printing \"" +
                               layout.title + "\".");
    }
}

namespace {

TableSource tableOf(const PrintSources& sources, const QImage& logo) {
    return TableSource{sources.cells, sources.pidCaption, sources.columnWidths, logo.width(),
                       logo.height()};
}

}  // namespace

void printSelectedRows(QPrinter& printer, const PrintSources& sources, int first, int last,
                       const QImage& logo) {
    printer.setResolution(kLayoutDotsPerInch);
    const PrintLayout layout = layoutSelectedRows(tableOf(sources, logo), kSelectedRowsTitle, first,
                                                  last, printerMetrics(printer));
    printLayout(printer, layout, logo);
}

void printAllRows(QPrinter& printer, const PrintSources& sources, const QImage& logo) {
    printer.setPageOrientation(QPageLayout::Portrait);
    printer.setResolution(kLayoutDotsPerInch);
    const PrintLayout layout = layoutAllRows(tableOf(sources, logo), kAllRowsTitle,
                                             printerMetrics(printer), PrinterTextMeasurer(printer));
    printLayout(printer, layout, logo);
}

TablePrinter::TablePrinter(PrintUi& ui)
    : ui_(ui),
      printer_(std::make_unique<QPrinter>(QPrinter::HighResolution)),
      clipboard_(QGuiApplication::clipboard()) {}

TablePrinter::~TablePrinter() = default;

bool TablePrinter::rebuildLogo(const PrintSources& sources, QImage& printLogo) {
    try {
        printLogo = logoThroughClipboard(sources.logoPicture, clipboard_);
        return true;
    } catch (const ClipboardError& e) {
        ui_.showError(QString::fromStdString(e.what()));
        return false;
    }
}

PrintOutcome TablePrinter::printSelected(const PrintSources& sources, int selectionTop,
                                         int selectionBottom, int& printRowFirst, int& printRowLast,
                                         QImage& printLogo) {
    if (!rebuildLogo(sources, printLogo))
        return PrintOutcome::Failed;
    if (!ui_.confirm(*printer_, PrintDialogKind::SelectedRows))
        return PrintOutcome::Cancelled;
    printRowFirst = selectionTop;
    printRowLast = selectionBottom;
    try {
        printSelectedRows(*printer_, sources, printRowFirst, printRowLast, printLogo);
        return PrintOutcome::Printed;
    } catch (const std::runtime_error& e) {
        ui_.showError(QString::fromStdString(e.what()));
        return PrintOutcome::Failed;
    }
}

PrintOutcome TablePrinter::printAll(const PrintSources& sources, QImage& printLogo) {
    if (!rebuildLogo(sources, printLogo))
        return PrintOutcome::Failed;
    if (!ui_.confirm(*printer_, PrintDialogKind::AllRows))
        return PrintOutcome::Cancelled;
    try {
        printAllRows(*printer_, sources, printLogo);
        return PrintOutcome::Printed;
    } catch (const std::runtime_error& e) {
        ui_.showError(QString::fromStdString(e.what()));
        return PrintOutcome::Failed;
    }
}

}  // namespace halvik

// SPDX-License-Identifier: GPL-3.0-or-later
#include "printing/qt/PrintJobs.h"

#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPageRanges>
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

void setUpPrintDialog(QPrintDialog& dialog, PrintDialogName name) {
    dialog.setObjectName(name == PrintDialogName::PrintDialog1 ? QStringLiteral("PrintDialog1")
                                                               : QStringLiteral("PrintDialog2"));
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
}

bool SystemPrintDialogs::confirm(QPrinter& printer, PrintDialogName dialog) {
    QPrintDialog box(&printer, parent_);
    setUpPrintDialog(box, dialog);
    return box.exec() == QDialog::Accepted;
}

QImage SystemPictureClipboard::passThrough(const QImage& picture) {
    // Without a GUI application there is no clipboard to ask for.
    QClipboard* clipboard = qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr
                                ? QGuiApplication::clipboard()
                                : nullptr;
    return pictureThroughClipboard(picture, clipboard);
}

QImage pictureThroughClipboard(const QImage& picture, QClipboard* clipboard) {
    if (clipboard == nullptr) {
        throw ClipboardError(std::string("no clipboard is available"));
    }
    if (picture.isNull()) {
        throw ClipboardError(std::string("there is no picture to put on it"));
    }
    clipboard->setImage(picture);
    QImage back = clipboard->image();
    if (back.isNull()) {
        throw ClipboardError(std::string("the clipboard did not give the picture back"));
    }
    return back;
}

void printLayout(QPrinter& printer, const PrintLayout& layout, const QImage& logo) {
    // The dialog's "Pages from … to …" is the application's to honour: the printing system
    // receives only the pages drawn here.
    const QPageRanges ranges = printer.pageRanges();
    const PrintLayout pages =
        printer.printRange() == QPrinter::PageRange && !ranges.isEmpty()
            ? keepPages(layout, [&](int page) { return ranges.contains(page); })
            : layout;
    printer.setDocName(QString::fromStdString(layout.title));
    QPainter painter;
    if (!painter.begin(&printer)) {
        throw PrintSystemError(whyJobDidNotStart(printer, layout.title));
    }
    try {
        drawLayout(pages, painter, printer, logo);
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
    return TableSource{sources.cells, sources.pidCaption, sources.columnWidths,
                       logo.width(),  logo.height(),      sources.warning};
}

}  // namespace

PrintOutcome TablePrinter::printSelected(const PrintSources& sources, int selectionTop,
                                         int selectionBottom, int& printRowFirst, int& printRowLast,
                                         QImage& printLogo) {
    printLogo = clipboard_.passThrough(sources.logoPicture);
    if (!dialogs_.confirm(printer_, PrintDialogName::PrintDialog1))
        return PrintOutcome::Cancelled;
    printRowFirst = selectionTop;
    printRowLast = selectionBottom;
    printer_.setResolution(kLayoutDotsPerInch);
    const PrintLayout layout =
        layoutSelectedRows(tableOf(sources, printLogo), kSelectedRowsTitle, printRowFirst,
                           printRowLast, printerMetrics(printer_));
    printLayout(printer_, layout, printLogo);
    return PrintOutcome::Printed;
}

PrintOutcome TablePrinter::printAll(const PrintSources& sources, QImage& printLogo) {
    printLogo = clipboard_.passThrough(sources.logoPicture);
    if (!dialogs_.confirm(printer_, PrintDialogName::PrintDialog2))
        return PrintOutcome::Cancelled;
    printer_.setPageOrientation(QPageLayout::Portrait);
    printer_.setResolution(kLayoutDotsPerInch);
    const PrintLayout layout =
        layoutAllRows(tableOf(sources, printLogo), kAllRowsTitle, printerMetrics(printer_),
                      PrinterTextMeasurer(printer_));
    printLayout(printer_, layout, printLogo);
    return PrintOutcome::Printed;
}

}  // namespace halvik

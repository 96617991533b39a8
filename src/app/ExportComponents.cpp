#include "app/ExportComponents.h"

#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <cstring>

#include "app/Distributor.h"
#include "printing/qt/PrinterCanvas.h"
#include "views/widgets/Clipboard.h"

namespace halvik {

namespace {

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
        }
        return "Cannot print \"" + title + "\" to the file " + file.toStdString() + ": " +
               reason.toStdString() + ".";
    }
    const QString name =
        printer.printerName().isEmpty() ? QStringLiteral("(no printer)") : printer.printerName();
    return "The printer " + name.toStdString() + " could not start the job \"" + title + "\".";
}

}  // namespace

bool SystemPrintDialogs::confirm(QPrinter& printer, PrintDialogName dialog) {
    QPrintDialog box(&printer, parent_);
    box.setObjectName(dialog == PrintDialogName::PrintDialog1 ? QStringLiteral("PrintDialog1")
                                                              : QStringLiteral("PrintDialog2"));
    return box.exec() == QDialog::Accepted;
}

QImage SystemPictureClipboard::passThrough(const QImage& picture) {
    // Hands the picture over and checks that the window system took it.
    systemClipboard().setImage(picture);
    QImage back = QGuiApplication::clipboard()->image();
    if (back.isNull()) {
        throw ClipboardError(QStringLiteral("the clipboard did not give the picture back"));
    }
    return back;
}

Bitmap toReportBitmap(const QImage& picture) {
    if (picture.isNull()) {
        return {};
    }
    // Blue, green, red, unused in memory: the 32-bit layout of the report bitmaps.
    const QImage rgb = picture.format() == QImage::Format_RGB32
                           ? picture
                           : picture.convertToFormat(QImage::Format_RGB32);
    Bitmap bitmap;
    bitmap.width = rgb.width();
    bitmap.height = rgb.height();
    bitmap.bitsPerPixel = 32;
    bitmap.stride = static_cast<std::size_t>(rgb.bytesPerLine());
    bitmap.pixels.resize(bitmap.stride * static_cast<std::size_t>(bitmap.height));
    std::memcpy(bitmap.pixels.data(), rgb.constBits(), bitmap.pixels.size());
    return bitmap;
}

void runPrintJob(QPrinter& printer, const PrintLayout& layout, const QImage& logo) {
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

ExportComponents::ExportComponents(QWidget* window)
    : RpPage1(kDistributorWebAddress),
      RpPage2(kDistributorWebAddress),
      RpReport1(CreateRpReport1()),
      RpReport2(CreateRpReport2()),
      printer(std::make_unique<QPrinter>(QPrinter::HighResolution)),
      systemDialogs_(window) {}

ExportComponents::~ExportComponents() = default;

}  // namespace halvik

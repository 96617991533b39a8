// Select & Print (BitBtn2) and Print All (BitBtn10): the printed tables of the printing library
// on the window's printer.
//
// The jobs are run here with the library's layouts and its printer canvas rather than through
// printing/qt/PrintJobs: that file declares a halvik::ClipboardError of its own, a different
// class from the widgets' one of the same name, and a program that links both ends up with one
// class's destructor and vtable serving the other's exceptions.

#include <QPrinter>
#include <array>

#include "app/ExportComponents.h"
#include "app/Form3.h"
#include "app/Logo.h"
#include "printing/TableLayouts.h"
#include "printing/qt/PrinterCanvas.h"
#include "views/widgets/DataGrid.h"

namespace halvik {

namespace {

// Both layouts place things in device pixels meant for a 600 dpi printer. Qt hands every job to
// the printing system as vector PDF, so the device resolution is only a coordinate system: fix
// it at the one the layouts were made for, whatever the dialog chose.
constexpr int kLayoutDotsPerInch = 600;

TableSource tableOf(const DataGrid& grid, const DownloadState& download, const QImage& logo) {
    TableSource table{grid.cells(), download.PidCaption};
    for (int column = 0; column < CellStore::kColumns; ++column) {
        table.columnWidths[static_cast<std::size_t>(column)] = grid.gridColumnWidth(column);
    }
    table.logoWidth = logo.width();
    table.logoHeight = logo.height();
    return table;
}

}  // namespace

void TForm3::BitBtn2Click() {
    ExportComponents& x = exports();
    // The logo is rebuilt before the dialog, so the clipboard holds it even when the user
    // cancels.
    x.PrintLogo = x.pictureClipboard().passThrough(toQImage(logoPicture()));
    QPrinter& printer = *x.printer;
    if (!x.printDialogs().confirm(printer, PrintDialogName::PrintDialog1)) {
        return;
    }
    const DataGrid::RowRange selection = StringGrid1->selectedRowRange();
    download.PrintRowFirst = selection.top;
    download.PrintRowLast = selection.bottom;
    printer.setResolution(kLayoutDotsPerInch);
    const PrintLayout layout =
        layoutSelectedRows(tableOf(*StringGrid1, download, x.PrintLogo), kSelectedRowsTitle,
                           download.PrintRowFirst, download.PrintRowLast, printerMetrics(printer));
    runPrintJob(printer, layout, x.PrintLogo);
}

void TForm3::BitBtn10Click() {
    ExportComponents& x = exports();
    x.PrintLogo = x.pictureClipboard().passThrough(toQImage(logoPicture()));
    QPrinter& printer = *x.printer;
    if (!x.printDialogs().confirm(printer, PrintDialogName::PrintDialog2)) {
        return;
    }
    // Portrait whatever the dialog chose; it stays for the next job.
    printer.setPageOrientation(QPageLayout::Portrait);
    printer.setResolution(kLayoutDotsPerInch);
    const PrintLayout layout =
        layoutAllRows(tableOf(*StringGrid1, download, x.PrintLogo), kAllRowsTitle,
                      printerMetrics(printer), PrinterTextMeasurer(printer));
    runPrintJob(printer, layout, x.PrintLogo);
}

}  // namespace halvik

// Select & Print (BitBtn2) and Print All (BitBtn10): the printing library's table jobs on the
// window's printer.
//
// The window keeps its own seams around the jobs (the print dialogs and the clipboard the logo
// passes through, both replaceable by tests) and lets every failure reach its error box; what
// runs once a dialog is confirmed is printSelectedRows / printAllRows, the same code
// TablePrinter runs.

#include <QPrinter>

#include "app/ExportComponents.h"
#include "app/Form3.h"
#include "app/Logo.h"
#include "printing/qt/PrintJobs.h"
#include "views/widgets/DataGrid.h"

namespace halvik {

namespace {

PrintSources sourcesOf(const DataGrid& grid, const DownloadState& download, const QImage& logo) {
    PrintSources sources{grid.cells(), download.PidCaption, logo};
    for (int column = 0; column < CellStore::kColumns; ++column) {
        sources.columnWidths[static_cast<std::size_t>(column)] = grid.gridColumnWidth(column);
    }
    return sources;
}

}  // namespace

void TForm3::BitBtn2Click() {
    ExportComponents& x = exports();
    // The logo is rebuilt before the dialog, so the clipboard holds it even when the user
    // cancels.
    const QImage logo = toQImage(logoPicture());
    x.PrintLogo = x.pictureClipboard().passThrough(logo);
    QPrinter& printer = *x.printer;
    if (!x.printDialogs().confirm(printer, PrintDialogName::PrintDialog1)) {
        return;
    }
    const DataGrid::RowRange selection = StringGrid1->selectedRowRange();
    download.PrintRowFirst = selection.top;
    download.PrintRowLast = selection.bottom;
    printSelectedRows(printer, sourcesOf(*StringGrid1, download, logo), download.PrintRowFirst,
                      download.PrintRowLast, x.PrintLogo);
}

void TForm3::BitBtn10Click() {
    ExportComponents& x = exports();
    const QImage logo = toQImage(logoPicture());
    x.PrintLogo = x.pictureClipboard().passThrough(logo);
    QPrinter& printer = *x.printer;
    if (!x.printDialogs().confirm(printer, PrintDialogName::PrintDialog2)) {
        return;
    }
    // Portrait whatever the dialog chose; it stays for the next job.
    printAllRows(printer, sourcesOf(*StringGrid1, download, logo), x.PrintLogo);
}

}  // namespace halvik

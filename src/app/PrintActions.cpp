// SPDX-License-Identifier: GPL-3.0-or-later
// Select & Print (BitBtn2) and Print All (BitBtn10): the printing library's TablePrinter on the
// window's printer, with the window's dialog and clipboard seams. Every failure reaches the
// window's error box through the handler wrapper.

#include <QPrinter>

#include "app/ExportComponents.h"
#include "app/Form3.h"
#include "app/WindowRecords.h"
#include "printing/qt/PrintJobs.h"
#include "report/qt/Logo.h"
#include "views/ChangedRecord.h"
#include "views/widgets/DataGrid.h"

namespace halvik {

namespace {

PrintSources sourcesOf(const TForm3& window, const QImage& logo) {
    const DataGrid& grid = *window.StringGrid1;
    PrintSources sources{grid.cells(), window.download.PidCaption, logo};
    sources.warning = ChangedRecordWarning(window.records->shownIntact());
    for (int column = 0; column < CellStore::kColumns; ++column) {
        sources.columnWidths[static_cast<std::size_t>(column)] = grid.gridColumnWidth(column);
    }
    return sources;
}

TablePrinter tablePrinterOf(ExportComponents& x) {
    return TablePrinter(*x.printer, x.printDialogs(), x.pictureClipboard());
}

}  // namespace

void TForm3::BitBtn2Click() {
    ExportComponents& x = exports();
    const DataGrid::RowRange selection = StringGrid1->selectedRowRange();
    tablePrinterOf(x).printSelected(sourcesOf(*this, toQImage(logoPicture())), selection.top,
                                    selection.bottom, download.PrintRowFirst, download.PrintRowLast,
                                    x.PrintLogo);
}

void TForm3::BitBtn10Click() {
    ExportComponents& x = exports();
    tablePrinterOf(x).printAll(sourcesOf(*this, toQImage(logoPicture())), x.PrintLogo);
}

}  // namespace halvik

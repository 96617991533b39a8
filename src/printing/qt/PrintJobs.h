// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QString>
#include <array>
#include <string>

#include "printing/TableLayouts.h"
#include "views/CellStore.h"
#include "views/ClipboardError.h"

class QClipboard;
class QPrinter;
class QPrintDialog;
class QWidget;

namespace halvik {

// The two print dialogs of the window.
enum class PrintDialogName { PrintDialog1, PrintDialog2 };  // Select & Print, Print All

// Lets the user choose the printer and its settings for one job.
class PrintDialogs {
  public:
    virtual ~PrintDialogs() = default;
    // True when the user confirms; the printer then holds the choices.
    virtual bool confirm(QPrinter& printer, PrintDialogName dialog) = 0;
};

// The system's standard print dialog: printer, copies and a page range from–to. The "current
// page" and "selection" choices are not offered: the tables have no current page, and Select &
// Print is itself the selection.
class SystemPrintDialogs : public PrintDialogs {
  public:
    explicit SystemPrintDialogs(QWidget* parent) : parent_(parent) {}
    bool confirm(QPrinter& printer, PrintDialogName dialog) override;

  private:
    QWidget* parent_;
};

// Sets up a print dialog as SystemPrintDialogs shows it.
void setUpPrintDialog(QPrintDialog& dialog, PrintDialogName name);

// Every logo and chart picture that reaches paper or a report passes through the clipboard,
// which keeps the last one afterwards.
class PictureClipboard {
  public:
    virtual ~PictureClipboard() = default;
    // Puts picture on the clipboard and returns the bitmap the clipboard gives back. Throws
    // ClipboardError ("Cannot open clipboard: <reason>") when either step fails.
    virtual QImage passThrough(const QImage& picture) = 0;
};

// The system clipboard of the running application (none without a GUI application).
class SystemPictureClipboard : public PictureClipboard {
  public:
    QImage passThrough(const QImage& picture) override;
};

// Puts a picture (the logo, or the chart for a report) on clipboard and reads it back as a
// bitmap at the picture's own size. Throws ClipboardError when there is no clipboard, there is
// no picture (the clipboard is then left alone), or the clipboard does not give the picture back.
QImage pictureThroughClipboard(const QImage& picture, QClipboard* clipboard);

// What the window hands to a print job.
struct PrintSources {
    const CellStore& cells;
    std::string pidCaption;  // "( PID :" + PidText + ")"
    QImage logoPicture;      // the window's logo picture, passed through the clipboard
    std::array<int, CellStore::kColumns> columnWidths{55, 80, 65, 110};
    std::string warning{};  // on every page in red when not empty (see TableSource)
};

enum class PrintOutcome { Printed, Cancelled };

// One job on printer, start to end: job title, the pages of the layout the printer's page range
// asks for (all of them unless the dialog chose a range), end of document. Throws
// PrintLayoutError when the range holds none of the layout's pages, PrintSystemError when the
// printing system refuses or fails the job (an open job is aborted).
void printLayout(QPrinter& printer, const PrintLayout& layout, const QImage& logo);

// The window's two table printouts, Select & Print and Print All, on a printer that lives as long
// as the window, so settings chosen in a dialog (and the portrait orientation Print All leaves
// behind) carry over to the next job. Both rebuild the print logo through the clipboard before
// their dialog (the clipboard keeps it even when the user cancels) and draw at the resolution
// the layouts are made for, whatever the dialog chose. Failures are thrown for the caller's
// error box: ClipboardError (then no dialog is shown), PrintSystemError, or PrintLayoutError
// for a page too small for the table or a page range outside the printout.
class TablePrinter {
  public:
    TablePrinter(QPrinter& printer, PrintDialogs& dialogs, PictureClipboard& clipboard)
        : printer_(printer), dialogs_(dialogs), clipboard_(clipboard) {}

    // Select & Print: shows PrintDialog1; on confirm sets printRowFirst/printRowLast to the
    // selection's top and bottom grid rows and prints them under "SELECTED TEMPERATURE DETAILS".
    PrintOutcome printSelected(const PrintSources& sources, int selectionTop, int selectionBottom,
                               int& printRowFirst, int& printRowLast, QImage& printLogo);

    // Print All: shows PrintDialog2; on confirm prints every grid row under "TEMPERATURE
    // DETAILS", in portrait whatever the dialog chose; the printer stays portrait.
    PrintOutcome printAll(const PrintSources& sources, QImage& printLogo);

  private:
    QPrinter& printer_;
    PrintDialogs& dialogs_;
    PictureClipboard& clipboard_;
};

}  // namespace halvik

#pragma once

#include <QImage>
#include <QString>
#include <array>
#include <memory>
#include <string>

#include "printing/TableLayouts.h"
#include "views/CellStore.h"
#include "views/widgets/Clipboard.h"

class QClipboard;
class QPrinter;
class QWidget;

namespace halvik {

// The two print dialogs of the window: PrintDialog1 (Select & Print), PrintDialog2 (Print All).
enum class PrintDialogKind { SelectedRows, AllRows };

// The user-facing parts of a print job, replaceable in tests.
class PrintUi {
  public:
    virtual ~PrintUi() = default;
    // Lets the user choose the printer and its settings; true when the user confirms.
    virtual bool confirm(QPrinter& printer, PrintDialogKind dialog) = 0;
    virtual void showError(const QString& message) = 0;
};

// The system's standard print dialog with default options and a critical message box.
class DialogPrintUi : public PrintUi {
  public:
    explicit DialogPrintUi(QWidget* parent) : parent_(parent) {}
    bool confirm(QPrinter& printer, PrintDialogKind dialog) override;
    void showError(const QString& message) override;

  private:
    QWidget* parent_;
};

// Puts a picture (the logo, or the chart for a report) on the clipboard and reads it back as a
// bitmap at the picture's own size: for the logo, the print logo. The clipboard keeps the bitmap.
// Throws ClipboardError ("Cannot open clipboard: <reason>") when there is no clipboard, there is
// no picture (the clipboard is then left alone), or the clipboard does not give the picture back.
QImage logoThroughClipboard(const QImage& picture, QClipboard* clipboard);

// What the window hands to a print job.
struct PrintSources {
    const CellStore& cells;
    std::string pidCaption;  // "( PID :" + PidText + ")"
    QImage logoPicture;      // the window's logo picture, passed through the clipboard
    std::array<int, CellStore::kColumns> columnWidths{55, 80, 65, 110};
};

enum class PrintOutcome { Printed, Cancelled, Failed };

// One job on printer, start to end: job title, the layout's pages, end of document. Throws
// PrintSystemError when the printing system refuses or fails the job (an open job is aborted).
void printLayout(QPrinter& printer, const PrintLayout& layout, const QImage& logo);

// The two table jobs once their dialog has been confirmed, with logo as the print logo. Both draw
// at the resolution the layouts are made for, whatever the dialog chose. Throw PrintSystemError,
// or PrintLayoutError for a page too small for the table, with the reason for the user.
//
// Select & Print: grid rows first to last under the title "SELECTED TEMPERATURE DETAILS".
void printSelectedRows(QPrinter& printer, const PrintSources& sources, int first, int last,
                       const QImage& logo);
// Print All: every grid row under the title "TEMPERATURE DETAILS", in portrait whatever the
// dialog chose; the printer stays portrait for the next job.
void printAllRows(QPrinter& printer, const PrintSources& sources, const QImage& logo);

// The two table printouts on one printer that lives as long as the window, so settings chosen in
// a dialog (and the portrait orientation Print All leaves behind) carry over to the next job.
class TablePrinter {
  public:
    explicit TablePrinter(PrintUi& ui);
    ~TablePrinter();
    TablePrinter(const TablePrinter&) = delete;
    TablePrinter& operator=(const TablePrinter&) = delete;

    QPrinter& printer() { return *printer_; }

    // Select & Print: rebuilds printLogo through the clipboard, shows PrintDialog1; on confirm sets
    // printRowFirst/printRowLast to the selection's top and bottom rows and prints them under the
    // title "SELECTED TEMPERATURE DETAILS". Errors go to the UI's error box.
    PrintOutcome printSelected(const PrintSources& sources, int selectionTop, int selectionBottom,
                               int& printRowFirst, int& printRowLast, QImage& printLogo);

    // Print All: rebuilds printLogo through the clipboard, shows PrintDialog2; on confirm prints
    // every grid row in portrait under the title "TEMPERATURE DETAILS".
    PrintOutcome printAll(const PrintSources& sources, QImage& printLogo);

    // The clipboard the logo passes through; the application's by default.
    void setClipboard(QClipboard* clipboard) { clipboard_ = clipboard; }

  private:
    bool rebuildLogo(const PrintSources& sources, QImage& printLogo);

    PrintUi& ui_;
    std::unique_ptr<QPrinter> printer_;
    QClipboard* clipboard_;
};

}  // namespace halvik

#pragma once

#include <QImage>
#include <QString>
#include <array>
#include <memory>
#include <stdexcept>
#include <string>

#include "printing/TableLayouts.h"
#include "views/CellStore.h"

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

// The clipboard could not take or give back the logo; what() is the full message for the user.
class ClipboardError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Puts the logo picture on the clipboard and reads it back as a bitmap at the picture's own size:
// the print logo. The clipboard keeps the bitmap. Throws ClipboardError ("Cannot open clipboard:
// ...") when there is no clipboard or it does not give the picture back.
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

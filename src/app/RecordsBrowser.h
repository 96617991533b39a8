// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <filesystem>
#include <vector>

#include "library/RecordFacts.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QSortFilterProxyModel;
class QStandardItemModel;
class QTableView;

namespace halvik {

class TForm3;

// The records library in the window (Ctrl+L): every record of the records folder from its
// index, sortable by any column and filtered by a text; a double click opens a record in the
// window, "Compare" draws the selected records (and the one the window shows) on one chart.
// Records that cannot be read are listed with the reason.
class RecordsBrowser : public QDialog {
    Q_OBJECT

  public:
    explicit RecordsBrowser(TForm3& window);

    // Brings the index up to date and lists the folder again.
    void refresh();
    // Opens the record of a row of the table (as shown, after sorting and filtering).
    void openRow(int row);
    // Draws the selected rows' records and the window's shown record on one chart, each a
    // series of its own; the chart's window, or nullptr (with the reason in the status line)
    // when fewer than two records are left to compare.
    QDialog* compareSelected();

    QLineEdit* filter = nullptr;
    QTableView* table = nullptr;
    QPushButton* compare = nullptr;
    QLabel* status = nullptr;

  private:
    TForm3& window_;
    std::filesystem::path folder_;
    std::vector<RecordFacts> records_;
    QStandardItemModel* model_ = nullptr;
    QSortFilterProxyModel* proxy_ = nullptr;
};

// Shows the window's records browser, made on first use.
RecordsBrowser* ShowRecordsBrowser(TForm3& window);

// What opens the browser: Ctrl+L, and a "Records" button in the free space above Record
// Report (named "RecordsButton").
void AddRecordsBrowserControls(TForm3& window);

}  // namespace halvik

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QString>
#include <QTableView>
#include <array>
#include <memory>
#include <string>

#include "views/CellStore.h"

namespace halvik {

class ClipboardAccess;
class UserMessages;
class CellTableModel;
class FixedColumnHeader;

// The readings table: a view of the CellStore it owns. Grid column 0 (Points) is the vertical
// header, so it stays put when the view scrolls and is never selected; grid columns 1..3 are
// the view's model columns 0..2. Grid rows are model rows (row 0 holds the captions and scrolls
// like the others). Rows are selected whole, as one contiguous range; a right-button press
// anywhere in the grid copies that range and shows "Copied".
//
// After changing cells() (texts or row count) call refresh() so the view follows the store.
class DataGrid : public QTableView {
    Q_OBJECT
  public:
    static constexpr int kRowHeight = 24;
    static constexpr std::array<int, CellStore::kColumns> kColumnWidths = {55, 80, 65, 110};
    static constexpr int kFontPixelSize = 17;

    explicit DataGrid(QWidget* parent = nullptr);
    ~DataGrid() override;

    CellStore& cells() { return cells_; }
    const CellStore& cells() const { return cells_; }
    // Shows the store's current row count and texts; keeps the selection where it still fits.
    void refresh();

    // Widths by grid column 0..3 (column 0 is the fixed Points column).
    void setGridColumnWidth(int gridColumn, int width);
    int gridColumnWidth(int gridColumn) const;

    // The selection as grid rows, top <= bottom; it always spans grid columns 1..3.
    struct RowRange {
        int top = 0;
        int bottom = 0;
    };
    RowRange selectedRowRange() const;
    // Selects grid rows top..bottom (clamped to the rows shown) and makes top the current row.
    void selectRowRange(int top, int bottom);

    // The clipboard texts: tab-separated fields, rows joined by CR LF, no line break at the end.
    // All data rows 1..RecordCount (all four columns), or the selected rows (columns 0..3).
    // The text form of the count is converted as the download state holds it and throws
    // LoggerError when it is not a number.
    QString allRowsText(const std::string& recordCountText) const;
    QString selectionText() const;

    // The copy functions. Each returns true when the text is on the clipboard; otherwise it has
    // shown "Cannot open clipboard: <reason>" and changed nothing.
    bool copyAll(const std::string& recordCountText);  // Copy All; throws as allRowsText
    bool copyAll(int recordCount);                     // Copy All of a known count
    bool copySelection();                              // Select & Copy (and Ctrl+C)
    bool rightButtonCopy();  // right-button press: copy the selection, then "Copied"
    // A line every copy puts before the rows (the warning for a record changed after its
    // download); empty for none.
    void setCopyWarning(const std::string& warning) { copyWarning_ = warning; }

    // Seams for tests and the window; nullptr restores the defaults. Not owned.
    void setUserMessages(UserMessages* messages);
    void setClipboardAccess(ClipboardAccess* clipboard);

    // The fill of a cell that is not selected: button face for row 0, button shadow for odd
    // rows, the scroll-bar shade for even rows from 2 on. No cell shows kNoCellColour.
    QColor rowColour(int row) const;
    static QColor noCellColour() { return QColor(255, 0, 0); }

  signals:
    // After the right-button copy put the selection on the clipboard ("Copied" was shown).
    void rightButtonCopied();

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    bool putOnClipboard(const QString& text);
    UserMessages& messages() const;
    ClipboardAccess& clipboard() const;

    CellStore cells_;
    CellTableModel* model_ = nullptr;
    FixedColumnHeader* header_ = nullptr;
    UserMessages* messages_ = nullptr;
    ClipboardAccess* clipboard_ = nullptr;
    std::string copyWarning_;
};

}  // namespace halvik

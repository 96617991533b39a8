// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/widgets/DataGrid.h"

#include <QAbstractTableModel>
#include <QFontMetrics>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <algorithm>
#include <string>

#include "views/Clipboard.h"
#include "views/widgets/Clipboard.h"
#include "views/widgets/UserMessages.h"
#include "views/widgets/WidgetFonts.h"

namespace halvik {

namespace {

// Grid column of model column 0 (grid column 0 is the vertical header).
constexpr int kFirstModelGridColumn = 1;
constexpr int kModelColumns = CellStore::kColumns - kFirstModelGridColumn;
// Where a cell's text starts inside its rectangle.
constexpr int kTextInset = 2;

QString cellText(const CellStore& cells, int column, int row) {
    return QString::fromStdString(cells.cell(column, row));
}

void drawCellText(QPainter* painter, const QRect& rect, const QString& text, const QColor& fill,
                  const QColor& ink, const QFont& font) {
    painter->save();
    painter->fillRect(rect, fill);
    painter->setClipRect(rect);
    // A text wider than its cell (a time with its zone's abbreviation, an enormous reading) is
    // drawn narrower rather than cut off: a cut-off text can read as another value.
    QFont fitted = font;
    const int room = rect.width() - 2 * kTextInset;  // the same margin on the right
    const int wide = QFontMetrics(font).horizontalAdvance(text);
    if (room > 0 && wide > room)
        fitted.setStretch(std::max(50, (font.stretch() > 0 ? font.stretch() : 100) * room / wide));
    painter->setFont(fitted);
    painter->setPen(ink);
    painter->drawText(rect.adjusted(kTextInset, kTextInset, 0, 0),
                      Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
    painter->restore();
}

}  // namespace

// Grid columns 1..3 of the store as model columns 0..2; grid column 0 as vertical header texts.
class CellTableModel : public QAbstractTableModel {
  public:
    explicit CellTableModel(const CellStore& cells, QObject* parent)
        : QAbstractTableModel(parent), cells_(cells), rows_(cells.rowCount()) {}

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : rows_;
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : kModelColumns;
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || role != Qt::DisplayRole)
            return {};
        return cellText(cells_, index.column() + kFirstModelGridColumn, index.row());
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (role != Qt::DisplayRole)
            return {};
        if (orientation == Qt::Vertical)
            return cellText(cells_, 0, section);
        return cellText(cells_, section + kFirstModelGridColumn, 0);
    }
    Qt::ItemFlags flags(const QModelIndex& index) const override {
        return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
    }

    // Brings the rows shown in line with the store, then has every text read again.
    void sync() {
        const int wanted = cells_.rowCount();
        if (wanted > rows_) {
            beginInsertRows({}, rows_, wanted - 1);
            rows_ = wanted;
            endInsertRows();
        } else if (wanted < rows_) {
            beginRemoveRows({}, wanted, rows_ - 1);
            rows_ = wanted;
            endRemoveRows();
        }
        if (rows_ > 0) {
            emit dataChanged(index(0, 0), index(rows_ - 1, kModelColumns - 1), {Qt::DisplayRole});
            emit headerDataChanged(Qt::Vertical, 0, rows_ - 1);
        }
    }

  private:
    const CellStore& cells_;
    int rows_;
};

// Grid column 0: painted like the other cells of its row, with grid lines, never selected.
// Below the last row it shows the grid's no-cell red.
class FixedColumnHeader : public QHeaderView {
  public:
    explicit FixedColumnHeader(DataGrid* grid) : QHeaderView(Qt::Vertical, grid), grid_(grid) {}

  protected:
    void paintEvent(QPaintEvent* event) override {
        QHeaderView::paintEvent(event);
        // The style paints the part below the last row as empty header: make it the grid's red.
        int end = 0;
        if (count() > 0) {
            const int last = logicalIndex(count() - 1);
            end = sectionViewportPosition(last) + sectionSize(last);
        }
        if (end < viewport()->height()) {
            QPainter painter(viewport());
            painter.fillRect(QRect(0, end, viewport()->width(), viewport()->height() - end),
                             DataGrid::noCellColour());
        }
    }

    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override {
        if (!rect.isValid())
            return;
        drawCellText(painter, rect, cellText(grid_->cells(), 0, logicalIndex),
                     grid_->rowColour(logicalIndex), grid_->palette().color(QPalette::WindowText),
                     grid_->font());
        painter->save();
        painter->setPen(grid_->palette().color(QPalette::Shadow));
        painter->drawLine(rect.topRight(), rect.bottomRight());
        painter->drawLine(rect.bottomLeft(), rect.bottomRight());
        painter->restore();
    }

  private:
    DataGrid* grid_;
};

// Grid columns 1..3: the row's colour, or the selection highlight for selected cells and the
// focused cell.
class GridCellDelegate : public QStyledItemDelegate {
  public:
    explicit GridCellDelegate(DataGrid* grid) : QStyledItemDelegate(grid), grid_(grid) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const bool highlighted = (option.state & QStyle::State_Selected) ||
                                 (index == grid_->currentIndex() && grid_->hasFocus());
        const QPalette& palette = grid_->palette();
        const QColor fill = highlighted ? palette.color(QPalette::Active, QPalette::Highlight)
                                        : grid_->rowColour(index.row());
        const QColor ink = highlighted ? palette.color(QPalette::Active, QPalette::HighlightedText)
                                       : palette.color(QPalette::WindowText);
        drawCellText(painter, option.rect, index.data(Qt::DisplayRole).toString(), fill, ink,
                     grid_->font());
    }

  private:
    DataGrid* grid_;
};

DataGrid::DataGrid(QWidget* parent) : QTableView(parent) {
    model_ = new CellTableModel(cells_, this);
    header_ = new FixedColumnHeader(this);
    setVerticalHeader(header_);
    setModel(model_);
    setItemDelegate(new GridCellDelegate(this));

    const QFont gridFont = windowFont(QStringLiteral("Sakkal Majalla"), kFontPixelSize, true);
    setFont(gridFont);
    header_->setFont(gridFont);

    horizontalHeader()->hide();
    horizontalHeader()->setMinimumSectionSize(1);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    header_->setMinimumSectionSize(1);
    header_->setDefaultSectionSize(kRowHeight);
    header_->setSectionResizeMode(QHeaderView::Fixed);
    header_->setSectionsClickable(true);
    header_->setHighlightSections(false);
    header_->viewport()->installEventFilter(this);
    for (int column = 0; column < CellStore::kColumns; ++column)
        setGridColumnWidth(column, kColumnWidths[static_cast<size_t>(column)]);

    setShowGrid(false);
    setWordWrap(false);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);

    // The part of the view that no cell covers.
    QPalette viewportPalette = viewport()->palette();
    viewportPalette.setColor(QPalette::Base, noCellColour());
    viewportPalette.setColor(QPalette::Window, noCellColour());
    viewport()->setPalette(viewportPalette);
    viewport()->setAutoFillBackground(true);

    selectRowRange(0, 0);
}

DataGrid::~DataGrid() = default;

void DataGrid::refresh() {
    const RowRange before = selectedRowRange();
    model_->sync();
    const int rows = model_->rowCount();
    if (rows > 0 && !selectionModel()->hasSelection())
        selectRowRange(std::min(before.top, rows - 1), std::min(before.bottom, rows - 1));
    viewport()->update();
    header_->viewport()->update();
}

void DataGrid::setGridColumnWidth(int gridColumn, int width) {
    if (gridColumn < 0 || gridColumn >= CellStore::kColumns || width < 0)
        return;
    if (gridColumn == 0) {
        header_->setFixedWidth(width);
        updateGeometries();
    } else {
        horizontalHeader()->resizeSection(gridColumn - kFirstModelGridColumn, width);
    }
}

int DataGrid::gridColumnWidth(int gridColumn) const {
    if (gridColumn < 0 || gridColumn >= CellStore::kColumns)
        return 0;
    if (gridColumn == 0)
        return header_->width();
    return horizontalHeader()->sectionSize(gridColumn - kFirstModelGridColumn);
}

DataGrid::RowRange DataGrid::selectedRowRange() const {
    const QItemSelection selection = selectionModel()->selection();
    if (selection.isEmpty()) {
        const int row = currentIndex().isValid() ? currentIndex().row() : 0;
        return {row, row};
    }
    RowRange range{selection.first().top(), selection.first().bottom()};
    for (const QItemSelectionRange& part : selection) {
        range.top = std::min(range.top, part.top());
        range.bottom = std::max(range.bottom, part.bottom());
    }
    return range;
}

void DataGrid::selectRowRange(int top, int bottom) {
    const int rows = model_->rowCount();
    if (rows <= 0)
        return;
    top = std::clamp(top, 0, rows - 1);
    bottom = std::clamp(bottom, 0, rows - 1);
    if (top > bottom)
        std::swap(top, bottom);
    selectionModel()->setCurrentIndex(model_->index(top, 0), QItemSelectionModel::NoUpdate);
    selectionModel()->select(
        QItemSelection(model_->index(top, 0), model_->index(bottom, kModelColumns - 1)),
        QItemSelectionModel::ClearAndSelect);
}

QString DataGrid::allRowsText(const std::string& recordCountText) const {
    return QString::fromStdString(CopyAllText(cells_, recordCountText));
}

QString DataGrid::selectionText() const {
    const RowRange range = selectedRowRange();
    GridSelection selection;
    selection.top = range.top;
    selection.bottom = range.bottom;
    selection.left = kFirstModelGridColumn;
    selection.right = CellStore::kColumns - 1;
    return QString::fromStdString(SelectionCopyText(cells_, selection));
}

bool DataGrid::copyAll(const std::string& recordCountText) {
    return putOnClipboard(allRowsText(recordCountText));
}

bool DataGrid::copyAll(int recordCount) {
    return copyAll(std::to_string(recordCount));
}

bool DataGrid::copySelection() {
    return putOnClipboard(selectionText());
}

bool DataGrid::rightButtonCopy() {
    if (!putOnClipboard(selectionText()))
        return false;
    messages().information(this, QStringLiteral("Copied"));
    emit rightButtonCopied();
    return true;
}

void DataGrid::setUserMessages(UserMessages* messages) {
    messages_ = messages;
}

void DataGrid::setClipboardAccess(ClipboardAccess* clipboard) {
    clipboard_ = clipboard;
}

QColor DataGrid::rowColour(int row) const {
    const QPalette& p = palette();
    if (row == 0)
        return p.color(QPalette::Active, QPalette::Button);
    if (row % 2 == 1)
        return p.color(QPalette::Active, QPalette::Dark);
    return p.color(QPalette::Active, QPalette::Midlight);
}

void DataGrid::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        event->accept();
        rightButtonCopy();
        return;
    }
    if (event->button() != Qt::LeftButton) {
        event->accept();
        return;
    }
    QTableView::mousePressEvent(event);
}

// Widgets get the second press of a double click as a double click only: for the right button
// it copies like any press; no button but the left reaches the view's selection.
void DataGrid::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        QTableView::mouseDoubleClickEvent(event);
        return;
    }
    mousePressEvent(event);
}

void DataGrid::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->accept();
        return;
    }
    QTableView::mouseReleaseEvent(event);
}

void DataGrid::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy)) {
        event->accept();
        copySelection();
        return;
    }
    QTableView::keyPressEvent(event);
}

bool DataGrid::eventFilter(QObject* watched, QEvent* event) {
    if (watched == header_->viewport()) {
        switch (event->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonDblClick:
            case QEvent::MouseButtonRelease: {
                const auto* mouse = static_cast<QMouseEvent*>(event);
                if (mouse->button() == Qt::LeftButton)
                    break;
                if (mouse->button() == Qt::RightButton &&
                    event->type() != QEvent::MouseButtonRelease)
                    rightButtonCopy();
                return true;
            }
            default:
                break;
        }
    }
    return QTableView::eventFilter(watched, event);
}

bool DataGrid::putOnClipboard(const QString& text) {
    try {
        clipboard().setText(copyWarning_.empty() ? text
                                                 : QString::fromStdString(WithWarningLine(
                                                       copyWarning_, text.toStdString())));
        return true;
    } catch (const ClipboardError& error) {
        messages().error(this, QString::fromStdString(error.what()));
        return false;
    }
}

UserMessages& DataGrid::messages() const {
    return messages_ != nullptr ? *messages_ : defaultUserMessages();
}

ClipboardAccess& DataGrid::clipboard() const {
    return clipboard_ != nullptr ? *clipboard_ : systemClipboard();
}

}  // namespace halvik

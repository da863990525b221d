#include <QFont>
#include <QHeaderView>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTableWidget>

#include <algorithm>
#include <string_view>

#include "adapters/qt/qt_support.h"
#include "palvo/data.h"
#include "palvo/error.h"
#include "palvo/qt.h"
#include "src/util/conversions.h"

namespace Palvo::qt {

namespace {

constexpr std::int32_t kDefaultColWidth = 960;
constexpr int kDefaultAlignment = 9;
// The cell colour in the port's encoding; 0 (or nothing) is the grid's default.
constexpr int kBackColorRole = Qt::UserRole + 1;
constexpr const char* kFixedRowsProperty = "FixedRows";
constexpr const char* kFixedColsProperty = "FixedCols";

[[noreturn]] void subscript() { throw Error(GridError::Subscript, "Subscript out of range"); }
[[noreturn]] void badValue() { throw Error(GridError::BadValue, "Invalid property value"); }

// Paints fixed cells in the button colours unless a cell colour was set; reads
// the fixed counts from the table so it never outlives what it depends on.
class FixedCellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        const QObject* table = parent();
        const bool fixed = index.row() < table->property(kFixedRowsProperty).toInt() ||
                           index.column() < table->property(kFixedColsProperty).toInt();
        if (index.data(kBackColorRole).toInt() != 0) return;
        if (!fixed) {
            // The table's base colour, so that the viewport can show BackColorBkg past the last cell.
            option->backgroundBrush = option->palette.base();
            return;
        }
        option->backgroundBrush = option->palette.button();
        option->palette.setBrush(QPalette::Text, option->palette.buttonText());
    }
};

Qt::Alignment alignmentOf(int code, std::string_view text) {
    if (code == 9) {
        // General: numbers right, everything else left, both vertically centred.
        const bool number = util::readNumber(text).has_value();
        return (number ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
    }
    static const Qt::Alignment horizontal[] = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight};
    static const Qt::Alignment vertical[] = {Qt::AlignTop, Qt::AlignVCenter, Qt::AlignBottom};
    if (code < 0 || code > 8) return Qt::AlignLeft | Qt::AlignVCenter;
    return horizontal[code / 3] | vertical[code % 3];
}

}  // namespace

FlexGrid::FlexGrid(QTableWidget* table, GridType type) : table_(table), type_(type) {
    table_->horizontalHeader()->hide();
    table_->verticalHeader()->hide();
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSortingEnabled(false);
    table_->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    table_->setWordWrap(false);
    table_->setItemDelegate(new FixedCellDelegate(table_));
    if (table_->property(kFixedRowsProperty).isValid()) fixedRows_ = table_->property(kFixedRowsProperty).toInt();
    if (table_->property(kFixedColsProperty).isValid()) fixedCols_ = table_->property(kFixedColsProperty).toInt();
    fixedRows_ = std::clamp(fixedRows_, 0, table_->rowCount());
    fixedCols_ = std::clamp(fixedCols_, 0, table_->columnCount());
    publishFixed();
    for (int c = 0; c < table_->columnCount(); ++c) {
        const int px = table_->columnWidth(c);
        widths_.push_back(ColumnWidth{toTwips(px), px});
    }
    align_.assign(static_cast<std::size_t>(table_->columnCount()), kDefaultAlignment);
    row_ = std::min(fixedRows_, std::max(table_->rowCount() - 1, 0));
    col_ = std::min(fixedCols_, std::max(table_->columnCount() - 1, 0));
    topRow_ = row_;
    colSel_ = col_;
}

FlexGrid::~FlexGrid() = default;

std::string FlexGrid::typeName() const { return type_ == GridType::MSHFlexGrid ? "MSHFlexGrid" : "MSFlexGrid"; }
std::string FlexGrid::Name() const { return toStd(table_->objectName()); }

int FlexGrid::toPixels(std::int32_t twips) const { return twipsToPixels(twips, logicalDpi(table_)); }
std::int32_t FlexGrid::toTwips(int pixels) const { return pixelsToTwips(pixels, logicalDpi(table_)); }

void FlexGrid::publishFixed() {
    table_->setProperty(kFixedRowsProperty, fixedRows_);
    table_->setProperty(kFixedColsProperty, fixedCols_);
    table_->viewport()->update();
}

void FlexGrid::checkCell(int row, int col) const {
    if (row < 0 || row >= table_->rowCount() || col < 0 || col >= table_->columnCount()) subscript();
}

void FlexGrid::checkCol(int col) const {
    if (col < 0 || col >= table_->columnCount()) subscript();
}

QTableWidgetItem* FlexGrid::cell(int row, int col) {
    QTableWidgetItem* item = table_->item(row, col);
    if (item) return item;
    item = new QTableWidgetItem();
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    table_->setItem(row, col, item);
    return item;
}

void FlexGrid::align(QTableWidgetItem* item, int col) const {
    item->setTextAlignment(alignmentOf(align_[static_cast<std::size_t>(col)], toStd(item->text())));
}

int FlexGrid::Rows() const { return table_->rowCount(); }

void FlexGrid::Rows(int rows) {
    if (rows < 0) badValue();
    table_->setRowCount(rows);
    fixedRows_ = std::min(fixedRows_, rows);
    publishFixed();
    row_ = std::clamp(row_, 0, std::max(rows - 1, 0));
    topRow_ = std::clamp(topRow_, 0, std::max(rows - 1, 0));
}

int FlexGrid::Cols() const { return table_->columnCount(); }

void FlexGrid::Cols(int cols) {
    if (cols < 0) badValue();
    const int before = table_->columnCount();
    table_->setColumnCount(cols);
    widths_.resize(static_cast<std::size_t>(cols), ColumnWidth{kDefaultColWidth, toPixels(kDefaultColWidth)});
    align_.resize(static_cast<std::size_t>(cols), kDefaultAlignment);
    for (int c = before; c < cols; ++c) table_->setColumnWidth(c, widths_[static_cast<std::size_t>(c)].pixels);
    fixedCols_ = std::min(fixedCols_, cols);
    publishFixed();
    col_ = std::clamp(col_, 0, std::max(cols - 1, 0));
    colSel_ = std::clamp(colSel_, 0, std::max(cols - 1, 0));
}

void FlexGrid::FixedRows(int rows) {
    if (rows < 0 || rows > table_->rowCount()) badValue();
    fixedRows_ = rows;
    publishFixed();
}

void FlexGrid::FixedCols(int cols) {
    if (cols < 0 || cols > table_->columnCount()) badValue();
    fixedCols_ = cols;
    publishFixed();
}

std::string FlexGrid::TextMatrix(int row, int col) const {
    checkCell(row, col);
    const QTableWidgetItem* item = table_->item(row, col);
    return item ? toStd(item->text()) : std::string();
}

void FlexGrid::TextMatrix(int row, int col, const std::string& text) {
    checkCell(row, col);
    putText(row, col, text);
}

void FlexGrid::putText(int row, int col, std::string_view text) {
    const Qt::Alignment alignment = alignmentOf(align_[static_cast<std::size_t>(col)], text);
    QTableWidgetItem* item = table_->item(row, col);
    if (!item) {
        // A new cell is made whole before the table sees it: one change for the view, not three.
        if (text.empty()) return;
        item = new QTableWidgetItem(toQString(text));
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        item->setTextAlignment(alignment);
        table_->setItem(row, col, item);
        return;
    }
    item->setText(toQString(text));
    item->setTextAlignment(alignment);
}

std::int32_t FlexGrid::ColWidth(int col) const {
    checkCol(col);
    const ColumnWidth& w = widths_[static_cast<std::size_t>(col)];
    // The twips set last, unless the user (or the host) resized the column since.
    const int px = table_->columnWidth(col);
    return px == w.pixels ? w.twips : toTwips(px);
}

void FlexGrid::ColWidth(int col, std::int32_t twips) {
    checkCol(col);
    // -1 restores the default width, as on the platform's control.
    if (twips < -1) badValue();
    ColumnWidth w{twips == -1 ? kDefaultColWidth : twips, 0};
    w.pixels = toPixels(w.twips);
    table_->setColumnWidth(col, w.pixels);
    w.pixels = table_->columnWidth(col);
    widths_[static_cast<std::size_t>(col)] = w;
}

int FlexGrid::ColAlignment(int col) const {
    checkCol(col);
    return align_[static_cast<std::size_t>(col)];
}

void FlexGrid::ColAlignment(int col, int alignment) {
    checkCol(col);
    align_[static_cast<std::size_t>(col)] = alignment;
    for (int r = 0; r < table_->rowCount(); ++r) {
        if (QTableWidgetItem* item = table_->item(r, col)) align(item, col);
    }
}

void FlexGrid::Row(int row) {
    if (row < 0 || row >= table_->rowCount()) throw Error(GridError::BadRow, "Invalid Row value");
    row_ = row;
}

void FlexGrid::Col(int col) {
    if (col < 0 || col >= table_->columnCount()) throw Error(GridError::BadCol, "Invalid Col value");
    col_ = col;
}

std::int32_t FlexGrid::CellBackColor() const {
    checkCell(row_, col_);
    const QTableWidgetItem* item = table_->item(row_, col_);
    return item ? item->data(kBackColorRole).toInt() : 0;
}

void FlexGrid::CellBackColor(std::int32_t color) {
    checkCell(row_, col_);
    QTableWidgetItem* item = cell(row_, col_);
    item->setData(kBackColorRole, static_cast<int>(color));
    if (color == 0) {
        item->setData(Qt::BackgroundRole, QVariant());
    } else {
        item->setBackground(toQColor(color, table_->palette()));
    }
}

float FlexGrid::CellFontSize() const {
    const QTableWidgetItem* item = row_ < table_->rowCount() && col_ < table_->columnCount() ? table_->item(row_, col_)
                                                                                              : nullptr;
    const QFont font = item ? item->font() : table_->font();
    return static_cast<float>(font.pointSizeF() > 0 ? font.pointSizeF() : 9.0);
}

std::int32_t FlexGrid::CellLeft() const {
    checkCol(col_);
    // Relative to the control: the viewport's offset plus the column's place in it.
    return toTwips(table_->viewport()->x() + table_->columnViewportPosition(col_));
}

std::int32_t FlexGrid::CellTop() const {
    if (row_ >= table_->rowCount()) subscript();
    return toTwips(table_->viewport()->y() + table_->rowViewportPosition(row_));
}

std::int32_t FlexGrid::CellWidth() const { return ColWidth(col_); }

void FlexGrid::TopRow(int row) {
    if (row < 0 || row >= table_->rowCount()) throw Error(GridError::BadRow, "Invalid Row value");
    topRow_ = std::max(row, fixedRows_);
    if (topRow_ < table_->rowCount()) {
        // Rows added since the last layout must count for the scroll range.
        table_->doItemsLayout();
        table_->scrollTo(table_->model()->index(topRow_, 0), QAbstractItemView::PositionAtTop);
    }
}

void FlexGrid::ColSel(int col) {
    if (col < 0 || col >= table_->columnCount()) throw Error(GridError::BadCol, "Invalid Col value");
    colSel_ = col;
}

bool FlexGrid::RowIsVisible(int row) const {
    if (row < 0 || row >= table_->rowCount()) subscript();
    if (table_->isRowHidden(row)) return false;
    const int top = table_->rowViewportPosition(row);
    return top + table_->rowHeight(row) > 0 && top < table_->viewport()->height();
}

void FlexGrid::AddItem(const std::string& text, int index) {
    const int rows = table_->rowCount();
    if (index == -1) index = rows;
    if (index < 0 || index > rows) subscript();
    table_->insertRow(index);
    std::string_view rest(text);
    for (int c = 0; c < table_->columnCount(); ++c) {
        const auto tab = rest.find('\t');
        const std::string_view part = rest.substr(0, tab);
        if (!part.empty()) putText(index, c, part);
        if (tab == std::string_view::npos) break;
        rest.remove_prefix(tab + 1);
    }
    if (table_->rowCount() > 1 && index <= row_) ++row_;
}

void FlexGrid::RemoveItem(int index) {
    const int rows = table_->rowCount();
    if (index < fixedRows_ || index >= rows) subscript();
    if (rows - fixedRows_ == 1) throw Error(GridError::LastNonFixedRow, "Can not remove last non-fixed row");
    table_->removeRow(index);
    if (row_ > index) --row_;
    row_ = std::min(row_, rows - 2);
    topRow_ = std::min(topRow_, rows - 2);
}

void FlexGrid::Clear() { table_->clearContents(); }

void FlexGrid::Sort(int how) {
    if (how != 1 && how != 2) badValue();
    const int rows = table_->rowCount();
    const int cols = table_->columnCount();
    if (rows - fixedRows_ < 2 || cols == 0) return;
    const int data = rows - fixedRows_;
    std::vector<std::string> cells(static_cast<std::size_t>(data));
    for (int i = 0; i < data; ++i) cells[static_cast<std::size_t>(i)] = TextMatrix(fixedRows_ + i, col_);
    const std::vector<std::size_t> order = genericSortOrder(std::vector<std::string_view>(cells.begin(), cells.end()), how);
    // Whole rows move: the items carry their texts and cell colours.
    std::vector<QTableWidgetItem*> taken(static_cast<std::size_t>(data) * static_cast<std::size_t>(cols));
    for (int i = 0; i < data; ++i) {
        for (int c = 0; c < cols; ++c) {
            taken[static_cast<std::size_t>(i) * static_cast<std::size_t>(cols) + static_cast<std::size_t>(c)] =
                table_->takeItem(fixedRows_ + i, c);
        }
    }
    for (int i = 0; i < data; ++i) {
        const std::size_t from = order[static_cast<std::size_t>(i)];
        for (int c = 0; c < cols; ++c) {
            if (auto* item = taken[from * static_cast<std::size_t>(cols) + static_cast<std::size_t>(c)]) {
                table_->setItem(fixedRows_ + i, c, item);
            }
        }
    }
}

void FlexGrid::Recordset(Palvo::Recordset& rs) {
    if (type_ != GridType::MSHFlexGrid) {
        throw Error(GridError::NotSupported, "Object doesn't support this property or method");
    }
    const ResultTable& table = rs.table();
    const int fields = static_cast<int>(table.columns.size());
    const int records = static_cast<int>(table.rowCount());
    const int fixedRows = fixedRows_;
    const int fixedCols = fixedCols_;
    // The grid keeps its own copy: rows and columns are laid out anew.
    table_->clearContents();
    Cols(fixedCols + fields);
    Rows(fixedRows + std::max(records, 1));
    fixedRows_ = fixedRows;
    fixedCols_ = fixedCols;
    publishFixed();
    if (fixedRows > 0) {
        for (int k = 0; k < fields; ++k) putText(0, fixedCols + k, table.columns[static_cast<std::size_t>(k)].name);
    }
    for (int i = 0; i < records; ++i) {
        for (int k = 0; k < fields; ++k) {
            const Value& v = table.at(static_cast<std::size_t>(i), static_cast<std::size_t>(k));
            if (const std::string* s = v.text()) putText(fixedRows + i, fixedCols + k, *s);
            else if (!v.isNull()) putText(fixedRows + i, fixedCols + k, v.toText());
        }
    }
    row_ = std::min(fixedRows, table_->rowCount() - 1);
    col_ = std::max(0, std::min(fixedCols, table_->columnCount() - 1));
    topRow_ = row_;
}

std::int32_t FlexGrid::Width() const { return toTwips(table_->width()); }
std::int32_t FlexGrid::Left() const { return toTwips(table_->x()); }
std::int32_t FlexGrid::Top() const { return toTwips(table_->y()); }

void FlexGrid::HighLight(int mode) {
    highLight_ = mode;
    table_->setSelectionMode(mode == 0 ? QAbstractItemView::NoSelection : QAbstractItemView::ContiguousSelection);
}

std::string FlexGrid::ToolTipText() const { return toStd(table_->toolTip()); }
void FlexGrid::ToolTipText(const std::string& text) { table_->setToolTip(toQString(text)); }

void FlexGrid::BackColorBkg(std::int32_t color) {
    backColorBkg_ = color;
    // The area past the last cell is the viewport's background.
    QPalette p = table_->viewport()->palette();
    const QColor c = toQColor(color, table_->palette());
    if (c.isValid()) p.setColor(QPalette::Base, c);
    table_->viewport()->setPalette(p);
}

void FlexGrid::SelectionMode(int mode) {
    selectionMode_ = mode;
    table_->setSelectionBehavior(mode == 1   ? QAbstractItemView::SelectRows
                                 : mode == 2 ? QAbstractItemView::SelectColumns
                                             : QAbstractItemView::SelectItems);
}

void FlexGrid::AllowUserResizing(int mode) {
    allowUserResizing_ = mode;
    const bool cols = mode == 1 || mode == 3;
    const bool rows = mode == 2 || mode == 3;
    table_->horizontalHeader()->setSectionResizeMode(cols ? QHeaderView::Interactive : QHeaderView::Fixed);
    table_->verticalHeader()->setSectionResizeMode(rows ? QHeaderView::Interactive : QHeaderView::Fixed);
}

void FlexGrid::ScrollBars(int mode) {
    scrollBars_ = mode;
    const bool h = mode == 1 || mode == 3;
    const bool v = mode == 2 || mode == 3;
    table_->setHorizontalScrollBarPolicy(h ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    table_->setVerticalScrollBarPolicy(v ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
}

bool FlexGrid::WordWrap() const { return table_->wordWrap(); }
void FlexGrid::WordWrap(bool wrap) { table_->setWordWrap(wrap); }

}  // namespace Palvo::qt

#include "palvo/grid_model.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include "palvo/data.h"
#include "palvo/error.h"
#include "src/base/conversions.h"

namespace Palvo {

namespace {

constexpr std::int32_t kDefaultColWidth = 960;
constexpr int kDefaultAlignment = 9;

[[noreturn]] void subscript() { throw Error(GridError::Subscript, "Subscript out of range"); }
[[noreturn]] void badValue() { throw Error(GridError::BadValue, "Invalid property value"); }

// Calls the end of an announced change however the change is left.
template <class End>
class Ending {
public:
    explicit Ending(End end) : end_(std::move(end)) {}
    ~Ending() { end_(); }
    Ending(const Ending&) = delete;
    Ending& operator=(const Ending&) = delete;

private:
    End end_;
};

}  // namespace

GridListener::~GridListener() = default;

GridModel::GridModel(GridType type)
    : type_(type), colWidth_(2, kDefaultColWidth), colAlign_(2, kDefaultAlignment) {
    text_.resize(4);
}

GridModel::~GridModel() = default;

std::string GridModel::typeName() const {
    return type_ == GridType::MSHFlexGrid ? "MSHFlexGrid" : "MSFlexGrid";
}

void GridModel::checkCell(int row, int col) const {
    if (row < 0 || row >= rows_ || col < 0 || col >= cols_) subscript();
}

void GridModel::checkCol(int col) const {
    if (col < 0 || col >= cols_) subscript();
}

void GridModel::checkRun(int row, int col, long long count, bool down) const {
    checkCell(row, col);
    if ((down ? row : col) + count > (down ? rows_ : cols_)) subscript();
}

void GridModel::startShape(int rows, int cols, int fixedRows, int fixedCols) {
    resizeCols(std::max(cols, 0));
    resizeRows(std::max(rows, 0));
    fixedRows_ = std::clamp(fixedRows, 0, rows_);
    fixedCols_ = std::clamp(fixedCols, 0, cols_);
    row_ = std::min(fixedRows_, std::max(rows_ - 1, 0));
    col_ = std::min(fixedCols_, std::max(cols_ - 1, 0));
    topRow_ = row_;
    colSel_ = col_;
}

void GridModel::resizeRows(int rows) {
    rows_ = rows;
    const auto cells = static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols_);
    // A row to spare when growing (the totals row a fill appends then moves no
    // cell), and geometric growth kept for a grid grown a row at a time.
    if (cells > text_.capacity())
        text_.reserve(std::max(cells + static_cast<std::size_t>(cols_), 2 * text_.capacity()));
    text_.resize(cells);
    if (!back_.empty()) back_.resize(cells, 0);
    fixedRows_ = std::min(fixedRows_, rows);
    row_ = std::clamp(row_, 0, std::max(rows - 1, 0));
    topRow_ = std::clamp(topRow_, 0, std::max(rows - 1, 0));
}

void GridModel::resizeCols(int cols) {
    if (cols == cols_) return;
    const auto cells = static_cast<std::size_t>(rows_) * static_cast<std::size_t>(cols);
    std::vector<std::int32_t> back(back_.empty() ? 0 : cells, 0);
    const int keep = std::min(cols, cols_);
    for (int r = 0; r < rows_ && !back.empty(); ++r) {
        for (int c = 0; c < keep; ++c)
            back[static_cast<std::size_t>(r) * static_cast<std::size_t>(cols) + static_cast<std::size_t>(c)] =
                back_[at(r, c)];
    }
    text_.reshape(static_cast<std::size_t>(rows_), static_cast<std::size_t>(cols_),
                  static_cast<std::size_t>(cols));
    back_ = std::move(back);
    cols_ = cols;
    colWidth_.resize(static_cast<std::size_t>(cols), kDefaultColWidth);
    colAlign_.resize(static_cast<std::size_t>(cols), kDefaultAlignment);
    fixedCols_ = std::min(fixedCols_, cols);
    col_ = std::clamp(col_, 0, std::max(cols - 1, 0));
    colSel_ = std::clamp(colSel_, 0, std::max(cols - 1, 0));
}

void GridModel::Rows(int rows) {
    if (rows < 0) badValue();
    const int before = rows_;
    const int fixed = fixedRows_;
    if (rows == before || !listener_) {
        resizeRows(rows);
    } else if (rows > before) {
        listener_->beginInsertRows(before, rows - 1);
        Ending end([this] { listener_->endInsertRows(); });
        resizeRows(rows);
    } else {
        listener_->beginRemoveRows(rows, before - 1);
        Ending end([this] { listener_->endRemoveRows(); });
        resizeRows(rows);
    }
    if (listener_ && fixedRows_ != fixed) listener_->fixedChanged();
}

void GridModel::Cols(int cols) {
    if (cols < 0) badValue();
    const int before = cols_;
    const int fixed = fixedCols_;
    if (cols == before || !listener_) {
        resizeCols(cols);
    } else if (cols > before) {
        listener_->beginInsertCols(before, cols - 1);
        Ending end([this] { listener_->endInsertCols(); });
        resizeCols(cols);
    } else {
        listener_->beginRemoveCols(cols, before - 1);
        Ending end([this] { listener_->endRemoveCols(); });
        resizeCols(cols);
    }
    if (listener_ && fixedCols_ != fixed) listener_->fixedChanged();
}

void GridModel::FixedRows(int rows) {
    if (rows < 0 || rows > rows_) badValue();
    if (rows == fixedRows_) return;
    fixedRows_ = rows;
    if (listener_) listener_->fixedChanged();
}

void GridModel::FixedCols(int cols) {
    if (cols < 0 || cols > cols_) badValue();
    if (cols == fixedCols_) return;
    fixedCols_ = cols;
    if (listener_) listener_->fixedChanged();
}

std::string GridModel::TextMatrix(int row, int col) const {
    checkCell(row, col);
    return std::string(text_.get(at(row, col)));
}

void GridModel::TextMatrix(int row, int col, const std::string& text) {
    checkCell(row, col);
    text_.set(at(row, col), text);
    cellsChanged(row, col, row, col);
}

std::int32_t GridModel::ColWidth(int col) const { return colWidthSet(col); }

std::int32_t GridModel::colWidthSet(int col) const {
    checkCol(col);
    return colWidth_[static_cast<std::size_t>(col)];
}

void GridModel::ColWidth(int col, std::int32_t twips) {
    checkCol(col);
    // -1 restores the default width, as on the platform's control.
    if (twips < -1) badValue();
    colWidth_[static_cast<std::size_t>(col)] = twips == -1 ? kDefaultColWidth : twips;
    if (listener_) listener_->colWidthsChanged(col, col);
}

int GridModel::ColAlignment(int col) const {
    checkCol(col);
    return colAlign_[static_cast<std::size_t>(col)];
}

void GridModel::ColAlignment(int col, int alignment) {
    checkCol(col);
    colAlign_[static_cast<std::size_t>(col)] = alignment;
    if (listener_ && rows_ > 0) listener_->cellsChanged(0, col, rows_ - 1, col);
}

void GridModel::Row(int row) {
    if (row < 0 || row >= rows_) throw Error(GridError::BadRow, "Invalid Row value");
    row_ = row;
}

void GridModel::Col(int col) {
    if (col < 0 || col >= cols_) throw Error(GridError::BadCol, "Invalid Col value");
    col_ = col;
}

std::int32_t GridModel::CellBackColor() const { return cellBackColor(row_, col_); }

void GridModel::CellBackColor(std::int32_t color) {
    checkCell(row_, col_);
    if (back_.empty()) {
        if (color == 0) return;
        back_.assign(text_.size(), 0);
    }
    back_[at(row_, col_)] = color;
    cellsChanged(row_, col_, row_, col_);
}

std::int32_t GridModel::cellBackColor(int row, int col) const {
    checkCell(row, col);
    return back_.empty() ? 0 : back_[at(row, col)];
}

void GridModel::TopRow(int row) {
    if (row < 0 || row >= rows_) throw Error(GridError::BadRow, "Invalid Row value");
    topRow_ = std::max(row, fixedRows_);
}

void GridModel::ColSel(int col) {
    if (col < 0 || col >= cols_) throw Error(GridError::BadCol, "Invalid Col value");
    colSel_ = col;
}

void GridModel::AddItem(const std::string& text, int index) {
    if (index == -1) index = rows_;
    if (index < 0 || index > rows_) subscript();
    if (listener_) listener_->beginInsertRows(index, index);
    {
        Ending end([this] {
            if (listener_) listener_->endInsertRows();
        });
        const auto width = static_cast<std::size_t>(cols_);
        const auto pos = static_cast<std::ptrdiff_t>(at(index, 0));
        text_.insert(static_cast<std::size_t>(pos), width);
        if (!back_.empty()) back_.insert(back_.begin() + pos, width, 0);
        ++rows_;
        std::string_view rest(text);
        for (std::size_t c = 0; c < width; ++c) {
            const auto tab = rest.find('\t');
            text_.set(static_cast<std::size_t>(pos) + c, rest.substr(0, tab));
            if (tab == std::string_view::npos) break;
            rest.remove_prefix(tab + 1);
        }
    }
    if (rows_ > 1 && index <= row_) ++row_;
}

void GridModel::RemoveItem(int index) {
    if (index < fixedRows_ || index >= rows_) subscript();
    if (rows_ - fixedRows_ == 1) throw Error(GridError::LastNonFixedRow, "Can not remove last non-fixed row");
    if (listener_) listener_->beginRemoveRows(index, index);
    {
        Ending end([this] {
            if (listener_) listener_->endRemoveRows();
        });
        const auto from = static_cast<std::ptrdiff_t>(at(index, 0));
        const auto to = static_cast<std::ptrdiff_t>(at(index + 1, 0));
        text_.erase(static_cast<std::size_t>(from), static_cast<std::size_t>(to));
        if (!back_.empty()) back_.erase(back_.begin() + from, back_.begin() + to);
        --rows_;
    }
    if (row_ > index) --row_;
    row_ = std::min(row_, rows_ - 1);
    topRow_ = std::min(topRow_, rows_ - 1);
}

void GridModel::Clear() {
    text_.clearTexts();
    back_.clear();
    if (listener_ && rows_ > 0 && cols_ > 0) listener_->cellsChanged(0, 0, rows_ - 1, cols_ - 1);
}

void GridModel::Sort(int how) {
    if (how != 1 && how != 2) badValue();
    if (rows_ - fixedRows_ < 2 || cols_ == 0) return;
    const int data = rows_ - fixedRows_;
    std::vector<std::string_view> texts(static_cast<std::size_t>(data));
    for (int i = 0; i < data; ++i) texts[static_cast<std::size_t>(i)] = text_.get(at(fixedRows_ + i, col_));
    const std::vector<std::size_t> order = genericSortOrder(texts, how);
    if (listener_) listener_->beginReset();
    Ending end([this] {
        if (listener_) listener_->endReset();
    });
    // Whole rows move, cell colours with their texts.
    const auto width = static_cast<std::size_t>(cols_);
    const std::size_t base = at(fixedRows_, 0);
    std::vector<std::int32_t> back(back_.empty() ? 0 : order.size() * width);
    for (std::size_t i = 0; i < order.size() && !back.empty(); ++i) {
        for (std::size_t c = 0; c < width; ++c) back[i * width + c] = back_[base + order[i] * width + c];
    }
    text_.reorderRows(base, width, order);
    std::copy(back.begin(), back.end(), back_.begin() + static_cast<std::ptrdiff_t>(base));
}

void GridModel::writeRow(int row, int firstCol, const std::vector<std::string>& texts) {
    if (texts.empty()) return;
    checkRun(row, firstCol, static_cast<long long>(texts.size()), false);
    for (std::size_t i = 0; i < texts.size(); ++i) text_.set(at(row, firstCol) + i, texts[i]);
    cellsChanged(row, firstCol, row, firstCol + static_cast<int>(texts.size()) - 1);
}

void GridModel::writeColumn(int col, int firstRow, const std::vector<std::string>& texts) {
    writeColumn(col, firstRow, static_cast<int>(texts.size()),
                [&texts](int i) -> const std::string& { return texts[static_cast<std::size_t>(i)]; });
}

void GridModel::appendRow(const std::vector<std::string>& texts) {
    if (texts.size() > static_cast<std::size_t>(cols_)) subscript();
    const int row = rows_;
    if (listener_) listener_->beginInsertRows(row, row);
    Ending end([this] {
        if (listener_) listener_->endInsertRows();
    });
    resizeRows(rows_ + 1);
    for (std::size_t i = 0; i < texts.size(); ++i) text_.set(at(row, 0) + i, texts[i]);
}

void GridModel::adoptRows(GridCells&& cells) {
    const auto width = static_cast<std::size_t>(cols_);
    const std::size_t own = static_cast<std::size_t>(rows_) * width;
    if (width == 0 ? cells.size() != 0 : cells.size() % width != 0 || cells.size() < own) subscript();
    if (cells.size() == own) return;
    const auto rows = static_cast<int>(cells.size() / width);
    for (std::size_t i = 0; i < own; ++i) cells.set(i, text_.get(i));
    if (listener_) listener_->beginInsertRows(rows_, rows - 1);
    Ending end([this] {
        if (listener_) listener_->endInsertRows();
    });
    text_ = std::move(cells);
    resizeRows(rows);
}

void GridModel::clearCells(int firstRow, int firstCol, int lastRow, int lastCol) {
    if (firstRow > lastRow || firstCol > lastCol) return;
    checkCell(firstRow, firstCol);
    checkCell(lastRow, lastCol);
    for (int r = firstRow; r <= lastRow; ++r) {
        for (int c = firstCol; c <= lastCol; ++c) text_.set(at(r, c), {});
    }
    cellsChanged(firstRow, firstCol, lastRow, lastCol);
}

void GridModel::backColorBlock(int firstRow, int firstCol, int lastRow, int lastCol, std::int32_t color,
                               int rowStep) {
    if (rowStep < 1) badValue();
    if (firstRow > lastRow || firstCol > lastCol) return;
    checkCell(firstRow, firstCol);
    checkCell(lastRow, lastCol);
    if (back_.empty()) {
        if (color == 0) return;
        back_.assign(text_.size(), 0);
    }
    for (int r = firstRow; r <= lastRow; r += rowStep) {
        for (int c = firstCol; c <= lastCol; ++c) back_[at(r, c)] = color;
    }
    cellsChanged(firstRow, firstCol, lastRow, lastCol);
}

void GridModel::alignColumns(int firstCol, int lastCol, int alignment) {
    if (firstCol > lastCol) return;
    checkCol(firstCol);
    checkCol(lastCol);
    for (int c = firstCol; c <= lastCol; ++c) colAlign_[static_cast<std::size_t>(c)] = alignment;
    if (rows_ > 0) cellsChanged(0, firstCol, rows_ - 1, lastCol);
}

void GridModel::colWidths(const std::vector<std::int32_t>& twips) {
    if (twips.empty()) return;
    if (twips.size() > static_cast<std::size_t>(cols_)) subscript();
    if (std::any_of(twips.begin(), twips.end(), [](std::int32_t w) { return w < -1; })) badValue();
    for (std::size_t c = 0; c < twips.size(); ++c)
        colWidth_[c] = twips[c] == -1 ? kDefaultColWidth : twips[c];
    if (listener_) listener_->colWidthsChanged(0, static_cast<int>(twips.size()) - 1);
}

void GridModel::writeValues(const ResultTable& table, int firstRow, int firstCol) {
    const auto fields = static_cast<long long>(table.columns.size());
    const auto records = static_cast<long long>(table.rowCount());
    if (fields == 0 || records == 0) return;
    checkRun(firstRow, firstCol, records, true);
    checkRun(firstRow, firstCol, fields, false);
    copyValues(table, firstRow, firstCol);
    cellsChanged(firstRow, firstCol, firstRow + static_cast<int>(records) - 1,
                 firstCol + static_cast<int>(fields) - 1);
}

void GridModel::copyValues(const ResultTable& table, int firstRow, int firstCol) {
    const std::size_t fields = table.columns.size();
    const std::size_t records = table.rowCount();
    for (std::size_t i = 0; i < records; ++i) {
        const std::size_t cells = at(firstRow + static_cast<int>(i), firstCol);
        for (std::size_t f = 0; f < fields; ++f) {
            base::withCellText(table.at(i, f), [&](std::string_view text) { text_.set(cells + f, text); });
        }
    }
}

void GridModel::Recordset(Palvo::Recordset& rs) {
    if (type_ != GridType::MSHFlexGrid) {
        throw Error(GridError::NotSupported, "Object doesn't support this property or method");
    }
    const ResultTable& table = rs.table();
    const int fields = static_cast<int>(table.columns.size());
    const int records = static_cast<int>(table.rowCount());
    const int fixedRows = fixedRows_;
    const int fixedCols = fixedCols_;
    if (listener_) listener_->beginReset();
    Ending end([this] {
        if (listener_) listener_->endReset();
    });
    // The grid keeps its own copy: rows and columns are laid out anew.
    text_ = GridCells();
    back_.clear();
    cols_ = 0;
    rows_ = 0;
    resizeCols(fixedCols + fields);
    resizeRows(fixedRows + std::max(records, 1));
    fixedRows_ = fixedRows;
    fixedCols_ = fixedCols;
    if (fixedRows > 0) {
        for (int k = 0; k < fields; ++k)
            text_.set(at(0, fixedCols + k), table.columns[static_cast<std::size_t>(k)].name);
    }
    copyValues(table, fixedRows, fixedCols);
    row_ = std::min(fixedRows, rows_ - 1);
    col_ = std::max(0, std::min(fixedCols, cols_ - 1));
    topRow_ = row_;
    ++bindCount_;
}

}  // namespace Palvo

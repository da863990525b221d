#include "palvo/qt/grid.h"

#include <QAbstractButton>
#include <QAbstractTableModel>
#include <QEvent>
#include <QFont>
#include <QHeaderView>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTableWidget>
#include <algorithm>
#include <stdexcept>
#include <string_view>

#include "palvo/convert.h"
#include "palvo/error.h"
#include "qt_support.h"

namespace Palvo::qt {

namespace {

// The cell colour in the port's encoding; 0 (or nothing) is the grid's default.
constexpr int kBackColorRole = Qt::UserRole + 1;
// Whether the cell lies in a fixed row or column.
constexpr int kFixedRole = Qt::UserRole + 2;
// The adapter whose grid a view shows, on the view.
constexpr const char* kShownProperty = "palvoShownGrid";

Qt::Alignment alignmentOf(int code, std::string_view text) {
    if (code == 9) {
        // General: numbers right, everything else left, both vertically centred.
        const bool number = base::readNumber(text).has_value();
        return (number ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
    }
    static const Qt::Alignment horizontal[] = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight};
    static const Qt::Alignment vertical[] = {Qt::AlignTop, Qt::AlignVCenter, Qt::AlignBottom};
    if (code < 0 || code > 8) return Qt::AlignLeft | Qt::AlignVCenter;
    return horizontal[code / 3] | vertical[code % 3];
}

// The Qt face of the core grid: every cell is read from the grid when the view
// asks, so nothing is copied per cell. Cell changes are gathered into one
// rectangle and announced once from the event loop (a fill of many cells costs
// Qt one repaint); shape changes are announced around the change itself.
class TableModel final : public QAbstractTableModel {
public:
    TableModel(const GridModel& grid, const QWidget* view) : grid_(grid), view_(view) {}

    int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : grid_.Rows(); }
    int columnCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : grid_.Cols(); }

    QVariant data(const QModelIndex& index, int role) const override {
        const int r = index.row();
        const int c = index.column();
        if (!index.isValid() || r >= grid_.Rows() || c >= grid_.Cols()) return {};
        switch (role) {
            case Qt::DisplayRole: {
                const std::string_view text = grid_.cellText(r, c);
                return text.empty() ? QVariant() : QVariant(toQString(text));
            }
            case Qt::TextAlignmentRole:
                return static_cast<int>(alignmentOf(grid_.ColAlignment(c), grid_.cellText(r, c)));
            case Qt::BackgroundRole: {
                const std::int32_t color = grid_.cellBackColor(r, c);
                if (color == 0) return {};
                const QColor q = toQColor(color, view_->palette());
                return q.isValid() ? QVariant(QBrush(q)) : QVariant();
            }
            case kBackColorRole:
                return static_cast<int>(grid_.cellBackColor(r, c));
            case kFixedRole:
                return r < grid_.FixedRows() || c < grid_.FixedCols();
            default:
                return {};
        }
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override {
        return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
    }

    using QAbstractItemModel::beginInsertColumns;
    using QAbstractItemModel::beginInsertRows;
    using QAbstractItemModel::beginRemoveColumns;
    using QAbstractItemModel::beginRemoveRows;
    using QAbstractItemModel::beginResetModel;
    using QAbstractItemModel::endInsertColumns;
    using QAbstractItemModel::endInsertRows;
    using QAbstractItemModel::endRemoveColumns;
    using QAbstractItemModel::endRemoveRows;
    using QAbstractItemModel::endResetModel;

    void noteCells(int firstRow, int firstCol, int lastRow, int lastCol) {
        if (pending_) {
            top_ = std::min(top_, firstRow);
            left_ = std::min(left_, firstCol);
            bottom_ = std::max(bottom_, lastRow);
            right_ = std::max(right_, lastCol);
            return;
        }
        pending_ = true;
        top_ = firstRow;
        left_ = firstCol;
        bottom_ = lastRow;
        right_ = lastCol;
        QMetaObject::invokeMethod(
            this, [this] { announceCells(); }, Qt::QueuedConnection);
    }

    // Tells the view of the cells changed since the last announcement, now.
    void announceCells() {
        if (!pending_) return;
        pending_ = false;
        // The shape may have shrunk since: only what is left of the rectangle.
        const int bottom = std::min(bottom_, grid_.Rows() - 1);
        const int right = std::min(right_, grid_.Cols() - 1);
        if (top_ > bottom || left_ > right) return;
        emit dataChanged(index(top_, left_), index(bottom, right));
        // The fixed cells are drawn by the headers.
        if (top_ < grid_.FixedRows()) emit headerDataChanged(Qt::Horizontal, left_, right);
        if (left_ < grid_.FixedCols()) emit headerDataChanged(Qt::Vertical, top_, bottom);
    }

    // A reset repaints everything anyway.
    void forgetCells() { pending_ = false; }

    const GridModel& grid() const { return grid_; }
    // The pixel width of each column as last given to the view, for drawing the fixed ones.
    std::vector<int> pixels;

private:
    const GridModel& grid_;
    const QWidget* view_;
    bool pending_ = false;
    int top_ = 0, left_ = 0, bottom_ = 0, right_ = 0;
};

// Paints data cells in the table's base colour and fixed cells in the button
// colours, unless a cell colour was set.
class FixedCellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        if (index.data(kBackColorRole).toInt() != 0) return;
        if (!index.data(kFixedRole).toBool()) {
            // The table's base colour, so that the viewport can show BackColorBkg past the last cell.
            option->backgroundBrush = option->palette.base();
            return;
        }
        option->backgroundBrush = option->palette.button();
        option->palette.setBrush(QPalette::Text, option->palette.buttonText());
    }
};

// The height of a fixed row: the rows' default height (fixed rows are hidden in the data area).
int fixedRowHeight(const QTableView* view) { return view->verticalHeader()->defaultSectionSize(); }

// One fixed cell through the table's delegate, with the table's grid line at its right and bottom.
void paintCell(QPainter* painter, const QTableView* view, const QModelIndex& index, const QRect& rect) {
    QStyleOptionViewItem option;
    option.initFrom(view);
    option.font = view->font();
    option.fontMetrics = QFontMetrics(option.font);
    option.widget = view;
    option.state &= ~(QStyle::State_HasFocus | QStyle::State_MouseOver);
    option.rect = rect.adjusted(0, 0, -1, -1);
    view->itemDelegate()->paint(painter, option, index);
    const int hint = view->style()->styleHint(QStyle::SH_Table_GridLineColor, &option, view);
    painter->save();
    painter->setPen(QColor::fromRgba(static_cast<QRgb>(hint)));
    painter->drawLine(rect.topRight(), rect.bottomRight());
    painter->drawLine(rect.bottomLeft(), rect.bottomRight());
    painter->restore();
}

// The fixed cells that lie in both the fixed rows and the fixed columns, at the
// top-left corner of `area`.
void paintCorner(QPainter* painter, const QTableView* view, const TableModel& model, const QRect& area) {
    const int h = fixedRowHeight(view);
    for (int r = 0; r < model.grid().FixedRows(); ++r) {
        int x = area.x();
        for (int c = 0; c < model.grid().FixedCols(); ++c) {
            const int w = model.pixels[static_cast<std::size_t>(c)];
            paintCell(painter, view, model.index(r, c), QRect(x, area.y() + r * h, w, h));
            x += w;
        }
    }
}

// A header band of frozen cells: the horizontal one draws the fixed rows above
// each data column, the vertical one the fixed columns beside each data row.
// Being the view's headers they scroll with the data along one direction only,
// and keep their place along the other.
class FrozenHeader final : public QHeaderView {
public:
    FrozenHeader(Qt::Orientation orientation, QTableView* view)
        : QHeaderView(orientation, view), view_(view) {
        setSectionsClickable(false);
        setHighlightSections(false);
    }

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override {
        const auto* model = dynamic_cast<const TableModel*>(this->model());
        if (!model) return;  // the adapter is gone
        const GridModel& grid = model->grid();
        if (orientation() == Qt::Horizontal) {
            const int h = fixedRowHeight(view_);
            for (int r = 0; r < grid.FixedRows(); ++r) {
                paintCell(painter, view_, model->index(r, logicalIndex),
                          QRect(rect.x(), rect.y() + r * h, rect.width(), h));
            }
            return;
        }
        int x = rect.x();
        for (int c = 0; c < grid.FixedCols(); ++c) {
            const int w = model->pixels[static_cast<std::size_t>(c)];
            paintCell(painter, view_, model->index(logicalIndex, c), QRect(x, rect.y(), w, rect.height()));
            x += w;
        }
    }

private:
    QTableView* view_;
};

// Draws the corner cells over the table's corner button, where the two header bands meet.
class CornerPainter final : public QObject {
public:
    CornerPainter(const QTableView* view, const TableModel& model) : view_(view), model_(model) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Paint) return false;
        auto* corner = static_cast<QWidget*>(watched);
        QPainter painter(corner);
        painter.fillRect(corner->rect(), corner->palette().button());
        paintCorner(&painter, view_, model_, corner->rect());
        return true;
    }

private:
    const QTableView* view_;
    const TableModel& model_;
};

}  // namespace

// What the view shows of the grid, kept in step by the grid's announcements.
struct FlexGrid::Shown final : GridListener {
    Shown(FlexGrid& g, QTableView* t) : grid(g), table(t), model(g, t), corner(t, model) {
        // The row height the host chose goes over to the new headers.
        const QHeaderView* rows = table->verticalHeader();
        const int minimum = rows->minimumSectionSize();
        const int height = rows->defaultSectionSize();
        auto* side = new FrozenHeader(Qt::Vertical, table);
        side->setMinimumSectionSize(minimum);
        side->setDefaultSectionSize(height);
        table->setVerticalHeader(side);
        table->setHorizontalHeader(new FrozenHeader(Qt::Horizontal, table));
        table->setEditTriggers(QAbstractItemView::NoEditTriggers);
        table->setSortingEnabled(false);
        table->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
        table->setWordWrap(false);
        table->setCornerButtonEnabled(false);
        table->setItemDelegate(new FixedCellDelegate(table));
        table->setModel(&model);
        table->setProperty(kShownProperty, QVariant::fromValue(reinterpret_cast<quintptr>(&grid)));
        for (QAbstractButton* b :
             table->findChildren<QAbstractButton*>(QString(), Qt::FindDirectChildrenOnly)) {
            b->installEventFilter(&corner);
            cornerButton = b;
        }
        // Redraw the corner when fixed cells may have changed.
        QObject::connect(&model, &QAbstractItemModel::dataChanged, &corner, [this] { updateCorner(); });
        QObject::connect(&model, &QAbstractItemModel::modelReset, &corner, [this] { updateCorner(); });
        resizeModes(grid.AllowUserResizing());
        applyWidths();
        syncFrozen();
    }

    ~Shown() override {
        if (!showing()) return;
        table->setModel(nullptr);
        table->setProperty(kShownProperty, QVariant());
    }

    // False once a newer adapter took the view over (or the view is gone):
    // then this grid leaves the view alone.
    bool showing() const { return table && FlexGrid::shownIn(table) == &grid; }

    Shown(const Shown&) = delete;
    Shown& operator=(const Shown&) = delete;

    // ---- the grid's announcements
    void cellsChanged(int firstRow, int firstCol, int lastRow, int lastCol) override {
        model.noteCells(firstRow, firstCol, lastRow, lastCol);
    }
    void beginInsertRows(int first, int last) override {
        model.announceCells();
        model.beginInsertRows(QModelIndex(), first, last);
    }
    void endInsertRows() override {
        model.endInsertRows();
        syncFrozen();
    }
    void beginRemoveRows(int first, int last) override {
        model.announceCells();
        model.beginRemoveRows(QModelIndex(), first, last);
    }
    void endRemoveRows() override {
        model.endRemoveRows();
        syncFrozen();
    }
    void beginInsertCols(int first, int last) override {
        model.announceCells();
        model.beginInsertColumns(QModelIndex(), first, last);
    }
    void endInsertCols() override {
        model.endInsertColumns();
        applyWidths();
        syncFrozen();
    }
    void beginRemoveCols(int first, int last) override {
        model.announceCells();
        model.beginRemoveColumns(QModelIndex(), first, last);
    }
    void endRemoveCols() override {
        model.endRemoveColumns();
        applyWidths();
        syncFrozen();
    }
    void beginReset() override {
        model.forgetCells();
        model.beginResetModel();
    }
    void endReset() override {
        model.endResetModel();
        applyWidths();
        syncFrozen();
    }
    void fixedChanged() override { syncFrozen(); }
    void colWidthsChanged(int first, int last) override {
        if (!showing()) return;
        for (int c = first; c <= last; ++c) applyWidth(c);
        if (first < grid.FixedCols()) syncFrozen();
    }
    void lookChanged() override { applyLooks(); }

    // ---- keeping the view in step
    // Cheap enough to set all at once: Qt ignores a setting that does not change.
    void applyLooks() {
        if (!showing()) return;
        table->setSelectionMode(grid.HighLight() == 0 ? QAbstractItemView::NoSelection
                                                      : QAbstractItemView::ContiguousSelection);
        table->setToolTip(toQString(grid.ToolTipText()));
        // The area past the last cell is the viewport's background.
        QPalette p = table->viewport()->palette();
        const QColor c = toQColor(grid.BackColorBkg(), table->palette());
        if (c.isValid()) p.setColor(QPalette::Base, c);
        table->viewport()->setPalette(p);
        const int selection = grid.SelectionMode();
        table->setSelectionBehavior(selection == 1   ? QAbstractItemView::SelectRows
                                    : selection == 2 ? QAbstractItemView::SelectColumns
                                                     : QAbstractItemView::SelectItems);
        resizeModes(grid.AllowUserResizing());
        const int bars = grid.ScrollBars();
        const bool h = bars == 1 || bars == 3;
        const bool v = bars == 2 || bars == 3;
        table->setHorizontalScrollBarPolicy(h ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
        table->setVerticalScrollBarPolicy(v ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
        table->setWordWrap(grid.WordWrap());
    }

    void applyWidth(int col) {
        if (!showing()) return;
        const auto c = static_cast<std::size_t>(col);
        const int px = grid.toPixels(grid.colWidthSet(col));
        table->setColumnWidth(col, px);
        // What the header made of it (it may keep a minimum), unless the column is hidden.
        model.pixels[c] = table->isColumnHidden(col) ? px : table->columnWidth(col);
    }

    void applyWidths() {
        model.pixels.assign(static_cast<std::size_t>(grid.Cols()), 0);
        if (!showing()) return;
        for (int c = 0; c < grid.Cols(); ++c) applyWidth(c);
    }

    // Hides the fixed rows and columns in the data area and sizes the header
    // bands that draw them instead.
    void syncFrozen() {
        if (!showing()) return;
        const int fixedRows = grid.FixedRows();
        const int fixedCols = grid.FixedCols();
        // Only the first rows can change between hidden and shown: those hidden
        // before, those fixed now, and one moved down by an insert above them.
        const int rowEnd = std::min(grid.Rows(), std::max(fixedRows, hiddenRows) + 1);
        for (int r = 0; r < rowEnd; ++r) table->setRowHidden(r, r < fixedRows);
        hiddenRows = fixedRows;
        const int colEnd = std::min(grid.Cols(), std::max(fixedCols, hiddenCols) + 1);
        for (int c = 0; c < colEnd; ++c) {
            const bool hide = c < fixedCols;
            if (table->isColumnHidden(c) == hide) continue;
            table->setColumnHidden(c, hide);
            // A column shown again gets its width from the grid, not from before it was hidden.
            if (!hide) applyWidth(c);
        }
        hiddenCols = fixedCols;
        QHeaderView* top = table->horizontalHeader();
        top->setFixedHeight(fixedRows * fixedRowHeight(table));
        top->setVisible(fixedRows > 0);
        QHeaderView* side = table->verticalHeader();
        side->setFixedWidth(fixedWidth());
        side->setVisible(fixedCols > 0);
        top->viewport()->update();
        side->viewport()->update();
        updateCorner();
    }

    int fixedWidth() const {
        int width = 0;
        for (int c = 0; c < grid.FixedCols(); ++c) width += model.pixels[static_cast<std::size_t>(c)];
        return width;
    }

    void updateCorner() {
        if (cornerButton) cornerButton->update();
    }

    void resizeModes(int mode) {
        if (!showing()) return;
        const bool cols = mode == 1 || mode == 3;
        const bool rows = mode == 2 || mode == 3;
        table->horizontalHeader()->setSectionResizeMode(cols ? QHeaderView::Interactive : QHeaderView::Fixed);
        table->verticalHeader()->setSectionResizeMode(rows ? QHeaderView::Interactive : QHeaderView::Fixed);
    }

    FlexGrid& grid;
    QPointer<QTableView> table;
    TableModel model;
    CornerPainter corner;
    QPointer<QAbstractButton> cornerButton;
    int hiddenRows = 0;
    int hiddenCols = 0;
};

namespace {

int dynamicInt(const QObject* o, const char* name, int fallback) {
    const QVariant v = o->property(name);
    return v.isValid() ? v.toInt() : fallback;
}

QTableView* checkedView(QTableView* table) {
    if (qobject_cast<QTableWidget*>(table)) {
        throw std::invalid_argument(
            "qt::FlexGrid shows its grid in a QTableView; a QTableWidget keeps its own model");
    }
    return table;
}

}  // namespace

FlexGrid::FlexGrid(QTableView* table, GridType type) : GridModel(type), table_(checkedView(table)) {
    startShape(dynamicInt(table_, "Rows", 2), dynamicInt(table_, "Cols", 2),
               dynamicInt(table_, "FixedRows", 1), dynamicInt(table_, "FixedCols", 1));
    // A tooltip the host gave the view is the grid's until it is written.
    ToolTipText(toStd(table_->toolTip()));
    shown_ = std::make_unique<Shown>(*this, table_);
    listen(shown_.get());
}

FlexGrid::~FlexGrid() { listen(nullptr); }

FlexGrid* FlexGrid::shownIn(const QTableView* table) {
    return reinterpret_cast<FlexGrid*>(table->property(kShownProperty).value<quintptr>());
}

std::string FlexGrid::Name() const { return toStd(table_->objectName()); }

int FlexGrid::toPixels(std::int32_t twips) const { return twipsToPixels(twips, logicalDpi(table_)); }
std::int32_t FlexGrid::toTwips(int pixels) const { return pixelsToTwips(pixels, logicalDpi(table_)); }

std::int32_t FlexGrid::ColWidth(int col) const {
    const std::int32_t twips = colWidthSet(col);
    if (!shown_->showing() || table_->isColumnHidden(col)) return twips;
    const int px = table_->columnWidth(col);
    return px == shown_->model.pixels[static_cast<std::size_t>(col)] ? twips : toTwips(px);
}

float FlexGrid::CellFontSize() const {
    const QFont font = table_->font();
    return static_cast<float>(font.pointSizeF() > 0 ? font.pointSizeF() : 9.0);
}

std::int32_t FlexGrid::CellLeft() const {
    checkCol(Col());
    // Relative to the control: the fixed columns start inside the frame, the
    // data columns after them, moved by the scrolling.
    int x = table_->contentsRect().left();
    if (Col() < FixedCols()) {
        for (int c = 0; c < Col(); ++c) x += shown_->model.pixels[static_cast<std::size_t>(c)];
    } else {
        x += shown_->fixedWidth() + table_->columnViewportPosition(Col());
    }
    return toTwips(x);
}

std::int32_t FlexGrid::CellTop() const {
    if (Row() >= Rows()) throw Error(GridError::Subscript, "Subscript out of range");
    int y = table_->contentsRect().top();
    if (Row() < FixedRows()) {
        y += Row() * fixedRowHeight(table_);
    } else {
        y += FixedRows() * fixedRowHeight(table_) + table_->rowViewportPosition(Row());
    }
    return toTwips(y);
}

void FlexGrid::TopRow(int row) {
    GridModel::TopRow(row);
    const int top = TopRow();
    if (top >= Rows() || !shown_->showing()) return;
    // Rows added since the last layout must count for the scroll range.
    table_->doItemsLayout();
    if (FixedCols() < Cols()) {
        table_->scrollTo(shown_->model.index(top, FixedCols()), QAbstractItemView::PositionAtTop);
    } else {
        // Nothing but fixed columns: scroll by rows, counted from the first data row.
        table_->verticalScrollBar()->setValue(top - FixedRows());
    }
}

bool FlexGrid::RowIsVisible(int row) const {
    if (row < 0 || row >= Rows()) throw Error(GridError::Subscript, "Subscript out of range");
    if (row < FixedRows()) return true;
    if (table_->isRowHidden(row)) return false;
    const int top = table_->rowViewportPosition(row);
    return top + table_->rowHeight(row) > 0 && top < table_->viewport()->height();
}

std::int32_t FlexGrid::Width() const { return toTwips(table_->width()); }
std::int32_t FlexGrid::Left() const { return toTwips(table_->x()); }
std::int32_t FlexGrid::Top() const { return toTwips(table_->y()); }

}  // namespace Palvo::qt

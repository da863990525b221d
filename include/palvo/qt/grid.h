// Qt 6 Widgets adapters: the flex grid. Only a Qt host includes the
// headers under palvo/qt/ (target Palvo::qt); the core never does. Qt classes
// are only forward-declared here.
//
// Lifetime: every control adapter keeps a non-owning pointer to its widget.
// The host owns the widget and must keep it alive as long as the adapter;
// make one adapter per widget. Use them on the GUI thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "palvo/export.h"
#include "palvo/grid_model.h"

class QTableView;

namespace Palvo::qt {

using Palvo::GridType;

/// A flex grid shown in a QTableView (docs/qt.md). The grid is the core grid
/// model; the adapter gives the view a table model that reads it, and freezes
/// the fixed rows and columns: the view's headers draw them, so they stay in
/// place while the data scrolls. The looks (HighLight, ToolTipText,
/// BackColorBkg, SelectionMode, AllowUserResizing, ScrollBars, WordWrap) are
/// the model's; the view takes them on when they change. Grid row r and column c are model row r and
/// column c; the fixed ones are hidden in the data area. Cell changes reach
/// the view from the event loop, gathered into one announcement; shape
/// changes are announced as they happen. Sizes are twips at the widget's
/// logical resolution (1440 per inch). The grid starts 2 x 2 with one fixed
/// row and column, or from the view's dynamic properties Rows, Cols,
/// FixedRows and FixedCols. The adapter replaces the view's model, headers
/// and item delegate; the view shows the grid while the adapter lives. One
/// grid shows in a view at a time: a newer adapter on the same view takes it
/// over (a Form hands out the one shown). A QTableWidget cannot take another
/// model and is refused (std::invalid_argument).
class PALVO_API FlexGrid : public GridModel {
public:
    explicit FlexGrid(QTableView* table, GridType type = GridType::MSFlexGrid);
    ~FlexGrid() override;
    FlexGrid(const FlexGrid&) = delete;
    FlexGrid& operator=(const FlexGrid&) = delete;

    /// The adapter whose grid the view shows; nullptr for none.
    static FlexGrid* shownIn(const QTableView* table);

    std::string Name() const override;

    using GridModel::ColWidth;
    /// The twips set last, unless the user (or the host) resized the column since.
    std::int32_t ColWidth(int col) const override;

    float CellFontSize() const override;
    std::int32_t CellLeft() const override;
    std::int32_t CellTop() const override;
    using GridModel::TopRow;
    /// Also scrolls the row to the top of the data area.
    void TopRow(int row) override;
    /// Fixed rows always are; a data row when any part of it lies inside the viewport.
    bool RowIsVisible(int row) const override;

    std::int32_t Width() const override;
    std::int32_t Left() const override;
    std::int32_t Top() const override;

private:
    struct Shown;
    int toPixels(std::int32_t twips) const;
    std::int32_t toTwips(int pixels) const;

    QTableView* table_;
    std::unique_ptr<Shown> shown_;
};

}  // namespace Palvo::qt

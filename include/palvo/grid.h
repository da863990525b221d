// Flex grid port: the members of the host's MSFlexGrid or MSHFlexGrid that the
// library drives. Getters and setters share the member's name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "palvo/controls.h"
#include "palvo/export.h"

namespace Palvo {

class Recordset;

/// Error numbers a flex grid raises.
namespace GridError {
inline constexpr long BadValue = 380;           // "Invalid property value"
inline constexpr long Subscript = 381;          // "Subscript out of range"
inline constexpr long NotSupported = 438;       // "Object doesn't support this property or method"
inline constexpr long BadRow = 30009;           // "Invalid Row value"
inline constexpr long BadCol = 30010;           // "Invalid Col value"
inline constexpr long LastNonFixedRow = 30015;  // "Can not remove last non-fixed row"
}  // namespace GridError

/// A flex grid. Indices are 0-based, row 0 is the heading row, sizes are twips.
/// The order in which Sort puts rows whose sort column holds `texts`:
/// empty cells, then numbers by value, then other texts byte by byte; `how` 1
/// ascending, 2 the exact reverse; rows that tie keep their order. Every grid
/// adapter sorts with it, so all of them agree.
PALVO_API std::vector<std::size_t> genericSortOrder(const std::vector<std::string_view>& texts, int how);

/// typeName() is "MSFlexGrid" or "MSHFlexGrid". Every member that takes a row
/// or column raises Palvo::Error 381 when it lies outside the grid; Row and Col
/// raise 30009 and 30010.
class PALVO_API FlexGrid : public Control {
public:
    ~FlexGrid() override;

    // ---- shape
    virtual int Rows() const = 0;
    /// Drops or adds rows at the end. Throws 380 for a negative count.
    virtual void Rows(int rows) = 0;
    virtual int Cols() const = 0;
    /// Drops or adds columns at the right. Throws 380 for a negative count.
    virtual void Cols(int cols) = 0;
    virtual int FixedRows() const = 0;
    /// Throws 380 unless 0 <= rows <= Rows().
    virtual void FixedRows(int rows) = 0;
    virtual int FixedCols() const = 0;
    /// Throws 380 unless 0 <= cols <= Cols().
    virtual void FixedCols(int cols) = 0;

    // ---- cells
    /// The cell text, "" when empty.
    virtual std::string TextMatrix(int row, int col) const = 0;
    virtual void TextMatrix(int row, int col, const std::string& text) = 0;
    virtual std::int32_t ColWidth(int col) const = 0;
    virtual void ColWidth(int col, std::int32_t twips) = 0;
    /// 1 left centred, 3 centred top, 9 general (text left, numbers right), or any grid code.
    virtual int ColAlignment(int col) const = 0;
    virtual void ColAlignment(int col, int alignment) = 0;

    // ---- the current cell
    virtual int Row() const = 0;
    virtual void Row(int row) = 0;
    virtual int Col() const = 0;
    virtual void Col(int col) = 0;
    /// The background colour of the current cell (0xBBGGRR; 0 is the grid's default).
    virtual std::int32_t CellBackColor() const = 0;
    virtual void CellBackColor(std::int32_t color) = 0;
    /// The font size of the current cell, in points.
    virtual float CellFontSize() const = 0;
    virtual std::int32_t CellLeft() const = 0;
    virtual std::int32_t CellTop() const = 0;
    virtual std::int32_t CellWidth() const = 0;
    /// The first scrollable row shown.
    virtual int TopRow() const = 0;
    virtual void TopRow(int row) = 0;
    /// The column where the selection ends.
    virtual int ColSel() const = 0;
    virtual void ColSel(int col) = 0;
    virtual bool RowIsVisible(int row) const = 0;

    // ---- rows
    /// Adds a row whose cells from column 0 take the tab-separated parts of
    /// text; inserted at index (0..Rows()) or appended when index is -1.
    /// Throws 381 for another index.
    virtual void AddItem(const std::string& text, int index = -1) = 0;
    /// Removes a data row. Throws 381 for a row outside the grid or a fixed
    /// row, 30015 when it is the last data row.
    virtual void RemoveItem(int index) = 0;
    /// Empties every cell (text and cell colours) and keeps the shape.
    virtual void Clear() = 0;
    /// 1 sorts the data rows by column Col() generic ascending, 2 generic
    /// descending: numbers as numbers, other texts as texts. Throws 380 for other values.
    virtual void Sort(int how) = 0;

    // ---- binding (MSHFlexGrid only; an MSFlexGrid throws 438)
    /// Binds a recordset: the grid takes its own copy of the rows.
    virtual void Recordset(Palvo::Recordset& rs) = 0;
    /// Lays out the bound rows again: field k in column FixedCols() + k, field
    /// names in row 0, one row per record from row FixedRows().
    virtual void Refresh() = 0;

    // ---- the control
    virtual std::int32_t Width() const = 0;
    virtual std::int32_t Left() const = 0;
    virtual std::int32_t Top() const = 0;
    virtual int HighLight() const = 0;
    virtual void HighLight(int mode) = 0;
    virtual std::string ToolTipText() const = 0;
    virtual void ToolTipText(const std::string& text) = 0;
    virtual bool AllowBigSelection() const = 0;
    virtual void AllowBigSelection(bool allow) = 0;

    // ---- appearance, written once by the grid styling of the entry forms
    virtual std::int32_t BackColorBkg() const = 0;
    virtual void BackColorBkg(std::int32_t color) = 0;
    virtual int SelectionMode() const = 0;
    virtual void SelectionMode(int mode) = 0;
    virtual int AllowUserResizing() const = 0;
    virtual void AllowUserResizing(int mode) = 0;
    virtual int ScrollBars() const = 0;
    virtual void ScrollBars(int mode) = 0;
    virtual int FocusRect() const = 0;
    virtual void FocusRect(int mode) = 0;
    virtual bool WordWrap() const = 0;
    virtual void WordWrap(bool wrap) = 0;
    virtual int RowSizingMode() const = 0;
    virtual void RowSizingMode(int mode) = 0;
};

}  // namespace Palvo

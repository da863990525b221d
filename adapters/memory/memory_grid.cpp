#include <utility>

#include "palvo/error.h"
#include "palvo/memory/grid.h"

namespace Palvo::memory {

namespace {

constexpr std::int32_t kRowHeight = 240;
constexpr int kVisibleRows = 10;

}  // namespace

FlexGrid::FlexGrid(GridType type, std::string name) : GridModel(type), name_(std::move(name)) {}

std::int32_t FlexGrid::CellLeft() const {
    checkCol(Col());
    std::int32_t left = 0;
    for (int c = 0; c < Col(); ++c) left += colWidthSet(c);
    return left;
}

std::int32_t FlexGrid::CellTop() const {
    if (Row() >= Rows()) throw Error(GridError::Subscript, "Subscript out of range");
    return Row() * kRowHeight;
}

bool FlexGrid::RowIsVisible(int row) const {
    if (row < 0 || row >= Rows()) throw Error(GridError::Subscript, "Subscript out of range");
    if (row < FixedRows()) return true;
    return row >= TopRow() && row < TopRow() + kVisibleRows;
}

}  // namespace Palvo::memory

// Headless flex grid: a plain object that tests and batch hosts fill and read.
#pragma once

#include <cstdint>
#include <string>

#include "palvo/export.h"
#include "palvo/grid_model.h"

namespace Palvo::memory {

using Palvo::GridType;

/// A flex grid kept in memory: the grid model itself with a headless
/// geometry. It starts as the platform's control does (see GridModel), with
/// font size 9 and 4800 twips wide. Rows are 240 twips high and 10 data rows
/// are visible from TopRow.
class PALVO_API FlexGrid : public GridModel {
public:
    explicit FlexGrid(GridType type = GridType::MSFlexGrid, std::string name = "flx");

    std::string Name() const override { return name_; }

    float CellFontSize() const override { return fontSize_; }
    std::int32_t CellLeft() const override;
    std::int32_t CellTop() const override;
    bool RowIsVisible(int row) const override;

    std::int32_t Width() const override { return width_; }
    std::int32_t Left() const override { return left_; }
    std::int32_t Top() const override { return top_; }

    // ---- set by the host or a test
    void Width(std::int32_t twips) { width_ = twips; }
    void Left(std::int32_t twips) { left_ = twips; }
    void Top(std::int32_t twips) { top_ = twips; }
    void CellFontSize(float points) { fontSize_ = points; }

private:
    std::string name_;
    float fontSize_ = 9.0f;
    std::int32_t width_ = 4800;
    std::int32_t left_ = 0;
    std::int32_t top_ = 0;
};

}  // namespace Palvo::memory

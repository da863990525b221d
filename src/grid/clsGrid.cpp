// clsGrid: each method forwards to the grid module.
#include "palvo/clsGrid.h"

#include "src/grid/grid_fill.h"
#include "src/grid/grid_utils.h"

namespace Palvo {

std::string clsGrid::sFillTable(const std::string& sSql, FlexGrid& Grid, bool ControlSize, std::int16_t iSize,
                                const std::string& sSum, bool bHasXH, const std::string& sControlDate) {
    return grid::sFillTable(sSql, Grid, ControlSize, iSize, sSum, bHasXH, sControlDate);
}

void clsGrid::mAddGridColTitle(FlexGrid& flx, Palvo::Recordset& rs, std::int16_t& iBeginGridCol,
                               std::int16_t& iBeginRsField) {
    grid::mAddGridColTitle(flx, rs, iBeginGridCol, iBeginRsField);
}

void clsGrid::mAddGridColTitle(FlexGrid& flx, Palvo::Recordset& rs, std::int16_t& iBeginGridCol) {
    std::int16_t field = 0;
    grid::mAddGridColTitle(flx, rs, iBeginGridCol, field);
}

void clsGrid::mAddGridColTitle(FlexGrid& flx, Palvo::Recordset& rs) {
    std::int16_t col = 0;
    std::int16_t field = 0;
    grid::mAddGridColTitle(flx, rs, col, field);
}

std::string clsGrid::sGetGridColValue(FlexGrid& Grid, const std::int16_t& iRow, const std::string& sColName) {
    return grid::sGetGridColValue(Grid, iRow, sColName);
}

std::int16_t clsGrid::iGetFieldCol(FlexGrid& flx, const std::string& ColName, const std::int16_t& row) {
    return grid::iGetFieldCol(flx, ColName, row);
}

std::int32_t clsGrid::lGetRowNo(FlexGrid& MSGrid, const float& ColIndex, const std::string& CellVal) {
    return grid::lGetRowNo(MSGrid, ColIndex, CellVal);
}

void clsGrid::mMsHorder(FlexGrid& Tcontrol, const std::int16_t& iCol) { grid::mMsHorder(Tcontrol, iCol); }

double clsGrid::dGetColSum(FlexGrid& MSGrid, const std::string& cCaption) {
    return grid::dGetColSum(MSGrid, cCaption);
}

void clsGrid::mExchangeRow(FlexGrid& MSGrid, const float& iR1, const float& iR2) {
    grid::mExchangeRow(MSGrid, iR1, iR2);
}

std::int32_t clsGrid::lGetColWidth(FlexGrid& MSGrid, const std::string& cCaption) {
    return grid::lGetColWidth(MSGrid, cCaption);
}

void clsGrid::mSetGridColAlignment(FlexGrid& Gird, std::int16_t iAlignment) {
    grid::mSetGridColAlignment(Gird, iAlignment);
}

void clsGrid::mSetGridRowColor(FlexGrid& flx, const std::int32_t& color) {
    grid::mSetGridRowColor(flx, color);
}

void clsGrid::mSetGridDate(FlexGrid& MS, const std::string& sDateFormat, std::string sColString,
                           std::string sNotColString) {
    grid::mSetGridDate(MS, sDateFormat, sColString, sNotColString);
}

}  // namespace Palvo

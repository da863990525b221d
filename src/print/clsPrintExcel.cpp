// clsPrint's spreadsheet reports: each method forwards to the print module.
#include "palvo/clsPrint.h"
#include "src/print/frm_load_record.h"

namespace Palvo {

std::string clsPrint::sReportGridtoExcel(const std::string& sTitle, FlexGrid& Grid, const std::string& Topstr,
                                         const std::string& BotStr, const int& iOrient, const int& bAlig,
                                         const bool& bCanEdit) {
    return print::sReportGridtoExcel(sTitle, Grid, Topstr, BotStr, iOrient, bAlig, bCanEdit);
}

std::string clsPrint::sPrintComFlxData(FlexGrid& dataFlx, const std::string& sTitle,
                                       const std::string& Topstr, const std::string& BotStr,
                                       const int& iOrient, const int& bAlig, const bool& bCanEdit,
                                       const std::int16_t& dataBeginRow, FlexGrid* titleFlx,
                                       const std::int16_t& titleCol, const std::string& otherMergeStr) {
    return print::sPrintComFlxData(dataFlx, sTitle, Topstr, BotStr, iOrient, bAlig, bCanEdit, dataBeginRow,
                                   titleFlx, titleCol, otherMergeStr);
}

}  // namespace Palvo

// clsPrint: each method forwards to the print module.
#include "palvo/clsPrint.h"

#include "src/print/multiline_print.h"
#include "src/print/print_record.h"

namespace Palvo {

void clsPrint::mPrintRecord(FlexGrid& flx, const std::string& Title, std::string& Topstr,
                            std::string& BotStr) {
    print::mPrintRecord(flx, Title, Topstr, BotStr);
}

void clsPrint::mPrintRecord(FlexGrid& flx, const std::string& Title, std::string& Topstr) {
    print::mPrintRecord(flx, Title, Topstr, "");
}

void clsPrint::mPrintRecord(FlexGrid& flx, const std::string& Title) {
    print::mPrintRecord(flx, Title, "", "");
}

std::int32_t clsPrint::lPrint_MultiLine_TextBox(TextBox& TXT, TextSurface& p, const std::int32_t& ileft,
                                                const std::int32_t& itop, const float& iFontsize,
                                                const std::int16_t& iMax, const bool& bSpb) {
    return print::lPrint_MultiLine_TextBox(TXT, p, ileft, itop, iFontsize, iMax, bSpb);
}

}  // namespace Palvo

// clsPrint: each method forwards to the print module.
#include "palvo/clsPrint.h"

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

}  // namespace Palvo

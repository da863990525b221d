// clsPrint: printed reports of a grid.
#pragma once

#include <string>

#include "palvo/grid.h"

namespace Palvo {

class clsPrint {
public:
    /// Prints rows 0 .. Rows - 1 of the grid on the thread's printer
    /// (installPrinter) as a paged table: the title, the print time, Topstr on
    /// every page, the ruled heading and rows, BotStr under the table on the
    /// last page and "第 p/P 页" at the foot of each page. Everything it has to
    /// say it says in message boxes titled sMsg; a failure while printing
    /// abandons the job, so nothing of it is printed. Never throws but from
    /// the message box port.
    void mPrintRecord(FlexGrid& flx, const std::string& Title, std::string& Topstr, std::string& BotStr);
    void mPrintRecord(FlexGrid& flx, const std::string& Title, std::string& Topstr);
    void mPrintRecord(FlexGrid& flx, const std::string& Title);
};

}  // namespace Palvo

// clsPrint: printed and spreadsheet reports of a grid. The report methods
// arrive with the printer and spreadsheet ports; until then the class has none.
#pragma once

namespace Palvo {

class clsPrint {};

}  // namespace Palvo

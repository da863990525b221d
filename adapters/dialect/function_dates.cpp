// Calls of date functions and FORMAT: DATENAME, EOMONTH, DATEFROMPARTS, ...
#include "rewriter.h"

namespace Palvo::dialect {

bool Rewriter::dateFunction(const std::string& /*fn*/, const Call& /*c*/, Expr& /*r*/) { return false; }

}  // namespace Palvo::dialect

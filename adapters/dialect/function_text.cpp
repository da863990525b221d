// Calls of text functions: PATINDEX, STUFF, REPLICATE, STRING_AGG, ...
#include "rewriter.h"

namespace Palvo::dialect {

bool Rewriter::textFunction(const std::string& /*fn*/, const Call& /*c*/, Expr& /*r*/) { return false; }

}  // namespace Palvo::dialect

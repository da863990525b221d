// Grouping sets (ROLLUP, CUBE, GROUPING SETS), PIVOT and UNPIVOT, CROSS and OUTER APPLY.
#include "rewriter.h"

namespace Palvo::dialect {}  // namespace Palvo::dialect

// Query forms: window functions, paging (OFFSET ... FETCH), TOP's forms, table hints.
#include "rewriter.h"

namespace Palvo::dialect {}  // namespace Palvo::dialect

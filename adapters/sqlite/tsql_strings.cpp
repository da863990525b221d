// Text: LIKE with character sets, PATINDEX, STUFF, STRING_AGG and the other text functions.
#include "tsql_functions.h"
#include "tsql_support.h"

namespace Palvo::sqlite {

int registerStringFunctions(sqlite3* /*db*/) { return SQLITE_OK; }

}  // namespace Palvo::sqlite

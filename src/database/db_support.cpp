#include "src/database/db_support.h"

#include "src/base/conversions.h"

namespace Palvo::database {

std::int32_t toInt32(const Value& v) { return base::clng(v.toDouble()); }

}  // namespace Palvo::database

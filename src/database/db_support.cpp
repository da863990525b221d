#include "src/database/db_support.h"

#include <limits>

#include "palvo/error.h"

namespace Palvo::database {

std::int32_t toInt32(const Value& v) {
    std::int64_t n = v.toInt64();
    if (n < std::numeric_limits<std::int32_t>::min() || n > std::numeric_limits<std::int32_t>::max()) {
        throw Error(ErrorNumber::Overflow, "Overflow");
    }
    return static_cast<std::int32_t>(n);
}

}  // namespace Palvo::database

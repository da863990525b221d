// The column, total, sort and group lists of a user's query settings set.
#pragma once

#include <string>

namespace Palvo::query {}  // namespace Palvo::query

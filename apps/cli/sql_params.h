// The values `palvo sql --param` binds to a statement's placeholders.
#pragma once

#include <string>
#include <vector>

#include "palvo/value.h"

namespace Palvo::cli {

struct BoundStatement {
    std::string sql;  // each @NAME replaced by ?
    std::vector<Value> values;
};

/// Reads each "NAME=[TYPE:]VALUE" of --param and binds it: by name where the
/// statement says @NAME (every occurrence gets the value), else in order to
/// its '?'. Throws std::invalid_argument naming the parameter that is wrong.
BoundStatement bindParams(const std::string& statement, const std::vector<std::string>& params);

}  // namespace Palvo::cli

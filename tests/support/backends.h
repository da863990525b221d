// The connections a test suite runs on, one parameter each: the embedded
// database, and others the suite adds (ODBC, a real SQL Server).
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "palvo/data.h"
#include "support/exact_numbers.h"
#include "support/mssql_scratch.h"

namespace Palvo::testing {

struct Backend {
    const char* name;
    std::function<std::shared_ptr<Connection>()> open;
    /// Why a test skips when `open` gives no connection.
    const char* skipReason = kMssqlSkipReason;
};

inline void PrintTo(const Backend& b, std::ostream* os) { *os << b.name; }

/// The test's name for a backend parameter.
inline std::string backendName(const ::testing::TestParamInfo<Backend>& p) { return p.param.name; }

}  // namespace Palvo::testing

// What the PostgreSQL target's files share (postgres.cpp, postgres_runtime.cpp,
// postgres_errors.cpp).
#pragma once

#include <string_view>

#include "palvo/dialect/server_errors.h"
#include "palvo/error.h"

namespace Palvo::dialect {

/// The block each connection runs as it opens: the schema `palvo`, installed once per version.
std::string_view postgresRuntime();

/// A statement's failure on PostgreSQL in SQL Server's number and words (in `language`), where it has them.
Error postgresFailure(const Error& failure, std::string_view database, Language language);

}  // namespace Palvo::dialect

// Where T-SQL is rewritten for databases other than SQL Server.
#pragma once

#include "palvo/odbc/connection.h"

namespace Palvo::odbc::detail {

/// The translator a new connection uses when its DBMS is not SQL Server:
/// the T-SQL dialect translator when the library is built with it, else none.
StatementTranslator defaultTranslator();

}  // namespace Palvo::odbc::detail

// Column metadata from what an ODBC driver describes, numbered as SQL Server
// reports it to an ADO client.
#pragma once

#include <string>
#include <string_view>

#include "palvo/data.h"

namespace Palvo::odbc::detail {

/// ColumnInfo (type, DefinedSize, Precision, NumericScale) for a column the
/// driver describes by SQL type, column size, decimal digits and type name.
/// The type name wins when it is a SQL Server type (so "money", reported as
/// decimal(19,4), stays money); otherwise the SQL type decides.
ColumnInfo columnInfoFromDescription(int sqlType, unsigned long columnSize, int decimalDigits,
                                     std::string_view typeName);

}  // namespace Palvo::odbc::detail

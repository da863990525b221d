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

/// The SQL type to send a Null as, for a column of the given ADO type; 0 when
/// the type is not known. SQL Server converts no character type to binary or
/// image, so a Null for a byte column must go as SQL_VARBINARY.
int sqlTypeForNull(int adoType);

/// The canonical text of a decimal or money value a driver handed over as
/// text: no "+", no leading zeros, "0" before the point, at least `scale`
/// decimals (a scale outside 0..38 adds none), no sign on zero. An exponent
/// ("1.25E+1") moves the point in the digits, so nothing is rounded. Text that
/// is not a number comes back unchanged.
std::string decimalText(std::string_view text, int scale);
/// The digits after the point of a number as written ("24.50": 2).
int writtenScale(std::string_view text);

}  // namespace Palvo::odbc::detail

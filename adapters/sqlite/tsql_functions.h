// The SQL Server functions and catalogue views the translated statements call.
#pragma once

#include <string>

struct sqlite3;

namespace Palvo::sqlite {

/// Registers the tsql_* functions on `db` and creates the TEMP views sysobjects
/// and syscolumns. Returns an SQLite result code; on failure `*error` holds a
/// message allocated with sqlite3_malloc (may be null).
int registerTsqlFunctions(sqlite3* db, char** error);

/// Registers the checks values pass on their way into a column (tsql_check_int,
/// tsql_check_decimal, tsql_check_text) and the exact tsql_sum and tsql_avg.
int registerStoredValueFunctions(sqlite3* db);
// The functions of each theme (tsql_math.cpp, tsql_system.cpp, tsql_format.cpp, tsql_strings.cpp).
int registerMathFunctions(sqlite3* db);
int registerSystemFunctions(sqlite3* db);
int registerFormatFunctions(sqlite3* db);
int registerStringFunctions(sqlite3* db);
/// STRING_SPLIT's table-valued function tsql_string_split(text, separator) and APPLY's
/// tsql_picked_row(rowid, table) (tsql_split.cpp).
int registerSplitTable(sqlite3* db);
/// FOR XML PATH's rows as elements: the aggregate tsql_xml_rows (tsql_xml.cpp).
int registerXmlRows(sqlite3* db);

/// The language of month and day names (DATENAME, CONVERT's styles, FORMAT's
/// default culture): us_english, else 简体中文, the default of every connection.
void setDateLanguage(sqlite3* db, bool english);
// SET DATEFIRST: the day weeks begin on (1 Monday ... 7 Sunday), for DATEPART(weekday | week) and
// @@DATEFIRST on that connection.
void setDateFirst(sqlite3* db, int day);
int dateFirstOf(sqlite3* db);
// SET DATEFORMAT: the order ("dmy", ...) a date's numbers are read in on that connection, until the next
// SET DATEFORMAT or language; without one the language's (us_english mdy, 简体中文 ymd).
void setDateFormat(sqlite3* db, const std::string& order);
std::string dateFormatOf(sqlite3* db);

/// `d` rounded half away from zero to `scale` decimals of the number it was
/// written as (2.675 gives 2.68, not the 2.67 of its binary value).
double roundDecimal(double d, int scale);

}  // namespace Palvo::sqlite

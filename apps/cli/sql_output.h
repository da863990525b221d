// How `palvo sql` prints a query's rows: tab-separated text with every
// character that could end a field or a line written as an escape, or CSV.
#pragma once

#include <iosfwd>
#include <string>
#include <string_view>

#include "palvo/data.h"

namespace Palvo::cli {

enum class SqlFormat {
    Text,  // tab-separated, "\N" for Null, escapes inside fields
    Csv,   // RFC 4180
};

/// A value or column name of the text output: backslash, backspace, form feed,
/// newline, carriage return, tab and vertical tab as \\ \b \f \n \r \t \v, any
/// other control character (U+0000 to U+001F, U+007F) as \xHH.
std::string textField(std::string_view s);

/// A field of RFC 4180: quoted, with its quotes doubled, when it holds a comma,
/// a quote, a carriage return or a line feed, or is empty (an empty unquoted
/// field is a Null).
std::string csvField(std::string_view s);

/// The column names, a line of ADO type numbers when `types`, then one line per
/// row; lines end with "\n" in text and "\r\n" in CSV.
void writeRows(std::ostream& out, const ResultTable& table, SqlFormat format, bool types);

}  // namespace Palvo::cli

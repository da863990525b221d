// ODBC connection strings: parsing, quoting and the driver alias of the host platform.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace Palvo::odbc::detail {

/// One "key=value" attribute; text is how it was written, braces and all.
struct Attribute {
    std::string key;    // as written, without surrounding spaces
    std::string value;  // braces removed, "}}" read as "}"
    std::string text;
    bool hasValue = true;  // false for a segment without '=', kept as written
};

/// Splits a connection string into attributes. Throws Palvo::Error
/// (ConnectionFailed) naming the key whose braced value is not closed.
std::vector<Attribute> parseConnectionString(std::string_view text);

/// "{value}" with every "}" doubled.
std::string braced(std::string_view value);

/// Whether a Driver value names the host platform's SQL Server driver ("sql server", braces optional).
bool isSqlServerAlias(std::string_view driver);

/// Whether a Driver value names FreeTDS (its odbcinst.ini name or its library).
bool isFreeTdsDriver(std::string_view driver);

/// The string for the driver manager and whether it goes to FreeTDS.
struct ResolvedConnectionString {
    std::string text;
    bool freeTds = false;
};

/// What Palvo::odbc::driverConnectionString returns, with the FreeTDS flag.
ResolvedConnectionString resolveConnectionString(const std::string& connectionString, const std::string& user,
                                                 const std::string& password);

/// UTF-16 code units of UTF-8 text; a malformed byte becomes U+FFFD.
std::u16string utf16FromUtf8(std::string_view text);

}  // namespace Palvo::odbc::detail

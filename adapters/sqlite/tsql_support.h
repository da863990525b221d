// What the files of the tsql_* functions share: the SQLite API as the adapter or
// the loadable extension (PALVO_TSQL_EXTENSION) reaches it, reading arguments
// and giving results, the dates that CONVERT and '+' read and write, and the
// functions the registration table names.
#pragma once

#ifdef PALVO_TSQL_EXTENSION
#include <sqlite3ext.h>
SQLITE_EXTENSION_INIT3
#else
#include <sqlite3.h>
#endif

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "palvo/value.h"

namespace Palvo::sqlite::tsql {

// ---- arguments and results

inline std::string_view textOf(sqlite3_value* v) {
    const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
    return p ? std::string_view(p, static_cast<std::size_t>(sqlite3_value_bytes(v))) : std::string_view();
}

inline void resultText(sqlite3_context* ctx, std::string_view s) {
    sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

inline void resultError(sqlite3_context* ctx, const std::string& msg) {
    sqlite3_result_error(ctx, msg.c_str(), static_cast<int>(msg.size()));
}

inline bool anyNull(int argc, sqlite3_value** argv) {
    for (int i = 0; i < argc; ++i) {
        if (sqlite3_value_type(argv[i]) == SQLITE_NULL) return true;
    }
    return false;
}

// Whether a text of `bytes` may be built for a result: within SQLite's length
// limit and, under the heap bound, beside what SQLite already holds (the text
// built here is copied into SQLite's memory, so it counts twice). Otherwise the
// result is SQLite's error (too big, or out of memory) and false.
bool roomForText(sqlite3_context* ctx, std::uint64_t bytes);

// A number as text: a double with up to 15 significant digits.
std::string numberText(sqlite3_value* v);

// A whole number written in text: blanks around, an optional sign, digits only, within bigint.
std::optional<std::int64_t> parseWhole(std::string_view s);

// ---- dates (tsql_dates.cpp): SQL Server's range, 1753-01-01 to 9999-12-31

extern const char* const kDateConversionFailed;
extern const char* const kDatetimeOutOfRange;

// What reading a date found: the date, or none; `outOfRange` when the text had a date's shape but its
// numbers name no day of the range (month 13, 30 February), SQL Server's 242 for datetime.
struct DateText {
    std::optional<DateTime> date;
    bool outOfRange = false;
    bool ydm = false;  // three numbers for a date under SET DATEFORMAT ydm, which date does not read
};
extern const char* const kYdmForDate;
// Text read as SQL Server reads it into datetime (`dateType`: into date), its numbers in the order the
// connection of `ctx` reads them (SET DATEFORMAT; mdy without a connection).
DateText readDateText(std::string_view text, sqlite3_context* ctx, bool dateType);
std::optional<DateTime> parseDate(std::string_view text);
// A value as a date: text in one of SQL Server's forms, or a number of days since 1900-01-01.
DateText dateOfValue(sqlite3_context* ctx, sqlite3_value* v, bool dateType = false);
inline std::optional<DateTime> valueToDate(sqlite3_context* ctx, sqlite3_value* v) {
    return dateOfValue(ctx, v).date;
}
// The order the connection reads a date's numbers in: "mdy", "dmy", ... (tsql_format.cpp).
std::string dateOrder(sqlite3_context* ctx);
// The stored form 'YYYY-MM-DD HH:MM:SS.mmm' holding a real calendar date and time of
// any year, read without the general parser: a query's date columns read it on every row.
std::optional<DateTime> readStoredForm(std::string_view text);
// A stored date: the stored form holding a real date in the range.
std::optional<DateTime> readStored(std::string_view text);
// Milliseconds since 1900-01-01, and back (nullopt outside the range).
std::int64_t totalMillis(const DateTime& d);
std::optional<DateTime> fromMillis(std::int64_t ms);
// A datetime as SQL Server keeps it, in ticks of 1/300 s: the milliseconds end
// in 0, 3 or 7 (.001 -> .000, .002 -> .003, .005 -> .007, .999 -> the next
// second); nullopt past 9999-12-31 23:59:59.997.
std::optional<DateTime> toTicks(const DateTime& d);
// A smalldatetime as SQL Server keeps it: the datetime rounded to the minute
// (29.998 seconds down, 29.999 up); nullopt outside 1900-01-01 to 2079-06-06 23:59.
std::optional<DateTime> toMinute(const DateTime& d);
extern const char* const kSmalldatetimeOutOfRange;
// The text of CONVERT(varchar, date, style); month names in English or, under
// 简体中文, as SQL Server's Chinese language has them ('01' to '12') (tsql_format.cpp).
std::string formatStyle(const DateTime& d, int style, bool english);
// A text read as CONVERT(datetime, text, style) reads it; nullopt when it is none.
std::optional<DateTime> parseStyled(std::string_view text, int style);
// CONVERT(time(scale), x): 'hh:mm:ss.fffffff' with `scale` digits (7 when -2), the
// fraction as written kept to 100 ns (tsql_format.cpp).
void convertToTime(sqlite3_context* ctx, long scale, sqlite3_value* x);
// The scale of a time as convertToTime writes it ('10:30:00.1230000' 7, '10:30:00' 0); nullopt for other
// text.
std::optional<int> timeScale(std::string_view text);
// Whether the connection of the call speaks us_english (else 简体中文) (tsql_format.cpp).
bool speaksEnglish(sqlite3_context* ctx);

// ---- the functions, by file

using Fn = void (*)(sqlite3_context*, int, sqlite3_value**);

// tsql_dates.cpp
void fnGetdate(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void fnDatetime(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void fnSmalldatetime(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void fnDate(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void fnDatelit(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void fnDatepart(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void fnDateadd(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void fnDatediff(sqlite3_context* ctx, int argc, sqlite3_value** argv);

// tsql_convert.cpp
void fnConvert(sqlite3_context* ctx, int argc, sqlite3_value** argv);

// tsql_arith.cpp
void fnArith(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void fnAdd(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void fnNegate(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void fnAbs(sqlite3_context* ctx, int argc, sqlite3_value** argv);

// tsql_text.cpp
void fnLeft(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void fnRight(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void fnLen(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void fnSubstring(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void fnCharindex(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void fnReplace(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void fnChar(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void fnNchar(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void fnAscii(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void fnUnicode(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void fnRefuse(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void fnCannotDrop(sqlite3_context* ctx, int argc, sqlite3_value** argv);

// tsql_catalogue.cpp
void fnXtype(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void fnTypeLength(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void fnTypeName(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void fnObjectName(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void fnObjectId(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void fnDatalength(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void fnIdentCurrent(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void fnLastIdentity(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void fnNoBatchValue(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void fnNoBatchError(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void fnNoFetch(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void fnNoBatchRowCount(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void fnNoBatchTranCount(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void fnNoBatchNestLevel(sqlite3_context* ctx, int argc, sqlite3_value** argv);
// tsql_modules(): the procedures, functions and triggers as a JSON array of [object id, name, type, parent's
// id].
void fnModules(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void fnColumnType(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void fnColLength(sqlite3_context* ctx, int argc, sqlite3_value** argv);
// Creates the TEMP catalogue views: sysobjects, syscolumns, "information_schema.tables", "sys.tables", ...
int createCatalogueViews(sqlite3* db, char** error);

// tsql_paging.cpp
void fnRows(sqlite3_context* ctx, int argc, sqlite3_value** argv);

}  // namespace Palvo::sqlite::tsql

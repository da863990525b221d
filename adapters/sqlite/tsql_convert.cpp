// Values converted as SQL Server converts them: CONVERT and CAST to text,
// whole numbers, decimals and floats, dates and binary.
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "palvo/convert.h"
#include "palvo/text.h"
#include "tsql_decimal.h"
#include "tsql_functions.h"
#include "tsql_support.h"

namespace Palvo::sqlite::tsql {

namespace {

std::string quoteForMessage(std::string_view s) { return "'" + std::string(s) + "'"; }

// TRY_CONVERT and TRY_CAST are CONVERT registered with this as user data.
int tryMarker = 0;

// The value cannot be converted: CONVERT fails, TRY_CONVERT gives Null.
void fail(sqlite3_context* ctx, const std::string& msg) {
    if (sqlite3_user_data(ctx) == &tryMarker) return sqlite3_result_null(ctx);
    resultError(ctx, msg);
}

struct SqlType {
    std::string base;
    long length = -2;  // -2 not given, -1 max
    long scale = -1;
};

SqlType parseType(std::string_view t) {
    SqlType ts;
    auto p = t.find('(');
    ts.base = std::string(t.substr(0, p));
    if (p != std::string_view::npos) {
        std::string inner(t.substr(p + 1, t.find(')') - p - 1));
        if (inner == "max") {
            ts.length = -1;
        } else {
            ts.length = std::strtol(inner.c_str(), nullptr, 10);
            if (auto c = inner.find(','); c != std::string::npos)
                ts.scale = std::strtol(inner.c_str() + c + 1, nullptr, 10);
        }
    }
    return ts;
}

bool isTextType(const std::string& b) {
    return b == "char" || b == "varchar" || b == "nchar" || b == "nvarchar" || b == "text" || b == "ntext" ||
           b == "character";
}

// The length of a float's text as SQL Server writes it without a style: six significant digits, the
// exponent of three digits (1e+010); ours keeps more digits, so only where SQL Server's does not fit
// either does the conversion fail.
std::size_t sqlServerFloatLength(double d) {
    char buf[40];
    const int n = std::snprintf(buf, sizeof buf, "%.6g", d);
    const std::string_view t(buf, n > 0 ? static_cast<std::size_t>(n) : 0);
    const std::size_t e = t.find('e');
    return t.size() + (e != std::string_view::npos && t.size() - e == 4 ? 1 : 0);
}

// To text: a stored date in the style, binary as its bytes, a number as its text;
// cut to the length (30 when none is given) and char(n) padded with blanks.
// `source` is the type code of the number the statement types (tsql_round's: "i", "b", "d10,2", "m", "f"):
// a decimal shows every decimal of its scale, money two (style 0), as SQL Server shows them.
void convertToText(sqlite3_context* ctx, const SqlType& type, sqlite3_value* x, int style,
                   std::string_view source) {
    const std::string& b = type.base;
    const int xt = sqlite3_value_type(x);
    std::string out;
    std::optional<Dec> typed;
    if (!source.empty() && (source[0] == 'd' || source[0] == 'm') &&
        (xt == SQLITE_INTEGER || xt == SQLITE_FLOAT)) {
        typed = xt == SQLITE_INTEGER ? Dec{sqlite3_value_int64(x), 0} : decOfDouble(sqlite3_value_double(x));
        const bool money = source[0] == 'm';
        const int scale = money ? (style == 2 || style == 126 ? 4 : 2)
                                : std::atoi(std::string(source.substr(source.find(',') + 1)).c_str());
        if (typed) typed = rescale(*typed, scale);
    }
    if (typed) {
        out = decText(*typed);
        if (source[0] == 'm' && style == 1) {
            // 1,234,567.89: commas inserted from the point leftward leave the places before them as they are
            const std::size_t first = out[0] == '-' ? 1 : 0;
            for (std::size_t k = out.find('.'); k > first + 3; k -= 3) out.insert(k - 3, ",");
        }
    } else if (auto st = xt == SQLITE_TEXT ? readStored(textOf(x)) : std::nullopt) {
        // only these styles name months; the language costs a lookup
        const int named = style % 100;
        const bool english =
            (named == 0 || named == 6 || named == 7 || named == 9 || named == 13) && speaksEnglish(ctx);
        out = formatStyle(*st, style, english);
    } else if (xt == SQLITE_BLOB) {
        out.assign(static_cast<const char*>(sqlite3_value_blob(x)),
                   static_cast<std::size_t>(sqlite3_value_bytes(x)));
    } else {
        out = numberText(x);
    }
    long len = type.length == -2 ? (b == "text" || b == "ntext" ? -1 : 30) : type.length;
    // as the translator refuses such a type: a char(n) beyond it would be padded in memory first
    const long limit = b == "nchar" || b == "nvarchar" ? 4000 : b == "text" || b == "ntext" ? -1 : 8000;
    if (limit > 0 && len > limit) {
        return resultError(ctx, "The size (" + std::to_string(len) + ") given to the type '" + b +
                                    "' exceeds the maximum allowed for any data type (" +
                                    std::to_string(limit) + ").");
    }
    if (len >= 0 && !source.empty() && (xt == SQLITE_INTEGER || xt == SQLITE_FLOAT) &&
        base::charCount(out) > static_cast<std::size_t>(len) &&
        (source[0] != 'f' || sqlServerFloatLength(sqlite3_value_double(x)) > static_cast<std::size_t>(len))) {
        // a number is never cut: a whole number shows '*' in char and varchar, anything else fails
        const bool whole = std::string_view("itsb").find(source[0]) != std::string_view::npos;
        if (whole && b != "nchar" && b != "nvarchar") {
            out = "*";
        } else {
            const char* from = whole              ? "expression"
                               : source[0] == 'm' ? "money"
                               : source[0] == 'f' ? "float"
                                                  : "numeric";
            return fail(ctx, std::string("Arithmetic overflow error converting ") + from + " to data type " +
                                 b + ".");
        }
    }
    if (len >= 0) {
        out = base::leftChars(out, static_cast<std::size_t>(len));
        if (b == "char" || b == "nchar" || b == "character") {
            std::size_t n = base::charCount(out);
            if (n < static_cast<std::size_t>(len)) out.append(static_cast<std::size_t>(len) - n, ' ');
        }
    }
    resultText(ctx, out);
}

// To bit and the integer types: a fraction is cut off, text must be a whole number.
void convertToWhole(sqlite3_context* ctx, const std::string& b, sqlite3_value* x) {
    const int xt = sqlite3_value_type(x);
    const bool isText = xt == SQLITE_TEXT;
    const std::string_view text = isText ? textOf(x) : std::string_view();
    std::int64_t v = 0;
    if (xt == SQLITE_INTEGER) {
        v = sqlite3_value_int64(x);
    } else if (xt == SQLITE_FLOAT) {
        double d = std::trunc(sqlite3_value_double(x));
        if (!(d > -9.2e18 && d < 9.2e18))
            return fail(ctx, "Arithmetic overflow error converting expression to data type " + b + ".");
        v = static_cast<std::int64_t>(d);
    } else if (isText && b == "bit" &&
               (base::trimBlanks(text) == "true" || base::trimBlanks(text) == "TRUE")) {
        v = 1;
    } else if (isText && b == "bit" &&
               (base::trimBlanks(text) == "false" || base::trimBlanks(text) == "FALSE")) {
        v = 0;
    } else if (auto w = isText ? parseWhole(text) : std::nullopt) {
        v = *w;
    } else {
        return fail(ctx, "Conversion failed when converting the varchar value " +
                             quoteForMessage(isText ? text : "") + " to data type " + b + ".");
    }
    if (b == "bit") return sqlite3_result_int(ctx, v != 0);
    std::int64_t lo = b == "bigint" ? INT64_MIN : b == "smallint" ? -32768 : b == "tinyint" ? 0 : INT32_MIN;
    std::int64_t hi = b == "bigint" ? INT64_MAX : b == "smallint" ? 32767 : b == "tinyint" ? 255 : INT32_MAX;
    if (v < lo || v > hi)
        return fail(ctx, "Arithmetic overflow error converting expression to data type " + b + ".");
    sqlite3_result_int64(ctx, v);
}

// To float and real as they are; to decimal, numeric and money rounded to the
// scale and checked against the precision, from the digits written: a whole
// number within bigint stays exact (an 18-digit identity card number).
// `forReader`: the statement's own result column, which gets a whole number beyond
// bigint as its digits (text) instead of the refusal.
void convertToNumber(sqlite3_context* ctx, const SqlType& type, sqlite3_value* x, sqlite3_value* argv0,
                     bool forReader) {
    const std::string& b = type.base;
    const int xt = sqlite3_value_type(x);
    const bool money = b == "money" || b == "smallmoney";
    const std::string overflow = "Arithmetic overflow error converting expression to data type " +
                                 (money ? b : std::string("numeric")) + ".";
    const std::string notANumber = std::string("Error converting data type varchar to ") +
                                   (b == "float" || b == "real" ? "float." : "numeric.");
    if (b == "float" || b == "real") {
        if (xt == SQLITE_INTEGER || xt == SQLITE_FLOAT)
            return sqlite3_result_double(ctx, sqlite3_value_double(x));
        auto r = xt == SQLITE_TEXT ? base::readNumber(textOf(x)) : std::nullopt;
        if (!r || !std::isfinite(*r)) return fail(ctx, notANumber);
        return sqlite3_result_double(ctx, *r);
    }
    std::optional<Dec> v;
    if (xt == SQLITE_INTEGER) {
        v = Dec{sqlite3_value_int64(x), 0};
    } else if (xt == SQLITE_FLOAT) {
        v = decOfDouble(sqlite3_value_double(x));
        if (!v) return fail(ctx, overflow);
    } else if (xt == SQLITE_TEXT) {
        v = parseDec(textOf(x));
        if (!v) {
            // the other forms a number is read from, and numbers of more than 38 digits
            auto r = base::readNumber(textOf(x));
            if (!r || !std::isfinite(*r)) return fail(ctx, notANumber);
            v = decOfDouble(*r);
            if (!v) return fail(ctx, overflow);
        }
    } else {
        return fail(ctx, notANumber);
    }
    const int scale = money ? 4 : (type.scale >= 0 ? static_cast<int>(type.scale) : 0);
    const long precision = b == "money" ? 19 : b == "smallmoney" ? 10 : type.length > 0 ? type.length : 18;
    const auto r = rescale(*v, scale);
    if (!r || digitCount(r->m) > precision) return fail(ctx, overflow);
    if (scale == 0 && r->m >= INT64_MIN && r->m <= INT64_MAX)
        return sqlite3_result_int64(ctx, static_cast<std::int64_t>(r->m));
    if (scale == 0 && forReader) return resultText(ctx, decText(*r));
    // SQLite holds the rest as doubles: a number they would change is refused, not changed
    const double d = doubleOfDec(*r);
    const auto back = decOfDouble(d);
    if (!back || !rescale(*back, scale) || rescale(*back, scale)->m != r->m) {
        return resultError(
            ctx, "Not supported by the embedded database: the number " + decText(*r) + " as " +
                     std::string(textOf(argv0)) + " (" +
                     (scale == 0 ? "a whole number beyond bigint" : "more digits than a double keeps") +
                     ", which it would hold as a double).");
    }
    sqlite3_result_double(ctx, d);
}

// To datetime (in ticks of 1/300 s), date (the day at midnight) and smalldatetime
// (to the nearest minute).
// A style reads text in its own order (103: dd/mm/yyyy).
void convertToDate(sqlite3_context* ctx, const std::string& b, sqlite3_value* x, int style) {
    const DateText read = style >= 0 && sqlite3_value_type(x) == SQLITE_TEXT
                              ? DateText{parseStyled(textOf(x), style)}
                              : dateOfValue(ctx, x, b == "date");
    // a date's shape naming no day: datetime and smalldatetime tell it apart (242), date does not
    if (read.ydm) return fail(ctx, kYdmForDate);
    if (read.outOfRange && b != "date")
        return fail(ctx, b == "datetime" ? kDatetimeOutOfRange : kSmalldatetimeOutOfRange);
    auto st = read.date;
    if (!st) return fail(ctx, kDateConversionFailed);
    if (b == "date") st->hour = st->minute = st->second = st->millisecond = 0;
    if (b == "datetime") {
        st = toTicks(*st);
        if (!st) return fail(ctx, kDatetimeOutOfRange);
    }
    if (b == "smalldatetime") {
        st = toMinute(*st);
        if (!st) return fail(ctx, kSmalldatetimeOutOfRange);
    }
    resultText(ctx, st->toIso());
}

}  // namespace

std::optional<std::int64_t> parseWhole(std::string_view s) {
    s = base::trimBlanks(s);
    const bool negative = !s.empty() && s[0] == '-';
    if (!s.empty() && (s[0] == '+' || s[0] == '-')) s.remove_prefix(1);
    if (s.empty() || s[0] < '0' || s[0] > '9') return std::nullopt;
    std::uint64_t u = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), u);
    if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
    constexpr auto kMax = static_cast<std::uint64_t>(INT64_MAX);
    if (u > kMax + (negative ? 1 : 0)) return std::nullopt;
    return negative ? static_cast<std::int64_t>(0 - u) : static_cast<std::int64_t>(u);
}

void fnConvert(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[1]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    const SqlType type = parseType(textOf(argv[0]));
    const std::string& b = type.base;
    sqlite3_value* x = argv[1];
    if (isTextType(b)) {
        const bool hasStyle = sqlite3_value_type(argv[2]) != SQLITE_NULL;
        return convertToText(ctx, type, x, hasStyle ? sqlite3_value_int(argv[2]) : 0,
                             argc == 4 ? textOf(argv[3]) : std::string_view());
    }
    if (b == "int" || b == "integer" || b == "bigint" || b == "smallint" || b == "tinyint" || b == "bit") {
        return convertToWhole(ctx, b, x);
    }
    if (b == "decimal" || b == "numeric" || b == "dec" || b == "money" || b == "smallmoney" || b == "float" ||
        b == "real") {
        return convertToNumber(ctx, type, x, argv[0], argc == 4 && textOf(argv[3]) == "!");
    }
    if (b == "datetime" || b == "smalldatetime" || b == "date") {
        const int style = sqlite3_value_type(argv[2]) != SQLITE_NULL ? sqlite3_value_int(argv[2]) : -1;
        return convertToDate(ctx, b, x, style);
    }
    if (b == "time") return convertToTime(ctx, type.length, x);
    if (b == "binary" || b == "varbinary" || b == "image") {
        const int xt = sqlite3_value_type(x);
        std::string raw = xt == SQLITE_BLOB ? std::string(static_cast<const char*>(sqlite3_value_blob(x)),
                                                          static_cast<std::size_t>(sqlite3_value_bytes(x)))
                                            : std::string(textOf(x));
        return sqlite3_result_blob(ctx, raw.data(), static_cast<int>(raw.size()), SQLITE_TRANSIENT);
    }
    if (b == "uniqueidentifier") return sqlite3_result_value(ctx, x);
    resultError(ctx, "Type " + b + " is not a defined system type.");
}

void* tryConvertMarker() { return &tryMarker; }

}  // namespace Palvo::sqlite::tsql

// SQL Server semantics for the functions the dialect layer calls. This file is
// compiled twice: into the adapter, and with PALVO_TSQL_EXTENSION into the
// loadable extension that other SQLite hosts (the SQLite ODBC driver) load.
#ifdef PALVO_TSQL_EXTENSION
#include <sqlite3ext.h>
SQLITE_EXTENSION_INIT1
#else
#include <sqlite3.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

#include "adapters/sqlite/tsql_functions.h"

namespace Palvo::sqlite {

namespace {

// ---------------------------------------------------------------- dates

struct Stamp {
    int year = 1900, month = 1, day = 1, hour = 0, minute = 0, second = 0, milli = 0;
};

bool leap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }
int monthDays(int y, int m) {
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && leap(y) ? 29 : days[m - 1];
}

// Days since 1900-01-01 (a Monday), SQL Server's day zero.
std::int64_t dayNumber(int y, int m, int d) {
    y -= m <= 2 ? 1 : 0;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const auto mp = static_cast<unsigned>(m + (m > 2 ? -3 : 9));
    const unsigned doy = (153 * mp + 2) / 5 + static_cast<unsigned>(d) - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468 + 25567;
}

void fromDayNumber(std::int64_t n, Stamp& s) {
    std::int64_t z = n - 25567 + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    s.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    s.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    s.year = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (s.month <= 2 ? 1 : 0));
}

std::int64_t totalMillis(const Stamp& s) {
    return ((dayNumber(s.year, s.month, s.day) * 24 + s.hour) * 60 + s.minute) * 60000LL + s.second * 1000LL + s.milli;
}

Stamp fromMillis(std::int64_t ms) {
    Stamp s;
    std::int64_t days = ms >= 0 ? ms / 86400000 : -((-ms + 86399999) / 86400000);
    std::int64_t rest = ms - days * 86400000;
    fromDayNumber(days, s);
    s.hour = static_cast<int>(rest / 3600000);
    s.minute = static_cast<int>(rest / 60000 % 60);
    s.second = static_cast<int>(rest / 1000 % 60);
    s.milli = static_cast<int>(rest % 1000);
    return s;
}

bool validStamp(const Stamp& s) {
    return s.year >= 1753 && s.year <= 9999 && s.month >= 1 && s.month <= 12 && s.day >= 1 &&
           s.day <= monthDays(s.year, s.month) && s.hour >= 0 && s.hour < 24 && s.minute >= 0 && s.minute < 60 &&
           s.second >= 0 && s.second < 60 && s.milli >= 0 && s.milli < 1000;
}

std::string canonical(const Stamp& s) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03d", s.year, s.month, s.day, s.hour, s.minute,
                  s.second, s.milli);
    return buf;
}

// The stored form 'YYYY-MM-DD HH:MM:SS.mmm', shape first: the calendar check comes after parseDate.
bool hasCanonicalShape(std::string_view t) {
    static constexpr std::string_view shape = "dddd-dd-dd dd:dd:dd.ddd";
    if (t.size() != shape.size()) return false;
    for (std::size_t i = 0; i < shape.size(); ++i) {
        if (shape[i] == 'd' ? !(t[i] >= '0' && t[i] <= '9') : t[i] != shape[i]) return false;
    }
    return true;
}

struct Reader {
    std::string_view s;
    std::size_t i = 0;
    bool end() const { return i >= s.size(); }
    bool digits(int maxDigits, int& out, int minDigits = 1) {
        std::size_t b = i;
        out = 0;
        while (i < s.size() && i - b < static_cast<std::size_t>(maxDigits) && s[i] >= '0' && s[i] <= '9') {
            out = out * 10 + (s[i++] - '0');
        }
        return i - b >= static_cast<std::size_t>(minDigits);
    }
    bool eat(char c) {
        if (i < s.size() && s[i] == c) {
            ++i;
            return true;
        }
        return false;
    }
    void blanks() {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    }
};

bool readTime(Reader& r, Stamp& st) {
    if (!r.digits(2, st.hour)) return false;
    if (!r.eat(':')) return false;
    if (!r.digits(2, st.minute)) return false;
    if (r.eat(':')) {
        if (!r.digits(2, st.second)) return false;
        if (r.eat('.') || r.eat(':')) {
            std::size_t b = r.i;
            int frac = 0;
            if (!r.digits(9, frac)) return false;
            std::size_t n = r.i - b;
            while (n > 3) {
                frac /= 10;
                --n;
            }
            while (n < 3) {
                frac *= 10;
                ++n;
            }
            st.milli = frac;
        }
    }
    r.blanks();
    std::string_view rest = r.s.substr(r.i);
    auto ieq = [](std::string_view a, std::string_view b) {
        if (a.size() != b.size()) return false;
        for (std::size_t k = 0; k < a.size(); ++k) {
            if (std::tolower(static_cast<unsigned char>(a[k])) != b[k]) return false;
        }
        return true;
    };
    if (ieq(rest, "am") || ieq(rest, "pm")) {
        if (st.hour < 1 || st.hour > 12) return false;
        if (ieq(rest, "pm") && st.hour < 12) st.hour += 12;
        if (ieq(rest, "am") && st.hour == 12) st.hour = 0;
        r.i = r.s.size();
    }
    return true;
}

// SQL Server's readings of a date string: y-m-d, y/m/d, y.m.d, yyyymmdd, m/d/y,
// each with an optional time; a time alone is on 1900-01-01; '' is 1900-01-01.
std::optional<Stamp> parseDate(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    Stamp st;
    if (text.empty()) return st;
    Reader r{text};
    int a = 0;
    std::size_t start = r.i;
    if (!r.digits(8, a)) return std::nullopt;
    std::size_t len = r.i - start;
    if (len == 8) {
        st.year = a / 10000;
        st.month = a / 100 % 100;
        st.day = a % 100;
    } else if (len == 4 && (r.eat('-') || r.eat('/') || r.eat('.'))) {
        char sep = text[r.i - 1];
        st.year = a;
        if (!r.digits(2, st.month) || !r.eat(sep) || !r.digits(2, st.day)) return std::nullopt;
    } else if (len <= 2 && !r.end() && text[r.i] == ':') {
        r.i = start;
        if (!readTime(r, st) || !r.end()) return std::nullopt;
        return validStamp(st) ? std::optional<Stamp>(st) : std::nullopt;
    } else if (len <= 2 && (r.eat('/') || r.eat('-') || r.eat('.'))) {
        char sep = text[r.i - 1];
        st.month = a;
        if (!r.digits(2, st.day) || !r.eat(sep) || !r.digits(4, st.year, 4)) return std::nullopt;
    } else {
        return std::nullopt;
    }
    if (!r.end()) {
        if (!(r.eat('T') || r.eat(' '))) return std::nullopt;
        r.blanks();
        if (!readTime(r, st) || !r.end()) return std::nullopt;
    }
    return validStamp(st) ? std::optional<Stamp>(st) : std::nullopt;
}

const char* const kDateConversionFailed = "Conversion failed when converting date and/or time from character string.";

// A value as a date: text is parsed; a number counts days from 1900-01-01,
// except an eight-digit yyyymmdd that numeric column affinity made of a string.
std::optional<Stamp> valueToStamp(sqlite3_value* v) {
    switch (sqlite3_value_type(v)) {
        case SQLITE_INTEGER: {
            std::int64_t n = sqlite3_value_int64(v);
            if (n >= 17530101 && n <= 99991231) {
                Stamp s;
                s.year = static_cast<int>(n / 10000);
                s.month = static_cast<int>(n / 100 % 100);
                s.day = static_cast<int>(n % 100);
                if (validStamp(s)) return s;
            }
            if (n < -53690 || n > 2958463) return std::nullopt;
            return fromMillis(n * 86400000);
        }
        case SQLITE_FLOAT: {
            double d = sqlite3_value_double(v);
            if (!(d >= -53690 && d < 2958464)) return std::nullopt;
            return fromMillis(static_cast<std::int64_t>(std::llround(d * 86400000.0)));
        }
        case SQLITE_TEXT: {
            std::string_view t(reinterpret_cast<const char*>(sqlite3_value_text(v)),
                               static_cast<std::size_t>(sqlite3_value_bytes(v)));
            return parseDate(t);
        }
        default:
            return std::nullopt;
    }
}

// ---------------------------------------------------------------- helpers

std::string_view textOf(sqlite3_value* v) {
    const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
    return p ? std::string_view(p, static_cast<std::size_t>(sqlite3_value_bytes(v))) : std::string_view();
}

void resultText(sqlite3_context* ctx, std::string_view s) {
    sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

void resultError(sqlite3_context* ctx, const std::string& msg) {
    sqlite3_result_error(ctx, msg.c_str(), static_cast<int>(msg.size()));
}

bool anyNull(int argc, sqlite3_value** argv) {
    for (int i = 0; i < argc; ++i) {
        if (sqlite3_value_type(argv[i]) == SQLITE_NULL) return true;
    }
    return false;
}

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

std::optional<std::int64_t> parseWhole(std::string_view s) {
    s = trimBlanks(s);
    if (s.empty()) return std::nullopt;
    std::size_t i = 0;
    bool neg = false;
    if (s[0] == '+' || s[0] == '-') {
        neg = s[0] == '-';
        ++i;
    }
    if (i == s.size()) return std::nullopt;
    std::int64_t v = 0;
    for (; i < s.size(); ++i) {
        if (s[i] < '0' || s[i] > '9') return std::nullopt;
        if (v > (INT64_MAX - 9) / 10) return std::nullopt;
        v = v * 10 + (s[i] - '0');
    }
    return neg ? -v : v;
}

std::optional<double> parseReal(std::string_view s) {
    s = trimBlanks(s);
    if (s.empty()) return std::nullopt;
    std::string buf(s);
    char* end = nullptr;
    errno = 0;
    double d = std::strtod(buf.c_str(), &end);
    if (end != buf.c_str() + buf.size() || errno == ERANGE) return std::nullopt;
    if (buf.find_first_of("xXnN") != std::string::npos) return std::nullopt;  // no hex, inf, nan
    return d;
}

std::string quoteForMessage(std::string_view s) { return "'" + std::string(s) + "'"; }

// UTF-8 character boundaries.
std::size_t charCount(std::string_view s) {
    std::size_t n = 0;
    for (unsigned char c : s) n += (c & 0xC0) != 0x80;
    return n;
}
std::size_t byteOffsetOfChar(std::string_view s, std::size_t chars) {
    std::size_t i = 0;
    while (i < s.size() && chars > 0) {
        ++i;
        while (i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) ++i;
        --chars;
    }
    return i;
}

char foldAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::size_t findNoCase(std::string_view hay, std::string_view needle, std::size_t from) {
    if (needle.empty() || needle.size() > hay.size()) return std::string_view::npos;
    for (std::size_t i = from; i + needle.size() <= hay.size(); ++i) {
        std::size_t k = 0;
        while (k < needle.size() && foldAscii(hay[i + k]) == foldAscii(needle[k])) ++k;
        if (k == needle.size()) return i;
    }
    return std::string_view::npos;
}

std::string numberText(sqlite3_value* v) {
    if (sqlite3_value_type(v) == SQLITE_FLOAT) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.15g", sqlite3_value_double(v));
        return buf;
    }
    return std::string(textOf(v));
}

// ---------------------------------------------------------------- functions

void fnGetdate(sqlite3_context* ctx, int, sqlite3_value**) {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    std::tm tm{};
    localtime_r(&ts.tv_sec, &tm);
    Stamp s{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
            static_cast<int>(ts.tv_nsec / 1000000)};
    resultText(ctx, canonical(s));
}

// A stored date: the stored form holding a real calendar date and time.
std::optional<Stamp> readCanonical(std::string_view t) {
    if (!hasCanonicalShape(t)) return std::nullopt;
    return parseDate(t);
}

void fnDatetime(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    if (sqlite3_value_type(argv[0]) == SQLITE_TEXT && readCanonical(textOf(argv[0]))) {
        return sqlite3_result_value(ctx, argv[0]);
    }
    auto st = valueToStamp(argv[0]);
    if (!st) return resultError(ctx, kDateConversionFailed);
    resultText(ctx, canonical(*st));
}

// tsql_date(x): a date column keeps the day only, at midnight.
void fnDate(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    auto st = valueToStamp(argv[0]);
    if (!st) return resultError(ctx, kDateConversionFailed);
    st->hour = st->minute = st->second = st->milli = 0;
    resultText(ctx, canonical(*st));
}

// tsql_datelit(column, literal): the literal as a stored date when the column holds dates.
void fnDatelit(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_TEXT && readCanonical(textOf(argv[0])) &&
        sqlite3_value_type(argv[1]) == SQLITE_TEXT) {
        if (auto st = parseDate(textOf(argv[1]))) return resultText(ctx, canonical(*st));
    }
    sqlite3_result_value(ctx, argv[1]);
}

void fnAdd(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (anyNull(2, argv)) return sqlite3_result_null(ctx);
    const int ta = sqlite3_value_type(argv[0]), tb = sqlite3_value_type(argv[1]);
    const bool na = ta == SQLITE_INTEGER || ta == SQLITE_FLOAT;
    const bool nb = tb == SQLITE_INTEGER || tb == SQLITE_FLOAT;
    if (!na && !nb) {
        std::string s(textOf(argv[0]));
        s += textOf(argv[1]);
        return resultText(ctx, s);
    }
    if (na && nb) {
        if (ta == SQLITE_INTEGER && tb == SQLITE_INTEGER) {
            std::int64_t r = 0;
            if (__builtin_add_overflow(sqlite3_value_int64(argv[0]), sqlite3_value_int64(argv[1]), &r)) {
                return resultError(ctx, "Arithmetic overflow error converting expression to data type bigint.");
            }
            return sqlite3_result_int64(ctx, r);
        }
        return sqlite3_result_double(ctx, sqlite3_value_double(argv[0]) + sqlite3_value_double(argv[1]));
    }
    // One text, one number: a stored date plus days, else the text must read as the number's type.
    sqlite3_value* text = na ? argv[1] : argv[0];
    sqlite3_value* num = na ? argv[0] : argv[1];
    std::string_view t = textOf(text);
    if (auto st = readCanonical(t)) {
        double days = sqlite3_value_double(num);
        return resultText(ctx, canonical(fromMillis(totalMillis(*st) + std::llround(days * 86400000.0))));
    }
    if (sqlite3_value_type(num) == SQLITE_INTEGER) {
        auto w = parseWhole(t);
        if (!w) {
            return resultError(ctx, "Conversion failed when converting the varchar value " + quoteForMessage(t) +
                                        " to data type int.");
        }
        return sqlite3_result_int64(ctx, *w + sqlite3_value_int64(num));
    }
    auto d = parseReal(t);
    if (!d) return resultError(ctx, "Error converting data type varchar to float.");
    sqlite3_result_double(ctx, *d + sqlite3_value_double(num));
}

std::string formatStyle(const Stamp& s, int style) {
    char buf[64];
    static const char* const mon[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    switch (style) {
        case 8:
        case 108:
            std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", s.hour, s.minute, s.second);
            break;
        case 20:
        case 120:
            std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", s.year, s.month, s.day, s.hour, s.minute,
                          s.second);
            break;
        case 21:
        case 121:
            return canonical(s);
        case 23:
            std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", s.year, s.month, s.day);
            break;
        case 112:
            std::snprintf(buf, sizeof buf, "%04d%02d%02d", s.year, s.month, s.day);
            break;
        case 102:
            std::snprintf(buf, sizeof buf, "%04d.%02d.%02d", s.year, s.month, s.day);
            break;
        case 111:
            std::snprintf(buf, sizeof buf, "%04d/%02d/%02d", s.year, s.month, s.day);
            break;
        default: {  // 0 and 100: mon dd yyyy hh:miAM
            int h12 = s.hour % 12 == 0 ? 12 : s.hour % 12;
            std::snprintf(buf, sizeof buf, "%s %2d %04d %2d:%02d%s", mon[s.month - 1], s.day, s.year, h12, s.minute,
                          s.hour < 12 ? "AM" : "PM");
        }
    }
    return buf;
}

struct TypeSpec {
    std::string base;
    long length = -2;  // -2 not given, -1 max
    long scale = -1;
};

TypeSpec parseType(std::string_view t) {
    TypeSpec ts;
    auto p = t.find('(');
    ts.base = std::string(t.substr(0, p));
    if (p != std::string_view::npos) {
        std::string inner(t.substr(p + 1, t.find(')') - p - 1));
        if (inner == "max") {
            ts.length = -1;
        } else {
            ts.length = std::strtol(inner.c_str(), nullptr, 10);
            if (auto c = inner.find(','); c != std::string::npos) ts.scale = std::strtol(inner.c_str() + c + 1, nullptr, 10);
        }
    }
    return ts;
}

// Rounds half away from zero to `scale` digits, as SQL Server converts to decimal.
double roundTo(double d, long scale) { return roundDecimal(d, static_cast<int>(scale)); }

void fnConvert(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[1]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    const TypeSpec type = parseType(textOf(argv[0]));
    const std::string& b = type.base;
    sqlite3_value* x = argv[1];
    const int xt = sqlite3_value_type(x);
    const bool hasStyle = sqlite3_value_type(argv[2]) != SQLITE_NULL;
    const int style = hasStyle ? sqlite3_value_int(argv[2]) : 0;
    const bool isText = xt == SQLITE_TEXT;
    const std::string_view text = isText ? textOf(x) : std::string_view();

    if (b == "char" || b == "varchar" || b == "nchar" || b == "nvarchar" || b == "text" || b == "ntext" ||
        b == "character") {
        std::string out;
        if (auto st = isText ? readCanonical(text) : std::nullopt) {
            out = formatStyle(*st, style);
        } else if (xt == SQLITE_BLOB) {
            out.assign(static_cast<const char*>(sqlite3_value_blob(x)), static_cast<std::size_t>(sqlite3_value_bytes(x)));
        } else {
            out = numberText(x);
        }
        long len = type.length == -2 ? (b == "text" || b == "ntext" ? -1 : 30) : type.length;
        if (len >= 0) {
            out.resize(byteOffsetOfChar(out, static_cast<std::size_t>(len)));
            if (b == "char" || b == "nchar" || b == "character") {
                std::size_t n = charCount(out);
                if (n < static_cast<std::size_t>(len)) out.append(static_cast<std::size_t>(len) - n, ' ');
            }
        }
        return resultText(ctx, out);
    }
    if (b == "int" || b == "integer" || b == "bigint" || b == "smallint" || b == "tinyint" || b == "bit") {
        std::int64_t v = 0;
        if (xt == SQLITE_INTEGER) {
            v = sqlite3_value_int64(x);
        } else if (xt == SQLITE_FLOAT) {
            double d = std::trunc(sqlite3_value_double(x));
            if (!(d > -9.2e18 && d < 9.2e18)) return resultError(ctx, "Arithmetic overflow error converting expression to data type " + b + ".");
            v = static_cast<std::int64_t>(d);
        } else if (isText && b == "bit" && (trimBlanks(text) == "true" || trimBlanks(text) == "TRUE")) {
            v = 1;
        } else if (isText && b == "bit" && (trimBlanks(text) == "false" || trimBlanks(text) == "FALSE")) {
            v = 0;
        } else if (auto w = isText ? parseWhole(text) : std::nullopt) {
            v = *w;
        } else {
            return resultError(ctx, "Conversion failed when converting the varchar value " +
                                        quoteForMessage(isText ? text : "") + " to data type " + b + ".");
        }
        if (b == "bit") return sqlite3_result_int(ctx, v != 0);
        std::int64_t lo = b == "bigint" ? INT64_MIN : b == "smallint" ? -32768 : b == "tinyint" ? 0 : INT32_MIN;
        std::int64_t hi = b == "bigint" ? INT64_MAX : b == "smallint" ? 32767 : b == "tinyint" ? 255 : INT32_MAX;
        if (v < lo || v > hi) return resultError(ctx, "Arithmetic overflow error converting expression to data type " + b + ".");
        return sqlite3_result_int64(ctx, v);
    }
    if (b == "decimal" || b == "numeric" || b == "dec" || b == "money" || b == "smallmoney" || b == "float" ||
        b == "real") {
        double d = 0;
        if (xt == SQLITE_INTEGER || xt == SQLITE_FLOAT) {
            d = sqlite3_value_double(x);
        } else if (auto r = isText ? parseReal(text) : std::nullopt) {
            d = *r;
        } else {
            return resultError(ctx, std::string("Error converting data type varchar to ") +
                                        (b == "float" || b == "real" ? "float." : "numeric."));
        }
        if (b == "float" || b == "real") return sqlite3_result_double(ctx, d);
        long scale = b == "money" || b == "smallmoney" ? 4 : (type.scale >= 0 ? type.scale : 0);
        long precision = type.length > 0 ? type.length : 18;
        double r = roundTo(d, scale);
        if (std::fabs(r) >= std::pow(10.0, static_cast<double>(precision - scale))) {
            return resultError(ctx, "Arithmetic overflow error converting expression to data type numeric.");
        }
        if (scale == 0 && std::fabs(r) < 9.2e18) return sqlite3_result_int64(ctx, static_cast<std::int64_t>(r));
        return sqlite3_result_double(ctx, r);
    }
    if (b == "datetime" || b == "smalldatetime" || b == "date") {
        auto st = valueToStamp(x);
        if (!st) return resultError(ctx, kDateConversionFailed);
        if (b == "date") st->hour = st->minute = st->second = st->milli = 0;
        if (b == "smalldatetime") {
            std::int64_t ms = totalMillis(*st);
            *st = fromMillis((ms + 30000) / 60000 * 60000);
        }
        return resultText(ctx, canonical(*st));
    }
    if (b == "binary" || b == "varbinary" || b == "image") {
        std::string raw = xt == SQLITE_BLOB ? std::string(static_cast<const char*>(sqlite3_value_blob(x)),
                                                         static_cast<std::size_t>(sqlite3_value_bytes(x)))
                                           : std::string(textOf(x));
        return sqlite3_result_blob(ctx, raw.data(), static_cast<int>(raw.size()), SQLITE_TRANSIENT);
    }
    if (b == "uniqueidentifier") return sqlite3_result_value(ctx, x);
    resultError(ctx, "Type " + b + " is not a defined system type.");
}

std::string asText(sqlite3_value* v) {
    if (sqlite3_value_type(v) == SQLITE_FLOAT || sqlite3_value_type(v) == SQLITE_INTEGER) return numberText(v);
    return std::string(textOf(v));
}

void fnLeftRight(sqlite3_context* ctx, int, sqlite3_value** argv, bool left) {
    if (anyNull(2, argv)) return sqlite3_result_null(ctx);
    std::int64_t n = sqlite3_value_int64(argv[1]);
    if (n < 0) {
        return resultError(ctx, std::string("Invalid length parameter passed to the ") + (left ? "left" : "right") +
                                    " function.");
    }
    std::string s = asText(argv[0]);
    std::size_t chars = charCount(s);
    if (static_cast<std::size_t>(n) >= chars) return resultText(ctx, s);
    if (left) return resultText(ctx, std::string_view(s).substr(0, byteOffsetOfChar(s, static_cast<std::size_t>(n))));
    resultText(ctx, std::string_view(s).substr(byteOffsetOfChar(s, chars - static_cast<std::size_t>(n))));
}
void fnLeft(sqlite3_context* ctx, int argc, sqlite3_value** argv) { fnLeftRight(ctx, argc, argv, true); }
void fnRight(sqlite3_context* ctx, int argc, sqlite3_value** argv) { fnLeftRight(ctx, argc, argv, false); }

void fnLen(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    std::string s = asText(argv[0]);
    while (!s.empty() && s.back() == ' ') s.pop_back();
    sqlite3_result_int64(ctx, static_cast<std::int64_t>(charCount(s)));
}

void fnSubstring(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (anyNull(3, argv)) return sqlite3_result_null(ctx);
    std::int64_t start = sqlite3_value_int64(argv[1]);
    std::int64_t len = sqlite3_value_int64(argv[2]);
    if (len < 0) return resultError(ctx, "Invalid length parameter passed to the substring function.");
    std::string s = asText(argv[0]);
    std::int64_t endExclusive = start + len;  // in 1-based characters
    std::int64_t from = std::max<std::int64_t>(start, 1);
    std::int64_t chars = static_cast<std::int64_t>(charCount(s));
    std::int64_t to = std::min(endExclusive, chars + 1);
    if (to <= from) return resultText(ctx, "");
    std::size_t b = byteOffsetOfChar(s, static_cast<std::size_t>(from - 1));
    std::size_t e = byteOffsetOfChar(s, static_cast<std::size_t>(to - 1));
    resultText(ctx, std::string_view(s).substr(b, e - b));
}

void fnCharindex(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
    std::string needle = asText(argv[0]);
    std::string hay = asText(argv[1]);
    std::int64_t start = argc > 2 ? std::max<std::int64_t>(sqlite3_value_int64(argv[2]), 1) : 1;
    std::size_t from = byteOffsetOfChar(hay, static_cast<std::size_t>(start - 1));
    std::size_t at = findNoCase(hay, needle, from);
    if (at == std::string::npos) return sqlite3_result_int(ctx, 0);
    sqlite3_result_int64(ctx, static_cast<std::int64_t>(charCount(std::string_view(hay).substr(0, at))) + 1);
}

void fnReplace(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (anyNull(3, argv)) return sqlite3_result_null(ctx);
    std::string s = asText(argv[0]);
    std::string find = asText(argv[1]);
    std::string rep = asText(argv[2]);
    if (find.empty()) return resultText(ctx, s);
    std::string out;
    std::size_t pos = 0;
    while (true) {
        std::size_t at = findNoCase(s, find, pos);
        if (at == std::string::npos) break;
        out.append(s, pos, at - pos);
        out += rep;
        pos = at + find.size();
    }
    out.append(s, pos, std::string::npos);
    resultText(ctx, out);
}

std::optional<Stamp> dateArg(sqlite3_context* ctx, sqlite3_value* v) {
    auto st = valueToStamp(v);
    if (!st) resultError(ctx, kDateConversionFailed);
    return st;
}

int weekdayOf(const Stamp& s) {  // 1 = Sunday ... 7 = Saturday
    std::int64_t dn = dayNumber(s.year, s.month, s.day);  // 0 is a Monday
    return static_cast<int>(((dn + 1) % 7 + 7) % 7) + 1;
}

std::int64_t floorDiv(std::int64_t a, std::int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

void fnDatepart(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[1]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    auto st = dateArg(ctx, argv[1]);
    if (!st) return;
    std::string_view part = textOf(argv[0]);
    std::int64_t dn = dayNumber(st->year, st->month, st->day);
    std::int64_t jan1 = dayNumber(st->year, 1, 1);
    std::int64_t v = 0;
    if (part == "year") v = st->year;
    else if (part == "quarter") v = (st->month - 1) / 3 + 1;
    else if (part == "month") v = st->month;
    else if (part == "dayofyear") v = dn - jan1 + 1;
    else if (part == "day") v = st->day;
    else if (part == "week") v = floorDiv(dn + 1, 7) - floorDiv(jan1 + 1, 7) + 1;
    else if (part == "weekday") v = weekdayOf(*st);
    else if (part == "hour") v = st->hour;
    else if (part == "minute") v = st->minute;
    else if (part == "second") v = st->second;
    else if (part == "millisecond") v = st->milli;
    else return resultError(ctx, "'" + std::string(part) + "' is not a recognized datepart option.");
    sqlite3_result_int64(ctx, v);
}

void fnDateadd(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[1]) == SQLITE_NULL || sqlite3_value_type(argv[2]) == SQLITE_NULL) {
        return sqlite3_result_null(ctx);
    }
    auto st = dateArg(ctx, argv[2]);
    if (!st) return;
    std::string_view part = textOf(argv[0]);
    std::int64_t n = static_cast<std::int64_t>(std::trunc(sqlite3_value_double(argv[1])));
    Stamp r = *st;
    if (part == "year" || part == "quarter" || part == "month") {
        std::int64_t months = part == "year" ? n * 12 : part == "quarter" ? n * 3 : n;
        std::int64_t m = static_cast<std::int64_t>(st->year) * 12 + (st->month - 1) + months;
        r.year = static_cast<int>(floorDiv(m, 12));
        r.month = static_cast<int>(m - floorDiv(m, 12) * 12) + 1;
        if (r.year < 1753 || r.year > 9999) return resultError(ctx, "Adding a value to a 'datetime' column caused an overflow.");
        r.day = std::min(st->day, monthDays(r.year, r.month));
    } else {
        std::int64_t unit = part == "day" || part == "dayofyear" || part == "weekday" ? 86400000
                            : part == "week"                                      ? 7 * 86400000LL
                            : part == "hour"                                      ? 3600000
                            : part == "minute"                                    ? 60000
                            : part == "second"                                    ? 1000
                            : part == "millisecond"                               ? 1
                                                                                  : 0;
        if (unit == 0) return resultError(ctx, "'" + std::string(part) + "' is not a recognized dateadd option.");
        r = fromMillis(totalMillis(*st) + n * unit);
        if (!validStamp(r)) return resultError(ctx, "Adding a value to a 'datetime' column caused an overflow.");
    }
    resultText(ctx, canonical(r));
}

// Counts the boundaries of the part crossed from a to b, as SQL Server does.
void fnDatediff(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[1]) == SQLITE_NULL || sqlite3_value_type(argv[2]) == SQLITE_NULL) {
        return sqlite3_result_null(ctx);
    }
    auto a = dateArg(ctx, argv[1]);
    if (!a) return;
    auto b = dateArg(ctx, argv[2]);
    if (!b) return;
    std::string_view part = textOf(argv[0]);
    std::int64_t da = dayNumber(a->year, a->month, a->day), db = dayNumber(b->year, b->month, b->day);
    std::int64_t v = 0;
    if (part == "year") v = b->year - a->year;
    else if (part == "quarter") v = (b->year * 4LL + (b->month - 1) / 3) - (a->year * 4LL + (a->month - 1) / 3);
    else if (part == "month") v = (b->year * 12LL + b->month) - (a->year * 12LL + a->month);
    else if (part == "day" || part == "dayofyear" || part == "weekday") v = db - da;
    else if (part == "week") v = floorDiv(db + 1, 7) - floorDiv(da + 1, 7);
    else if (part == "hour") v = (db * 24 + b->hour) - (da * 24 + a->hour);
    else if (part == "minute") v = ((db * 24 + b->hour) * 60 + b->minute) - ((da * 24 + a->hour) * 60 + a->minute);
    else if (part == "second") v = (totalMillis(*b) / 1000) - (totalMillis(*a) / 1000);
    else if (part == "millisecond") v = totalMillis(*b) - totalMillis(*a);
    else return resultError(ctx, "'" + std::string(part) + "' is not a recognized datediff option.");
    if (v < INT32_MIN || v > INT32_MAX) {
        return resultError(ctx, "The datediff function resulted in an overflow. The number of dateparts separating two "
                                "date/time instances is too large.");
    }
    sqlite3_result_int64(ctx, v);
}

// ---------------------------------------------------------------- catalogue

struct XType {
    const char* name;
    int xtype;
    int length;
};
constexpr XType kTypes[] = {
    {"image", 34, 16},          {"text", 35, 16},      {"uniqueidentifier", 36, 16}, {"tinyint", 48, 1},
    {"smallint", 52, 2},        {"int", 56, 4},        {"smalldatetime", 58, 4},     {"real", 59, 4},
    {"money", 60, 8},           {"datetime", 61, 8},   {"float", 62, 8},             {"ntext", 99, 16},
    {"bit", 104, 1},            {"decimal", 106, 17},  {"numeric", 108, 17},         {"smallmoney", 122, 4},
    {"bigint", 127, 8},         {"varbinary", 165, 0}, {"varchar", 167, 0},          {"binary", 173, 0},
    {"char", 175, 0},           {"nvarchar", 231, 0},  {"nchar", 239, 0},            {"sql_variant", 98, 8016},
    {"date", 40, 3},
};

// Maps a declared type ("nvarchar(50)", "INTEGER", "double") to its SQL Server xtype.
const XType* typeOfDeclared(std::string_view decl, long* sizeArg) {
    std::string base;
    std::size_t i = 0;
    while (i < decl.size() && decl[i] == ' ') ++i;
    while (i < decl.size() && decl[i] != '(' && decl[i] != ' ') base += foldAscii(decl[i++]);
    if (sizeArg) {
        *sizeArg = -2;
        if (auto p = decl.find('('); p != std::string_view::npos) {
            std::string inner(decl.substr(p + 1));
            *sizeArg = inner.rfind("max", 0) == 0 ? -1 : std::strtol(inner.c_str(), nullptr, 10);
        }
    }
    if (base == "integer") base = "int";
    else if (base == "double") base = "float";
    else if (base == "dec") base = "decimal";
    else if (base == "character") base = "char";
    else if (base == "blob") base = "varbinary";
    else if (base.empty()) base = "varchar";
    for (const auto& t : kTypes) {
        if (base == t.name) return &t;
    }
    return nullptr;
}

void fnXtype(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const XType* t = typeOfDeclared(textOf(argv[0]), nullptr);
    sqlite3_result_int(ctx, t ? t->xtype : 167);
}

void fnTypeLength(sqlite3_context* ctx, int, sqlite3_value** argv) {
    long arg = -2;
    const XType* t = typeOfDeclared(textOf(argv[0]), &arg);
    if (!t) return sqlite3_result_int(ctx, 8000);
    if (t->length != 0) return sqlite3_result_int(ctx, t->length);
    long n = arg == -2 ? 1 : arg == -1 ? -1 : arg;
    bool wide = t->xtype == 231 || t->xtype == 239;
    sqlite3_result_int64(ctx, n < 0 ? -1 : (wide ? n * 2 : n));
}

void fnTypeName(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    int x = sqlite3_value_int(argv[0]);
    for (const auto& t : kTypes) {
        if (t.xtype == x) return resultText(ctx, t.name);
    }
    sqlite3_result_null(ctx);
}

// Looks one value up with a statement on the calling connection.
void lookup(sqlite3_context* ctx, const char* sql, sqlite3_value* arg) {
    sqlite3* db = sqlite3_context_db_handle(ctx);
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK) {
        resultError(ctx, sqlite3_errmsg(db));
        return;
    }
    sqlite3_bind_value(st, 1, arg);
    if (sqlite3_step(st) == SQLITE_ROW) sqlite3_result_value(ctx, sqlite3_column_value(st, 0));
    else sqlite3_result_null(ctx);
    sqlite3_finalize(st);
}

void fnObjectName(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    lookup(ctx, "select name from main.sqlite_master where rowid = ?1 and type in ('table','view')", argv[0]);
}

void fnObjectId(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    lookup(ctx,
           "select rowid from main.sqlite_master where name = ?1 collate nocase and type in ('table','view')",
           argv[0]);
}

using Fn = void (*)(sqlite3_context*, int, sqlite3_value**);
struct Registration {
    const char* name;
    int args;
    Fn fn;
    bool deterministic;
};

constexpr Registration kFunctions[] = {
    {"tsql_getdate", 0, fnGetdate, false},       {"tsql_datetime", 1, fnDatetime, true},
    {"tsql_date", 1, fnDate, true},
    {"tsql_datelit", 2, fnDatelit, true},        {"tsql_add", 2, fnAdd, true},
    {"tsql_convert", 3, fnConvert, true},        {"tsql_left", 2, fnLeft, true},
    {"tsql_right", 2, fnRight, true},            {"tsql_len", 1, fnLen, true},
    {"tsql_substring", 3, fnSubstring, true},    {"tsql_charindex", 2, fnCharindex, true},
    {"tsql_charindex", 3, fnCharindex, true},    {"tsql_replace", 3, fnReplace, true},
    {"tsql_datepart", 2, fnDatepart, true},      {"tsql_dateadd", 3, fnDateadd, true},
    {"tsql_datediff", 3, fnDatediff, true},      {"tsql_xtype", 1, fnXtype, true},
    {"tsql_type_length", 1, fnTypeLength, true}, {"tsql_type_name", 1, fnTypeName, true},
};

const char* const kViews[] = {
    "create temp view if not exists sysobjects as select rowid as id, name collate nocase as name, "
    "case type when 'table' then 'U' else 'V' end as xtype, case type when 'table' then 'U' else 'V' end as type "
    "from main.sqlite_master where type in ('table','view') and name not like 'sqlite\\_%' escape '\\'",
    "create temp view if not exists syscolumns as select o.rowid as id, p.name collate nocase as name, "
    "p.cid + 1 as colid, tsql_xtype(p.type) as xtype, tsql_type_length(p.type) as length, "
    "1 - p.\"notnull\" as isnullable from main.sqlite_master o join pragma_table_info(o.name, 'main') p "
    "where o.type in ('table','view') and o.name not like 'sqlite\\_%' escape '\\'",
};

}  // namespace

int registerTsqlFunctions(sqlite3* db, char** error) {
    for (const auto& r : kFunctions) {
        int flags = SQLITE_UTF8 | SQLITE_INNOCUOUS | (r.deterministic ? SQLITE_DETERMINISTIC : 0);
        int rc = sqlite3_create_function_v2(db, r.name, r.args, flags, nullptr, r.fn, nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK) return rc;
    }
    // These read the schema, so they are not offered to triggers and views of untrusted files.
    for (auto [name, fn] : {std::pair<const char*, Fn>{"tsql_object_name", fnObjectName}, {"tsql_object_id", fnObjectId}}) {
        int rc = sqlite3_create_function_v2(db, name, 1, SQLITE_UTF8 | SQLITE_DIRECTONLY, nullptr, fn, nullptr,
                                            nullptr, nullptr);
        if (rc != SQLITE_OK) return rc;
    }
    if (int rc = registerStoredValueFunctions(db); rc != SQLITE_OK) return rc;
    for (const char* sql : kViews) {
        int rc = sqlite3_exec(db, sql, nullptr, nullptr, error);
        if (rc != SQLITE_OK) return rc;
    }
    return SQLITE_OK;
}

}  // namespace Palvo::sqlite

#ifdef PALVO_TSQL_EXTENSION
#include "adapters/sqlite/collation.h"

extern "C" {
// Entry points: the generic name (used when no entry point is given) and our own.
__attribute__((visibility("default"))) int sqlite3_extension_init(sqlite3* db, char** error, const sqlite3_api_routines* api) {
    SQLITE_EXTENSION_INIT2(api);
    int rc = Palvo::sqlite::registerTsqlFunctions(db, error);
    if (rc == SQLITE_OK) rc = Palvo::sqlite::registerChineseCollation(db, error);
    return rc;
}
__attribute__((visibility("default"))) int sqlite3_palvotsql_init(sqlite3* db, char** error, const sqlite3_api_routines* api) {
    return sqlite3_extension_init(db, error, api);
}
}
#endif

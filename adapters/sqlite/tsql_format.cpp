// Dates and FORMAT: CONVERT's styles, DATENAME, EOMONTH, DATEFROMPARTS, ISDATE,
// SYSDATETIME and FORMAT's patterns, in the connection's language.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <unordered_map>

#include "palvo/convert.h"
#include "palvo/text.h"
#include "tsql_functions.h"
#include "tsql_support.h"

namespace Palvo::sqlite {

namespace {

// The connections that speak us_english; the others speak 简体中文. A connection
// leaves the set when SQLite drops its functions (tsql_language's destructor).
std::mutex languageMutex;
std::unordered_map<const sqlite3*, bool> englishConnections;
// The connections whose weeks begin on another day than Sunday (SET DATEFIRST): that day, 1 for Monday.
std::unordered_map<const sqlite3*, int> dateFirsts;
// The connections that read dates in another order than their language's (SET DATEFORMAT).
std::unordered_map<const sqlite3*, std::string> dateOrders;

void forgetLanguage(void* db) {
    std::lock_guard lock(languageMutex);
    englishConnections.erase(static_cast<const sqlite3*>(db));
    dateFirsts.erase(static_cast<const sqlite3*>(db));
    dateOrders.erase(static_cast<const sqlite3*>(db));
}

// us_english reads 01/02/03 as mdy, 简体中文 as ymd
std::string orderOf(const sqlite3* db) {
    if (const auto it = dateOrders.find(db); it != dateOrders.end()) return it->second;
    return englishConnections.contains(db) ? "mdy" : "ymd";
}

}  // namespace

void setDateLanguage(sqlite3* db, bool english) {
    std::lock_guard lock(languageMutex);
    dateOrders.erase(db);  // a language brings its own order
    if (english)
        englishConnections[db] = true;
    else
        englishConnections.erase(db);
}

void setDateFirst(sqlite3* db, int day) {
    std::lock_guard lock(languageMutex);
    if (day == 7)
        dateFirsts.erase(db);
    else
        dateFirsts[db] = day;
}

void setDateFormat(sqlite3* db, const std::string& order) {
    std::lock_guard lock(languageMutex);
    dateOrders[db] = order;
}

std::string dateFormatOf(sqlite3* db) {
    std::lock_guard lock(languageMutex);
    return orderOf(db);
}

int dateFirstOf(sqlite3* db) {
    std::lock_guard lock(languageMutex);
    const auto it = dateFirsts.find(db);
    return it == dateFirsts.end() ? 7 : it->second;
}

namespace tsql {

std::string dateOrder(sqlite3_context* ctx) {
    std::lock_guard lock(languageMutex);
    return orderOf(sqlite3_context_db_handle(ctx));
}

bool speaksEnglish(sqlite3_context* ctx) {
    std::lock_guard lock(languageMutex);
    return englishConnections.contains(sqlite3_context_db_handle(ctx));
}

namespace {

constexpr const char* kEnglishMonths[] = {"January",   "February", "March",    "April",
                                          "May",       "June",     "July",     "August",
                                          "September", "October",  "November", "December"};
// SQL Server's 简体中文 names the months by their numbers
constexpr const char* kChineseMonths[] = {"01", "02", "03", "04", "05", "06",
                                          "07", "08", "09", "10", "11", "12"};
// Sunday first
constexpr const char* kEnglishDays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                        "Thursday", "Friday", "Saturday"};
constexpr const char* kChineseDays[] = {"星期日", "星期一", "星期二", "星期三", "星期四", "星期五", "星期六"};

int weekday0(const DateTime& d) {  // 0 = Sunday
    return static_cast<int>(
        ((base::daySerial(d) - base::daySerial(DateTime{1900, 1, 7, 0, 0, 0, 0})) % 7 + 7) % 7);
}

std::string shortMonth(const DateTime& d, bool english) {
    return english ? std::string(kEnglishMonths[d.month - 1], 3) : kChineseMonths[d.month - 1];
}

}  // namespace

std::string formatStyle(const DateTime& s, int style, bool english) {
    char buf[80];
    const std::string mon = shortMonth(s, english);
    const int h12 = s.hour % 12 == 0 ? 12 : s.hour % 12;
    const char* ampm = s.hour < 12 ? "AM" : "PM";
    const int yy = s.year % 100;
    switch (style) {
        case 1:
            std::snprintf(buf, sizeof buf, "%02d/%02d/%02d", s.month, s.day, yy);
            break;
        case 101:
            std::snprintf(buf, sizeof buf, "%02d/%02d/%04d", s.month, s.day, s.year);
            break;
        case 2:
            std::snprintf(buf, sizeof buf, "%02d.%02d.%02d", yy, s.month, s.day);
            break;
        case 102:
            std::snprintf(buf, sizeof buf, "%04d.%02d.%02d", s.year, s.month, s.day);
            break;
        case 3:
            std::snprintf(buf, sizeof buf, "%02d/%02d/%02d", s.day, s.month, yy);
            break;
        case 103:
            std::snprintf(buf, sizeof buf, "%02d/%02d/%04d", s.day, s.month, s.year);
            break;
        case 4:
            std::snprintf(buf, sizeof buf, "%02d.%02d.%02d", s.day, s.month, yy);
            break;
        case 104:
            std::snprintf(buf, sizeof buf, "%02d.%02d.%04d", s.day, s.month, s.year);
            break;
        case 5:
            std::snprintf(buf, sizeof buf, "%02d-%02d-%02d", s.day, s.month, yy);
            break;
        case 105:
            std::snprintf(buf, sizeof buf, "%02d-%02d-%04d", s.day, s.month, s.year);
            break;
        case 6:
            std::snprintf(buf, sizeof buf, "%02d %s %02d", s.day, mon.c_str(), yy);
            break;
        case 106:
            std::snprintf(buf, sizeof buf, "%02d %s %04d", s.day, mon.c_str(), s.year);
            break;
        case 7:
            std::snprintf(buf, sizeof buf, "%s %02d, %02d", mon.c_str(), s.day, yy);
            break;
        case 107:
            std::snprintf(buf, sizeof buf, "%s %02d, %04d", mon.c_str(), s.day, s.year);
            break;
        case 8:
        case 24:
        case 108:
            std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", s.hour, s.minute, s.second);
            break;
        case 9:
        case 109:
            std::snprintf(buf, sizeof buf, "%s %2d %04d %2d:%02d:%02d:%03d%s", mon.c_str(), s.day, s.year,
                          h12, s.minute, s.second, s.millisecond, ampm);
            break;
        case 10:
            std::snprintf(buf, sizeof buf, "%02d-%02d-%02d", s.month, s.day, yy);
            break;
        case 110:
            std::snprintf(buf, sizeof buf, "%02d-%02d-%04d", s.month, s.day, s.year);
            break;
        case 11:
            std::snprintf(buf, sizeof buf, "%02d/%02d/%02d", yy, s.month, s.day);
            break;
        case 111:
            std::snprintf(buf, sizeof buf, "%04d/%02d/%02d", s.year, s.month, s.day);
            break;
        case 12:
            std::snprintf(buf, sizeof buf, "%02d%02d%02d", yy, s.month, s.day);
            break;
        case 112:
            std::snprintf(buf, sizeof buf, "%04d%02d%02d", s.year, s.month, s.day);
            break;
        case 13:
        case 113:
            std::snprintf(buf, sizeof buf, "%02d %s %04d %02d:%02d:%02d:%03d", s.day, mon.c_str(), s.year,
                          s.hour, s.minute, s.second, s.millisecond);
            break;
        case 14:
        case 114:
            std::snprintf(buf, sizeof buf, "%02d:%02d:%02d:%03d", s.hour, s.minute, s.second, s.millisecond);
            break;
        case 20:
        case 120:
            std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", s.year, s.month, s.day, s.hour,
                          s.minute, s.second);
            break;
        case 21:
        case 25:
        case 121:
            return s.toIso();
        case 22:
            std::snprintf(buf, sizeof buf, "%02d/%02d/%02d %2d:%02d:%02d %s", s.month, s.day, yy, h12,
                          s.minute, s.second, ampm);
            break;
        case 23:
            std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", s.year, s.month, s.day);
            break;
        case 126:
        case 127: {  // the milliseconds only when there are some
            int n = std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d", s.year, s.month, s.day,
                                  s.hour, s.minute, s.second);
            if (s.millisecond) std::snprintf(buf + n, sizeof buf - n, ".%03d", s.millisecond);
            break;
        }
        default:  // 0 and 100: mon dd yyyy hh:miAM
            std::snprintf(buf, sizeof buf, "%s %2d %04d %2d:%02d%s", mon.c_str(), s.day, s.year, h12,
                          s.minute, ampm);
    }
    return buf;
}

namespace {

std::string number(std::int64_t n) { return std::to_string(n); }

// DATENAME(part, d): month and weekday by name in the connection's language, the other parts as numbers.
void fnDatename(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[1]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    const auto st = valueToDate(ctx, argv[1]);
    if (!st) return resultError(ctx, kDateConversionFailed);
    const std::string_view part = textOf(argv[0]);
    const bool english = speaksEnglish(ctx);
    const DateTime jan1{st->year, 1, 1, 0, 0, 0, 0};
    const std::int64_t dayOfYear = base::daySerial(*st) - base::daySerial(jan1) + 1;
    std::string out;
    if (part == "year")
        out = number(st->year);
    else if (part == "quarter")
        out = number((st->month - 1) / 3 + 1);
    else if (part == "month")
        out = english ? kEnglishMonths[st->month - 1] : kChineseMonths[st->month - 1];
    else if (part == "dayofyear")
        out = number(dayOfYear);
    else if (part == "day")
        out = number(st->day);
    else if (part == "week")
        out = number((dayOfYear - 1 + weekday0(jan1)) / 7 + 1);
    else if (part == "weekday")
        out = english ? kEnglishDays[weekday0(*st)] : kChineseDays[weekday0(*st)];
    else if (part == "hour")
        out = number(st->hour);
    else if (part == "minute")
        out = number(st->minute);
    else if (part == "second")
        out = number(st->second);
    else if (part == "millisecond")
        out = number(st->millisecond);
    else
        return resultError(ctx, "'" + std::string(part) + "' is not a recognized datename option.");
    resultText(ctx, out);
}

const char* const kDateOverflow = "Adding a value to a 'date' column caused an overflow.";
const char* const kBefore1753 = "The embedded database keeps dates from 1753-01-01 on.";

// EOMONTH(d[, months]): the last day of the month, as a date.
void fnEomonth(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
    auto st = valueToDate(ctx, argv[0]);
    if (!st) return resultError(ctx, kDateConversionFailed);
    const double add = argc > 1 ? std::trunc(sqlite3_value_double(argv[1])) : 0;
    const double m = st->year * 12.0 + (st->month - 1) + add;
    if (!(m >= 1753 * 12.0 && m < 10000 * 12.0)) return resultError(ctx, kDateOverflow);
    const auto months = static_cast<std::int64_t>(m);
    DateTime r{static_cast<int>(months / 12), static_cast<int>(months % 12) + 1, 31, 0, 0, 0, 0};
    while (!r.valid()) --r.day;
    resultText(ctx, r.toIso());
}

// DATEFROMPARTS(y, m, d): a date; parts that make no date fail as SQL Server's do.
void fnDatefromparts(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
    const std::int64_t y = sqlite3_value_int64(argv[0]), m = sqlite3_value_int64(argv[1]),
                       d = sqlite3_value_int64(argv[2]);
    const DateTime r{static_cast<int>(std::clamp<std::int64_t>(y, -1, 10000)),
                     static_cast<int>(std::clamp<std::int64_t>(m, -1, 13)),
                     static_cast<int>(std::clamp<std::int64_t>(d, -1, 32)),
                     0,
                     0,
                     0,
                     0};
    if (!r.valid())
        return resultError(ctx,
                           "Cannot construct data type date, some of the arguments have values which "
                           "are not valid.");
    if (r.year < 1753) return resultError(ctx, kBefore1753);
    resultText(ctx, r.toIso());
}

// ISDATE(x): 1 when x reads as a datetime, else 0 (Null too).
void fnIsdate(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const int t = sqlite3_value_type(argv[0]);
    if (t == SQLITE_NULL || t == SQLITE_BLOB) return sqlite3_result_int(ctx, 0);
    // a number is read as its text, as SQL Server converts it to a string first
    const std::string text = t == SQLITE_TEXT ? std::string(textOf(argv[0])) : numberText(argv[0]);
    // numbers in the connection's order; a month by its name in any
    auto st = readDateText(text, ctx, false).date;
    if (!st &&
        std::any_of(text.begin(), text.end(), [](char c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; }))
        st = parseStyled(text, 0);
    sqlite3_result_int(ctx, st && toTicks(*st) ? 1 : 0);
}

// SYSDATETIME(): the local time to the millisecond, not rounded to datetime's ticks.
void fnSysdatetime(sqlite3_context* ctx, int, sqlite3_value**) { resultText(ctx, DateTime::now().toIso()); }

// ---- time: 'hh:mm:ss.fffffff' with the digits of its scale, as SQL Server writes it

constexpr std::int64_t kTicksPerDay = 864000000000;  // of 100 ns

// The fraction of a second written in text after hh:mm:ss, in 100 ns (up to 7 digits kept).
std::int64_t writtenFraction(std::string_view t) {
    for (std::size_t c = t.find(':'); c != std::string_view::npos && c + 6 < t.size();
         c = t.find(':', c + 1)) {
        // hh:mm:ss followed by . and digits
        if (t[c + 3] != ':' || t.size() <= c + 6 || t[c + 6] != '.') continue;
        std::int64_t f = 0;
        std::size_t k = c + 7, n = 0;
        for (; k < t.size() && t[k] >= '0' && t[k] <= '9'; ++k, ++n) {
            if (n < 7) f = f * 10 + (t[k] - '0');
        }
        for (; n < 7; ++n) f *= 10;
        return f;
    }
    return -1;
}

std::string timeText(std::int64_t ticks, int scale) {
    const std::int64_t unit = [&] {
        std::int64_t u = 1;
        for (int i = scale; i < 7; ++i) u *= 10;
        return u;
    }();
    ticks = (ticks + unit / 2) / unit * unit % kTicksPerDay;
    const std::int64_t seconds = ticks / 10000000;
    char buf[32];
    int n = std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", static_cast<int>(seconds / 3600),
                          static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
    if (scale > 0) {
        std::snprintf(buf + n, sizeof buf - n, ".%07lld", static_cast<long long>(ticks % 10000000));
        buf[n + 1 + scale] = '\0';
    }
    return buf;
}

}  // namespace

void convertToTime(sqlite3_context* ctx, long scale, sqlite3_value* x) {
    if (scale == -2) scale = 7;
    if (scale < 0 || scale > 7)
        return resultError(ctx,
                           "Specified scale " + std::to_string(scale) + " is invalid for 'time' data type.");
    auto st = valueToDate(ctx, x);
    if (!st) return resultError(ctx, kDateConversionFailed);
    std::int64_t ticks = ((st->hour * 60LL + st->minute) * 60 + st->second) * 10000000;
    const std::int64_t written = sqlite3_value_type(x) == SQLITE_TEXT ? writtenFraction(textOf(x)) : -1;
    ticks += written >= 0 ? written : st->millisecond * 10000LL;
    resultText(ctx, timeText(ticks, static_cast<int>(scale)));
}

std::optional<int> timeScale(std::string_view t) {
    if (t.size() < 8 || t.size() == 9 || t.size() > 16 || t[2] != ':' || t[5] != ':') return std::nullopt;
    for (std::size_t i : {0, 1, 3, 4, 6, 7}) {
        if (t[i] < '0' || t[i] > '9') return std::nullopt;
    }
    if (t.size() > 8 && t[8] != '.') return std::nullopt;
    for (std::size_t i = 9; i < t.size(); ++i) {
        if (t[i] < '0' || t[i] > '9') return std::nullopt;
    }
    return t.size() == 8 ? 0 : static_cast<int>(t.size()) - 9;
}

namespace {

// ---- FORMAT: the .NET patterns SQL Server hands its values to, in zh-CN and en-US

struct Culture {
    bool english;
    const char* const* months;
    const char* const* shortMonths;
    const char* const* days;
    const char* const* shortDays;
    const char* am;
    const char* pm;
    const char* shortDate;  // the pattern of "d"
    const char* longDate;   // of "D"
    const char* percent;    // n stands for the number
};

constexpr const char* kEnglishShortMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr const char* kEnglishShortDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kZhMonths[] = {"一月", "二月", "三月", "四月", "五月",   "六月",
                                     "七月", "八月", "九月", "十月", "十一月", "十二月"};
constexpr const char* kZhShortMonths[] = {"1月", "2月", "3月", "4月",  "5月",  "6月",
                                          "7月", "8月", "9月", "10月", "11月", "12月"};
constexpr const char* kZhShortDays[] = {"周日", "周一", "周二", "周三", "周四", "周五", "周六"};

constexpr Culture kEnUs{true, kEnglishMonths, kEnglishShortMonths, kEnglishDays,         kEnglishShortDays,
                        "AM", "PM",           "M/d/yyyy",          "dddd, MMMM d, yyyy", "n %"};
constexpr Culture kZhCn{false,  kZhMonths, kZhShortMonths, kChineseDays,         kZhShortDays,
                        "上午", "下午",    "yyyy/M/d",     "yyyy'年'M'月'd'日'", "n%"};

struct Refusal {
    std::string text;
};

std::string padded(std::int64_t v, std::size_t width) {
    std::string t = std::to_string(v);
    if (t.size() < width) t.insert(0, width - t.size(), '0');
    return t;
}

// A custom date pattern: yyyy yy y MMMM MMM MM M dddd ddd dd d HH H hh h mm m
// ss s f... tt t, quoted or escaped literals; other text as it is.
std::string formatDate(const DateTime& d, std::string_view p, const Culture& c) {
    if (p.size() == 1) {
        if (p == "d") return formatDate(d, c.shortDate, c);
        if (p == "D") return formatDate(d, c.longDate, c);
        throw Refusal{"the FORMAT pattern '" + std::string(p) + "' for a date"};
    }
    std::string out;
    for (std::size_t i = 0; i < p.size();) {
        const char ch = p[i];
        std::size_t n = 1;
        while (i + n < p.size() && p[i + n] == ch) ++n;
        const int h12 = d.hour % 12 == 0 ? 12 : d.hour % 12;
        switch (ch) {
            case 'y':
                out += n == 1   ? std::to_string(d.year % 100)
                       : n == 2 ? padded(d.year % 100, 2)
                                : padded(d.year, n);
                break;
            case 'M':
                out += n == 1   ? std::to_string(d.month)
                       : n == 2 ? padded(d.month, 2)
                       : n == 3 ? c.shortMonths[d.month - 1]
                                : c.months[d.month - 1];
                break;
            case 'd':
                out += n == 1   ? std::to_string(d.day)
                       : n == 2 ? padded(d.day, 2)
                       : n == 3 ? c.shortDays[weekday0(d)]
                                : c.days[weekday0(d)];
                break;
            case 'H':
                out += n == 1 ? std::to_string(d.hour) : padded(d.hour, 2);
                break;
            case 'h':
                out += n == 1 ? std::to_string(h12) : padded(h12, 2);
                break;
            case 'm':
                out += n == 1 ? std::to_string(d.minute) : padded(d.minute, 2);
                break;
            case 's':
                out += n == 1 ? std::to_string(d.second) : padded(d.second, 2);
                break;
            case 'f': {
                if (n > 7) throw Refusal{"the FORMAT pattern '" + std::string(p) + "' for a date"};
                std::string frac = padded(d.millisecond, 3) + "0000";
                out += frac.substr(0, n);
                break;
            }
            case 't': {
                std::string_view mark = d.hour < 12 ? c.am : c.pm;
                out += n == 1 ? std::string(mark.substr(0, c.english ? 1 : 3)) : std::string(mark);
                break;
            }
            case '\'':
            case '"': {
                const auto close = p.find(ch, i + 1);
                if (close == std::string_view::npos)
                    throw Refusal{"the FORMAT pattern '" + std::string(p) + "' (an unclosed quote)"};
                out += p.substr(i + 1, close - i - 1);
                n = close - i + 1;
                break;
            }
            case '\\':
                if (i + 1 < p.size()) out += p[i + 1];
                n = 2;
                break;
            case 'g':
            case 'z':
            case 'K':
            case 'F':
            case '%':
                throw Refusal{"the FORMAT pattern '" + std::string(p) + "' for a date"};
            default:
                out.append(n, ch);
        }
        i += n;
    }
    return out;
}

// The digits of |v| rounded half away from zero to `decimals` places, grouped by
// thousands when asked; at least `minInt` digits before the point, and the
// decimals beyond `minDec` dropped when they are zeros.
// A whole number (`exact`, when the value is one that a double may not hold) is written digit for digit.
std::string digitsOf(double v, const std::optional<std::int64_t>& exact, int decimals, int minDec, int minInt,
                     bool group) {
    std::string t;
    if (exact) {
        const std::uint64_t magnitude = *exact < 0 ? 0 - static_cast<std::uint64_t>(*exact) : *exact;
        t = std::to_string(magnitude) +
            (decimals > 0 ? "." + std::string(static_cast<std::size_t>(decimals), '0') : "");
    } else {
        char buf[400];
        std::snprintf(buf, sizeof buf, "%.*f", decimals, std::fabs(roundDecimal(v, decimals)));
        t = buf;
    }
    std::string whole = t.substr(0, t.find('.'));
    std::string frac = decimals > 0 ? t.substr(t.find('.') + 1) : std::string();
    while (static_cast<int>(frac.size()) > minDec && frac.back() == '0') frac.pop_back();
    if (whole == "0" && minInt == 0) whole.clear();
    while (static_cast<int>(whole.size()) < minInt) whole.insert(0, "0");
    if (group) {
        for (int k = static_cast<int>(whole.size()) - 3; k > 0; k -= 3)
            whole.insert(static_cast<std::size_t>(k), ",");
    }
    return frac.empty() ? whole : whole + "." + frac;
}

// A whole number a hundred times over, while it stays one.
std::optional<std::int64_t> times100(std::optional<std::int64_t> n) {
    if (n && *n <= INT64_MAX / 100 && *n >= INT64_MIN / 100) return *n * 100;
    return std::nullopt;
}

bool roundsToZero(double v, int decimals) { return roundDecimal(std::fabs(v), decimals) == 0; }

// N, F and P with an optional count of decimals, or a custom pattern of 0 # , . %
// with literal text before and after the digits.
std::string formatNumber(double v, std::optional<std::int64_t> exact, std::string_view p, const Culture& c) {
    const auto refuse = [&] { return Refusal{"the FORMAT pattern '" + std::string(p) + "' for a number"}; };
    if (p.empty()) throw refuse();
    const char kind = static_cast<char>(p[0] & ~0x20);
    if ((kind == 'N' || kind == 'F' || kind == 'P') &&
        p.substr(1).find_first_not_of("0123456789") == std::string_view::npos && p.size() <= 3) {
        const int decimals = p.size() > 1 ? std::stoi(std::string(p.substr(1))) : 2;
        const double x = kind == 'P' ? v * 100 : v;
        if (kind == 'P') exact = times100(exact);
        std::string out = digitsOf(x, exact, decimals, decimals, 1, kind != 'F');
        if (kind == 'P') {
            std::string pat = c.percent;
            out = pat.replace(pat.find('n'), 1, out);
        }
        return x < 0 && !roundsToZero(x, decimals) ? "-" + out : out;
    }
    const auto first = p.find_first_of("0#."), last = p.find_last_of("0#.");
    if (first == std::string_view::npos) throw refuse();
    const std::string_view body = p.substr(first, last - first + 1);
    if (body.find_first_not_of("0#,.") != std::string_view::npos || body.find('.') != body.rfind('.'))
        throw refuse();
    std::string_view prefix = p.substr(0, first), suffix = p.substr(last + 1);
    for (std::string_view lit : {prefix, suffix}) {
        if (lit.find_first_of("0#,.;\\'\"Ee") != std::string_view::npos) throw refuse();
    }
    const auto dot = body.find('.');
    const std::string_view intPart = body.substr(0, dot),
                           decPart = dot == body.npos ? "" : body.substr(dot + 1);
    if (!intPart.empty() && intPart.back() == ',') throw refuse();  // scaling by thousands
    if (decPart.find(',') != std::string_view::npos) throw refuse();
    const auto firstZero = intPart.find('0');
    int minInt = 0;
    if (firstZero != std::string_view::npos) {
        for (char ch : intPart.substr(firstZero)) minInt += ch == '0' || ch == '#';
    }
    const auto lastZero = decPart.rfind('0');
    const int minDec = lastZero == std::string_view::npos ? 0 : static_cast<int>(lastZero) + 1;
    const int decimals = static_cast<int>(decPart.size());
    double x = v;
    for (std::string_view lit : {prefix, suffix}) {
        for (char ch : lit) {
            if (ch == '%') {
                x *= 100;
                exact = times100(exact);
            }
        }
    }
    const std::string digits =
        digitsOf(x, exact, decimals, minDec, minInt, intPart.find(',') != std::string_view::npos);
    const bool negative = x < 0 && !roundsToZero(x, decimals);
    return (negative ? "-" : "") + std::string(prefix) + digits + std::string(suffix);
}

// FORMAT(value, pattern[, culture]): a date or a number by the pattern, in the
// culture given, else in the connection's language (zh-CN, or en-US under us_english).
void fnFormat(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL)
        return sqlite3_result_null(ctx);
    const Culture* culture = speaksEnglish(ctx) ? &kEnUs : &kZhCn;
    if (sqlite3_value_type(argv[2]) != SQLITE_NULL) {
        const std::string_view name = textOf(argv[2]);
        if (base::equalsNoCase(name, "zh-CN"))
            culture = &kZhCn;
        else if (base::equalsNoCase(name, "en-US"))
            culture = &kEnUs;
        else
            return resultError(ctx, "The culture parameter '" + std::string(name) +
                                        "' provided in the function call is not supported.");
    }
    const std::string_view pattern = textOf(argv[1]);
    try {
        const int t = sqlite3_value_type(argv[0]);
        if (t == SQLITE_INTEGER || t == SQLITE_FLOAT)
            return resultText(
                ctx,
                formatNumber(sqlite3_value_double(argv[0]),
                             t == SQLITE_INTEGER ? std::optional<std::int64_t>(sqlite3_value_int64(argv[0]))
                                                 : std::nullopt,
                             pattern, *culture));
        if (auto d = t == SQLITE_TEXT ? readStored(textOf(argv[0])) : std::nullopt)
            return resultText(ctx, formatDate(*d, pattern, *culture));
        // .NET formats a time as a TimeSpan, with patterns of its own
        if (t == SQLITE_TEXT && timeScale(textOf(argv[0])))
            return resultError(ctx, "Not supported by the embedded database: FORMAT of a time.");
    } catch (const Refusal& r) {
        return resultError(ctx, "Not supported by the embedded database: " + r.text + ".");
    }
    resultError(ctx, "Argument data type varchar is invalid for argument 1 of format function.");
}

}  // namespace

}  // namespace tsql

int registerFormatFunctions(sqlite3* db) {
    // the connection leaves the English ones when SQLite drops this function
    int rc = sqlite3_create_function_v2(
        db, "tsql_language", 0, SQLITE_UTF8 | SQLITE_DIRECTONLY, db,
        [](sqlite3_context* ctx, int, sqlite3_value**) {
            tsql::resultText(ctx, tsql::speaksEnglish(ctx) ? "us_english" : "简体中文");
        },
        nullptr, nullptr, forgetLanguage);
    if (rc == SQLITE_OK) {
        rc = sqlite3_create_function_v2(
            db, "tsql_datefirst", 0, SQLITE_UTF8 | SQLITE_DIRECTONLY, nullptr,
            [](sqlite3_context* ctx, int, sqlite3_value**) {
                sqlite3_result_int(ctx, dateFirstOf(sqlite3_context_db_handle(ctx)));
            },
            nullptr, nullptr, nullptr);
    }
    struct Registration {
        const char* name;
        int args;
        tsql::Fn fn;
        bool deterministic;
    };
    for (const auto& r : {Registration{"tsql_datename", 2, tsql::fnDatename, false},
                          {"tsql_eomonth", 1, tsql::fnEomonth, true},
                          {"tsql_eomonth", 2, tsql::fnEomonth, true},
                          {"tsql_datefromparts", 3, tsql::fnDatefromparts, true},
                          {"tsql_isdate", 1, tsql::fnIsdate, true},
                          {"tsql_sysdatetime", 0, tsql::fnSysdatetime, false},
                          {"tsql_format", 3, tsql::fnFormat, false}}) {
        if (rc != SQLITE_OK) break;
        const int flags = SQLITE_UTF8 | SQLITE_INNOCUOUS | (r.deterministic ? SQLITE_DETERMINISTIC : 0);
        rc = sqlite3_create_function_v2(db, r.name, r.args, flags, nullptr, r.fn, nullptr, nullptr, nullptr);
    }
    return rc;
}

}  // namespace Palvo::sqlite

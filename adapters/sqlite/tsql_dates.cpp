// Dates as SQL Server reads, computes and writes them: the text forms it
// accepts, days since 1900-01-01 for numbers, the range 1753 to 9999, and
// GETDATE, DATEPART, DATEADD, DATEDIFF. The calendar and the stored form are
// the core's (DateTime, base::daySerial and base::addDays).
#include <cmath>
#include <cstdio>

#include "palvo/convert.h"
#include "palvo/text.h"
#include "tsql_functions.h"
#include "tsql_support.h"

namespace Palvo::sqlite::tsql {

namespace {

constexpr DateTime kDayZero{1900, 1, 1, 0, 0, 0, 0};  // SQL Server's day zero, a Monday
constexpr std::int64_t kMillisPerDay = 86400000;

std::int64_t floorDiv(std::int64_t a, std::int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

// A real date and time in SQL Server's datetime range.
bool inRange(const DateTime& d) { return d.valid() && d.year >= 1753; }

// Days since 1900-01-01.
std::int64_t dayNumber(const DateTime& d) { return base::daySerial(d) - base::daySerial(kDayZero); }

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

bool readTime(Reader& r, DateTime& st) {
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
            st.millisecond = frac;
        }
    }
    r.blanks();
    std::string_view rest = r.s.substr(r.i);
    const bool am = base::equalsNoCase(rest, "am"), pm = base::equalsNoCase(rest, "pm");
    if (am || pm) {
        if (st.hour < 1 || st.hour > 12) return false;
        if (pm && st.hour < 12) st.hour += 12;
        if (am && st.hour == 12) st.hour = 0;
        r.i = r.s.size();
    }
    return true;
}

// A two-digit year as SQL Server reads it (two digit year cutoff 2049).
int fullYear(int y, std::size_t digits) { return digits > 2 ? y : y < 50 ? 2000 + y : 1900 + y; }

}  // namespace

// SQL Server's readings of a date string: yyyymmdd, three numbers separated by one of / - . in the
// connection's DATEFORMAT order, each with an optional time; a time alone is on 1900-01-01; '' is
// 1900-01-01. A four-digit number is the year wherever it stands, the month and the day keeping their
// order; a four-digit year first is always y-m-d for date and in 'yyyy-mm-ddThh:mm...', but for
// datetime the month follows the day there when the order puts it after (dmy: '2024-01-02' is 1
// February), as SQL Server reads it.
DateText readDateText(std::string_view text, sqlite3_context* ctx, bool dateType) {
    text = base::trimBlanks(text);
    DateTime st = kDayZero;
    if (text.empty()) return {st};
    Reader r{text};
    int a = 0;
    if (!r.digits(8, a)) return {};
    const std::size_t len = r.i;
    if (len == 8) {
        st.year = a / 10000;
        st.month = a / 100 % 100;
        st.day = a % 100;
    } else if (len <= 2 && !r.end() && text[r.i] == ':') {
        r.i = 0;
        if (!readTime(r, st) || !r.end()) return {};
        return {inRange(st) ? std::optional<DateTime>(st) : std::nullopt};
    } else if (len <= 4 && (r.eat('-') || r.eat('/') || r.eat('.'))) {
        const char sep = text[r.i - 1];
        int nums[3] = {a, 0, 0};
        std::size_t widths[3] = {len, 0, 0};
        for (int k = 1; k < 3; ++k) {
            const std::size_t b = r.i;
            if (!r.digits(4, nums[k])) return {};
            widths[k] = r.i - b;
            if (k == 1 && !r.eat(sep)) return {};
        }
        int yearAt = -1;
        for (int k = 0; k < 3; ++k) {
            if (widths[k] == 4 && yearAt < 0) {
                yearAt = k;
            } else if (widths[k] > 2) {
                return {};
            }
        }
        const bool isoTime = sep == '-' && !r.end() && text[r.i] == 'T';
        std::string order = yearAt == 0 && (dateType || isoTime) ? "ymd" : ctx ? dateOrder(ctx) : "mdy";
        if (dateType && order == "ydm") return {std::nullopt, false, true};
        if (yearAt >= 0 && order[static_cast<std::size_t>(yearAt)] != 'y') {
            std::string monthDay;
            for (const char c : order) {
                if (c != 'y') monthDay += c;
            }
            order.clear();
            for (int k = 0, j = 0; k < 3; ++k)
                order += k == yearAt ? 'y' : monthDay[static_cast<std::size_t>(j++)];
        }
        for (std::size_t k = 0; k < 3; ++k) {
            if (order[k] == 'y') st.year = fullYear(nums[k], widths[k]);
            if (order[k] == 'm') st.month = nums[k];
            if (order[k] == 'd') st.day = nums[k];
        }
    } else {
        return {};
    }
    if (!r.end()) {
        if (!(r.eat('T') || r.eat(' '))) return {};
        r.blanks();
        if (!readTime(r, st) || !r.end()) return {};
    }
    // numbers in a date's places that name no day of the range: SQL Server's out-of-range value (242)
    const DateTime day{st.year, st.month, st.day, 0, 0, 0, 0};
    if (!inRange(day)) return {std::nullopt, true};
    return {inRange(st) ? std::optional<DateTime>(st) : std::nullopt};
}

std::optional<DateTime> parseDate(std::string_view text) { return readDateText(text, nullptr, false).date; }

namespace {

// An English month name, whole or its first three letters; 0 for none.
int monthNamed(std::string_view w) {
    static const char* const names[] = {"january",   "february", "march",    "april",
                                        "may",       "june",     "july",     "august",
                                        "september", "october",  "november", "december"};
    if (w.size() < 3) return 0;
    for (int m = 0; m < 12; ++m) {
        std::string_view n = names[m];
        if (base::equalsNoCase(w, n) || base::equalsNoCase(w, n.substr(0, 3))) return m + 1;
    }
    return 0;
}

// The date of a CONVERT style's text: day, month and year in the style's order
// ('m' mdy, 'd' dmy, 'y' ymd), separated by / - . or blanks, the month also as
// an English name, a four-digit first number always a year; then a time.
std::optional<DateTime> parseOrdered(std::string_view text, char order) {
    text = base::trimBlanks(text);
    DateTime st = kDayZero;
    Reader r{text};
    int nums[3] = {0, 0, 0};
    std::size_t widths[3] = {0, 0, 0};
    int count = 0, named = 0, namedAt = -1;
    while (!r.end() && count + (named ? 1 : 0) < 3) {
        r.blanks();
        if (r.end()) break;
        const std::size_t b = r.i;
        if (text[r.i] >= '0' && text[r.i] <= '9') {
            // the hour of the time that follows the date
            std::size_t k = r.i;
            while (k < text.size() && text[k] >= '0' && text[k] <= '9') ++k;
            if (k < text.size() && text[k] == ':') break;
            if (!r.digits(4, nums[count])) return std::nullopt;
            widths[count++] = r.i - b;
        } else {
            while (!r.end() && ((text[r.i] | 0x20) >= 'a' && (text[r.i] | 0x20) <= 'z')) ++r.i;
            if (named || !(named = monthNamed(text.substr(b, r.i - b)))) return std::nullopt;
            namedAt = count;
        }
        if (!(r.eat('/') || r.eat('-') || r.eat('.') || r.eat(','))) {
            if (!r.end() && text[r.i] != ' ') return std::nullopt;
        }
    }
    if (named) {
        // mon dd yyyy, dd mon yyyy, mon dd, yy
        if (count != 2 || (namedAt != 0 && namedAt != 1)) return std::nullopt;
        st.month = named;
        st.day = nums[0];
        st.year = fullYear(nums[1], widths[1]);
    } else {
        if (count != 3) return std::nullopt;
        const char o = widths[0] == 4 ? 'y' : order;
        const int y = o == 'y' ? 0 : 2, m = o == 'm' ? 0 : 1, d = o == 'd' ? 0 : o == 'm' ? 1 : 2;
        st.year = fullYear(nums[y], widths[y]);
        st.month = nums[m];
        st.day = nums[d];
    }
    r.blanks();
    if (!r.end() && (!readTime(r, st) || !r.end())) return std::nullopt;
    return inRange(st) ? std::optional<DateTime>(st) : std::nullopt;
}

}  // namespace

std::optional<DateTime> parseStyled(std::string_view text, int style) {
    switch (style % 100) {
        case 0:
        case 1:
        case 7:
        case 9:
        case 10:
        case 22:
            if (auto st = parseOrdered(text, 'm')) return st;
            return parseDate(text);
        case 3:
        case 4:
        case 5:
        case 6:
        case 13:
            if (auto st = parseOrdered(text, 'd')) return st;
            return parseDate(text);
        case 2:
        case 11:
            if (auto st = parseOrdered(text, 'y')) return st;
            return parseDate(text);
        case 12: {  // yymmdd
            const std::string_view t = base::trimBlanks(text);
            if (style == 12 && t.size() == 6 && t.find_first_not_of("0123456789") == std::string_view::npos) {
                DateTime st = kDayZero;
                st.year = fullYear((t[0] - '0') * 10 + (t[1] - '0'), 2);
                st.month = (t[2] - '0') * 10 + (t[3] - '0');
                st.day = (t[4] - '0') * 10 + (t[5] - '0');
                return inRange(st) ? std::optional<DateTime>(st) : std::nullopt;
            }
            return parseDate(text);
        }
        default: {  // the ISO forms; 127 may end in Z
            std::string_view t = base::trimBlanks(text);
            if (style == 127 && !t.empty() && (t.back() == 'Z' || t.back() == 'z')) t.remove_suffix(1);
            return parseDate(t);
        }
    }
}

namespace {

std::optional<DateTime> dateArg(sqlite3_context* ctx, sqlite3_value* v) {
    auto st = valueToDate(ctx, v);
    if (!st) resultError(ctx, kDateConversionFailed);
    return st;
}

int weekdayOf(const DateTime& s) {   // 1 = Sunday ... 7 = Saturday
    std::int64_t dn = dayNumber(s);  // 0 is a Monday
    return static_cast<int>(((dn + 1) % 7 + 7) % 7) + 1;
}

const char* const kDateaddOverflow = "Adding a value to a 'datetime' column caused an overflow.";

// DATEADD of years, quarters or months: the day is kept, or the month's last day when it is shorter.
std::optional<DateTime> addMonths(const DateTime& st, std::int64_t months) {
    std::int64_t m = static_cast<std::int64_t>(st.year) * 12 + (st.month - 1) + months;
    DateTime r = st;
    const std::int64_t year = floorDiv(m, 12);
    if (year < 1753 || year > 9999) return std::nullopt;
    r.year = static_cast<int>(year);
    r.month = static_cast<int>(m - year * 12) + 1;
    while (!r.valid()) --r.day;
    return r;
}

// The milliseconds of one DATEADD unit; 0 for a part that is not one.
std::int64_t unitMillis(std::string_view part) {
    return part == "day" || part == "dayofyear" || part == "weekday" ? kMillisPerDay
           : part == "week"                                          ? 7 * kMillisPerDay
           : part == "hour"                                          ? 3600000
           : part == "minute"                                        ? 60000
           : part == "second"                                        ? 1000
           : part == "millisecond"                                   ? 1
                                                                     : 0;
}

}  // namespace

const char* const kYdmForDate =
    "This session's YDM date format is not supported when converting from this character string format to "
    "date, time, datetime2 or datetimeoffset. Change the session's date format or provide a style to the "
    "explicit conversion.";
const char* const kDateConversionFailed =
    "Conversion failed when converting date and/or time from character string.";
const char* const kDatetimeOutOfRange =
    "The conversion of a varchar data type to a datetime data type resulted in an out-of-range value.";

std::int64_t totalMillis(const DateTime& d) {
    return ((dayNumber(d) * 24 + d.hour) * 60 + d.minute) * 60000LL + d.second * 1000LL + d.millisecond;
}

std::optional<DateTime> toTicks(const DateTime& d) {
    // the last digit of the milliseconds: 0 1 -> 0, 2 3 4 -> 3, 5 6 7 8 -> 7, 9 -> the next ten
    static constexpr int kTo[] = {0, 0, 3, 3, 3, 7, 7, 7, 7, 10};
    if (kTo[d.millisecond % 10] == d.millisecond % 10) return d;
    // before 1900 the count is negative: the digit is taken from below, as for any other day
    const std::int64_t ms = totalMillis(d);
    const std::int64_t digit = ms - floorDiv(ms, 10) * 10;
    return fromMillis(ms - digit + kTo[digit]);
}

const char* const kSmalldatetimeOutOfRange =
    "The conversion of a varchar data type to a smalldatetime data type resulted in an out-of-range value.";

std::optional<DateTime> toMinute(const DateTime& d) {
    static const std::int64_t last = totalMillis(DateTime{2079, 6, 6, 23, 59, 0, 0});
    // read as a datetime first: 29.999 seconds is 30.000 and rounds up
    const DateTime ticks = toTicks(d).value_or(d);
    const std::int64_t at = totalMillis(ticks);
    if (at < 0) return std::nullopt;
    const std::int64_t ms = (at + 30000) / 60000 * 60000;
    if (ms > last) return std::nullopt;
    return fromMillis(ms);
}

std::optional<DateTime> fromMillis(std::int64_t ms) {
    static const std::int64_t first = totalMillis(DateTime{1753, 1, 1, 0, 0, 0, 0});
    static const std::int64_t last = totalMillis(DateTime{9999, 12, 31, 23, 59, 59, 999});
    if (ms < first || ms > last) return std::nullopt;
    const std::int64_t days = floorDiv(ms, kMillisPerDay);
    const std::int64_t rest = ms - days * kMillisPerDay;
    DateTime s = base::addDays(kDayZero, days);
    s.hour = static_cast<int>(rest / 3600000);
    s.minute = static_cast<int>(rest / 60000 % 60);
    s.second = static_cast<int>(rest / 1000 % 60);
    s.millisecond = static_cast<int>(rest % 1000);
    return s;
}

std::optional<DateTime> readStoredForm(std::string_view t) {
    static constexpr std::string_view shape = "dddd-dd-dd dd:dd:dd.ddd";
    if (t.size() != shape.size()) return std::nullopt;
    for (std::size_t i = 0; i < shape.size(); ++i) {
        if (shape[i] == 'd' ? !(t[i] >= '0' && t[i] <= '9') : t[i] != shape[i]) return std::nullopt;
    }
    const auto number = [&](std::size_t at, std::size_t n) {
        int v = 0;
        for (std::size_t i = at; i < at + n; ++i) v = v * 10 + (t[i] - '0');
        return v;
    };
    const DateTime d{number(0, 4),  number(5, 2),  number(8, 2), number(11, 2),
                     number(14, 2), number(17, 2), number(20, 3)};
    return d.valid() ? std::optional<DateTime>(d) : std::nullopt;
}

std::optional<DateTime> readStored(std::string_view t) {
    auto d = readStoredForm(t);
    return d && inRange(*d) ? d : std::nullopt;
}

// A value as a date: text is parsed; a number counts days from 1900-01-01,
// except an eight-digit yyyymmdd that numeric column affinity made of a string.
DateText dateOfValue(sqlite3_context* ctx, sqlite3_value* v, bool dateType) {
    switch (sqlite3_value_type(v)) {
        case SQLITE_INTEGER: {
            std::int64_t n = sqlite3_value_int64(v);
            if (n >= 17530101 && n <= 99991231) {
                DateTime s = kDayZero;
                s.year = static_cast<int>(n / 10000);
                s.month = static_cast<int>(n / 100 % 100);
                s.day = static_cast<int>(n % 100);
                if (inRange(s)) return {s};
            }
            if (n < -53690 || n > 2958463) return {};
            return {fromMillis(n * kMillisPerDay)};
        }
        case SQLITE_FLOAT: {
            double d = sqlite3_value_double(v);
            if (!(d >= -53690 && d < 2958464)) return {};
            return {fromMillis(static_cast<std::int64_t>(std::llround(d * 86400000.0)))};
        }
        case SQLITE_TEXT:
            // the stored form, as every date column holds it, whatever the order
            if (auto stored = readStored(textOf(v))) return {stored};
            return readDateText(textOf(v), ctx, dateType);
        default:
            return {};
    }
}

void fnGetdate(sqlite3_context* ctx, int, sqlite3_value**) {
    const DateTime now = DateTime::now();
    resultText(ctx, toTicks(now).value_or(now).toIso());
}

void fnDatetime(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    auto stored = sqlite3_value_type(argv[0]) == SQLITE_TEXT ? readStored(textOf(argv[0])) : std::nullopt;
    if (stored && toTicks(*stored) == stored) return sqlite3_result_value(ctx, argv[0]);
    const DateText read = stored ? DateText{stored} : dateOfValue(ctx, argv[0]);
    if (read.outOfRange) return resultError(ctx, kDatetimeOutOfRange);
    auto st = read.date;
    if (!st) return resultError(ctx, kDateConversionFailed);
    st = toTicks(*st);
    if (!st) return resultError(ctx, kDatetimeOutOfRange);
    resultText(ctx, st->toIso());
}

// tsql_smalldatetime(x): a smalldatetime column keeps the minute.
void fnSmalldatetime(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    const DateText read = dateOfValue(ctx, argv[0]);
    if (read.outOfRange) return resultError(ctx, kSmalldatetimeOutOfRange);
    auto st = read.date;
    if (!st) return resultError(ctx, kDateConversionFailed);
    st = toMinute(*st);
    if (!st) return resultError(ctx, kSmalldatetimeOutOfRange);
    resultText(ctx, st->toIso());
}

// tsql_date(x): a date column keeps the day only, at midnight.
void fnDate(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    const DateText read = dateOfValue(ctx, argv[0], true);
    if (read.ydm) return resultError(ctx, kYdmForDate);
    auto st = read.date;
    if (!st) return resultError(ctx, kDateConversionFailed);
    st->hour = st->minute = st->second = st->millisecond = 0;
    resultText(ctx, st->toIso());
}

// tsql_datelit(column, literal): the literal as a stored date when the column holds
// dates, as a time of the column's scale when it holds times.
void fnDatelit(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_TEXT && sqlite3_value_type(argv[1]) == SQLITE_TEXT) {
        if (const auto scale = timeScale(textOf(argv[0])); scale && valueToDate(ctx, argv[1]))
            return convertToTime(ctx, *scale, argv[1]);
    }
    if (sqlite3_value_type(argv[0]) == SQLITE_TEXT && readStored(textOf(argv[0])) &&
        sqlite3_value_type(argv[1]) == SQLITE_TEXT) {
        auto st = valueToDate(ctx, argv[1]);
        if (st) st = toTicks(*st);
        if (st) return resultText(ctx, st->toIso());
    }
    sqlite3_result_value(ctx, argv[1]);
}

void fnDatepart(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[1]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    auto st = dateArg(ctx, argv[1]);
    if (!st) return;
    std::string_view part = textOf(argv[0]);
    std::int64_t dn = dayNumber(*st);
    DateTime newYear = kDayZero;
    newYear.year = st->year;
    std::int64_t jan1 = dayNumber(newYear);
    std::int64_t v = 0;
    if (part == "year")
        v = st->year;
    else if (part == "quarter")
        v = (st->month - 1) / 3 + 1;
    else if (part == "month")
        v = st->month;
    else if (part == "dayofyear")
        v = dn - jan1 + 1;
    else if (part == "day")
        v = st->day;
    else if (part == "week" || part == "weekday") {
        // weeks begin on the connection's DATEFIRST day (day number 0 is a Monday)
        const int first = dateFirstOf(sqlite3_context_db_handle(ctx));
        const int shift = (8 - first) % 7;
        v = part == "week" ? floorDiv(dn + shift, 7) - floorDiv(jan1 + shift, 7) + 1
                           : (weekdayOf(*st) - 1 + 7 - first % 7) % 7 + 1;
    } else if (part == "hour")
        v = st->hour;
    else if (part == "minute")
        v = st->minute;
    else if (part == "second")
        v = st->second;
    else if (part == "millisecond")
        v = st->millisecond;
    else
        return resultError(ctx, "'" + std::string(part) + "' is not a recognized datepart option.");
    sqlite3_result_int64(ctx, v);
}

void fnDateadd(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[1]) == SQLITE_NULL || sqlite3_value_type(argv[2]) == SQLITE_NULL) {
        return sqlite3_result_null(ctx);
    }
    auto st = dateArg(ctx, argv[2]);
    if (!st) return;
    std::string_view part = textOf(argv[0]);
    const bool months = part == "year" || part == "quarter" || part == "month";
    const std::int64_t unit = months ? 0 : unitMillis(part);
    if (!months && unit == 0)
        return resultError(ctx, "'" + std::string(part) + "' is not a recognized dateadd option.");
    // beyond this no unit stays in the range; it also keeps the products below within 64 bits
    const double count = std::trunc(sqlite3_value_double(argv[1]));
    if (!(std::fabs(count) < 1e12)) return resultError(ctx, kDateaddOverflow);
    const auto n = static_cast<std::int64_t>(count);
    std::optional<DateTime> r = months ? addMonths(*st, part == "year"      ? n * 12
                                                        : part == "quarter" ? n * 3
                                                                            : n)
                                       : fromMillis(totalMillis(*st) + n * unit);
    if (r) r = toTicks(*r);
    if (!r) return resultError(ctx, kDateaddOverflow);
    resultText(ctx, r->toIso());
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
    std::int64_t da = dayNumber(*a), db = dayNumber(*b);
    std::int64_t v = 0;
    if (part == "year")
        v = b->year - a->year;
    else if (part == "quarter")
        v = (b->year * 4LL + (b->month - 1) / 3) - (a->year * 4LL + (a->month - 1) / 3);
    else if (part == "month")
        v = (b->year * 12LL + b->month) - (a->year * 12LL + a->month);
    else if (part == "day" || part == "dayofyear" || part == "weekday")
        v = db - da;
    else if (part == "week")
        v = floorDiv(db + 1, 7) - floorDiv(da + 1, 7);
    else if (part == "hour")
        v = (db * 24 + b->hour) - (da * 24 + a->hour);
    else if (part == "minute")
        v = ((db * 24 + b->hour) * 60 + b->minute) - ((da * 24 + a->hour) * 60 + a->minute);
    else if (part == "second")
        v = floorDiv(totalMillis(*b), 1000) - floorDiv(totalMillis(*a), 1000);
    else if (part == "millisecond")
        v = totalMillis(*b) - totalMillis(*a);
    else
        return resultError(ctx, "'" + std::string(part) + "' is not a recognized datediff option.");
    if (v < INT32_MIN || v > INT32_MAX) {
        return resultError(
            ctx,
            "The datediff function resulted in an overflow. The number of dateparts separating two "
            "date/time instances is too large.");
    }
    sqlite3_result_int64(ctx, v);
}

}  // namespace Palvo::sqlite::tsql

#include "src/base/conversions.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "palvo/error.h"

namespace Palvo::base {

namespace {
bool skippable(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Val ignores blanks, tabs and line feeds anywhere: the text without them.
std::string withoutSkipped(std::string_view text) {
    std::string s;
    s.reserve(text.size());
    for (char c : text) {
        if (!skippable(c)) s += c;
    }
    return s;
}

bool hexOrOctal(std::string_view s) {
    return s.size() >= 2 && s[0] == '&' && (s[1] == 'H' || s[1] == 'h' || s[1] == 'O' || s[1] == 'o');
}

// The decimal number that starts s, as Val takes it: a sign, digits with at
// most one point, and an exponent ("D" read as "E") when digits follow it;
// "" when no digit comes before the first character that cannot continue it.
std::string leadingDecimal(std::string_view s) {
    std::size_t i = 0;
    std::string num;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) num += s[i++];
    bool digits = false, dot = false;
    while (i < s.size()) {
        char c = s[i];
        if (c >= '0' && c <= '9') {
            digits = true;
            num += c;
        } else if (c == '.' && !dot) {
            dot = true;
            num += c;
        } else {
            break;
        }
        ++i;
    }
    if (!digits) return {};
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
        std::size_t j = i + 1;
        std::string e = "e";
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) e += s[j++];
        bool expDigits = false;
        while (j < s.size() && s[j] >= '0' && s[j] <= '9') {
            e += s[j++];
            expDigits = true;
        }
        if (expDigits) num += e;
    }
    return num;
}
}  // namespace

double val(std::string_view text) {
    const std::string s = withoutSkipped(text);
    std::size_t i = 0;
    if (hexOrOctal(s)) {
        int base = (s[1] == 'H' || s[1] == 'h') ? 16 : 8;
        std::uint64_t v = 0;
        std::size_t digits = 0;
        for (i = 2; i < s.size(); ++i) {
            char c = s[i];
            int d = -1;
            if (c >= '0' && c <= '7')
                d = c - '0';
            else if (base == 16 && c >= '8' && c <= '9')
                d = c - '0';
            else if (base == 16 && c >= 'a' && c <= 'f')
                d = c - 'a' + 10;
            else if (base == 16 && c >= 'A' && c <= 'F')
                d = c - 'A' + 10;
            if (d < 0) break;
            v = v * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(d);
            ++digits;
            if (digits > 16) break;
        }
        // Short hex and octal literals are 16- or 32-bit signed on the platform: &HFFFF is -1.
        if (v <= 0xFFFF && digits <= 4 && base == 16)
            return static_cast<double>(static_cast<std::int16_t>(v));
        if (v <= 0xFFFFFFFFull)
            return static_cast<double>(static_cast<std::int32_t>(static_cast<std::uint32_t>(v)));
        return static_cast<double>(v);
    }
    const std::string num = leadingDecimal(s);
    if (num.empty()) return 0;
    const double r = std::strtod(num.c_str(), nullptr);
    if (!std::isfinite(r)) throw Error(ErrorNumber::Overflow, "Overflow");
    return r;
}

std::optional<DecimalParts> valDecimal(std::string_view text) {
    const std::string s = withoutSkipped(text);
    if (hexOrOctal(s)) {
        // a whole number of at most 64 bits, which its double holds as val gives it
        char buf[32];
        const auto r = std::to_chars(buf, buf + sizeof buf, val(text), std::chars_format::fixed, 0);
        return decimalParts(std::string_view(buf, static_cast<std::size_t>(r.ptr - buf)), false);
    }
    const std::string num = leadingDecimal(s);
    if (num.empty()) return std::nullopt;
    const bool exponent = num.find('e') != std::string::npos;
    // val raises for a number beyond a double, and reads one below the smallest as 0
    if ((exponent || num.size() > 300) && val(text) == 0) return DecimalParts{};
    return decimalParts(num, exponent);
}

std::string sqlNumber(std::string_view text) {
    const std::string s = withoutSkipped(text);
    const std::string num = hexOrOctal(s) ? std::string() : leadingDecimal(s);
    const auto parts = decimalParts(num, false);
    if (!parts) return formatNumber(val(text));  // nothing read, or an exponent
    const std::string digits = parts->whole + parts->fraction;
    const std::size_t significant = digits.size() - std::min(digits.find_first_not_of('0'), digits.size());
    // A double carries fifteen significant digits; only a longer plain number needs its own digits.
    if (significant <= 15) return formatNumber(val(text));
    return decimalText(*parts);
}

std::string_view trimmedView(std::string_view text) {
    std::size_t b = 0;
    std::size_t e = text.size();
    while (b < e && text[b] == ' ') ++b;
    while (e > b && text[e - 1] == ' ') --e;
    return text.substr(b, e - b);
}

std::string trim(std::string_view text) { return std::string(trimmedView(text)); }

std::string_view trimBlanks(std::string_view text) {
    std::size_t b = 0, e = text.size();
    while (b < e && (text[b] == ' ' || text[b] == '\t')) ++b;
    while (e > b && (text[e - 1] == ' ' || text[e - 1] == '\t')) --e;
    return text.substr(b, e - b);
}

std::string asciiLower(std::string_view text) {
    std::string r(text);
    for (auto& c : r) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return r;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (true) {
        const auto at = text.find(separator, start);
        parts.push_back(
            text.substr(start, at == std::string_view::npos ? std::string_view::npos : at - start));
        if (at == std::string_view::npos) return parts;
        start = at + 1;
    }
}

std::string sqlQuote(std::string_view text) {
    std::string r;
    r.reserve(text.size());
    for (char c : text) {
        r += c;
        if (c == '\'') r += '\'';
    }
    return r;
}

// ---- numbers -------------------------------------------------------------

namespace {
bool isDigit(char c) { return c >= '0' && c <= '9'; }
}  // namespace

std::optional<double> readNumber(std::string_view text) {
    std::string_view s = trimBlanks(text);
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    std::size_t digits = 0;
    bool dot = false;
    for (; i < s.size(); ++i) {
        if (isDigit(s[i])) {
            ++digits;
        } else if (s[i] == '.' && !dot) {
            dot = true;
        } else {
            break;
        }
    }
    if (digits == 0) return std::nullopt;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
        std::size_t expDigits = 0;
        while (i < s.size() && isDigit(s[i])) ++i, ++expDigits;
        if (expDigits == 0) return std::nullopt;
    }
    if (i != s.size()) return std::nullopt;
    std::string copy(s);  // strtod needs a terminated text; the syntax is checked above
    double r = std::strtod(copy.c_str(), nullptr);
    if (!std::isfinite(r)) return std::nullopt;
    return r;
}

bool isNumeric(std::string_view text) { return readNumber(text).has_value(); }

double toNumber(std::string_view text) {
    auto r = readNumber(text);
    if (!r) throw Error(ErrorNumber::TypeMismatch, "Type mismatch");
    return *r;
}

namespace {

// The digits of a whole number plus one ("" counts as 0): "199" gives "200".
std::string incrementDigits(std::string digits) {
    for (auto i = digits.size(); i-- > 0;) {
        if (digits[i] != '9') {
            ++digits[i];
            return digits;
        }
        digits[i] = '0';
    }
    digits.insert(digits.begin(), '1');
    return digits;
}

// The digits of a whole number of at least 1 minus one, leading zeros dropped: "200" gives "199".
std::string decrementDigits(std::string digits) {
    for (auto i = digits.size(); i-- > 0;) {
        if (digits[i] != '0') {
            --digits[i];
            break;
        }
        digits[i] = '9';
    }
    const auto first = digits.find_first_not_of('0');
    return first == std::string::npos ? std::string() : digits.substr(first);
}

// 1 - 0.f for the fraction digits f, which end in a non-zero digit: "25" gives "75", "05" gives "95".
std::string complementFraction(std::string frac) {
    bool borrow = false;
    for (auto i = frac.size(); i-- > 0;) {
        const int d = (frac[i] - '0') + (borrow ? 1 : 0);
        borrow = d != 0;
        frac[i] = static_cast<char>('0' + (borrow ? 10 - d : 0));
    }
    return frac;
}

}  // namespace

std::optional<DecimalParts> decimalParts(std::string_view t, bool exponent) {
    std::size_t i = 0;
    DecimalParts p;
    if (i < t.size() && (t[i] == '-' || t[i] == '+')) p.negative = t[i++] == '-';
    // every digit, and how many of them stand before the point
    std::string digits;
    long pointAt = -1;
    for (; i < t.size(); ++i) {
        if (isDigit(t[i])) {
            digits += t[i];
        } else if (t[i] == '.' && pointAt < 0) {
            pointAt = static_cast<long>(digits.size());
        } else {
            break;
        }
    }
    if (digits.empty()) return std::nullopt;
    if (pointAt < 0) pointAt = static_cast<long>(digits.size());
    if (i < t.size()) {
        if (!exponent || (t[i] != 'e' && t[i] != 'E')) return std::nullopt;
        ++i;
        bool down = false;
        if (i < t.size() && (t[i] == '-' || t[i] == '+')) down = t[i++] == '-';
        if (i == t.size()) return std::nullopt;
        long power = 0;
        for (; i < t.size(); ++i) {
            if (!isDigit(t[i]) || power > 400) return std::nullopt;
            power = power * 10 + (t[i] - '0');
        }
        pointAt += down ? -power : power;
    }
    if (pointAt < 0) {
        digits.insert(0, static_cast<std::size_t>(-pointAt), '0');
        pointAt = 0;
    }
    if (pointAt > static_cast<long>(digits.size()))
        digits.append(static_cast<std::size_t>(pointAt) - digits.size(), '0');
    p.whole = digits.substr(0, static_cast<std::size_t>(pointAt));
    p.fraction = digits.substr(static_cast<std::size_t>(pointAt));
    p.whole.erase(0, std::min(p.whole.find_first_not_of('0'), p.whole.size()));
    p.fraction.erase(p.fraction.find_last_not_of('0') + 1);
    return p;
}

std::string decimalText(const DecimalParts& parts, std::size_t scale) {
    std::string fraction = parts.fraction;
    if (fraction.size() < scale) fraction.append(scale - fraction.size(), '0');
    const bool zero = parts.whole.empty() && parts.fraction.empty();
    std::string out = parts.negative && !zero ? "-" : "";
    out += parts.whole.empty() ? "0" : parts.whole;
    if (!fraction.empty()) out.append(1, '.').append(fraction);
    return out;
}

std::optional<std::string> plusOneExact(std::string_view text) {
    auto p = decimalParts(trimBlanks(text), false);
    if (!p) return std::nullopt;
    DecimalParts next;
    next.fraction = p->fraction;
    if (!p->negative) {
        next.whole = incrementDigits(p->whole);
    } else if (!p->whole.empty()) {
        // -w.f + 1 = -(w - 1).f, which is zero only for -1
        next.whole = decrementDigits(p->whole);
        next.negative = true;
    } else if (!p->fraction.empty()) {
        next.fraction = complementFraction(p->fraction);  // -0.f + 1 = 0.(1 - f)
    } else {
        next.whole = "1";  // -0
    }
    return decimalText(next);
}

std::int16_t toInt16(std::string_view text) { return cint(toNumber(text)); }

std::int16_t cint(double value) {
    const double r = std::nearbyint(value);  // half to even under the default rounding mode
    if (!(r >= -32768.0 && r <= 32767.0)) throw Error(ErrorNumber::Overflow, "Overflow");
    return static_cast<std::int16_t>(r);
}

std::int32_t clng(double value) {
    const double r = std::nearbyint(value);
    if (!(r >= -2147483648.0 && r <= 2147483647.0)) throw Error(ErrorNumber::Overflow, "Overflow");
    return static_cast<std::int32_t>(r);
}

std::string formatFixed(double value, int decimals) {
    if (!std::isfinite(value)) throw Error(ErrorNumber::Overflow, "Overflow");
    if (decimals < 0) decimals = 0;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.14e", std::fabs(value));  // d.dddddddddddddde+XX: 15 significant digits
    std::string digits;
    const char* p = buf;
    for (; *p && *p != 'e'; ++p) {
        if (isDigit(*p)) digits += *p;
    }
    int exp = *p == 'e' ? std::atoi(p + 1) : 0;
    long pointPos = exp + 1;  // digits before the decimal point
    std::string intPart, frac;
    const long n = static_cast<long>(digits.size());
    if (pointPos <= 0) {
        intPart = "0";
        frac = std::string(static_cast<std::size_t>(-pointPos), '0') + digits;
    } else if (pointPos >= n) {
        intPart = digits + std::string(static_cast<std::size_t>(pointPos - n), '0');
    } else {
        intPart = digits.substr(0, static_cast<std::size_t>(pointPos));
        frac = digits.substr(static_cast<std::size_t>(pointPos));
    }
    const auto dec = static_cast<std::size_t>(decimals);
    if (frac.size() < dec + 1) frac.append(dec + 1 - frac.size(), '0');
    bool up = frac[dec] >= '5';
    std::string kept = intPart + frac.substr(0, dec);
    if (up) {
        std::size_t k = kept.size();
        while (k > 0) {
            --k;
            if (kept[k] == '9') {
                kept[k] = '0';
            } else {
                ++kept[k];
                break;
            }
            if (k == 0) kept.insert(kept.begin(), '1');
        }
    }
    std::string whole = kept.substr(0, kept.size() - dec);
    std::size_t nz = whole.find_first_not_of('0');
    whole = nz == std::string::npos ? "0" : whole.substr(nz);
    std::string r = whole;
    if (dec > 0) r += "." + kept.substr(kept.size() - dec);
    bool zero = kept.find_first_not_of('0') == std::string::npos;
    if (value < 0 && !zero) r.insert(r.begin(), '-');
    return r;
}

// ---- dates ---------------------------------------------------------------

// One date parser in the library: DateTime::parse. This module is how the rest reaches it.
std::optional<DateTime> parseDate(std::string_view text) { return DateTime::parse(text); }

bool isDate(std::string_view text) { return parseDate(text).has_value(); }

bool isSqlDateTime(std::string_view text) {
    const std::optional<DateTime> d = parseDate(text);
    if (!d || d->year < 1753) return false;
    // datetime reads at most milliseconds; parseDate cuts longer fractions
    const std::string_view t = trimBlanks(text);
    const std::size_t point = t.find('.');
    if (point != std::string_view::npos && t.size() - point - 1 > 3) return false;
    // .999 rounds up to the next second, past 9999-12-31
    return !(d->year == 9999 && d->month == 12 && d->day == 31 && d->hour == 23 && d->minute == 59 &&
             d->second == 59 && d->millisecond == 999);
}

DateTime toDate(std::string_view text) {
    auto d = parseDate(text);
    if (!d) throw Error(ErrorNumber::TypeMismatch, "Type mismatch");
    return *d;
}

std::int64_t daySerial(const DateTime& d) {
    // Days from civil (Howard Hinnant), shifted from 1970-01-01 to 1899-12-30.
    const std::int64_t y = d.year - (d.month <= 2 ? 1 : 0);
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t mp = d.month + (d.month > 2 ? -3 : 9);
    const std::int64_t doy = (153 * mp + 2) / 5 + d.day - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468 + 25569;
}

double dateSerial(const DateTime& d) {
    double frac = (d.hour * 3600.0 + d.minute * 60.0 + d.second + d.millisecond / 1000.0) / 86400.0;
    return static_cast<double>(daySerial(d)) + frac;
}

DateTime addDays(const DateTime& d, std::int64_t days) {
    // Civil from days (Howard Hinnant).
    static const std::int64_t first = daySerial(DateTime{1, 1, 1, 0, 0, 0, 0});
    static const std::int64_t last = daySerial(DateTime{9999, 12, 31, 0, 0, 0, 0});
    const std::int64_t start = daySerial(d);
    if (days > last - start || days < first - start) {
        throw Error(ErrorNumber::InvalidCall, "Invalid procedure call or argument");
    }
    const std::int64_t z = start + days - 25569 + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    DateTime r = d;
    r.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    r.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    r.year = static_cast<int>(yoe + era * 400 + (r.month <= 2 ? 1 : 0));
    return r;
}

std::string formatDate(const DateTime& d, std::string_view pattern) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    std::string out;
    char buf[16];
    bool afterHour = false;
    std::size_t i = 0;
    while (i < pattern.size()) {
        char c = lower(pattern[i]);
        std::size_t run = 1;
        while (i + run < pattern.size() && lower(pattern[i + run]) == c) ++run;
        auto put = [&](int v, bool twoDigits) {
            if (twoDigits && v >= 0 && v < 10) out += '0';
            auto r = std::to_chars(buf, buf + sizeof buf, v);
            out.append(buf, r.ptr);
        };
        switch (c) {
            case 'y':
                if (run >= 4) {
                    for (int y = d.year < 0 ? 0 : d.year, scale = 1000; scale > 0; scale /= 10) {
                        out += static_cast<char>('0' + (y / scale) % 10);
                    }
                    run = 4;
                } else if (run >= 2) {
                    put(d.year % 100, true);
                    run = 2;
                } else {
                    out += pattern[i];
                }
                afterHour = false;
                break;
            case 'm':
                run = run >= 2 ? 2 : 1;
                put(afterHour ? d.minute : d.month, run == 2);
                afterHour = false;
                break;
            case 'd':
            case 'h':
            case 'n':
            case 's': {
                run = run >= 2 ? 2 : 1;
                int v = c == 'd' ? d.day : c == 'h' ? d.hour : c == 'n' ? d.minute : d.second;
                put(v, run == 2);
                afterHour = c == 'h';
                break;
            }
            default:
                out.append(pattern.substr(i, run));  // literals keep the hour context: "hh:mm"
                break;
        }
        i += run;
    }
    return out;
}

}  // namespace Palvo::base

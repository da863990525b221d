#include "palvo/value.h"

#include <cctype>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <limits>

#include "palvo/error.h"
#include "src/base/conversions.h"

namespace Palvo {

namespace {

bool isLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int daysInMonth(int y, int m) {
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeap(y) ? 29 : days[m - 1];
}

// Reads 1..maxDigits digits; returns false when none are there.
bool readInt(std::string_view s, std::size_t& i, int maxDigits, int& out) {
    std::size_t start = i;
    out = 0;
    while (i < s.size() && i - start < static_cast<std::size_t>(maxDigits) && s[i] >= '0' && s[i] <= '9') {
        out = out * 10 + (s[i] - '0');
        ++i;
    }
    return i > start;
}

}  // namespace

namespace {

// Writes n as `width` digits (year 0..9999, the other fields 0..99 or 0..999).
char* putDigits(char* p, int n, int width) {
    for (int i = width - 1; i >= 0; --i) {
        p[i] = static_cast<char>('0' + n % 10);
        n /= 10;
    }
    return p + width;
}

char* putDate(char* p, const DateTime& d) {
    p = putDigits(p, d.year, 4);
    *p++ = '-';
    p = putDigits(p, d.month, 2);
    *p++ = '-';
    return putDigits(p, d.day, 2);
}

char* putTime(char* p, const DateTime& d) {
    p = putDigits(p, d.hour, 2);
    *p++ = ':';
    p = putDigits(p, d.minute, 2);
    *p++ = ':';
    return putDigits(p, d.second, 2);
}

}  // namespace

namespace base {

std::string_view dateTimeText(const DateTime& d, DateTimeBuffer& buffer) {
    char* p = buffer.data();
    if (d.year == 1899 && d.month == 12 && d.day == 30 && d.hasTime()) {
        p = putTime(p, d);
    } else {
        p = putDate(p, d);
        if (d.hasTime()) {
            *p++ = ' ';
            p = putTime(p, d);
        }
    }
    return {buffer.data(), static_cast<std::size_t>(p - buffer.data())};
}

}  // namespace base

std::string DateTime::toText() const {
    base::DateTimeBuffer buffer;
    return std::string(base::dateTimeText(*this, buffer));
}

std::string DateTime::toIso() const {
    char buf[24];
    char* p = putTime(putDate(buf, *this) + 1, *this);
    buf[10] = ' ';
    *p++ = '.';
    p = putDigits(p, millisecond, 3);
    return std::string(buf, p);
}

bool DateTime::valid() const {
    return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
           day <= daysInMonth(year, month) && hour >= 0 && hour < 24 && minute >= 0 && minute < 60 &&
           second >= 0 && second < 60 && millisecond >= 0 && millisecond < 1000;
}

std::optional<DateTime> DateTime::parse(std::string_view text) {
    const std::string_view v = base::trimBlanks(text);
    DateTime d;
    std::size_t i = 0;
    if (!readInt(v, i, 4, d.year) || i != 4) return std::nullopt;
    if (i >= v.size() || (v[i] != '-' && v[i] != '/')) return std::nullopt;
    char sep = v[i++];
    if (!readInt(v, i, 2, d.month)) return std::nullopt;
    if (i >= v.size() || v[i] != sep) return std::nullopt;
    ++i;
    if (!readInt(v, i, 2, d.day)) return std::nullopt;
    d.hour = d.minute = d.second = d.millisecond = 0;
    if (i < v.size()) {
        if (v[i] != ' ' && v[i] != 'T') return std::nullopt;
        ++i;
        if (!readInt(v, i, 2, d.hour) || i >= v.size() || v[i] != ':') return std::nullopt;
        ++i;
        if (!readInt(v, i, 2, d.minute)) return std::nullopt;
        if (i < v.size() && v[i] == ':') {
            ++i;
            if (!readInt(v, i, 2, d.second)) return std::nullopt;
            if (i < v.size() && v[i] == '.') {
                ++i;
                std::size_t start = i;
                int frac = 0;
                if (!readInt(v, i, 9, frac)) return std::nullopt;
                std::size_t digits = i - start;
                while (digits > 3) {
                    frac /= 10;
                    --digits;
                }
                while (digits < 3) {
                    frac *= 10;
                    ++digits;
                }
                d.millisecond = frac;
            }
        }
        if (i != v.size()) return std::nullopt;
    }
    if (!d.valid()) return std::nullopt;
    return d;
}

DateTime DateTime::now() {
    auto tp = std::chrono::system_clock::now();
    std::time_t t = std::chrono::system_clock::to_time_t(tp);
    std::tm tm{};
    localtime_r(&t, &tm);
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(tp.time_since_epoch()).count() % 1000;
    return DateTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,          tm.tm_hour,
                    tm.tm_min,         tm.tm_sec,     static_cast<int>(ms)};
}

namespace {

// A double that is n / 10^k for a whole n below 10^15 and k at most 8 (prices,
// amounts, quantities) is written from n, far cheaper than the general path,
// with the same result: n is the only k-decimal text that reads back as d, and
// no shorter one was found first.
bool formatShortDecimal(double d, std::string& out) {
    static constexpr double kPowers[] = {1, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8};
    const double mag = std::fabs(d);
    if (!(mag >= 1e-4 && mag < 1e15)) return false;
    for (int k = 0; k < 9; ++k) {
        const double scaled = mag * kPowers[k];
        if (scaled >= 1e15) return false;
        const auto n = static_cast<long long>(std::llround(scaled));
        if (static_cast<double>(n) / kPowers[k] != mag) continue;
        char digits[24];
        const auto r = std::to_chars(digits, digits + sizeof digits, n);
        const auto len = static_cast<int>(r.ptr - digits);
        out.clear();
        if (d < 0) out += '-';
        if (k == 0) {
            out.append(digits, static_cast<std::size_t>(len));
        } else if (len > k) {
            out.append(digits, static_cast<std::size_t>(len - k))
                .append(1, '.')
                .append(digits + len - k, static_cast<std::size_t>(k));
        } else {
            out.append("0.")
                .append(static_cast<std::size_t>(k - len), '0')
                .append(digits, static_cast<std::size_t>(len));
        }
        return true;
    }
    return false;
}

// A decimal's digits as a user reads them, exactly: no trailing zeros after the
// point, no leading zeros or "+", a zero before a bare point (a driver's "-.50"
// reads -0.5), and "0" for every zero.
std::string shortDecimal(std::string_view t) {
    const bool negative = !t.empty() && t[0] == '-';
    if (!t.empty() && (t[0] == '-' || t[0] == '+')) t.remove_prefix(1);
    // one pass over the characters: every decimal a grid shows comes here
    bool point = false;
    bool exponent = false;
    for (char c : t) {
        point = point || c == '.';
        exponent = exponent || c == 'e' || c == 'E';
    }
    if (point && !exponent) {
        while (!t.empty() && t.back() == '0') t.remove_suffix(1);
        if (!t.empty() && t.back() == '.') t.remove_suffix(1);
    }
    while (t.size() > 1 && t[0] == '0' && t[1] != '.') t.remove_prefix(1);
    if (t.empty() || t == "0") return std::string(1, '0');
    std::string out;
    out.reserve(t.size() + 2);
    if (negative) out += '-';
    if (t[0] == '.') out += '0';
    out += t;
    return out;
}

}  // namespace

std::string formatNumber(double d) {
    if (std::isnan(d)) return "NaN";
    if (std::isinf(d)) return d > 0 ? "Infinity" : "-Infinity";
    if (d == 0) return "0";
    if (std::string shortForm; formatShortDecimal(d, shortForm)) return shortForm;
    // Fifteen significant digits, as the host platform shows a double: 0.1 + 0.2 is 0.3.
    // The shortest digits that read back as d are those digits whenever there are at
    // most fifteen of them (a normal double carries more than fifteen), and they come cheaper.
    char buf[40];
    const double mag = std::fabs(d);
    if (mag >= 1e-4 && mag < 1e15) {
        // In this range the platform writes plain digits; the shortest plain form is
        // those digits whenever it has at most fifteen significant ones.
        auto p = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::fixed);
        std::string_view fixed(buf, static_cast<std::size_t>(p.ptr - buf));
        std::size_t significant = 0;
        bool leading = true;
        for (char c : fixed) {
            if (c < '0' || c > '9') continue;
            if (leading && c == '0') continue;
            leading = false;
            ++significant;
        }
        // whole numbers count their trailing zeros as significant here, which only sends more of them the
        // slow way
        if (significant <= 15) return std::string(fixed);
    }
    auto r = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::scientific);
    std::string_view sci(buf, static_cast<std::size_t>(r.ptr - buf));
    std::string digits;
    for (char c : sci.substr(0, sci.find('e'))) {
        if (c >= '0' && c <= '9') digits += c;
    }
    // Subnormal doubles carry fewer digits, so their shortest form says less than fifteen digits do.
    if (digits.size() > 15 || std::fabs(d) < std::numeric_limits<double>::min()) {
        r = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::scientific, 14);
        sci = std::string_view(buf, static_cast<std::size_t>(r.ptr - buf));
        digits.clear();
        for (char c : sci.substr(0, sci.find('e'))) {
            if (c >= '0' && c <= '9') digits += c;
        }
    }
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
    int exp = 0;
    std::from_chars(sci.data() + sci.find('e') + (sci[sci.find('e') + 1] == '+' ? 2 : 1),
                    sci.data() + sci.size(), exp);
    std::string out = d < 0 ? "-" : "";
    const int n = static_cast<int>(digits.size());
    if (exp < -4 || exp >= 15) {
        // "1E+15", "1E-05": at least two exponent digits, as the platform writes them
        out += digits[0];
        if (n > 1) out.append(".").append(digits, 1);
        out += exp < 0 ? "E-" : "E+";
        const int a = exp < 0 ? -exp : exp;
        if (a < 10) out += '0';
        out += std::to_string(a);
    } else if (exp < 0) {
        out.append("0.").append(static_cast<std::size_t>(-exp - 1), '0').append(digits);
    } else if (n <= exp + 1) {
        out.append(digits).append(static_cast<std::size_t>(exp + 1 - n), '0');
    } else {
        out.append(digits, 0, static_cast<std::size_t>(exp + 1))
            .append(".")
            .append(digits, static_cast<std::size_t>(exp + 1));
    }
    return out;
}

std::string Value::toText() const {
    switch (kind()) {
        case Kind::Null:
            return {};
        case Kind::Boolean:
            return std::get<bool>(v_) ? "True" : "False";
        case Kind::Integer:
            return std::to_string(std::get<std::int64_t>(v_));
        case Kind::Double:
            return formatNumber(std::get<double>(v_));
        case Kind::Decimal:
            return shortDecimal(std::get<Palvo::Decimal>(v_).text);
        case Kind::DateTime:
            return std::get<Palvo::DateTime>(v_).toText();
        case Kind::Text:
            return std::get<std::string>(v_);
        case Kind::Bytes: {
            const auto& b = std::get<Palvo::Bytes>(v_).data;
            return std::string(b.begin(), b.end());
        }
    }
    return {};
}

std::string Value::toTextStrict() const {
    if (isNull()) throw Error(ErrorNumber::InvalidUseOfNull, "Invalid use of Null");
    return toText();
}

double Value::toDouble() const {
    switch (kind()) {
        case Kind::Null:
            throw Error(ErrorNumber::InvalidUseOfNull, "Invalid use of Null");
        case Kind::Boolean:
            return std::get<bool>(v_) ? -1.0 : 0.0;
        case Kind::Integer:
            return static_cast<double>(std::get<std::int64_t>(v_));
        case Kind::Double:
            return std::get<double>(v_);
        case Kind::DateTime:
            return base::dateSerial(std::get<Palvo::DateTime>(v_));
        case Kind::Decimal:
        case Kind::Text: {
            return base::toNumber(kind() == Kind::Text ? std::get<std::string>(v_)
                                                       : std::get<Palvo::Decimal>(v_).text);
        }
        case Kind::Bytes:
            break;
    }
    throw Error(ErrorNumber::TypeMismatch, "Type mismatch");
}

std::int64_t Value::toInt64() const {
    if (auto* i = integer()) return *i;
    if (auto* dec = decimal()) {
        // A whole decimal (a bigint identity comes back as numeric(38,0)) is read
        // on its digits: a double would round it beyond 2^53.
        const std::string& t = dec->text;
        const char* end = t.data() + t.size();
        std::int64_t n = 0;
        const auto r = std::from_chars(t.data(), end, n);
        const char* rest = r.ptr;
        if (rest != end && *rest == '.') {
            ++rest;
            while (rest != end && *rest == '0') ++rest;
        }
        if (r.ptr != t.data() && rest == end) {
            if (r.ec == std::errc::result_out_of_range) throw Error(ErrorNumber::Overflow, "Overflow");
            if (r.ec == std::errc()) return n;
        }
    }
    double d = toDouble();
    double r = std::nearbyint(d);  // round half to even under the default rounding mode
    if (r > 9.2e18 || r < -9.2e18) throw Error(ErrorNumber::Overflow, "Overflow");
    return static_cast<std::int64_t>(r);
}

bool Value::toBool() const {
    if (auto* b = boolean()) return *b;
    if (auto* t = text()) {
        const std::string s = base::asciiLower(base::trimBlanks(*t));
        if (s == "true") return true;
        if (s == "false") return false;
    }
    return toDouble() != 0;
}

}  // namespace Palvo

// Exact decimals as 128-bit integers with a scale: what the checks of stored
// values, the exact sums and decimal arithmetic compute with. A value of up to
// 38 digits fits, and so does the product of two of up to 19 digits each.
#pragma once

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

namespace Palvo::sqlite {

__extension__ using i128 = __int128;
__extension__ using u128 = unsigned __int128;

constexpr int kMaxDigits = 38;  // decimal(38, s) is SQL Server's widest

inline constexpr i128 pow10(int n) {
    i128 r = 1;
    while (n-- > 0) r *= 10;
    return r;
}

constexpr i128 kLimit = pow10(kMaxDigits);

// An exact decimal: m / 10^scale, |m| below 10^38.
struct Dec {
    i128 m = 0;
    int scale = 0;
};

inline i128 magnitude(i128 v) { return v < 0 ? -v : v; }

inline int digitCount(i128 v) {
    v = magnitude(v);
    int n = 0;
    while (v > 0) {
        v /= 10;
        ++n;
    }
    return n;
}

// Plain decimal text, with an optional exponent ("12.50", "-1e-05", "2E+20").
inline std::optional<Dec> parseDec(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    std::size_t i = 0;
    bool neg = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) neg = s[i++] == '-';
    i128 m = 0;
    int digits = 0, frac = 0;
    bool any = false, point = false;
    for (; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '.' && !point) {
            point = true;
            continue;
        }
        if (c < '0' || c > '9') break;
        any = true;
        if (m == 0 && c == '0') {
            if (point) ++frac;
            continue;
        }
        if (++digits > kMaxDigits) return std::nullopt;
        m = m * 10 + (c - '0');
        if (point) ++frac;
    }
    if (!any) return std::nullopt;
    int exp = 0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        bool eneg = false;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) eneg = s[i++] == '-';
        if (i == s.size()) return std::nullopt;
        for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
            exp = exp * 10 + (s[i] - '0');
            if (exp > 400) return std::nullopt;
        }
        if (eneg) exp = -exp;
    }
    if (i != s.size()) return std::nullopt;
    int scale = frac - exp;
    if (m == 0) return Dec{};
    if (scale < 0) {
        if (digits - scale > kMaxDigits) return std::nullopt;
        m *= pow10(-scale);
        scale = 0;
    }
    return Dec{neg ? -m : m, scale};
}

// 10^n as a double: exact up to 10^22.
inline constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                    1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The shortest decimal that reads back as this double: the value a user wrote.
inline std::optional<Dec> decOfDouble(double d) {
    if (!std::isfinite(d)) return std::nullopt;
    // The fewest decimals m / 10^k that read back as d, while m has at most 15
    // digits: two decimals of 15 digits never read as one double, so this is the
    // shortest text's value. m / 10^k is one correctly rounded division of exact doubles.
    const double a = std::fabs(d);
    for (int k = 0; k <= 15 && a < 1e15; ++k) {
        const double scaled = a * kPow10[k];
        if (scaled >= 1e15) break;
        const double m = std::nearbyint(scaled);
        if (m / kPow10[k] == a) {
            const auto whole = static_cast<long long>(m);
            return Dec{d < 0 ? -whole : whole, k};
        }
    }
    char buf[32];
    auto r = std::to_chars(buf, buf + sizeof buf, d);
    return parseDec(std::string_view(buf, static_cast<std::size_t>(r.ptr - buf)));
}

// To `scale` digits, rounding half away from zero as SQL Server does; nullopt when too wide.
inline std::optional<Dec> rescale(Dec x, int scale) {
    if (x.scale == scale) return x;
    if (x.scale < scale) {
        const int k = scale - x.scale;
        if (digitCount(x.m) + k > kMaxDigits) return std::nullopt;
        return Dec{x.m * pow10(k), scale};
    }
    const int k = x.scale - scale;
    if (k > kMaxDigits) return Dec{0, scale};
    const i128 p = pow10(k);
    i128 q = magnitude(x.m) / p;
    if (magnitude(x.m) % p * 2 >= p) ++q;
    return Dec{x.m < 0 ? -q : q, scale};
}

inline std::string decText(const Dec& x) {
    std::string digits;
    for (i128 v = magnitude(x.m); v > 0; v /= 10)
        digits.insert(digits.begin(), static_cast<char>('0' + v % 10));
    if (digits.size() <= static_cast<std::size_t>(x.scale)) {
        digits.insert(0, static_cast<std::size_t>(x.scale) + 1 - digits.size(), '0');
    }
    if (x.scale > 0) digits.insert(digits.size() - static_cast<std::size_t>(x.scale), ".");
    return x.m < 0 ? "-" + digits : digits;
}

// The double nearest to x: below 2^53 both m and 10^scale are exact doubles,
// and their quotient is rounded once.
inline double doubleOfDec(const Dec& x) {
    if (x.scale <= 22 && magnitude(x.m) < (static_cast<i128>(1) << 53))
        return static_cast<double>(static_cast<long long>(x.m)) / kPow10[x.scale];
    return std::strtod(decText(x).c_str(), nullptr);
}

// |a| / |b| cut to `scale` decimals, a and b of scales sa and sb; false when the
// quotient has more than 38 digits.
inline bool quotient(i128 a, int sa, i128 b, int sb, int scale, i128& q) {
    u128 ua = static_cast<u128>(magnitude(a)), ub = static_cast<u128>(magnitude(b));
    while (ub % 10 == 0) {  // 100 is 1 of scale -2: keeps the remainders below 10^37
        ub /= 10;
        --sb;
    }
    const int k = scale + sb - sa;  // the quotient is (ua / ub) * 10^k
    constexpr u128 limit = static_cast<u128>(kLimit);
    if (ub > limit / 10) return false;
    u128 r = 0, out = 0;
    if (k >= 0) {
        out = ua / ub;
        r = ua % ub;
        for (int n = 0; n < k; ++n) {
            if (out >= limit / 10) return false;
            r *= 10;
            out = out * 10 + r / ub;
            r %= ub;
        }
    } else {
        out = ua / ub;
        for (int n = 0; n < -k && out > 0; ++n) out /= 10;
    }
    if (out >= limit) return false;
    q = (a < 0) != (b < 0) ? -static_cast<i128>(out) : static_cast<i128>(out);
    return true;
}

}  // namespace Palvo::sqlite

// Exact decimals as 128-bit integers with a scale: what the checks of stored
// values, the exact sums and decimal arithmetic compute with. A value of up to
// 38 digits fits, and so does the product of two of up to 19 digits each.
#pragma once

#include <charconv>
#include <cmath>
#include <cstdint>
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

// A magnitude of up to 256 bits in 64-bit limbs, lowest first: the exact sum of
// two 38-digit decimals aligned to the larger scale, or their exact product, on
// the way to a result that fits 38 digits again.
struct Wide {
    std::uint64_t limb[4] = {};
};

inline Wide wideOf(u128 v) {
    Wide w;
    w.limb[0] = static_cast<std::uint64_t>(v);
    w.limb[1] = static_cast<std::uint64_t>(v >> 64);
    return w;
}

// w * m; false when the product needs more than 256 bits.
inline bool wideTimes(Wide& w, std::uint64_t m) {
    u128 carry = 0;
    for (auto& l : w.limb) {
        const u128 p = static_cast<u128>(l) * m + carry;
        l = static_cast<std::uint64_t>(p);
        carry = p >> 64;
    }
    return carry == 0;
}

inline bool wideTimesPow10(Wide& w, int k) {
    for (; k > 0; k -= 19) {
        if (!wideTimes(w, static_cast<std::uint64_t>(pow10(k < 19 ? k : 19)))) return false;
    }
    return true;
}

// w / d, returning the remainder.
inline std::uint64_t wideDivide(Wide& w, std::uint64_t d) {
    u128 r = 0;
    for (int i = 3; i >= 0; --i) {
        const u128 cur = (r << 64) | w.limb[i];
        w.limb[i] = static_cast<std::uint64_t>(cur / d);
        r = cur % d;
    }
    return static_cast<std::uint64_t>(r);
}

inline Wide wideProduct(u128 a, u128 b) {
    // a * b = a * low + (a * high) << 64, each part within 192 bits
    Wide w = wideOf(a), high = wideOf(a);
    wideTimes(high, static_cast<std::uint64_t>(b >> 64));
    wideTimes(w, static_cast<std::uint64_t>(b));
    u128 carry = 0;  // w += high << 64
    for (int i = 1; i < 4; ++i) {
        const u128 s = static_cast<u128>(w.limb[i]) + high.limb[i - 1] + carry;
        w.limb[i] = static_cast<std::uint64_t>(s);
        carry = s >> 64;
    }
    return w;
}

inline int wideCompare(const Wide& a, const Wide& b) {
    for (int i = 3; i >= 0; --i) {
        if (a.limb[i] != b.limb[i]) return a.limb[i] < b.limb[i] ? -1 : 1;
    }
    return 0;
}

// a + b, or a - b when a >= b.
inline void wideAdd(Wide& a, const Wide& b, bool subtract) {
    u128 carry = 0;
    for (int i = 0; i < 4; ++i) {
        if (subtract) {
            const u128 take = static_cast<u128>(b.limb[i]) + carry;
            carry = static_cast<u128>(a.limb[i]) < take ? 1 : 0;
            a.limb[i] = static_cast<std::uint64_t>(a.limb[i] - take);
        } else {
            const u128 sum = static_cast<u128>(a.limb[i]) + b.limb[i] + carry;
            a.limb[i] = static_cast<std::uint64_t>(sum);
            carry = sum >> 64;
        }
    }
}

// The decimal of magnitude w / 10^from and that sign at `to` decimals, rounded
// half away from zero; nullopt when it has more than 38 digits.
inline std::optional<Dec> wideToDec(Wide w, int from, int to, bool negative) {
    if (to >= from) {
        if (!wideTimesPow10(w, to - from)) return std::nullopt;
    } else {
        int k = from - to;
        if (k > 77) return Dec{0, to};  // beyond any 256-bit magnitude: nothing is left
        // all but the last digit cut off, 19 at a time; half away from zero needs that digit only
        while (k > 1) {
            const int n = k - 1 < 19 ? k - 1 : 19;
            wideDivide(w, static_cast<std::uint64_t>(pow10(n)));
            k -= n;
        }
        if (wideDivide(w, 10) >= 5) wideAdd(w, wideOf(1), false);
    }
    if (w.limb[2] != 0 || w.limb[3] != 0) return std::nullopt;
    const u128 m = static_cast<u128>(w.limb[1]) << 64 | w.limb[0];
    if (m >= static_cast<u128>(kLimit)) return std::nullopt;
    return Dec{negative ? -static_cast<i128>(m) : static_cast<i128>(m), to};
}

// a + b (b negated for a - b) exactly, at `scale` decimals; nullopt when the
// result has more than 38 digits.
inline std::optional<Dec> wideSum(const Dec& a, Dec b, bool subtract, int scale) {
    if (subtract) b.m = -b.m;
    const int common = a.scale > b.scale ? a.scale : b.scale;
    Wide x = wideOf(static_cast<u128>(magnitude(a.m))), y = wideOf(static_cast<u128>(magnitude(b.m)));
    if (!wideTimesPow10(x, common - a.scale) || !wideTimesPow10(y, common - b.scale)) return std::nullopt;
    bool negative = a.m < 0;
    if ((a.m < 0) == (b.m < 0)) {
        wideAdd(x, y, false);
    } else if (wideCompare(x, y) >= 0) {
        wideAdd(x, y, true);
    } else {
        wideAdd(y, x, true);
        x = y;
        negative = b.m < 0;
    }
    return wideToDec(x, common, scale, negative);
}

// a * b exactly, at `scale` decimals; nullopt when the result has more than 38 digits.
inline std::optional<Dec> wideMultiply(const Dec& a, const Dec& b, int scale) {
    const Wide p = wideProduct(static_cast<u128>(magnitude(a.m)), static_cast<u128>(magnitude(b.m)));
    return wideToDec(p, a.scale + b.scale, scale, (a.m < 0) != (b.m < 0));
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

// Numbers: rounding, the math functions, ISNUMERIC and the conversions that try.
// The translator passes the type SQL Server gives the argument ("d10,2",
// "m", "i", "b", "f", "" when the statement does not tell it): a decimal or
// money rounds exactly on the digits it holds and fails when the result does
// not fit its type; a float computes with doubles; an untyped value computes
// as it comes (an integer as bigint, anything else as float).
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <random>
#include <string>

#include "palvo/convert.h"
#include "tsql_decimal.h"
#include "tsql_functions.h"
#include "tsql_support.h"

namespace Palvo::sqlite {

namespace tsql {
// The user data that makes fnConvert give Null where it would fail on the value (tsql_convert.cpp).
void* tryConvertMarker();
}  // namespace tsql

namespace {

using namespace tsql;

const char* const kInvalidFloat = "An invalid floating point operation occurred.";

std::string overflow(const std::string& type) {
    return "Arithmetic overflow error converting expression to data type " + type + ".";
}

// The type code the translator wrote.
struct NumberType {
    char kind = 0;  // 'i' (also 't', 's'), 'b', 'd', 'm', 'f'; 0 untyped
    int precision = 0;
    int scale = 0;
};

NumberType typeOf(sqlite3_value* v) {
    const std::string_view t = textOf(v);
    NumberType n;
    if (t.empty()) return n;
    n.kind = t[0] == 't' || t[0] == 's' ? 'i' : t[0];
    if (n.kind == 'd') {
        n.precision = std::atoi(std::string(t.substr(1)).c_str());
        const auto comma = t.find(',');
        n.scale = comma == std::string_view::npos ? 0 : std::atoi(std::string(t.substr(comma + 1)).c_str());
    } else if (n.kind == 'm') {
        n.precision = 19;
        n.scale = 4;
    }
    return n;
}

// A value as a float, as SQL Server converts text for a float function; false with the error given.
bool realOf(sqlite3_context* ctx, sqlite3_value* v, double& d) {
    switch (sqlite3_value_type(v)) {
        case SQLITE_INTEGER:
        case SQLITE_FLOAT:
            d = sqlite3_value_double(v);
            return true;
        default: {
            auto r = base::readNumber(textOf(v));
            if (!r || !std::isfinite(*r)) {
                resultError(ctx, "Error converting data type varchar to float.");
                return false;
            }
            d = *r;
            return true;
        }
    }
}

// A float result: Infinity and NaN are SQL Server's errors.
void resultReal(sqlite3_context* ctx, double d) {
    if (std::isnan(d)) return resultError(ctx, kInvalidFloat);
    if (std::isinf(d)) return resultError(ctx, overflow("float"));
    sqlite3_result_double(ctx, d);
}

// A decimal or money value at the type's scale; nullopt (the error given) when the value is none.
std::optional<Dec> decimalOf(sqlite3_context* ctx, sqlite3_value* v, const NumberType& t) {
    std::optional<Dec> x;
    switch (sqlite3_value_type(v)) {
        case SQLITE_INTEGER:
            x = Dec{sqlite3_value_int64(v), 0};
            break;
        case SQLITE_FLOAT:
            x = decOfDouble(sqlite3_value_double(v));
            break;
        default:
            x = parseDec(textOf(v));
            if (!x) {
                resultError(ctx, "Error converting data type varchar to numeric.");
                return std::nullopt;
            }
    }
    if (x) x = rescale(*x, t.scale);
    if (!x) resultError(ctx, overflow(t.kind == 'm' ? "money" : "numeric"));
    return x;
}

// A decimal or money result, failing where its type's precision ends; it leaves
// the call as SQLite's number (an integer at scale 0, else the nearest double).
void resultDecimal(sqlite3_context* ctx, const Dec& r, const NumberType& t) {
    constexpr i128 kMoneyLimit = static_cast<i128>(INT64_MAX);  // in ten-thousandths
    if (t.kind == 'm' ? magnitude(r.m) > kMoneyLimit : digitCount(r.m) > t.precision)
        return resultError(ctx, overflow(t.kind == 'm' ? "money" : "numeric"));
    if (r.scale == 0) {
        if (r.m < INT64_MIN || r.m > INT64_MAX) {
            return resultError(ctx, "Not supported by the embedded database: the number " + decText(r) +
                                        " (a whole number beyond bigint, which it would hold as a double).");
        }
        return sqlite3_result_int64(ctx, static_cast<std::int64_t>(r.m));
    }
    sqlite3_result_double(ctx, doubleOfDec(r));
}

// A whole result of an int ('i') or bigint type.
void resultWhole(sqlite3_context* ctx, i128 v, const NumberType& t) {
    const bool isInt = t.kind == 'i';
    if (isInt ? (v < INT32_MIN || v > INT32_MAX) : (v < INT64_MIN || v > INT64_MAX))
        return resultError(ctx, overflow(isInt ? "int" : "bigint"));
    sqlite3_result_int64(ctx, static_cast<std::int64_t>(v));
}

// x to `length` decimals (negative: to tens, hundreds, ...), half away from zero or cut; the scale stays.
Dec roundTo(const Dec& x, long length, bool cut) {
    if (length >= x.scale) return x;
    const long k = x.scale - length;
    if (k > kMaxDigits) return Dec{0, x.scale};
    const i128 p = pow10(static_cast<int>(k));
    const i128 a = magnitude(x.m);
    i128 q = a / p;
    const i128 rest = a % p;
    if (!cut && rest >= p - rest) ++q;
    return Dec{x.m < 0 ? -(q * p) : q * p, x.scale};
}

// A double rounded as the decimal it was written as.
double roundReal(double d, long length, bool cut) {
    if (auto x = decOfDouble(d)) return doubleOfDec(roundTo(*x, length, cut));
    // beyond 38 digits: there are no decimals to round, only whole digits
    if (length >= 0) return d;
    const double p = std::pow(10.0, static_cast<double>(-length));
    const double q = d / p;
    return (cut ? std::trunc(q) : std::round(q)) * p;
}

// tsql_round(x, length, function, type): ROUND(x, length[, function]), cutting when function is not 0.
void fnRound(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (anyNull(3, argv)) return sqlite3_result_null(ctx);
    const long length = static_cast<long>(sqlite3_value_int64(argv[1]));
    const bool cut = sqlite3_value_int64(argv[2]) != 0;
    const NumberType t = typeOf(argv[3]);
    sqlite3_value* v = argv[0];
    if (t.kind == 'd' || t.kind == 'm') {
        if (auto x = decimalOf(ctx, v, t)) resultDecimal(ctx, roundTo(*x, length, cut), t);
        return;
    }
    if ((t.kind == 'i' || t.kind == 'b' || t.kind == 0) && sqlite3_value_type(v) == SQLITE_INTEGER) {
        const Dec r = roundTo(Dec{sqlite3_value_int64(v), 0}, length, cut);
        return resultWhole(ctx, r.m, t.kind == 'i' ? t : NumberType{'b'});
    }
    double d = 0;
    if (realOf(ctx, v, d)) resultReal(ctx, roundReal(d, length, cut));
}

// tsql_ceiling(x, type), tsql_floor(x, type): the whole number above or below; a
// decimal(p,s) gives decimal(p,0), money money.
void ceilingOrFloor(sqlite3_context* ctx, sqlite3_value** argv, bool up) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    const NumberType t = typeOf(argv[1]);
    sqlite3_value* v = argv[0];
    if (t.kind == 'd' || t.kind == 'm') {
        auto x = decimalOf(ctx, v, t);
        if (!x) return;
        const i128 p = pow10(x->scale);
        i128 q = x->m / p;
        const i128 rest = x->m % p;
        if (up && rest > 0) ++q;
        if (!up && rest < 0) --q;
        if (t.kind == 'm') return resultDecimal(ctx, Dec{q * p, 4}, t);
        return resultDecimal(ctx, Dec{q, 0}, NumberType{'d', t.precision, 0});
    }
    if (sqlite3_value_type(v) == SQLITE_INTEGER) return sqlite3_result_value(ctx, v);
    double d = 0;
    if (realOf(ctx, v, d)) resultReal(ctx, up ? std::ceil(d) : std::floor(d));
}

void fnCeiling(sqlite3_context* ctx, int, sqlite3_value** argv) { ceilingOrFloor(ctx, argv, true); }
void fnFloor(sqlite3_context* ctx, int, sqlite3_value** argv) { ceilingOrFloor(ctx, argv, false); }

// tsql_sign(x, type): -1, 0 or 1 in x's type (int for the whole types, float for the others).
void fnSign(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    const NumberType t = typeOf(argv[1]);
    sqlite3_value* v = argv[0];
    if (t.kind == 'd' || t.kind == 'm') {
        auto x = decimalOf(ctx, v, t);
        if (!x) return;
        const i128 one = pow10(x->scale);
        return resultDecimal(ctx,
                             Dec{x->m > 0   ? one
                                 : x->m < 0 ? -one
                                            : 0,
                                 x->scale},
                             NumberType{t.kind, kMaxDigits, t.scale});
    }
    if (sqlite3_value_type(v) == SQLITE_INTEGER) {
        const std::int64_t i = sqlite3_value_int64(v);
        return sqlite3_result_int64(ctx, i > 0 ? 1 : i < 0 ? -1 : 0);
    }
    double d = 0;
    if (realOf(ctx, v, d)) sqlite3_result_double(ctx, d > 0 ? 1.0 : d < 0 ? -1.0 : 0.0);
}

// tsql_power(x, y, type): x to the power y in x's type (a decimal(p,s) gives
// decimal(38,s)): exact for a whole exponent while the digits last, else through
// a float, converted to the type as SQL Server converts it (to whole types cut,
// to decimals rounded).
void fnPower(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (anyNull(2, argv)) return sqlite3_result_null(ctx);
    NumberType t = typeOf(argv[2]);
    sqlite3_value* v = argv[0];
    if (t.kind == 'd') t.precision = kMaxDigits;
    double y = 0;
    if (!realOf(ctx, argv[1], y)) return;
    const bool whole = y >= 0 && y <= 1000 && std::trunc(y) == y;
    if ((t.kind == 'd' || t.kind == 'm') && sqlite3_value_type(v) != SQLITE_TEXT) {
        auto x = decimalOf(ctx, v, t);
        if (!x) return;
        std::optional<Dec> r = Dec{pow10(x->scale), x->scale};
        for (int n = 0; whole && r && n < static_cast<int>(y); ++n)
            r = wideMultiply(*r, *x, r->scale + x->scale);
        if (whole && r) return resultDecimal(ctx, *rescale(*r, t.scale), t);
    }
    if ((t.kind == 'i' || t.kind == 'b' || t.kind == 0) && sqlite3_value_type(v) == SQLITE_INTEGER && whole) {
        const NumberType as = t.kind == 'i' ? t : NumberType{'b'};
        i128 r = 1;
        const i128 x = sqlite3_value_int64(v);
        for (int n = 0; n < static_cast<int>(y); ++n) {
            r *= x;
            if (r > INT64_MAX || r < INT64_MIN) return resultWhole(ctx, r, as);
        }
        return resultWhole(ctx, r, as);
    }
    double x = 0;
    if (!realOf(ctx, v, x)) return;
    const double r = std::pow(x, y);
    if (std::isnan(r) || (x == 0 && y < 0)) return resultError(ctx, kInvalidFloat);
    if (t.kind == 'i' || t.kind == 'b' || (t.kind == 0 && sqlite3_value_type(v) == SQLITE_INTEGER)) {
        const NumberType as = t.kind == 'i' ? t : NumberType{'b'};
        if (!(std::fabs(r) < 9.3e18)) return resultError(ctx, overflow(as.kind == 'i' ? "int" : "bigint"));
        return resultWhole(ctx, static_cast<i128>(std::trunc(r)), as);
    }
    if (t.kind == 'd' || t.kind == 'm') {
        auto d = decOfDouble(r);
        auto rounded = d ? rescale(*d, t.scale) : std::nullopt;
        if (!rounded || digitCount(rounded->m) > t.precision) {
            return resultError(ctx, std::string("Arithmetic overflow error converting float to data type ") +
                                        (t.kind == 'm' ? "money." : "numeric."));
        }
        return resultDecimal(ctx, *rounded, t);
    }
    resultReal(ctx, r);
}

bool any(double) { return true; }
bool notNegative(double d) { return d >= 0; }
bool positive(double d) { return d > 0; }
double sqrtOf(double d) { return std::sqrt(d); }
double expOf(double d) { return std::exp(d); }
double log10Of(double d) { return std::log10(d); }
double squareOf(double d) { return d * d; }

// The float functions: a value outside the function's domain, or a result beyond a
// float's range, is SQL Server's error 3623 (SQUARE, a multiplication, overflows as one).
template <double (*F)(double), bool (*InDomain)(double)>
void floatFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    double d = 0;
    if (!realOf(ctx, argv[0], d)) return;
    if (!InDomain(d)) return resultError(ctx, kInvalidFloat);
    const double r = F(d);
    if (!std::isfinite(r) && F != squareOf) return resultError(ctx, kInvalidFloat);
    resultReal(ctx, r);
}

// tsql_log(x[, base]): the natural logarithm, or to the base given.
void fnLog(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
    double x = 0, base = 0;
    if (!realOf(ctx, argv[0], x)) return;
    if (argc == 2 && !realOf(ctx, argv[1], base)) return;
    if (x <= 0 || (argc == 2 && (base <= 0 || base == 1))) return resultError(ctx, kInvalidFloat);
    resultReal(ctx, argc == 2 ? std::log(x) / std::log(base) : std::log(x));
}

// The connection's random numbers: RAND(seed) starts the sequence anew, and the
// calls without a seed that follow continue it. L'Ecuyer's combined generator,
// two multiplicative congruential generators computed by Schrage's method.
struct RandomState {
    std::int64_t a = 0, b = 0;
    bool seeded = false;

    // neighbouring seeds start far apart: each state is a mix of the seed's bits (SplitMix64's)
    void seed(std::int64_t s) {
        auto mix = [](std::uint64_t z) {
            z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
            z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
            return z ^ (z >> 31);
        };
        const std::uint64_t z = mix(static_cast<std::uint64_t>(s) + 0x9e3779b97f4a7c15ULL);
        a = 1 + static_cast<std::int64_t>((z >> 32) % 2147483562);
        b = 1 + static_cast<std::int64_t>((z & 0xffffffffULL) % 2147483398);
        seeded = true;
    }
    static std::int64_t step(std::int64_t x, std::int64_t mul, std::int64_t mod) {
        const std::int64_t q = mod / mul, r = mod % mul;
        x = mul * (x % q) - r * (x / q);
        return x < 0 ? x + mod : x;
    }
    double next() {
        if (!seeded) seed(static_cast<std::int64_t>(std::random_device{}() & 0x7fffffff));
        a = step(a, 40014, 2147483563);
        b = step(b, 40692, 2147483399);
        std::int64_t z = a - b;
        if (z < 1) z += 2147483562;
        return static_cast<double>(z) / 2147483563.0;
    }
};

// tsql_rand([seed])
void fnRand(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    auto* state = static_cast<RandomState*>(sqlite3_user_data(ctx));
    if (argc == 1 && sqlite3_value_type(argv[0]) != SQLITE_NULL) state->seed(sqlite3_value_int64(argv[0]));
    sqlite3_result_double(ctx, state->next());
}

bool digit(char c) { return c >= '0' && c <= '9'; }

// Text that converts to money: blanks around, a sign and a currency symbol ($, or
// the backslash that stands for the yen in some code pages) in either order,
// then digits with commas anywhere and one point; the digits may be none at all
// ('$', '.', '-', ',' convert to 0).
bool convertsToMoney(std::string_view s) {
    std::size_t i = 0;
    bool sign = false, currency = false;
    for (; i < s.size(); ++i) {
        if ((s[i] == '+' || s[i] == '-') && !sign) {
            sign = true;
        } else if ((s[i] == '$' || s[i] == '\\') && !currency) {
            currency = true;
        } else {
            break;
        }
    }
    bool point = false;
    for (; i < s.size(); ++i) {
        if (s[i] == '.' && !point) {
            point = true;
        } else if (!digit(s[i]) && !(s[i] == ',' && !point)) {
            return false;
        }
    }
    return true;
}

// Text that converts to float: a sign, digits with one point, then maybe an
// exponent (e or d, as SQL Server also reads it) with a sign and digits.
bool convertsToFloat(std::string_view s) {
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    bool digits = false, point = false;
    for (; i < s.size() && (digit(s[i]) || (s[i] == '.' && !point)); ++i) {
        if (s[i] == '.') point = true;
        digits = digits || digit(s[i]);
    }
    if (!digits) return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
        if (i == s.size()) return false;
        while (i < s.size() && digit(s[i])) ++i;
    }
    return i == s.size();
}

// tsql_isnumeric(x): 1 when x converts to one of the number types.
void fnIsnumeric(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const int type = sqlite3_value_type(argv[0]);
    if (type == SQLITE_INTEGER || type == SQLITE_FLOAT) return sqlite3_result_int(ctx, 1);
    if (type != SQLITE_TEXT) return sqlite3_result_int(ctx, 0);
    std::string_view s = textOf(argv[0]);
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\n' || s.front() == '\r'))
        s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    sqlite3_result_int(ctx, !s.empty() && (convertsToMoney(s) || convertsToFloat(s)));
}

}  // namespace

int registerMathFunctions(sqlite3* db) {
    const int flags = SQLITE_UTF8 | SQLITE_INNOCUOUS | SQLITE_DETERMINISTIC;
    struct Registration {
        const char* name;
        int args;
        Fn fn;
    };
    const Registration functions[] = {
        {"tsql_round", 4, fnRound},
        {"tsql_ceiling", 2, fnCeiling},
        {"tsql_floor", 2, fnFloor},
        {"tsql_sign", 2, fnSign},
        {"tsql_power", 3, fnPower},
        {"tsql_sqrt", 1, floatFunction<sqrtOf, notNegative>},
        {"tsql_exp", 1, floatFunction<expOf, any>},
        {"tsql_log10", 1, floatFunction<log10Of, positive>},
        {"tsql_square", 1, floatFunction<squareOf, any>},
        {"tsql_log", 1, fnLog},
        {"tsql_log", 2, fnLog},
        {"tsql_isnumeric", 1, fnIsnumeric},
        // CONVERT to text told the type of a decimal or money it shows
        {"tsql_convert", 4, fnConvert},
    };
    for (const auto& r : functions) {
        if (int rc = sqlite3_create_function_v2(db, r.name, r.args, flags, nullptr, r.fn, nullptr, nullptr,
                                                nullptr);
            rc != SQLITE_OK)
            return rc;
    }
    for (int args : {3, 4}) {
        if (int rc = sqlite3_create_function_v2(db, "tsql_try_convert", args, flags, tryConvertMarker(),
                                                fnConvert, nullptr, nullptr, nullptr);
            rc != SQLITE_OK)
            return rc;
    }
    // one sequence for both forms; the second registration owns it
    auto* state = new RandomState;
    if (int rc = sqlite3_create_function_v2(db, "tsql_rand", 0, SQLITE_UTF8 | SQLITE_INNOCUOUS, state, fnRand,
                                            nullptr, nullptr, nullptr);
        rc != SQLITE_OK) {
        delete state;
        return rc;
    }
    // on failure SQLite itself calls the destructor
    if (int rc = sqlite3_create_function_v2(db, "tsql_rand", 1, SQLITE_UTF8 | SQLITE_INNOCUOUS, state, fnRand,
                                            nullptr, nullptr,
                                            [](void* p) { delete static_cast<RandomState*>(p); });
        rc != SQLITE_OK)
        return rc;
    return SQLITE_OK;
}

}  // namespace Palvo::sqlite

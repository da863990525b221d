// Values on their way into a column, checked and converted as SQL Server
// converts them to the declared type, and sum/avg that add decimals exactly.
// Compiled into the adapter and, with PALVO_TSQL_EXTENSION, into the extension.
#ifdef PALVO_TSQL_EXTENSION
#include <sqlite3ext.h>
SQLITE_EXTENSION_INIT3
#else
#include <sqlite3.h>
#endif

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "tsql_decimal.h"
#include "tsql_functions.h"

namespace Palvo::sqlite {

namespace {

std::string_view textOf(sqlite3_value* v) {
    const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
    return p ? std::string_view(p, static_cast<std::size_t>(sqlite3_value_bytes(v))) : std::string_view();
}

void resultError(sqlite3_context* ctx, const std::string& msg) {
    sqlite3_result_error(ctx, msg.c_str(), static_cast<int>(msg.size()));
}

// ---------------------------------------------------------------- whole numbers

struct IntRange {
    std::string_view name;
    std::int64_t lo, hi;
};
constexpr IntRange kIntRanges[] = {
    {"tinyint", 0, 255},
    {"smallint", -32768, 32767},
    {"int", INT32_MIN, INT32_MAX},
    {"bigint", INT64_MIN, INT64_MAX},
};

// tsql_check_int(value, 'int'): the value as the integer type stores it.
void fnCheckInt(sqlite3_context* ctx, int, sqlite3_value** argv) {
    sqlite3_value* v = argv[0];
    const std::string_view type = textOf(argv[1]);
    const IntRange* range = &kIntRanges[2];
    for (const auto& r : kIntRanges) {
        if (r.name == type) range = &r;
    }
    const std::string overflow =
        "Arithmetic overflow error converting expression to data type " + std::string(type) + ".";
    std::int64_t n = 0;
    switch (sqlite3_value_type(v)) {
        case SQLITE_NULL:
        case SQLITE_BLOB:
            return sqlite3_result_value(ctx, v);
        case SQLITE_INTEGER:
            n = sqlite3_value_int64(v);
            break;
        case SQLITE_FLOAT: {
            // numbers with a fraction lose it, as a conversion to int does
            const double d = std::trunc(sqlite3_value_double(v));
            // -2^63 itself is refused: a double there may stand for a number just below it
            if (!(d > -9223372036854775808.0 && d < 9223372036854775808.0)) return resultError(ctx, overflow);
            n = static_cast<std::int64_t>(d);
            break;
        }
        default: {
            std::string_view t = textOf(v);
            while (!t.empty() && (t.front() == ' ' || t.front() == '\t')) t.remove_prefix(1);
            while (!t.empty() && (t.back() == ' ' || t.back() == '\t')) t.remove_suffix(1);
            auto x = t.empty() ? std::optional<Dec>(Dec{}) : parseDec(t);
            if (!x || x->scale != 0 || t.find_first_of(".eE") != std::string_view::npos) {
                return resultError(ctx, "Conversion failed when converting the varchar value '" +
                                            std::string(textOf(v)) + "' to data type " + std::string(type) +
                                            ".");
            }
            if (x->m < INT64_MIN || x->m > INT64_MAX) return resultError(ctx, overflow);
            n = static_cast<std::int64_t>(x->m);
        }
    }
    if (n < range->lo || n > range->hi) {
        // SQL Server names the value when a whole number does not fit the small types
        if (range->hi <= 32767 && n >= INT32_MIN && n <= INT32_MAX) {
            return resultError(ctx, "Arithmetic overflow error for data type " + std::string(type) +
                                        ", value = " + std::to_string(n) + ".");
        }
        return resultError(ctx, overflow);
    }
    sqlite3_result_int64(ctx, n);
}

// ---------------------------------------------------------------- decimals

const char* const kNumericOverflow = "Arithmetic overflow error converting numeric to data type numeric.";

// tsql_check_decimal(value, precision, 0, 1): a whole number of up to 38 digits
// as the canonical decimal text a column of type "decimal text(p,0)" keeps
// (its TEXT affinity has made text of any number already).
void checkWholeText(sqlite3_context* ctx, sqlite3_value* v, int precision) {
    std::optional<Dec> x;
    switch (sqlite3_value_type(v)) {
        case SQLITE_INTEGER:
            x = Dec{sqlite3_value_int64(v), 0};
            break;
        case SQLITE_FLOAT:
            x = decOfDouble(sqlite3_value_double(v));
            if (!x) return resultError(ctx, kNumericOverflow);
            break;
        default:
            x = parseDec(textOf(v));
            if (!x) return resultError(ctx, "Error converting data type varchar to numeric.");
    }
    x = rescale(*x, 0);
    if (!x || digitCount(x->m) > precision) return resultError(ctx, kNumericOverflow);
    const std::string text = decText(*x);
    sqlite3_result_text(ctx, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

// tsql_check_decimal(value, precision, scale): the value rounded to the scale.
// A decimal with a fraction is stored as a double only when the double reads
// back as exactly that decimal and lies below 2^53 (beyond it the column's
// affinity may already have rounded a whole number); one of scale 0 as an integer.
// Anything else is refused.
void fnCheckDecimal(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    sqlite3_value* v = argv[0];
    const int precision = sqlite3_value_int(argv[1]);
    const int scale = sqlite3_value_int(argv[2]);
    const int t = sqlite3_value_type(v);
    if (t == SQLITE_NULL || t == SQLITE_BLOB) return sqlite3_result_value(ctx, v);
    if (argc == 4 && scale == 0) return checkWholeText(ctx, v, precision);
    std::optional<Dec> x;
    switch (t) {
        case SQLITE_INTEGER:
            x = Dec{sqlite3_value_int64(v), 0};
            break;
        case SQLITE_FLOAT: {
            const double d = sqlite3_value_double(v);
            // A whole number beyond bigint reaches a column of scale 0 as the double its
            // affinity made of it, which may no longer be the number written (38 nines
            // become 1e38): refused without naming another number, unless even a
            // rounded-up number of the precision's digits cannot be this large.
            if (scale == 0 && std::fabs(d) >= 9223372036854775808.0 &&
                std::log10(std::fabs(d)) < precision + 1) {
                return resultError(ctx,
                                   "The embedded database cannot keep a whole number beyond bigint exactly.");
            }
            x = decOfDouble(d);
            if (!x) return resultError(ctx, kNumericOverflow);
            break;
        }
        default:
            x = parseDec(textOf(v));
            if (!x) return resultError(ctx, "Error converting data type varchar to numeric.");
    }
    x = rescale(*x, scale);
    if (!x || digitCount(x->m) > precision) return resultError(ctx, kNumericOverflow);
    const std::string text = decText(*x);
    const std::string cannotKeep = "The embedded database cannot keep the number " + text +
                                   " exactly (more than 15 significant digits).";
    if (scale == 0) {
        if (x->m < INT64_MIN || x->m > INT64_MAX) return resultError(ctx, cannotKeep);
        return sqlite3_result_int64(ctx, static_cast<std::int64_t>(x->m));
    }
    const double d = std::strtod(text.c_str(), nullptr);
    char buf[400];
    auto fixed = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::fixed, scale);
    auto back = decOfDouble(d);
    auto widened = back ? rescale(*back, scale) : std::nullopt;
    if (!(std::fabs(d) < 9007199254740992.0) || fixed.ec != std::errc() ||
        std::string_view(buf, static_cast<std::size_t>(fixed.ptr - buf)) != text || !back ||
        back->scale > scale || !widened || widened->m != x->m) {
        return resultError(ctx, cannotKeep);
    }
    sqlite3_result_double(ctx, d);
}

// ---------------------------------------------------------------- numbers kept as text

// A number written as text, for comparing: its sign, its whole digits without
// leading zeros and its decimals without trailing zeros; nullopt for other text.
struct NumberText {
    bool negative = false;
    std::string_view whole, decimals;
};

std::optional<NumberText> splitNumber(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    NumberText n;
    if (!s.empty() && (s[0] == '-' || s[0] == '+')) {
        n.negative = s[0] == '-';
        s.remove_prefix(1);
    }
    const auto point = s.find('.');
    n.whole = s.substr(0, point);
    n.decimals = point == std::string_view::npos ? std::string_view() : s.substr(point + 1);
    const auto digits = [](std::string_view d) { return d.find_first_not_of("0123456789") == d.npos; };
    if (n.whole.size() + n.decimals.size() == 0 || !digits(n.whole) || !digits(n.decimals))
        return std::nullopt;
    while (!n.whole.empty() && n.whole.front() == '0') n.whole.remove_prefix(1);
    while (!n.decimals.empty() && n.decimals.back() == '0') n.decimals.remove_suffix(1);
    if (n.whole.empty() && n.decimals.empty()) n.negative = false;  // -0 is 0
    return n;
}

// The collation numtext of a whole-number column held as text (decimal(38,0)):
// numbers in their order, whatever their length; other text after them, byte by byte.
int compareNumberText(void*, int na, const void* a, int nb, const void* b) {
    const std::string_view x(static_cast<const char*>(a), static_cast<std::size_t>(na));
    const std::string_view y(static_cast<const char*>(b), static_cast<std::size_t>(nb));
    const auto nx = splitNumber(x), ny = splitNumber(y);
    if (!nx || !ny) {
        if (nx || ny) return nx ? -1 : 1;
        return x.compare(y);
    }
    if (nx->negative != ny->negative) return nx->negative ? -1 : 1;
    int c = nx->whole.size() == ny->whole.size() ? nx->whole.compare(ny->whole)
                                                 : (nx->whole.size() < ny->whole.size() ? -1 : 1);
    if (c == 0) c = nx->decimals.compare(ny->decimals);
    c = c < 0 ? -1 : c > 0 ? 1 : 0;
    return nx->negative ? -c : c;
}

// A value compared as a number: its exact decimal, or nullopt for a double no 38
// digits hold (1e300), which then compares as a double.
bool comparedValue(sqlite3_context* ctx, sqlite3_value* v, std::optional<Dec>& x, double& d) {
    switch (sqlite3_value_type(v)) {
        case SQLITE_INTEGER:
            x = Dec{sqlite3_value_int64(v), 0};
            d = static_cast<double>(sqlite3_value_int64(v));
            return true;
        case SQLITE_FLOAT:
            d = sqlite3_value_double(v);
            x = decOfDouble(d);
            return true;
        default:
            x = parseDec(textOf(v));
            if (!x) {
                resultError(ctx, "Error converting data type varchar to numeric.");
                return false;
            }
            d = doubleOfDec(*x);
            return true;
    }
}

// tsql_compare(a, b): -1, 0 or 1 as the numbers compare exactly; Null beside Null.
// What a comparison with a whole number held as its digits is rendered to.
void fnCompare(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL)
        return sqlite3_result_null(ctx);
    std::optional<Dec> a, b;
    double da = 0, db = 0;
    if (!comparedValue(ctx, argv[0], a, da) || !comparedValue(ctx, argv[1], b, db)) return;
    if (!a || !b) return sqlite3_result_int(ctx, da < db ? -1 : da > db ? 1 : 0);
    if ((a->m < 0) != (b->m < 0)) return sqlite3_result_int(ctx, a->m < 0 ? -1 : 1);
    // the magnitudes at one scale: up to 38 digits and 38 zeros fit 256 bits
    const int scale = std::max(a->scale, b->scale);
    Wide x = wideOf(static_cast<u128>(magnitude(a->m))), y = wideOf(static_cast<u128>(magnitude(b->m)));
    wideTimesPow10(x, scale - a->scale);
    wideTimesPow10(y, scale - b->scale);
    const int c = wideCompare(x, y);
    sqlite3_result_int(ctx, a->m < 0 ? -c : c);
}

// ---------------------------------------------------------------- text lengths

// Characters as SQL Server counts them: UTF-16 units for the n types; bytes of
// the Chinese code page (GBK: one per ASCII character, two per other) otherwise.
std::size_t storedLength(std::string_view s, bool wide) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if ((c & 0xC0) == 0x80) continue;
        n += c < 0x80 ? 1 : (wide ? (c >= 0xF0 ? 2 : 1) : 2);
    }
    return n;
}

// tsql_check_text(value, length, wide): refuses a text longer than the column;
// blanks beyond the length are dropped silently, as SQL Server drops them.
void fnCheckText(sqlite3_context* ctx, int, sqlite3_value** argv) {
    sqlite3_value* v = argv[0];
    if (sqlite3_value_type(v) != SQLITE_TEXT) return sqlite3_result_value(ctx, v);
    const auto limit = static_cast<std::size_t>(sqlite3_value_int64(argv[1]));
    const bool wide = sqlite3_value_int(argv[2]) != 0;
    std::string_view t = textOf(v);
    if (t.size() <= limit || storedLength(t, wide) <= limit) return sqlite3_result_value(ctx, v);
    while (!t.empty() && t.back() == ' ' && storedLength(t, wide) > limit) t.remove_suffix(1);
    if (storedLength(t, wide) > limit) return resultError(ctx, "String or binary data would be truncated.");
    sqlite3_result_text(ctx, t.data(), static_cast<int>(t.size()), SQLITE_TRANSIENT);
}

// ---------------------------------------------------------------- sum and avg

// Whole numbers add as integers; other numbers as the decimals they were written
// as, so a million amounts of 0.01 make 10000 exactly. A value no decimal of 38
// digits holds (1e-300, 1e300) turns the whole sum into a floating one.
struct ExactSum {
    Dec total;
    double floating = 0;
    std::int64_t count = 0;
    bool anyFraction = false;  // a non-integer value came: the result is a double
    bool inexact = false;
    bool overflowed = false;  // the exact total passed 38 digits
    int typedScale =
        0;  // 1 + the scale of a sum the statement types decimal(38, scale); 0: the values decide
    bool intTyped = false;  // of an int the statement types: the sum must fit int
    bool forReader =
        false;  // the statement's own result column: every digit, as text where a double loses some
};

void accumulate(ExactSum& s, sqlite3_value* v, int sign) {
    const int t = sqlite3_value_type(v);
    if (t == SQLITE_NULL) return;
    s.count += sign;
    std::optional<Dec> x;
    if (t == SQLITE_INTEGER) {
        const std::int64_t n = sqlite3_value_int64(v);
        s.floating += sign * static_cast<double>(n);
        x = Dec{n, 0};
    } else if (t == SQLITE_TEXT && (x = parseDec(textOf(v)))) {
        // a whole number beyond bigint is kept as its digits (a decimal(38,0) column)
        s.floating += sign * doubleOfDec(*x);
        s.anyFraction = s.anyFraction || x->scale > 0;
    } else {
        const double d = sqlite3_value_double(v);
        s.floating += sign * d;
        s.anyFraction = true;
        x = decOfDouble(d);
    }
    if (s.inexact) return;
    if (!x || x->scale > kMaxDigits) {
        s.inexact = true;
        return;
    }
    const int scale = std::max(s.total.scale, x->scale);
    auto a = rescale(s.total, scale), b = rescale(*x, scale);
    i128 r = 0;
    if (!a || !b || __builtin_add_overflow(a->m, sign * b->m, &r) || r >= kLimit || r <= -kLimit) {
        s.inexact = true;
        s.overflowed = a && b;
        return;
    }
    s.total = Dec{r, scale};
}

// SQLite's aggregate memory is zeroed (a valid empty sum) but aligned to 8 bytes
// only, while the 128-bit total needs 16: the state sits at the first aligned
// address of a block one alignment larger. `create` false finds it without
// making one.
ExactSum* sumState(sqlite3_context* ctx, bool create) {
    constexpr std::uintptr_t align = alignof(ExactSum);
    void* block = sqlite3_aggregate_context(ctx, create ? static_cast<int>(sizeof(ExactSum) + align) : 0);
    if (!block) return nullptr;
    const std::uintptr_t at = (reinterpret_cast<std::uintptr_t>(block) + align - 1) & ~(align - 1);
    return reinterpret_cast<ExactSum*>(at);
}

void sumStep(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    auto* s = sumState(ctx, true);
    if (!s) return;
    // tsql_sum(x, scale) of a typed decimal, tsql_sum(x, 'int') of an int
    if (argc > 1 && sqlite3_value_type(argv[1]) == SQLITE_TEXT)
        s->intTyped = true;
    else if (argc > 1)
        s->typedScale = 1 + std::clamp(sqlite3_value_int(argv[1]), 0, kMaxDigits);
    s->forReader = argc > 2;
    accumulate(*s, argv[0], 1);
}

void sumInverse(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (auto* s = sumState(ctx, true)) accumulate(*s, argv[0], -1);
}

// A typed sum or average: the exact decimal at the statement's scale, an
// average cut to it as SQL Server divides; false when it has more than 38 digits.
bool typedResult(sqlite3_context* ctx, const ExactSum& s, bool average) {
    const int scale = s.typedScale - 1;
    std::optional<Dec> r;
    if (average) {
        i128 q = 0;
        if (quotient(s.total.m, s.total.scale, s.count, 0, scale, q)) r = Dec{q, scale};
    } else {
        r = rescale(s.total, scale);
    }
    if (!r || digitCount(r->m) > kMaxDigits) return false;
    if (r->scale == 0 && r->m >= INT64_MIN && r->m <= INT64_MAX) {
        sqlite3_result_int64(ctx, static_cast<std::int64_t>(r->m));
        return true;
    }
    const double d = doubleOfDec(*r);
    const auto back = decOfDouble(d);
    const auto kept = back ? rescale(*back, r->scale) : std::nullopt;
    if (!kept || kept->m != r->m) {
        // a decimal the double does not hold: its digits as text for the reader, else refused
        if (s.forReader) {
            const std::string t = decText(*r);
            sqlite3_result_text(ctx, t.data(), static_cast<int>(t.size()), SQLITE_TRANSIENT);
            return true;
        }
        if (r->scale == 0) {
            resultError(ctx, "Not supported by the embedded database: the number " + decText(*r) +
                                 " (a whole number beyond bigint, which it would hold as a double).");
            return true;
        }
    }
    sqlite3_result_double(ctx, d);
    return true;
}

const char* const kDecimalOverflow = "Arithmetic overflow error converting expression to data type numeric.";

double toDouble(const ExactSum& s) { return s.inexact ? s.floating : doubleOfDec(s.total); }

const char* const kFloatOverflow = "Arithmetic overflow error converting expression to data type float.";

void sumValue(sqlite3_context* ctx) {
    auto* s = sumState(ctx, false);
    if (!s || s->count == 0) return sqlite3_result_null(ctx);
    // a typed sum past 38 digits overflows its decimal(38, s) rather than become a double
    if (s->typedScale > 0 && s->overflowed) return resultError(ctx, kDecimalOverflow);
    if (s->typedScale > 0 && !s->inexact) {
        if (!typedResult(ctx, *s, false)) resultError(ctx, kDecimalOverflow);
        return;
    }
    if (s->anyFraction || s->inexact) {
        const double d = toDouble(*s);
        if (!std::isfinite(d)) return resultError(ctx, kFloatOverflow);
        return sqlite3_result_double(ctx, d);
    }
    if (s->intTyped && (s->total.m < INT32_MIN || s->total.m > INT32_MAX))
        return resultError(ctx, "Arithmetic overflow error converting expression to data type int.");
    if (s->total.m < INT64_MIN || s->total.m > INT64_MAX) {
        return resultError(ctx, "Arithmetic overflow error converting expression to data type bigint.");
    }
    sqlite3_result_int64(ctx, static_cast<std::int64_t>(s->total.m));
}

// The average of whole numbers is a whole number, cut toward zero, as SQL
// Server's avg of an integer column is.
void avgValue(sqlite3_context* ctx) {
    auto* s = sumState(ctx, false);
    if (!s || s->count == 0) return sqlite3_result_null(ctx);
    if (s->typedScale > 0 && s->overflowed) return resultError(ctx, kDecimalOverflow);
    if (s->typedScale > 0 && !s->inexact) {
        if (!typedResult(ctx, *s, true)) resultError(ctx, kDecimalOverflow);
        return;
    }
    if (s->anyFraction || s->inexact) {
        const double d = toDouble(*s) / static_cast<double>(s->count);
        if (!std::isfinite(d)) return resultError(ctx, kFloatOverflow);
        return sqlite3_result_double(ctx, d);
    }
    sqlite3_result_int64(ctx, static_cast<std::int64_t>(s->total.m / s->count));
}

using Fn = void (*)(sqlite3_context*, int, sqlite3_value**);

}  // namespace

double roundDecimal(double d, int scale) {
    auto x = decOfDouble(d);
    if (!x) return d;
    auto r = rescale(*x, scale);
    return r ? std::strtod(decText(*r).c_str(), nullptr) : d;
}

int registerStoredValueFunctions(sqlite3* db) {
    const int flags = SQLITE_UTF8 | SQLITE_INNOCUOUS | SQLITE_DETERMINISTIC;
    const struct {
        const char* name;
        int args;
        Fn fn;
    } scalars[] = {
        {"tsql_check_int", 2, fnCheckInt},         {"tsql_check_decimal", 3, fnCheckDecimal},
        {"tsql_check_decimal", 4, fnCheckDecimal}, {"tsql_compare", 2, fnCompare},
        {"tsql_check_text", 3, fnCheckText},
    };
    for (const auto& f : scalars) {
        int rc =
            sqlite3_create_function_v2(db, f.name, f.args, flags, nullptr, f.fn, nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK) return rc;
    }
    if (int rc = sqlite3_create_collation_v2(db, "numtext", SQLITE_UTF8, nullptr, compareNumberText, nullptr);
        rc != SQLITE_OK)
        return rc;
    for (auto [name, value] :
         {std::pair<const char*, void (*)(sqlite3_context*)>{"tsql_sum", sumValue}, {"tsql_avg", avgValue}}) {
        // tsql_sum(x, scale): of a decimal the statement types, exact at that scale
        // tsql_sum(x, scale, '!'): the statement's own result column (as tsql_arith's '!')
        for (int args : {1, 2, 3}) {
            int rc = sqlite3_create_window_function(db, name, args, flags, nullptr, sumStep, value, value,
                                                    sumInverse, nullptr);
            if (rc != SQLITE_OK) return rc;
        }
    }
    return SQLITE_OK;
}

}  // namespace Palvo::sqlite

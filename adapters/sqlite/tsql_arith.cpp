// Arithmetic as SQL Server does it: '+' concatenates text, adds numbers or adds
// days to a stored date; a division or modulo by zero, and a result its type
// cannot hold, fail the statement instead of giving NULL, a double or Infinity.
// The translator renders a chain of one precedence (a + b - c) as one call,
// tsql_arith(a, b, c, '+-'), evaluated left to right, so that long chains do not
// nest; an 'i' before an operator marks a step on two int values, whose result
// must fit int, as SQL Server's int arithmetic must ('t' two tinyint values, 's'
// smallint ones, with their ranges). A 'd<p>,<s>' before an
// operator marks a step whose result SQL Server types decimal(p,s), and an 'm'
// one typed money: such a step computes exactly on the decimals its operands
// were written as, rounds (or, dividing, cuts) to the scale and fails when the
// result does not fit the type.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "palvo/convert.h"
#include "tsql_decimal.h"
#include "tsql_support.h"

namespace Palvo::sqlite::tsql {

namespace {

const char* const kDivideByZero = "Divide by zero error encountered.";

std::string overflow(const char* type) {
    return std::string("Arithmetic overflow error converting expression to data type ") + type + ".";
}

const char* operatorName(char op) {
    switch (op) {
        case '+':
            return "add";
        case '-':
            return "subtract";
        case '*':
            return "multiply";
        case '/':
            return "divide";
        default:
            return "modulo";
    }
}

// The value between the steps of a chain: a number, text (binary reads as text), or Null.
struct Operand {
    int type = SQLITE_NULL;
    std::int64_t i = 0;
    double d = 0;
    std::string text;
    bool exact = false;  // the result of a decimal step: `dec` is its value
    Dec dec;

    static Operand of(sqlite3_value* v) {
        Operand o;
        o.type = sqlite3_value_type(v);
        if (o.type == SQLITE_INTEGER) {
            o.i = sqlite3_value_int64(v);
        } else if (o.type == SQLITE_FLOAT) {
            o.d = sqlite3_value_double(v);
        } else if (o.type != SQLITE_NULL) {
            o.type = SQLITE_TEXT;
            o.text = textOf(v);
        }
        return o;
    }
    bool number() const { return type == SQLITE_INTEGER || type == SQLITE_FLOAT; }
    double real() const { return type == SQLITE_INTEGER ? static_cast<double>(i) : d; }
};

// Text meeting a number takes the number's type, as SQL Server converts it; false with the message when it
// cannot.
bool textToNumber(Operand& t, const Operand& number, std::string& error) {
    if (number.type == SQLITE_INTEGER) {
        auto w = parseWhole(t.text);
        if (!w) {
            error = "Conversion failed when converting the varchar value '" + t.text + "' to data type int.";
            return false;
        }
        t.type = SQLITE_INTEGER;
        t.i = *w;
        return true;
    }
    auto r = base::readNumber(t.text);
    if (!r || !std::isfinite(*r)) {
        error = "Error converting data type varchar to float.";
        return false;
    }
    t.type = SQLITE_FLOAT;
    t.d = *r;
    return true;
}

// a op b on two whole numbers, within the type the translator marked: 'i' int,
// 't' tinyint, 's' smallint, otherwise bigint.
bool wholeStep(std::int64_t a, char op, std::int64_t b, char typed, std::int64_t& r, std::string& error) {
    bool over = false;
    switch (op) {
        case '+':
            over = __builtin_add_overflow(a, b, &r);
            break;
        case '-':
            over = __builtin_sub_overflow(a, b, &r);
            break;
        case '*':
            over = __builtin_mul_overflow(a, b, &r);
            break;
        case '/':
            if (b == 0) {
                error = kDivideByZero;
                return false;
            }
            over = a == INT64_MIN && b == -1;
            if (!over) r = a / b;
            break;
        default:
            if (b == 0) {
                error = kDivideByZero;
                return false;
            }
            r = b == -1 ? 0 : a % b;
    }
    if (!over && typed == 't' && (r < 0 || r > 255)) {
        error = "Arithmetic overflow error for data type tinyint, value = " + std::to_string(r) + ".";
        return false;
    }
    if (!over && typed == 's' && (r < INT16_MIN || r > INT16_MAX)) {
        error = "Arithmetic overflow error for data type smallint, value = " + std::to_string(r) + ".";
        return false;
    }
    const bool intTyped = typed == 'i';
    if (over || (intTyped && (r < INT32_MIN || r > INT32_MAX))) {
        error = overflow(intTyped ? "int" : "bigint");
        return false;
    }
    return true;
}

bool realStep(double a, char op, double b, double& r, std::string& error) {
    if ((op == '/' || op == '%') && b == 0) {
        error = kDivideByZero;
        return false;
    }
    r = op == '+' ? a + b : op == '-' ? a - b : op == '*' ? a * b : op == '/' ? a / b : std::fmod(a, b);
    if (!std::isfinite(r)) {
        error = overflow("float");
        return false;
    }
    return true;
}

// What SQL Server types a step's result, as the translator marked it.
struct StepType {
    char kind = 0;  // 0 as the values come, 'i' int, 't' tinyint, 's' smallint, 'd' decimal(p,s), 'm' money
    int precision = 0, scale = 0;
};

const char* const kMoneyOverflow = "Arithmetic overflow error converting expression to data type money.";
const char* const kNumericOverflow = "Arithmetic overflow error converting expression to data type numeric.";

// An operand as the exact decimal it holds: the decimal a double was written as.
bool exactOf(const Operand& o, Dec& out, std::string& error) {
    if (o.exact) {
        out = o.dec;
        return true;
    }
    std::optional<Dec> d;
    if (o.type == SQLITE_INTEGER) {
        d = Dec{o.i, 0};
    } else if (o.type == SQLITE_FLOAT) {
        d = decOfDouble(o.d);
        if (!d) error = kNumericOverflow;
    } else {
        d = parseDec(o.text);
        if (!d) error = "Error converting data type varchar to numeric.";
    }
    if (d) out = *d;
    return d.has_value();
}

// Both to the larger scale; false when one no longer fits 38 digits.
bool align(Dec& a, Dec& b) {
    const int scale = std::max(a.scale, b.scale);
    auto ra = rescale(a, scale), rb = rescale(b, scale);
    if (!ra || !rb) return false;
    a = *ra;
    b = *rb;
    return true;
}

// acc = acc op x exactly, as a result of type t (decimal or money).
bool decimalStep(Operand& acc, char op, const StepType& t, const Operand& x, std::string& error) {
    Dec a, b;
    if (!exactOf(acc, a, error) || !exactOf(x, b, error)) return false;
    const char* overflowMessage = t.kind == 'm' ? kMoneyOverflow : kNumericOverflow;
    std::optional<Dec> r;
    bool fits = true;
    if ((op == '/' || op == '%') && b.m == 0) {
        error = kDivideByZero;
        return false;
    }
    switch (op) {
        case '+':
        case '-': {
            Dec left = a, right = b;
            i128 m = 0;
            if (align(left, right) && !(op == '+' ? __builtin_add_overflow(left.m, right.m, &m)
                                                  : __builtin_sub_overflow(left.m, right.m, &m))) {
                r = rescale(Dec{m, left.scale}, t.scale);
            } else {
                // aligned to the larger scale the operands need more than 38 digits, the result may not
                r = wideSum(a, b, op == '-', t.scale);
            }
            break;
        }
        case '*': {
            i128 m = 0;
            if (__builtin_mul_overflow(a.m, b.m, &m)) {
                // the product of the operands' digits needs more than 128 bits; cut to the scale it may fit
                r = wideMultiply(a, b, t.scale);
            } else if (a.scale + b.scale > kMaxDigits) {
                // more than 38 decimals are cut to 38 first: the result's scale never needs them
                Dec wide{m, a.scale + b.scale};
                const i128 p = pow10(wide.scale - kMaxDigits);
                r = Dec{wide.m / p, kMaxDigits};
                r = rescale(*r, t.scale);
            } else {
                r = rescale(Dec{m, a.scale + b.scale}, t.scale);
            }
            break;
        }
        case '/': {
            // SQL Server cuts a quotient to its scale
            i128 q = 0;
            fits = quotient(a.m, a.scale, b.m, b.scale, t.scale, q);
            if (fits) r = Dec{q, t.scale};
            break;
        }
        default: {
            fits = align(a, b);
            if (fits) r = rescale(Dec{a.m % b.m, a.scale}, t.scale);
        }
    }
    if (!fits || !r || digitCount(r->m) > t.precision ||
        (t.kind == 'm' && magnitude(r->m) > static_cast<i128>(INT64_MAX))) {
        error = overflowMessage;
        return false;
    }
    acc.exact = true;
    acc.dec = *r;
    if (r->scale == 0 && r->m >= INT64_MIN && r->m <= INT64_MAX) {
        acc.type = SQLITE_INTEGER;
        acc.i = static_cast<std::int64_t>(r->m);
    } else {
        acc.type = SQLITE_FLOAT;
        acc.d = doubleOfDec(*r);
    }
    return true;
}

// Texts joined below this size need no look at the memory bound.
constexpr std::size_t kSmallText = 1 << 16;

// acc = acc op x. False with the message when SQL Server would raise an error;
// with none when the result already holds SQLite's error.
bool step(sqlite3_context* ctx, Operand& acc, char op, const StepType& t, Operand x, std::string& error) {
    if (acc.type == SQLITE_NULL || x.type == SQLITE_NULL) {
        acc = Operand{};
        return true;
    }
    if (t.kind == 'd' || t.kind == 'm') return decimalStep(acc, op, t, x, error);
    acc.exact = false;
    if (acc.type == SQLITE_TEXT && x.type == SQLITE_TEXT) {
        if (op != '+') {
            error =
                std::string("Operand data type varchar is invalid for ") + operatorName(op) + " operator.";
            return false;
        }
        const std::size_t joined = acc.text.size() + x.text.size();
        if (joined > kSmallText && !roomForText(ctx, joined)) return false;
        acc.text += x.text;
        return true;
    }
    if (acc.type == SQLITE_TEXT || x.type == SQLITE_TEXT) {
        Operand& text = acc.type == SQLITE_TEXT ? acc : x;
        const Operand& num = acc.type == SQLITE_TEXT ? x : acc;
        if (auto date = readStored(text.text)) {
            // a stored date plus or minus days; days minus a date is not a date
            if (op != '+' && !(op == '-' && acc.type == SQLITE_TEXT)) {
                error = std::string("Operand data type datetime is invalid for ") + operatorName(op) +
                        " operator.";
                return false;
            }
            const double days = (op == '-' ? -1 : 1) * num.real();
            // far beyond the range of dates, and within 64 bits
            auto sum = std::fabs(days) < 1e9
                           ? fromMillis(totalMillis(*date) + std::llround(days * 86400000.0))
                           : std::nullopt;
            if (!sum) {
                error = overflow("datetime");
                return false;
            }
            acc.type = SQLITE_TEXT;
            acc.text = sum->toIso();
            return true;
        }
        if (!textToNumber(text, num, error)) return false;
    }
    if (acc.type == SQLITE_INTEGER && x.type == SQLITE_INTEGER)
        return wholeStep(acc.i, op, x.i, t.kind, acc.i, error);
    double r = 0;
    if (!realStep(acc.real(), op, x.real(), r, error)) return false;
    acc.type = SQLITE_FLOAT;
    acc.d = r;
    return true;
}

void result(sqlite3_context* ctx, const Operand& r) {
    switch (r.type) {
        case SQLITE_INTEGER:
            return sqlite3_result_int64(ctx, r.i);
        case SQLITE_FLOAT:
            return sqlite3_result_double(ctx, r.d);
        case SQLITE_TEXT:
            return resultText(ctx, r.text);
        default:
            return sqlite3_result_null(ctx);
    }
}

// The steps of an operator text, parsed once per statement (SQLite keeps them
// with the constant argument).
struct Step {
    StepType type;
    char op = 0;
};
using Steps = std::vector<Step>;

std::optional<Steps> parseSteps(std::string_view ops) {
    Steps steps;
    for (std::size_t p = 0; p < ops.size(); ++p) {
        Step s;
        if (ops[p] == 'i' || ops[p] == 'm' || ops[p] == 't' || ops[p] == 's') {
            s.type.kind = ops[p++];
        } else if (ops[p] == 'd') {
            // d<precision>,<scale>
            s.type.kind = 'd';
            const char* end = ops.data() + ops.size();
            auto r1 = std::from_chars(ops.data() + p + 1, end, s.type.precision);
            auto r2 = r1.ec == std::errc() && r1.ptr < end && *r1.ptr == ','
                          ? std::from_chars(r1.ptr + 1, end, s.type.scale)
                          : std::from_chars_result{end, std::errc::invalid_argument};
            if (r2.ec != std::errc() || s.type.precision < 1 || s.type.precision > kMaxDigits ||
                s.type.scale < 0 || s.type.scale > s.type.precision)
                return std::nullopt;
            p = static_cast<std::size_t>(r2.ptr - ops.data());
        }
        if (s.type.kind == 'm') {
            s.type.precision = 19;
            s.type.scale = 4;
        }
        if (p >= ops.size() || std::string_view("+-*/%").find(ops[p]) == std::string_view::npos)
            return std::nullopt;
        s.op = ops[p];
        steps.push_back(s);
    }
    return steps;
}

}  // namespace

// tsql_arith(a, b, ..., 'ops'): a op1 b op2 c ..., left to right.
void fnArith(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (argc < 2) return resultError(ctx, "tsql_arith wants its operands and then its operators.");
    const int operands = argc - 1;
    // '!' last: the statement's own result column, which only the reader sees
    const bool forReader = textOf(argv[operands]).ends_with('!');
    const auto* steps = static_cast<const Steps*>(sqlite3_get_auxdata(ctx, operands));
    if (!steps) {
        std::string_view ops = textOf(argv[operands]);
        if (forReader) ops.remove_suffix(1);
        auto parsed = parseSteps(ops);
        if (!parsed || static_cast<int>(parsed->size()) != operands - 1)
            return resultError(
                ctx, "tsql_arith: the operators '" + std::string(ops) + "' do not fit its operands.");
        auto* kept = new Steps(std::move(*parsed));
        steps = kept;
        sqlite3_set_auxdata(ctx, operands, kept, [](void* p) { delete static_cast<Steps*>(p); });
        // SQLite may have freed it at once (no memory): parse for this row only
        if (sqlite3_get_auxdata(ctx, operands) != kept) {
            static thread_local Steps once;
            once = *parseSteps(ops);
            steps = &once;
        }
    }
    Operand acc = Operand::of(argv[0]);
    std::string error;
    for (std::size_t k = 0; k < steps->size(); ++k) {
        const Step& s = (*steps)[k];
        if (!step(ctx, acc, s.op, s.type, Operand::of(argv[k + 1]), error)) {
            if (!error.empty()) resultError(ctx, error);
            return;
        }
    }
    if (acc.exact && acc.type == SQLITE_FLOAT) {
        // a decimal the double does not hold: its digits as text for the reader, else refused
        const auto back = decOfDouble(acc.d);
        const auto kept = back ? rescale(*back, acc.dec.scale) : std::nullopt;
        if (!kept || kept->m != acc.dec.m) {
            if (forReader) return resultText(ctx, decText(acc.dec));
            if (acc.dec.scale == 0) {
                return resultError(ctx,
                                   "Not supported by the embedded database: the number " + decText(acc.dec) +
                                       " (a whole number beyond bigint, which it would hold as a double).");
            }
        }
    }
    result(ctx, acc);
}

// tsql_negate(x, 'type'), tsql_abs(x, 'type'): -x and abs(x) of a whole number
// the statement types int (tinyint, smallint) or bigint, whose lowest value has
// no opposite within its type.
void wholeOpposite(sqlite3_context* ctx, sqlite3_value** argv, bool absolute) {
    sqlite3_value* v = argv[0];
    const std::string_view type = textOf(argv[1]);
    if (type == "decimal" && sqlite3_value_type(v) != SQLITE_NULL && sqlite3_value_type(v) != SQLITE_FLOAT) {
        // tsql_abs(x, 'decimal'): the digits of a decimal(19..38,0) column, exactly
        auto x = sqlite3_value_type(v) == SQLITE_INTEGER ? std::optional<Dec>(Dec{sqlite3_value_int64(v), 0})
                                                         : parseDec(textOf(v));
        if (!x) return resultError(ctx, "Error converting data type varchar to numeric.");
        x->m = absolute ? magnitude(x->m) : -x->m;
        if (x->scale != 0 || x->m < INT64_MIN || x->m > INT64_MAX) {
            return resultError(ctx, "Not supported by the embedded database: the number " + decText(*x) +
                                        " (a whole number beyond bigint, which it would hold as a double).");
        }
        return sqlite3_result_int64(ctx, static_cast<std::int64_t>(x->m));
    }
    std::int64_t n = 0;
    switch (sqlite3_value_type(v)) {
        case SQLITE_NULL:
            return sqlite3_result_null(ctx);
        case SQLITE_INTEGER:
            n = sqlite3_value_int64(v);
            break;
        case SQLITE_FLOAT: {
            const double d = sqlite3_value_double(v);
            return sqlite3_result_double(ctx, absolute ? std::fabs(d) : -d);
        }
        default: {
            auto w = parseWhole(textOf(v));
            if (!w) {
                return resultError(ctx, "Conversion failed when converting the varchar value '" +
                                            std::string(textOf(v)) + "' to data type " + std::string(type) +
                                            ".");
            }
            n = *w;
        }
    }
    if (absolute && n >= 0) return sqlite3_result_int64(ctx, n);
    const std::int64_t hi = type == "bigint" ? INT64_MAX : type == "smallint" ? INT16_MAX : INT32_MAX;
    if (n == INT64_MIN || -n > hi) return resultError(ctx, overflow(std::string(type).c_str()));
    sqlite3_result_int64(ctx, -n);
}

void fnNegate(sqlite3_context* ctx, int, sqlite3_value** argv) { wholeOpposite(ctx, argv, false); }
void fnAbs(sqlite3_context* ctx, int, sqlite3_value** argv) { wholeOpposite(ctx, argv, true); }

// tsql_add(a, b): a + b; the form of '+' that views and triggers written by earlier versions call.
void fnAdd(sqlite3_context* ctx, int, sqlite3_value** argv) {
    Operand acc = Operand::of(argv[0]);
    std::string error;
    if (!step(ctx, acc, '+', StepType{}, Operand::of(argv[1]), error)) {
        if (!error.empty()) resultError(ctx, error);
        return;
    }
    result(ctx, acc);
}

}  // namespace Palvo::sqlite::tsql

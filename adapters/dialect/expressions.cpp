// Expressions: parsed with operator precedence so that '+' chains can become
// tsql_add calls and comparisons can take the text collation (function calls are
// in function_calls.cpp). Everything else keeps the spacing the caller wrote.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>

#include "palvo/error.h"
#include "rewriter.h"

namespace Palvo::dialect {

namespace {

int binaryPrecedence(const Node& n) {
    if (n.group || n.tok.kind != TokenKind::Operator) return 0;
    const std::string& o = n.tok.text;
    if (o == "*" || o == "/" || o == "%") return 3;
    if (o == "+" || o == "-" || o == "&" || o == "|" || o == "^" || o == "||") return 2;
    if (o == "=" || o == "==" || o == "<" || o == ">" || o == "<=" || o == ">=" || o == "<>" || o == "!=" ||
        o == "!<" || o == "!>")
        return 1;
    return 0;
}

// The arithmetic operator of a node, as tsql_arith names it; 0 for any other.
char arithmeticOperator(const Node& n) {
    if (n.group || n.tok.kind != TokenKind::Operator || n.tok.text.size() != 1) return 0;
    const char c = n.tok.text[0];
    return c == '+' || c == '-' || c == '*' || c == '/' || c == '%' ? c : 0;
}

// The type of a op b, by SQL Server's precedence (float, decimal, money, bigint,
// int) and its rules for the precision and scale of a decimal result, which are
// kept within 38 digits by giving up decimals, down to 6.
NumType resultType(const NumType& a, char op, const NumType& b) {
    if (a.kind == 0 || b.kind == 0) return {};
    if (a.kind == 'f' || b.kind == 'f') return {'f', 0, 0};
    if (a.kind != 'd' && b.kind != 'd') {
        if (a.kind == 'm' || b.kind == 'm') return {'m', 19, 4};
        if (a.kind == 'b' || b.kind == 'b') return {'b', 19, 0};
        // tinyint with tinyint stays tinyint, with smallint smallint; with int it is int
        if (a.narrow && b.narrow)
            return a.narrow == 's' || b.narrow == 's' ? NumType{'i', 5, 0, 's'} : NumType{'i', 3, 0, 't'};
        return {'i', 10, 0};
    }
    const NumType x = asDecimal(a), y = asDecimal(b);
    const int p1 = x.precision, s1 = x.scale, p2 = y.precision, s2 = y.scale;
    int p = 0, s = 0;
    if (op == '+' || op == '-') {
        s = std::max(s1, s2);
        const int whole = std::max(p1 - s1, p2 - s2);
        p = s + whole + 1;
        if (p > 38) {
            // the whole part keeps its digits; the scale gives way to them
            s = std::max(0, std::min(s, 38 - whole));
            p = 38;
        }
        return {'d', p, s};
    }
    if (op == '%') {
        s = std::max(s1, s2);
        return {'d', std::min(38, std::min(p1 - s1, p2 - s2) + s), s};
    }
    if (op == '*') {
        p = p1 + p2 + 1;
        s = s1 + s2;
    } else {
        s = std::max(6, s1 + p2 + 1);
        p = p1 - s1 + s2 + s;
    }
    if (p > 38) {
        const int whole = p - s;
        if (whole < 32)
            s = std::min(s, 38 - whole);
        else if (s > 6)
            s = 6;
        p = 38;
    }
    return {'d', p, s};
}

// What a value held as its digits is called in a refusal.
std::string digitsName(const Expr& x) {
    if (x.number) return "the number " + x.text.substr(1, x.text.size() - 2);
    return (x.column ? "the decimal column " : "the decimal value ") + x.text;
}

// A run of arithmetic of one precedence, a + b - c, rendered as tsql_arith calls
// of at most kChainArguments operands each, the operators last: SQLite allows
// 127 arguments, and about 30 nested calls when each nests in the first
// argument (fewer when an argument comes before it).
constexpr std::size_t kChainArguments = 120;
constexpr std::size_t kMaxChain = 2500;

struct Chain {
    int prec = 0;  // 0: none pending
    std::vector<Expr> operands;
    std::vector<char> ops;

    // Ends the chain: lhs becomes its rendering.
    void flushInto(Expr& lhs) {
        if (prec == 0) return;
        if (operands.size() > kMaxChain)
            unsupported("a chain of more than " + std::to_string(kMaxChain) + " operands");
        // a decimal operand of a decimal step may come as its digits, which the step reads exactly
        const auto exactOperand = [](Expr& x, const NumType& step) {
            if (step.kind == 'd' && x.num.kind == 'd' && x.num.precision > 15) markExactResult(x.text, {});
        };
        exactOperand(operands[0], resultType(operands[0].num, ops[0], operands[1].num));
        bool integer = operands[0].integer;
        NumType type = operands[0].num;
        // digits held as text compute only in a typed step: SQLite would add text as a double or join it
        const auto digits =
            std::find_if(operands.begin(), operands.end(), [](const Expr& x) { return x.digitText; });
        std::string text = operands[0].text;
        std::size_t k = 1;
        while (k < operands.size()) {
            std::string opText;
            text = "tsql_arith(" + text;
            for (std::size_t n = 1; n < kChainArguments && k < operands.size(); ++n, ++k) {
                // int with int stays int, and must fit it
                integer = integer && operands[k].integer;
                type = resultType(type, ops[k - 1], operands[k].num);
                exactOperand(operands[k], type);
                if (digits != operands.end() && !type.kind) {
                    unsupported("arithmetic on " + digitsName(*digits) +
                                " with a value of no known type (a parameter, a subquery, text)");
                }
                if (integer) {
                    opText += type.narrow ? type.narrow : 'i';
                } else if (type.kind == 'd') {
                    opText += 'd' + std::to_string(type.precision) + ',' + std::to_string(type.scale);
                } else if (type.kind == 'm') {
                    opText += 'm';
                }
                opText += ops[k - 1];
                text += ", " + operands[k].text;
            }
            text += ", '" + opText + "')";
        }
        Expr r;
        r.empty = false;
        r.space = operands[0].space;
        r.unicode = std::any_of(operands.begin(), operands.end(), [](const Expr& x) { return x.unicode; });
        r.integer = integer;
        r.num = type;
        r.text = std::move(text);
        lhs = std::move(r);
        prec = 0;
        operands.clear();
        ops.clear();
    }
};

// The number N written with digits only, as SQL Server reads it: within int,
// within bigint, or (beyond bigint, up to 38 digits) a numeric SQLite would read as a double.
enum class Whole { Int, Bigint, Beyond };
Whole wholeRange(std::string_view digits) {
    while (digits.size() > 1 && digits[0] == '0') digits.remove_prefix(1);
    auto fits = [&](std::string_view max) {
        return digits.size() < max.size() || (digits.size() == max.size() && digits <= max);
    };
    if (fits("2147483647")) return Whole::Int;
    return fits("9223372036854775807") ? Whole::Bigint : Whole::Beyond;
}

bool isWhole(std::string_view number) {
    return !number.empty() && number.find_first_not_of("0123456789") == std::string_view::npos;
}

// A whole literal beyond bigint (digits without leading zeros, maybe after '-') as text.
void digitLiteral(std::string_view digits, Expr& r) {
    r.text = "'" + std::string(digits) + "'";
    r.number = true;
    r.digitText = true;
    r.num = {'d', static_cast<int>(digits.size()) - (digits[0] == '-' ? 1 : 0), 0};
}

// A number literal: 0x0102 is binary in T-SQL (SQLite reads it as an integer);
// a decimal must read back as the number written.
void numberLiteral(const Token& token, Expr& r) {
    Token t = token;
    const bool money = !t.text.empty() && t.text[0] == '$';
    if (money) t.text.erase(0, 1);
    if (t.text.size() > 1 && (t.text[1] == 'x' || t.text[1] == 'X')) {
        std::string hex = t.text.substr(2);
        if (hex.size() % 2) hex = "0" + hex;
        r.text = "X'" + hex + "'";
        return;
    }
    std::string_view digits(t.text);
    while (digits.size() > 1 && digits[0] == '0') digits.remove_prefix(1);
    if (isWhole(t.text) && digits.size() > 38) {
        throw Error(ErrorNumber::Database,
                    "The number '" + t.text +
                        "' is out of the range for numeric representation (maximum precision 38).",
                    1007);
    }
    if (!isWhole(t.text) && !std::isfinite(std::strtod(t.text.c_str(), nullptr))) {
        throw Error(ErrorNumber::Database,
                    "Arithmetic overflow error converting expression to data type float.", 8115);
    }
    if (!money && isWhole(t.text) && wholeRange(t.text) == Whole::Beyond) {
        // SQL Server's numeric(n,0): kept as its digits, which SQLite would read as a double
        digitLiteral(digits, r);
        return;
    }
    if (auto why = numberRefusal(t.text); !why.empty()) unsupported(why);
    r.text = t.text;
    r.number = true;
    r.integer = !money && isWhole(t.text) && wholeRange(t.text) == Whole::Int;
    if (money) {
        r.num = {'m', 19, 4};
    } else if (r.integer) {
        r.num = {'i', static_cast<int>(std::max<std::size_t>(1, digits.size())), 0};
    } else if (t.text.find_first_of("eE") != std::string::npos) {
        r.num = {'f', 0, 0};
    } else if (const auto point = t.text.find('.'); point != std::string::npos) {
        // numeric(p,s) of the digits written: 1.25 is numeric(3,2), 0.5 numeric(1,1)
        std::string_view whole(t.text.data(), point);
        while (!whole.empty() && whole[0] == '0') whole.remove_prefix(1);
        const int scale = static_cast<int>(t.text.size() - point - 1);
        r.num = {'d', std::max(1, static_cast<int>(whole.size()) + scale), scale};
    }
}

// The significant digits of a decimal number text and the power of ten of its last one.
std::pair<std::string, long> significand(std::string_view s) {
    std::string digits;
    long exp = 0;
    bool point = false;
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    for (; i < s.size(); ++i) {
        if (s[i] == '.') {
            point = true;
        } else if (s[i] >= '0' && s[i] <= '9') {
            if (!(digits.empty() && s[i] == '0')) digits += s[i];
            if (point) --exp;
        } else {
            break;
        }
    }
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E'))
        exp += std::strtol(std::string(s.substr(i + 1)).c_str(), nullptr, 10);
    while (!digits.empty() && digits.back() == '0') {
        digits.pop_back();
        ++exp;
    }
    if (digits.empty()) exp = 0;
    return {digits, exp};
}

}  // namespace

// A whole or decimal operand as SQL Server widens it beside a decimal: int is
// decimal(10,0) (an int literal has as many digits as it is written with),
// bigint decimal(19,0), money decimal(19,4).
NumType asDecimal(const NumType& t) {
    switch (t.kind) {
        case 'i':
            return {'d', t.precision > 0 ? t.precision : 10, 0};
        case 'b':
            return {'d', 19, 0};
        case 'm':
            return {'d', 19, 4};
        default:
            return t;
    }
}

// Whether the nodes are one expression as seq would render it: operands and
// operators only, no clause word, comma or two operands side by side (a
// function name before its arguments aside).
bool plainExpression(const Nodes& ns) {
    bool operand = false;
    for (std::size_t k = 0; k < ns.size(); ++k) {
        const Node& n = ns[k];
        const bool call = n.group && k > 0 && ns[k - 1].isName() && !ns[k - 1].group;
        if (!n.group && n.tok.kind == TokenKind::Operator) {
            if (n.op(",") || n.op(";")) return false;
            operand = n.op("*") && !operand;  // '*' alone is the star
            continue;
        }
        // a keyword before a group may be a function (left(...)), but a select is a subquery
        if (!n.group && n.tok.kind == TokenKind::Word && isClauseKeyword(asciiLower(n.tok.text)) &&
            (!(k + 1 < ns.size() && ns[k + 1].group) || asciiLower(n.tok.text) == "select"))
            return false;
        if (operand && !call) return false;
        operand = true;
    }
    return !ns.empty();
}

bool looksLikeDate(std::string_view s) {
    auto digit = [&](std::size_t i) { return i < s.size() && s[i] >= '0' && s[i] <= '9'; };
    if (s.size() == 8 && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return true;
    if (s.size() >= 8 && digit(0) && digit(1) && digit(2) && digit(3) && (s[4] == '-' || s[4] == '/') &&
        digit(5))
        return true;
    // three numbers of a date in the connection's order, each of one or two digits or the year's four:
    // 1/2/2024, 02.01.24
    std::size_t i = 0;
    char sep = 0;
    int years = 0;  // numbers of four digits: one at most
    for (int part = 0; part < 3; ++part) {
        const std::size_t b = i;
        while (digit(i)) ++i;
        if (i == b || i - b == 3 || i - b > 4 || (i - b == 4 && years++)) return false;
        if (part == 2) break;
        if (i >= s.size() || (s[i] != '/' && s[i] != '-' && s[i] != '.') || (sep && s[i] != sep))
            return false;
        sep = s[i++];
    }
    return i == s.size() || s[i] == ' ';
}

bool wideWhole(const Expr& x) {
    return x.digitText || (x.num.kind == 'd' && x.num.scale == 0 && x.num.precision > 18);
}

bool wantsTextCollation(const Expr& x) { return !x.empty && !x.column && !x.number && !x.collated; }

std::string numberRefusal(std::string_view number) {
    std::string_view body = number;
    const bool negative = !body.empty() && body[0] == '-';
    if (!body.empty() && (body[0] == '-' || body[0] == '+')) body.remove_prefix(1);
    if (isWhole(body)) {
        while (body.size() > 1 && body[0] == '0') body.remove_prefix(1);
        // bigint's lowest is the one number beyond its positive end that SQLite reads exactly
        if (wholeRange(body) != Whole::Beyond || (negative && body == "9223372036854775808")) return {};
        return "the number " + std::string(number) +
               " (a whole number beyond bigint, which it would read as a double)";
    }
    std::size_t digits = 0;
    for (char c : number) {
        if (c == 'e' || c == 'E') break;
        digits += c >= '0' && c <= '9';
    }
    if (digits <= 15) return {};
    const double d = std::strtod(std::string(number).c_str(), nullptr);
    char buf[32];
    auto r = std::to_chars(buf, buf + sizeof buf, d);
    if (significand(number) == significand(std::string_view(buf, static_cast<std::size_t>(r.ptr - buf))))
        return {};
    return "the number " + std::string(number) + " (more digits than a double keeps)";
}

bool readsExactly(std::string_view number) { return numberRefusal(number).empty(); }

NumType numTypeOf(std::string_view typeText) {
    const auto open = typeText.find('(');
    const std::string_view base = typeText.substr(0, open);
    int precision = 18, scale = 0;
    if (open != std::string_view::npos) {
        const char* p = typeText.data() + open + 1;
        const char* end = typeText.data() + typeText.size();
        auto r = std::from_chars(p, end, precision);
        if (r.ec == std::errc() && r.ptr < end && *r.ptr == ',') std::from_chars(r.ptr + 1, end, scale);
    }
    if (base == "decimal" || base == "numeric" || base == "dec") {
        if (precision < 1 || precision > 38 || scale < 0 || scale > precision) return {};
        return {'d', precision, scale};
    }
    if (base == "money") return {'m', 19, 4};
    if (base == "int" || base == "integer") return {'i', 10, 0};
    if (base == "smallint") return {'i', 5, 0, 's'};
    if (base == "tinyint") return {'i', 3, 0, 't'};
    if (base == "bigint") return {'b', 19, 0};
    if (base == "float" || base == "real") return {'f', 0, 0};
    return {};
}

std::string reportedType(const NumType& t) {
    switch (t.kind) {
        case 'i':
            return t.narrow == 't' ? "tinyint" : t.narrow == 's' ? "smallint" : "int";
        case 'b':
            return "bigint";
        case 'f':
            return "float";
        default:
            return declaredNumType(t);
    }
}

std::string declaredNumType(const NumType& t) {
    if (t.kind == 'm') return "money";
    if (t.kind != 'd') return {};
    return "decimal(" + std::to_string(t.precision) + "," + std::to_string(t.scale) + ")";
}

Expr Rewriter::expr(const Nodes& ns, std::size_t& i, std::size_t e, int minPrec) {
    Expr lhs = unary(ns, i, e);
    if (lhs.empty) return lhs;
    Chain chain;
    while (i < e) {
        const Node& opNode = ns[i];
        int prec = binaryPrecedence(opNode);
        if (prec == 0 || prec < minPrec) break;
        ++i;
        Expr rhs = expr(ns, i, e, prec + 1);
        if (rhs.empty) unsupported("an incomplete expression after '" + opNode.tok.text + "'");
        if (const char op = arithmeticOperator(opNode)) {
            // T-SQL '+' concatenates text and adds numbers, '/' fails on zero: decided per value at run time
            if (chain.prec != prec) {
                chain.flushInto(lhs);
                chain.prec = prec;
                chain.operands.push_back(std::move(lhs));
            }
            chain.operands.push_back(std::move(rhs));
            chain.ops.push_back(op);
            continue;
        }
        chain.flushInto(lhs);
        Expr r;
        r.empty = false;
        r.space = lhs.space;
        if (prec == 1) {
            // Null literals, before the text collation joins them
            const std::pair<bool, bool> nulls{isNullLiteral(lhs), isNullLiteral(rhs)};
            // A date or time literal compared with a column: compare as dates (times) when the column holds
            // them.
            if (lhs.column && rhs.string && (looksLikeDate(rhs.value) || looksLikeTime(rhs.value))) {
                rhs.text = "tsql_datelit(" + lhs.text + ", " + rhs.text + ")";
            } else if (rhs.column && lhs.string && (looksLikeDate(lhs.value) || looksLikeTime(lhs.value))) {
                lhs.text = "tsql_datelit(" + rhs.text + ", " + lhs.text + ")";
            }
            // Text compared with a date, datetime or smalldatetime value becomes one (convert(date, d) =
            // '2024-01-05').
            bool dated = true;
            if (rhs.string && !dateTypeOf(lhs.text).empty()) {
                rhs.text = "tsql_convert('" + dateTypeOf(lhs.text) + "', " + rhs.text + ", null)";
            } else if (lhs.string && !dateTypeOf(rhs.text).empty()) {
                lhs.text = "tsql_convert('" + dateTypeOf(rhs.text) + "', " + lhs.text + ", null)";
            } else {
                dated = false;
            }
            if (!dated && wantsTextCollation(lhs) && wantsTextCollation(rhs) &&
                !(i < e && ns[i].word("collate"))) {
                lhs.text += kCollateText;
            }
            if (ansiNullsOff_) {
                if (std::string c = nullsOffComparison(lhs, opNode, rhs, nulls); !c.empty()) {
                    r.text = std::move(c);
                    lhs = std::move(r);
                    continue;
                }
            }
            // Whole numbers past bigint's digits: beside a column SQLite's affinity makes numbers
            // of both sides (a decimal(19..38,0) column's numtext orders its digits); elsewhere
            // digits held as text would sort after every number, so tsql_compare compares exactly.
            const bool byColumn = (lhs.column && (lhs.digitText || !rhs.digitText)) ||
                                  (rhs.column && (rhs.digitText || !lhs.digitText));
            if ((wideWhole(lhs) || wideWhole(rhs)) && !byColumn) {
                markExactResult(lhs.text, {});
                markExactResult(rhs.text, {});
                r.text = "tsql_compare(" + lhs.text + ", " + trimLead(rhs.text) + ")";
                put(r.text, renderToken(opNode.tok), opNode.tok.spaceBefore);
                r.text += " 0";
                lhs = std::move(r);
                continue;
            }
        }
        r.text = lhs.text;
        put(r.text, renderToken(opNode.tok), opNode.tok.spaceBefore);
        put(r.text, rhs.text, rhs.space);
        lhs = std::move(r);
    }
    chain.flushInto(lhs);
    return lhs;
}

std::string Rewriter::nullsOffComparison(const Expr& lhs, const Node& op, const Expr& rhs,
                                         std::pair<bool, bool> nulls) const {
    const bool equal = op.op("=");
    if (!equal && !op.op("<>") && !op.op("!=")) return {};
    const std::string left = trimLead(lhs.text), right = trimLead(rhs.text);
    if (nulls.first || nulls.second) {
        const std::string& other = nulls.first ? right : left;
        return "(" + other + (equal ? " is null)" : " is not null)");
    }
    if (!lhs.variable && !rhs.variable) return {};
    // a variable holding Null compares as Null does; one holding a value as ISO says (Null beside it unknown)
    std::string held;
    for (const Expr* x : {&lhs, &rhs}) {
        if (x->variable) held += (held.empty() ? "" : " or ") + trimLead(x->text) + " is null";
    }
    return "(case when " + held + " then " + left + (equal ? " is " : " is not ") + right + " else " + left +
           (equal ? " = " : " <> ") + right + " end)";
}

Expr Rewriter::unary(const Nodes& ns, std::size_t& i, std::size_t e) {
    const Nesting level(depth_);
    if (i < e && (ns[i].op("-") || ns[i].op("+") || ns[i].op("~"))) {
        const Node& o = ns[i++];
        Expr x;
        if (o.op("-") && i < e && !ns[i].group && ns[i].tok.kind == TokenKind::Number &&
            isWhole(ns[i].tok.text) && wholeRange(ns[i].tok.text) == Whole::Beyond &&
            numberRefusal("-" + ns[i].tok.text).empty()) {
            // -9223372036854775808: bigint's lowest, whose digits alone are beyond bigint
            x.text = ns[i].tok.text;
            x.space = ns[i].tok.spaceBefore;
            x.number = true;
            x.empty = false;
            ++i;
        } else if (o.op("-") && i < e && !ns[i].group && ns[i].tok.kind == TokenKind::Number &&
                   isWhole(ns[i].tok.text) && wholeRange(ns[i].tok.text) == Whole::Beyond) {
            // a negative literal beyond bigint: its digits after the sign, as text
            std::string_view digits(ns[i].tok.text);
            while (digits.size() > 1 && digits[0] == '0') digits.remove_prefix(1);
            if (digits.size() > 38) {
                numberLiteral(ns[i].tok, x);  // SQL Server's error for more than 38 digits
            }
            digitLiteral("-" + std::string(digits), x);
            x.space = o.tok.spaceBefore;
            x.empty = false;
            ++i;
            return x;
        } else {
            x = unary(ns, i, e);
        }
        if (x.empty) unsupported("an incomplete expression after '" + o.tok.text + "'");
        if (o.op("-") && x.digitText) {
            // a decimal(19..38,0) value negated exactly, as 0 - x
            Expr r;
            r.empty = false;
            r.space = o.tok.spaceBefore;
            r.num = x.num;
            r.text = "tsql_arith(0, " + x.text + ", 'd" + std::to_string(x.num.precision) + ",0-')";
            return r;
        }
        Expr r;
        r.empty = false;
        r.space = o.tok.spaceBefore;
        r.number = x.number;
        r.integer = x.integer && !o.op("~");
        if (!o.op("~")) r.num = x.num;
        if (r.num.narrow) r.num = {'i', 10, 0};  // a negated tinyint is no tinyint
        if (o.op("-") && !x.number && !x.num.narrow && (r.num.kind == 'i' || r.num.kind == 'b')) {
            // the lowest int or bigint has no opposite in its type (SQLite would give a larger
            // number); a tinyint or smallint negated is an int, which holds it
            r.text = "tsql_negate(" + x.text + ", '" + (r.num.kind == 'b' ? "bigint" : "int") + "')";
            return r;
        }
        r.text = o.tok.text + (x.space ? " " : "") + x.text;
        return r;
    }
    return primary(ns, i, e);
}

Expr Rewriter::primary(const Nodes& ns, std::size_t& i, std::size_t e) {
    Expr r;
    if (i >= e) return r;
    const Node& n = ns[i];
    r.space = n.tok.spaceBefore;
    if (n.group) {
        if (forXmlAt(n.kids) != n.kids.size()) return forXmlSubquery(ns, i, e);
        r.empty = false;
        ++i;
        // (a * b): one expression keeps the number type the statement gives it
        if (plainExpression(n.kids)) {
            const Nesting level(depth_);
            std::size_t k = 0;
            Expr inner = expr(n.kids, k, n.kids.size(), 1);
            if (k == n.kids.size()) {
                r.text = "(" + std::string(inner.space ? " " : "") + inner.text + (n.closeSpace ? " )" : ")");
                r.num = inner.num;
                r.integer = inner.integer;
                r.unicode = inner.unicode;
                return r;
            }
        }
        if (!n.kids.empty() && n.kids[0].word("select")) {
            // a scalar subquery has the type of its one value
            Expr value;
            subqueryValue_ = &value;
            r.text = group(n);
            subqueryValue_ = nullptr;
            r.num = value.num;
            r.type = value.type;
            r.integer = value.integer;
            r.unicode = value.unicode;
            return r;
        }
        r.text = group(n);
        return r;
    }
    const Token& t = n.tok;
    switch (t.kind) {
        case TokenKind::String:
        case TokenKind::NString:
            r.text = quoteString(t.text);
            r.string = true;
            r.value = t.text;
            r.unicode = t.kind == TokenKind::NString;
            r.national = t.kind == TokenKind::NString;
            break;
        case TokenKind::Number:
            numberLiteral(t, r);
            break;
        case TokenKind::Parameter:
            r.text = parameterText(t);
            r.num = parameterType(t);
            break;
        case TokenKind::Variable:
            if (asciiLower(t.text) == "@@identity") {
                r.text = "tsql_identity()";
                break;
            }
            if (const std::string lw = t.text.starts_with("@@") ? asciiLower(t.text) : std::string();
                lw == "@@trancount" || lw == "@@error" || lw == "@@rowcount" || lw == "@@fetch_status" ||
                lw == "@@cursor_rows" || lw == "@@nestlevel") {
                // the connection's state as its batch leaves it after each statement
                r.text = "tsql_" + lw.substr(2) + "()";
                r.num = columnNumType("int");
                r.integer = true;
                break;
            }
            if (asciiLower(t.text) == "@@datefirst") {
                r.text = "tsql_datefirst()";
                r.num = columnNumType("int");
                r.integer = true;
                break;
            }
            if (asciiLower(t.text) == "@@version") {
                // says which database answers, for a host's log or about box
                r.text = "('Palvo embedded database (SQLite ' || sqlite_version() || ')')";
                break;
            }
            if (variableExpr(t, r)) break;
            renderToken(t);  // raises
            break;
        case TokenKind::Operator:
            if (t.text != "*") return r;
            r.text = "*";
            break;
        case TokenKind::Name:
        case TokenKind::Word: {
            std::string lw = asciiLower(t.text);
            if (t.kind == TokenKind::Word) {
                if (lw == "null") {
                    r.text = t.text;
                    break;
                }
                if (lw == "case") return caseExpression(ns, i, e);
                if (lw == "string_agg" && i + 4 < e && ns[i + 1].group && ns[i + 2].word("within")) {
                    if (!ns[i + 3].word("group") || !ns[i + 4].group)
                        unsupported("STRING_AGG with this WITHIN");
                    r = stringAggWithin(ns[i + 1], ns[i + 4]);
                    r.space = t.spaceBefore;
                    i += 5;
                    return r;
                }
                if (i + 1 < e && ns[i + 1].group && lw != "exists" && lw != "in" && lw != "values") {
                    if (windowCall(ns, i, e, r)) return r;
                    r = function(n, ns[i + 1]);
                    r.space = t.spaceBefore;
                    i += 2;
                    return r;
                }
                if (isClauseKeyword(lw)) return r;
            }
            // A column reference, maybe qualified: a.b, [t].[c], t.*
            r.text = renderToken(t);
            r.column = true;
            std::string_view qualifier, column = t.text;
            while (i + 2 < e + 1 && i + 1 < e && ns[i + 1].op(".") && i + 2 < e &&
                   (ns[i + 2].isName() || ns[i + 2].op("*"))) {
                r.text += "." + renderToken(ns[i + 2].tok);
                if (ns[i + 2].op("*")) r.column = false;
                qualifier = column;
                column = ns[i + 2].tok.text;
                i += 2;
            }
            // the column's declared type, as a cast would give it
            if (r.column && !scopes_.empty()) {
                const std::string* declared = declaredType(qualifier, column);
                if (declared) {
                    r.num = columnNumType(*declared);
                    r.digitText = heldAsDigits(*declared);
                    if (!r.num.kind) r.type = typeOfDeclared(*declared);
                }
                r.integer = r.num.kind == 'i';
                const std::string type = declared ? asciiLower(*declared) : std::string();
                r.datetime = type == "datetime" || type == "smalldatetime";
                r.unicode = type.starts_with("nvarchar") || type.starts_with("nchar") || type == "ntext";
            }
            break;
        }
    }
    r.empty = false;
    ++i;
    return r;
}

// CASE ... END, nested ones included; moves i past the END.
Expr Rewriter::caseExpression(const Nodes& ns, std::size_t& i, std::size_t e) {
    Expr r;
    r.space = ns[i].tok.spaceBefore;
    std::size_t depth = 1, deepest = 1, j = i + 1;
    for (; j < e; ++j) {
        if (ns[j].word("case")) deepest = std::max(deepest, ++depth);
        if (ns[j].word("end") && --depth == 0) break;
    }
    if (j >= e) unsupported("CASE without END");
    // refused here, before each level scans the rest for its END once more
    if (deepest > kMaxNesting)
        unsupported("CASE nested more than " + std::to_string(kMaxNesting) + " levels deep");
    std::size_t whens = i + 1;
    r.text = ns[i].tok.text + simpleCaseOperand(ns, whens, j);
    std::vector<Expr> results;
    caseResults_ = &results;
    r.text += seq(ns, whens, j);
    caseResults_ = nullptr;
    put(r.text, ns[j].tok.text, ns[j].tok.spaceBefore);
    r.empty = false;
    i = j + 1;
    convertToCommon(results, r);
    return r;
}

// CASE x WHEN y ...: the WHENs compare with x, so x takes the text collation
// unless it is a column or a number. Renders x and moves b to the first WHEN.
std::string Rewriter::simpleCaseOperand(const Nodes& ns, std::size_t& b, std::size_t e) {
    if (b >= e || ns[b].word("when")) return {};
    std::size_t w = b;
    for (int depth = 0; w < e; ++w) {
        if (ns[w].word("case")) ++depth;
        if (ns[w].word("end")) --depth;
        if (depth == 0 && ns[w].word("when")) break;
    }
    std::size_t k = b;
    Expr x = expr(ns, k, w, 1);
    if (k != w) return {};
    std::string out;
    put(out, wantsTextCollation(x) ? x.text + kCollateText : x.text, x.space);
    b = w;
    return out;
}

}  // namespace Palvo::dialect

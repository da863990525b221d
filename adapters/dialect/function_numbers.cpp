// Calls of number functions: ROUND, CEILING, FLOOR, SIGN, POWER, the float
// functions, RAND, ISNUMERIC, TRY_CAST and TRY_CONVERT, and CONVERT/CAST of a
// decimal or money to text. Each keeps the type SQL Server gives its result,
// and tells the runtime the type of its argument, which decides how it rounds,
// where it overflows and how many decimals it shows.
#include <algorithm>

#include "rewriter.h"

namespace Palvo::dialect {

namespace {

// The argument's type as tsql_round and its kin read it: "i" int ("t" tinyint, "s"
// smallint), "b" bigint, "d<p>,<s>" decimal, "m" money, "f" float, "" untyped.
std::string typeCode(const NumType& t) {
    switch (t.kind) {
        case 'i':
            return t.narrow ? std::string(1, t.narrow) : "i";
        case 'b':
            return "b";
        case 'd':
            return "d" + std::to_string(t.precision) + "," + std::to_string(t.scale);
        case 'm':
            return "m";
        case 'f':
            return "f";
        default:
            return {};
    }
}

bool isTextType(const std::string& type) {
    const std::string base = type.substr(0, type.find('('));
    return base == "char" || base == "varchar" || base == "nchar" || base == "nvarchar" ||
           base == "character";
}

// Whether the call that opens `text` closes at its end (quoted text skipped).
bool oneCall(const std::string& text) {
    int depth = 0;
    for (std::size_t k = 0; k < text.size(); ++k) {
        const char ch = text[k];
        if (ch == '\'' || ch == '"') {
            k = text.find(ch, k + 1);
            if (k == std::string::npos) return false;
        } else if (ch == '(') {
            ++depth;
        } else if (ch == ')' && --depth == 0) {
            return k + 1 == text.size();
        }
    }
    return false;
}

}  // namespace

void markExactResult(std::string& text, const Nodes& query) {
    const bool arith = text.starts_with("tsql_arith(") && text.ends_with("')");
    const bool sum = (text.starts_with("tsql_sum(") || text.starts_with("tsql_avg(")) && oneCall(text);
    // a conversion to a whole decimal past bigint's digits, which beyond bigint gives its digits
    const std::size_t typeAt = text.starts_with("tsql_convert('")       ? 14
                               : text.starts_with("tsql_try_convert('") ? 18
                                                                        : 0;
    bool convert = false;
    if (typeAt > 0 && text.ends_with(", null)") && oneCall(text)) {
        const NumType t = numTypeOf(text.substr(typeAt, text.find('\'', typeAt) - typeAt));
        convert = t.kind == 'd' && t.scale == 0 && t.precision > 18;
    }
    if (!arith && !sum && !convert) return;
    // a text value sorts after every number and never equals one: only the reader may see it
    for (const Node& n : query) {
        if (n.word("order") || n.word("distinct") || n.word("union") || n.word("except") ||
            n.word("intersect") || n.word("into"))
            return;
    }
    text.insert(text.size() - (arith ? 2 : 1), arith ? "!" : ", '!'");
}

bool Rewriter::numberFunction(const std::string& fn, const Call& c, Expr& r) {
    // An argument with its number type, when it is one plain expression.
    struct Arg {
        std::string text;
        NumType num;
    };
    auto typed = [&](std::size_t b, std::size_t e) -> Arg {
        if (plainExpression(Nodes(c.a.begin() + static_cast<std::ptrdiff_t>(b),
                                  c.a.begin() + static_cast<std::ptrdiff_t>(e)))) {
            const Nesting level(depth_);
            std::size_t k = b;
            Expr x = expr(c.a, k, e, 1);
            if (k == e) return {x.text, x.num};
        }
        return {trimLead(seq(c.a, b, e)), {}};
    };
    auto arg = [&](std::size_t k) { return typed(c.parts[k].first, c.parts[k].second); };

    if (fn == "round") {
        c.requireArgs(2, 3);
        const Arg x = arg(0);
        r.text = "tsql_round(" + x.text + ", " + c.arg(1) + ", " + (c.parts.size() == 3 ? c.arg(2) : "0") +
                 ", '" + typeCode(x.num) + "')";
        // tinyint and smallint round as int; the others keep their type
        r.num = x.num.kind == 'i' ? NumType{'i', 10, 0} : x.num;
    } else if (fn == "ceiling" || fn == "floor" || fn == "sign") {
        c.requireArgs(1, 1);
        const Arg x = arg(0);
        r.text = "tsql_" + fn + "(" + x.text + ", '" + typeCode(x.num) + "')";
        r.num = x.num;
        if (fn != "sign" && x.num.kind == 'd') r.num = {'d', x.num.precision, 0};
        if (fn == "sign" && x.num.kind == 'd')
            r.num = {'d', std::max(x.num.precision, x.num.scale + 1), x.num.scale};
        if (fn == "sign" && x.num.kind == 'i') r.num = {'i', 10, 0};
    } else if (fn == "power") {
        c.requireArgs(2, 2);
        const Arg x = arg(0);
        r.text = "tsql_power(" + x.text + ", " + c.arg(1) + ", '" + typeCode(x.num) + "')";
        r.num = x.num.kind == 'i'   ? NumType{'i', 10, 0}
                : x.num.kind == 'd' ? NumType{'d', 38, x.num.scale}
                                    : x.num;
    } else if (fn == "sqrt" || fn == "exp" || fn == "log10" || fn == "square") {
        c.requireArgs(1, 1);
        r.text = c.forward("tsql_" + fn);
        r.num = {'f', 0, 0};
    } else if (fn == "log") {
        c.requireArgs(1, 2);
        r.text = c.forward("tsql_log");
        r.num = {'f', 0, 0};
    } else if (fn == "pi") {
        c.requireArgs(0, 0);
        r.text = "3.141592653589793";
        r.num = {'f', 0, 0};
    } else if (fn == "rand") {
        c.requireArgs(0, 1);
        r.text = c.forward("tsql_rand");
        r.num = {'f', 0, 0};
    } else if (fn == "isnumeric") {
        c.requireArgs(1, 1);
        r.text = c.forward("tsql_isnumeric");
        r.num = {'i', 10, 0};
    } else if (fn == "try_convert" || fn == "try_cast") {
        // the conversion as CONVERT or CAST renders it, Null where that one fails on the value
        std::string text = fn == "try_cast" ? castCall(c.a) : convertCall(c);
        const std::string type = text.substr(14, text.find('\'', 14) - 14);
        r.text = "tsql_try_convert(" + text.substr(13);
        r.num = numTypeOf(type);
        if (isTextType(type) && !c.parts.empty()) {
            // the number's type, as CONVERT tells it below: '*' or Null where the text is too short
            std::size_t as = 0;
            while (fn == "try_cast" && as < c.a.size() && !c.a[as].word("as")) ++as;
            const Arg x = fn == "try_cast" ? typed(0, as) : c.parts.size() > 1 ? arg(1) : Arg{};
            if (x.num.kind == 'i' || x.num.kind == 'b' || (x.num.kind == 'f' && text.ends_with(", null)")))
                r.text.insert(r.text.size() - 1, ", '" + typeCode(x.num) + "'");
        }
    } else if ((fn == "convert" || fn == "cast") && !c.parts.empty()) {
        // a decimal or money shown as text keeps its scale (money: two decimals)
        std::string type;
        Arg x;
        std::string style = "null";
        if (fn == "convert") {
            if (c.parts.size() < 2 || c.parts.size() > 3) return false;
            const auto [tb, te] = c.parts[0];
            if (te != tb + 1 && !(te == tb + 2 && c.a[tb + 1].group)) return false;
            type = typeText(c.a, tb, te, "CONVERT");
            if (!isTextType(type)) return false;
            x = arg(1);
            if (c.parts.size() == 3) {
                const auto [sb, se] = c.parts[2];
                if (se != sb + 1 || c.a[sb].group || c.a[sb].tok.kind != TokenKind::Number) return false;
                style = c.a[sb].tok.text;
            }
        } else {
            std::size_t as = c.a.size();
            int depth = 0;
            for (std::size_t k = 0; k < c.a.size(); ++k) {
                if (c.a[k].word("case")) ++depth;
                if (c.a[k].word("end")) --depth;
                if (depth == 0 && c.a[k].word("as")) as = k;
            }
            if (as == c.a.size() || c.parts.size() != 1) return false;
            type = typeText(c.a, as + 1, c.a.size(), "CAST");
            if (!isTextType(type)) return false;
            x = typed(0, as);
        }
        // a whole number or a float too long for the text fails or shows '*', as SQL Server's does
        if (x.num.kind == 'i' || x.num.kind == 'b' ||
            (x.num.kind == 'f' && (style == "null" || style == "0"))) {
            r.text = "tsql_convert('" + type + "', " + x.text + ", " + style + ", '" + typeCode(x.num) + "')";
            return true;
        }
        if (x.num.kind != 'd' && x.num.kind != 'm') return false;
        // money: 1 groups the digits by thousands, 2 and 126 show four decimals
        const bool moneyStyle = x.num.kind == 'm' && (style == "1" || style == "2" || style == "126");
        if (style != "null" && style != "0" && !moneyStyle)
            unsupported("CONVERT of a " + std::string(x.num.kind == 'm' ? "money" : "decimal") +
                        " with style " + style);
        r.text = "tsql_convert('" + type + "', " + x.text + ", " + style + ", '" + typeCode(x.num) + "')";
    } else {
        return false;
    }
    return true;
}

}  // namespace Palvo::dialect

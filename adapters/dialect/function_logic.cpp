// The logic functions (ISNULL, COALESCE, NULLIF, IIF, CHOOSE) and the type SQL
// Server gives a value chosen among several (these and CASE): the highest by its
// data type precedence, each chosen value converted to it.
#include <algorithm>
#include <charconv>
#include <string>
#include <string_view>

#include "palvo/error.h"
#include "rewriter.h"

namespace Palvo::dialect {

namespace {

// SQL Server's data type precedence, highest first (the types the translator can tell).
constexpr std::string_view kPrecedence[] = {
    "datetime",   "smalldatetime",    "date",     "float",    "real",    "decimal", "numeric",   "money",
    "smallmoney", "bigint",           "int",      "smallint", "tinyint", "bit",     "ntext",     "text",
    "image",      "uniqueidentifier", "nvarchar", "nchar",    "varchar", "char",    "varbinary", "binary"};

std::string_view baseOf(std::string_view type) { return type.substr(0, type.find('(')); }

std::size_t rank(std::string_view type) {
    const std::string_view b = baseOf(type);
    for (std::size_t k = 0; k < std::size(kPrecedence); ++k) {
        if (kPrecedence[k] == b) return k;
    }
    return std::size(kPrecedence);
}

bool isCharType(std::string_view type) {
    const std::string_view b = baseOf(type);
    return b == "char" || b == "varchar" || b == "nchar" || b == "nvarchar";
}

// The length of a character type; -1 for max.
long charLength(std::string_view type) {
    const auto open = type.find('(');
    if (open == std::string_view::npos) return 1;
    if (type.substr(open + 1, 3) == "max") return -1;
    long n = 0;
    std::from_chars(type.data() + open + 1, type.data() + type.size(), n);
    return n;
}

// What tsql_convert converts to.
bool convertible(std::string_view type) {
    static constexpr std::string_view types[] = {"char",          "varchar", "nchar",  "nvarchar", "tinyint",
                                                 "smallint",      "int",     "bigint", "decimal",  "numeric",
                                                 "money",         "float",   "real",   "bit",      "datetime",
                                                 "smalldatetime", "date"};
    const std::string_view b = baseOf(type);
    return std::find(std::begin(types), std::end(types), b) != std::end(types);
}

// Whether every value of x is unchanged by converting it to `type` (so no conversion is rendered).
bool fitsIn(const Expr& x, const std::string& type) {
    const std::string xt = typeOf(x);
    if (xt == type) return true;
    if (isCharType(type)) {
        const std::string_view b = baseOf(type);
        if (b == "char" || b == "nchar" || !isCharType(xt)) return false;  // a fixed length pads
        const long to = charLength(type), from = charLength(xt);
        return to == -1 || (from != -1 && from <= to);
    }
    const NumType t = numTypeOf(type), v = x.num;
    if (!t.kind || !v.kind) return false;
    if (t.kind == 'f') return true;
    if (x.number && v.kind == 'i') {
        long long n = 0;
        std::from_chars(x.text.data(), x.text.data() + x.text.size(), n);
        if (t.kind == 'i')
            return t.narrow == 't' ? n >= 0 && n <= 255 : t.narrow == 's' ? n >= -32768 && n <= 32767 : true;
        if (t.kind == 'b' || t.kind == 'm') return true;
    }
    if (v.kind == 'f' || t.kind == 'i' || t.kind == 'b') return false;
    if (t.kind == 'm') return v.kind != 'd' || v.scale <= 4;
    const NumType d = asDecimal(v);
    return d.scale <= t.scale && d.precision - d.scale <= t.precision - t.scale;
}

}  // namespace

bool isNullLiteral(const Expr& x) { return equalsNoCase(x.text, "null"); }

std::string typeOf(const Expr& x) {
    switch (x.num.kind) {
        case 'i':
            return x.num.narrow == 't' ? "tinyint" : x.num.narrow == 's' ? "smallint" : "int";
        case 'b':
            return "bigint";
        case 'd':
            return "decimal(" + std::to_string(x.num.precision) + "," + std::to_string(x.num.scale) + ")";
        case 'm':
            return "money";
        case 'f':
            return "float";
        default:
            return x.string ? literalType(x.value, x.national) : x.type;
    }
}

std::string literalType(std::string_view value, bool national) {
    std::size_t n = 0;
    for (std::size_t k = 0; k < value.size(); ++k) {
        const auto c = static_cast<unsigned char>(value[k]);
        if (c < 0x80) {
            ++n;
        } else if (c >= 0xC0) {
            // varchar counts code-page bytes (two for a Chinese character), nvarchar UTF-16 units
            n += national ? (c >= 0xF0 ? 2 : 1) : 2;
        }
    }
    return std::string(national ? "nvarchar(" : "varchar(") + std::to_string(std::max<std::size_t>(1, n)) +
           ")";
}

std::string typeOfDeclared(std::string_view declared) {
    std::string t;
    for (char c : asciiLower(declared)) {
        if (c != ' ' && c != '\t') t += c;
    }
    if (const auto p = t.find("real"); p != std::string::npos && p > 0) t.erase(p, 4);
    if (const auto p = t.find("(-1)"); p != std::string::npos) t.replace(p, 4, "(max)");
    if (t.starts_with("character")) t.replace(0, 9, "char");
    // a text column declared without a length holds one character, as SQL Server's CREATE TABLE gives it
    if (isCharType(t) && t.find('(') == std::string::npos) t += "(1)";
    return t;
}

std::string convertedType(std::string_view typeText) {
    std::string t(typeText);
    if (t.starts_with("character")) t.replace(0, 9, "char");
    // varchar without a length is varchar(30) in CAST and CONVERT
    if (isCharType(t) && t.find('(') == std::string::npos) t += "(30)";
    return t;
}

std::string commonType(const std::vector<Expr>& values) {
    std::string top;
    bool any = false;
    for (const Expr& v : values) {
        if (isNullLiteral(v)) continue;
        const std::string t = typeOf(v);
        if (t.empty() || rank(t) == std::size(kPrecedence)) return {};
        if (!any || rank(t) < rank(top)) top = t;
        any = true;
    }
    if (!any) return {};
    const std::string_view base = baseOf(top);
    if (isCharType(top)) {
        // the longest of the character values
        long longest = 0;
        for (const Expr& v : values) {
            const std::string t = typeOf(v);
            if (isNullLiteral(v) || !isCharType(t)) continue;
            const long n = charLength(t);
            longest = longest == -1 || n == -1 ? -1 : std::max(longest, n);
        }
        return std::string(base) + "(" + (longest == -1 ? std::string("max") : std::to_string(longest)) + ")";
    }
    if (base == "decimal" || base == "numeric") {
        // the whole digits and the scale of the widest
        int whole = 0, scale = 0;
        for (const Expr& v : values) {
            const NumType d = asDecimal(v.num);
            if (isNullLiteral(v) || d.kind != 'd') continue;
            whole = std::max(whole, d.precision - d.scale);
            scale = std::max(scale, d.scale);
        }
        if (whole + scale > 38) scale = std::max(0, 38 - whole);
        return "decimal(" + std::to_string(std::min(38, whole + scale)) + "," + std::to_string(scale) + ")";
    }
    return top;
}

void convertToCommon(const std::vector<Expr>& values, Expr& r) {
    const std::string type = commonType(values);
    if (type.empty()) return;
    bool fits = true;
    for (const Expr& v : values) {
        if (!isNullLiteral(v) && !fitsIn(v, type)) fits = false;
    }
    if (!fits) {
        if (!convertible(type)) return;  // left to its values
        r.text = "tsql_convert('" + type + "', " + r.text + ", null)";
    }
    r.num = numTypeOf(type);
    if (!r.num.kind) r.type = type;
    r.integer = r.num.kind == 'i';
}

// An argument rendered as an expression, with the type the statement gives it; one
// that is no single expression is rendered as the clauses it holds, untyped.
Expr Rewriter::typedArg(const Call& c, std::size_t k) {
    const auto [b, e] = c.parts[k];
    std::size_t i = b;
    Expr x;
    {
        const Nesting level(depth_);
        x = expr(c.a, i, e, 1);
    }
    if (i != e || x.empty) {
        x = Expr{};
        x.empty = false;
        x.text = c.arg(k);
    }
    x.space = false;
    return x;
}

bool Rewriter::logicFunction(const std::string& fn, const Call& c, Expr& r) {
    if (fn == "isnull") {
        // of the type of its first argument: the replacement is converted to it (cut to its length)
        c.requireArgs(2, 2);
        const Expr a = typedArg(c, 0), b = typedArg(c, 1);
        r.text = "ifnull(" + a.text + ", " + b.text + ")";
        const std::string type = typeOf(a);
        if (type.empty()) return true;
        if (!isNullLiteral(b) && !fitsIn(b, type)) {
            if (!convertible(type)) return true;
            r.text = "tsql_convert('" + type + "', " + r.text + ", null)";
        }
        r.num = a.num;
        r.type = a.type;
        r.integer = a.num.kind == 'i';
    } else if (fn == "coalesce") {
        if (c.parts.size() < 2)
            throw Error(ErrorNumber::Database, "The coalesce function requires 2 argument(s).", 174);
        std::vector<Expr> values;
        r.text = "coalesce(";
        for (std::size_t k = 0; k < c.parts.size(); ++k) {
            values.push_back(typedArg(c, k));
            r.text += (k ? ", " : "") + values.back().text;
        }
        r.text += ")";
        if (std::all_of(values.begin(), values.end(), isNullLiteral)) {
            throw Error(
                ErrorNumber::Database,
                "At least one of the arguments to COALESCE must be an expression that is not the NULL "
                "constant.",
                4127);
        }
        convertToCommon(values, r);
    } else if (fn == "nullif") {
        // compared under the text collation, and of the type of its first argument
        c.requireArgs(2, 2);
        const Expr a = typedArg(c, 0), b = typedArg(c, 1);
        const bool collate = wantsTextCollation(a) && wantsTextCollation(b);
        r.text = "nullif(" + a.text + (collate ? kCollateText : "") + ", " + b.text + ")";
        r.num = a.num;
        r.type = a.type;
        r.integer = a.num.kind == 'i';
    } else if (fn == "iif") {
        c.requireArgs(3, 3);
        const std::string condition = c.arg(0);
        const std::vector<Expr> values{typedArg(c, 1), typedArg(c, 2)};
        r.text = "case when " + condition + " then " + values[0].text + " else " + values[1].text + " end";
        convertToCommon(values, r);
    } else if (fn == "choose") {
        // the value of that number from 1 (cut to a whole number); Null beyond them
        if (c.parts.size() < 2) c.requireArgs(2, 2);
        const Expr index = typedArg(c, 0);
        const bool whole = index.num.kind == 'i' || index.num.kind == 'b';
        r.text = "case " + (whole ? index.text : "tsql_convert('int', " + index.text + ", null)");
        std::vector<Expr> values;
        for (std::size_t k = 1; k < c.parts.size(); ++k) {
            values.push_back(typedArg(c, k));
            r.text += " when " + std::to_string(k) + " then " + values.back().text;
        }
        r.text += " end";
        convertToCommon(values, r);
    } else {
        return false;
    }
    return true;
}

}  // namespace Palvo::dialect

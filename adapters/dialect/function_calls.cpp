// Function calls: each becomes the tsql_* function the SQLite adapter registers,
// its arguments checked and rewritten as SQL Server reads them.

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>

#include "palvo/error.h"
#include "rewriter.h"

namespace Palvo::dialect {

std::string datePartName(std::string_view written) {
    static constexpr std::pair<std::string_view, std::string_view> parts[] = {{"year", "year"},
                                                                              {"yy", "year"},
                                                                              {"yyyy", "year"},
                                                                              {"quarter", "quarter"},
                                                                              {"qq", "quarter"},
                                                                              {"q", "quarter"},
                                                                              {"month", "month"},
                                                                              {"mm", "month"},
                                                                              {"m", "month"},
                                                                              {"dayofyear", "dayofyear"},
                                                                              {"dy", "dayofyear"},
                                                                              {"y", "dayofyear"},
                                                                              {"day", "day"},
                                                                              {"dd", "day"},
                                                                              {"d", "day"},
                                                                              {"week", "week"},
                                                                              {"wk", "week"},
                                                                              {"ww", "week"},
                                                                              {"weekday", "weekday"},
                                                                              {"dw", "weekday"},
                                                                              {"hour", "hour"},
                                                                              {"hh", "hour"},
                                                                              {"minute", "minute"},
                                                                              {"mi", "minute"},
                                                                              {"n", "minute"},
                                                                              {"second", "second"},
                                                                              {"ss", "second"},
                                                                              {"s", "second"},
                                                                              {"millisecond", "millisecond"},
                                                                              {"ms", "millisecond"}};
    const std::string lw = asciiLower(written);
    for (const auto& [name, canonical] : parts) {
        if (lw == name) return std::string(canonical);
    }
    return {};
}

namespace {

std::string canonicalPart(const Node& n, const std::string& fn) {
    if (!n.group && (n.tok.kind == TokenKind::Word || n.tok.kind == TokenKind::String)) {
        if (std::string part = datePartName(n.tok.text); !part.empty()) return part;
    }
    unsupported(upper(fn) + " with the date part '" + (n.group ? std::string("(...)") : n.tok.text) + "'");
}

bool textTarget(std::string_view type) {
    const std::string_view base = type.substr(0, type.find('('));
    return base == "char" || base == "varchar" || base == "nchar" || base == "nvarchar" || base == "text" ||
           base == "ntext" || base == "character";
}

}  // namespace

std::string Rewriter::typeText(const Nodes& ns, std::size_t b, std::size_t e, const std::string& fn) {
    if (b >= e || ns[b].group || ns[b].tok.kind != TokenKind::Word)
        unsupported(fn + " without a target type");
    std::string lw = asciiLower(ns[b].tok.text);
    std::string typeText = lw;
    std::size_t i = b + 1;
    if (lw == "double" && i < e && ns[i].word("precision")) {
        typeText = "float";
        ++i;
    }
    if (!knownType(lw)) unsupported(fn + " to the type " + ns[b].tok.text);
    if (i < e && ns[i].group) {
        typeText += "(";
        bool first = true;
        for (const auto& k : ns[i].kids) {
            if (k.op(",")) {
                typeText += ",";
                continue;
            }
            if (k.group || (k.tok.kind != TokenKind::Number && !k.tok.isWord("max"))) {
                unsupported(fn + " with a type length that is not a number");
            }
            typeText += asciiLower(k.tok.text);
            first = false;
        }
        if (first) unsupported(fn + " with an empty type length");
        checkTypeLength(lw, typeText.substr(typeText.find('(') + 1), "type '" + lw + "'");
        typeText += ")";
        ++i;
    }
    if (i != e) unsupported(fn + " with the type text '" + plain(ns, b, e) + "'");
    return typeText;
}

// CONVERT(type, x[, style]): only the styles tsql_convert writes and reads (function_dates.cpp).
std::string Rewriter::convertCall(const Call& c) {
    c.requireArgs(2, 3);
    const Nodes& a = c.a;
    std::string type = typeText(a, c.parts[0].first, c.parts[0].second, "CONVERT");
    std::string style = "null";
    if (c.parts.size() == 3) {
        const auto [sb, se] = c.parts[2];
        if (se != sb + 1 || a[sb].group || a[sb].tok.kind != TokenKind::Number) {
            unsupported("CONVERT with a style that is not a number");
        }
        style = a[sb].tok.text;
        if (!dateStyle(style)) unsupported("CONVERT style " + style);
    }
    std::string x = c.arg(1);
    // a date as text is yyyy-mm-dd unless a style says otherwise
    if (style == "null" && textTarget(type) && dateArgument(a, c.parts[1], x)) style = "23";
    // a time in a style: hh:mi:ss is its first eight characters
    if (style != "null" && textTarget(type) && timeArgument(a, c.parts[1], x)) {
        if (style != "8" && style != "108" && style != "24")
            unsupported("CONVERT style " + style + " of a time");
        x = "substr(" + x + ", 1, 8)";
        style = "null";
    }
    return "tsql_convert('" + type + "', " + x + ", " + style + ")";
}

// CAST(x AS type): the AS outside any CASE in x.
std::string Rewriter::castCall(const Nodes& a) {
    std::size_t as = a.size();
    int depth = 0;
    for (std::size_t k = 0; k < a.size(); ++k) {
        if (a[k].word("case")) ++depth;
        if (a[k].word("end")) --depth;
        if (depth == 0 && a[k].word("as")) as = k;
    }
    if (as == a.size()) unsupported("CAST without AS");
    std::string x = trimLead(seq(a, 0, as));
    const std::string type = typeText(a, as + 1, a.size(), "CAST");
    const bool date = textTarget(type) && dateArgument(a, {0, as}, x);
    return "tsql_convert('" + type + "', " + x + (date ? ", 23)" : ", null)");
}

// DATEPART, DATENAME, DATEADD and DATEDIFF with the date part named as tsql_* knows it.
std::string Rewriter::datePartCall(const std::string& fn, const Call& c) {
    const std::size_t args = fn == "datepart" || fn == "datename" ? 2 : 3;
    c.requireArgs(args, args);
    if (c.parts[0].second != c.parts[0].first + 1)
        unsupported(upper(fn) + " with a date part that is not a word");
    std::string part = canonicalPart(c.a[c.parts[0].first], fn);
    std::string text = "tsql_" + fn + "('" + part + "'";
    for (std::size_t k = 1; k < c.parts.size(); ++k) text += ", " + c.arg(k);
    return text + ")";
}

// DATALENGTH(x) counts bytes by x's type: the type a CONVERT or an N'' literal
// gives is passed on, and a column's name, whose declared type tsql_datalength
// reads from the schema.
std::string Rewriter::datalengthCall(const Call& c) {
    const auto [b, e] = c.parts[0];
    const Nodes& a = c.a;
    const std::string x = c.arg(0);
    std::string type, qualifier, column;
    if (e == b + 1 && !a[b].group && a[b].tok.kind == TokenKind::NString) {
        type = "nvarchar";
    } else if (e == b + 1 && a[b].isName()) {
        column = a[b].tok.text;
    } else if (e == b + 3 && a[b].isName() && a[b + 1].op(".") && a[b + 2].isName()) {
        qualifier = a[b].tok.text;
        column = a[b + 2].tok.text;
    } else if (x.starts_with("tsql_convert('")) {
        type = x.substr(14, x.find('\'', 14) - 14);
    } else if (x.starts_with("tsql_nchar(")) {
        type = "nvarchar";
    } else if (x.starts_with("tsql_getdate(") || x.starts_with("tsql_dateadd(")) {
        type = "datetime";
    }
    return "tsql_datalength(" + x + ", " + quoteString(type) + ", " + quoteString(qualifier) + ", " +
           quoteString(column) + ")";
}

// The declared type of an argument that is a bare column, [qualifier.]column.
NumType Rewriter::columnArgType(const Nodes& a, Span part) const {
    const auto [b, e] = part;
    if (scopes_.empty()) return {};
    if (e == b + 1 && a[b].isName()) return referenceType({}, a[b].tok.text);
    if (e == b + 3 && a[b].isName() && a[b + 1].op(".") && a[b + 2].isName())
        return referenceType(a[b].tok.text, a[b + 2].tok.text);
    return {};
}

Expr Rewriter::function(const Node& nameNode, const Node& args) {
    const std::string& name = nameNode.tok.text;
    std::string fn = asciiLower(name);
    const Nodes& a = args.kids;
    const Call c{*this, name, a, a.empty() ? std::vector<Span>{} : splitCommas(a, 0, a.size())};
    const auto& parts = c.parts;
    Expr r;
    r.empty = false;
    NumType typed;  // the type a function keeps: of a sum of int or bigint, of isnull, min and max
    if (numberFunction(fn, c, r) || dateFunction(fn, c, r) || textFunction(fn, c, r) ||
        systemFunction(fn, c, r) || logicFunction(fn, c, r)) {
        // rendered and typed by its theme
    } else if (fn == "getdate") {
        c.requireArgs(0, 0);
        r.text = "tsql_getdate()";
        r.type = "datetime";
    } else if (fn == "convert") {
        r.text = convertCall(c);
    } else if (fn == "cast") {
        r.text = castCall(a);
    } else if (fn == "left" || fn == "right" || fn == "len" || fn == "substring" || fn == "charindex" ||
               fn == "replace") {
        if (fn == "left" || fn == "right") c.requireArgs(2, 2);
        if (fn == "len") c.requireArgs(1, 1);
        if (fn == "substring" || fn == "replace") c.requireArgs(3, 3);
        if (fn == "charindex") c.requireArgs(2, 3);
        r.text = c.forward("tsql_" + fn);
    } else if (fn == "char" || fn == "nchar" || fn == "ascii" || fn == "unicode") {
        c.requireArgs(1, 1);
        r.text = c.forward("tsql_" + fn);
    } else if (fn == "datalength") {
        c.requireArgs(1, 1);
        r.text = datalengthCall(c);
    } else if (fn == "palvo_udf") {
        // a user function whose body runs through the batch engine (batch_functions.cpp)
        r.text = c.forward("tsql_udf");
    } else if (fn == "scope_identity") {
        // the identity an INSERT made earlier in the same batch
        c.requireArgs(0, 0);
        r.text = "tsql_scope_identity()";
    } else if (fn == "error_number" || fn == "error_severity" || fn == "error_state" || fn == "error_line" ||
               fn == "xact_state") {
        // the error the CATCH block running handles (Null outside one), the transaction's state
        c.requireArgs(0, 0);
        r.text = "tsql_" + fn + "()";
        r.num = columnNumType(fn == "xact_state" ? "smallint" : "int");
        r.integer = true;
    } else if (fn == "error_message" || fn == "error_procedure") {
        c.requireArgs(0, 0);
        r.text = "tsql_" + fn + "()";
        r.unicode = true;
        r.type = fn == "error_message" ? "nvarchar(4000)" : "nvarchar(128)";
    } else if (fn == "ident_current") {
        c.requireArgs(1, 1);
        r.text = c.forward("tsql_ident_current");
    } else if (fn == "year" || fn == "month" || fn == "day") {
        c.requireArgs(1, 1);
        r.text = "tsql_datepart('" + fn + "', " + c.arg(0) + ")";
    } else if (fn == "datepart" || fn == "dateadd" || fn == "datediff") {
        r.text = datePartCall(fn, c);
    } else if (fn == "object_name") {
        c.requireArgs(1, 1);
        r.text = "(tsql_object_name(" + c.arg(0) + ") collate nocase)";
        r.collated = true;
    } else if (fn == "type_name") {
        c.requireArgs(1, 1);
        r.text = c.forward("tsql_" + fn);
    } else if (fn == "count" || fn == "sum" || fn == "avg" || fn == "min" || fn == "max" || fn == "abs" ||
               fn == "upper" || fn == "lower" || fn == "ltrim" || fn == "rtrim" || fn == "round" ||
               fn.rfind("tsql_", 0) == 0) {
        if ((fn == "ltrim" || fn == "rtrim" || fn == "upper" || fn == "lower" || fn == "abs") &&
            parts.size() != 1) {
            c.requireArgs(1, 1);
        }
        if (fn == "round" && parts.size() != 2) unsupported("ROUND with other than two arguments");
        // sum and avg add decimals exactly; avg of integers is an integer
        std::size_t k = 0;
        const bool sum = fn == "sum" || fn == "avg";
        const bool extreme = fn == "min" || fn == "max";
        const Expr x = (sum || extreme || fn == "abs") && plainExpression(a)
                           ? (Nesting(depth_), expr(a, k, a.size(), 1))
                           : Expr{};
        // min and max of a column held as digits give its digits (text)
        r.digitText = extreme && k == a.size() && x.column && x.digitText;
        const bool whole = k == a.size() && (x.num.kind == 'i' || x.num.kind == 'b');
        if (extreme && k == a.size() && k > 0) {
            // the smallest or largest of its values, of their type
            r.text = name + "(" + (x.space ? " " : "") + x.text + (args.closeSpace ? " )" : ")");
            typed = x.num;
            if (!typed.kind) r.type = x.type;
        } else if (fn == "abs" && k == a.size() && x.digitText) {
            // SQLite's abs would make a double of the digits
            r.text = "tsql_abs(" + x.text + ", 'decimal')";
            typed = x.num;
        } else if (!sum && !(fn == "abs" && whole)) {
            r.text = name + group(args);
        } else if (fn == "abs") {
            // of int or bigint: the lowest value has no opposite in its type, and the type stays
            const char* type = x.num.kind == 'b'     ? "bigint"
                               : x.num.narrow == 't' ? "tinyint"
                               : x.num.narrow == 's' ? "smallint"
                                                     : "int";
            r.text = "tsql_abs(" + x.text + ", '" + type + "')";
            typed = x.num;
        } else if (k == a.size() && (x.num.kind == 'd' || x.num.kind == 'm')) {
            // of a decimal: decimal(38, s), an average with at least 6 decimals; of money: money
            r.num = x.num.kind == 'm'
                        ? NumType{'m', 19, 4}
                        : NumType{'d', 38, fn == "avg" ? std::max(6, x.num.scale) : x.num.scale};
            r.text = "tsql_" + fn + "(" + x.text + ", " + std::to_string(r.num.scale) + ")";
        } else if (k == a.size() && x.num.kind == 'i') {
            // an int sum overflows as int's does (tinyint and smallint add up as int)
            typed = {'i', 10, 0};
            r.text = "tsql_" + fn + "(" + x.text + ", 'int')";
        } else if (k == a.size() && k > 0) {
            if (x.num.kind == 'b') typed = {'b', 19, 0};
            r.text = "tsql_" + fn + "(" + (x.space ? " " : "") + x.text + (args.closeSpace ? " )" : ")");
        } else {
            r.text = (fn == "sum" || fn == "avg" ? "tsql_" + fn : name) + group(args);
        }
    } else {
        unsupported("the function " + upper(name) + "()");
    }
    // what SQL Server types int, so that int arithmetic on it overflows as int's does
    r.integer = r.integer || r.num.kind == 'i' || fn == "len" || fn == "charindex" || fn == "ascii" ||
                fn == "unicode" || fn == "datalength" || fn == "datediff" || fn == "datepart" ||
                fn == "year" || fn == "month" || fn == "day" || fn == "count" ||
                r.text.starts_with("tsql_convert('int'") || r.text.starts_with("tsql_convert('smallint'") ||
                r.text.starts_with("tsql_convert('tinyint'");
    // a conversion to nchar or nvarchar, and nchar(), make Unicode text
    r.unicode = fn == "nchar" || r.text.starts_with("tsql_convert('nchar") ||
                r.text.starts_with("tsql_convert('nvarchar") || r.text.starts_with("tsql_convert('ntext");
    if (fn == "convert" || fn == "cast") {
        const auto b = r.text.find('\'') + 1;
        const std::string_view type = std::string_view(r.text).substr(b, r.text.find('\'', b) - b);
        r.num = numTypeOf(type);
        if (!r.num.kind) r.type = convertedType(type);
    } else if (r.integer && !r.num.kind) {
        r.num = {'i', 10, 0};
    }
    if (typed.kind) {
        r.num = typed;
        r.integer = typed.kind == 'i';
    }
    return r;
}

}  // namespace Palvo::dialect

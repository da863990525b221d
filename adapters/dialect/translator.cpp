// T-SQL to SQLite: the tokens are grouped by parentheses into a small tree,
// then each statement kind is rewritten clause by clause. Expressions are
// parsed with operator precedence so that '+' chains can become tsql_add
// calls; everything else keeps the spacing the caller wrote.
#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <optional>
#include <unordered_map>

#include "adapters/dialect/tokenizer.h"
#include "palvo/dialect.h"
#include "palvo/error.h"
#include "src/util/conversions.h"

namespace Palvo::dialect {

namespace {

struct Node {
    Token tok;                // for a group, the '(' token
    std::vector<Node> kids;   // the contents of a group
    bool group = false;
    bool closeSpace = false;  // whitespace before the closing ')'

    bool word(std::string_view lw) const { return !group && tok.isWord(lw); }
    bool op(std::string_view o) const { return !group && tok.isOp(o); }
    bool isName() const { return !group && (tok.kind == TokenKind::Word || tok.kind == TokenKind::Name); }
};
using Nodes = std::vector<Node>;

[[noreturn]] void unsupported(const std::string& construct) {
    throw Error(ErrorNumber::NotSupported, "Not supported by the embedded database: " + construct + ".");
}

std::string trimLead(std::string s) {
    if (!s.empty() && s[0] == ' ') s.erase(0, 1);
    return s;
}

std::string upper(std::string_view s) {
    std::string r(s);
    for (auto& c : r) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return r;
}

std::string quoteName(std::string_view name) {
    std::string r = "\"";
    for (char c : name) {
        r += c;
        if (c == '"') r += '"';
    }
    return r + "\"";
}

std::string quoteString(std::string_view value) { return "'" + util::sqlQuote(value) + "'"; }

std::string renderToken(const Token& t) {
    switch (t.kind) {
        case TokenKind::Name:
            return quoteName(t.text);
        case TokenKind::String:
        case TokenKind::NString:
            return quoteString(t.text);
        case TokenKind::Variable:
            unsupported("variable " + t.text + " (T-SQL batches)");
        case TokenKind::Operator:
            if (t.text == "!<") return ">=";
            if (t.text == "!>") return "<=";
            return t.text;
        default:
            if (t.kind == TokenKind::Word && !t.text.empty() && t.text[0] == '#') {
                unsupported("temporary table " + t.text);
            }
            return t.text;
    }
}

// Groups tokens by parentheses; drops a "dbo." owner prefix.
Nodes buildTree(std::vector<Token>& toks) {
    std::vector<Nodes> stack(1);
    std::vector<Token> opens;
    for (std::size_t i = 0; i < toks.size(); ++i) {
        Token& t = toks[i];
        if ((t.kind == TokenKind::Word || t.kind == TokenKind::Name) && equalsNoCase(t.text, "dbo") &&
            i + 2 < toks.size() && toks[i + 1].isOp(".") &&
            (toks[i + 2].kind == TokenKind::Word || toks[i + 2].kind == TokenKind::Name)) {
            toks[i + 2].spaceBefore = t.spaceBefore;
            ++i;
            continue;
        }
        if (t.isOp("(")) {
            opens.push_back(std::move(t));
            stack.emplace_back();
        } else if (t.isOp(")")) {
            if (opens.empty()) unsupported("unbalanced ')' at character " + std::to_string(t.offset + 1));
            Node g;
            g.group = true;
            g.tok = std::move(opens.back());
            opens.pop_back();
            g.kids = std::move(stack.back());
            g.closeSpace = t.spaceBefore;
            stack.pop_back();
            stack.back().push_back(std::move(g));
        } else {
            Node n;
            n.tok = std::move(t);
            stack.back().push_back(std::move(n));
        }
    }
    if (!opens.empty()) unsupported("unbalanced '(' at character " + std::to_string(opens.back().offset + 1));
    return std::move(stack[0]);
}

// Words that structure a statement; an expression never starts with one.
bool isClauseKeyword(std::string_view lw) {
    static const char* const words[] = {
        "select", "distinct", "all", "from", "where", "group", "by", "having", "order", "asc", "desc", "union",
        "except", "intersect", "join", "inner", "outer", "cross", "full", "on", "as", "and", "or", "not", "is",
        "in", "like", "escape", "between", "exists", "insert", "into", "values", "update", "set", "delete",
        "create", "table", "drop", "when", "then", "else", "end", "with", "collate", "primary", "key", "default",
        "references", "unique", "check", "constraint", "foreign", "limit", "offset", "index", "view", "top",
        "percent", "left", "right", "any", "some", "natural", "using", "if", "begin"};
    for (const char* w : words) {
        if (lw == w) return true;
    }
    return false;
}

struct Expr {
    std::string text;
    bool space = false;
    bool empty = true;
    bool column = false;  // a bare (possibly qualified) column reference
    bool number = false;  // a numeric literal, maybe signed
    bool string = false;  // a string literal
    std::string value;    // the string literal's value
    bool collated = false;  // carries its own collation
};

bool looksLikeDate(std::string_view s) {
    auto digit = [&](std::size_t i) { return i < s.size() && s[i] >= '0' && s[i] <= '9'; };
    if (s.size() == 8 && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; })) return true;
    return s.size() >= 8 && digit(0) && digit(1) && digit(2) && digit(3) && (s[4] == '-' || s[4] == '/') && digit(5);
}

std::string canonicalPart(const Node& n, const std::string& fn) {
    std::string p;
    if (!n.group && (n.tok.kind == TokenKind::Word || n.tok.kind == TokenKind::String)) p = asciiLower(n.tok.text);
    static const std::pair<const char*, const char*> parts[] = {
        {"year", "year"},       {"yy", "year"},        {"yyyy", "year"},   {"quarter", "quarter"},
        {"qq", "quarter"},      {"q", "quarter"},      {"month", "month"}, {"mm", "month"},
        {"m", "month"},         {"dayofyear", "dayofyear"}, {"dy", "dayofyear"}, {"y", "dayofyear"},
        {"day", "day"},         {"dd", "day"},         {"d", "day"},       {"week", "week"},
        {"wk", "week"},         {"ww", "week"},        {"weekday", "weekday"}, {"dw", "weekday"},
        {"hour", "hour"},       {"hh", "hour"},        {"minute", "minute"}, {"mi", "minute"},
        {"n", "minute"},        {"second", "second"},  {"ss", "second"},   {"s", "second"},
        {"millisecond", "millisecond"}, {"ms", "millisecond"}};
    for (const auto& [k, v] : parts) {
        if (p == k) return v;
    }
    unsupported(upper(fn) + " with the date part '" + (n.group ? std::string("(...)") : n.tok.text) + "'");
}

bool knownType(std::string_view lw) {
    static const char* const types[] = {
        "bigint", "int", "integer", "smallint", "tinyint", "bit", "decimal", "dec", "numeric", "money",
        "smallmoney", "float", "real", "double", "datetime", "smalldatetime", "date", "char", "character",
        "varchar", "nchar", "nvarchar", "text", "ntext", "binary", "varbinary", "image", "uniqueidentifier"};
    for (const char* t : types) {
        if (lw == t) return true;
    }
    return false;
}

bool isTextType(std::string_view lw) {
    return lw == "char" || lw == "character" || lw == "varchar" || lw == "nchar" || lw == "nvarchar" ||
           lw == "text" || lw == "ntext";
}

bool isDateType(std::string_view lw) { return lw == "datetime" || lw == "smalldatetime" || lw == "date"; }

// Text compares as SQL Server's Chinese_PRC_CI_AS: the embedded database (and
// its loadable extension) registers this collation (adapters/sqlite/collation.h).
constexpr std::string_view kTextCollation = "zh_ci_as";
const std::string kCollateText = " collate " + std::string(kTextCollation);

// The SQLite collation for a SQL Server one: case-sensitive and binary ones
// compare bytes (trailing blanks still ignored), the others as Chinese_PRC_CI_AS.
std::string sqliteCollation(std::string_view sqlServerName) {
    const std::string c = asciiLower(sqlServerName);
    const bool bytes = c.find("_cs") != std::string::npos || c.find("_bin") != std::string::npos ||
                       c == "binary" || c == "rtrim";
    return bytes ? "rtrim" : std::string(kTextCollation);
}

// An operand whose comparison would otherwise fall back to SQLite's byte order:
// neither a column (which brings its own collation) nor a number.
bool wantsTextCollation(const Expr& x) { return !x.empty && !x.column && !x.number && !x.collated; }

bool isIntegerType(std::string_view lw) {
    return lw == "int" || lw == "integer" || lw == "bigint" || lw == "smallint" || lw == "tinyint" ||
           lw == "numeric" || lw == "decimal";
}

// The numbers in a type's parentheses: "decimal(18, 2)" gives 18 and 2, "(-1)" is max.
long typeArg(const std::string& typeText, std::size_t index, long dflt) {
    auto p = typeText.find('(');
    for (std::size_t i = 0; p != std::string::npos; ++i) {
        if (i == index) return std::strtol(typeText.c_str() + p + 1, nullptr, 10);
        p = typeText.find(',', p + 1);
    }
    return dflt;
}

bool isExactWithFraction(std::string_view lw, const std::string& typeText) {
    return lw == "money" || lw == "smallmoney" ||
           ((lw == "decimal" || lw == "dec" || lw == "numeric") && typeArg(typeText, 1, 0) > 0);
}

// Decimals with a fraction are stored as doubles (SQLite's REAL affinity, named by
// " real" after the type name): their check keeps only doubles that read back as
// the same decimal, and a whole amount stays apart from an integer for avg.
std::string storedTypeText(std::string_view lw, const std::string& typeText) {
    if (!isExactWithFraction(lw, typeText)) return typeText;
    auto p = typeText.find('(');
    return p == std::string::npos ? typeText + " real" : typeText.substr(0, p) + " real" + typeText.substr(p);
}

// The conversion SQL Server applies to a value stored into a column of this type,
// as a call on `value`; "" when the type needs none here.
std::string valueCheck(std::string_view lw, const std::string& typeText, const std::string& value) {
    if (lw == "tinyint" || lw == "smallint" || lw == "int" || lw == "integer" || lw == "bigint") {
        return "tsql_check_int(" + value + ", '" + std::string(lw == "integer" ? "int" : lw) + "')";
    }
    if (lw == "decimal" || lw == "dec" || lw == "numeric") {
        return "tsql_check_decimal(" + value + ", " + std::to_string(typeArg(typeText, 0, 18)) + ", " +
               std::to_string(typeArg(typeText, 1, 0)) + ")";
    }
    if (lw == "money") return "tsql_check_decimal(" + value + ", 19, 4)";
    if (lw == "smallmoney") return "tsql_check_decimal(" + value + ", 10, 4)";
    if (lw == "char" || lw == "character" || lw == "varchar" || lw == "nchar" || lw == "nvarchar") {
        const long n = typeArg(typeText, 0, 1);
        if (n < 0) return "";
        return "tsql_check_text(" + value + ", " + std::to_string(n) + ", " + (lw[0] == 'n' ? "1" : "0") + ")";
    }
    return "";
}

struct ValueCheck {
    std::string column;  // as written
    std::string quoted;
    std::string check;
};

// Triggers that pass every new or changed value of the checked columns through its
// check: a value the type cannot hold fails the statement, which then changes nothing.
void appendValueChecks(Translation& tr, const std::string& tableName, const std::vector<ValueCheck>& checks,
                       const std::string& suffix) {
    if (checks.empty()) return;
    const std::string table = quoteName(tableName);
    std::string sets, when, cols;
    for (const auto& c : checks) {
        sets += (sets.empty() ? "" : ", ") + c.quoted + " = " + c.check;
        // texts compare byte for byte here: the column's collation ignores the trailing
        // blanks the check drops
        const bool text = c.check.starts_with("tsql_check_text(");
        when += (when.empty() ? "new." : " or new.") + c.quoted + " is not " + c.check + (text ? " collate binary" : "");
        cols += (cols.empty() ? "" : ", ") + c.quoted;
    }
    const std::string body =
        " for each row when " + when + " begin update " + table + " set " + sets + " where rowid = new.rowid; end";
    tr.statements.push_back("create trigger " + quoteName(tableName + "__check" + suffix + "_insert") +
                            " after insert on " + table + body);
    tr.statements.push_back("create trigger " + quoteName(tableName + "__check" + suffix + "_update") +
                            " after update of " + cols + " on " + table + body);
}

class Rewriter {
public:
    Translation statement(Nodes& ns);

private:
    // ---- output helpers
    static void put(std::string& out, const std::string& text, bool space) {
        if (space) out += ' ';
        out += text;
    }
    static void put(std::string& out, const Node& n) { put(out, renderToken(n.tok), n.tok.spaceBefore); }

    std::string group(const Node& g) {
        std::string inner = seq(g.kids, 0, g.kids.size());
        return "(" + inner + (g.closeSpace ? " )" : ")");
    }

    // Renders tokens without rewriting (names, literals, nested groups).
    std::string plain(const Nodes& ns, std::size_t b, std::size_t e) {
        std::string out;
        for (std::size_t i = b; i < e; ++i) {
            if (ns[i].group) {
                std::string inner = plain(ns[i].kids, 0, ns[i].kids.size());
                inner.insert(inner.begin(), '(');
                inner.push_back(')');
                put(out, inner, ns[i].tok.spaceBefore);
            } else {
                put(out, ns[i]);
            }
        }
        return out;
    }

    std::string seq(const Nodes& ns, std::size_t b, std::size_t e);
    Expr expr(const Nodes& ns, std::size_t& i, std::size_t e, int minPrec);
    Expr unary(const Nodes& ns, std::size_t& i, std::size_t e);
    Expr primary(const Nodes& ns, std::size_t& i, std::size_t e);
    Expr function(const Node& nameNode, const Node& args);
    std::string simpleCaseOperand(const Nodes& ns, std::size_t& b, std::size_t e);
    std::vector<std::pair<std::size_t, std::size_t>> splitCommas(const Nodes& ns, std::size_t b, std::size_t e);
    std::string typeSpec(const Nodes& ns, std::size_t b, std::size_t e, const std::string& fn);

    std::string insertStatement(const Nodes& ns);
    std::string deleteStatement(const Nodes& ns);
    std::string updateStatement(const Nodes& ns);
    Translation createTable(const Nodes& ns);

    std::vector<ValueCheck> checks_;  // of the last createTable
};

std::vector<std::pair<std::size_t, std::size_t>> Rewriter::splitCommas(const Nodes& ns, std::size_t b,
                                                                        std::size_t e) {
    std::vector<std::pair<std::size_t, std::size_t>> parts;
    std::size_t start = b;
    for (std::size_t i = b; i < e; ++i) {
        if (ns[i].op(",")) {
            parts.emplace_back(start, i);
            start = i + 1;
        }
    }
    parts.emplace_back(start, e);
    return parts;
}

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

Expr Rewriter::expr(const Nodes& ns, std::size_t& i, std::size_t e, int minPrec) {
    Expr lhs = unary(ns, i, e);
    if (lhs.empty) return lhs;
    while (i < e) {
        const Node& opNode = ns[i];
        int prec = binaryPrecedence(opNode);
        if (prec == 0 || prec < minPrec) break;
        ++i;
        Expr rhs = expr(ns, i, e, prec + 1);
        if (rhs.empty) unsupported("an incomplete expression after '" + opNode.tok.text + "'");
        Expr r;
        r.empty = false;
        r.space = lhs.space;
        if (opNode.tok.text == "+" && !(lhs.number && rhs.number)) {
            // T-SQL '+' concatenates text and adds numbers: decided per value at run time.
            r.text = "tsql_add(" + lhs.text + ", " + rhs.text + ")";
        } else {
            if (prec == 1) {
                // A date literal compared with a column: compare as dates when the column holds dates.
                if (lhs.column && rhs.string && looksLikeDate(rhs.value)) {
                    rhs.text = "tsql_datelit(" + lhs.text + ", " + rhs.text + ")";
                } else if (rhs.column && lhs.string && looksLikeDate(lhs.value)) {
                    lhs.text = "tsql_datelit(" + rhs.text + ", " + lhs.text + ")";
                }
                if (wantsTextCollation(lhs) && wantsTextCollation(rhs) && !(i < e && ns[i].word("collate"))) {
                    lhs.text += kCollateText;
                }
            }
            r.text = lhs.text;
            put(r.text, renderToken(opNode.tok), opNode.tok.spaceBefore);
            put(r.text, rhs.text, rhs.space);
        }
        lhs = std::move(r);
    }
    return lhs;
}

Expr Rewriter::unary(const Nodes& ns, std::size_t& i, std::size_t e) {
    if (i < e && (ns[i].op("-") || ns[i].op("+") || ns[i].op("~"))) {
        const Node& o = ns[i++];
        Expr x = unary(ns, i, e);
        if (x.empty) unsupported("an incomplete expression after '" + o.tok.text + "'");
        Expr r;
        r.empty = false;
        r.space = o.tok.spaceBefore;
        r.number = x.number;
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
        r.text = group(n);
        r.empty = false;
        ++i;
        return r;
    }
    const Token& t = n.tok;
    switch (t.kind) {
        case TokenKind::String:
        case TokenKind::NString:
            r.text = quoteString(t.text);
            r.string = true;
            r.value = t.text;
            break;
        case TokenKind::Number:
            if (t.text.size() > 1 && (t.text[1] == 'x' || t.text[1] == 'X')) {
                // 0x0102 is binary in T-SQL; SQLite reads it as an integer.
                std::string hex = t.text.substr(2);
                if (hex.size() % 2) hex = "0" + hex;
                r.text = "X'" + hex + "'";
                break;
            }
            if (!readsExactly(t.text)) unsupported("the number " + t.text + " (more digits than a double keeps)");
            r.text = t.text;
            r.number = true;
            break;
        case TokenKind::Parameter:
            r.text = "?";
            break;
        case TokenKind::Variable:
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
                if (lw == "case") {
                    std::size_t depth = 1, j = i + 1;
                    for (; j < e; ++j) {
                        if (ns[j].word("case")) ++depth;
                        if (ns[j].word("end") && --depth == 0) break;
                    }
                    if (j >= e) unsupported("CASE without END");
                    std::size_t whens = i + 1;
                    r.text = t.text + simpleCaseOperand(ns, whens, j);
                    r.text += seq(ns, whens, j);
                    put(r.text, ns[j].tok.text, ns[j].tok.spaceBefore);
                    r.empty = false;
                    i = j + 1;
                    return r;
                }
                if (i + 1 < e && ns[i + 1].group && lw != "exists" && lw != "in" && lw != "values") {
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
            while (i + 2 < e + 1 && i + 1 < e && ns[i + 1].op(".") && i + 2 < e &&
                   (ns[i + 2].isName() || ns[i + 2].op("*"))) {
                r.text += "." + renderToken(ns[i + 2].tok);
                if (ns[i + 2].op("*")) r.column = false;
                i += 2;
            }
            break;
        }
    }
    r.empty = false;
    ++i;
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

std::string Rewriter::typeSpec(const Nodes& ns, std::size_t b, std::size_t e, const std::string& fn) {
    if (b >= e || ns[b].group || ns[b].tok.kind != TokenKind::Word) unsupported(fn + " without a target type");
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
        typeText += ")";
        ++i;
    }
    if (i != e) unsupported(fn + " with the type text '" + plain(ns, b, e) + "'");
    return typeText;
}

Expr Rewriter::function(const Node& nameNode, const Node& args) {
    const std::string& name = nameNode.tok.text;
    std::string fn = asciiLower(name);
    const Nodes& a = args.kids;
    auto parts = a.empty() ? std::vector<std::pair<std::size_t, std::size_t>>{} : splitCommas(a, 0, a.size());
    auto arg = [&](std::size_t k) { return trimLead(seq(a, parts[k].first, parts[k].second)); };
    auto requireArgs = [&](std::size_t lo, std::size_t hi) {
        if (parts.size() < lo || parts.size() > hi) {
            throw Error(ErrorNumber::Database, "The " + name + " function requires " + std::to_string(lo) +
                                                   (lo == hi ? "" : " to " + std::to_string(hi)) + " arguments.");
        }
    };
    auto call = [&](const std::string& target, std::size_t first = 0) {
        std::string s = target + "(";
        for (std::size_t k = first; k < parts.size(); ++k) s += (k > first ? ", " : "") + arg(k);
        return s + ")";
    };
    Expr r;
    r.empty = false;
    if (fn == "getdate") {
        requireArgs(0, 0);
        r.text = "tsql_getdate()";
    } else if (fn == "convert") {
        requireArgs(2, 3);
        std::string type = typeSpec(a, parts[0].first, parts[0].second, "CONVERT");
        std::string style = "null";
        if (parts.size() == 3) {
            const auto [sb, se] = parts[2];
            if (se != sb + 1 || a[sb].group || a[sb].tok.kind != TokenKind::Number) {
                unsupported("CONVERT with a style that is not a number");
            }
            style = a[sb].tok.text;
            static const char* const styles[] = {"0", "8", "108", "20", "120", "21", "121", "23", "112", "102", "111"};
            if (std::find(std::begin(styles), std::end(styles), style) == std::end(styles)) {
                unsupported("CONVERT style " + style);
            }
        }
        r.text = "tsql_convert('" + type + "', " + arg(1) + ", " + style + ")";
    } else if (fn == "cast") {
        std::size_t as = a.size();
        int depth = 0;
        for (std::size_t k = 0; k < a.size(); ++k) {
            if (a[k].word("case")) ++depth;
            if (a[k].word("end")) --depth;
            if (depth == 0 && a[k].word("as")) as = k;
        }
        if (as == a.size()) unsupported("CAST without AS");
        std::string x = trimLead(seq(a, 0, as));
        r.text = "tsql_convert('" + typeSpec(a, as + 1, a.size(), "CAST") + "', " + x + ", null)";
    } else if (fn == "left" || fn == "right" || fn == "len" || fn == "substring" || fn == "charindex" ||
               fn == "replace") {
        if (fn == "left" || fn == "right") requireArgs(2, 2);
        if (fn == "len") requireArgs(1, 1);
        if (fn == "substring" || fn == "replace") requireArgs(3, 3);
        if (fn == "charindex") requireArgs(2, 3);
        r.text = call("tsql_" + fn);
    } else if (fn == "isnull") {
        requireArgs(2, 2);
        r.text = call("ifnull");
    } else if (fn == "year" || fn == "month" || fn == "day") {
        requireArgs(1, 1);
        r.text = "tsql_datepart('" + fn + "', " + arg(0) + ")";
    } else if (fn == "datepart" || fn == "dateadd" || fn == "datediff") {
        requireArgs(fn == "datepart" ? 2 : 3, fn == "datepart" ? 2 : 3);
        if (parts[0].second != parts[0].first + 1) unsupported(upper(fn) + " with a date part that is not a word");
        std::string part = canonicalPart(a[parts[0].first], fn);
        r.text = "tsql_" + fn + "('" + part + "'";
        for (std::size_t k = 1; k < parts.size(); ++k) r.text += ", " + arg(k);
        r.text += ")";
    } else if (fn == "object_name") {
        requireArgs(1, 1);
        r.text = "(tsql_object_name(" + arg(0) + ") collate nocase)";
        r.collated = true;
    } else if (fn == "object_id" || fn == "type_name") {
        requireArgs(1, 1);
        r.text = call("tsql_" + fn);
    } else if (fn == "count" || fn == "sum" || fn == "avg" || fn == "min" || fn == "max" || fn == "abs" ||
               fn == "upper" || fn == "lower" || fn == "ltrim" || fn == "rtrim" || fn == "coalesce" ||
               fn == "nullif" || fn == "round" || fn.rfind("tsql_", 0) == 0) {
        if ((fn == "ltrim" || fn == "rtrim" || fn == "upper" || fn == "lower" || fn == "abs") && parts.size() != 1) {
            requireArgs(1, 1);
        }
        if (fn == "round" && parts.size() != 2) unsupported("ROUND with other than two arguments");
        // sum and avg add decimals exactly; avg of integers is an integer
        r.text = (fn == "sum" || fn == "avg" ? "tsql_" + fn : name) + group(args);
    } else {
        unsupported("the function " + upper(name) + "()");
    }
    return r;
}

std::string Rewriter::seq(const Nodes& ns, std::size_t b, std::size_t e) {
    std::string out;
    std::optional<std::string> limit;
    bool compound = false;
    bool selectSeen = false;
    Expr last;              // the previous expression, for BETWEEN with dates
    int betweenLeft = 0;    // BETWEEN operands still to come
    std::string betweenColumn;
    bool sortTerms = false;                // within ORDER BY or GROUP BY
    std::vector<std::string> textAliases;  // "expression as alias" where the expression is not a column
    for (std::size_t i = b; i < e;) {
        const Node& n = ns[i];
        if (!n.group && n.tok.kind == TokenKind::Word) {
            std::string lw = asciiLower(n.tok.text);
            if (lw == "select") {
                if (compound && limit) unsupported("TOP in a query combined with UNION");
                put(out, n);
                selectSeen = true;
                sortTerms = false;
                ++i;
                if (i < e && (ns[i].word("distinct") || ns[i].word("all"))) put(out, ns[i++]);
                if (i < e && ns[i].word("top")) {
                    ++i;
                    const Node* count = i < e ? &ns[i] : nullptr;
                    if (count && count->group && count->kids.size() == 1) count = &count->kids[0];
                    if (!count || count->group || count->tok.kind != TokenKind::Number ||
                        count->tok.text.find_first_not_of("0123456789") != std::string::npos) {
                        unsupported("TOP with anything but a whole number");
                    }
                    ++i;
                    if (i < e && ns[i].word("percent")) unsupported("TOP ... PERCENT");
                    if (i < e && ns[i].word("with")) unsupported("TOP ... WITH TIES");
                    if (compound) unsupported("TOP in a query combined with UNION");
                    limit = count->tok.text;
                }
                continue;
            }
            if (lw == "union" || lw == "except" || lw == "intersect") {
                if (limit) unsupported("TOP in a query combined with UNION");
                compound = true;
                sortTerms = false;
                put(out, n);
                ++i;
                continue;
            }
            if (lw == "into" && selectSeen) unsupported("SELECT ... INTO");
            if (lw == "with" && i + 1 < e && ns[i + 1].group && i > b) unsupported("table hints WITH (...)");
            if (lw == "collate" && i + 1 < e && ns[i + 1].isName()) {
                std::string c = asciiLower(ns[i + 1].tok.text);
                put(out, n);
                put(out, sqliteCollation(c), true);
                i += 2;
                last = Expr{};  // an explicit collation is not overridden
                continue;
            }
            if (lw == "between" && last.column) {
                betweenLeft = 2;
                betweenColumn = last.text;
            }
            if ((lw == "in" || lw == "between" ||
                 (lw == "not" && i + 1 < e && (ns[i + 1].word("in") || ns[i + 1].word("between")))) &&
                wantsTextCollation(last)) {
                out += kCollateText;  // the left operand decides the collation of IN and BETWEEN
            }
            if (lw == "as" && wantsTextCollation(last) && i + 1 < e && ns[i + 1].isName()) {
                textAliases.push_back(asciiLower(ns[i + 1].tok.text));
            }
            if (isClauseKeyword(lw) && !((lw == "left" || lw == "right") && i + 1 < e && ns[i + 1].group)) {
                put(out, n);
                ++i;
                if (lw != "and") betweenLeft = lw == "between" ? betweenLeft : 0;
                last = Expr{};
                sortTerms = lw == "by" ? i >= b + 2 && (ns[i - 2].word("order") || ns[i - 2].word("group"))
                                       : sortTerms && (lw == "asc" || lw == "desc");
                continue;
            }
        } else if (!n.group && (n.op(",") || n.op(";"))) {
            put(out, n);
            ++i;
            last = Expr{};
            betweenLeft = 0;
            continue;
        }
        std::size_t before = i;
        Expr x = expr(ns, i, e, 1);
        if (x.empty || i == before) {
            unsupported("the text '" + plain(ns, i, std::min(e, i + 3)) + "'");
        }
        if (betweenLeft > 0) {
            if (x.string && looksLikeDate(x.value)) x.text = "tsql_datelit(" + betweenColumn + ", " + x.text + ")";
            --betweenLeft;
        }
        if (sortTerms && !(i < e && ns[i].word("collate"))) {
            // A sort key that is an expression, or the alias of one, sorts as text columns do.
            const bool alias = x.column && i == before + 1 &&
                               std::find(textAliases.begin(), textAliases.end(), asciiLower(ns[before].tok.text)) !=
                                   textAliases.end();
            if (wantsTextCollation(x) || alias) x.text += kCollateText;
        }
        put(out, x.text, x.space);
        last = std::move(x);
    }
    if (limit) out += " limit " + *limit;
    return out;
}

// INSERT [INTO] target [(columns)] VALUES/SELECT ...
std::string Rewriter::insertStatement(const Nodes& ns) {
    std::size_t i = 1;
    std::string out = renderToken(ns[0].tok) + " ";
    if (i < ns.size() && ns[i].word("into")) {
        out += renderToken(ns[i].tok);
        ++i;
    } else {
        out += "into";
    }
    if (i >= ns.size() || !ns[i].isName()) unsupported("INSERT without a table name");
    put(out, ns[i]);
    ++i;
    if (i < ns.size() && ns[i].group) {
        put(out, "(" + plain(ns[i].kids, 0, ns[i].kids.size()) + ")", ns[i].tok.spaceBefore);
        ++i;
    }
    if (i < ns.size() && (ns[i].word("exec") || ns[i].word("execute"))) unsupported("INSERT ... EXEC");
    put(out, seq(ns, i, ns.size()), false);
    return out;
}

// DELETE [FROM] target [WHERE ...]
std::string Rewriter::deleteStatement(const Nodes& ns) {
    std::size_t i = 1;
    std::string out = renderToken(ns[0].tok);
    if (i < ns.size() && ns[i].word("top")) unsupported("DELETE TOP");
    if (i < ns.size() && ns[i].word("from")) {
        put(out, ns[i]);
        ++i;
    } else {
        out += " from";
    }
    for (std::size_t k = i; k < ns.size(); ++k) {
        if (ns[k].word("from")) unsupported("DELETE with a second FROM (a join)");
    }
    put(out, seq(ns, i, ns.size()), false);
    return out;
}

// UPDATE target SET ... [FROM ...] [WHERE ...]. SQLite's UPDATE ... FROM must not
// name the target again, so the target's entry in FROM is taken out and its
// join condition moves into WHERE.
std::string Rewriter::updateStatement(const Nodes& ns) {
    const std::size_t n = ns.size();
    std::size_t setAt = n, fromAt = n, whereAt = n;
    for (std::size_t k = 1; k < n; ++k) {
        if (setAt == n && ns[k].word("set")) setAt = k;
        else if (setAt != n && fromAt == n && whereAt == n && ns[k].word("from")) fromAt = k;
        else if (setAt != n && whereAt == n && ns[k].word("where")) whereAt = k;
    }
    if (n > 1 && ns[1].word("top")) unsupported("UPDATE TOP");
    if (setAt == n) unsupported("UPDATE without SET");
    if (setAt != 2 || !ns[1].isName()) {
        if (setAt > 1 && ns[1].isName() && setAt == 4 && ns[2].op(".") && ns[3].isName()) {
            // owner.table: keep as written
        } else {
            unsupported("UPDATE of '" + plain(ns, 1, setAt) + "'");
        }
    }
    std::string target = asciiLower(ns[setAt - 1].tok.text);
    std::string targetText = plain(ns, 1, setAt);

    // SET a = x, t.b = y: SQLite wants bare column names on the left.
    std::size_t setEnd = std::min(fromAt, whereAt);
    std::string assigns;
    for (auto [ab, ae] : splitCommas(ns, setAt + 1, setEnd)) {
        std::size_t eq = ab;
        while (eq < ae && !ns[eq].op("=")) ++eq;
        if (eq == ae || eq == ab) unsupported("SET without '=' in UPDATE");
        std::string piece = renderToken(ns[eq - 1].tok);
        if (!ns[eq - 1].isName()) unsupported("SET of '" + plain(ns, ab, eq) + "'");
        if (!assigns.empty()) assigns += ",";
        put(assigns, piece, ns[ab].tok.spaceBefore || assigns.size() > 1);
        put(assigns, "=", ns[eq].tok.spaceBefore);
        std::size_t k = eq + 1;
        std::string rhs = seq(ns, k, ae);
        assigns += rhs;
    }
    if (!assigns.empty() && assigns[0] == ' ') assigns.erase(0, 1);

    std::vector<std::string> conditions;
    std::string fromText;
    std::string alias;
    if (fromAt != n) {
        struct Source {
            std::size_t b = 0, e = 0;          // the table factor with its alias
            std::size_t joinB = 0;             // where its join words start (== b when none)
            std::string join;                  // "", "inner", "left", "right", "full", "cross", ","
            std::size_t condB = 0, condE = 0;  // ON condition
            std::string name, alias;
        };
        std::vector<Source> sources;
        std::size_t k = fromAt + 1;
        const std::size_t fe = whereAt;
        while (k < fe) {
            Source s;
            s.joinB = k;
            if (!sources.empty()) {
                if (ns[k].op(",")) {
                    s.join = ",";
                    ++k;
                } else {
                    std::string kind = "inner";
                    if (ns[k].word("inner")) ++k;
                    else if (ns[k].word("left") || ns[k].word("right") || ns[k].word("full")) {
                        kind = asciiLower(ns[k].tok.text);
                        ++k;
                        if (k < fe && ns[k].word("outer")) ++k;
                    } else if (ns[k].word("cross")) {
                        kind = "cross";
                        ++k;
                    }
                    if (k >= fe || !ns[k].word("join")) unsupported("the FROM clause of UPDATE near '" + plain(ns, k, std::min(fe, k + 3)) + "'");
                    ++k;
                    s.join = kind;
                }
            }
            s.b = k;
            if (k >= fe) unsupported("UPDATE ... FROM ending without a table");
            if (ns[k].group) {
                ++k;
            } else if (ns[k].isName()) {
                s.name = asciiLower(ns[k].tok.text);
                ++k;
                while (k + 1 < fe && ns[k].op(".") && ns[k + 1].isName()) {
                    s.name = asciiLower(ns[k + 1].tok.text);
                    k += 2;
                }
            } else {
                unsupported("the FROM clause of UPDATE near '" + plain(ns, k, std::min(fe, k + 3)) + "'");
            }
            if (k < fe && ns[k].word("as")) ++k;
            if (k < fe && ns[k].isName() && !(ns[k].tok.kind == TokenKind::Word && isClauseKeyword(asciiLower(ns[k].tok.text)))) {
                s.alias = asciiLower(ns[k].tok.text);
                ++k;
            }
            s.e = k;
            if (k < fe && ns[k].word("on")) {
                s.condB = ++k;
                while (k < fe && !ns[k].op(",") && !ns[k].word("join") && !ns[k].word("inner") &&
                       !ns[k].word("left") && !ns[k].word("right") && !ns[k].word("full") && !ns[k].word("cross")) {
                    ++k;
                }
                s.condE = k;
            }
            sources.push_back(std::move(s));
        }
        std::size_t hit = sources.size();
        for (std::size_t s = 0; s < sources.size() && hit == sources.size(); ++s) {
            if (sources[s].alias == target) hit = s;
        }
        for (std::size_t s = 0; s < sources.size() && hit == sources.size(); ++s) {
            if (sources[s].name == target) hit = s;
        }
        std::vector<bool> keep(sources.size(), true);
        if (hit != sources.size()) {
            Source& t = sources[hit];
            if (t.join == "left" || t.join == "right" || t.join == "full" ||
                (hit == 0 && sources.size() > 1 &&
                 (sources[1].join == "left" || sources[1].join == "right" || sources[1].join == "full"))) {
                unsupported("UPDATE ... FROM with an outer join on the updated table");
            }
            if (ns[t.b].group) unsupported("UPDATE of a derived table");
            targetText = plain(ns, t.b, t.b + 1);
            if (!t.alias.empty() && t.alias != target) {
                unsupported("UPDATE naming the table " + target + " whose FROM entry has the alias " + t.alias);
            }
            if (!t.alias.empty()) {
                targetText = plain(ns, t.b, t.e - 1 - (ns[t.e - 2].word("as") ? 1 : 0));
                alias = renderToken(ns[t.e - 1].tok);
            }
            keep[hit] = false;
            if (t.condB) conditions.push_back("(" + trimLead(seq(ns, t.condB, t.condE)) + ")");
            if (hit == 0 && sources.size() > 1) {
                Source& next = sources[1];
                if (next.condB) conditions.push_back("(" + trimLead(seq(ns, next.condB, next.condE)) + ")");
                next.join.clear();
                next.condB = next.condE = 0;
                next.joinB = next.b;
            }
        }
        bool first = true;
        for (std::size_t s = 0; s < sources.size(); ++s) {
            if (!keep[s]) continue;
            const Source& src = sources[s];
            std::size_t start = first ? src.b : src.joinB;
            if (first && (src.join == "," || !src.join.empty())) start = src.b;
            std::string piece = seq(ns, start, src.condB ? src.condB - 1 : src.e);
            if (src.condB) piece += " on" + seq(ns, src.condB, src.condE);
            fromText += piece;
            first = false;
        }
    }
    std::string out = "update " + (targetText[0] == ' ' ? targetText.substr(1) : targetText);
    if (!alias.empty()) out += " as " + alias;
    out += " set " + assigns;
    if (!fromText.empty()) out += " from" + (fromText[0] == ' ' ? fromText : " " + fromText);
    std::string where = whereAt != n ? seq(ns, whereAt + 1, n) : std::string();
    if (!conditions.empty() || !where.empty()) {
        out += " where ";
        std::string joined;
        for (const auto& c : conditions) joined += (joined.empty() ? "" : " and ") + c;
        if (!where.empty()) {
            if (!where.empty() && where[0] == ' ') where.erase(0, 1);
            joined += conditions.empty() ? where : " and (" + where + ")";
        }
        out += joined;
    }
    return out;
}

// CREATE TABLE with SQL Server column types. Declared types are kept (they
// drive the column metadata); text columns compare without regard to case;
// datetime columns get triggers that store every value in one text form.
Translation Rewriter::createTable(const Nodes& ns) {
    std::size_t i = 2;
    if (i >= ns.size() || !ns[i].isName()) unsupported("CREATE TABLE without a name");
    std::string tableName = ns[i].tok.text;
    if (!tableName.empty() && tableName[0] == '#') unsupported("temporary table " + tableName);
    std::string table = quoteName(tableName);
    ++i;
    if (i >= ns.size() || !ns[i].group) unsupported("CREATE TABLE without a column list");
    const Node& defs = ns[i];
    if (i + 1 != ns.size()) unsupported("CREATE TABLE options after the column list ('" + plain(ns, i + 1, ns.size()) + "')");
    const Nodes& d = defs.kids;
    auto parts = splitCommas(d, 0, d.size());

    bool identitySeen = false;
    for (auto [b, e] : parts) {
        for (std::size_t k = b; k < e; ++k) {
            if (d[k].word("identity")) identitySeen = true;
        }
    }
    std::vector<std::string> columns;
    std::vector<std::pair<std::string, std::string>> dateColumns;  // column, conversion
    checks_.clear();
    for (auto [b, e] : parts) {
        if (b == e) unsupported("an empty column definition in CREATE TABLE");
        std::string lw = d[b].isName() && d[b].tok.kind == TokenKind::Word ? asciiLower(d[b].tok.text) : "";
        if (lw == "constraint" || lw == "primary" || lw == "unique" || lw == "check" || lw == "foreign") {
            std::string c;
            for (std::size_t k = b; k < e; ++k) {
                if (d[k].word("clustered") || d[k].word("nonclustered")) continue;
                if (identitySeen && d[k].word("primary") && k + 1 < e && d[k + 1].word("key")) {
                    put(c, "unique", d[k].tok.spaceBefore);
                    ++k;
                    continue;
                }
                if (d[k].group) put(c, "(" + seq(d[k].kids, 0, d[k].kids.size()) + ")", d[k].tok.spaceBefore);
                else put(c, d[k]);
            }
            columns.push_back(c[0] == ' ' ? c.substr(1) : c);
            continue;
        }
        if (!d[b].isName()) unsupported("the column definition '" + plain(d, b, e) + "'");
        std::string colName = d[b].tok.text;
        std::size_t k = b + 1;
        if (k >= e || d[k].group || d[k].tok.kind != TokenKind::Word) unsupported("a column without a type: " + colName);
        std::string type = asciiLower(d[k].tok.text);
        std::string typeText = d[k].tok.text;
        ++k;
        if (type == "double" && k < e && d[k].word("precision")) {
            typeText += " " + d[k].tok.text;
            ++k;
        }
        if (!knownType(type)) unsupported("the column type " + typeText);
        if (k < e && d[k].group) {
            // (max) becomes (-1): SQLite type arguments are numbers; the metadata reads -1 as max.
            std::string args = plain(d[k].kids, 0, d[k].kids.size());
            if (equalsNoCase(args, "max")) args = "-1";
            typeText += "(" + args + ")";
            ++k;
        }
        std::string col = quoteName(colName);
        std::string tail;
        bool identity = false, explicitCollate = false;
        for (; k < e; ++k) {
            const Node& x = d[k];
            if (x.word("identity")) {
                identity = true;
                if (k + 1 < e && d[k + 1].group) {
                    std::string args = plain(d[k + 1].kids, 0, d[k + 1].kids.size());
                    if (args != "1,1" && args != "1, 1") unsupported("IDENTITY(" + args + ") (only seed 1, step 1)");
                    ++k;
                }
                continue;
            }
            if (x.word("clustered") || x.word("nonclustered")) continue;
            if (x.word("primary") && identity) {
                if (k + 1 < e && d[k + 1].word("key")) ++k;
                continue;
            }
            if (x.word("default")) {
                ++k;
                Expr v = expr(d, k, e, 1);
                if (v.empty) unsupported("DEFAULT without a value for column " + colName);
                --k;
                tail += " default (" + v.text + ")";
                continue;
            }
            if (x.word("collate") && k + 1 < e) {
                std::string c = asciiLower(d[k + 1].tok.text);
                tail += " collate " + sqliteCollation(c);
                explicitCollate = true;
                ++k;
                continue;
            }
            if (x.word("rowguidcol") || x.word("timestamp") || x.word("sparse") || x.word("filestream")) {
                unsupported("the column option " + upper(x.tok.text));
            }
            if (x.group) tail += " (" + seq(x.kids, 0, x.kids.size()) + ")";
            else tail += " " + renderToken(x.tok);
        }
        if (identity) {
            if (!isIntegerType(type)) unsupported("IDENTITY on a " + typeText + " column");
            std::string t;
            // "not null" is implied by the rowid alias.
            std::string cleaned = tail;
            for (const char* drop : {" not null", " NOT NULL", " Not Null"}) {
                if (auto p = cleaned.find(drop); p != std::string::npos) cleaned.erase(p, std::string(drop).size());
            }
            columns.push_back(col + " integer primary key autoincrement" + cleaned);
            continue;
        }
        if (isTextType(type) && !explicitCollate) tail = kCollateText + tail;
        if (isDateType(type)) dateColumns.emplace_back(col, type == "date" ? "tsql_date" : "tsql_datetime");
        if (auto check = valueCheck(type, typeText, "new." + col); !check.empty()) {
            checks_.push_back({colName, col, std::move(check)});
        }
        columns.push_back(col + " " + storedTypeText(type, typeText) + tail);
    }
    Translation tr;
    std::string create = "create table " + table + " (";
    for (std::size_t c = 0; c < columns.size(); ++c) create += (c ? ", " : "") + columns[c];
    create += ")";
    tr.statements.push_back(std::move(create));
    if (!dateColumns.empty()) {
        std::string sets, when, cols;
        for (const auto& [c, fn] : dateColumns) {
            sets += (sets.empty() ? "" : ", ") + c + " = " + fn + "(new." + c + ")";
            when += (when.empty() ? "" : " or ") + std::string("new.") + c + " is not " + fn + "(new." + c + ")";
            cols += (cols.empty() ? "" : ", ") + c;
        }
        std::string body = " for each row when " + when + " begin update " + table + " set " + sets +
                           " where rowid = new.rowid; end";
        tr.statements.push_back("create trigger " + quoteName(tableName + "__datetime_insert") + " after insert on " +
                                table + body);
        tr.statements.push_back("create trigger " + quoteName(tableName + "__datetime_update") + " after update of " +
                                cols + " on " + table + body);
    }
    appendValueChecks(tr, tableName, checks_, "");
    return tr;
}

Translation Rewriter::statement(Nodes& ns) {
    // One statement per call; a trailing ';' is allowed.
    while (!ns.empty() && ns.back().op(";")) ns.pop_back();
    for (const auto& n : ns) {
        if (n.op(";")) unsupported("several statements in one batch");
    }
    if (ns.empty()) throw Error(ErrorNumber::InvalidCall, "The statement is empty.");
    const Node& first = ns[0];
    std::string lw = first.isName() && first.tok.kind == TokenKind::Word ? asciiLower(first.tok.text) : "";
    Translation tr;
    if (lw == "select") {
        tr.statements.push_back(seq(ns, 0, ns.size()));
    } else if (lw == "with") {
        // WITH name [(columns)] AS (query) [, ...] then the statement
        std::string s = renderToken(first.tok);
        std::size_t i = 1;
        while (true) {
            if (i >= ns.size() || !ns[i].isName()) unsupported("this form of WITH");
            put(s, ns[i]);
            ++i;
            if (i < ns.size() && ns[i].group) {
                put(s, "(" + plain(ns[i].kids, 0, ns[i].kids.size()) + ")", ns[i].tok.spaceBefore);
                ++i;
            }
            if (i + 1 >= ns.size() || !ns[i].word("as") || !ns[i + 1].group) unsupported("this form of WITH");
            put(s, ns[i]);
            put(s, group(ns[i + 1]), ns[i + 1].tok.spaceBefore);
            i += 2;
            if (i < ns.size() && ns[i].op(",")) {
                put(s, ns[i++]);
                continue;
            }
            break;
        }
        tr.statements.push_back(s + seq(ns, i, ns.size()));
    } else if (lw == "insert") {
        tr.statements.push_back(insertStatement(ns));
    } else if (lw == "delete") {
        tr.statements.push_back(deleteStatement(ns));
    } else if (lw == "update") {
        tr.statements.push_back(updateStatement(ns));
    } else if (lw == "truncate") {
        if (ns.size() != 3 || !ns[1].word("table") || !ns[2].isName()) unsupported("this form of TRUNCATE");
        tr.statements.push_back("delete from " + renderToken(ns[2].tok));
    } else if (lw == "create" && ns.size() > 1 && ns[1].word("table")) {
        tr = createTable(ns);
    } else if (lw == "create" && ns.size() > 2 && ns[1].word("view")) {
        std::size_t as = 2;
        while (as < ns.size() && !ns[as].word("as")) ++as;
        if (as == ns.size()) unsupported("CREATE VIEW without AS");
        tr.statements.push_back(plain(ns, 0, as + 1) + seq(ns, as + 1, ns.size()));
    } else if (lw == "create" && ns.size() > 2 &&
               (ns[1].word("index") || ns[1].word("unique") || ns[1].word("clustered") || ns[1].word("nonclustered"))) {
        std::string s;
        for (std::size_t k = 0; k < ns.size(); ++k) {
            if (ns[k].word("clustered") || ns[k].word("nonclustered")) continue;
            put(s, ns[k].group ? "(" + plain(ns[k].kids, 0, ns[k].kids.size()) + ")" : renderToken(ns[k].tok),
                ns[k].tok.spaceBefore);
        }
        tr.statements.push_back(s.substr(s[0] == ' ' ? 1 : 0));
    } else if (lw == "drop" && ns.size() > 2 && (ns[1].word("table") || ns[1].word("view") || ns[1].word("index"))) {
        tr.statements.push_back(plain(ns, 0, ns.size()));
    } else if (lw == "alter" && ns.size() > 3 && ns[1].word("table") && ns[3].word("add")) {
        std::string s = plain(ns, 0, 4);
        if (ns.size() > 4 && ns[4].word("column")) unsupported("ALTER TABLE ... ADD COLUMN");
        // T-SQL: ALTER TABLE t ADD c type: rewrite the definition like CREATE TABLE does.
        Nodes fake;
        fake.push_back(ns[0]);
        fake.push_back(ns[1]);
        fake.push_back(ns[2]);
        Node g;
        g.group = true;
        g.kids.assign(ns.begin() + 4, ns.end());
        fake.push_back(std::move(g));
        Translation t = createTable(fake);
        if (t.statements.size() > (checks_.empty() ? 1u : 3u)) unsupported("ALTER TABLE ... ADD of a datetime column");
        const std::string& c = t.statements[0];
        std::string def = c.substr(c.find('(') + 1);
        def.pop_back();
        if (def.find(',') != std::string::npos && def.find("(") == std::string::npos) {
            unsupported("ALTER TABLE ... ADD of several columns");
        }
        tr.statements.push_back(s + " column " + def);
        // the new column's check gets triggers of its own: the table's cannot be extended
        if (!checks_.empty()) appendValueChecks(tr, ns[2].tok.text, checks_, "_" + checks_[0].column);
    } else if (lw == "if") {
        unsupported("IF ... (control flow)");
    } else if (lw == "begin") {
        unsupported("BEGIN ... END blocks and BEGIN TRAN (use the connection's transactions)");
    } else if (lw.empty()) {
        unsupported("a statement starting with '" + plain(ns, 0, 1) + "'");
    } else {
        unsupported("the statement " + upper(first.tok.text) + (ns.size() > 1 && ns[1].isName() ? " " + upper(ns[1].tok.text) : ""));
    }
    for (auto& s : tr.statements) s = trimLead(std::move(s));
    return tr;
}

}  // namespace

std::string Translation::joined() const {
    std::string r;
    for (const auto& s : statements) r += (r.empty() ? "" : ";\n") + s;
    return r;
}

namespace {

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
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) exp += std::strtol(std::string(s.substr(i + 1)).c_str(), nullptr, 10);
    while (!digits.empty() && digits.back() == '0') {
        digits.pop_back();
        ++exp;
    }
    if (digits.empty()) exp = 0;
    return {digits, exp};
}

}  // namespace

bool readsExactly(std::string_view number) {
    if (number.find_first_of(".eE") == std::string_view::npos) return true;  // whole: an integer, or beyond bigint
    std::size_t digits = 0;
    for (char c : number) {
        if (c == 'e' || c == 'E') break;
        digits += c >= '0' && c <= '9';
    }
    if (digits <= 15) return true;
    const double d = std::strtod(std::string(number).c_str(), nullptr);
    char buf[32];
    auto r = std::to_chars(buf, buf + sizeof buf, d);
    return significand(number) == significand(std::string_view(buf, static_cast<std::size_t>(r.ptr - buf)));
}

Translation translateUncached(std::string_view tsql) {
    auto toks = tokenize(tsql);
    Nodes tree = buildTree(toks);
    Rewriter rw;
    return rw.statement(tree);
}

struct Translator::Cache {
    std::size_t capacity;
    mutable std::mutex mutex;
    std::unordered_map<std::string, std::shared_ptr<const Translation>> map;
    std::deque<std::string> order;  // oldest first
};

Translator::Translator(std::size_t capacity) : cache_(std::make_unique<Cache>()) { cache_->capacity = capacity; }
Translator::~Translator() = default;

std::shared_ptr<const Translation> Translator::translateStatements(std::string_view tsql) {
    std::string key(tsql);
    {
        std::lock_guard lock(cache_->mutex);
        if (auto it = cache_->map.find(key); it != cache_->map.end()) return it->second;
    }
    auto result = std::make_shared<const Translation>(translateUncached(tsql));
    if (cache_->capacity == 0) return result;
    std::lock_guard lock(cache_->mutex);
    if (cache_->map.emplace(key, result).second) {
        cache_->order.push_back(std::move(key));
        while (cache_->order.size() > cache_->capacity) {
            cache_->map.erase(cache_->order.front());
            cache_->order.pop_front();
        }
    }
    return result;
}

std::string Translator::translate(std::string_view tsql) { return translateStatements(tsql)->joined(); }

std::size_t Translator::cachedCount() const {
    std::lock_guard lock(cache_->mutex);
    return cache_->map.size();
}

void Translator::clearCache() {
    std::lock_guard lock(cache_->mutex);
    cache_->map.clear();
    cache_->order.clear();
}

}  // namespace Palvo::dialect

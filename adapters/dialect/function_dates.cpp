// Calls of date functions and FORMAT: DATENAME, EOMONTH, DATEFROMPARTS, ISDATE,
// SYSDATETIME, FORMAT; the styles CONVERT knows; the date type of an expression.
#include <algorithm>
#include <cstdlib>
#include <optional>

#include "rewriter.h"

namespace Palvo::dialect {

namespace {

bool isDigits(std::string_view s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The literal text of an argument that is one string, else nullopt.
std::optional<std::string> literal(const Nodes& a, Span part) {
    const auto [b, e] = part;
    if (e != b + 1 || a[b].group ||
        (a[b].tok.kind != TokenKind::String && a[b].tok.kind != TokenKind::NString))
        return std::nullopt;
    return a[b].tok.text;
}

// The patterns tsql_format writes: N, F, P with up to two digits of decimals, d and
// D; a date pattern of .NET's custom letters (y M d H h m s f t) and literal text;
// a number pattern of 0 # , . with literal text (and %) before and after.
bool formatPattern(std::string_view p) {
    if (p.empty() || p.find(';') != std::string_view::npos) return false;
    const char kind = static_cast<char>(p[0] & ~0x20);
    // one letter is a standard pattern
    if (p.size() == 1 && (kind >= 'A' && kind <= 'Z'))
        return p == "d" || p == "D" || kind == 'N' || kind == 'F' || kind == 'P';
    if ((kind == 'N' || kind == 'F' || kind == 'P') && p.size() <= 3 && isDigits(p.substr(1))) return true;
    const auto first = p.find_first_of("0#."), last = p.find_last_of("0#.");
    if (p.find_first_of("0#") != std::string_view::npos) {
        const std::string_view body = p.substr(first, last - first + 1);
        const std::string_view lits[] = {p.substr(0, first), p.substr(last + 1)};
        const auto dot = body.find('.');
        const std::string_view whole = body.substr(0, dot);
        return body.find_first_not_of("0#,.") == std::string_view::npos && dot == body.rfind('.') &&
               (whole.empty() || whole.back() != ',') &&
               (dot == std::string_view::npos || body.find(',', dot) == std::string_view::npos) &&
               std::none_of(std::begin(lits), std::end(lits), [](std::string_view l) {
                   return l.find_first_of("0#,.\\'\"Ee") != std::string_view::npos ||
                          std::any_of(l.begin(), l.end(),
                                      [](char c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; });
               });
    }
    bool quoted = false;
    char quote = 0;
    bool anyPart = false;
    for (std::size_t i = 0; i < p.size(); ++i) {
        const char c = p[i];
        if (quoted) {
            quoted = c != quote;
            continue;
        }
        if (c == '\'' || c == '"') {
            quoted = true;
            quote = c;
        } else if (c == '\\') {
            ++i;
        } else if (std::string_view("yMdHhmsft").find(c) != std::string_view::npos) {
            anyPart = true;
            if (c == 'f' && std::min(p.find_first_not_of('f', i), p.size()) - i > 7) return false;
        } else if (c == '%' || std::string_view("gzKF").find(c) != std::string_view::npos) {
            return false;
        }
    }
    return anyPart && !quoted;
}

}  // namespace

bool Rewriter::dateStyle(const std::string& style) {
    if (!isDigits(style) || style.size() > 3) return false;
    const int n = std::atoi(style.c_str());
    return n <= 14 || (n >= 20 && n <= 25) || (n >= 100 && n <= 114) || n == 120 || n == 121 || n == 126 ||
           n == 127;
}

bool looksLikeTime(std::string_view s) {
    auto digit = [&](std::size_t i) { return i < s.size() && s[i] >= '0' && s[i] <= '9'; };
    return digit(0) && digit(1) && s.size() >= 5 && s[2] == ':' && digit(3) && digit(4);
}

std::string dateTypeOf(std::string_view text) {
    if (!text.starts_with("tsql_")) return "";
    constexpr std::string_view convert = "tsql_convert('";
    if (text.starts_with(convert)) {
        const std::string_view type =
            text.substr(convert.size(), text.find('\'', convert.size()) - convert.size());
        return type == "date" || type == "datetime" || type == "smalldatetime" || type.starts_with("time")
                   ? std::string(type)
                   : "";
    }
    if (text.starts_with("tsql_eomonth(") || text.starts_with("tsql_datefromparts(")) return "date";
    if (text.starts_with("tsql_getdate(") || text.starts_with("tsql_dateadd(")) return "datetime";
    return "";
}

bool Rewriter::dateArgument(const Nodes& a, Span part, std::string_view rendered) const {
    if (dateTypeOf(rendered) == "date") return true;
    const auto [b, e] = part;
    const std::string* declared = nullptr;
    if (scopes_.empty()) return false;
    if (e == b + 1 && a[b].isName()) declared = declaredType({}, a[b].tok.text);
    if (e == b + 3 && a[b].isName() && a[b + 1].op(".") && a[b + 2].isName())
        declared = declaredType(a[b].tok.text, a[b + 2].tok.text);
    return declared && asciiLower(*declared) == "date";
}

bool Rewriter::timeArgument(const Nodes& a, Span part, std::string_view rendered) const {
    if (dateTypeOf(rendered).starts_with("time")) return true;
    const auto [b, e] = part;
    const std::string* declared = nullptr;
    if (scopes_.empty()) return false;
    if (e == b + 1 && a[b].isName()) declared = declaredType({}, a[b].tok.text);
    if (e == b + 3 && a[b].isName() && a[b + 1].op(".") && a[b + 2].isName())
        declared = declaredType(a[b].tok.text, a[b + 2].tok.text);
    return declared && asciiLower(*declared).starts_with("time");
}

bool Rewriter::dateFunction(const std::string& fn, const Call& c, Expr& r) {
    if (fn == "datename") {
        r.text = datePartCall(fn, c);
    } else if (fn == "eomonth") {
        c.requireArgs(1, 2);
        r.text = c.forward("tsql_eomonth");
    } else if (fn == "datefromparts") {
        c.requireArgs(3, 3);
        r.text = c.forward("tsql_datefromparts");
    } else if (fn == "isdate") {
        c.requireArgs(1, 1);
        r.text = c.forward("tsql_isdate");
        r.integer = true;
        r.num = {'i', 10, 0};
    } else if (fn == "sysdatetime") {
        c.requireArgs(0, 0);
        r.text = "tsql_sysdatetime()";
    } else if (fn == "format") {
        c.requireArgs(2, 3);
        const auto pattern = literal(c.a, c.parts[1]);
        if (!pattern) unsupported("FORMAT with a pattern that is not a text literal");
        if (!formatPattern(*pattern)) unsupported("the FORMAT pattern '" + *pattern + "'");
        std::string culture = "null";
        if (c.parts.size() == 3) {
            const auto name = literal(c.a, c.parts[2]);
            if (!name) unsupported("FORMAT with a culture that is not a text literal");
            const std::string lower = asciiLower(*name);
            if (lower != "zh-cn" && lower != "en-us") unsupported("FORMAT in the culture '" + *name + "'");
            culture = quoteString(*name);
        }
        r.text = "tsql_format(" + c.arg(0) + ", " + quoteString(*pattern) + ", " + culture + ")";
    } else {
        return false;
    }
    return true;
}

}  // namespace Palvo::dialect

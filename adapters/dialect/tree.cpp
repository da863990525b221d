// The tokens grouped by parentheses into a tree, and the tree rendered back as
// written: names quoted, strings quoted, operators SQLite lacks replaced.
#include <algorithm>
#include <cctype>

#include "palvo/error.h"
#include "palvo/text.h"
#include "rewriter.h"

namespace Palvo::dialect {

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

std::string_view temporaryName(std::string_view name) { return name; }

std::size_t withSchema(std::string_view text, std::size_t offset) {
    const auto space = [&](std::size_t at) {
        return at > 0 && std::isspace(static_cast<unsigned char>(text[at - 1]));
    };
    std::size_t at = std::min(offset, text.size());
    while (space(at)) --at;
    if (at == 0 || text[at - 1] != '.') return offset;
    --at;
    while (space(at)) --at;
    for (std::string_view schema : {"dbo", "[dbo]", "\"dbo\""}) {
        if (at >= schema.size() && equalsNoCase(text.substr(at - schema.size(), schema.size()), schema) &&
            (at == schema.size() || !std::isalnum(static_cast<unsigned char>(text[at - schema.size() - 1]))))
            return at - schema.size();
    }
    return offset;
}

bool globalTemporary(std::string_view name) { return name.starts_with("##"); }

std::string quoteString(std::string_view value) { return "'" + base::sqlQuote(value) + "'"; }

std::string renderToken(const Token& t) {
    switch (t.kind) {
        case TokenKind::Name:
            return quoteName(temporaryName(t.text));
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
            // #t: the connection's temporary table, a TEMP table of that name
            if (t.kind == TokenKind::Word && !t.text.empty() && t.text[0] == '#')
                return quoteName(temporaryName(t.text));
            return t.text;
    }
}

namespace {

bool isNameToken(const Token& t) { return t.kind == TokenKind::Word || t.kind == TokenKind::Name; }

// SQL Server's catalogue views the embedded database has, by their two-part
// names: read as one name ("sys.tables"), the name of a TEMP view there.
const char* catalogueView(const Token& schema, const Token& view) {
    static const char* const views[] = {"information_schema.tables",
                                        "information_schema.columns",
                                        "information_schema.views",
                                        "sys.tables",
                                        "sys.columns",
                                        "sys.objects",
                                        "sys.views",
                                        "sys.types",
                                        "sys.indexes"};
    const std::string name = asciiLower(schema.text) + "." + asciiLower(view.text);
    for (const char* v : views) {
        if (name == v) return v;
    }
    return nullptr;
}

}  // namespace

Nodes buildTree(std::vector<Token>& toks) {
    std::vector<Nodes> stack(1);
    std::vector<Token> opens;
    for (std::size_t i = 0; i < toks.size(); ++i) {
        Token& t = toks[i];
        if (isNameToken(t) && i + 2 < toks.size() && toks[i + 1].isOp(".") && isNameToken(toks[i + 2]) &&
            (equalsNoCase(t.text, "sys") || equalsNoCase(t.text, "information_schema"))) {
            if (const char* view = catalogueView(t, toks[i + 2])) {
                Node n;
                n.tok = std::move(t);
                n.tok.kind = TokenKind::Name;
                n.tok.text = view;
                stack.back().push_back(std::move(n));
                i += 2;
                continue;
            }
        }
        if ((t.kind == TokenKind::Word || t.kind == TokenKind::Name) && equalsNoCase(t.text, "dbo") &&
            i + 2 < toks.size() && toks[i + 1].isOp(".") &&
            (toks[i + 2].kind == TokenKind::Word || toks[i + 2].kind == TokenKind::Name)) {
            toks[i + 2].spaceBefore = t.spaceBefore;
            ++i;
            continue;
        }
        if (t.isOp("(")) {
            // the tree and its rewriting recurse per level: a bound keeps them off the stack's end
            if (opens.size() == kMaxNesting) {
                unsupported("more than " + std::to_string(kMaxNesting) +
                            " levels of parentheses at character " + std::to_string(t.offset + 1));
            }
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

bool isClauseKeyword(std::string_view lw) {
    static const char* const words[] = {
        "select",     "distinct", "all",     "from",       "where",   "group",     "by",     "having",
        "order",      "asc",      "desc",    "union",      "except",  "intersect", "join",   "inner",
        "outer",      "cross",    "full",    "on",         "as",      "and",       "or",     "not",
        "is",         "in",       "like",    "escape",     "between", "exists",    "insert", "into",
        "values",     "update",   "set",     "delete",     "create",  "table",     "drop",   "when",
        "then",       "else",     "end",     "with",       "collate", "primary",   "key",    "default",
        "references", "unique",   "check",   "constraint", "foreign", "limit",     "offset", "index",
        "view",       "top",      "percent", "left",       "right",   "any",       "some",   "natural",
        "using",      "if",       "begin"};
    for (const char* w : words) {
        if (lw == w) return true;
    }
    return false;
}

Rewriter::Nesting::Nesting(int& depth) : depth_(depth) {
    if (++depth_ > kMaxDepth) {
        --depth_;
        unsupported("an expression nested more than " + std::to_string(kMaxDepth) + " levels deep");
    }
}

std::string Rewriter::group(const Node& g) {
    const Nesting level(depth_);
    std::string inner = seq(g.kids, 0, g.kids.size());
    return "(" + inner + (g.closeSpace ? " )" : ")");
}

Node tokenNode(TokenKind kind, std::string text, bool space) {
    Node n;
    n.tok.kind = kind;
    n.tok.text = std::move(text);
    n.tok.spaceBefore = space;
    return n;
}

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

std::size_t selectListEnd(const Nodes& ns, std::size_t b, std::size_t e) {
    static const char* const ends[] = {"from",   "where",     "group", "having", "order", "union",
                                       "except", "intersect", "into",  "option", "for"};
    std::size_t k = b;
    while (k < e &&
           !std::any_of(std::begin(ends), std::end(ends), [&](const char* w) { return ns[k].word(w); }))
        ++k;
    return k;
}

std::vector<Span> splitCommas(const Nodes& ns, std::size_t b, std::size_t e) {
    std::vector<Span> parts;
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

}  // namespace Palvo::dialect

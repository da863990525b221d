// Text in queries: LIKE as SQL Server matches (sets, ranges, ESCAPE, the
// collation's case), the text functions, STRING_AGG and the list a subquery's
// FOR XML PATH('') makes. Each becomes a tsql_* function of tsql_strings.cpp.
#include <algorithm>

#include "rewriter.h"

namespace Palvo::dialect {

namespace {

bool isTextFunction(const std::string& fn) {
    static const char* const names[] = {"patindex", "stuff",  "replicate", "reverse",   "quotename", "str",
                                        "space",    "concat", "concat_ws", "translate", "string_agg"};
    for (const char* n : names) {
        if (fn == n) return true;
    }
    return false;
}

// The alias of a select item: after AS, or a name right after an operand.
bool hasAlias(const Nodes& ns, std::size_t b, std::size_t e, std::size_t& as) {
    for (std::size_t k = b; k < e; ++k) {
        if (ns[k].word("as")) {
            as = k;
            return true;
        }
    }
    if (e - b >= 2 && ns[e - 1].isName() &&
        !(ns[e - 1].tok.kind == TokenKind::Word && isClauseKeyword(asciiLower(ns[e - 1].tok.text))) &&
        (ns[e - 2].isName() || ns[e - 2].group ||
         (!ns[e - 2].group && ns[e - 2].tok.kind != TokenKind::Operator))) {
        as = e - 1;
        return true;
    }
    return false;
}

bool isColumnReference(const Nodes& ns, std::size_t b, std::size_t e) {
    for (std::size_t k = b; k < e; ++k) {
        const bool want = (k - b) % 2 == 0;
        if (want ? !ns[k].isName() : !ns[k].op(".")) return false;
        if (want && ns[k].tok.kind == TokenKind::Word && isClauseKeyword(asciiLower(ns[k].tok.text)))
            return false;
    }
    return e > b && (e - b) % 2 == 1;
}

}  // namespace

// An argument read as text: a datetime column becomes the text SQL Server converts
// it to (style 0, "Jan  5 2004  2:30PM"), not its stored form.
std::string Rewriter::textArgument(const Nodes& a, Span part) {
    std::string text = trimLead(seq(a, part.first, part.second));
    const auto [b, e] = part;
    const std::string* declared = nullptr;
    if (!scopes_.empty() && e == b + 1 && a[b].isName()) declared = declaredType({}, a[b].tok.text);
    if (!scopes_.empty() && e == b + 3 && a[b].isName() && a[b + 1].op(".") && a[b + 2].isName())
        declared = declaredType(a[b].tok.text, a[b + 2].tok.text);
    const std::string type = declared ? asciiLower(*declared) : std::string();
    if (type == "datetime" || type == "smalldatetime") text = "tsql_convert('varchar(30)', " + text + ", 0)";
    return text;
}

std::size_t forXmlAt(const Nodes& kids) {
    if (kids.empty() || !kids[0].word("select")) return kids.size();
    for (std::size_t k = 1; k + 1 < kids.size(); ++k) {
        if (kids[k].word("for") && kids[k + 1].word("xml")) return k;
    }
    return kids.size();
}

bool Rewriter::textFunction(const std::string& fn, const Call& c, Expr& r) {
    if (fn == "trim") {
        // TRIM([characters FROM] s)
        c.requireArgs(1, 1);
        const auto [b, e] = c.parts[0];
        std::size_t from = e;
        for (std::size_t k = b; k < e; ++k) {
            if (c.a[k].word("from")) from = k;
        }
        if (b < e && (c.a[b].word("leading") || c.a[b].word("trailing") || c.a[b].word("both")))
            unsupported("TRIM with " + upper(c.a[b].tok.text));
        if (from == e) {
            r.text = "tsql_trim(" + textArgument(c.a, c.parts[0]) + ")";
        } else {
            if (from == b || from + 1 == e) unsupported("TRIM with an empty FROM");
            r.text =
                "tsql_trim(" + trimLead(seq(c.a, from + 1, e)) + ", " + trimLead(seq(c.a, b, from)) + ")";
        }
        return true;
    }
    if (!isTextFunction(fn)) return false;
    if (fn == "patindex" || fn == "replicate" || fn == "string_agg") c.requireArgs(2, 2);
    if (fn == "stuff") c.requireArgs(4, 4);
    if (fn == "reverse" || fn == "space") c.requireArgs(1, 1);
    if (fn == "quotename") c.requireArgs(1, 2);
    if (fn == "str") c.requireArgs(1, 3);
    if (fn == "translate") c.requireArgs(3, 3);
    if (fn == "concat") c.requireArgs(2, 254);
    if (fn == "concat_ws") c.requireArgs(3, 254);
    r.text = "tsql_" + fn + "(";
    for (std::size_t k = 0; k < c.parts.size(); ++k)
        r.text += (k ? ", " : "") + (fn == "str" ? c.arg(k) : textArgument(c.a, c.parts[k]));
    r.text += ")";
    if (fn == "patindex") r.num = {'i', 10, 0};
    return true;
}

// a [NOT] LIKE pattern [ESCAPE c]: i is at LIKE; moves past the pattern and escape.
std::string Rewriter::likeCall(const Expr& left, bool negated, const Nodes& ns, std::size_t& i,
                               std::size_t e) {
    ++i;
    Expr pattern = expr(ns, i, e, 2);
    if (pattern.empty) unsupported("LIKE without a pattern");
    // a datetime is matched as the text SQL Server converts it to, style 0 ("Jan  1 2004 12:00AM")
    const std::string value =
        left.datetime ? "tsql_convert('varchar(30)', " + trimLead(left.text) + ", 0)" : trimLead(left.text);
    std::string text = value + ", " + trimLead(pattern.text);
    bool unicode = left.unicode || pattern.unicode;
    if (i < e && ns[i].word("escape")) {
        ++i;
        Expr escape = expr(ns, i, e, 2);
        if (escape.empty) unsupported("ESCAPE without a character");
        text += ", " + trimLead(escape.text);
        unicode = unicode || escape.unicode;
    }
    // Unicode LIKE (an operand nchar or nvarchar) counts the value's trailing blanks; ASCII LIKE ignores them
    text = (unicode ? "tsql_nlike(" : "tsql_like(") + text;
    // the match is always the default collation's
    if (i < e && ns[i].word("collate")) unsupported("LIKE with COLLATE");
    return (negated ? "not " : "") + text + ")";
}

// STRING_AGG(x, separator) WITHIN GROUP (ORDER BY k [ASC|DESC], ...): the keys go
// to the aggregate, which sorts its rows by them (SQLite has no ORDER BY in aggregates).
Expr Rewriter::stringAggWithin(const Node& args, const Node& order) {
    const Nodes& a = args.kids;
    const std::vector<Span> parts = a.empty() ? std::vector<Span>{} : splitCommas(a, 0, a.size());
    if (parts.size() != 2)
        throw Error(ErrorNumber::Database, "The STRING_AGG function requires 2 arguments.");
    const Nodes& o = order.kids;
    if (o.size() < 3 || !o[0].word("order") || !o[1].word("by")) unsupported("WITHIN GROUP without ORDER BY");
    std::string directions, keys;
    for (auto [b, e] : splitCommas(o, 2, o.size())) {
        char dir = 'a';
        if (e > b + 1 && (o[e - 1].word("asc") || o[e - 1].word("desc"))) {
            dir = o[e - 1].word("desc") ? 'd' : 'a';
            --e;
        }
        if (e == b) unsupported("an empty sort key in WITHIN GROUP");
        directions += dir;
        keys += ", " + trimLead(seq(o, b, e));
    }
    Expr r;
    r.empty = false;
    r.text = "tsql_string_agg(" + textArgument(a, parts[0]) + ", " +
             trimLead(seq(a, parts[1].first, parts[1].second)) + ", '" + directions + "'" + keys + ")";
    return r;
}

namespace {

// Whether a column's name is written as SQL Server writes it as an element's: ASCII
// letters, digits, '_', '-' and '.', and CJK ideographs, not starting with a digit, '-',
// '.' or "xml". Other names SQL Server writes encoded (_x0020_ for a blank).
bool plainElementName(std::string_view name) {
    if (name.empty() || asciiLower(std::string(name.substr(0, 3))) == "xml") return false;
    for (std::size_t k = 0; k < name.size();) {
        const auto c = static_cast<unsigned char>(name[k]);
        if (c < 0x80) {
            const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
            const bool more = (c >= '0' && c <= '9') || c == '-' || c == '.';
            if (!letter && !(more && k > 0)) return false;
            ++k;
            continue;
        }
        if ((c & 0xF0) != 0xE0 || k + 2 >= name.size()) return false;
        const unsigned cp = ((c & 0x0Fu) << 12) | ((static_cast<unsigned char>(name[k + 1]) & 0x3Fu) << 6) |
                            (static_cast<unsigned char>(name[k + 2]) & 0x3Fu);
        if (!((cp >= 0x4E00 && cp <= 0x9FFF) || (cp >= 0x3400 && cp <= 0x4DBF))) return false;
        k += 3;
    }
    return true;
}

// The select list [b, e) of a FOR XML query: after SELECT [DISTINCT | ALL] [TOP n].
Span xmlSelectList(const Nodes& k, std::size_t f) {
    std::size_t b = 1;
    if (b < f && (k[b].word("distinct") || k[b].word("all"))) ++b;
    if (b < f && k[b].word("top")) b += 2;
    if (b < f && k[b].word("percent")) ++b;
    std::size_t e = b;
    while (e < f && !k[e].word("from")) ++e;
    return {b, e};
}

// An item's element name ('' for none: its text stands bare) and where its expression ends.
std::string xmlItemName(const Nodes& k, std::size_t& ib, std::size_t& ie) {
    std::size_t as = ie;
    if (ib < ie && hasAlias(k, ib, ie, as)) {
        const Node& alias = k[as].word("as") && as + 1 < ie ? k[as + 1] : k[as];
        ie = as;
        return alias.tok.text == "text()" ? std::string() : alias.tok.text;
    }
    if (ib + 2 < ie && k[ib].isName() && k[ib + 1].op("=")) {
        ib += 2;
        return k[ib - 2].tok.text;
    }
    if (isColumnReference(k, ib, ie)) return k[ie - 1].tok.text;
    return {};
}

}  // namespace

// FOR XML PATH[('row')][, ROOT[('name')]][, TYPE] at f.
Rewriter::XmlPath Rewriter::xmlPath(const Nodes& k, std::size_t f) const {
    XmlPath p;
    std::size_t j = f + 2;
    if (j >= k.size() || !k[j].word("path"))
        unsupported("FOR XML " + (j < k.size() ? upper(k[j].tok.text) : std::string()));
    ++j;
    auto text = [&](const Node& g, const char* what) {
        const Nodes& name = g.kids;
        if (name.size() != 1 || name[0].group ||
            (name[0].tok.kind != TokenKind::String && name[0].tok.kind != TokenKind::NString))
            unsupported(std::string("FOR XML PATH with ") + what + " that is not a text");
        return name[0].tok.text;
    };
    p.row = "row";
    if (j < k.size() && k[j].group) p.row = text(k[j++], "a row name");
    while (j < k.size()) {
        if (!k[j].op(",") || j + 1 >= k.size())
            unsupported("FOR XML PATH followed by '" + plain(k, j, k.size()) + "'");
        if (k[j + 1].word("type")) {
            p.typed = true;
            j += 2;
        } else if (k[j + 1].word("root")) {
            p.root = "root";
            j += 2;
            if (j < k.size() && k[j].group) p.root = text(k[j++], "a root name");
        } else {
            unsupported("FOR XML PATH with " + upper(k[j + 1].tok.text));
        }
    }
    for (const std::string* name : {&p.row, p.root ? &*p.root : nullptr})
        if (name && !name->empty() && !plainElementName(*name))
            unsupported("FOR XML PATH with the element name '" + *name + "'");
    return p;
}

// Whether an item of the select list has a name, which makes it an element.
bool Rewriter::xmlNamesAColumn(const Nodes& k, std::size_t f) const {
    const auto [b, e] = xmlSelectList(k, f);
    for (auto [ib, ie] : splitCommas(k, b, e))
        if (!xmlItemName(k, ib, ie).empty()) return true;
    return false;
}

// The rows of the query [0, f) as elements: select tsql_xml_rows(row, root, name1,
// "palvo_x1", ...) from (the query, its items named palvo_x1, ...).
std::string Rewriter::xmlRows(const Nodes& k, std::size_t f, const XmlPath& path, const std::string& as) {
    const auto [b, e] = xmlSelectList(k, f);
    Nodes body(k.begin(), k.begin() + static_cast<std::ptrdiff_t>(b));
    std::string args = quoteString(path.row) + ", " + (path.root ? quoteString(*path.root) : "null");
    int n = 0;
    for (auto [ib, ie] : splitCommas(k, b, e)) {
        if (ie > ib && k[ie - 1].op("*")) unsupported("FOR XML PATH of *");
        const std::string name = xmlItemName(k, ib, ie);
        if (name.starts_with("@")) unsupported("FOR XML PATH with the attribute column [" + name + "]");
        if (!name.empty() && !plainElementName(name))
            unsupported("FOR XML PATH with the element name '" + name + "'");
        if (n) {
            Node comma;
            comma.tok = Token{TokenKind::Operator, ",", false, 0};
            body.push_back(comma);
        }
        const std::string column = "palvo_x" + std::to_string(++n);
        body.insert(body.end(), k.begin() + static_cast<std::ptrdiff_t>(ib),
                    k.begin() + static_cast<std::ptrdiff_t>(ie));
        Node asWord, item;
        asWord.tok = Token{TokenKind::Word, "as", true, 0};
        item.tok = Token{TokenKind::Name, column, true, 0};
        body.push_back(asWord);
        body.push_back(item);
        args += ", " + quoteString(name) + ", \"" + column + "\"";
    }
    body.insert(body.end(), k.begin() + static_cast<std::ptrdiff_t>(e),
                k.begin() + static_cast<std::ptrdiff_t>(f));
    const Nesting level(depth_);
    return "select tsql_xml_rows(" + args + ")" + as + " from (" + trimLead(seq(body, 0, body.size())) + ")";
}

// A statement's own FOR XML PATH: one row of one column, SQL Server's name for it; no row
// when the query has none.
std::string Rewriter::xmlStatement(const Nodes& ns) {
    const std::size_t f = forXmlAt(ns);
    const XmlPath path = xmlPath(ns, f);
    if (path.typed) unsupported("FOR XML PATH with TYPE outside a subquery");
    const std::string column = "\"XML_F52E2B61-18A1-11d1-B105-00805F49916B\"";
    return "select * from (" + xmlRows(ns, f, path, " as " + column) + ") where " + column + " is not null";
}

// (SELECT x FROM ... [ORDER BY ...] FOR XML PATH('')[, TYPE])[.value('.', 'nvarchar(max)')]:
// the values of x one after the other, in the subquery's order. Without TYPE and
// .value, &, < and > are XML's entities. ns[i] is the group; i moves past it.
Expr Rewriter::forXmlSubquery(const Nodes& ns, std::size_t& i, std::size_t e) {
    const Nesting level(depth_);
    const Node& g = ns[i];
    const Nodes& k = g.kids;
    const std::size_t f = forXmlAt(k);
    const XmlPath path = xmlPath(k, f);
    const bool typed = path.typed;
    if (!path.row.empty() || path.root || xmlNamesAColumn(k, f)) {
        // rows or columns as elements
        if (typed) unsupported("FOR XML PATH with elements and TYPE");
        ++i;
        Expr r;
        r.empty = false;
        r.space = g.tok.spaceBefore;
        r.text = "(" + xmlRows(k, f, path, "") + ")";
        return r;
    }
    // the select list: one expression without a name (a named one would be an element)
    std::size_t b = 1;
    if (b < f && (k[b].word("distinct") || k[b].word("all"))) ++b;
    if (b < f && k[b].word("top")) b += 2;
    std::size_t listEnd = b;
    while (listEnd < f && !k[listEnd].word("from")) ++listEnd;
    const std::vector<Span> items = splitCommas(k, b, listEnd);
    if (items.size() != 1) unsupported("FOR XML PATH('') of several columns");
    auto [ib, ie] = items[0];
    Nodes body(k.begin(), k.begin() + static_cast<std::ptrdiff_t>(f));
    std::size_t as = ie;
    if (ib < ie && hasAlias(k, ib, ie, as)) {
        const Node& alias = k[as].word("as") && as + 1 < ie ? k[as + 1] : k[as];
        if (!(alias.tok.kind == TokenKind::Name && alias.tok.text == "text()"))
            unsupported("FOR XML PATH('') with the named column " + alias.tok.text + " (an element)");
        body.erase(body.begin() + static_cast<std::ptrdiff_t>(as),
                   body.begin() + static_cast<std::ptrdiff_t>(ie));
        ie = as;
    } else if (ib + 2 < ie && k[ib].isName() && k[ib + 1].op("=")) {
        unsupported("FOR XML PATH('') with the named column " + k[ib].tok.text + " (an element)");
    }
    if (isColumnReference(k, ib, ie))
        unsupported("FOR XML PATH('') of the column " + trimLead(plain(k, ib, ie)) + " (an element)");
    if (ie == ib + 1 && k[ib].op("*")) unsupported("FOR XML PATH('') of *");
    Node asWord, item;
    asWord.tok = Token{TokenKind::Word, "as", true, 0};
    item.tok = Token{TokenKind::Name, "tsql_xml_item", true, 0};
    body.insert(body.begin() + static_cast<std::ptrdiff_t>(ie), {asWord, item});
    const std::string inner = trimLead(seq(body, 0, body.size()));
    ++i;
    bool entities = true;
    if (i + 2 < e && ns[i].op(".") && ns[i + 1].word("value") && ns[i + 2].group) {
        // .value('.', 'nvarchar(max)') reads the text back: the entities undone
        const Nodes& v = ns[i + 2].kids;
        const bool readsText = v.size() == 3 && !v[0].group && v[0].tok.kind != TokenKind::Word &&
                               v[0].tok.text == "." && v[1].op(",") && !v[2].group &&
                               (v[2].tok.kind == TokenKind::String || v[2].tok.kind == TokenKind::NString);
        std::string type = readsText ? asciiLower(v[2].tok.text) : std::string();
        type.erase(std::remove(type.begin(), type.end(), ' '), type.end());
        if (!typed) unsupported(".value() of FOR XML without TYPE");
        if (type != "nvarchar(max)" && type != "varchar(max)")
            unsupported(".value() of FOR XML other than ('.', 'nvarchar(max)')");
        entities = false;
        i += 3;
    }
    Expr r;
    r.empty = false;
    r.space = g.tok.spaceBefore;
    r.text = "(select tsql_xml_path(\"tsql_xml_item\", " + std::string(entities ? "1" : "0") + ") from (" +
             inner + "))";
    return r;
}

}  // namespace Palvo::dialect

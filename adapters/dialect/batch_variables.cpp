// The variables of a batch: what a DECLARE makes, and a variable in a statement
// rendered as a parameter typed as it was declared.
#include <algorithm>

#include "palvo/error.h"
#include "reader.h"

namespace Palvo::dialect {

namespace {

[[noreturn]] void syntaxErrorNear(const Node& n) {
    throw Error(ErrorNumber::Database,
                "Incorrect syntax near '" + (n.group ? std::string("(") : n.tok.text) + "'.", 102);
}

// The type written at ns[k] (and its length or precision in the group after it), as SQL Server
// gives it to a variable; k moves past it.
std::string declaredType(const Nodes& ns, std::size_t& k, std::size_t e, std::size_t position) {
    const Node& t = ns[k];
    if (t.group || (t.tok.kind != TokenKind::Word && t.tok.kind != TokenKind::Name)) syntaxErrorNear(t);
    const std::string lw = asciiLower(t.tok.text);
    // a table variable stands alone in its DECLARE (batch_temp.cpp)
    if (lw == "table") unsupported("a table variable declared beside other variables (DECLARE @t TABLE)");
    if (lw == "cursor") unsupported("cursor variables (DECLARE @c CURSOR)");
    if (lw == "text" || lw == "ntext" || lw == "image")
        throw Error(ErrorNumber::Database,
                    "The text, ntext, and image data types are invalid for local variables.", 2739);
    if (!knownType(lw)) {
        throw Error(ErrorNumber::Database,
                    "Column, parameter, or variable #" + std::to_string(position) +
                        ": Cannot find data type " + t.tok.text + ".",
                    2715);
    }
    std::string type = lw == "character" ? "char" : lw == "dec" ? "decimal" : lw == "integer" ? "int" : lw;
    ++k;
    if (k < e && ns[k].group) {
        const std::string size = plain(ns[k].kids, 0, ns[k].kids.size());
        checkTypeLength(lw, trimLead(size), "type '" + lw + "'");
        std::string compact;
        for (char c : asciiLower(size)) {
            if (c != ' ') compact += c;
        }
        type += "(" + compact + ")";
        ++k;
    } else if (type == "char" || type == "varchar" || type == "nchar" || type == "nvarchar" ||
               type == "binary" || type == "varbinary") {
        type += "(1)";  // a variable declared without a length holds one
    }
    return type;
}

}  // namespace

std::vector<Declared> readDeclarations(const Nodes& ns, std::size_t b, std::size_t e) {
    std::vector<Declared> out;
    std::size_t k = b + 1;
    if (k < e && !ns[k].group && ns[k].tok.kind != TokenKind::Variable) {
        if (k + 1 < e && ns[k + 1].word("cursor")) unsupported("cursors (DECLARE ... CURSOR)");
        syntaxErrorNear(ns[k]);
    }
    while (k < e) {
        const Node& name = ns[k];
        if (name.group || name.tok.kind != TokenKind::Variable || name.tok.text.starts_with("@@"))
            syntaxErrorNear(name);
        Declared d;
        d.name = asciiLower(name.tok.text);
        d.written = name.tok.text;
        ++k;
        if (k < e && ns[k].word("as")) ++k;
        if (k >= e) syntaxErrorNear(name);
        d.type = declaredType(ns, k, e, out.size() + 1);
        if (k < e && ns[k].op("=")) {
            d.valueFirst = ++k;
            while (k < e && !ns[k].op(",")) ++k;
            d.valueLast = k;
            if (d.valueFirst == d.valueLast) syntaxErrorNear(ns[k - 1]);
        }
        out.push_back(std::move(d));
        if (k < e) {
            if (!ns[k].op(",")) syntaxErrorNear(ns[k]);
            if (++k == e) syntaxErrorNear(ns[k - 1]);
        }
    }
    if (out.empty()) syntaxErrorNear(ns[b]);
    return out;
}

bool readsVariables(const Nodes& ns) {
    return std::any_of(ns.begin(), ns.end(), [](const Node& n) {
        if (n.group) return readsVariables(n.kids);
        return n.tok.kind == TokenKind::Variable && !n.tok.text.starts_with("@@");
    });
}

bool Rewriter::variableExpr(const Token& t, Expr& r) {
    if (!variableTypes_) return false;
    const std::string name = asciiLower(t.text);
    const auto it = variableTypes_->find(name);
    if (it == variableTypes_->end()) return false;
    auto at = std::find(variablesUsed_.begin(), variablesUsed_.end(), name);
    if (at == variablesUsed_.end()) at = variablesUsed_.insert(at, name);
    r.text = "?" + std::to_string(at - variablesUsed_.begin() + 1);
    r.variable = true;
    const std::string& type = it->second;
    r.num = columnNumType(type);
    if (!r.num.kind) r.type = typeOfDeclared(type);
    r.integer = r.num.kind == 'i';
    r.datetime = type == "datetime" || type == "smalldatetime";
    r.unicode = type.starts_with("nvarchar") || type.starts_with("nchar");
    return true;
}

}  // namespace Palvo::dialect

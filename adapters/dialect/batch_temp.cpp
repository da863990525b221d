// Table variables of a batch: DECLARE @t TABLE (...) is a temporary table of the
// connection's, [#@t], made before the batch's first statement runs and dropped
// when it ends, however it ends. Its statements name that table where they name
// @t; `#@` is no name a host writes unbracketed, so it meets none of its #t.
#include "batch_procs.h"
#include "palvo/error.h"
#include "reader.h"

namespace Palvo::dialect {

namespace {

// Whether the variable at ns[k] names a table: after the words that take one, or
// after a comma of a FROM list.
bool tablePosition(const Nodes& ns, std::size_t k) {
    if (k == 0) return false;
    const Node& before = ns[k - 1];
    for (const char* w :
         {"from", "join", "into", "update", "delete", "insert", "merge", "using", "table", "apply"})
        if (before.word(w)) return true;
    if (!before.op(",")) return false;
    for (std::size_t j = k - 1; j-- > 0;) {
        if (ns[j].word("from")) return true;
        for (const char* w : {"select", "where", "set", "values", "by", "having", "on", "and", "or", "when",
                              "then", "else", "output", "print", "return", "top"})
            if (ns[j].word(w)) return false;
    }
    return false;
}

void replaceIn(const Nodes& ns, std::size_t b, std::size_t e, const TableVariables& tables,
               std::vector<std::pair<std::size_t, const Token*>>& at) {
    for (std::size_t k = b; k < e; ++k) {
        const Node& n = ns[k];
        if (n.group) {
            replaceIn(n.kids, 0, n.kids.size(), tables, at);
            continue;
        }
        if (n.tok.kind == TokenKind::Variable && tables.contains(asciiLower(n.tok.text)) &&
            tablePosition(ns, k))
            at.emplace_back(n.tok.offset, &n.tok);
    }
}

}  // namespace

// a procedure's body is read at its level of calls within calls: its @t is another table
// than its caller's @t, [#@t#2] at level 2
std::string tableVariableTable(const std::string& key) {
    const int level = callNesting();
    return "[#" + key + (level > 0 ? "#" + std::to_string(level) : std::string()) + "]";
}

bool tableVariableDeclaration(const Nodes& ns, std::size_t b, std::size_t e, TableVariable& out) {
    std::size_t k = b + 1;
    if (k >= e || ns[k].group || ns[k].tok.kind != TokenKind::Variable) return false;
    const Node& name = ns[k++];
    if (k < e && ns[k].word("as")) ++k;
    if (k >= e || !ns[k].word("table")) return false;
    ++k;
    if (k >= e || !ns[k].group) throw Error(ErrorNumber::Database, "Incorrect syntax near 'TABLE'.", 102);
    if (k + 1 != e) unsupported("a table variable declared beside other variables or with options");
    out.written = name.tok.text;
    out.key = asciiLower(name.tok.text);
    out.columns = &ns[k];
    return true;
}

std::string withTableVariables(std::string_view text, const Nodes& ns, std::size_t b, std::size_t e,
                               std::size_t from, std::size_t to, const TableVariables& tables) {
    std::string out(text.substr(from, to - from));
    if (tables.empty()) return out;
    std::vector<std::pair<std::size_t, const Token*>> at;
    replaceIn(ns, b, e, tables, at);
    // from the last, so that the offsets before stay where they are
    for (auto it = at.rbegin(); it != at.rend(); ++it) {
        if (it->first < from || it->first >= to) continue;
        out.replace(it->first - from, it->second->text.size(),
                    tableVariableTable(asciiLower(it->second->text)));
    }
    return out;
}

Error namingTableVariables(const Error& e) {
    std::string text = e.description();
    if (text.find("#@") == std::string::npos) return e;
    for (std::size_t at = text.find("#@"); at != std::string::npos; at = text.find("#@", at)) {
        text.erase(at, 1);
        // and the level of a procedure's own (#@t#2)
        std::size_t end = at + 1;
        while (end < text.size() && text[end] != '#' && text[end] != '\'' && text[end] != ']' &&
               text[end] != ' ' && text[end] != '.' && text[end] != '"')
            ++end;
        std::size_t digits = end + 1;
        while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') ++digits;
        if (end < text.size() && text[end] == '#' && digits > end + 1) text.erase(end, digits - end);
    }
    return Error(e.number(), text, e.nativeCode(), e.sqlState());
}

void checkVariableUse(const Nodes& ns, std::size_t k, bool declaredScalar, const TableVariables& tables) {
    const Token& t = ns[k].tok;
    const bool table = tablePosition(ns, k);
    if (table && tables.contains(asciiLower(t.text))) return;
    if (!table && declaredScalar) return;
    if (table)
        throw Error(ErrorNumber::Database, "Must declare the table variable \"" + t.text + "\".", 1087);
    throw Error(ErrorNumber::Database, "Must declare the scalar variable \"" + t.text + "\".", 137);
}

}  // namespace Palvo::dialect

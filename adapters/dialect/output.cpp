// INSERT, UPDATE and DELETE with OUTPUT: the rows they change returned as a result.
// SQLite's RETURNING gives a row as the statement wrote it, before the table's
// triggers store its dates and check its values; so INSERT and UPDATE return the
// rowids they changed, and the rows are read back from the table by them. A
// deleted row is returned as it was stored (and, with INTO, inserted so).
#include <utility>

#include "palvo/error.h"
#include "reader.h"
#include "rewriter.h"

namespace Palvo::dialect {

namespace {

// The words after the OUTPUT list: the rest of the statement.
bool endsOutput(const Node& n) {
    for (const char* w : {"into", "values", "select", "default", "from", "where", "exec", "execute"})
        if (n.word(w)) return true;
    return false;
}

// Refuses what the list may not hold here: another table's columns, the values
// an UPDATE replaced, a parameter ($action never gets here: the text is not read).
void checkOutputList(const Nodes& ns, StatementKind kind) {
    for (std::size_t k = 0; k < ns.size(); ++k) {
        const Node& n = ns[k];
        if (n.group) {
            checkOutputList(n.kids, kind);
            continue;
        }
        if (n.tok.kind == TokenKind::Parameter) unsupported("a parameter in OUTPUT");
        if (!n.isName() || k + 1 >= ns.size() || !ns[k + 1].op(".")) continue;
        const std::string q = asciiLower(n.tok.text);
        if (q == "inserted" && kind == StatementKind::Delete) unsupported("OUTPUT inserted in DELETE");
        if (q == "deleted" && kind == StatementKind::Insert) unsupported("OUTPUT deleted in INSERT");
        if (q == "deleted" && kind == StatementKind::Update)
            unsupported("OUTPUT deleted in UPDATE (the values before the change)");
        if (q != "inserted" && q != "deleted") unsupported("OUTPUT of the columns of " + n.tok.text);
        ++k;
    }
}

// The list with "deleted." left out: RETURNING names the table's columns bare.
Nodes unqualified(const Nodes& ns) {
    Nodes out;
    out.reserve(ns.size());
    bool space = false;
    for (std::size_t k = 0; k < ns.size(); ++k) {
        if (ns[k].word("deleted") && k + 1 < ns.size() && ns[k + 1].op(".")) {
            space = ns[k].tok.spaceBefore;
            ++k;
            continue;
        }
        out.push_back(ns[k]);
        if (space) out.back().tok.spaceBefore = true;
        space = false;
        if (out.back().group) out.back().kids = unqualified(ns[k].kids);
    }
    return out;
}

}  // namespace

// The list rendered as the select list of the statement's result, reading the
// table under `alias`; the result's column types and unnamed columns go to tr.
std::string Rewriter::outputList(const Nodes& list, const std::string& lowerTable, const std::string& alias,
                                 Translation& tr) {
    Nodes q;
    q.reserve(list.size() + 1);
    q.push_back(wordNode("select", false));
    q.insert(q.end(), list.begin(), list.end());
    q[1].tok.spaceBefore = true;
    Scope scope;
    if (catalogue_) scope.push_back(source(lowerTable, alias));
    const ScopeGuard tables(*this, std::move(scope));
    recordColumns_ = true;
    topNodes_ = &q;
    columnsKnown_ = false;
    std::string text = seq(q, 0, q.size());
    topNodes_ = nullptr;
    if (columnsKnown_) tr.columnTypes = std::move(columnTypes_);
    tr.unnamedColumns = std::move(result_.unnamedColumns);
    tr.textColumns = std::move(result_.textColumns);
    return trimLead(text.substr(6));  // after "select"
}

bool Rewriter::outputClause(const Nodes& ns, StatementKind kind, Translation& tr) {
    const std::size_t n = ns.size();
    std::size_t o = 1;
    while (o < n && !ns[o].word("output")) ++o;
    if (o == n) return false;
    std::size_t end = o + 1;
    while (end < n && !endsOutput(ns[end])) ++end;
    if (end == o + 1) unsupported("OUTPUT without columns");
    const Nodes list(ns.begin() + static_cast<std::ptrdiff_t>(o + 1),
                     ns.begin() + static_cast<std::ptrdiff_t>(end));
    // OUTPUT ... INTO T [(columns)]: the rows go into T (a table, #t or a batch's @t)
    std::string into;
    if (end < n && ns[end].word("into")) {
        std::size_t k = end + 1;
        if (k >= n || !ns[k].isName()) unsupported("OUTPUT ... INTO without a table's name");
        into = "insert into " + renderToken(ns[k].tok);
        ++k;
        if (k < n && ns[k].group) into += " (" + plain(ns[k].kids, 0, ns[k].kids.size()) + ")";
        if (k < n && ns[k].group) ++k;
        end = k;
    }
    checkOutputList(list, kind);
    Nodes dml(ns.begin(), ns.begin() + static_cast<std::ptrdiff_t>(o));
    dml.insert(dml.end(), ns.begin() + static_cast<std::ptrdiff_t>(end), ns.end());

    if (kind == StatementKind::Delete) {
        std::string statement = deleteStatement(dml);
        const std::string lower = asciiLower(deletedTable_);
        const std::string columns = outputList(unqualified(list), lower, {}, tr);
        // the declared types of the columns listed by name, up to the first "*"
        const Catalogue::Columns* declared = catalogue_ ? catalogue_->columns(lower) : nullptr;
        if (declared) usedCatalogue_ = true;
        const std::vector<std::string> computed = std::move(tr.columnTypes);
        tr.columnTypes.clear();
        for (auto [b, e] : splitCommas(list, 0, list.size())) {
            std::string type;
            const bool qualified = e - b >= 3 && list[b + 1].op(".");
            if (qualified && list[b + 2].op("*")) break;
            const std::size_t c = qualified ? b + 2 : b;
            const bool bare = list[c].isName() && (e == c + 1 || (e == c + 2 && list[c + 1].isName()) ||
                                                   (e == c + 3 && list[c + 1].word("as")));
            if (declared && bare) {
                if (auto it = declared->find(asciiLower(list[c].tok.text)); it != declared->end())
                    type = it->second;
            }
            const std::size_t k = tr.columnTypes.size();
            if (type.empty() && k < computed.size()) type = computed[k];
            tr.columnTypes.push_back(std::move(type));
        }
        tr.returningTable = deletedTable_;
        tr.statements.push_back(std::move(statement) + " returning " + columns);
        // INTO: the connection puts the returned rows into T with this INSERT, given their values
        tr.outputInto = !into.empty();
        tr.outputQuery = std::move(into);
        return true;
    }

    std::string statement, table, lower;
    if (kind == StatementKind::Insert) {
        statement = insertStatement(dml);
        const std::size_t at = dml.size() > 1 && dml[1].word("into") ? 2 : 1;
        table = renderToken(dml[at].tok);
        lower = asciiLower(dml[at].tok.text);
    } else {
        statement = updateStatement(dml);
        table = updatedTable_;
        lower = updatedName_;
    }
    tr.statements.push_back(std::move(statement) + " returning rowid");
    tr.outputInto = !into.empty();
    if (tr.outputInto) into += " ";
    tr.outputQuery = into + "select " + outputList(list, lower, "inserted", tr) + " from " + table +
                     " as inserted join json_each(?1) as palvo_output on inserted.rowid = "
                     "palvo_output.value order by palvo_output.key";
    return true;
}

}  // namespace Palvo::dialect

// MERGE target USING source ON ... WHEN ...: several statements the connection runs
// together, all or nothing. Which target rows each source row matches is kept
// first (temp.palvo_merge, by rowid), so every clause acts on the rows as they
// were before the MERGE, as SQL Server's single statement does.
#include <string>
#include <vector>

#include "palvo/error.h"
#include "rewriter.h"

namespace Palvo::dialect {

namespace {

enum class When { Matched, NotMatchedByTarget, NotMatchedBySource };

struct MergeClause {
    When when = When::Matched;
    std::size_t condB = 0, condE = 0;  // AND ...; condB == condE when none
    std::size_t actionB = 0, actionE = 0;
};

// The target's or the source's table at ns[k] and its alias (null when it has none); k moves past them.
void readTable(const Nodes& ns, std::size_t& k, const char* role, const Node*& name, const Node*& alias) {
    const std::size_t n = ns.size();
    if (k >= n || !ns[k].isName()) unsupported(std::string("MERGE with a ") + role + " that is no table");
    name = &ns[k++];
    if (k < n && ns[k].word("as")) ++k;
    alias = nullptr;
    if (k < n && ns[k].isName() &&
        !(ns[k].tok.kind == TokenKind::Word && isClauseKeyword(asciiLower(ns[k].tok.text))) &&
        !ns[k].word("using"))
        alias = &ns[k++];
}

// The WHEN clauses, from the first WHEN at ns[k] on.
std::vector<MergeClause> readClauses(const Nodes& ns, std::size_t k) {
    const std::size_t n = ns.size();
    std::vector<MergeClause> clauses;
    while (k < n) {
        MergeClause c;
        ++k;  // WHEN
        const bool negated = k < n && ns[k].word("not");
        if (negated) ++k;
        if (k >= n || !ns[k].word("matched"))
            unsupported("MERGE near '" + plain(ns, k, std::min(n, k + 3)) + "'");
        ++k;
        c.when = negated ? When::NotMatchedByTarget : When::Matched;
        if (negated && k + 1 < n && ns[k].word("by")) {
            if (ns[k + 1].word("source"))
                c.when = When::NotMatchedBySource;
            else if (!ns[k + 1].word("target"))
                unsupported("MERGE near '" + plain(ns, k, k + 2) + "'");
            k += 2;
        }
        if (k < n && ns[k].word("and")) {
            c.condB = ++k;
            while (k < n && !ns[k].word("then")) ++k;
            c.condE = k;
        }
        if (k >= n || !ns[k].word("then"))
            unsupported("MERGE near '" + plain(ns, k, std::min(n, k + 3)) + "'");
        c.actionB = ++k;
        while (k < n && !ns[k].word("when")) ++k;
        c.actionE = k;
        if (c.actionB == c.actionE) unsupported("MERGE ... THEN without an action");
        clauses.push_back(c);
    }
    return clauses;
}

}  // namespace

Translation Rewriter::mergeStatement(const Nodes& ns) {
    const std::size_t n = ns.size();
    for (const Node& x : ns)
        if (x.word("output")) unsupported("MERGE ... OUTPUT");
    std::size_t k = 1;
    if (k < n && ns[k].word("into")) ++k;
    const Node *target = nullptr, *targetAlias = nullptr, *from = nullptr, *fromAlias = nullptr;
    readTable(ns, k, "target", target, targetAlias);
    if (k >= n || !ns[k].word("using")) unsupported("MERGE near '" + plain(ns, k, std::min(n, k + 3)) + "'");
    ++k;
    readTable(ns, k, "source", from, fromAlias);
    if (k >= n || !ns[k].word("on")) unsupported("MERGE near '" + plain(ns, k, std::min(n, k + 3)) + "'");
    const std::size_t onB = ++k;
    while (k < n && !ns[k].word("when")) ++k;
    const std::size_t onE = k;
    const std::vector<MergeClause> clauses = readClauses(ns, k);
    if (clauses.empty()) unsupported("MERGE without WHEN");

    const std::string tgt = renderToken(target->tok), src = renderToken(from->tok);
    const std::string tq = targetAlias ? renderToken(targetAlias->tok) : tgt;
    const std::string sq = fromAlias ? renderToken(fromAlias->tok) : src;
    const std::string tgtFrom = tgt + (targetAlias ? " as " + tq : "");
    const std::string srcFrom = src + (fromAlias ? " as " + sq : "");
    Scope scope;
    if (catalogue_) {
        scope.push_back(
            source(asciiLower(target->tok.text), targetAlias ? asciiLower(targetAlias->tok.text) : ""));
        scope.push_back(source(asciiLower(from->tok.text), fromAlias ? asciiLower(fromAlias->tok.text) : ""));
    }
    // the target's declared columns: a decimal set into a character column keeps its scale
    const Catalogue::Columns* targetColumns = scope.empty() ? nullptr : scope.front().columns;
    const ScopeGuard tables(*this, std::move(scope));
    const auto text = [&](std::size_t b, std::size_t e) {
        return b == e ? std::string() : trimLead(seq(ns, b, e));
    };

    // SQL Server's rules for the clauses: at most two of a kind, the first of two with its AND,
    // one UPDATE and one DELETE; NOT MATCHED [BY TARGET] inserts
    const auto action = [&](const MergeClause& c) -> std::string {
        const Node& a = ns[c.actionB];
        if (a.word("update") && c.actionB + 1 < c.actionE && ns[c.actionB + 1].word("set")) return "update";
        if (a.word("delete") && c.actionE == c.actionB + 1) return "delete";
        if (a.word("insert")) return "insert";
        unsupported("MERGE ... THEN " + upper(a.tok.text));
    };
    std::string matchedFirst, bySourceFirst;  // the first clause's AND of two of a kind
    const MergeClause *matchedUpdate = nullptr, *matchedDelete = nullptr, *sourceUpdate = nullptr,
                      *sourceDelete = nullptr, *insert = nullptr;
    std::string matchedUpdateAfter, matchedDeleteAfter, sourceUpdateAfter, sourceDeleteAfter;
    for (const MergeClause& c : clauses) {
        const std::string act = action(c);
        if (c.when == When::NotMatchedByTarget) {
            if (act != "insert" || insert) unsupported("MERGE with this WHEN NOT MATCHED [BY TARGET] clause");
            insert = &c;
            continue;
        }
        if (act == "insert") unsupported("MERGE ... WHEN MATCHED THEN INSERT");
        const bool matched = c.when == When::Matched;
        const MergeClause*& update = matched ? matchedUpdate : sourceUpdate;
        const MergeClause*& remove = matched ? matchedDelete : sourceDelete;
        const MergeClause*& slot = act == "update" ? update : remove;
        if (slot)
            unsupported("MERGE with two WHEN " + std::string(matched ? "" : "NOT ") +
                        "MATCHED clauses of one action");
        std::string& first = matched ? matchedFirst : bySourceFirst;
        const MergeClause* other = act == "update" ? remove : update;
        if (other) {
            if (other->condB == other->condE)
                unsupported("MERGE with a first WHEN clause of two without AND");
            // the second of two takes the rows the first's condition leaves
            (act == "update" ? (matched ? matchedUpdateAfter : sourceUpdateAfter)
                             : (matched ? matchedDeleteAfter : sourceDeleteAfter)) = first;
        } else {
            first = "(" + text(c.condB, c.condE) + ")";
        }
        slot = &c;
    }
    const auto filter = [&](const MergeClause* c, const std::string& after) {
        std::string f;
        if (!after.empty()) f = after + " is not true";
        if (c->condB != c->condE) f += (f.empty() ? "(" : " and (") + text(c->condB, c->condE) + ")";
        return f;
    };
    const std::string unmatched =
        tq + ".rowid not in (select palvo_target from temp.palvo_merge where palvo_target is not null)";
    const std::string joined =
        " from temp.palvo_merge as palvo_m join " + srcFrom + " on " + sq + ".rowid = palvo_m.palvo_source";

    Translation tr;
    tr.countsEvery = true;
    auto& out = tr.statements;
    out.emplace_back("drop table if exists temp.palvo_merge");
    out.push_back("create temp table palvo_merge as select " + tq + ".rowid as palvo_target, " + sq +
                  ".rowid as palvo_source from " + srcFrom + " left join " + tgtFrom + " on " +
                  text(onB, onE));
    // a target row that several source rows match may be neither updated nor deleted: 8672
    if (matchedUpdate || matchedDelete) {
        out.emplace_back(
            "select tsql_rows(count(*), 'MERGE') from (select 1 from temp.palvo_merge where "
            "palvo_target is not null group by palvo_target having count(*) > 1)");
    }
    // deletions first: what the other clauses test is then still as it was
    if (matchedDelete) {
        const std::string f = filter(matchedDelete, matchedDeleteAfter);
        out.push_back("delete from " + tgt + " where rowid in (select palvo_m.palvo_target" + joined +
                      " join " + tgtFrom + " on " + tq + ".rowid = palvo_m.palvo_target" +
                      (f.empty() ? "" : " where " + f) + ")");
    }
    if (sourceDelete) {
        const std::string f = filter(sourceDelete, sourceDeleteAfter);
        out.push_back("delete from " + tgt + " where rowid in (select " + tq + ".rowid from " + tgtFrom +
                      " where " + unmatched + (f.empty() ? "" : " and " + f) + ")");
    }
    if (matchedUpdate) {
        const std::string f = filter(matchedUpdate, matchedUpdateAfter);
        out.push_back(
            "update " + tgtFrom + " set " +
            updateAssignments(ns, matchedUpdate->actionB + 2, matchedUpdate->actionE, targetColumns) +
            joined + " where " + tq + ".rowid = palvo_m.palvo_target" + (f.empty() ? "" : " and " + f));
    }
    if (sourceUpdate) {
        const std::string f = filter(sourceUpdate, sourceUpdateAfter);
        out.push_back("update " + tgtFrom + " set " +
                      updateAssignments(ns, sourceUpdate->actionB + 2, sourceUpdate->actionE, targetColumns) +
                      " where " + unmatched + (f.empty() ? "" : " and " + f));
    }
    if (insert) {
        std::size_t a = insert->actionB + 1;
        std::string columns;
        if (a < insert->actionE && ns[a].group) {
            columns = " (" + plain(ns[a].kids, 0, ns[a].kids.size()) + ")";
            ++a;
        }
        if (a + 2 != insert->actionE || !ns[a].word("values") || !ns[a + 1].group)
            unsupported("MERGE ... THEN INSERT without VALUES (...)");
        const Nodes& values = ns[a + 1].kids;
        const std::string f = filter(insert, {});
        out.push_back("insert into " + tgt + columns + " select " + trimLead(seq(values, 0, values.size())) +
                      joined + " where palvo_m.palvo_target is null" + (f.empty() ? "" : " and " + f));
    }
    out.emplace_back("drop table temp.palvo_merge");
    return tr;
}

}  // namespace Palvo::dialect

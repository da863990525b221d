// Triggers: CREATE / ALTER / DROP TRIGGER read, and a trigger's body made ready to run
// as a batch of its own, its pseudo tables named as the connection's tables holding the rows.
#include <string>
#include <utility>
#include <vector>

#include "palvo/dialect/batch.h"
#include "palvo/error.h"
#include "reader.h"

namespace Palvo::dialect {

namespace {

// CREATE [OR ALTER] TRIGGER | ALTER TRIGGER: the index of the word TRIGGER, 0 when it is none.
std::size_t triggerWord(const Nodes& ns) {
    if (ns.size() > 1 && ns[0].word("alter") && ns[1].word("trigger")) return 1;
    if (ns.size() > 1 && ns[0].word("create") && ns[1].word("trigger")) return 1;
    if (ns.size() > 3 && ns[0].word("create") && ns[1].word("or") && ns[2].word("alter") &&
        ns[3].word("trigger"))
        return 3;
    return 0;
}

Nodes nodesOf(std::string_view tsql, std::vector<Token>& toks) {
    toks = tokenize(tsql);
    return buildTree(toks);
}

// the tokens go into the tree: what the body holds is looked for there
void refuseInBody(const Nodes& ns, std::size_t from) {
    for (std::size_t b = from; b < ns.size(); ++b) {
        if (ns[b].group) refuseInBody(ns[b].kids, 0);
        if (ns[b].word("columns_updated")) unsupported("COLUMNS_UPDATED() in a trigger");
        if (ns[b].word("output")) unsupported("OUTPUT in a trigger");
    }
}

}  // namespace

bool isTriggerStatement(std::string_view tsql) {
    std::vector<Token> toks;
    const Nodes ns = nodesOf(tsql, toks);
    return triggerWord(ns) > 0 || (ns.size() > 1 && ns[0].word("drop") && ns[1].word("trigger"));
}

TriggerDefinition readTrigger(std::string_view tsql) {
    std::vector<Token> toks;
    const Nodes ns = nodesOf(tsql, toks);
    const std::size_t at = triggerWord(ns);
    if (at == 0) throw Error(ErrorNumber::InvalidCall, "The text is no CREATE or ALTER TRIGGER.");
    TriggerDefinition t;
    t.create = ns[0].word("create");
    t.orAlter = at == 3;
    std::size_t k = at + 1;
    if (k >= ns.size() || !ns[k].isName()) syntaxNear(ns[k < ns.size() ? k : ns.size() - 1]);
    t.name = ns[k++].tok.text;
    if (k >= ns.size() || !ns[k].word("on")) syntaxNear(ns[k < ns.size() ? k : ns.size() - 1]);
    ++k;
    if (k < ns.size() && (ns[k].word("database") || ns[k].word("all")))
        unsupported("DDL and database triggers (CREATE TRIGGER ... ON " + upper(ns[k].tok.text) + ")");
    if (k >= ns.size() || !ns[k].isName()) syntaxNear(ns[k < ns.size() ? k : ns.size() - 1]);
    t.table = ns[k++].tok.text;
    if (t.table.starts_with('#') || t.table.starts_with('@'))
        throw Error(ErrorNumber::Database, "Cannot create trigger on a temporary object.", 8197);
    if (k < ns.size() && ns[k].word("with")) unsupported("CREATE TRIGGER ... WITH options");
    if (k < ns.size() && ns[k].word("instead")) unsupported("INSTEAD OF triggers");
    if (k >= ns.size() || !(ns[k].word("after") || ns[k].word("for"))) syntaxNear(ns[k < ns.size() ? k : 0]);
    for (++k; k < ns.size() && !ns[k].word("as"); ++k) {
        if (ns[k].op(",")) continue;
        if (ns[k].word("insert")) {
            t.onInsert = true;
        } else if (ns[k].word("update")) {
            t.onUpdate = true;
        } else if (ns[k].word("delete")) {
            t.onDelete = true;
        } else if (ns[k].word("not") || ns[k].word("with")) {
            unsupported("CREATE TRIGGER ... " + upper(ns[k].tok.text) + " options");
        } else {
            syntaxNear(ns[k]);
        }
    }
    if (k + 1 >= ns.size() || !(t.onInsert || t.onUpdate || t.onDelete))
        syntaxNear(ns[k < ns.size() ? k : 0]);
    t.body = std::string(tsql.substr(ns[k + 1].tok.offset));
    // what the body reads that the engine does not give it
    refuseInBody(ns, k + 1);
    return t;
}

DroppedTriggers readDropTrigger(std::string_view tsql) {
    std::vector<Token> toks;
    const Nodes ns = nodesOf(tsql, toks);
    DroppedTriggers d;
    std::size_t k = 2;
    if (k + 1 < ns.size() && ns[k].word("if") && ns[k + 1].word("exists")) {
        d.ifExists = true;
        k += 2;
    }
    for (; k < ns.size(); ++k) {
        if (!ns[k].isName()) syntaxNear(ns[k]);
        d.names.push_back(ns[k].tok.text);
        if (k + 1 < ns.size() && ns[k + 1].word("on"))
            unsupported("DROP TRIGGER ... ON (DDL and database triggers)");
        if (k + 1 < ns.size() && !ns[++k].op(",")) syntaxNear(ns[k]);
    }
    if (d.names.empty()) syntaxNear(ns.back());
    return d;
}

std::string triggerBody(std::string_view body, std::string_view inserted, std::string_view deleted,
                        const UpdatedColumns& updated) {
    const std::vector<Token> toks = tokenize(body);
    std::string out;
    std::size_t copied = 0;
    for (std::size_t k = 0; k < toks.size(); ++k) {
        const Token& t = toks[k];
        // UPDATE(column): whether the statement set it, known as the trigger fires
        if (t.isWord("update") && k + 3 < toks.size() && toks[k + 1].isOp("(") && toks[k + 3].isOp(")") &&
            (toks[k + 2].kind == TokenKind::Word || toks[k + 2].kind == TokenKind::Name)) {
            bool set = updated.all;
            for (const std::string& c : updated.columns) set = set || equalsNoCase(c, toks[k + 2].text);
            out.append(body.substr(copied, t.offset - copied));
            out.append(set ? "(1 = 1)" : "(1 = 0)");
            copied = toks[k + 3].offset + 1;
            k += 3;
            continue;
        }
        const bool isInserted = t.isWord("inserted"), isDeleted = t.isWord("deleted");
        if (!isInserted && !isDeleted) continue;
        // a table where it is named as one, or a qualifier before its column; a column of that name stays
        const bool qualifier =
            k + 1 < toks.size() && toks[k + 1].isOp(".") && (k == 0 || !toks[k - 1].isOp("."));
        bool table = false;
        if (k > 0) {
            for (const char* w : {"from", "join", "apply", "exists"})
                if (toks[k - 1].isWord(w)) table = true;
        }
        if (!qualifier && !table) continue;
        out.append(body.substr(copied, t.offset - copied));
        out.append(isInserted ? inserted : deleted);
        copied = t.offset + t.text.size();
    }
    out.append(body.substr(copied));
    return out;
}

Translation triggerChange(std::string_view text) {
    Translation tr;
    std::vector<Token> toks;
    const Nodes ns = nodesOf(text, toks);
    if (triggerWord(ns) > 0) {
        const TriggerDefinition t = readTrigger(text);  // refusals before anything runs
        tr.change.kind = SchemaChange::Kind::Trigger;
        tr.change.table = t.table;
        tr.change.newName = t.name;
    } else {
        readDropTrigger(text);
        tr.change.kind = SchemaChange::Kind::DropTrigger;
    }
    tr.change.definition = std::string(text);
    // another SQLite host, which has only the statements, refuses it by name
    tr.statements = {"select tsql_refuse('" + upper(ns[0].tok.text) + " TRIGGER')"};
    return tr;
}

std::vector<std::string> updatedColumns(std::string_view tsqlUpdate) {
    std::vector<std::string> columns;
    std::vector<Token> toks;
    const Nodes ns = nodesOf(tsqlUpdate, toks);
    std::size_t k = 0;
    while (k < ns.size() && !ns[k].word("set")) ++k;
    // each assignment's target: the name before its `=` (or `+=` ...), without its table
    bool start = true;
    for (++k; k < ns.size(); ++k) {
        const Node& n = ns[k];
        if (n.word("from") || n.word("where") || n.word("output") || n.word("option")) break;
        if (n.op(",")) {
            start = true;
            continue;
        }
        if (!start) continue;
        if (n.isName() && !n.tok.text.starts_with('@')) {
            std::size_t c = k;
            while (c + 2 < ns.size() && ns[c + 1].op(".") && ns[c + 2].isName()) c += 2;
            columns.push_back(asciiLower(ns[c].tok.text));
            k = c;
        }
        start = false;
    }
    return columns;
}

}  // namespace Palvo::dialect

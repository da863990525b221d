// The targets: SQLite renders through the Rewriter; SQL Server takes T-SQL as written.
#include "batch_functions.h"
#include "palvo/dialect/target.h"
#include "reader.h"

namespace Palvo::dialect {

Target::~Target() = default;

bool declaresOnly(const ReadStatement& s, std::unordered_map<std::string, std::string>& types) {
    if (s.kind != StatementKind::Declare) return false;
    try {
        for (Declared& d : readDeclarations(s.nodes, 0, s.nodes.size())) {
            if (d.valueFirst != d.valueLast) return false;
            types[d.name] = std::move(d.type);
        }
    } catch (const Error&) {
        return false;  // the batch engine reports it
    }
    return true;
}

bool declaredVariables(const Nodes& ns, const std::unordered_map<std::string, std::string>& types) {
    for (const Node& n : ns) {
        if (n.group ? !declaredVariables(n.kids, types)
                    : n.tok.kind == TokenKind::Variable && !n.tok.text.starts_with("@@") &&
                          !types.contains(asciiLower(n.tok.text)))
            return false;
    }
    return true;
}

bool hasParameter(const Nodes& ns) {
    for (const Node& n : ns) {
        if (n.group ? hasParameter(n.kids) : n.tok.kind == TokenKind::Parameter) return true;
    }
    return false;
}

// What the batch engine runs: the statements it steps through, PRINT and
// variables (which a statement alone cannot have).
bool batchLanguage(const ReadStatement& s) {
    switch (s.kind) {
        case StatementKind::Declare:
        case StatementKind::Set:
        case StatementKind::If:
        case StatementKind::While:
        case StatementKind::Return:
        case StatementKind::Execute:
            return true;
        case StatementKind::Begin:  // blocks, TRY ... CATCH, BEGIN TRAN
            return true;
        case StatementKind::Select:
        case StatementKind::With:
        case StatementKind::Insert:
        case StatementKind::Update:
        case StatementKind::Delete:
            // begun by their own word: only a variable they read makes them the engine's
            return readsVariables(s.nodes);
        default:
            break;
    }
    const Node& first = s.nodes[0];
    if (procedureStatement(s.nodes, 0)) return true;
    return first.word("print") || first.word("break") || first.word("continue") || first.word("commit") ||
           first.word("rollback") || first.word("save") || first.word("raiserror") || first.word("throw") ||
           first.word("waitfor") || first.word("open") || first.word("fetch") || first.word("close") ||
           first.word("deallocate") || readsVariables(s.nodes);
}

Error Target::sqlServerError(const Error& failure, std::string_view, Language) const { return failure; }

Translation Target::translate(std::string_view tsql, Catalogue* catalogue,
                              std::string_view parameterTypes) const {
    if (catalogue) {
        if (const auto expanded = expandFunctions(tsql, *catalogue)) {
            Translation tr = render(readBatch(*expanded), catalogue, parameterTypes);
            tr.usesCatalogue = true;
            return tr;
        }
    }
    return render(readBatch(tsql), catalogue, parameterTypes);
}

namespace {

class SqliteTarget final : public Target {
public:
    std::string_view name() const override { return "sqlite"; }
    DatabaseCapabilities capabilities() const override {
        // SQLite has no table hints; its INSERT takes the write lock as it starts
        return {.tableHints = false, .insertSelectLocksFirst = true};
    }
    // declared foreign keys hold, as on SQL Server (SQLite leaves them off by default)
    std::vector<std::string> sessionSetup() const override { return {"PRAGMA foreign_keys = on"}; }
    std::string lastIdentityQuery() const override { return "SELECT last_insert_rowid()"; }
    bool typesFromDeclarations() const override { return true; }

protected:
    Translation render(const ReadBatch& batch, Catalogue* catalogue,
                       std::string_view parameterTypes) const override {
        const auto& all = batch.statements;
        if (all.size() > 1 && nullsOff(all[0].nodes)) {
            ReadBatch rest = batch;
            rest.statements.erase(rest.statements.begin());
            return renderStatements(rest, catalogue, parameterTypes, true);
        }
        return renderStatements(batch, catalogue, parameterTypes, false);
    }

private:
    // kAnsiNullsOff
    static bool nullsOff(const Nodes& ns) {
        return ns.size() == 3 && ns[0].word("set") && ns[1].word("ansi_nulls") && ns[2].word("off");
    }

    Translation renderStatements(const ReadBatch& batch, Catalogue* catalogue,
                                 std::string_view parameterTypes, bool ansiNullsOff) const {
        const auto& ss = batch.statements;
        if (ss.empty()) throw Error(ErrorNumber::InvalidCall, "The statement is empty.");
        if (ss.size() == 1 && triggerStatement(ss[0].nodes))
            return triggerChange(batch.text.substr(ss[0].begin, ss[0].end - ss[0].begin));
        // DECLAREs without values, then one query or change: the statement, reading
        // its variables as parameters typed as declared
        Rewriter::VariableTypes types;
        std::size_t k = 0;
        while (k + 1 < ss.size() && declaresOnly(ss[k], types)) ++k;
        const StatementKind last = ss.back().kind;
        if (k > 0 && k + 1 == ss.size() &&
            (last == StatementKind::Select || last == StatementKind::With || last == StatementKind::Insert ||
             last == StatementKind::Update || last == StatementKind::Delete) &&
            !hasParameter(ss.back().nodes) && declaredVariables(ss.back().nodes, types)) {
            Rewriter rw(catalogue, parameterTypes);
            rw.variables(&types);
            rw.ansiNullsOff(ansiNullsOff);
            return rw.statement(ss.back());
        }
        if (k > 0 || ss.size() > 1 || batchLanguage(ss[0])) return batchOf(batch, catalogue);
        Rewriter rw(catalogue, parameterTypes);
        rw.ansiNullsOff(ansiNullsOff);
        return rw.statement(ss[0]);
    }

    static bool triggerStatement(const Nodes& ns) {
        if (ns.size() < 2) return false;
        if ((ns[0].word("create") || ns[0].word("alter") || ns[0].word("drop")) && ns[1].word("trigger"))
            return true;
        return ns.size() > 3 && ns[0].word("create") && ns[1].word("or") && ns[2].word("alter") &&
               ns[3].word("trigger");
    }

    static Translation batchOf(const ReadBatch& batch, Catalogue* catalogue) {
        Translation tr;
        tr.batch = true;
        tr.refusal = "Not supported by the embedded database: several statements in one batch.";
        if (batch.statements.size() == 1) {
            try {
                Rewriter(catalogue).statement(batch.statements[0]);
            } catch (const Error& e) {
                tr.refusal = e.description();
            }
        }
        return tr;
    }
};

class SqlServerTarget final : public Target {
public:
    std::string_view name() const override { return "sqlserver"; }
    DatabaseCapabilities capabilities() const override { return {}; }
    bool passesThrough() const override { return true; }
    std::string lastIdentityQuery() const override { return "SELECT @@IDENTITY"; }
    // not read at all: the server's own parser reports what is wrong with it
    Translation translate(std::string_view tsql, Catalogue*, std::string_view) const override {
        Translation tr;
        tr.statements.emplace_back(tsql);
        return tr;
    }

protected:
    Translation render(const ReadBatch& batch, Catalogue*, std::string_view) const override {
        Translation tr;
        tr.statements.emplace_back(batch.text);
        return tr;
    }
};

}  // namespace

const Target& sqliteTarget() {
    static const SqliteTarget target;
    return target;
}

const Target& sqlServerTarget() {
    static const SqlServerTarget target;
    return target;
}

const Target* targetForDbms(std::string_view dbmsName) {
    if (equalsNoCase(dbmsName, "Microsoft SQL Server")) return &sqlServerTarget();
    if (equalsNoCase(dbmsName, "SQLite")) return &sqliteTarget();
    if (equalsNoCase(dbmsName, "PostgreSQL")) return &postgresTarget();
    return nullptr;
}

}  // namespace Palvo::dialect

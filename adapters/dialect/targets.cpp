// The targets: SQLite renders through the Rewriter; SQL Server takes T-SQL as written.
#include "palvo/dialect/target.h"
#include "reader.h"

namespace Palvo::dialect {

Target::~Target() = default;

Translation Target::translate(std::string_view tsql, Catalogue* catalogue,
                              std::string_view parameterTypes) const {
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
        if (batch.statements.size() > 1) unsupported("several statements in one batch");
        if (batch.statements.empty()) throw Error(ErrorNumber::InvalidCall, "The statement is empty.");
        Rewriter rw(catalogue, parameterTypes);
        return rw.statement(batch.statements[0]);
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
    return nullptr;
}

}  // namespace Palvo::dialect

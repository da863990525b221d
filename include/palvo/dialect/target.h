// The databases T-SQL is rendered for: each target renders the reader's
// statements as its database runs them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "palvo/data.h"
#include "palvo/dialect/server_errors.h"
#include "palvo/dialect/translator.h"
#include "palvo/error.h"
#include "palvo/export.h"

namespace Palvo::dialect {

struct ReadBatch;  // the reader's statements (adapters/dialect/reader.h)

/// One database's rendering of T-SQL. Targets keep no state: one serves every
/// translator and thread.
class PALVO_API Target {
public:
    virtual ~Target();
    /// "sqlite", "sqlserver": for messages.
    virtual std::string_view name() const = 0;
    /// What the database understands, as its connections report it.
    virtual DatabaseCapabilities capabilities() const = 0;
    /// Whether statements go to the database as written (it reads T-SQL itself).
    virtual bool passesThrough() const { return false; }
    /// What one T-SQL statement becomes. Throws Palvo::Error NotSupported naming
    /// a construct the database has no faithful rendering of. Default: the
    /// statement read (readBatch), then rendered.
    /// `parameterTypes`: see Translator::translateStatements.
    virtual Translation translate(std::string_view tsql, Catalogue* catalogue,
                                  std::string_view parameterTypes = {}) const;

    /// Statements a connection runs once, as it opens, before any of the host's.
    virtual std::vector<std::string> sessionSetup() const { return {}; }
    /// Statements that make the session speak `language` (the names DATENAME and FORMAT give), run after
    /// sessionSetup when the connection string names a language ("Language=us_english"). Default: none.
    virtual std::vector<std::string> languageSetup(Language) const { return {}; }
    /// The query that reads the identity the connection's last INSERT made.
    virtual std::string lastIdentityQuery() const = 0;
    /// Whether the driver reports result columns only by their values, so that
    /// their types are read from the columns' declarations instead.
    virtual bool typesFromDeclarations() const { return false; }
    /// Whether the database writes each decimal value with its own scale, which is
    /// SQL Server's, where its driver describes a computed column's scale otherwise.
    virtual bool decimalsAsWritten() const { return false; }
    /// A statement's failure as SQL Server reports it (its number as the native
    /// code, its words), where the database's own differ; `database` is the name of
    /// the database the connection uses; `language` the one its words are in. Default: the failure as the
    /// driver gave it.
    virtual Error sqlServerError(const Error& failure, std::string_view database, Language language) const;

protected:
    virtual Translation render(const ReadBatch& batch, Catalogue* catalogue,
                               std::string_view parameterTypes) const = 0;
};

/// SQLite 3.40 with the library's runtime functions (tsql_*) and collation.
PALVO_API const Target& sqliteTarget();
/// SQL Server: the statement as written.
PALVO_API const Target& sqlServerTarget();
/// PostgreSQL 15 and later, with the schema `palvo` each connection installs
/// once per version (T-SQL's functions, '+' on text, the catalogue).
PALVO_API const Target& postgresTarget();
/// The target of a database by the DBMS name its ODBC driver reports
/// (SQL_DBMS_NAME: "Microsoft SQL Server", "SQLite", "PostgreSQL"; any case); nullptr for a
/// database the library has no target for.
PALVO_API const Target* targetForDbms(std::string_view dbmsName);

}  // namespace Palvo::dialect

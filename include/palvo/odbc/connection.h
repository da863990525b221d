// The ODBC data access adapter: SQL Server through FreeTDS (unixODBC), and the
// SQLite ODBC driver with T-SQL translated for it. Other databases are refused.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "palvo/data.h"
#include "palvo/export.h"

namespace Palvo::odbc {

namespace detail {
struct Api;  // the table of ODBC calls the adapter goes through
}

/// Rewrites a T-SQL statement for a database that is not SQL Server; one
/// statement may become several, run in order.
using StatementTranslator = std::function<std::vector<std::string>(const std::string& sql)>;

/// A connection through the ODBC driver manager. Open takes an ODBC
/// connection string ("driver=sql server;server=...;uid=...;pwd=...;database=..."
/// reaches SQL Server through FreeTDS). Every failure raises Palvo::Error with
/// the driver's message, native error code and SQLSTATE. Open picks the T-SQL
/// target of the driver's DBMS name (dialect::targetForDbms) and refuses a
/// database that has none (NotSupported, naming it) unless the host set its
/// own translator.
class PALVO_API Connection : public Palvo::Connection {
public:
    Connection();
    /// Uses the given call table instead of the driver manager (for tests).
    explicit Connection(const detail::Api& api);
    ~Connection() override;

    std::string backendName() const override { return "odbc"; }

    /// The DBMS name the driver reported when the connection opened; "" while closed.
    const std::string& dbmsName() const;
    /// Replaces the translator used for databases other than SQL Server (an
    /// empty one sends statements as written), for this and later openings.
    void setStatementTranslator(StatementTranslator translator);
    /// The open database's target's; SQL Server's while closed.
    DatabaseCapabilities capabilities() const override;

protected:
    void doOpen(const std::string& connectionString, const std::string& user,
                const std::string& password) override;
    void doClose() noexcept override;
    long doExecute(const std::string& sql, const std::vector<Value>& params) override;
    /// A Null goes as the column's type: the caller's, else what SQLDescribeParam says.
    long doExecuteWithTypes(const std::string& sql, const std::vector<Value>& params,
                            const std::vector<int>& columnTypes) override;
    ResultTable doQuery(const std::string& sql) override;
    ResultTable doQueryWith(const std::string& sql, const std::vector<Value>& params) override;
    /// The rows go to the reader as they are fetched, never kept whole.
    void doQueryEach(const std::string& sql, RowReader& reader) override;
    void doQueryEachWith(const std::string& sql, const std::vector<Value>& params,
                         RowReader& reader) override;
    std::vector<ResultTable> doQueryResults(const std::string& sql,
                                            const std::vector<Value>& params) override;
    /// SQL Server: @@IDENTITY (SCOPE_IDENTITY() is Null in a batch of its own);
    /// the SQLite driver: last_insert_rowid(). Other databases raise 3251.
    long long doLastInsertId() override;
    void doBegin() override;
    void doCommit() override;
    void doRollback() override;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

/// The host platform's connection string for a server, user, password and
/// database, every value quoted in braces ("}" doubled), so that ";", "=" and
/// braces in a password reach the server as typed.
PALVO_API std::string connectionStringFor(const std::string& server, const std::string& user,
                                          const std::string& password, const std::string& database);

/// The connection string handed to the driver manager: "driver=sql server"
/// (any case, braces optional) becomes the FreeTDS driver, and a FreeTDS
/// connection gets ClientCharset=UTF-8 and TDS_Version=7.4 unless given, with
/// its values re-quoted the way FreeTDS reads them (it has no escape for "}").
/// A non-empty user or password replaces UID/PWD. Throws Palvo::Error
/// (ConnectionFailed) when the string cannot be parsed, or when a value for
/// FreeTDS contains "};", which FreeTDS cannot read.
PALVO_API std::string driverConnectionString(const std::string& connectionString,
                                             const std::string& user = {}, const std::string& password = {});

/// The key that says where a connection string goes, as written: the first
/// Driver, DSN or FileDSN (an ODBC string), else the first Provider (OLE DB) or
/// Server; "" for text that has none of them (a file name, an SQLite
/// "Data Source=FILE" string). Reads braces as the driver manager does and never
/// throws, so a malformed string is still told apart from a file name.
PALVO_API std::string connectionTarget(std::string_view text);

/// Whether a connection string goes to an ODBC driver: its connectionTarget is
/// Driver, DSN or FileDSN.
PALVO_API bool namesOdbcDriver(std::string_view text);

/// How a message names the database of a connection string: "the database NAME"
/// by its Database=, else "the data source NAME" by its DSN=, else "the ODBC
/// database"; never the string itself, which may hold a password.
PALVO_API std::string shownDatabase(std::string_view connectionString);

/// Makes Palvo::newConnection() create odbc::Connection objects.
PALVO_API void installConnectionFactory();

}  // namespace Palvo::odbc

// The embedded database: SQLite with the SQL Server dialect layer.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "palvo/data.h"
#include "palvo/export.h"

namespace Palvo::sqlite {

/// A connection to an SQLite database file that accepts SQL Server statements.
/// Open takes a file path, "Data Source=FILE" or ":memory:"; a missing file is created.
/// Every statement goes through the T-SQL translator; failures raise Palvo::Error
/// (ErrorNumber::Database with SQL Server's error number and text where SQL Server
/// has one, in Chinese unless "Language=us_english" or SET LANGUAGE chooses English,
/// else SQLite's extended result code; or NotSupported naming a construct the
/// translator does not handle).
/// Like any connection, it serves one thread at a time; threads that run
/// statements at the same moment need connections of their own.
class PALVO_API Connection : public Palvo::Connection {
public:
    Connection();
    ~Connection() override;

    std::string backendName() const override { return "sqlite"; }
    /// SQLite's: no table hints; an INSERT ... SELECT takes the write lock first.
    DatabaseCapabilities capabilities() const override;

    /// The file this connection opened ("" when closed).
    std::string path() const;

    /// Completes what the T-SQL CREATE TABLE or CREATE INDEX `tsql` makes when the
    /// file holds only part of it: a table without some of its value checks or date
    /// triggers (as a schema change interrupted in an earlier version left it), or a
    /// missing index of a table that is there. Returns the names of what it created;
    /// nothing when the object is whole or its table is missing. Every stored row is
    /// first put through the missing triggers: when a value fails them or would be
    /// changed by them, nothing is created and Palvo::Error names the table and why.
    std::vector<std::string> completeSchema(const std::string& tsql);

protected:
    void doOpen(const std::string& connectionString, const std::string& user,
                const std::string& password) override;
    void doClose() noexcept override;
    long doExecute(const std::string& sql, const std::vector<Value>& params) override;
    ResultTable doQuery(const std::string& sql) override;
    ResultTable doQueryWith(const std::string& sql, const std::vector<Value>& params) override;
    std::vector<ResultTable> doQueryResults(const std::string& sql,
                                            const std::vector<Value>& params) override;
    void doQueryEach(const std::string& sql, RowReader& reader) override;
    void doQueryEachWith(const std::string& sql, const std::vector<Value>& params,
                         RowReader& reader) override;
    std::optional<ResultTable> doQueryKeeping(const std::string& sql, const RowFilter& filter) override;
    long long doLastInsertId() override;
    void doBegin() override;
    void doCommit() override;
    void doRollback() override;
    void applyTimeouts() override;
    std::optional<std::int64_t> doSchemaVersion() override;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

/// Bounds the memory of the embedded database in this process: SQLite's own
/// (caches, sorts, temporary tables) and the rows of each result being read
/// count against `bytes`. A statement that would need more fails with
/// ErrorNumber::Database, "The statement needs more memory than the embedded
/// database's bound of N MB." and changes nothing. 0 (the default) sets no bound.
PALVO_API void setMemoryLimit(std::uint64_t bytes);
PALVO_API std::uint64_t memoryLimit();

/// The database file a connection string names, as Open reads it: the string
/// itself when it holds no "=", else its "Data Source" (or "Database"). Throws
/// Palvo::Error as Open does for a string it refuses.
PALVO_API std::string databaseFile(const std::string& connectionString);

/// Installs a connection factory that makes sqlite::Connection objects.
PALVO_API void installConnectionFactory();

}  // namespace Palvo::sqlite

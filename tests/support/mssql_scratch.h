// The tests that run on a real SQL Server when PALVO_TEST_MSSQL names one: each
// test gets a database of its own, made when it starts and dropped when it ends.
#pragma once

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>

#include "palvo/data.h"
#include "palvo/error.h"
#include "palvo/odbc/connection.h"

namespace Palvo::testing {

/// Why the SQL Server tests did not run.
inline constexpr const char* kMssqlSkipReason =
    "PALVO_TEST_MSSQL not set: set it to an ODBC connection string of a SQL Server "
    "(docs/odbc.md) to run these tests there";

/// The connection string PALVO_TEST_MSSQL holds; "" when it is not set.
inline std::string mssqlConnectionString() {
    const char* v = std::getenv("PALVO_TEST_MSSQL");
    return v ? v : "";
}

/// A database nobody else uses: the process and a count, so tests that run at
/// the same time, from one machine or several, never meet.
inline std::string scratchDatabaseName() {
    static int made = 0;
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return "palvo_test_" + std::to_string(::getpid()) + "_" +
           std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(now).count() % 100000000) +
           "_" + std::to_string(++made);
}

/// Makes a database on the server a connection reaches, switches the connection
/// to it and drops it again when destroyed. A database rather than a schema: the
/// library names its tables without a schema and finds them in the catalogue by
/// name, and a sysadmin login always resolves names in dbo.
class ScratchDatabase {
public:
    /// Opens `connectionString` on `conn` (when it is closed), then creates the
    /// database with the collation the library's data expects. Throws Palvo::Error,
    /// also when the connection does not reach a SQL Server.
    ScratchDatabase(std::shared_ptr<Connection> conn, std::string connectionString)
        : conn_(std::move(conn)),
          connectionString_(std::move(connectionString)),
          name_(scratchDatabaseName()) {
        if (conn_->State() == adStateClosed) conn_->Open(connectionString_);
        auto* odbc = dynamic_cast<odbc::Connection*>(conn_.get());
        if (odbc && odbc->dbmsName() != "Microsoft SQL Server") {
            throw Error(ErrorNumber::ConnectionFailed,
                        "PALVO_TEST_MSSQL reaches " + odbc->dbmsName() + ", not Microsoft SQL Server");
        }
        conn_->Execute("create database [" + name_ + "] collate Chinese_PRC_CI_AS");
        conn_->Execute("use [" + name_ + "]");
    }
    ScratchDatabase(const ScratchDatabase&) = delete;
    ScratchDatabase& operator=(const ScratchDatabase&) = delete;

    /// Drops the database, reconnecting when the test closed the connection.
    ~ScratchDatabase() {
        try {
            if (conn_->State() == adStateClosed) conn_->Open(connectionString_);
            if (conn_->InTransaction()) conn_->RollbackTrans();
            conn_->Execute("use master");
            conn_->Execute("drop database [" + name_ + "]");
        } catch (const Error& e) {
            std::fprintf(stderr, "the scratch database %s was not dropped: %s\n", name_.c_str(),
                         e.description().c_str());
        }
    }

    const std::string& name() const { return name_; }
    const std::shared_ptr<Connection>& connection() const { return conn_; }

private:
    std::shared_ptr<Connection> conn_;
    std::string connectionString_;
    std::string name_;
};

/// An ODBC connection on a new scratch database of the server PALVO_TEST_MSSQL
/// names; the database goes when the last copy of the pointer does. Null when
/// the variable is not set.
inline std::shared_ptr<Connection> openMssqlScratch() {
    const std::string cs = mssqlConnectionString();
    if (cs.empty()) return nullptr;
    auto scratch = std::make_shared<ScratchDatabase>(std::make_shared<odbc::Connection>(), cs);
    return std::shared_ptr<Connection>(scratch, scratch->connection().get());
}

}  // namespace Palvo::testing

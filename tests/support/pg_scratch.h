// A database of its own on the private PostgreSQL server (pg_server.h) for each
// test of the answers suites, so that tests running side by side never meet: it
// is copied from a template that already holds the schema `palvo`, and dropped
// when the test ends. The connection notes each statement it is given, so that
// the suites can tell which statement a failure follows (pg_differences.h).
#pragma once

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "palvo/data.h"
#include "palvo/error.h"
#include "palvo/odbc/connection.h"
#include "support/pg_server.h"

namespace Palvo::testing {

/// Why the PostgreSQL cases did not run.
inline constexpr const char* kPgSkipReason =
    "PALVO_PG_CONNECTION_FILE not set: run through ctest, which starts a private PostgreSQL server "
    "(scripts/pg-cluster) for these cases";

/// An ODBC connection to PostgreSQL that remembers the statements it was given, in order, each on one line
/// (its line breaks as blanks), as the docs' list of differences writes them.
class NotingPgConnection final : public odbc::Connection {
public:
    /// The statement given last; "" before the first.
    const std::string& lastStatement() const { return last_; }
    /// Every statement given so far.
    const std::set<std::string>& statements() const { return all_; }

protected:
    long doExecute(const std::string& sql, const std::vector<Value>& params) override {
        note(sql);
        return odbc::Connection::doExecute(sql, params);
    }
    long doExecuteWithTypes(const std::string& sql, const std::vector<Value>& params,
                            const std::vector<int>& columnTypes) override {
        note(sql);
        return odbc::Connection::doExecuteWithTypes(sql, params, columnTypes);
    }
    ResultTable doQuery(const std::string& sql) override {
        note(sql);
        return odbc::Connection::doQuery(sql);
    }
    ResultTable doQueryWith(const std::string& sql, const std::vector<Value>& params) override {
        note(sql);
        return odbc::Connection::doQueryWith(sql, params);
    }
    std::vector<ResultTable> doQueryResults(const std::string& sql,
                                            const std::vector<Value>& params) override {
        note(sql);
        return odbc::Connection::doQueryResults(sql, params);
    }

private:
    void note(const std::string& sql) {
        last_ = sql;
        std::replace(last_.begin(), last_.end(), '\n', ' ');
        all_.insert(last_);
    }
    std::string last_;
    std::set<std::string> all_;
};

/// The connection string `server` with its database replaced by `database`.
inline std::string pgConnectionTo(const std::string& server, const std::string& database) {
    const std::string key = "Database=";
    const std::size_t at = server.find(key);
    if (at == std::string::npos) return server + ";Database=" + database + ";";
    const std::size_t end = server.find(';', at);
    return server.substr(0, at + key.size()) + database +
           (end == std::string::npos ? "" : server.substr(end));
}

/// A database copied from the template `palvo_answers`, which the first test to need it makes (under an
/// advisory lock, as several processes may start together) and fills with the schema `palvo`; dropped
/// again when destroyed. A new server starts each test run, so the template holds the current schema.
class PgScratchDatabase {
public:
    /// `language` as the connection string's Language names it; empty for the library's default, Chinese.
    PgScratchDatabase(const std::string& server, const std::string& language)
        : name_("palvo_t" + std::to_string(::getpid()) + "_" + std::to_string(++made())) {
        admin_.setStatementTranslator({});  // PostgreSQL's own statements, sent as written
        admin_.Open(server);
        admin_.Execute("select pg_advisory_lock(7238502)");
        try {
            if (admin_.Query("select 1 from pg_database where datname = 'palvo_answers'").rowCount() == 0) {
                admin_.Execute("create database palvo_answers");
                odbc::Connection install;  // opening with the target installs the schema
                install.Open(pgConnectionTo(server, "palvo_answers"));
            }
        } catch (const Error&) {
            admin_.Execute("select pg_advisory_unlock(7238502)");
            throw;
        }
        admin_.Execute("select pg_advisory_unlock(7238502)");
        admin_.Execute("create database " + name_ + " template palvo_answers");
        conn_->Open(pgConnectionTo(server, name_) + (language.empty() ? "" : ";Language=" + language + ";"));
    }
    PgScratchDatabase(const PgScratchDatabase&) = delete;
    PgScratchDatabase& operator=(const PgScratchDatabase&) = delete;

    ~PgScratchDatabase() {
        conn_->Close();
        try {
            admin_.Execute("drop database if exists " + name_ + " with (force)");
        } catch (const Error& e) {
            std::fprintf(stderr, "the scratch database %s was not dropped: %s\n", name_.c_str(),
                         e.description().c_str());
        }
    }

    const std::shared_ptr<NotingPgConnection>& connection() const { return conn_; }

private:
    static int& made() {
        static int n = 0;
        return n;
    }
    odbc::Connection admin_;
    std::string name_;
    std::shared_ptr<NotingPgConnection> conn_ = std::make_shared<NotingPgConnection>();
};

/// A connection on a new scratch database of the private server; the database goes when the last copy of
/// the pointer does. Null when PALVO_PG_CONNECTION_FILE is not set.
inline std::shared_ptr<Connection> openPgScratchIn(const std::string& language) {
    const std::string server = pgServerConnection();
    if (server.empty()) return nullptr;
    auto scratch = std::make_shared<PgScratchDatabase>(server, language);
    return std::shared_ptr<Connection>(scratch, scratch->connection().get());
}

/// In English, as the answers suites run the embedded database.
inline std::shared_ptr<Connection> openPgScratch() { return openPgScratchIn("us_english"); }

}  // namespace Palvo::testing

// What the PostgreSQL tests share: a database of its own on the private server for a test, and
// the rows of a result as one text.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "palvo/odbc/connection.h"
#include "support/pg_server.h"

namespace Palvo::testing {

/// Every row of a result: values joined by '|', rows by ';', NULL as "NULL", a decimal with its scale.
inline std::string rowsText(const ResultTable& t) {
    std::string r;
    for (std::size_t k = 0; k < t.rowCount(); ++k) {
        for (std::size_t c = 0; c < t.columns.size(); ++c) {
            const Value& v = t.at(k, c);
            r += (c   ? "|"
                  : k ? ";"
                      : "") +
                 (v.isNull()    ? std::string("NULL")
                  : v.decimal() ? v.decimal()->text
                                : v.toText());
        }
    }
    return r;
}

/// A statement and every row it answers with, as rowsText gives them.
struct PgAnswer {
    const char* sql;
    const char* rows;
};

inline void expectRows(odbc::Connection& c, const std::vector<PgAnswer>& answers) {
    for (const auto& a : answers) {
        SCOPED_TRACE(a.sql);
        EXPECT_EQ(rowsText(c.Query(a.sql)), a.rows);
    }
}

/// A test with a database of its own on the server, named by `prefix` and the test, dropped after it.
class PgOwnDatabase : public ::testing::Test {
protected:
    explicit PgOwnDatabase(std::string prefix) : prefix_(std::move(prefix)) {}

    void SetUp() override {
        const std::string server = pgServerConnection();
        ASSERT_FALSE(server.empty()) << "no server: run through ctest, which starts one";
        const PgTestDatabase d = makeTestDatabase(admin_, server, prefix_);
        name_ = d.name;
        db_ = d.connection;
    }
    void TearDown() override { dropTestDatabase(admin_, name_); }

    std::string name_;
    std::string db_;  // its ODBC string
    odbc::Connection admin_;

private:
    std::string prefix_;
};

}  // namespace Palvo::testing

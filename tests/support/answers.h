// A suite of statements and SQL Server's documented answers, run on the
// embedded database and, when PALVO_TEST_MSSQL names one, on a real SQL Server.
// Derive a fixture from AnswersTest and instantiate it with
// PALVO_ANSWERS_ON_BACKENDS(Fixture); a suite of single statements takes
// PALVO_ANSWERS_ON_BACKENDS_AND_PG(Fixture) and runs on PostgreSQL as well,
// where the cases listed in pg_differences.h are held to differ.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "palvo/data.h"
#include "palvo/error.h"
#include "palvo/sqlite/connection.h"
#include "support/backends.h"
#include "support/pg_differences.h"
#include "support/pg_scratch.h"

namespace Palvo::testing {

using Row = std::vector<std::string>;

/// One statement and the first row SQL Server answers it with.
struct Answer {
    const char* sql;
    Row row;
};

/// A statement and the SQL Server number it fails with; its text holds `says`.
struct Refusal {
    const char* sql;
    long number;
    const char* says = "";
};

/// Every result set of a batch, each as its rows; a result set's column names come first.
using ResultSets = std::vector<std::vector<Row>>;

/// Row `r` of a table as text, "<null>" for Null.
inline Row rowText(const ResultTable& t, std::size_t r) {
    Row out;
    for (std::size_t c = 0; c < t.columns.size(); ++c)
        out.push_back(t.at(r, c).isNull() ? "<null>" : t.at(r, c).toText());
    return out;
}

/// Runs `sql` and expects it refused by name before anything runs: NotSupported, its text holding `says`.
inline void expectRefusedByName(Connection& conn, const std::string& sql, const std::string& says) {
    try {
        conn.Execute(sql);
        ADD_FAILURE() << "ran";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), ErrorNumber::NotSupported);
        EXPECT_NE(e.description().find(says), std::string::npos) << e.description();
    }
}

/// A statement the embedded database refuses by name, and what its message names.
struct ByName {
    const char* sql;
    const char* says;
};

/// Runs each statement after `first` and expects it refused by name before anything runs: the first
/// value `unchanged` (a query) answers stays as it was.
inline void expectRefusedByName(Connection& conn, const std::string& first, const std::vector<ByName>& cases,
                                const std::string& unchanged) {
    const std::string before = conn.Query(unchanged).at(0, 0).toText();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sql);
        expectRefusedByName(conn, first + c.sql, c.says);
        EXPECT_EQ(conn.Query(unchanged).at(0, 0).toText(), before);
    }
}

/// The embedded database in the file `file`, in us_english as the suites open it.
inline std::shared_ptr<Connection> openEmbeddedFile(const std::string& file) {
    auto c = std::make_shared<sqlite::Connection>();
    c->Open("Data Source=" + file + ";Language=us_english");
    return c;
}

/// The embedded database alone, with the table 账 its cases write to.
class EmbeddedAccounts : public ::testing::Test {
protected:
    void SetUp() override {
        conn_ = openEmbedded();
        conn_->Execute("create table 账 (k int primary key, v varchar(10))");
    }
    long count() { return static_cast<long>(*conn_->Query("select count(*) from 账").at(0, 0).integer()); }
    std::string trancount() { return conn_->Query("select @@trancount").at(0, 0).toText(); }
    std::shared_ptr<Connection> conn_;
};

class AnswersTest : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override {
        conn_ = GetParam().open();
        if (!conn_) GTEST_SKIP() << GetParam().skipReason;
        watch_ = watchPgDifferences(*conn_);
    }

    /// On PostgreSQL: the failures no entry of the docs' list explains fail the test, and so does an entry
    /// whose statement ran and answered as SQL Server does.
    void TearDown() override { settlePgDifferences(watch_); }

    /// The first row's values as text, "<null>" for Null; {"<no row>"} when there is none.
    Row row(const std::string& sql) {
        auto t = conn_->Query(sql);
        if (t.rowCount() == 0) return {"<no row>"};
        return rowText(t, 0);
    }
    std::string scalar(const std::string& sql) { return row(sql).at(0); }
    /// Every row, each as row() gives the first.
    std::vector<Row> rows(const std::string& sql) {
        auto t = conn_->Query(sql);
        std::vector<Row> out;
        for (std::size_t r = 0; r < t.rowCount(); ++r) out.push_back(rowText(t, r));
        return out;
    }
    /// Every result set a batch gives, read with NextRecordset.
    ResultSets results(const std::string& sql) {
        Recordset rs;
        rs.Open(sql, *conn_, adOpenStatic, adLockReadOnly);
        ResultSets out;
        while (rs.State() == adStateOpen) {
            const ResultTable& t = rs.table();
            std::vector<Row> set;
            set.emplace_back();
            for (const auto& c : t.columns) set.front().push_back(c.name);
            for (std::size_t r = 0; r < t.rowCount(); ++r) set.push_back(rowText(t, r));
            out.push_back(std::move(set));
            rs = rs.NextRecordset();
        }
        return out;
    }
    /// The names of the columns a query reports.
    Row names(const std::string& sql) {
        Row n;
        for (const auto& c : conn_->Query(sql).columns) n.push_back(c.name);
        return n;
    }
    /// The SQL Server number a statement (a query read whole) fails with, 0 when it runs; its text
    /// holds `says`.
    long refused(const std::string& sql, const std::string& says = "") {
        try {
            sql.starts_with("select") ? (void)row(sql) : (void)conn_->Execute(sql);
        } catch (const Error& e) {
            EXPECT_NE(e.description().find(says), std::string::npos) << e.description();
            return e.nativeCode();
        }
        return 0;
    }
    /// Checks that each statement fails with its number, naming the statement when it does not.
    void expectRefusals(const std::vector<Refusal>& refusals) {
        for (const auto& r : refusals) {
            SCOPED_TRACE(r.sql);
            EXPECT_EQ(refused(r.sql, r.says), r.number);
        }
    }
    /// Every row as the driver gives it: a Decimal with every digit of its scale, "<null>" for Null.
    std::vector<Row> exact(const std::string& sql) {
        auto t = conn_->Query(sql);
        std::vector<Row> out;
        for (std::size_t r = 0; r < t.rowCount(); ++r) {
            Row one;
            for (std::size_t c = 0; c < t.columns.size(); ++c) {
                const Value& v = t.at(r, c);
                one.push_back(v.isNull() ? "<null>" : v.decimal() ? v.decimal()->text : v.toText());
            }
            out.push_back(std::move(one));
        }
        return out;
    }
    /// Checks each answer, naming its statement when it differs.
    void expectAnswers(const std::vector<Answer>& answers) {
        expectEach(answers, [&](const std::string& sql) { return row(sql); });
    }
    /// Checks each answer's first row as exact() reads it ({"<no row>"} when there is none).
    void expectExact(const std::vector<Answer>& answers) {
        expectEach(answers, [&](const std::string& sql) {
            const auto rows = exact(sql);
            return rows.empty() ? Row{"<no row>"} : rows.front();
        });
    }

    std::shared_ptr<Connection> conn_;

private:
    std::unique_ptr<PgDifferenceWatch> watch_;
    void expectEach(const std::vector<Answer>& answers, const std::function<Row(const std::string&)>& read) {
        for (const auto& a : answers) {
            SCOPED_TRACE(a.sql);
            try {
                EXPECT_EQ(read(a.sql), a.row);
            } catch (const Error& e) {
                ADD_FAILURE() << "refused: " << e.description();
            }
        }
    }
};

}  // namespace Palvo::testing

#define PALVO_ANSWERS_ON_BACKENDS(Fixture)                                                         \
    INSTANTIATE_TEST_SUITE_P(                                                                      \
        Backends, Fixture,                                                                         \
        ::testing::Values(::Palvo::testing::Backend{"Embedded", ::Palvo::testing::openEmbedded},   \
                          ::Palvo::testing::Backend{"MsSql", ::Palvo::testing::openMssqlScratch}), \
        ::Palvo::testing::backendName)

/// The same, and on a scratch database of the private PostgreSQL server (pg_scratch.h).
#define PALVO_ANSWERS_ON_BACKENDS_AND_PG(Fixture)                                                 \
    INSTANTIATE_TEST_SUITE_P(                                                                     \
        Backends, Fixture,                                                                        \
        ::testing::Values(::Palvo::testing::Backend{"Embedded", ::Palvo::testing::openEmbedded},  \
                          ::Palvo::testing::Backend{"MsSql", ::Palvo::testing::openMssqlScratch}, \
                          ::Palvo::testing::Backend{"Pg", ::Palvo::testing::openPgScratch,        \
                                                    ::Palvo::testing::kPgSkipReason}),            \
        ::Palvo::testing::backendName)

// A suite of statements and SQL Server's documented answers, run on the
// embedded database and, when PALVO_TEST_MSSQL names one, on a real SQL Server.
// Derive a fixture from AnswersTest and instantiate it with
// PALVO_ANSWERS_ON_BACKENDS(Fixture).
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "palvo/data.h"
#include "palvo/error.h"
#include "support/backends.h"

namespace Palvo::testing {

using Row = std::vector<std::string>;

/// One statement and the first row SQL Server answers it with.
struct Answer {
    const char* sql;
    Row row;
};

class AnswersTest : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override {
        conn_ = GetParam().open();
        if (!conn_) GTEST_SKIP() << kMssqlSkipReason;
    }

    /// The first row's values as text, "<null>" for Null; {"<no row>"} when there is none.
    Row row(const std::string& sql) {
        auto t = conn_->Query(sql);
        Row out;
        if (t.rowCount() == 0) return {"<no row>"};
        for (std::size_t c = 0; c < t.columns.size(); ++c)
            out.push_back(t.at(0, c).isNull() ? "<null>" : t.at(0, c).toText());
        return out;
    }
    std::string scalar(const std::string& sql) { return row(sql).at(0); }
    /// Every row, each as row() gives the first.
    std::vector<Row> rows(const std::string& sql) {
        auto t = conn_->Query(sql);
        std::vector<Row> out;
        for (std::size_t r = 0; r < t.rowCount(); ++r) {
            Row one;
            for (std::size_t c = 0; c < t.columns.size(); ++c)
                one.push_back(t.at(r, c).isNull() ? "<null>" : t.at(r, c).toText());
            out.push_back(std::move(one));
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
    /// Checks each answer, naming its statement when it differs.
    void expectAnswers(const std::vector<Answer>& answers) {
        for (const auto& a : answers) {
            SCOPED_TRACE(a.sql);
            try {
                EXPECT_EQ(row(a.sql), a.row);
            } catch (const Error& e) {
                ADD_FAILURE() << "refused: " << e.description();
            }
        }
    }

    std::shared_ptr<Connection> conn_;
};

}  // namespace Palvo::testing

#define PALVO_ANSWERS_ON_BACKENDS(Fixture)                                                         \
    INSTANTIATE_TEST_SUITE_P(                                                                      \
        Backends, Fixture,                                                                         \
        ::testing::Values(::Palvo::testing::Backend{"Embedded", ::Palvo::testing::openEmbedded},   \
                          ::Palvo::testing::Backend{"MsSql", ::Palvo::testing::openMssqlScratch}), \
        ::Palvo::testing::backendName)

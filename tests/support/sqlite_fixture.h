// A session on a fresh in-memory embedded database, for tests of modules
// that run statements.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "palvo/clsForm.h"
#include "palvo/session.h"
#include "palvo/sqlite/connection.h"
#if PALVO_TEST_ON_MSSQL
#include "support/mssql_scratch.h"
#elif PALVO_TEST_ON_PG
#include "support/pg_differences.h"
#include "support/pg_scratch.h"
#endif

namespace Palvo::testing {

class SessionTest : public ::testing::Test {
protected:
    void SetUp() override {
#if PALVO_TEST_ON_MSSQL || PALVO_TEST_ON_PG
        // the same tests on a scratch database of a real server (tests/CMakeLists.txt: mssql_test,
        // pg_session_test); without one, the fixture's set-up runs on a stand-in and the test is skipped
#if PALVO_TEST_ON_MSSQL
        conn = openMssqlScratch();
        const char* const skipReason = kMssqlSkipReason;
#else
        conn = openPgScratchIn("");  // in Chinese, as the embedded database runs these tests
        const char* const skipReason = kPgSkipReason;
        if (conn) watch_ = watchPgDifferences(*conn);
#endif
        const bool onServer = conn != nullptr;
        if (!onServer) {
            auto standIn = std::make_shared<sqlite::Connection>();
            standIn->Open(":memory:");
            conn = standIn;
        }
#else
        conn = std::make_shared<sqlite::Connection>();
        conn->Open(":memory:");
#endif
        clsForm().mInit_Var("01", "一分公司", "001", "财务部", conn, "", 50, "提示标题", "张三");
#if PALVO_TEST_ON_MSSQL || PALVO_TEST_ON_PG
        if (!onServer) GTEST_SKIP() << skipReason;
#endif
    }
    void TearDown() override {
        session() = SessionContext{};
#if PALVO_TEST_ON_PG
        // on PostgreSQL the cases the docs list are held to differ (support/pg_differences.h)
        settlePgDifferences(watch_);
#endif
    }

    void exec(const std::vector<std::string>& statements) {
        for (const auto& s : statements) conn->Execute(s);
    }
    std::string scalar(const std::string& sql) {
        auto t = conn->Query(sql);
        return t.rowCount() ? t.at(0, 0).toText() : "<no row>";
    }

#if PALVO_TEST_ON_MSSQL || PALVO_TEST_ON_PG
    std::shared_ptr<Connection> conn;
#else
    std::shared_ptr<sqlite::Connection> conn;
#endif
#if PALVO_TEST_ON_PG
    std::unique_ptr<PgDifferenceWatch> watch_;
#endif
};

}  // namespace Palvo::testing

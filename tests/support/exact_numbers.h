// What the suites of SQL Server's number rules share: the connection they run on
// (the embedded database speaking English, or in mssql_test the SQL Server that
// PALVO_TEST_MSSQL names) and the check of an exact decimal or money result.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <ostream>

#include "palvo/data.h"
#include "palvo/sqlite/connection.h"
#if PALVO_TEST_ON_MSSQL
#include "support/mssql_scratch.h"
#endif

namespace Palvo::testing {

/// A new embedded database in memory, speaking SQL Server's English as the
/// other backends do (the ODBC drivers' own words, an English-language server).
inline std::shared_ptr<Connection> openEmbedded() {
    auto c = std::make_shared<sqlite::Connection>();
    c->Open("Data Source=:memory:;Language=us_english");
    return c;
}

/// A suite on a new embedded database, or in mssql_test on the SQL Server that PALVO_TEST_MSSQL
/// names: skipped when there is none.
class NumbersTest : public ::testing::Test {
protected:
    void SetUp() override {
#if PALVO_TEST_ON_MSSQL
        conn = openMssqlScratch();
        if (!conn) GTEST_SKIP() << kMssqlSkipReason;
#else
        conn = openEmbedded();
#endif
    }
    std::shared_ptr<Connection> conn;
};

/// An exact result: the query, the Decimal's text (every digit of its scale), its
/// type, and for adNumeric the column's precision and scale.
struct ExactCase {
    const char* sql;
    const char* digits;
    int adoType;
    int precision, scale;
};
inline void PrintTo(const ExactCase& c, std::ostream* os) { *os << c.sql; }
inline constexpr int kNumeric = adNumeric;
/// A statement SQL Server refuses, with its error's description and native code.
struct RefusedCase {
    const char* sql;
    const char* description;
    long native;
};
inline void PrintTo(const RefusedCase& c, std::ostream* os) { *os << c.sql; }
/// A parameterised suite on the fixture `Base`.
template <class Base, class Param>
class CasesOn : public Base, public ::testing::WithParamInterface<Param> {};
inline constexpr int kMoney = adCurrency;

/// The one value of `t` is a Decimal of exactly `digits`, typed `adoType`, and for
/// adNumeric of that precision and scale.
inline void expectExact(const ResultTable& t, const char* digits, int adoType, int precision, int scale) {
    ASSERT_EQ(t.rowCount(), 1u);
    const Value& v = t.at(0, 0);
    ASSERT_NE(v.decimal(), nullptr) << v.toText();
    EXPECT_EQ(v.decimal()->text, digits);
    EXPECT_EQ(t.columns[0].type, adoType);
    if (adoType == adNumeric) {
        EXPECT_EQ(t.columns[0].precision, precision);
        EXPECT_EQ(t.columns[0].numericScale, scale);
    }
}

}  // namespace Palvo::testing

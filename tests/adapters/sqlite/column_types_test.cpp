// Values read from columns compute as SQL Server computes their declared types: integer overflow at
// each type's range, exact decimal and money at SQL Server's precision and scale, smalldatetime to the
// minute. Built once more into mssql_test, to run on the SQL Server that PALVO_TEST_MSSQL names.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "palvo/data.h"
#include "palvo/error.h"
#include "palvo/sqlite/connection.h"
#include "support/errors.h"
#include "support/exact_numbers.h"

namespace {

using Palvo::Decimal;
using Palvo::Value;
using Palvo::testing::fullErrorOf;

class ColumnTypes : public Palvo::testing::NumbersTest {
protected:
    void SetUp() override {
        NumbersTest::SetUp();
        if (!conn) return;  // skipped
        static const char* const kCreateTable =
            "create table 账 (k int, i int, b bigint, s smallint, t tinyint, d decimal(10,2), e "
            "decimal(10,3), "
            "m money, n numeric(18,0))";
        for (const char* sql :
             {kCreateTable,
              "insert into 账 values (1, 2147483647, 9223372036854775807, 32767, 255, 0.10, 1.250, 10, 5)",
              "insert into 账 values (2, -2147483648, 1, 1, 1, 0.10, 2.000, 3, 7)",
              "insert into 账 values (3, 0, 0, 0, 0, 0.10, 0.001, 0.0001, 1)",
              "insert into 账 (k, i) values (4, 1)",
              // i is a decimal here: a name resolves to the table it is read from
              "create table 零 (k int, i decimal(10,2))", "insert into 零 values (1, 2.50)"})
            conn->Execute(sql);
    }
};

using Palvo::testing::ExactCase;
using Palvo::testing::kMoney;
using Palvo::testing::kNumeric;
using ColumnOverflow = Palvo::testing::CasesOn<ColumnTypes, Palvo::testing::RefusedCase>;
using ColumnDecimal = Palvo::testing::CasesOn<ColumnTypes, ExactCase>;

TEST_P(ColumnOverflow, IsSqlServersError) {
    const auto [number, native, text] = fullErrorOf([&] { conn->Query(GetParam().sql); });
    EXPECT_EQ(text, GetParam().description);
    EXPECT_EQ(native, GetParam().native);
}

constexpr const char* kInt = "Arithmetic overflow error converting expression to data type int.";
constexpr const char* kBigint = "Arithmetic overflow error converting expression to data type bigint.";

const Palvo::testing::RefusedCase kOverflows[] = {
    {"select i + 1 from 账 where k = 1", kInt, 8115},
    {"select b + 1 from 账 where k = 1", kBigint, 8115},
    {"select b * -2 from 账 where k = 1", kBigint, 8115},
    // smallint with smallint, tinyint with tinyint stay theirs
    {"select s + s from 账 where k = 1", "Arithmetic overflow error for data type smallint, value = 65534.",
     220},
    {"select t + t from 账 where k = 1", "Arithmetic overflow error for data type tinyint, value = 510.",
     220},
    {"select t - (t + t) from 账 where k = 2", "Arithmetic overflow error for data type tinyint, value = -1.",
     220},
    // a sum of int is int
    {"select sum(i) from 账 where k in (1, 4)", kInt, 8115},
    // through aliases, joins and an outer query's table
    {"select x.i + y.t from 账 x join 账 y on y.k = x.k where x.k = 1", kInt, 8115},
    {"select 账.i + 1 from 账 join 零 on 零.k = 账.k", kInt, 8115},
    {"select k from 账 o where exists (select 1 from 零 where 零.k = o.k and o.i + 1 > 0)", kInt, 8115},
};
INSTANTIATE_TEST_SUITE_P(Columns, ColumnOverflow, ::testing::ValuesIn(kOverflows));

TEST_F(ColumnTypes, AnOverflowLeavesTheUpdateUndone) {
    // the same steps in an UPDATE: the rows before the failing one keep their values
    conn->Execute("create table 记 (k int, i int, t tinyint)");
    conn->Execute("insert into 记 values (1, 5, 5), (2, 2147483647, 255)");
    for (const char* sql :
         {"update 记 set i = i + 1", "update 记 set t = (t + t) - 1", "update 记 set i = i * t"}) {
        const auto [number, native, text] = fullErrorOf([&] { conn->Execute(sql); });
        EXPECT_TRUE(native == 8115 || native == 220) << sql << ": " << text;
    }
    const auto t = conn->Query("select i, t from 记 order by k");
    EXPECT_EQ(t.at(0, 0).toInt64(), 5);
    EXPECT_EQ(t.at(0, 1).toInt64(), 5);
    EXPECT_EQ(t.at(1, 0).toInt64(), 2147483647);
}

TEST_F(ColumnTypes, SmalldatetimeColumnsKeepTheMinute) {
    conn->Execute("create table 时 (k int, w smalldatetime)");
    conn->Execute(
        "insert into 时 values (1, '2024-01-05 10:29:29.998'), (2, '2024-01-05 10:29:29.999'), "
        "(3, '2024-12-31 23:59:30'), (4, '2024-01-05')");
    conn->ExecuteWith("insert into 时 values (5, ?)", {Value(Palvo::DateTime{2024, 3, 1, 8, 15, 40, 500})});
    conn->Execute("update 时 set w = '2024-01-05 10:30:31' where k = 4");
    const auto kept = conn->Query("select convert(varchar(23), w, 121) from 时 order by k");
    std::vector<std::string> minutes;
    for (std::size_t r = 0; r < kept.rowCount(); ++r) minutes.push_back(kept.at(r, 0).toText());
    EXPECT_EQ(minutes, (std::vector<std::string>{"2024-01-05 10:29:00.000", "2024-01-05 10:30:00.000",
                                                 "2025-01-01 00:00:00.000", "2024-01-05 10:31:00.000",
                                                 "2024-03-01 08:16:00.000"}));
    // beyond smalldatetime's range: SQL Server's error, nothing stored
    EXPECT_EQ(std::get<1>(fullErrorOf([&] { conn->Execute("insert into 时 values (6, '2079-06-07')"); })),
              242);
    EXPECT_EQ(conn->Query("select count(*) from 时").at(0, 0).toInt64(), 5);
}

TEST_P(ColumnDecimal, IsExactWithSqlServersType) {
    const ExactCase& c = GetParam();
    Palvo::testing::expectExact(conn->Query(c.sql), c.digits, c.adoType, c.precision, c.scale);
}

const ExactCase kExacts[] = {
    // 0.10 three times is 0.30, not 0.30000000000000004
    {"select sum(d) from 账", "0.30", kNumeric, 38, 2},
    {"select sum(d * e) from 账", "0.32510", kNumeric, 38, 5},
    {"select avg(n) from 账", "4.333333", kNumeric, 38, 6},
    {"select d * e from 账 where k = 1", "0.12500", kNumeric, 21, 5},
    {"select d / e from 账 where k = 1", "0.0800000000000", kNumeric, 24, 13},
    {"select min(e) * 2 from 账", "0.002", kNumeric, 12, 3},
    // money keeps four decimals
    {"select sum(m) from 账", "13.0001", kMoney, 19, 4},
    {"select m / 3 from 账 where k = 1", "3.3333", kMoney, 19, 4},
    // the decimal of the table the name reads
    {"select x.d + 零.i from 账 x join 零 on 零.k = x.k", "2.60", kNumeric, 11, 2},
};
INSTANTIATE_TEST_SUITE_P(Columns, ColumnDecimal, ::testing::ValuesIn(kExacts));

#if !PALVO_TEST_ON_MSSQL
// A connection reads the column types once and again after any change of the
// schema, its own or another connection's on the same file.
TEST(ColumnTypesKept, FollowEveryChangeOfTheSchema) {
    const std::string file = ::testing::TempDir() + "palvo_column_types_test.db";
    std::remove(file.c_str());
    Palvo::sqlite::Connection a, b;
    a.Open(file);
    b.Open(file);
    a.Execute("create table T (c int)");
    a.Execute("insert into T values (2147483647)");
    const char* const sql = "select c + 1 from T";
    EXPECT_THROW(a.Query(sql), Palvo::Error);
    b.Execute("alter table T alter column c bigint");
    EXPECT_EQ(a.Query(sql).at(0, 0), Value(2147483648LL));
    a.Execute("alter table T alter column c decimal(12,2)");
    EXPECT_EQ(a.Query(sql).at(0, 0), Value(Decimal{"2147483648.00"}));
    b.Execute("drop table T");
    b.Execute("create table T (c smallint)");
    b.Execute("insert into T values (32767)");
    EXPECT_EQ(a.Query(sql).at(0, 0), Value(32768));
    EXPECT_EQ(std::get<1>(fullErrorOf([&] { a.Query("select c + c from T"); })), 220);
    // a view's columns have the types of the columns they show
    a.Execute("create view V as select c from T");
    EXPECT_THROW(a.Query("select c + c from V"), Palvo::Error);
    a.Close();
    b.Close();
    std::remove(file.c_str());
}

// The types a view records hold for every connection to its file, and after the
// file is opened anew; a rename of its table keeps them.
TEST(ViewColumnTypes, HoldForEveryConnectionToTheirFile) {
    const std::string file = ::testing::TempDir() + "palvo_view_types_test.db";
    std::remove(file.c_str());
    auto typesOf = [](Palvo::Connection& c) {
        std::vector<int> types;
        for (const auto& col : c.Query("select top 0 * from V").columns) types.push_back(col.type);
        return types;
    };
    const std::vector<int> expected{Palvo::adInteger, Palvo::adNumeric};
    {
        Palvo::sqlite::Connection a, b;
        a.Open(file);
        b.Open(file);
        a.Execute("create table T (n int, d decimal(10,2))");
        a.Execute("create view V as select sum(n) as s, sum(d) * 2 as m from T");
        EXPECT_EQ(typesOf(b), expected);
    }
    Palvo::sqlite::Connection c;
    c.Open(file);
    EXPECT_EQ(typesOf(c), expected);
    c.Execute("exec sp_rename 'T', 'U'");
    EXPECT_EQ(typesOf(c), expected);
    c.Execute("drop view V");
    c.Execute("create view V as select count(*) as s, max(d) as m from U");
    EXPECT_EQ(typesOf(c), expected);
    c.Close();
    std::remove(file.c_str());
}
#endif

}  // namespace

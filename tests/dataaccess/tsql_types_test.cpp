// The types SQL Server gives a value chosen among several (ISNULL, COALESCE,
// IIF, CHOOSE, NULLIF, CASE): what it converts each value to, and what a query
// reports for it. The same cases run on a real SQL Server when PALVO_TEST_MSSQL
// names one.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "palvo/data.h"
#include "support/answers.h"

namespace Palvo {
namespace {

using testing::Answer;

class TsqlTypes : public testing::AnswersTest {
protected:
    using Typed = std::vector<std::pair<int, int>>;
    /// Each column's type, and its scale when it is numeric (0 otherwise).
    Typed typed(const std::string& sql) {
        Typed out;
        for (const auto& c : conn_->Query(sql).columns)
            out.emplace_back(c.type, c.type == adNumeric ? c.numericScale : 0);
        return out;
    }
    void goods() {
        conn_->Execute("create table 货 (k int, 名称 varchar(3), 数量 int, 单价 decimal(10,2), 级 tinyint)");
        conn_->Execute("insert into 货 (k) values (1)");
    }
};

TEST_P(TsqlTypes, IsnullGivesTheReplacementTheTypeOfItsFirstArgument) {
    expectAnswers({
        {"select isnull(cast(null as varchar(2)), 'abcd')", {"ab"}},
        {"select isnull(cast(null as char(4)), 'ab') + '|'", {"ab  |"}},
        {"select isnull(cast(null as int), 2.7)", {"2"}},
        {"select isnull(cast(null as decimal(5,2)), 1.005)", {"1.01"}},
        {"select isnull(cast(2 as int), 'x')", {"2"}},
    });
}

TEST_P(TsqlTypes, IsnullFailsWhereTheReplacementDoesNotFitTheType) {
    goods();
    EXPECT_EQ(refused("select isnull(数量, 3000000000) from 货", "int"), 8115);
    EXPECT_EQ(refused("select isnull(数量, 'x') from 货", "'x'"), 245);
}

TEST_P(TsqlTypes, CoalesceTakesTheHighestTypeOfItsValues) {
    expectAnswers({
        {"select coalesce(null, 1, 2.5) / 3", {"0.333333"}},
        {"select coalesce(null, '12', 1) + '3'", {"15"}},
        {"select coalesce(cast(null as varchar(2)), 'abcd')", {"abcd"}},
        {"select coalesce(cast(null as int), cast(null as int), 7)", {"7"}},
    });
}

TEST_P(TsqlTypes, CoalesceRefusesWhatSqlServerRefuses) {
    EXPECT_EQ(refused("select coalesce(null, 'a', 1)", "'a'"), 245);
    EXPECT_EQ(refused("select coalesce(null, null)", "COALESCE"), 4127);
}

TEST_P(TsqlTypes, IifChoosesByItsCondition) {
    expectAnswers({
        {"select iif(1 > 2, 1, 2.5)", {"2.5"}},
        {"select iif('a' = 'A ', 'same', 'differs')", {"same"}},
        {"select iif(null = null, 1, 0)", {"0"}},
    });
}

TEST_P(TsqlTypes, ChooseTakesTheValueOfItsIndexFromOne) {
    expectAnswers({
        {"select choose(2, 'a', 'b', 'c')", {"b"}},
        {"select choose(4, 'a', 'b', 'c')", {"<null>"}},
        {"select choose(0, 'a', 'b', 'c')", {"<null>"}},
        {"select choose(2.7, 'a', 'b', 'c')", {"b"}},
        {"select choose(null, 'a', 'b')", {"<null>"}},
        {"select choose(1, 1, 2.5) / 3", {"0.333333"}},
    });
}

TEST_P(TsqlTypes, NullifComparesUnderTheCollation) {
    expectAnswers({
        {"select nullif('a', 'A')", {"<null>"}},
        {"select nullif('ab', 'ab  ')", {"<null>"}},
        {"select nullif(1, 2)", {"1"}},
    });
}

TEST_P(TsqlTypes, NullifKeepsTheFirstArgumentsType) {
    expectAnswers({{"select nullif(cast(5 as decimal(5,2)), 6) / 3", {"1.666666"}}});
}

TEST_P(TsqlTypes, CaseConvertsEachResultToTheHighestType) {
    expectAnswers({
        {"select case when 1 = 1 then 1 else 2.5 end / 3", {"0.333333"}},
        {"select case 2 when 1 then 1.25 when 2 then '1.5' end + '3'", {"4.5"}},
        {"select convert(varchar(23), case when 1 = 0 then getdate() else '2004-01-02' end, 121)",
         {"2004-01-02 00:00:00.000"}},
        {"select case when 1 = 1 then 'ab' else 'abcd' end", {"ab"}},
    });
    EXPECT_EQ(refused("select case when 1 = 1 then 'x' else 1 end", "'x'"), 245);
}

TEST_P(TsqlTypes, AChosenDecimalIsReportedAsNumeric) {
    EXPECT_EQ(typed("select iif(1 < 2, 1, 2.5), coalesce(null, 1.25)"),
              (Typed{{adNumeric, 1}, {adNumeric, 2}}));
}

TEST_P(TsqlTypes, ADecimalParameterIsANumber) {
    const auto t = conn_->QueryWith("select ? + ?, ? * 2, ? + 1",
                                    {Decimal{"1.5"}, Decimal{"1.25"}, Decimal{"0.5"}, Decimal{"12"}});
    ASSERT_EQ(t.rowCount(), 1u);
    EXPECT_EQ(t.at(0, 0).toText(), "2.75");
    EXPECT_EQ(t.at(0, 1).toText(), "1");
    EXPECT_EQ(t.at(0, 2).toText(), "13");
}

// The value as the driver hands it over: a decimal with every digit of its scale.
std::string cellText(const Value& v) { return v.decimal() ? v.decimal()->text : v.toText(); }

TEST_P(TsqlTypes, AParameterHasTheTypeOfItsValue) {
    struct Case {
        const char* sql;
        Value value;
        std::string text;
        int type;
        int scale;
    } cases[] = {
        // decimal(3,2) times 2 is decimal(5,2); divided by 3, decimal(7,6) cut
        {"select ? * 2", Decimal{"2.50"}, "5.00", adNumeric, 2},
        {"select ? / 3", Decimal{"1.00"}, "0.333333", adNumeric, 6},
        {"select ? + 1", Value(5LL), "6", adBigInt, 0},
        {"select ? * 2", Value(1.25), "2.5", adDouble, 0},
    };
    for (const Case& c : cases) {
        const auto t = conn_->QueryWith(c.sql, {c.value});
        ASSERT_EQ(t.rowCount(), 1u) << c.sql;
        EXPECT_EQ(cellText(t.at(0, 0)), c.text) << c.sql << " " << c.value.toText();
        EXPECT_EQ(t.columns[0].type, c.type) << c.sql << " " << c.value.toText();
        if (c.type == adNumeric) {
            EXPECT_EQ(t.columns[0].numericScale, c.scale) << c.sql;
        }
    }
}

TEST_P(TsqlTypes, AScalarSubqueryHasTheTypeOfItsValue) {
    goods();
    conn_->Execute("update 货 set 单价 = 2.50, 数量 = 3");
    const auto t = conn_->Query(
        "select (select max(单价) from 货), (select count(*) from 货), (select 单价 * 2 from 货)");
    ASSERT_EQ(t.rowCount(), 1u);
    EXPECT_EQ(cellText(t.at(0, 0)), "2.50");
    EXPECT_EQ(t.columns[0].type, adNumeric);
    EXPECT_EQ(t.columns[0].numericScale, 2);
    EXPECT_EQ(t.columns[1].type, adInteger);
    EXPECT_EQ(cellText(t.at(0, 2)), "5.00");
    // int stays int: beyond it the step overflows, as SQL Server's does
    EXPECT_EQ(refused("select (select max(数量) from 货) * 1000000000", "int"), 8115);
}

TEST_P(TsqlTypes, AChosenValueTakesTheTypeOfASubqueryOrParameter) {
    goods();
    conn_->Execute("update 货 set 单价 = 2.50");
    struct Case {
        const char* sql;
        std::vector<Value> params;
        std::string text;
    } cases[] = {
        // decimal, not a double's 0.8333333333333334
        {"select coalesce((select max(单价) from 货), 0) / 3", {}, "0.833333"},
        {"select case when ? > 0 then ? else 0 end / 3", {Value(1LL), Decimal{"2.50"}}, "0.833333"},
        // int beside decimal(2,1) is decimal(11,1)
        {"select iif(1 = 1, (select count(*) from 货), 2.5)", {}, "1.0"},
    };
    for (const Case& c : cases) {
        const auto t = conn_->QueryWith(c.sql, c.params);
        ASSERT_EQ(t.rowCount(), 1u) << c.sql;
        EXPECT_EQ(cellText(t.at(0, 0)), c.text) << c.sql;
    }
}

TEST_P(TsqlTypes, ADecimalStoredIntoATextColumnKeepsItsScale) {
    conn_->Execute("create table 记 (k int, v varchar(10), n nvarchar(10))");
    conn_->ExecuteWith("insert into 记 (k, v) values (1, ?)", {Decimal{"1.50"}});
    conn_->Execute("insert into 记 (k, v, n) values (2, 2.50, cast(1234.5 as money))");
    conn_->Execute("insert into 记 (k) values (3)");
    conn_->ExecuteWith("update 记 set n = ? * 2 where k = 3", {Decimal{"0.05"}});
    conn_->Execute("insert into 记 (k, v) select 4, cast(7.5 as decimal(5,2))");
    EXPECT_EQ(rows("select v, n from 记 order by k"),
              (std::vector<testing::Row>{
                  {"1.50", "<null>"}, {"2.50", "1234.50"}, {"<null>", "0.10"}, {"7.50", "<null>"}}));
}

class ViewTypes : public TsqlTypes {
protected:
    void SetUp() override {
        TsqlTypes::SetUp();
        if (!conn_) return;  // skipped
        conn_->Execute("create table 单 (客户 varchar(10), 数量 int, 单价 decimal(18,2))");
        conn_->Execute("insert into 单 values ('甲', 3, 2.50)");
        conn_->Execute(
            "create view 汇总 as select 客户, sum(数量) as 总数, sum(单价) as 金额, count(*) as 笔数, "
            "max(单价 * 数量) as 最大 from 单 group by 客户");
    }
};

TEST_P(ViewTypes, ColumnsThatAreExpressionsReportTheirTypes) {
    // sum of int is int, of decimal(18,2) decimal(38,2); count is int; decimal(18,2) * int decimal(29,2)
    for (const char* sql : {"select top 0 * from 汇总", "select * from 汇总"}) {
        SCOPED_TRACE(sql);
        EXPECT_EQ(names(sql), (testing::Row{"客户", "总数", "金额", "笔数", "最大"}));
        EXPECT_EQ(typed(sql),
                  (Typed{{adVarChar, 0}, {adInteger, 0}, {adNumeric, 2}, {adInteger, 0}, {adNumeric, 2}}));
    }
}

TEST_P(ViewTypes, ColumnsThatAreExpressionsComputeAsTheirTypes) {
    const auto t = conn_->Query("select 金额, 最大 / 7, 总数 from 汇总");
    ASSERT_EQ(t.rowCount(), 1u);
    EXPECT_EQ(cellText(t.at(0, 0)), "2.50");
    // decimal(29,2) / int: decimal(38,6), cut
    EXPECT_EQ(cellText(t.at(0, 1)), "1.071428");
    EXPECT_EQ(refused("select 总数 * 1000000000 from 汇总", "int"), 8115);
}

TEST_P(ViewTypes, AViewOfAViewKeepsTheTypes) {
    conn_->Execute("create view 大户 as select 客户, 金额 * 2 as 双倍 from 汇总 where 总数 > 1");
    const auto t = conn_->Query("select * from 大户");
    ASSERT_EQ(t.rowCount(), 1u);
    EXPECT_EQ(t.columns[1].type, adNumeric);
    EXPECT_EQ(cellText(t.at(0, 1)), "5.00");
}

PALVO_ANSWERS_ON_BACKENDS_AND_PG(ViewTypes);

TEST_P(TsqlTypes, ColumnsOfATableExpressionKeepTheirTypes) {
    conn_->Execute("create table 单 (数量 int, 单价 decimal(10,2))");
    conn_->Execute("insert into 单 values (3, 1.10)");
    // int stays int: beyond it the step overflows, as SQL Server's does
    EXPECT_EQ(refused("select n * 1000000000 from (select 数量 as n from 单) q", "int"), 8115);
    EXPECT_EQ(refused("with c as (select 数量 as n from 单) select n * 1000000000 from c", "int"), 8115);
    for (const char* sql : {"select x from (select 数量 * 单价 as x from 单) q",
                            "with c as (select 数量 * 单价 as x from 单) select x from c"})
        EXPECT_EQ(typed(sql), (Typed{{adNumeric, 2}})) << sql;
}

TEST_P(TsqlTypes, AComputedColumnHasTheTypeOfItsExpression) {
    conn_->Execute(
        "create table 明细 (数量 int, 单价 decimal(10,2), 金额 as 数量 * 单价, 税 as 数量 * 单价 * 0.13 "
        "persisted)");
    conn_->Execute("insert into 明细 values (3, 1.10)");
    expectAnswers({{"select 金额, 税 from 明细", {"3.3", "0.429"}}});
    EXPECT_EQ(typed("select 金额, 税 from 明细"), (Typed{{adNumeric, 2}, {adNumeric, 4}}));
}

TEST_P(TsqlTypes, AComputedColumnIsNeverGivenAValue) {
    conn_->Execute("create table 明细 (数量 int, 单价 decimal(10,2), 金额 as 数量 * 单价)");
    conn_->Execute("insert into 明细 values (3, 1.10)");
    EXPECT_EQ(refused("insert into 明细 (数量, 单价, 金额) values (1, 1, 1)", "金额"), 271);
    EXPECT_EQ(refused("update 明细 set 金额 = 1", "金额"), 271);
    EXPECT_EQ(row("select count(*), sum(数量) from 明细"), (testing::Row{"1", "3"}));
}

// a whole number too long for char or varchar shows '*'; nothing else is ever cut
TEST_P(TsqlTypes, AWholeNumberTooLongForItsTextShowsAStar) {
    expectAnswers({
        {"select cast(120 as varchar(2))", {"*"}},
        {"select convert(char(2), 120) + '|'", {"* |"}},
        {"select cast(cast(120 as bigint) as varchar(2)), cast(12 as varchar(2))", {"*", "12"}},
        {"declare @s varchar(2) = 120 select @s", {"*"}},
        {"select try_cast(120 as varchar(1))", {"*"}},
        {"select try_convert(nvarchar(2), 120)", {"<null>"}},
    });
}

TEST_P(TsqlTypes, ANumberTooLongForItsTextFailsWith8115) {
    expectRefusals({
        {"select cast(120 as nvarchar(2))", 8115, "nvarchar"},
        {"select cast(99.999 as varchar(5))", 8115, "numeric"},
        {"select cast(cast(12345.67 as money) as varchar(3))", 8115, "money"},
        {"select convert(nchar(3), 1.25)", 8115, "nchar"},
        {"select cast(cast(1e10 as float) as varchar(5))", 8115},
    });
}

PALVO_ANSWERS_ON_BACKENDS_AND_PG(TsqlTypes);

}  // namespace
}  // namespace Palvo

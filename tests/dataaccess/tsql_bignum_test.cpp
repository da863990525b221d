// Whole numbers beyond bigint, as SQL Server's exact numeric keeps them to 38
// digits: literals, conversions to decimal(p,0), decimal(38,0) columns stored,
// compared, sorted, grouped and summed, and decimal steps past 38 digits.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "palvo/data.h"
#include "support/answers.h"

namespace Palvo {
namespace {

using testing::Row;

const std::string kNines(38, '9');

class TsqlBignum : public testing::AnswersTest {
protected:
    /// A decimal(38,0) table of 38 nines, their opposite, 5 and 10, in two groups.
    void makeNines() {
        conn_->Execute("create table 证件 (编号 int, 号码 decimal(38,0), 组 int)");
        conn_->Execute("insert into 证件 values (1, " + kNines + ", 1), (2, -" + kNines +
                       ", 1), (3, 5, 2), (4, 10, 2)");
    }
};

TEST_P(TsqlBignum, ConversionsToAWholeDecimalKeepEveryDigit) {
    expectExact({
        {"select convert(decimal(38,0), '99999999999999999999')", {"99999999999999999999"}},
        {"select cast('-12345678901234567890123' as numeric(30,0))", {"-12345678901234567890123"}},
        {"select try_convert(decimal(38,0), '99999999999999999999')", {"99999999999999999999"}},
        {"select cast(110101199001011234 as decimal(19,0))", {"110101199001011234"}},
        {"select cast(' -123456789012345678 ' as numeric(18,0))", {"-123456789012345678"}},
        {"select convert(decimal(19,0), cast(-9223372036854775807 as bigint) - 1)", {"-9223372036854775808"}},
    });
}

TEST_P(TsqlBignum, WholeLiteralsBeyondBigintAreExactNumerics) {
    expectExact({
        {"select 12345678901234567890123 + 1", {"12345678901234567890124"}},
        {"select -12345678901234567890123", {"-12345678901234567890123"}},
        {"select 12345678901234567890 * 10", {"123456789012345678900"}},
        {"select 99999999999999999999999999999999999999", {kNines}},
        {"select case when 12345678901234567890 = 12345678901234567891 then 'same' else 'different' end",
         {"different"}},
        {"select case when -12345678901234567890 < 1 then 'less' else 'not less' end", {"less"}},
    });
}

TEST_P(TsqlBignum, ADecimal38ColumnReadsBackEveryDigitAsANumeric) {
    makeNines();
    const auto t = conn_->Query("select 号码 from 证件 where 编号 = 1");
    ASSERT_EQ(t.rowCount(), 1u);
    ASSERT_NE(t.at(0, 0).decimal(), nullptr);
    EXPECT_EQ(t.at(0, 0).decimal()->text, kNines);
    EXPECT_EQ(t.columns[0].type, adNumeric);
    EXPECT_EQ(t.columns[0].precision, 38);
}

TEST_P(TsqlBignum, ADecimal38ColumnSortsByNumber) {
    makeNines();
    EXPECT_EQ(exact("select 号码 from 证件 order by 号码"),
              (std::vector<Row>{{"-" + kNines}, {"5"}, {"10"}, {kNines}}));
}

TEST_P(TsqlBignum, ExtremesOfADecimal38ColumnAreNumbers) {
    makeNines();
    expectExact({
        {"select min(号码), max(号码) from 证件", {"-" + kNines, kNines}},
        {"select max(号码) from 证件 where 组 = 2", {"10"}},
    });
    // grouped and sorted by the maximum, a number too
    EXPECT_EQ(exact("select 组, max(号码) as m from 证件 group by 组 order by m"),
              (std::vector<Row>{{"2", "10"}, {"1", kNines}}));
}

TEST_P(TsqlBignum, ADecimal38ColumnComparesByNumber) {
    makeNines();
    expectAnswers({
        {"select count(*) from 证件 where 号码 = 99999999999999999999999999999999999999", {"1"}},
        {"select count(*) from 证件 where 号码 < 6", {"2"}},
        {"select count(*) from 证件 where 号码 <= -99999999999999999999999999999999999999", {"1"}},
        {"select count(*) from 证件 where 号码 = '0010'", {"1"}},
        {"select count(*) from 证件 where 号码 between 5 and 10", {"2"}},
        {"select count(*) from 证件 where 号码 in (5, 99999999999999999999999999999999999999)", {"2"}},
    });
}

TEST_P(TsqlBignum, ADecimal38ColumnJoinsByNumber) {
    makeNines();
    conn_->Execute("create table 人员 (姓名 nvarchar(10), 号码 decimal(38,0))");
    conn_->Execute("insert into 人员 values (N'张三', " + kNines + "), (N'李四', 10)");
    EXPECT_EQ(exact("select p.姓名, z.编号 from 人员 p join 证件 z on z.号码 = p.号码 order by z.编号"),
              (std::vector<Row>{{"张三", "1"}, {"李四", "4"}}));
}

TEST_P(TsqlBignum, EqualNumbersInADecimal38ColumnAreOneValue) {
    makeNines();
    conn_->Execute("insert into 证件 values (5, " + kNines + ", 3), (6, '0010', 3)");
    expectExact({
        {"select count(distinct 号码) from 证件", {"4"}},
        {"select count(*) from (select distinct 号码 from 证件) d", {"4"}},
        {"select count(*) from (select 号码 from 证件 group by 号码) g", {"4"}},
    });
    EXPECT_EQ(exact("select 号码, count(*) from 证件 group by 号码 having count(*) > 1 order by 号码"),
              (std::vector<Row>{{"10", "2"}, {kNines, "2"}}));
}

TEST_P(TsqlBignum, AggregatesOfADecimal38ColumnAreExact) {
    makeNines();
    conn_->Execute("create table 额 (a decimal(38,0))");
    conn_->Execute(
        "insert into 额 values (50000000000000000000000000000000000000), "
        "(49999999999999999999999999999999999999)");
    expectExact({
        {"select sum(a) from 额", {kNines}},
        {"select sum(号码), avg(号码) from 证件", {"15", "3.750000"}},
    });
}

TEST_P(TsqlBignum, ASumPastThirtyEightDigitsFailsWith8115) {
    conn_->Execute("create table 额 (a decimal(38,0))");
    conn_->Execute("insert into 额 values (" + kNines + "), (1)");
    EXPECT_EQ(refused("select sum(a) from 额"), 8115);
}

TEST_P(TsqlBignum, ArithmeticOnADecimal38ColumnIsExact) {
    makeNines();
    conn_->Execute("update 证件 set 号码 = 号码 - 1 where 编号 = 1");
    expectExact({
        {"select 号码 from 证件 where 编号 = 1", {std::string(37, '9') + "8"}},
        {"select 号码 + 1 from 证件 where 编号 = 1", {kNines}},
        {"select -号码 from 证件 where 编号 = 2", {kNines}},
        {"select abs(号码) from 证件 where 编号 = 3", {"5"}},
    });
    // one more is 39 digits
    EXPECT_EQ(refused("select 号码 + 2 from 证件 where 编号 = 1"), 8115);
}

TEST_P(TsqlBignum, InsertStoresAComputedWholeNumberBeyondBigint) {
    makeNines();
    conn_->Execute("insert into 证件 values (5, 12345678901234567890 * 10, 3)");
    expectExact({{"select 号码 from 证件 where 编号 = 5", {"123456789012345678900"}}});
}

TEST_P(TsqlBignum, AValueBeyondTheColumnsPrecisionIsNotStored) {
    conn_->Execute("create table 短 (d decimal(20,0))");
    EXPECT_EQ(refused("insert into 短 values (123456789012345678901)"), 8115);
    EXPECT_EQ(refused("insert into 短 values ('123456789012345678901')"), 8115);
    conn_->Execute("insert into 短 values (12345678901234567890)");
    EXPECT_EQ(refused("update 短 set d = d * 10"), 8115);
    expectExact({{"select d from 短", {"12345678901234567890"}}});
}

TEST_P(TsqlBignum, ASumPastThirtyEightDigitsKeepsItsWholeDigits) {
    // decimal(20,0) + decimal(21,21) is decimal(38,18): the 20 whole digits stay, the scale gives way
    const auto sum = [](const std::string& a, const std::string& b) {
        return "select cast('" + a + "' as decimal(20,0)) + cast('" + b + "' as decimal(21,21))";
    };
    EXPECT_EQ(exact(sum("99999999999999999999", "0.5")),
              (std::vector<Row>{{"99999999999999999999.500000000000000000"}}));
    EXPECT_EQ(exact(sum("100000000000000000", "0.000000000000000000501")),
              (std::vector<Row>{{"100000000000000000.000000000000000001"}}));
    const std::string first = sum("100000000000000000", "0.000000000000000000001");
    EXPECT_EQ(exact(first), (std::vector<Row>{{"100000000000000000.000000000000000000"}}));
    const auto t = conn_->Query(first);
    EXPECT_EQ(t.columns[0].precision, 38);
    EXPECT_EQ(t.columns[0].numericScale, 18);
}

TEST_P(TsqlBignum, AProductPastThirtyEightDigitsKeepsSixDecimals) {
    // decimal(38,8) * decimal(30,23): 69 digits, of them 38 whole: decimal(38,6), rounded
    const std::string product =
        "select cast(1234567.12345678 as decimal(38,8)) * cast(1234567.5 as decimal(30,23))";
    EXPECT_EQ(exact(product), (std::vector<Row>{{"1524156447188.228243"}}));
    const auto t = conn_->Query(product);
    EXPECT_EQ(t.columns[0].precision, 38);
    EXPECT_EQ(t.columns[0].numericScale, 6);
}

}  // namespace

PALVO_ANSWERS_ON_BACKENDS_AND_PG(TsqlBignum);

}  // namespace Palvo

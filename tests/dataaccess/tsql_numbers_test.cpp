// Numbers in hosts' T-SQL: ROUND, CEILING, FLOOR, SIGN, POWER, the float
// functions, RAND, ISNUMERIC, TRY_CAST and TRY_CONVERT, and decimals and money
// shown with their scale, each with SQL Server's result, type and errors.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "palvo/data.h"
#include "palvo/error.h"
#include "support/answers.h"
#include "support/errors.h"

namespace Palvo {
namespace {

using testing::Row;

class TsqlNumbers : public testing::AnswersTest {
protected:
    bool embedded() const { return std::string(GetParam().name) == "Embedded"; }
};

TEST_P(TsqlNumbers, RoundToANegativeLengthRoundsLeftOfThePoint) {
    expectExact({
        {"select round(123.456, -1)", {"120.000"}},
        {"select round(748.58, -1)", {"750.00"}},
        {"select round(748.58, -2)", {"700.00"}},
        {"select round(748.58, -4)", {"0.00"}},
        {"select round(cast(748.58 as decimal(6,2)), -3)", {"1000.00"}},
        {"select round(744, -3)", {"1000"}},
        {"select round(-745, -1)", {"-750"}},
    });
}

TEST_P(TsqlNumbers, RoundToAPositiveLengthRoundsHalfAwayFromZero) {
    expectExact({
        {"select round(123.9994, 3), round(123.9995, 3)", {"123.9990", "124.0000"}},
        {"select round(123.4545, 2)", {"123.4500"}},
        {"select round(-2.5, 0)", {"-3.0"}},
        {"select round(cast(2.5 as money), 0)", {"3.0000"}},
        {"select round(1.5, 5)", {"1.5"}},
    });
}

TEST_P(TsqlNumbers, RoundWithAThirdArgumentOtherThanZeroCuts) {
    expectExact({
        {"select round(150.75, 0), round(150.75, 0, 1)", {"151.00", "150.00"}},
        {"select round(-150.75, 1, 1)", {"-150.70"}},
        {"select round(748.58, -1, 1)", {"740.00"}},
        {"select round(150.75, 0, 0)", {"151.00"}},
    });
}

TEST_P(TsqlNumbers, RoundFailsWhereTheResultOutgrowsItsArgumentsType) {
    // 748.58 is numeric(5,2), 9.6 numeric(2,1): 1000.00 and 10.0 do not fit them
    expectRefusals(
        {{"select round(748.58, -3)", 8115, "numeric"}, {"select round(9.6, 0)", 8115, "numeric"}});
}

TEST_P(TsqlNumbers, CeilingGivesTheWholeNumberAboveInTheArgumentsType) {
    expectExact({
        {"select ceiling(123.45), ceiling(-123.45), ceiling(9.5)", {"124", "-123", "10"}},
        {"select ceiling(cast(2.5 as money)), ceiling(7)", {"3.0000", "7"}},
        {"select ceiling(cast(2.25 as float))", {"3"}},
    });
}

TEST_P(TsqlNumbers, FloorGivesTheWholeNumberBelowInTheArgumentsType) {
    expectExact({
        {"select floor(123.45), floor(-123.45)", {"123", "-124"}},
        {"select floor(cast(-2.5 as money)), floor(-7)", {"-3.0000", "-7"}},
    });
}

TEST_P(TsqlNumbers, SignIsMinusOneZeroOrOneInTheArgumentsType) {
    expectExact({
        {"select sign(-12.50), sign(0.00), sign(3.5)", {"-1.00", "0.00", "1.0"}},
        {"select sign(-125), sign(0), sign(564)", {"-1", "0", "1"}},
        {"select sign(cast(-3 as money))", {"-1.0000"}},
        {"select sign(cast(-0.5 as float))", {"-1"}},
    });
}

TEST_P(TsqlNumbers, PowerHasTheTypeOfItsFirstArgument) {
    expectExact({
        {"select power(2, 10)", {"1024"}},
        {"select power(2, -2)", {"0"}},
        {"select power(2.5, 2)", {"6.3"}},
        {"select power(2.0, 0.5)", {"1.4"}},
        {"select power(cast(2 as float), 0.5)", {"1.4142135623731"}},
        {"select power(cast(1.5 as money), 2)", {"2.2500"}},
    });
}

TEST_P(TsqlNumbers, FloatFunctionsAnswerAsSqlServer) {
    expectAnswers({
        {"select sqrt(16), sqrt(2)", {"4", "1.4142135623731"}},
        {"select exp(0), exp(1)", {"1", "2.71828182845905"}},
        {"select log(10), log(8, 2)", {"2.30258509299405", "3"}},
        {"select log10(1000), log10(0.01)", {"3", "-2"}},
        {"select pi(), square(3)", {"3.14159265358979", "9"}},
        {"select sqrt(null), log(null)", {"<null>", "<null>"}},
    });
}

TEST_P(TsqlNumbers, FloatFunctionsOutsideTheirDomainFailAsAnInvalidFloatingPointOperation) {
    expectRefusals({{"select sqrt(-1)", 3623}, {"select log(0)", 3623}, {"select log10(-5)", 3623}});
}

TEST_P(TsqlNumbers, ResultsBeyondTheirTypeFailAsArithmeticOverflow) {
    expectRefusals({
        {"select power(2, 31)", 8115, "int"},
        // computed through a float, as SQL Server says
        {"select power(10.0, 38)", 8115, "converting float to data type numeric"},
        {"select ceiling(cast(2147483647 as int)) + 1", 8115, "int"},
        {"select power(cast(10 as bigint), 19)", 8115, "bigint"},
    });
}

TEST_P(TsqlNumbers, IsnumericAcceptsWhatConvertsToMoneyOrFloat) {
    expectAnswers({
        {"select isnumeric('$'), isnumeric('1e5'), isnumeric('.'), isnumeric('-')", {"1", "1", "1", "1"}},
        {"select isnumeric('+'), isnumeric(','), isnumeric('1d5'), isnumeric('$1,000.50')",
         {"1", "1", "1", "1"}},
        {"select isnumeric('12.5'), isnumeric(' 12 '), isnumeric(12), isnumeric(1.5)", {"1", "1", "1", "1"}},
        {"select isnumeric('abc'), isnumeric(''), isnumeric('1.2.3'), isnumeric(null)", {"0", "0", "0", "0"}},
    });
}

TEST_P(TsqlNumbers, TryConversionsGiveNullWhereTheConversionFails) {
    expectExact({
        {"select try_cast('abc' as int), try_convert(int, '12')", {"<null>", "12"}},
        {"select try_cast('300' as tinyint), try_cast('255' as tinyint)", {"<null>", "255"}},
        {"select try_convert(decimal(5,2), '123.456'), try_convert(decimal(3,1), '123.4')",
         {"123.46", "<null>"}},
        {"select try_convert(datetime, 'x'), try_convert(varchar(10), 12)", {"<null>", "12"}},
        {"select try_cast('1 as int); select (1' as int)", {"<null>"}},
    });
}

TEST_P(TsqlNumbers, ExactNumbersConvertedToTextKeepTheirScale) {
    expectAnswers({
        {"select convert(varchar, cast(1234.5 as money))", {"1234.50"}},
        {"select cast(cast(1234.5678 as money) as varchar(20))", {"1234.57"}},
        {"select cast(cast(2 as decimal(10,3)) as varchar(20))", {"2.000"}},
        {"select convert(varchar(20), cast(1.25 as decimal(10,2)) * cast(1.5 as decimal(10,3)))",
         {"1.87500"}},
        {"select convert(varchar(10), cast(-0.5 as decimal(5,2)))", {"-0.50"}},
    });
}

TEST_P(TsqlNumbers, MoneyConvertedToTextWithAStyleGroupsThousandsOrShowsFourDecimals) {
    expectAnswers({
        {"select convert(varchar(30), cast(1234567.891 as money), 1)", {"1,234,567.89"}},
        {"select convert(varchar(30), cast(-1234.5 as money), 1)", {"-1,234.50"}},
        {"select convert(varchar(30), cast(123 as money), 1)", {"123.00"}},
        {"select convert(varchar(30), cast(1234.5 as money), 2)", {"1234.5000"}},
    });
}

TEST_P(TsqlNumbers, AMoneyColumnCastToVarcharShowsTwoDecimals) {
    conn_->Execute("create table 工资 (编号 int, 金额 money, 比例 decimal(6,3))");
    conn_->Execute("insert into 工资 values (1, 3000, 0.5)");
    EXPECT_EQ(row("select cast(金额 as varchar(20)), convert(varchar(10), 比例) from 工资"),
              (Row{"3000.00", "0.500"}));
}

TEST_P(TsqlNumbers, TheDriverSeesTheTypeSqlServerGivesTheResult) {
    struct Typed {
        const char* sql;
        int type;
        int scale;
    };
    const Typed cases[] = {
        {"select round(748.58, -2)", 131, 2},
        {"select ceiling(1.5)", 131, 0},
        {"select ceiling(cast(2.5 as money))", 6, 255},
        {"select power(2.5, 2)", 131, 1},
        {"select round(744, -3)", 3, 255},
        {"select sqrt(4)", 5, 255},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sql);
        const auto t = conn_->Query(c.sql);
        EXPECT_EQ(t.columns.at(0).type, c.type);
        if (c.scale != 255) {
            EXPECT_EQ(t.columns.at(0).numericScale, c.scale);
        }
    }
}

TEST_P(TsqlNumbers, RandWithASeedStartsTheSameSequenceAgain) {
    const Row first = row("select rand(7), rand()");
    const double a = std::stod(first.at(0)), b = std::stod(first.at(1));
    EXPECT_GE(a, 0.0);
    EXPECT_LT(a, 1.0);
    EXPECT_NE(a, b);
    EXPECT_EQ(row("select rand(7), rand()"), first);
    EXPECT_NE(scalar("select rand(8)"), first.at(0));
}

TEST_P(TsqlNumbers, ADecimalResultKeepsEveryDigitOfItsScale) {
    expectExact({
        {"select cast(1.25 as decimal(10,2)) * cast(1.5 as decimal(10,3))", {"1.87500"}},
        // decimal(51,31) reduced to decimal(38,18): 18 digits, more than a double holds
        {"select cast(1 as decimal(20,10)) / cast(3 as decimal(20,10))", {"0.333333333333333333"}},
        // decimal(51,13) with 38 whole digits: six decimals
        {"select cast(2 as decimal(38,2)) / cast(3 as decimal(10,2))", {"0.666666"}},
        {"select cast(12345678901 as decimal(20,0)) * cast(10000000001 as decimal(20,0))",
         {"123456789022345678901"}},
    });
}

TEST_P(TsqlNumbers, AggregatesOfADecimalColumnKeepEveryDigit) {
    conn_->Execute("create table 账 (a decimal(19,0), b decimal(18,2))");
    conn_->Execute(
        "insert into 账 values (9000000000000000001, 12345678901.23), (9000000000000000001, 12345678901.24), "
        "(1, 12345678901.24)");
    // decimal(38,0) and decimal(38,6), an average cut to its scale
    EXPECT_EQ(exact("select sum(a), avg(b) from 账"),
              (std::vector<Row>{{"18000000000000000003", "12345678901.236666"}}));
}

// ---- what the embedded database cannot hold exactly is refused by name

TEST_P(TsqlNumbers, AConversionToDecimalADoubleWouldChangeIsRefusedByName) {
    if (!embedded()) GTEST_SKIP() << "SQL Server holds these";
    const auto [number, says] =
        testing::errorOf([&] { (void)row("select convert(decimal(38,10), '12345678901234567.5')"); });
    EXPECT_EQ(number, ErrorNumber::NotSupported);
    EXPECT_NE(says.find("the number 12345678901234567.5"), std::string::npos) << says;
}

TEST_P(TsqlNumbers, AWholeSumBeyondBigintComparedInTheStatementIsExact) {
    conn_->Execute("create table 账 (a decimal(19,0))");
    conn_->Execute("insert into 账 values (9000000000000000001), (9000000000000000002)");
    expectExact({{"select count(*) from 账 having sum(a) = 18000000000000000003", {"2"}},
                 {"select count(*) from 账 having sum(a) < 18000000000000000003", {"<no row>"}}});
}

TEST_P(TsqlNumbers, ConversionsToDecimalWithinWhatADoubleKeepsStayExact) {
    expectExact({
        {"select convert(decimal(38,0), '9223372036854775807')", {"9223372036854775807"}},
        {"select convert(decimal(18,2), '1234567890123.45')", {"1234567890123.45"}},
        {"select convert(decimal(38,18), 0.5)", {"0.500000000000000000"}},
    });
}

PALVO_ANSWERS_ON_BACKENDS_AND_PG(TsqlNumbers);

}  // namespace
}  // namespace Palvo

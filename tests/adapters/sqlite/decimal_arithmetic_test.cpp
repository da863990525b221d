// Decimal and money arithmetic as SQL Server answers it: exact, at the precision
// and scale of SQL Server's rules, typed decimal or money for the driver, and
// overflow with its error. Built once more into mssql_test, where the same
// cases run on the SQL Server that PALVO_TEST_MSSQL names.
#include <gtest/gtest.h>

#include <string>

#include "palvo/data.h"
#include "palvo/error.h"
#include "support/errors.h"
#include "support/exact_numbers.h"

namespace {

using Palvo::Value;

class DecimalArithmetic : public Palvo::testing::NumbersTest {};

using Palvo::testing::ExactCase;
using Palvo::testing::kMoney;
using Palvo::testing::kNumeric;
using Palvo::testing::RefusedCase;
using DecimalResult = Palvo::testing::CasesOn<DecimalArithmetic, ExactCase>;
using DecimalError = Palvo::testing::CasesOn<DecimalArithmetic, RefusedCase>;

// a case's sql is what follows "select "
TEST_P(DecimalResult, IsExactWithSqlServersType) {
    const ExactCase& c = GetParam();
    Palvo::testing::expectExact(conn->Query(std::string("select ") + c.sql), c.digits, c.adoType, c.precision,
                                c.scale);
}

const ExactCase kOperators[] = {
    {"cast(1 as decimal(10,2))/3", "0.333333", kNumeric, 14, 6},
    {"cast(0.1 as decimal(10,2)) + cast(0.2 as decimal(10,1))", "0.30", kNumeric, 12, 2},
    {"cast(5 as decimal(10,2)) - 7.125", "-2.125", kNumeric, 12, 3},
    {"cast(7.5 as decimal(10,2)) % 2", "1.50", kNumeric, 3, 2},
    {"cast(-7.5 as decimal(10,2)) % 2", "-1.50", kNumeric, 3, 2},
    // a quotient is cut to its scale; an int column's value is decimal(10,0)
    {"cast(2 as decimal(10,2)) / cast(3 as int)", "0.6666666666666", kNumeric, 21, 13},
    // beyond 38 digits the scale gives way, down to 6
    {"cast(1.67574 as decimal(38,10)) / cast(10000 as decimal(38,10))", "0.000167", kNumeric, 38, 6},
    {"cast(1.123456789 as decimal(28,9)) * cast(1 as decimal(19,9))", "1.12345679", kNumeric, 38, 8},
    {"(cast(1 as decimal(10,2)) + 1) * 2.5", "5.000", kNumeric, 14, 3},
    // money keeps four decimals
    {"cast(100 as money)/cast(3 as money)*3", "99.9999", kMoney, 19, 4},
    {"$1.25 * 2", "2.5000", kMoney, 19, 4},
    {"-$3 + $0.5", "-2.5000", kMoney, 19, 4},
    // money beside a decimal is decimal(19,4)
    {"$1.25 + cast(1 as decimal(5,1))", "2.2500", kNumeric, 20, 4},
};
INSTANTIATE_TEST_SUITE_P(Operators, DecimalResult, ::testing::ValuesIn(kOperators));

TEST_P(DecimalError, IsSqlServersError) {
    const auto [number, native, text] = Palvo::testing::fullErrorOf([&] { conn->Query(GetParam().sql); });
    EXPECT_NE(text.find(GetParam().description), std::string::npos) << text;
    EXPECT_EQ(native, GetParam().native);
}

INSTANTIATE_TEST_SUITE_P(
    Errors, DecimalError,
    ::testing::Values(
        RefusedCase{"select cast(99999999.99 as decimal(10,2)) * cast(1e30 as decimal(38,0))",
                    "Arithmetic overflow error converting expression to data type numeric.", 8115},
        RefusedCase{"select cast(900000000000000 as money) * 100",
                    "Arithmetic overflow error converting expression to data type money.", 8115},
        RefusedCase{"select cast(1 as decimal(10,2)) / 0", "Divide by zero error encountered.", 8134},
        RefusedCase{"select $1 % cast(0 as money)", "Divide by zero error encountered.", 8134}));

// An overflowing update changing nothing:
// ColumnTypes.AnOverflowLeavesTheUpdateUndone.
TEST_F(DecimalArithmetic, AnExactResultComparesAsTheNumberItIs) {
    conn->Execute("create table 价 (k int, p decimal(10,2))");
    conn->Execute("insert into 价 values (1, 1.50), (2, 2.25)");
    EXPECT_EQ(
        conn->Query("select count(*) from 价 where cast(p as decimal(10,2)) * 3 > 6.7").at(0, 0).toInt64(),
        1);
}

}  // namespace

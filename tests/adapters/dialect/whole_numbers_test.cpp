// Whole numbers beyond bigint: literals kept as their digits, computed only in
// typed steps, compared exactly, and decimal(19..38,0) columns held as text that
// compares as numbers.
#include <gtest/gtest.h>

#include <string>

#include "palvo/dialect/translator.h"
#include "translation_cases.h"

namespace Palvo::testing {
namespace {

using dialect::translateUncached;

INSTANTIATE_TEST_SUITE_P(
    WholeNumbers, Translates,
    ::testing::Values(
        // the literal is SQL Server's numeric(23,0); the statement's own column gets every digit
        Case{"select 12345678901234567890123 + 1",
             "select tsql_arith('12345678901234567890123', 1, 'd24,0+!')"},
        Case{"select -0009223372036854775809", "select '-9223372036854775809'"},
        Case{"select 1 where 12345678901234567890 < 12345678901234567891",
             "select 1 where tsql_compare('12345678901234567890', '12345678901234567891') < 0"},
        Case{"select 1 where len(x) !> 99999999999999999999",
             "select 1 where tsql_compare(tsql_len(x), '99999999999999999999') <= 0"},
        Case{"select convert(decimal(38,0), s)", "select tsql_convert('decimal(38,0)', s, null, '!')"},
        Case{"select try_cast(s as numeric(20))", "select tsql_try_convert('numeric(20)', s, null, '!')"},
        // stored, the digits go to the column's check
        Case{"insert into T values (1, 12345678901234567890 * 10), (2,3)",
             "insert into T values (1, tsql_arith('12345678901234567890', 10, 'd23,0*!')), (2,3)"},
        // 18 digits never leave bigint: the conversion is not marked
        Case{"select convert(decimal(18,0), s)", "select tsql_convert('decimal(18,0)', s, null)"},
        // a sorted query never sees digits as text
        Case{"select convert(decimal(38,0), s) as d order by d",
             "select tsql_convert('decimal(38,0)', s, null) as d order by d collate zh_ci_as"},
        // decimal(20,0) + decimal(21,21) is decimal(38,18), the whole part keeping its 20 digits; the step
        // reads the converted operand's digits
        Case{"select cast(a as decimal(20,0)) + cast(b as decimal(21,21))",
             "select tsql_arith(tsql_convert('decimal(20,0)', a, null, '!'), "
             "tsql_convert('decimal(21,21)', b, null), 'd38,18+!')"}));

INSTANTIATE_TEST_SUITE_P(
    WholeNumbers, Refuses,
    ::testing::Values(
        // SQLite would join a text parameter to the digits, or add them as a double
        Refusal{"select 12345678901234567890123 + ?",
                "arithmetic on the number 12345678901234567890123 with a value of no known type"},
        Refusal{"select 'a' + 12345678901234567890123", "arithmetic on the number 12345678901234567890123"},
        // beside a value that is no column SQLite would order the digits after every number
        Refusal{"select 1 where len(x) between -99999999999999999999 and 5", "BETWEEN with a whole number"},
        Refusal{"select 1 where 12345678901234567890 in (1, 2)", "IN after the digits of a whole number"},
        // UNION would tell its digits from an equal number elsewhere
        Refusal{"select 12345678901234567890 union select 5", "combined by UNION"},
        Refusal{"select 5 except select 12345678901234567890", "combined by UNION"}));

// Beside a column SQLite's affinity compares BETWEEN's bounds.
INSTANTIATE_TEST_SUITE_P(WholeNumberBounds, Translates,
                         ::testing::Values(Case{"select 1 where x between -99999999999999999999 and 5",
                                                "select 1 where x between '-99999999999999999999' and 5"}));

TEST(WholeNumberColumns, BeyondBigintsDigitsAreTextComparedAsNumbersAndCheckedAsText) {
    const auto tr = translateUncached("create table T (c decimal(38,0), d numeric(19), e decimal(18,0))");
    ASSERT_EQ(tr.statements.size(), 3u);
    EXPECT_EQ(
        tr.statements[0],
        "create table \"T\" (\"c\" decimal text(38,0) collate numtext, \"d\" numeric text(19,0) collate "
        "numtext, \"e\" decimal(18,0))");
    // the check's canonical digits replace any other spelling of the number ('007')
    EXPECT_NE(
        tr.statements[1].find("new.\"c\" is not tsql_check_decimal(new.\"c\", 38, 0, 1) collate binary"),
        std::string::npos)
        << tr.statements[1];
    EXPECT_NE(tr.statements[1].find("new.\"e\" is not tsql_check_decimal(new.\"e\", 18, 0) begin"),
              std::string::npos)
        << tr.statements[1];
}

}  // namespace
}  // namespace Palvo::testing

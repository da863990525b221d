// Window functions, paging, TOP's forms and table hints as the translator renders
// them where their answers (tests/dataaccess/tsql_query_forms_test.cpp) cannot tell:
// parameters' order, a kept collation, hints among aliases; and the forms it refuses by name.
#include <gtest/gtest.h>

#include <string>

#include "palvo/dialect/translator.h"
#include "palvo/error.h"
#include "support/errors.h"
#include "translation_cases.h"

namespace {

using Palvo::dialect::translateUncached;
using Palvo::testing::Case;
using Palvo::testing::Refusal;
using Palvo::testing::Refuses;
using Palvo::testing::Translates;

INSTANTIATE_TEST_SUITE_P(Windows, Translates,
                         ::testing::Values(
                             // an explicit collation of a window's key is kept
                             Case{"select RANK() OVER (ORDER BY a COLLATE Chinese_PRC_BIN) from t",
                                  "select rank() over (order by a collate rtrim) from t"}));

INSTANTIATE_TEST_SUITE_P(
    Paging, Translates,
    ::testing::Values(
        // parameters keep their order: the offset comes first in both
        Case{"select a from t where b = ? order by a offset ? rows fetch next ? rows only",
             "select a from t where b = ? order by a limit tsql_rows(?, 'OFFSET'), tsql_rows(?, 'FETCH')"},
        Case{"(select a from t)", "select * from (select a from t)"},
        // a subquery before UNION stays one
        Case{"select a from t where a in (select b from u) union select c from v",
             "select a from t where a in (select b from u) union select c from v"}));

INSTANTIATE_TEST_SUITE_P(TableHints, Translates,
                         ::testing::Values(Case{"select * from t a (nolock), u b with (index(ix_u), nolock)",
                                                "select * from t a, u b"},
                                           // after INTO a bare group is the column list, not hints
                                           Case{"insert into t with (tablock) (a, b) values (1, 2)",
                                                "insert into t (a, b) values (1, 2)"}));

INSTANTIATE_TEST_SUITE_P(
    NotSupported, Refuses,
    ::testing::Values(
        Refusal{"select a from t with (nolock, fastfirstrow)", "the table hint FASTFIRSTROW"},
        Refusal{"select a from t (nolck)", "the table hint NOLCK"},
        Refusal{"select x from (select a from t) as d (x)", "the column list of the derived table d"},
        Refusal{"select x from (select a from t) d (x)", "the column list of the derived table d"},
        Refusal{"select a from t offset 5 rows", "OFFSET without ORDER BY"},
        Refusal{"select sum(a) over (order by k range between 1 preceding and current row) from t",
                "RANGE with a number of rows"},
        Refusal{"select percent_rank() over (order by a) from t", "PERCENT_RANK() with OVER"},
        Refusal{"select row_number() over (order by a rows unbounded preceding) from t",
                "window frame (ROWS or RANGE) with ROW_NUMBER"},
        Refusal{"select top 101 percent a from t", "TOP 101 PERCENT (beyond 100)"},
        Refusal{"select top 100.5 percent a from t", "TOP 100.5 PERCENT (beyond 100)"},
        Refusal{"select top 2.5 a from t", "TOP with anything but a whole number or a parameter"},
        Refusal{"select distinct top 5 with ties a from t order by a", "WITH TIES with DISTINCT"},
        Refusal{"select top 5 with ties a from t order by 1", "ordered by a column's number"}));

// ON DELETE names no table: a type's (max) after it is no hint.
TEST(TableHints, AreLookedForOnlyAfterATableIsNamed) {
    EXPECT_NO_THROW(
        translateUncached("create table T (a int references P (id) on delete cascade, b varchar(max))"));
    EXPECT_NO_THROW(translateUncached("update T set a = 1 where k in (select k from U with (nolock))"));
}

// SQL Server's own errors for a window function without the OVER it needs.
TEST(WindowFunctions, WithoutTheirOverOrItsOrderByFailAsOnSqlServer) {
    struct Failure {
        const char* tsql;
        const char* says;
        long native;
    };
    const Failure cases[] = {
        {"select row_number() from t", "The function 'ROW_NUMBER' must have an OVER clause.", 10753},
        {"select rank() over (partition by a) from t",
         "The function 'RANK' must have an OVER clause with ORDER BY.", 4112},
        {"select sum(distinct a) over () from t", "Use of DISTINCT is not allowed with the OVER clause.",
         10759},
    };
    for (const Failure& c : cases) {
        SCOPED_TRACE(c.tsql);
        const auto [number, native, text] = Palvo::testing::fullErrorOf([&] { translateUncached(c.tsql); });
        EXPECT_EQ(text, c.says);
        EXPECT_EQ(native, c.native);
    }
}

}  // namespace

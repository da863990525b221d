// Window functions, paging, TOP's forms and table hints as the translator renders
// them for SQLite, and the forms it refuses by name.
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

INSTANTIATE_TEST_SUITE_P(
    Windows, Translates,
    ::testing::Values(
        // text keys that are no column sort in the Chinese collation, columns bring their own
        Case{"select row_number() over (partition by ltrim(b) order by a desc, rtrim(c)) rn from t",
             "select row_number() over (partition by ltrim(b) collate zh_ci_as order by a desc, rtrim(c) "
             "collate zh_ci_as) rn from t"},
        Case{"select RANK() OVER (ORDER BY a COLLATE Chinese_PRC_BIN) from t",
             "select rank() over (order by a collate rtrim) from t"},
        // sum and avg stay exact; the frame is kept as written
        Case{"select sum(x) over (order by k rows between 2 preceding and current row) from t",
             "select tsql_sum(x) over (order by k rows between 2 preceding and current row) from t"},
        Case{"select count(*) over (), lag(a, 1, 0) over (order by k) from t",
             "select count(*) over (), lag(a, 1, 0) over (order by k) from t"}));

INSTANTIATE_TEST_SUITE_P(
    Paging, Translates,
    ::testing::Values(
        Case{"select a from t order by a offset 10 rows fetch next 5 rows only",
             "select a from t order by a limit 10, 5"},
        Case{"select a from t order by a offset 1 row fetch first 1 row only",
             "select a from t order by a limit 1, 1"},
        Case{"select a from t order by a offset 3 rows", "select a from t order by a limit -1 offset 3"},
        // parameters keep their order: the offset comes first in both
        Case{"select a from t where b = ? order by a offset ? rows fetch next ? rows only",
             "select a from t where b = ? order by a limit tsql_rows(?, 'OFFSET'), tsql_rows(?, 'FETCH')"},
        // a TOP's parameter moves to the end: every parameter is numbered by its place
        Case{"select top (?) a from t where b = ? order by a",
             "select a from t where b = ?2 order by a limit tsql_rows(?1, 'TOP')"},
        // a share of the rows of the same select, counted apart
        Case{"select top 10 percent a from t where b > 1 order by a",
             "select a from t where b > 1 order by a limit (select cast(x as integer) + (x > cast(x as "
             "integer)) from (select count(*) * 10 / 100.0 as x from (select a from t where b > 1 order "
             "by a)))"},
        // a percent with a fraction is written into the share as it stands
        Case{"select top (12.5) percent a from t order by a",
             "select a from t order by a limit (select cast(x as integer) + (x > cast(x as integer)) from "
             "(select count(*) * 12.5 / 100.0 as x from (select a from t order by a)))"},
        // the rows ranked within the count, ranked by the same keys over the same rows
        Case{"select top 2 with ties a, b from t where c = 1 order by a desc, b",
             "select a, b from t where c = 1 order by a desc, b limit (select count(*) from (select "
             "rank() over "
             "(order by a desc, b) as r from t where c = 1) where r <= 2)"},
        // an alias means nothing outside the select list: its expression is ranked
        Case{"select top 1 with ties b, count(*) as n, c x from t group by b, c order by n desc, x",
             "select b, count(*) as n, c x from t group by b, c order by n collate zh_ci_as desc, x limit "
             "(select "
             "count(*) from (select rank() over (order by (count(*)) collate zh_ci_as desc, (c)) as r from t "
             "group by b, c) where r <= 1)"},
        Case{"(select a from t)", "select * from (select a from t)"},
        // a subquery before UNION stays one
        Case{"select a from t where a in (select b from u) union select c from v",
             "select a from t where a in (select b from u) union select c from v"},
        Case{"(select top 2 a from t order by a) union all (select top 1 a from u order by a desc)",
             "select * from (select a from t order by a limit 2) union all select * from (select a from u "
             "order by a desc limit 1)"}));

INSTANTIATE_TEST_SUITE_P(
    TableHints, Translates,
    ::testing::Values(
        Case{"select a from 销售单 (nolock) where a > 1", "select a from 销售单 where a > 1"},
        Case{"select a from t with (NoLock) join u x WITH (updlock, HOLDLOCK) on t.k = x.k",
             "select a from t join u x on t.k = x.k"},
        Case{"update t with (rowlock) set a = 1 where k = 2", "update t set a = 1 where k = 2"},
        Case{"delete from t with (readpast, rowlock) where k = 2", "delete from t where k = 2"},
        Case{"select * from t a (nolock), u b with (index(ix_u), nolock)", "select * from t a, u b"},
        // after INTO a bare group is the column list, not hints
        Case{"insert into t with (tablock) (a, b) values (1, 2)", "insert into t (a, b) values (1, 2)"}));

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
        Refusal{"select top 5 with ties a from t", "TOP ... WITH TIES without FROM and ORDER BY"},
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
        try {
            translateUncached(c.tsql);
            ADD_FAILURE() << "translated";
        } catch (const Palvo::Error& e) {
            EXPECT_EQ(e.description(), c.says);
            EXPECT_EQ(e.nativeCode(), c.native);
        }
    }
}

}  // namespace

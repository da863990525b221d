// Hosts' query forms answered as SQL Server answers them: window functions,
// paging with ROW_NUMBER and OFFSET ... FETCH, TOP's forms, table hints.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "palvo/data.h"
#include "support/answers.h"
#include "support/errors.h"

namespace Palvo {
namespace {

using testing::Row;
using Rows = std::vector<Row>;

class TsqlQueryForms : public testing::AnswersTest {
protected:
    void SetUp() override {
        AnswersTest::SetUp();
        if (IsSkipped()) return;
        conn_->Execute("create table 单据 (编号 int, 日期 datetime, 客户 varchar(20), 金额 decimal(18,2))");
        // 'abc' and 'ABC ' are one customer to Chinese_PRC_CI_AS; Latin sorts before 李 < 王 < 张
        for (const char* values : {"1, '2024-01-03', '张三', 10.10", "2, '2024-01-01', '李四', 0.10",
                                   "3, '2024-01-02', 'abc', 0.20", "4, '2024-01-01', '王五', 5.00",
                                   "5, '2024-01-02', 'ABC ', 0.30", "6, '2024-01-03', '李四', 1.25",
                                   "7, '2024-01-02', '张三', 2.00"})
            conn_->Execute(std::string("insert into 单据 values (") + values + ")");
    }
};

// ---- window functions

TEST_P(TsqlQueryForms, RowNumberOrdersTextThatIsNoColumnByPinyinWithoutRegardToCase) {
    EXPECT_EQ(
        rows("select 编号, row_number() over (order by ltrim(客户) desc, 编号) from 单据 order by 编号"),
        (Rows{{"1", "1"}, {"2", "4"}, {"3", "6"}, {"4", "3"}, {"5", "7"}, {"6", "5"}, {"7", "2"}}));
}

TEST_P(TsqlQueryForms, RankingTiesTextsEqualUnderTheCollation) {
    EXPECT_EQ(rows("select 编号, rank() over (order by 客户), dense_rank() over (order by 客户) from 单据 "
                   "order by 编号"),
              (Rows{{"1", "6", "4"},
                    {"2", "3", "2"},
                    {"3", "1", "1"},
                    {"4", "5", "3"},
                    {"5", "1", "1"},
                    {"6", "3", "2"},
                    {"7", "6", "4"}}));
}

TEST_P(TsqlQueryForms, PartitionByATextExpressionGroupsUnderTheCollation) {
    EXPECT_EQ(rows("select 编号, count(*) over (partition by rtrim(客户)), count(*) over () from 单据 "
                   "where 编号 in (3, 4, 5) order by 编号"),
              (Rows{{"3", "2", "3"}, {"4", "1", "3"}, {"5", "2", "3"}}));
}

TEST_P(TsqlQueryForms, NtileGivesTheFirstGroupsOneRowMore) {
    EXPECT_EQ(rows("select ntile(3) over (order by 编号) from 单据 order by 编号"),
              (Rows{{"1"}, {"1"}, {"1"}, {"2"}, {"2"}, {"3"}, {"3"}}));
}

TEST_P(TsqlQueryForms, OffsetFunctionsReachOtherRowsWithTheirDefault) {
    EXPECT_EQ(
        rows("select 编号, lag(编号) over (order by 编号), lead(编号, 2, 0) over (order by 编号) from 单据 "
             "order by 编号"),
        (Rows{{"1", "<null>", "3"},
              {"2", "1", "4"},
              {"3", "2", "5"},
              {"4", "3", "6"},
              {"5", "4", "7"},
              {"6", "5", "0"},
              {"7", "6", "0"}}));
}

// SQLite alone would read lag(x, -1) as lead(x, 1) and lag(x, 1.5) as no row.
TEST_P(TsqlQueryForms, LagOffsetIsCutToAWholeNumber) {
    EXPECT_EQ(rows("select lag(编号, 1.5, 0) over (order by 编号) from 单据 where 编号 < 3 order by 编号"),
              (Rows{{"0"}, {"1"}}));
}

TEST_P(TsqlQueryForms, ANegativeLagOffsetFails) {
    EXPECT_NE(
        testing::errorNumber([&] { (void)rows("select lag(编号, -1) over (order by 编号) from 单据"); }), 0)
        << "a negative offset of LAG ran";
}

// With ORDER BY and no frame the frame ends at the current row (and its peers).
TEST_P(TsqlQueryForms, ValueFunctionsUseTheDefaultFrameOrTheOneWritten) {
    EXPECT_EQ(rows("select 编号, first_value(编号) over (partition by 日期 order by 金额), "
                   "last_value(编号) over (order by 编号), "
                   "last_value(编号) over (order by 编号 rows between current row and unbounded following) "
                   "from 单据 order by 编号"),
              (Rows{{"1", "6", "1", "7"},
                    {"2", "2", "2", "7"},
                    {"3", "3", "3", "7"},
                    {"4", "2", "4", "7"},
                    {"5", "3", "5", "7"},
                    {"6", "6", "6", "7"},
                    {"7", "3", "7", "7"}}));
}

TEST_P(TsqlQueryForms, WindowedSumsOfDecimalsAreExact) {
    EXPECT_EQ(rows("select sum(金额) over (order by 编号), "
                   "sum(金额) over (order by 编号 rows between 1 preceding and current row) from 单据 order "
                   "by 编号"),
              (Rows{{"10.1", "10.1"},
                    {"10.2", "10.2"},
                    {"10.4", "0.3"},
                    {"15.4", "5.2"},
                    {"15.7", "5.3"},
                    {"16.95", "1.55"},
                    {"18.95", "3.25"}}));
}

TEST_P(TsqlQueryForms, RankingFunctionsReportBigint) {
    const auto t = conn_->Query(
        "select row_number() over (order by 编号), rank() over (order by 客户), ntile(2) over (order by "
        "编号) "
        "from 单据");
    ASSERT_EQ(t.columns.size(), 3u);
    for (const auto& c : t.columns) EXPECT_EQ(c.type, adBigInt);
}

TEST_P(TsqlQueryForms, CountOverReportsInt) {
    EXPECT_EQ(conn_->Query("select count(*) over () from 单据").columns.at(0).type, adInteger);
}

TEST_P(TsqlQueryForms, RankingFunctionsWithoutTheirOverFailAsOnSqlServer) {
    expectRefusals({
        {"select row_number() from 单据", 10753, "must have an OVER clause"},
        {"select rank() over (partition by 日期) from 单据", 4112, "with ORDER BY"},
    });
}

// ---- paging

TEST_P(TsqlQueryForms, RowNumberInADerivedTablePages) {
    EXPECT_EQ(rows("select 编号 from (select row_number() over (order by 日期, 编号) rn, 编号 from 单据) t "
                   "where rn between 3 and 5 order by rn"),
              (Rows{{"3"}, {"5"}, {"7"}}));
}

TEST_P(TsqlQueryForms, OffsetFetchPagesInEachSpelling) {
    const std::pair<const char*, Rows> pages[] = {
        {"offset 2 rows fetch next 3 rows only", {{"3"}, {"5"}, {"7"}}},
        {"offset 0 row fetch first 1 row only", {{"2"}}},
        {"offset 5 rows", {{"1"}, {"6"}}},
        {"offset 7 rows fetch next 2 rows only", {}},
    };
    for (const auto& [paging, page] : pages) {
        SCOPED_TRACE(paging);
        EXPECT_EQ(rows(std::string("select 编号 from 单据 order by 日期, 编号 ") + paging), page);
    }
}

TEST_P(TsqlQueryForms, CountsSqlServerRefusesFailAsWritten) {
    expectRefusals({
        {"select 编号 from 单据 order by 编号 offset -1 rows", 10742, "may not be negative"},
        {"select 编号 from 单据 order by 编号 offset 1.5 rows", 10743, "must be an integer"},
        {"select 编号 from 单据 order by 编号 offset 0 rows fetch next 0 rows only", 10744,
         "greater then zero"},
        {"select top 2 编号 from 单据 order by 编号 offset 1 rows", 10741, "A TOP cannot be used"},
    });
}

// A count refused only when the statement runs reaches the host as SQL Server
// reports it: its number, its words in the session's language.
struct RunTimeRefusal {
    const char* sql;
    Value count;
    long number;
    const char* english;
    const char* chinese;
};

TEST_P(TsqlQueryForms, CountsRefusedWhileRunningCarrySqlServersMessage) {
    const RunTimeRefusal refusals[] = {
        {"select 编号 from 单据 order by 编号 offset ? rows", -1, 10742,
         "The offset specified in an OFFSET clause may not be negative.",
         "OFFSET 子句中指定的偏移量不能为负数。"},
        {"select 编号 from 单据 order by 编号 offset ? rows", 1.5, 10743,
         "The number of rows provided for an OFFSET clause must be an integer.",
         "为 OFFSET 子句提供的行数必须是整数。"},
        {"select 编号 from 单据 order by 编号 offset 0 rows fetch next ? rows only", 0, 10744,
         "The number of rows provided for a FETCH clause must be greater then zero.",
         "为 FETCH 子句提供的行数必须大于零。"},
        {"select top (?) 编号 from 单据 order by 编号", -1, 127, "A TOP N value may not be negative.",
         "TOP N 值不能为负数。"},
        {"select top (?) percent 编号 from 单据 order by 编号", 101, 1031,
         "Percent values must be between 0 and 100.", "百分比值必须介于 0 和 100 之间。"},
        {"select lag(编号, ?) over (order by 编号) from 单据", -1, 8730,
         "Offset parameter for Lag and Lead functions cannot be a negative value.",
         "Lag 和 Lead 函数的偏移量参数不能为负值。"},
    };
    for (const char* language : {"us_english", "简体中文"}) {
        conn_->Execute(std::string("set language ") + language);
        for (const RunTimeRefusal& r : refusals) {
            SCOPED_TRACE(std::string(language) + ": " + r.sql);
            const auto [number, native, says] =
                testing::fullErrorOf([&] { (void)conn_->QueryWith(r.sql, {r.count}); });
            EXPECT_EQ(native, r.number);
            EXPECT_EQ(says, language == std::string("us_english") ? r.english : r.chinese);
        }
    }
}

TEST_P(TsqlQueryForms, TopWithAParameterBindsItBeforeTheParametersAfterIt) {
    conn_->Execute("create table 选中 (编号 int)");
    EXPECT_EQ(conn_->ExecuteWith(
                  "insert into 选中 select top (?) 编号 from 单据 where 客户 = ? and 金额 > ? order by 编号",
                  {1, std::string("李四"), 0}),
              1);
    EXPECT_EQ(rows("select 编号 from 选中"), (Rows{{"2"}}));
}

// ceiling(p percent of the rows): 10 percent of 7 is 1 row, 50 percent 4
TEST_P(TsqlQueryForms, TopPercentTakesTheShareOfRowsRoundedUp) {
    EXPECT_EQ(rows("select top 10 percent 编号 from 单据 order by 编号"), (Rows{{"1"}}));
    EXPECT_EQ(rows("select top (50) percent 编号 from 单据 order by 编号 desc"),
              (Rows{{"7"}, {"6"}, {"5"}, {"4"}}));
    EXPECT_EQ(rows("select top 0 percent 编号 from 单据"), Rows{});
    conn_->Execute("create table 选中 (编号 int)");
    // the select is written twice: its parameters bind in both
    EXPECT_EQ(conn_->ExecuteWith(
                  "insert into 选中 select top 50 percent 编号 from 单据 where 客户 = ? order by 编号",
                  {std::string("张三")}),
              1);
    EXPECT_EQ(conn_->ExecuteWith(
                  "insert into 选中 select top (?) percent 编号 from 单据 where 客户 = ? order by 编号",
                  {100, std::string("李四")}),
              2);
    EXPECT_EQ(rows("select 编号 from 选中 order by 编号"), (Rows{{"1"}, {"2"}, {"6"}}));
}

// A fractional percent is a float: its share of the 7 rows rounds up, never to the nearest.
TEST_P(TsqlQueryForms, TopPercentWithAFractionRoundsTheRowCountUp) {
    struct Share {
        std::string sql;
        std::vector<Value> params;
        Rows rows;
    };
    const std::string tail = " percent 编号 from 单据 order by 编号";
    const Share shares[] = {
        {"select top 12.5" + tail, {}, {{"1"}}},           // 0.875 rows
        {"select top (14.3)" + tail, {}, {{"1"}, {"2"}}},  // 1.001 rows
        {"select top 0.0" + tail, {}, {}},
        {"select top (?)" + tail, {14.3}, {{"1"}, {"2"}}},
    };
    for (const Share& s : shares) {
        SCOPED_TRACE(s.sql);
        auto t = conn_->QueryWith(s.sql, s.params);
        Rows got;
        for (std::size_t r = 0; r < t.rowCount(); ++r) got.push_back({t.at(r, 0).toText()});
        EXPECT_EQ(got, s.rows);
    }
}

// 'abc' and 'ABC ' tie first, the two 李四 third: four rows within rank 3
TEST_P(TsqlQueryForms, TopWithTiesTakesTheRowsTiedWithTheLast) {
    EXPECT_EQ(rows("select 编号 from (select top 3 with ties 编号 from 单据 order by 客户) t order by 编号"),
              (Rows{{"2"}, {"3"}, {"5"}, {"6"}}));
    EXPECT_EQ(
        rows("select 编号 from (select top 1 with ties 编号 from 单据 order by 日期 desc) t order by 编号"),
        (Rows{{"1"}, {"6"}}));
    conn_->Execute("create table 选中 (编号 int)");
    // the select is written twice: its parameters bind in both
    EXPECT_EQ(
        conn_->ExecuteWith(
            "insert into 选中 select top 2 with ties 编号 from 单据 where 金额 > ? order by 日期", {0.15}),
        4);
    EXPECT_EQ(rows("select 编号 from 选中 order by 编号"), (Rows{{"3"}, {"4"}, {"5"}, {"7"}}));
}

// Two days have two slips each, one three: the top 2 by count take all three days.
TEST_P(TsqlQueryForms, TopWithTiesRanksByASelectListAlias) {
    EXPECT_EQ(rows("select 日, 张数 from (select top 2 with ties day(日期) as 日, count(*) 张数 from 单据 "
                   "group by 日期 order by 张数 desc) t order by 日"),
              (Rows{{"1", "2"}, {"2", "3"}, {"3", "2"}}));
}

TEST_P(TsqlQueryForms, TopInsideParenthesisedUnionMembersTakesEachMembersRows) {
    EXPECT_EQ(rows("(select top 2 编号 from 单据 order by 编号) union all "
                   "(select top 1 编号 from 单据 order by 编号 desc) order by 编号"),
              (Rows{{"1"}, {"2"}, {"7"}}));
}

// ---- table hints

TEST_P(TsqlQueryForms, TableHintsChangeNoAnswer) {
    EXPECT_EQ(scalar("select count(*) from 单据 a WITH (NoLock) join 单据 b with (updlock, holdlock) "
                     "on a.编号 = b.编号 join 单据 (nolock) on 单据.编号 = a.编号 where a.客户 = '张三'"),
              "2");
    EXPECT_EQ(conn_->Execute("update 单据 with (rowlock) set 金额 = 金额 + 1 where 编号 = 1"), 1);
    EXPECT_EQ(conn_->Execute("delete from 单据 with (readpast, ROWLOCK) where 编号 = 2"), 1);
    EXPECT_EQ(rows("select 编号, 金额 from 单据 (nolock) where 编号 < 3"), (Rows{{"1", "11.1"}}));
}

// `name = value` in a select list names the column, also where a column of that name could be compared
TEST_P(TsqlQueryForms, AnAliasWrittenBeforeItsValueNamesTheColumn) {
    expectAnswers({
        {"select 编号 = 99 from 单据 where 编号 = 1", {"99"}},
        {"select top 1 [客户] = 客户 + 'x', 编号 from 单据 order by 编号", {"张三x", "1"}},
        {"select distinct 金额 = 1 from 单据", {"1"}},
        {"select (select 编号 = 编号 + 10 from 单据 where 编号 = 2)", {"12"}},
    });
    EXPECT_EQ(names("select 编号 = 1, [客户] = 客户 from 单据"), (Row{"编号", "客户"}));
}

PALVO_ANSWERS_ON_BACKENDS_AND_PG(TsqlQueryForms);

}  // namespace
}  // namespace Palvo

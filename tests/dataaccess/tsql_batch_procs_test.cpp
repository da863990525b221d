// A batch's several result sets, dynamic SQL and stored procedures. The answers
// run on a real SQL Server too when PALVO_TEST_MSSQL names one.
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

class TsqlBatchProcs : public testing::AnswersTest {};

using Sets = testing::ResultSets;

TEST_P(TsqlBatchProcs, NextRecordsetGivesEachResultSetInOrder) {
    conn_->Execute("create table 货 (k int, 名称 nvarchar(10))");
    EXPECT_EQ(results("insert into 货 values (1, N'笔'), (2, N'纸'); select 名称 from 货 where k = 1; "
                      "update 货 set 名称 = N'墨' where k = 2 select k, 名称 from 货 order by k"),
              (Sets{{{"名称"}, {"笔"}}, {{"k", "名称"}, {"1", "笔"}, {"2", "墨"}}}));
}

TEST_P(TsqlBatchProcs, AQueryThatFindsNoRowIsAnOpenEmptyResultSet) {
    Recordset rs;
    rs.Open("select 1 as a; select 2 as b where 1 = 0; select 3 as c", *conn_, adOpenStatic, adLockReadOnly);
    Recordset empty = rs.NextRecordset();
    ASSERT_EQ(empty.State(), adStateOpen);
    EXPECT_EQ(empty.Fields(0).Name(), "b");
    EXPECT_TRUE(empty.Bof());
    EXPECT_TRUE(empty.Eof());
    EXPECT_EQ(empty.RecordCount(), 0);
}

TEST_P(TsqlBatchProcs, NextRecordsetClosesTheOneItLeaves) {
    Recordset rs;
    rs.Open("select 1 as a; select 2 as b", *conn_, adOpenStatic, adLockReadOnly);
    Recordset next = rs.NextRecordset();
    EXPECT_EQ(rs.State(), adStateClosed);
    EXPECT_EQ(next.CursorType(), adOpenStatic);
    EXPECT_EQ(next.LockType(), adLockReadOnly);
}

TEST_P(TsqlBatchProcs, NextRecordsetOfAClosedRecordsetIsRefused) {
    Recordset rs;
    EXPECT_EQ(testing::errorNumber([&] { rs.NextRecordset(); }), ErrorNumber::ObjectClosed);
}

TEST_P(TsqlBatchProcs, ResultSetsComeInTheOrderTheControlFlowRunsThem) {
    EXPECT_EQ(results("declare @i int = 0 while @i < 3 begin set @i += 1 if @i <> 2 select @i as n end"),
              (Sets{{{"n"}, {"1"}}, {{"n"}, {"3"}}}));
}

// ---- dynamic SQL

TEST_P(TsqlBatchProcs, ExecOfATextRunsItAsABatchOfItsOwn) {
    conn_->Execute("create table 货 (k int, 名称 nvarchar(10)) insert into 货 values (1, N'笔'), (2, N'纸')");
    expectAnswers({
        {"declare @k int = 2 exec ('select 名称 from 货 where k = ' + cast(@k as varchar(5)))", {"纸"}},
        {"declare @s nvarchar(100) = N'select count(*) from 货' execute (@s)", {"2"}},
        {"exec ('declare @a int = 3; while @a < 5 set @a += 1; select @a')", {"5"}},
    });
}

TEST_P(TsqlBatchProcs, DynamicSqlSeesNoVariableOfItsCaller) {
    expectRefusals({
        {"declare @a int = 1 exec ('select @a')", 137, "@a"},
        {"exec ('declare @b int = 1') select @b", 137, "@b"},
    });
}

TEST_P(TsqlBatchProcs, SpExecuteSqlBindsItsParametersAsTheirTypes) {
    expectAnswers({
        {"declare @name nvarchar(10) = N'乙' exec sp_executesql N'select @p + 1, @q', N'@p int, @q "
         "nvarchar(10)', "
         "@p = 5, @q = @name",
         {"6", "乙"}},
        {"exec sp_executesql N'select @a * 10 + @b', N'@a int, @b int', 1, 2", {"12"}},
        {"exec sp_executesql N'select @b * 10 + @a', N'@a int, @b int', @b = 1, @a = 2", {"12"}},
        {"exec sp_executesql N'select @p', N'@p varchar(2)', @p = 'abc'", {"ab"}},
        {"exec sp_executesql N'select @p', N'@p decimal(5,1)', @p = 2.25", {"2.3"}},
        {"exec sys.sp_executesql @stmt = N'select 7'", {"7"}},
    });
}

// a value with quotes stays a value: it never becomes text of the statement
TEST_P(TsqlBatchProcs, SpExecuteSqlNeverPastesAValueIntoItsText) {
    conn_->Execute("create table 客 (名 nvarchar(20)) insert into 客 values (N'张')");
    expectAnswers({
        {"exec sp_executesql N'select count(*) from 客 where 名 = @p', N'@p nvarchar(20)', @p = N''' or 1=1 "
         "--'",
         {"0"}},
        {"exec sp_executesql N'select @p', N'@p nvarchar(20)', @p = N'''); drop table 客 --'",
         {"'); drop table 客 --"}},
    });
    EXPECT_EQ(scalar("select count(*) from 客"), "1");
}

TEST_P(TsqlBatchProcs, SpExecuteSqlOutputParametersGoBackToTheCallersVariables) {
    expectAnswers({
        {"declare @n int exec sp_executesql N'set @o = @i * 2', N'@i int, @o int output', @i = 21, @o = @n "
         "output "
         "select @n",
         {"42"}},
        // converted to the caller's variable's type
        {"declare @s varchar(2) exec sp_executesql N'set @o = N''abcdef''', N'@o nvarchar(10) output', "
         "@o = @s output select @s, len(@s)",
         {"ab", "2"}},
        {"declare @i int exec sp_executesql N'set @o = 2.7', N'@o decimal(5,1) output', @o = @i output "
         "select @i + 0.5",
         {"2.5"}},
        // without OUTPUT at the call the variable keeps its value
        {"declare @n int = 1 exec sp_executesql N'set @o = 9', N'@o int output', @o = @n select @n", {"1"}},
    });
}

TEST_P(TsqlBatchProcs, DynamicSqlsResultSetsAreTheCallers) {
    EXPECT_EQ(results("select 1 as a; exec ('select 2 as b; select 3 as c'); "
                      "exec sp_executesql N'select @x as d', N'@x int', 4"),
              (Sets{{{"a"}, {"1"}}, {{"b"}, {"2"}}, {{"c"}, {"3"}}, {{"d"}, {"4"}}}));
}

TEST_P(TsqlBatchProcs, DynamicSqlsChangesCountAsTheCallers) {
    conn_->Execute("create table 数 (k int)");
    EXPECT_EQ(conn_->Execute(
                  "exec ('insert into 数 values (1), (2)') exec sp_executesql N'insert into 数 values (@k)', "
                  "N'@k int', 3"),
              3);
}

TEST_P(TsqlBatchProcs, SpExecuteSqlCallsSqlServerRefuses) {
    expectRefusals({
        {"exec sp_executesql N'select @p', N'@p int'", 8178},
        {"exec sp_executesql N'select @p', N'@p int', 1, 2", 8144},
        {"exec sp_executesql N'select @p', N'@p int', @z = 1", 8145},
        {"exec sp_executesql N'select @p, @q', N'@p int, @q int', @p = 1, 2", 119},
        {"exec sp_executesql", 201},
    });
}

TEST_P(TsqlBatchProcs, DynamicSqlStopsBeyond32Levels) {
    EXPECT_EQ(refused("declare @s nvarchar(200) = N'exec sp_executesql @s, N''@s nvarchar(200)'', @s = @s' "
                      "exec sp_executesql @s, N'@s nvarchar(200)', @s = @s"),
              217);
    // 31 levels within the first run
    EXPECT_EQ(scalar("declare @s nvarchar(300) = N'if @n < 31 begin set @n += 1 exec sp_executesql @s, N''@s "
                     "nvarchar(300), @n int'', @s, @n end else select @n' "
                     "exec sp_executesql @s, N'@s nvarchar(300), @n int', @s, 0"),
              "31");
}

PALVO_ANSWERS_ON_BACKENDS_AND_PG(TsqlBatchProcs);

}  // namespace
}  // namespace Palvo

// T-SQL batches as hosts send them in one call: several statements, variables
// and control flow. The answers run on a real SQL Server too when
// PALVO_TEST_MSSQL names one; what the embedded database alone decides (rows
// affected together, refusals, its timeout) runs there only.
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

class TsqlBatch : public testing::AnswersTest {
protected:
    void accounts() {
        conn_->Execute("create table 账 (k int, v varchar(10))");
        conn_->Execute("insert into 账 values (1, 'a'), (2, 'b'), (3, 'c')");
    }
};

TEST_P(TsqlBatch, SeveralStatementsGiveTheFirstResultSet) {
    expectAnswers({
        {"select 1 as a select 2", {"1"}},
        {"select 1; select 2;", {"1"}},
        {"set nocount on; select 'x'", {"x"}},
        // as SQL Server's generated scripts begin
        {"set ansi_nulls on set quoted_identifier on set ansi_padding on select 'y'", {"y"}},
        {"declare @n int = 4 select @n * 2", {"8"}},
    });
}

TEST_P(TsqlBatch, AssignmentConvertsToTheDeclaredType) {
    expectAnswers({
        {"declare @s varchar(3) = 'abcdef' select @s", {"abc"}},
        {"declare @i int = 2.7 select @i", {"2"}},
        {"declare @n decimal(10,2) = 1.255 select @n", {"1.26"}},
        {"declare @c char(3) = 'a' select @c + '|'", {"a  |"}},
        {"declare @v varchar = 'xyz' select @v", {"x"}},
        {"declare @m money set @m = 2 select @m / 3", {"0.6666"}},
        {"declare @u int select @u", {"<null>"}},
    });
}

TEST_P(TsqlBatch, VariablesComputeAsTheirDeclaredTypes) {
    expectAnswers({
        {"declare @n decimal(10,2) = 1.25 select @n * 3", {"3.75"}},
        {"declare @a int = 7, @b int = 2 select @a / @b", {"3"}},
        {"declare @s nvarchar(10) = N'中文' select len(@s) + 1", {"3"}},
        {"declare @s varchar(10) = 'ABC' select case when @s = 'abc' then 'same' else 'differs' end",
         {"same"}},
    });
}

TEST_P(TsqlBatch, SetAssignsAnExpressionOrASubquery) {
    expectAnswers({
        {"declare @a int = 1, @b int = 5 set @b = @a + @b select @a, @b", {"1", "6"}},
        {"declare @n int set @n = (select 42) select @n", {"42"}},
    });
}

TEST_P(TsqlBatch, AVariablesNameIsTheSameInAnyCase) {
    EXPECT_EQ(scalar("declare @Total int = 1 set @total = @TOTAL + 1 select @ToTaL"), "2");
}

TEST_P(TsqlBatch, SelectAssignsTheLastRowsValues) {
    accounts();
    expectAnswers({
        {"declare @k int = 9 select @k = k from 账 order by k select @k", {"3"}},
        {"declare @k int = 9, @v varchar(10) select @k = k, @v = v from 账 where k = 2 select @k, @v",
         {"2", "b"}},
        {"declare @k int = 9 select top 1 @k = k from 账 order by k desc select @k", {"3"}},
    });
}

TEST_P(TsqlBatch, SelectOfNoRowLeavesTheVariable) {
    accounts();
    EXPECT_EQ(scalar("declare @k int = 9 select @k = k from 账 where k > 10 select @k"), "9");
}

TEST_P(TsqlBatch, VariablesStandForValuesInAQuery) {
    accounts();
    expectAnswers({
        {"declare @n int = 2 select count(*), min(k) from (select top (@n) k from 账 order by k desc) x",
         {"2", "2"}},
        {"declare @v varchar(10) = 'B' select k from 账 where v = @v", {"2"}},
    });
}

TEST_P(TsqlBatch, RefusesBatchesSqlServerWouldNotCompile) {
    expectRefusals({
        {"select @zz", 137, "@zz"},
        {"declare @a int declare @A int", 134, "@A"},
        {"declare @a int select @a = 1, 2", 141, "SELECT"},
        {"break", 135, "BREAK"},
        {"if 1 = 1 continue", 136, "CONTINUE"},
    });
}

TEST_P(TsqlBatch, IfRunsOneBranch) {
    accounts();
    expectAnswers({
        {"if 1 = 2 select 'then' else select 'else'", {"else"}},
        {"declare @x int if @x = 1 select 'then' else select 'unknown is false'", {"unknown is false"}},
        {"if exists (select 1 from 账 where k = 2) select 'yes' else select 'no'", {"yes"}},
        {"if not exists (select 1 from 账 where k = 9) select 'missing'", {"missing"}},
        {"if 1 = 2 select 'a' else if 2 = 2 select 'b' else select 'c'", {"b"}},
        {"if 1 = 1 begin select 'block' select 'second' end", {"block"}},
    });
}

TEST_P(TsqlBatch, IfNotExistsInsertElseUpdate) {
    accounts();
    for (const std::string k : {"2", "8"})
        conn_->Execute(
            "declare @k int = " + k +
            ", @v varchar(10) = 'new' if not exists (select 1 from 账 where k = @k) insert into 账 "
            "values (@k, @v) else update 账 set v = @v where k = @k");
    EXPECT_EQ(rows("select k, v from 账 where v = 'new' order by k"),
              (std::vector<Row>{{"2", "new"}, {"8", "new"}}));
    EXPECT_EQ(scalar("select count(*) from 账"), "4");
}

TEST_P(TsqlBatch, LoopControlStatementsSteerTheInnermostWhile) {
    expectAnswers({
        {"declare @i int = 0, @s int = 0 while @i < 10 begin set @i += 1 if @i % 2 = 0 continue set @s += @i "
         "end "
         "select @i, @s",
         {"10", "25"}},
        {"declare @i int = 0 while 1 = 1 begin set @i = @i + 1 if @i >= 5 break end select @i", {"5"}},
        {"declare @i int = 0, @j int, @n int = 0 while @i < 3 begin set @i += 1 set @j = 0 while @j < 4 "
         "begin "
         "set @j += 1 if @j = 3 break set @n += 1 end end select @n",
         {"6"}},
    });
}

TEST_P(TsqlBatch, WhileInsertsRowByRow) {
    conn_->Execute("create table 号 (n int)");
    conn_->Execute("declare @i int = 1 while @i <= 50 begin insert into 号 values (@i) set @i += 1 end");
    EXPECT_EQ(row("select count(*), sum(n) from 号"), (Row{"50", "1275"}));
}

TEST_P(TsqlBatch, ReturnEndsTheBatch) {
    accounts();
    conn_->Execute("delete from 账 where k = 1 if 1 = 1 return delete from 账");
    EXPECT_EQ(scalar("select count(*) from 账"), "2");
    EXPECT_EQ(scalar("declare @i int = 0 while @i < 9 begin set @i += 1 if @i = 4 return end select 'after'"),
              "<no row>");
}

PALVO_ANSWERS_ON_BACKENDS_AND_PG(TsqlBatch);

// ---- what the embedded database decides

using EmbeddedBatch = testing::EmbeddedAccounts;

TEST_F(EmbeddedBatch, ExecuteReturnsTheRowsItsChangesAffectedTogether) {
    EXPECT_EQ(conn_->Execute("insert into 账 values (1, 'a') insert into 账 values (2, 'b'), (3, 'c') "
                             "select * from 账 update 账 set v = 'x' where k > 1"),
              5);
    EXPECT_EQ(conn_->Execute("declare @n int = 1 set @n = 2"), -1);
}

TEST_F(EmbeddedBatch, ABatchWithoutAResultSetOpensARecordsetWithoutColumns) {
    Recordset rs;
    rs.Open("declare @n int = 1 insert into 账 values (@n, 'a')", *conn_);
    EXPECT_EQ(rs.Fields().Count(), 0);
    EXPECT_EQ(count(), 1);
}

TEST_F(EmbeddedBatch, RefusesByNameWhatItDoesNotRunBeforeAnythingRuns) {
    const std::vector<testing::ByName> cases = {
        {"begin distributed tran", "BEGIN DISTRIBUTED TRANSACTION"},
        {"begin tran with mark", "WITH MARK"},
        {"exec sp_who", "EXEC"},
        {"goto done", "GOTO"},
        {"set quoted_identifier off", "SET QUOTED_IDENTIFIER OFF"},
        {"raiserror(50001, 16, 1)", "RAISERROR with a message number"},
        {"declare @s varchar(10) select @s = @s + v from 账", "accumulated row by row"},
    };
    testing::expectRefusedByName(*conn_, "insert into 账 values (1, 'a') ", cases, "select count(*) from 账");
}

TEST_F(EmbeddedBatch, ParametersAreRefusedInABatch) {
    EXPECT_EQ(testing::errorNumber(
                  [&] { conn_->ExecuteWith("insert into 账 values (?, 'a') select 1", {Value(1)}); }),
              ErrorNumber::NotSupported);
    EXPECT_EQ(count(), 0);
}

TEST_F(EmbeddedBatch, InfoMessagesReachTheHandlerInTheBatchsOrder) {
    std::vector<std::pair<std::string, long>> told;
    conn_->OnInfoMessage([&](const Connection::InfoMessage& m) { told.emplace_back(m.text, m.rows); });
    conn_->Execute(
        "insert into 账 values (1, 'a'), (2, 'b') declare @n int = 7 print 'n=' + cast(@n as varchar(3)) "
        "print null update 账 set v = 'c' where k = 9 select k from 账");
    EXPECT_EQ(told,
              (std::vector<std::pair<std::string, long>>{{"", 2}, {"n=7", -1}, {"", -1}, {"", 0}, {"", 2}}));
}

TEST_F(EmbeddedBatch, NocountOnStopsTheCountsUntilOff) {
    std::vector<long> counts;
    conn_->OnInfoMessage([&](const Connection::InfoMessage& m) { counts.push_back(m.rows); });
    conn_->Execute(
        "set nocount on insert into 账 values (1, 'a') select k from 账 set nocount off insert into 账 "
        "values "
        "(2, 'b')");
    EXPECT_EQ(counts, std::vector<long>{1});
}

TEST_F(EmbeddedBatch, ARunawayLoopEndsAtTheCommandTimeout) {
    conn_->CommandTimeout(1);
    EXPECT_EQ(
        testing::errorDescription([&] { conn_->Execute("declare @i int = 0 while 1 = 1 set @i = @i + 1"); }),
        "Query timeout expired");
}

}  // namespace
}  // namespace Palvo

// User-defined functions: scalar and inline table-valued, their calls in
// statements and batches, what SQL Server refuses and where they are kept. The
// answers run on a real SQL Server too when PALVO_TEST_MSSQL names one.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "palvo/data.h"
#include "support/answers.h"
#include "support/files.h"

namespace Palvo {
namespace {

using testing::Row;

class TsqlFunctions : public testing::AnswersTest {
protected:
    void SetUp() override {
        AnswersTest::SetUp();
        if (!conn_) return;
        for (const char* f :
             {"含税", "客户订单", "加一", "二倍加一", "整", "等级", "累加", "客户额", "末单", "阶乘", "除"})
            conn_->Execute(std::string("drop function if exists dbo.") + f);
        conn_->Execute("drop table if exists 函数订单");
        conn_->Execute("create table 函数订单 (单号 int, 客户 int, 金额 decimal(18,2))");
        conn_->Execute("insert into 函数订单 values (1, 1, 100), (2, 2, 50.5), (3, 1, 10)");
        conn_->Execute(
            "create function dbo.含税(@金额 decimal(18,2), @税率 decimal(5,2) = 0.13) returns decimal(18,2)\n"
            "as begin\n  return round(@金额 * (1 + @税率), 2)\nend");
        conn_->Execute(
            "create function dbo.客户订单(@客户 int) returns table as return (select * from 函数订单 where "
            "客户 = "
            "@客户)");
    }
};

TEST_P(TsqlFunctions, AScalarCallGivesTheReturnedValueOfTheDeclaredType) {
    expectExact({
        {"select dbo.含税(100, default)", {"113.00"}},
        {"select dbo.含税(100, 0.05)", {"105.00"}},
        // the argument converted to the parameter's type first: 0.125 becomes 0.13
        {"select dbo.含税(100, 0.125)", {"113.00"}},
        {"select dbo.含税(金额, default) from 函数订单 where 单号 = 2", {"57.07"}},
        {"select sum(dbo.含税(金额, default)) from 函数订单", {"181.37"}},
        {"select 单号 from 函数订单 where dbo.含税(金额, 0.1) > 100", {"1"}},
        {"select dbo.含税(null, default)", {"<null>"}},
    });
}

TEST_P(TsqlFunctions, AnInlineTableFunctionIsReadAsATable) {
    expectAnswers({
        {"select count(*), sum(金额) from dbo.客户订单(1)", {"2", "110"}},
        {"select o.单号 from dbo.客户订单(2) o", {"2"}},
        {"select 客户订单.单号 from 客户订单(2)", {"2"}},
        {"select t.单号, o.单号 from 函数订单 t join dbo.客户订单(1) as o on o.单号 = t.单号 order by 1 desc",
         {"3", "3"}},
        {"declare @k int = 2 select 金额 from dbo.客户订单(@k)", {"50.5"}},
        {"select count(*) from dbo.客户订单(99)", {"0"}},
        {"select count(*) from dbo.函数订单 (nolock)", {"3"}},
        {"select count(*) from 函数订单 t cross apply dbo.客户订单(t.客户) o", {"5"}},
    });
}

TEST_P(TsqlFunctions, ABodyOfStatementsRunsForEachCall) {
    conn_->Execute(
        "create function dbo.等级(@金额 decimal(18,2)) returns nvarchar(10) as begin declare @r nvarchar(10) "
        "if "
        "@金额 >= 100 set @r = N'大' else set @r = N'小' return @r end");
    conn_->Execute(
        "create function dbo.累加(@n int) returns int as begin declare @s int = 0, @i int = 1 while @i <= @n "
        "begin set @s += @i set @i += 1 end return @s end");
    conn_->Execute(
        "create function dbo.客户额(@客户 int) returns decimal(18,2) as begin declare @s decimal(18,2) "
        "select @s "
        "= sum(金额) from 函数订单 where 客户 = @客户 return @s end");
    // each variable gets the last row's value, and keeps its own where there is no row
    conn_->Execute(
        "create function dbo.末单(@客户 int) returns decimal(18,2) as begin declare @d int = -1, @m "
        "decimal(18,2) = 0 select @d = 单号, @m = 金额 from 函数订单 where 客户 = @客户 order by 单号 "
        "return @d * 1000 + @m end");
    expectAnswers({
        {"select dbo.等级(100), dbo.等级(99.99)", {"大", "小"}},
        {"select dbo.累加(10)", {"55"}},
        {"select 单号, dbo.等级(金额) from 函数订单 where 单号 = 2", {"2", "小"}},
        {"select dbo.客户额(1), dbo.客户额(3)", {"110", "<null>"}},
        {"select count(*) from 函数订单 where dbo.客户额(客户) > 100", {"2"}},
        {"select dbo.末单(1), dbo.末单(3)", {"3010", "-1000"}},
    });
}

TEST_P(TsqlFunctions, ABodyOfStatementsUnderAnyNameRunsUntilItIsDropped) {
    conn_->Execute("drop function if exists dbo.[引\"号]]f]");
    conn_->Execute(
        "create function dbo.[引\"号]]f](@n int) returns int as begin declare @r int = @n while @r < 100 "
        "begin set @r *= 2 if @r = 48 break end return @r end");
    EXPECT_EQ(scalar("select dbo.[引\"号]]f](3)"), "48");
    EXPECT_EQ(scalar("select dbo.[引\"号]]f](13)"), "104");
    conn_->Execute("drop function dbo.[引\"号]]f]");
    EXPECT_EQ(refused("select dbo.[引\"号]]f](3)"), 4121);
}

TEST_P(TsqlFunctions, ACallGivesAVariableItsValueInABatch) {
    expectAnswers({
        {"declare @r decimal(18,2) = dbo.含税(1, default) set @r += dbo.含税(1, default) select @r",
         {"2.26"}},
        {"declare @r int = 0 if dbo.含税(1, default) > 1 set @r = 1 select @r", {"1"}},
    });
}

TEST_P(TsqlFunctions, ErrorProcedureNamesTheFunctionWhoseBodyRaisedTheError) {
    conn_->Execute(
        "create function dbo.除(@n int) returns int as begin declare @r int set @r = 1 / @n return @r end");
    EXPECT_EQ(
        scalar("begin try select dbo.除(0) end try begin catch select error_procedure(), error_number() end "
               "catch"),
        "dbo.除");
}

TEST_P(TsqlFunctions, ARecursiveCallStopsAtSqlServersNestingLimit) {
    conn_->Execute(
        "create function dbo.阶乘(@n int) returns int as begin if @n <= 0 return 0 return 1 + dbo.阶乘(@n - "
        "1) "
        "end");
    // 32 calls within one another; the 33rd is one too many
    EXPECT_EQ(scalar("select dbo.阶乘(31)"), "31");
    EXPECT_EQ(
        refused("select dbo.阶乘(32)",
                "Maximum stored procedure, function, trigger, or view nesting level exceeded (limit 32)."),
        217);
}

TEST_P(TsqlFunctions, FunctionsCallOneAnother) {
    conn_->Execute("create function dbo.加一(@n int) returns int as begin return @n + 1 end");
    conn_->Execute("create function dbo.二倍加一(@n int) returns int as begin return dbo.加一(@n * 2) end");
    expectAnswers({
        {"select dbo.二倍加一(5)", {"11"}},
        {"select dbo.加一(dbo.加一(1))", {"3"}},
    });
}

TEST_P(TsqlFunctions, WhatSqlServerRefusesFailsWithItsNumber) {
    conn_->Execute("create function dbo.整(@n int) returns int as begin return @n end");
    expectRefusals({
        {"select dbo.无此函数(1)", 4121,
         "Cannot find either column \"dbo\" or the user-defined function or aggregate \"dbo.无此函数\", or "
         "the "
         "name is ambiguous."},
        {"select * from dbo.无此函数(1)", 208, "Invalid object name 'dbo.无此函数'."},
        {"select * from dbo.整(1)", 208},
        {"select dbo.客户订单(1)", 4121},
        {"select dbo.含税(1)", 313,
         "An insufficient number of arguments were supplied for the procedure or function dbo.含税."},
        {"select dbo.整(default)", 313},
        {"select dbo.整(1, 2)", 8144, "Procedure or function dbo.整 has too many arguments specified."},
        {"create function dbo.整(@n int) returns int as begin return 1 end", 2714},
        {"alter function dbo.无此函数() returns int as begin return 1 end", 208},
        {"drop function dbo.无此函数", 3701,
         "Cannot drop the function '无此函数', because it does not exist or you do not have permission."},
        {"drop procedure 整", 3701},
        {"select 1 create function dbo.别(@n int) returns int as begin return 1 end", 111,
         "'CREATE FUNCTION' must be the first statement in a query batch."},
        {"create function dbo.别() returns int as begin insert into 函数订单 values (9, 9, 9) return 1 end",
         443, "Invalid use of a side-effecting operator 'INSERT' within a function."},
        {"create function dbo.别() returns int as begin print 'x' return 1 end", 443},
        {"create function dbo.别() returns int as begin select 单号 from 函数订单 return 1 end", 444},
        {"create function dbo.别() returns int as begin declare @x int end", 455},
        {"create function dbo.别() returns int as begin return @x end", 137},
        {"create function dbo.别() returns table as return select @x as x", 137},
    });
}

TEST_P(TsqlFunctions, TheCatalogueKnowsAFunctionByItsTypeCode) {
    expectAnswers({
        {"select case when object_id('dbo.含税') > 0 then 1 else 0 end", {"1"}},
        {"select case when object_id('含税', 'FN') = object_id('含税') then 1 else 0 end", {"1"}},
        {"select case when object_id('客户订单', 'IF') > 0 then 1 else 0 end", {"1"}},
        {"select object_id('含税', 'IF')", {"<null>"}},
        {"select rtrim(type), type_desc from sys.objects where name = '含税'", {"FN", "SQL_SCALAR_FUNCTION"}},
        {"select rtrim(type), type_desc from sys.objects where name = '客户订单'",
         {"IF", "SQL_INLINE_TABLE_VALUED_FUNCTION"}},
    });
    EXPECT_EQ(
        rows("exec sp_helptext 'dbo.客户订单'"),
        (std::vector<Row>{{"create function dbo.客户订单(@客户 int) returns table as return (select * from "
                           "函数订单 where 客户 = @客户)"}}));
}

TEST_P(TsqlFunctions, AlteringAFunctionChangesTheAnswersOfItsCallers) {
    EXPECT_EQ(scalar("select dbo.含税(100, default)"), "113");
    conn_->Execute(
        "alter function dbo.含税(@金额 decimal(18,2), @税率 decimal(5,2) = 0.06) returns decimal(18,2) as "
        "begin "
        "return @金额 * (1 + @税率) end");
    EXPECT_EQ(scalar("select dbo.含税(100, default)"), "106");
    conn_->Execute("drop function dbo.含税");
    EXPECT_EQ(refused("select dbo.含税(100, default)"), 4121);
}

PALVO_ANSWERS_ON_BACKENDS_AND_PG(TsqlFunctions);

// ---- what the embedded database decides

TEST(EmbeddedFunctions, AFunctionIsStoredInTheFileForEveryConnection) {
    const testing::ScratchDir dir("palvo_functions");
    const std::string file = (dir.path / "f.db").string();
    auto one = testing::openEmbeddedFile(file);
    auto two = testing::openEmbeddedFile(file);
    one->Execute("create function dbo.加(@n int) returns int as begin return @n + 1 end");
    EXPECT_EQ(two->Query("select dbo.加(1)").at(0, 0).toText(), "2");
    // the other connection's translation of the same statement is read again
    one->Execute("alter function dbo.加(@n int) returns int as begin return @n + 10 end");
    EXPECT_EQ(two->Query("select dbo.加(1)").at(0, 0).toText(), "11");
    one->Close();
    two->Close();
    EXPECT_EQ(testing::openEmbeddedFile(file)->Query("select dbo.加(2)").at(0, 0).toText(), "12");
}

TEST(EmbeddedFunctions, WhatItDoesNotRunIsRefusedByName) {
    auto c = testing::openEmbedded();
    c->Execute("create table 表 (k int)");
    c->Execute("create function dbo.一() returns int as begin return 1 end");
    c->Execute("create function dbo.两次(@x float) returns float as begin return @x - @x end");
    c->Execute(
        "create function dbo.阶乘(@n int) returns int as begin return case when @n <= 1 then 1 else @n * "
        "dbo.阶乘(@n - 1) end end");
    const std::vector<testing::ByName> cases = {
        {"create function dbo.多() returns @t table (k int) as begin insert into @t values (1) return end",
         "multi-statement table-valued functions"},
        {"create function dbo.多() returns int as begin declare @t table (k int) return 1 end",
         "a table variable in a function (多)"},
        {"create function dbo.多() returns int with encryption as begin return 1 end",
         "CREATE FUNCTION ... WITH ENCRYPTION"},
        {"select dbo.阶乘(3)", "a function that calls itself (dbo.阶乘)"},
        {"select dbo.两次(rand())", "an argument with RAND() to a parameter dbo.两次 reads more than once"},
        {"create view 视图 as select dbo.一() as x", "a view that calls the user-defined function dbo.一"},
    };
    testing::expectRefusedByName(*c, "", cases, "select count(*) from sys.objects");
}

}  // namespace
}  // namespace Palvo
